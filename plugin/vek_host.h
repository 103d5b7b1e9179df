/* The plug-in's interfaces for a host written in C: the interface tables, the records that cross the
 * boundary, the identifiers, return and request codes, and the entry's type. The same objects the C++
 * declarations of plugin/interfaces.h and driver/host_interfaces.h describe, laid out identically.
 *
 * An interface pointer points at an object whose first member points at its table of slots. Slots 0-2
 * are VEK_C_UNKNOWN (__stdcall on 32-bit Windows). Every later slot is a member call: on 32-bit Windows
 * that is thiscall (`this` in ECX, the arguments on the stack, removed by the callee), which C cannot
 * name with the usual Windows compiler (it accepts __thiscall only on C++ member functions). The idiom
 * used here is __fastcall with an unused second argument: fastcall passes its first two arguments in
 * ECX and EDX and the rest on the stack, removed by the callee, so a fastcall function whose second
 * argument is a dummy is called exactly as a thiscall one is. Hence, for the slots from 3 on:
 *   - a table declares the slot's type with VEK_C_MEMBER and VEK_C_SELF(Type) as its first parameters;
 *   - a host calls a slot with VEK_C_THIS(object) as its first arguments:
 *         solver->slots->Solve(VEK_C_THIS(solver), 1, &block, &counter, &request);
 *   - a host implements a slot (NLPProblem, MessageSink, its VEKUtilityComponent view) the same way:
 *         static int32_t VEK_C_MEMBER get_num_variables(VEK_C_SELF(VekNLPProblem)) { return 4; }
 * On every other platform (Linux, 64-bit Windows) a member call is the ordinary C call with `this`
 * first, and the macros add nothing. GCC and clang also accept this header (their thiscall attribute is
 * not needed).
 *
 * Return codes: 0 success, 1 Solve needs another call, -8 the solve ended with an engine failure, -10 a
 * parameter value outside its range, -11 no parameter of that name, -15 not available or refused;
 * QueryInterface answers 0 or E_NOINTERFACE (0x80004002). docs/plugin.md describes every call. */
#ifndef VEK_HOST_H
#define VEK_HOST_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define VEK_C_UNKNOWN __stdcall
#define VEK_C_MEMBER __fastcall
#define VEK_C_SELF(Type) Type *self, void *unused_edx
#define VEK_C_THIS(object) (object), NULL
#else
#define VEK_C_UNKNOWN
#define VEK_C_MEMBER
#define VEK_C_SELF(Type) Type* self
#define VEK_C_THIS(object) (object)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Identifiers, codes ------------------------------------------------------------------------ */

typedef struct VekGuid {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
} VekGuid;

#define VEK_IID_TAIL \
  { 0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65 }
#define VEK_IID_IUNKNOWN           \
  {                                \
    0x00000000, 0x0000, 0x0000, {  \
      0xC0, 0, 0, 0, 0, 0, 0, 0x46 \
    }                              \
  }
#define VEK_IID_UTILITY_COMPONENT \
  { 0xCF690D4A, 0x2FD1, 0x11D3, VEK_IID_TAIL }
#define VEK_IID_PARAMETER_LIST \
  { 0xCF690D4B, 0x2FD1, 0x11D3, VEK_IID_TAIL }
#define VEK_IID_NLP_SYSTEM_FACTORY \
  { 0xCF691D50, 0x2FD1, 0x11D3, VEK_IID_TAIL }
#define VEK_IID_NLP_SOLVER \
  { 0xCF691D4F, 0x2FD1, 0x11D3, VEK_IID_TAIL }
#define VEK_IID_SOLVER_RESULTS \
  { 0xCF690D51, 0x2FD1, 0x11D3, VEK_IID_TAIL }

enum {
  VEK_OK = 0,
  VEK_CALL_AGAIN = 1,
  VEK_SOLVE_FAILED = -8,
  VEK_VALUE_OUT_OF_RANGE = -10,
  VEK_NO_SUCH_PARAMETER = -11,
  VEK_NOT_AVAILABLE = -15
};
#define VEK_E_NOINTERFACE ((int32_t)0x80004002u)

enum { VEK_INTEGER_PARAMETER = 0, VEK_REAL_PARAMETER = 1, VEK_TEXT_PARAMETER = 2 };

