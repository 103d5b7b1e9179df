// Fuzz target: the plug-in as a hostile or careless host meets it. A fake host answers every question
// of the solver from the fuzzer's bytes: sizes (also changing between calls, negative or enormous),
// constraint kinds, bounds, scales and start points (NaN, Inf, 1e30 included), a Jacobian structure
// with entries out of range or null arrays, evaluations of any value, Solve calls in any mode and
// order, and parameters set and read by random names, types and values.
// Invariants: no memory error (sanitizers); every result is one of 1, 0, -8, -15; a result of 1 comes
// with a known request code and the block; a refusal (-15) says why in one "VEKTALVIR Error:" message;
// an ending (0 or -8) leaves the request at 0; a start call sets the counter to 0 and every engine call
// adds 1; and the exchange always ends (the last solve, given sane limits, finishes).
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/host_interfaces.h"
#include "fuzz/fuzz_input.h"
#include "plugin/interfaces.h"

namespace {

using talvir_fuzz::FuzzInput;

constexpr int kMaxOrder = 6;            // ordinary sizes stay small: every solve is quick
constexpr int kStructureCapacity = 48;  // the structure arrays never move (the solver keeps pointers)
constexpr int kOperations = 64;         // host actions read per input, at most

struct Sizes {
  std::int32_t n = 0, equalities = 0, inequalities = 0, nnz = 0;
  long long m() const { return static_cast<long long>(equalities) + inequalities; }
};

class Sink : public vek::MessageSink {
 public:
  void Write(const char* text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

// A count that is usually small and sometimes one the solver must refuse. (Counts that it may accept
// but that make arrays of gigabytes, such as nnz = 2^30, are left out: they only measure the machine.)
std::int32_t read_count(FuzzInput& in, int small_max) {
  constexpr std::int32_t kOdd[] = {-1, -7, INT32_MAX, INT32_MIN, 1 << 30, (1 << 20) + 1, 100000};
  if (in.choice(16) == 0) return kOdd[in.choice(7)];
  return in.integer(0, small_max);
}
std::int32_t read_entries(FuzzInput& in, int small_max) {
  constexpr std::int32_t kOdd[] = {-1, INT32_MAX, INT32_MIN};
  if (in.choice(16) == 0) return kOdd[in.choice(3)];
  return in.integer(0, small_max);
}

class FuzzHost final : public vek::NLPProblem, public vek::VEKUtilityComponent {
 public:
  explicit FuzzHost(FuzzInput& in) : in_(in) {}
  ~FuzzHost() = default;

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override {
    if (out == nullptr || in_.choice(16) == 0) return vek::kENoInterface;
    if (iid != vek::kIidVEKUtilityComponent) return vek::kENoInterface;
    *out = static_cast<vek::VEKUtilityComponent*>(this);
    ++count_;
    return vek::kOk;
  }
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return ++count_; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return --count_; }
  const char* GetVersion() override { return "fuzz"; }
  const char* GetDescription() override { return "fuzzing host"; }
  const char* GetName() override { return "fuzz"; }

  std::int32_t GetNumVariables() override { return sizes.n; }
  std::int32_t GetNumEqualities() override { return sizes.equalities; }
  std::int32_t GetNumInequalities() override { return sizes.inequalities; }
  std::int32_t GetVariableBounds(std::int32_t first, double* lower, double* upper) override {
    FUZZ_CHECK(first == 0 && sizes.n >= 1 && sizes.n <= kMaxOrder, "bounds asked with unusable sizes");
    for (int i = 0; i < sizes.n; ++i) {
      lower[i] = in_.real_or_special(-5.0, 0.0);
      upper[i] = in_.choice(8) == 0 ? lower[i] : in_.real_or_special(0.0, 5.0);
    }
    return vek::kOk;
  }
  std::int32_t SetVariableValues(std::int32_t first, const double* x) override {
    FUZZ_CHECK(first == 0 && x != nullptr, "SetVariableValues without a point");
    std::copy(x, x + sizes.n, point_.begin());
    return vek::kOk;
  }
  std::int32_t GetVariableValues(std::int32_t first, double* x) override {
    FUZZ_CHECK(first == 0, "GetVariableValues with a first index");
    for (int i = 0; i < sizes.n; ++i) x[i] = in_.real_or_special(-6.0, 6.0);
    return vek::kOk;
  }
  std::int32_t GetVariableAttribute(std::int32_t index, const char*, double* value) override {
    FUZZ_CHECK(index >= 0 && index < sizes.n, "a variable attribute asked outside 0..N-1");
    if (in_.choice(2) == 0) return -1;
    *value = in_.real_or_special(-2.0, 4.0);
    return vek::kOk;
  }
  std::int32_t GetConstraintAttribute(std::int32_t index, const char*, std::int32_t* value) override {
    FUZZ_CHECK(index >= 0 && index < sizes.m(), "a constraint attribute asked outside 0..M-1");
    *value = in_.choice(16) == 0 ? in_.integer(-3, 9) : in_.integer(0, 4);
    return vek::kOk;
  }
  std::int32_t GetProblemAttribute(const char*, double* value) override {
    if (in_.choice(2) == 0) return -1;
    *value = in_.real_or_special(-1.0, 3.0);
    return vek::kOk;
  }
  std::int32_t GetStructureCounts(std::int32_t* first, std::int32_t* nnz) override {
    *first = sizes.n;
    *nnz = sizes.nnz;
    return vek::kOk;
  }
  std::int32_t GetJacobianStructure(const std::int32_t** rows, const std::int32_t** cols,
                                    std::int32_t* count) override {
    *rows = null_structure ? nullptr : rows_.data();
    *cols = null_structure ? nullptr : cols_.data();
    *count = sizes.nnz;
    return vek::kOk;
  }
  std::int32_t OnSolveCall() override { return vek::kOk; }
  std::int32_t SetMultipliers(const double* zeros, const double* lambda) override {
    FUZZ_CHECK(zeros != nullptr && lambda != nullptr, "SetMultipliers without arrays");
    for (int i = 0; i < made.n; ++i)
      FUZZ_CHECK(zeros[i] == 0.0, "SetMultipliers with non-zero bound multipliers");
    return vek::kOk;
  }

  // Structure entries: mostly inside 1..M x 1..N, some outside.
  void read_structure() {
    for (int k = 0; k < kStructureCapacity; ++k) {
      const bool odd = in_.choice(32) == 0;
      rows_[k] =
          odd ? in_.integer(-2, 9)
              : in_.integer(1, std::max(1, static_cast<int>(std::min<long long>(sizes.m(), kMaxOrder))));
      cols_[k] = odd ? in_.integer(-2, 9) : in_.integer(1, std::max(1, std::min(sizes.n, kMaxOrder)));
    }
    null_structure = in_.choice(16) == 0;
  }

  void read_sizes() {
    sizes.n = in_.choice(12) == 0 ? read_count(in_, kMaxOrder) : in_.integer(1, kMaxOrder);
    sizes.equalities = read_count(in_, 3);
    sizes.inequalities = read_count(in_, 3);
    sizes.nnz = read_entries(in_, kStructureCapacity);
  }

  // Writes what `request` asks for into the block, as the arrays were made (made sizes).
  void evaluate(vek::EvaluationBlock& b, std::int32_t request) {
    const bool all = request == vek::kRequestStart || request == vek::kRequestStartVariant ||
                     request == vek::kRequestVariant;
    if (all || request == vek::kRequestFunctions) {
      b.objective = in_.real_or_special(-10.0, 10.0);
      for (int j = 0; j < made.m(); ++j) b.constraints[j] = in_.real_or_special(-3.0, 3.0);
    }
    if (all || request == vek::kRequestDerivatives) {
      for (int i = 0; i < made.n; ++i) b.gradient[i] = in_.real_or_special(-5.0, 5.0);
      for (int k = 0; k < made.nnz; ++k) b.jacobian[k] = in_.real_or_special(-3.0, 3.0);
    }
    if (b.host_data == nullptr && in_.choice(32) == 0) b.host_data = std::malloc(16);
  }

  Sizes sizes, made;  // what the host answers now; what it answered when the solver made its arrays
  bool arrays_made = false;
  bool null_structure = false;

 private:
  FuzzInput& in_;
  std::int32_t count_ = 1;
  std::array<std::int32_t, kStructureCapacity> rows_{}, cols_{};
  std::array<double, kMaxOrder> point_{};
};

// One exchange with the solver; keeps the state that the invariants of the next call need.
struct Exchange {
  vek::NLPSolver* solver = nullptr;
  FuzzHost* host = nullptr;
  Sink* sink = nullptr;
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0, result = 0;

