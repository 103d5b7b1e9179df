// The COM-style interfaces of the TALVIR plug-in, their identifiers and the records that cross the
// boundary. A host includes this header (and driver/host_interfaces.h for the objects it implements).
//
// Every interface is an abstract class whose virtual functions are declared in slot order; on Linux
// (Itanium ABI) slots follow declaration order. Only VEKUtilityComponent declares a virtual destructor,
// its last slot: a virtual destructor takes two slots there, which would shift every later slot.
// The other interfaces have protected, non-virtual destructors: objects are destroyed by Release only.
// Calling conventions (plugin/vek_call.h): the three IUnknown slots are VEK_IUNKNOWN_CALL (__stdcall on
// 32-bit Windows); every later slot is an ordinary member call (thiscall there).
//
// Return codes (32-bit signed): 0 success, 1 Solve needs another call, -8 the optimisation ended with an
// engine failure, -10 a parameter value outside its range, -11 no parameter of that name, -15 operation
// or query not available; QueryInterface answers 0 or E_NOINTERFACE (0x80004002).
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/vek_call.h"

namespace vek {

// 128-bit interface identifier, laid out as the host framework's GUID.
struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16, "an interface identifier is 16 bytes");

constexpr bool operator==(const Guid& a, const Guid& b) {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
  for (int k = 0; k < 8; ++k) {
    if (a.data4[k] != b.data4[k]) return false;
  }
  return true;
}
constexpr bool operator!=(const Guid& a, const Guid& b) {
  return !(a == b);
}

// The identifiers of the system all end in -2FD1-11D3-96AA-006097B14265.
inline constexpr Guid kIidIUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid kIidVEKUtilityComponent = {
    0xCF690D4A, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};
inline constexpr Guid kIidParameterList = {
    0xCF690D4B, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};
inline constexpr Guid kIidNLPSystemFactory = {
    0xCF691D50, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};
inline constexpr Guid kIidNLPSolver = {
    0xCF691D4F, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};
inline constexpr Guid kIidSolverResults = {
    0xCF690D51, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};

// Return codes across the boundary.
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kCallAgain = 1;
inline constexpr std::int32_t kSolveFailed = -8;
inline constexpr std::int32_t kValueOutOfRange = -10;
inline constexpr std::int32_t kNoSuchParameter = -11;
inline constexpr std::int32_t kNotAvailable = -15;
inline constexpr std::int32_t kENoInterface = static_cast<std::int32_t>(0x80004002u);

// Parameter types of ParameterInfo and GetParameter (the codes of the solve core's parameter records).
inline constexpr std::int32_t kIntegerParameter = 0;
inline constexpr std::int32_t kRealParameter = 1;
inline constexpr std::int32_t kTextParameter = 2;

// The value part of a parameter description, aligned for a double.
union ParameterData {
  struct {
    std::int32_t minimum, maximum, value;
  } integer;
  struct {
    double minimum, maximum, value;
  } real;
  struct {
    char* value;    // current text
    char* options;  // allowed values, each followed by ";"
  } text;
};

// Filled by GetParameterInfo; every text is a new copy that belongs to the caller.
struct ParameterInfo {
  char* name;
  char* description;
  std::int32_t type;
  ParameterData value;
};

// Filled by GetParameter (a text is a new copy for the caller), received by value by SetParameter.
union ParameterValue {
  std::int32_t integer;
  double real;
  char* text;
};

namespace layout {
inline constexpr std::size_t kPointer = sizeof(void*);
constexpr std::size_t round_up8(std::size_t n) {
  return (n + 7) / 8 * 8;
}
inline constexpr std::size_t kParameterDataOffset = round_up8(2 * kPointer + 4);
}  // namespace layout

static_assert(sizeof(ParameterValue) == 8, "ParameterValue is an 8-byte union");
static_assert(sizeof(ParameterData) == 24 && alignof(ParameterData) == alignof(double));
static_assert(offsetof(ParameterData, integer.value) == 8 && offsetof(ParameterData, real.value) == 16);
static_assert(offsetof(ParameterData, text.options) == layout::kPointer);
static_assert(offsetof(ParameterInfo, description) == layout::kPointer);
static_assert(offsetof(ParameterInfo, type) == 2 * layout::kPointer);
static_assert(offsetof(ParameterInfo, value) == layout::kParameterDataOffset);
static_assert(sizeof(ParameterInfo) == layout::kParameterDataOffset + 24);

class NLPProblem;   // driver/host_interfaces.h
class MessageSink;  // driver/host_interfaces.h
struct EvaluationBlock;
class NLPSolver;

// Slots 0-2 of every interface.
class IUnknown {
 public:
  virtual std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const Guid& iid, void** out) = 0;
  virtual std::int32_t VEK_IUNKNOWN_CALL AddRef() = 0;
  virtual std::int32_t VEK_IUNKNOWN_CALL Release() = 0;

 protected:
  ~IUnknown() = default;
};

// The host framework's common component interface; the system implements it and asks the problem for it.
class VEKUtilityComponent : public IUnknown {
 public:
  virtual const char* GetVersion() = 0;
  virtual const char* GetDescription() = 0;
  virtual const char* GetName() = 0;
  virtual ~VEKUtilityComponent() = default;  // the deleting destructor, last slot; Release calls it
};

class ParameterList : public IUnknown {
 public:
  virtual std::int32_t GetParameterCount() = 0;
  // names: room for GetParameterCount() text pointers.
  virtual std::int32_t GetParameterNames(char** names) = 0;
  virtual std::int32_t GetParameterInfo(const char* name, ParameterInfo* info) = 0;
  virtual std::int32_t GetParameter(const char* name, std::int32_t* type, ParameterValue* value) = 0;
  // The type code is not consulted: the record's own type decides how the value is read.
  virtual std::int32_t SetParameter(const char* name, std::int32_t type, ParameterValue value) = 0;

 protected:
  ~ParameterList() = default;
};

class NLPSystemFactory : public IUnknown {
 public:
  virtual std::int32_t CreateSolver(NLPProblem* problem, MessageSink* sink, NLPSolver** out) = 0;

 protected:
  ~NLPSystemFactory() = default;
};

class NLPSolver : public IUnknown {
 public:
  // mode 0/3 start, others continue; block receives the EvaluationBlock address; counter counts engine
  // calls; request receives the request code. Returns 1 (evaluate and call again), 0 or -8 (ended).
  virtual std::int32_t Solve(std::int32_t mode, EvaluationBlock** block, std::int32_t* counter,
                             std::int32_t* request) = 0;

 protected:
  ~NLPSolver() = default;
};

class SolverResults : public IUnknown {
 public:
  // Reads none of its arguments; always -15.
  virtual std::int32_t ReservedQuery(std::int32_t key, void* first, void* second) = 0;
  // "CVRG" (exact case): the convergence ratio; any other key -15.
  virtual std::int32_t GetRealResult(const char* key, double* value) = 0;

 protected:
  ~SolverResults() = default;
};

}  // namespace vek

// The one exported function: the factory singleton's NLPSystemFactory view with one more reference,
// or null when the factory cannot be allocated. A C function exported under its plain name; having no
// arguments, it is called alike as __cdecl or __stdcall.
extern "C" VEK_EXPORT vek::NLPSystemFactory* GetFactoryNLPSystem();
// Type of GetFactoryNLPSystem, for hosts that look it up with dlsym / GetProcAddress.
typedef vek::NLPSystemFactory* (*GetFactoryNLPSystemFn)();