/* Request codes of Solve. */
enum {
  VEK_REQUEST_NONE = 0,          /* the solve has ended */
  VEK_REQUEST_VARIANT = 6,       /* modes 3, 4, 5: what the previous request asked for */
  VEK_REQUEST_FUNCTIONS = 7,     /* objective and constraint values */
  VEK_REQUEST_DERIVATIVES = 105, /* gradient and Jacobian values */
  VEK_REQUEST_START_VARIANT = 110,
  VEK_REQUEST_START = 111 /* everything, at the starting point */
};

/* ---- Records ----------------------------------------------------------------------------------- */

typedef union VekParameterData {
  struct {
    int32_t minimum, maximum, value;
  } integer;
  struct {
    double minimum, maximum, value;
  } real;
  struct {
    char* value;   /* current text */
    char* options; /* allowed values, each followed by ";" */
  } text;
} VekParameterData;

/* Filled by GetParameterInfo; every text is a new copy that belongs to the caller. */
typedef struct VekParameterInfo {
  char* name;
  char* description;
  int32_t type;
  VekParameterData value;
} VekParameterInfo;

/* Filled by GetParameter (a text is a new copy for the caller), passed by value to SetParameter. */
typedef union VekParameterValue {
  int32_t integer;
  double real;
  char* text;
} VekParameterValue;

/* Owned by the solver; its address comes back from every Solve call. */
typedef struct VekEvaluationBlock {
  void* host_data;        /* 0 when created; a non-null pointer stored here is freed with free() */
  int32_t reserved;       /* never read */
  double objective;       /* f(x) */
  double* gradient;       /* N + 1 doubles; df/dx_i in the first N */
  double* gradient_spare; /* never read */
  double* constraints;    /* c_j(x) in the first M; c_1 >= 1e30: the evaluation failed */
  double* jacobian;       /* the k-th is d c_row[k] / d x_col[k], k < nnz */
} VekEvaluationBlock;

/* ---- Interfaces the module implements ---------------------------------------------------------- */

#define VEK_C_UNKNOWN_SLOTS(Type)                                                      \
  int32_t(VEK_C_UNKNOWN* QueryInterface)(Type * self, const VekGuid* iid, void** out); \
  int32_t(VEK_C_UNKNOWN* AddRef)(Type * self);                                         \
  int32_t(VEK_C_UNKNOWN* Release)(Type * self)

typedef struct VekUtilityComponent {
  const struct VekUtilityComponentSlots* slots;
} VekUtilityComponent;
struct VekUtilityComponentSlots {
  VEK_C_UNKNOWN_SLOTS(VekUtilityComponent);
  const char*(VEK_C_MEMBER* GetVersion)(VEK_C_SELF(VekUtilityComponent));
  const char*(VEK_C_MEMBER* GetDescription)(VEK_C_SELF(VekUtilityComponent));
  const char*(VEK_C_MEMBER* GetName)(VEK_C_SELF(VekUtilityComponent));
  /* then the module's destructor slot(s): never called by a host; a host's own table may end here */
};

typedef struct VekParameterList {
  const struct VekParameterListSlots* slots;
} VekParameterList;
struct VekParameterListSlots {
  VEK_C_UNKNOWN_SLOTS(VekParameterList);
  int32_t(VEK_C_MEMBER* GetParameterCount)(VEK_C_SELF(VekParameterList));
  int32_t(VEK_C_MEMBER* GetParameterNames)(VEK_C_SELF(VekParameterList), char** names);
  int32_t(VEK_C_MEMBER* GetParameterInfo)(VEK_C_SELF(VekParameterList), const char* name,
                                          VekParameterInfo* info);
  int32_t(VEK_C_MEMBER* GetParameter)(VEK_C_SELF(VekParameterList), const char* name, int32_t* type,
                                      VekParameterValue* value);
  int32_t(VEK_C_MEMBER* SetParameter)(VEK_C_SELF(VekParameterList), const char* name, int32_t type,
                                      VekParameterValue value);
};

struct VekNLPProblem;
struct VekMessageSink;

typedef struct VekNLPSolver {
  const struct VekNLPSolverSlots* slots;
} VekNLPSolver;
struct VekNLPSolverSlots {
  VEK_C_UNKNOWN_SLOTS(VekNLPSolver);
  int32_t(VEK_C_MEMBER* Solve)(VEK_C_SELF(VekNLPSolver), int32_t mode, VekEvaluationBlock** block,
                               int32_t* counter, int32_t* request);
};