  void call(std::int32_t mode) {
    const bool start = mode == 0 || mode == 3;
    if (!start && result == vek::kCallAgain && block != nullptr) host->evaluate(*block, request);
    const std::int32_t counted = counter;
    const std::size_t said = sink->texts.size();
    const Sizes asked = host->sizes;
    result = solver->Solve(mode, &block, &counter, &request);
    check(start, counted, said);
    if (result == vek::kCallAgain && start && !host->arrays_made) {
      host->arrays_made = true;
      host->made = asked;
    }
  }

  void check(bool start, std::int32_t counted, std::size_t said) const {
    FUZZ_CHECK(result == vek::kCallAgain || result == vek::kOk || result == vek::kSolveFailed ||
                   result == vek::kNotAvailable,
               "Solve answered a result outside 1, 0, -8, -15");
    if (result == vek::kNotAvailable) {
      FUZZ_CHECK(sink->texts.size() == said + 1, "a refusal did not write exactly one message");
      FUZZ_CHECK(sink->texts.back().rfind("VEKTALVIR Error:", 0) == 0, "a refusal without its error message");
      FUZZ_CHECK(request == vek::kRequestNone, "a refusal left a request code");
      return;
    }
    if (result == vek::kCallAgain) {
      const bool known = request == vek::kRequestStart || request == vek::kRequestStartVariant ||
                         request == vek::kRequestFunctions || request == vek::kRequestDerivatives ||
                         request == vek::kRequestVariant;
      FUZZ_CHECK(known && block != nullptr, "a result of 1 without a known request and the block");
    } else {
      FUZZ_CHECK(request == vek::kRequestNone, "an ending with a request code");
    }
    FUZZ_CHECK(start ? counter == 0 : counter == counted + 1, "the engine-call counter went wrong");
  }
};

void set_parameter(FuzzInput& in, vek::ParameterList* list) {
  static const char* const kNames[] = {"PrintLevel",      "PrintFreq", "StepSize", "MaxIterations",
                                       "MaxLineSearches", "OptTol",    "QPMode"};
  std::string name = in.choice(8) == 0 ? in.text(16) : kNames[in.choice(7)];
  for (char& c : name)
    if (in.choice(4) == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::string text = in.choice(4) == 0 ? "Errors Only" : in.text(24);
  vek::ParameterValue value{};
  if (strcasecmp(name.c_str(), "PrintLevel") == 0) {
    value.text = in.choice(16) == 0 ? nullptr : text.data();  // a text record reads a pointer
  } else if (in.choice(2) == 0) {
    value.real = in.choice(2) == 0 ? in.raw_double() : in.real_or_special(-2.0, 2.0);
  } else {
    value.integer = in.choice(4) == 0 ? in.raw_int32() : in.integer(-3, 200);
  }
  list->SetParameter(name.c_str(), in.integer(-1, 3), value);
  vek::ParameterInfo info{};
  if (list->GetParameterInfo(name.c_str(), &info) == vek::kOk) {
    std::free(info.name);
    std::free(info.description);
    if (info.type == vek::kTextParameter)
      std::free(info.value.text.value), std::free(info.value.text.options);
  }
}

// Limits under which any solve ends soon, then the last solve run to its end: it must end.
void finish(Exchange& e, vek::ParameterList* list) {
  constexpr std::int32_t kIterations = 5, kLineSearches = 3;
  vek::ParameterValue v{};
  v.integer = kIterations;
  list->SetParameter("MaxIterations", vek::kIntegerParameter, v);
  v.integer = kLineSearches;
  list->SetParameter("MaxLineSearches", vek::kIntegerParameter, v);
  // Each iteration takes one derivative call and at most kLineSearches + 1 function calls.
  for (int k = 0; k < (kIterations + 1) * (kLineSearches + 2) + 5 && e.result == vek::kCallAgain; ++k)
    e.call(1);
  FUZZ_CHECK(e.result != vek::kCallAgain,
             "the exchange did not end within the iteration and line search limits");
}

void run(FuzzInput& in) {
  FuzzHost host(in);
  Sink sink;
  host.read_sizes();
  host.read_structure();
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  FUZZ_CHECK(factory != nullptr, "no factory");
  Exchange e{nullptr, &host, &sink};
  factory->CreateSolver(&host, &sink, &e.solver);
  FUZZ_CHECK(e.solver != nullptr, "no solver");
  vek::ParameterList* list = nullptr;
  e.solver->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&list));
  FUZZ_CHECK(list != nullptr, "the solver offers no parameter view");
  for (int op = 0; op < kOperations && !in.used_up(); ++op) {
    switch (in.choice(10)) {
      case 0:
        e.call(in.choice(2) == 0 ? 0 : 3);
        break;
      case 1:
        set_parameter(in, list);
        break;
      case 2:
        host.read_sizes();
        break;
      case 3:
        host.read_structure();
        break;
      case 4:
        e.call(in.choice(4) == 0 ? in.integer(-5, 9) : 1);
        break;
      default:
        e.call(e.result == vek::kCallAgain ? (in.choice(2) == 0 ? 1 : 4) : 0);
        break;
    }
  }
  if (e.result == vek::kCallAgain && host.sizes.n == host.made.n && host.sizes.m() == host.made.m() &&
      host.sizes.nnz == host.made.nnz)
    finish(e, list);
  list->Release();
  e.solver->Release();
  factory->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  run(in);
  return 0;
}