typedef struct VekNLPSystemFactory {
  const struct VekNLPSystemFactorySlots* slots;
} VekNLPSystemFactory;
struct VekNLPSystemFactorySlots {
  VEK_C_UNKNOWN_SLOTS(VekNLPSystemFactory);
  int32_t(VEK_C_MEMBER* CreateSolver)(VEK_C_SELF(VekNLPSystemFactory), struct VekNLPProblem* problem,
                                      struct VekMessageSink* sink, VekNLPSolver** out);
};

typedef struct VekSolverResults {
  const struct VekSolverResultsSlots* slots;
} VekSolverResults;
struct VekSolverResultsSlots {
  VEK_C_UNKNOWN_SLOTS(VekSolverResults);
  int32_t(VEK_C_MEMBER* ReservedQuery)(VEK_C_SELF(VekSolverResults), int32_t key, void* first, void* second);
  int32_t(VEK_C_MEMBER* GetRealResult)(VEK_C_SELF(VekSolverResults), const char* key, double* value);
};

/* ---- Objects the host implements --------------------------------------------------------------- */

/* The problem (slots 9, 10, 12-14, 16, 18, 21 are never called: any function of the slot type will do). */
typedef struct VekNLPProblem {
  const struct VekNLPProblemSlots* slots;
} VekNLPProblem;
typedef int32_t(VEK_C_MEMBER* VekUnusedSlot)(VEK_C_SELF(VekNLPProblem));
struct VekNLPProblemSlots {
  VEK_C_UNKNOWN_SLOTS(VekNLPProblem);
  int32_t(VEK_C_MEMBER* GetNumVariables)(VEK_C_SELF(VekNLPProblem));    /* 3 */
  int32_t(VEK_C_MEMBER* GetNumEqualities)(VEK_C_SELF(VekNLPProblem));   /* 4 */
  int32_t(VEK_C_MEMBER* GetNumInequalities)(VEK_C_SELF(VekNLPProblem)); /* 5 */
  int32_t(VEK_C_MEMBER* GetVariableBounds)(VEK_C_SELF(VekNLPProblem), int32_t first, double* lower,
                                           double* upper);
  int32_t(VEK_C_MEMBER* SetVariableValues)(VEK_C_SELF(VekNLPProblem), int32_t first, const double* x);
  int32_t(VEK_C_MEMBER* GetVariableValues)(VEK_C_SELF(VekNLPProblem), int32_t first, double* x); /* 8 */
  VekUnusedSlot Reserved09, Reserved10;
  int32_t(VEK_C_MEMBER* GetVariableAttribute)(VEK_C_SELF(VekNLPProblem), int32_t index, const char* key,
                                              double* value); /* 11 */
  VekUnusedSlot Reserved12, Reserved13, Reserved14;
  int32_t(VEK_C_MEMBER* GetConstraintAttribute)(VEK_C_SELF(VekNLPProblem), int32_t index, const char* key,
                                                int32_t* value); /* 15 */
  VekUnusedSlot Reserved16;
  int32_t(VEK_C_MEMBER* GetProblemAttribute)(VEK_C_SELF(VekNLPProblem), const char* key, double* value);
  VekUnusedSlot Reserved18;
  int32_t(VEK_C_MEMBER* GetStructureCounts)(VEK_C_SELF(VekNLPProblem), int32_t* first, int32_t* nnz);
  int32_t(VEK_C_MEMBER* GetJacobianStructure)(VEK_C_SELF(VekNLPProblem), const int32_t** rows,
                                              const int32_t** cols, int32_t* count); /* 20 */
  VekUnusedSlot Reserved21;
  int32_t(VEK_C_MEMBER* OnSolveCall)(VEK_C_SELF(VekNLPProblem)); /* 22 */
  int32_t(VEK_C_MEMBER* SetMultipliers)(VEK_C_SELF(VekNLPProblem), const double* variable_multipliers,
                                        const double* constraint_multipliers); /* 23 */
};

/* The message sink: one slot, no reference counting. */
typedef struct VekMessageSink {
  const struct VekMessageSinkSlots* slots;
} VekMessageSink;
struct VekMessageSinkSlots {
  void(VEK_C_MEMBER* Write)(VEK_C_SELF(VekMessageSink), const char* text);
};

/* The one export: the factory's NLPSystemFactory view with one more reference (a plain C function). */
typedef VekNLPSystemFactory* (*VekGetFactoryNLPSystemFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VEK_HOST_H */
