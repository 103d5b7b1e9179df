/* A host written in C, as a host of the usual Windows compiler sees the plug-in: the interfaces are
 * tables of function pointers whose first three slots are __stdcall and whose later slots are member
 * calls (thiscall: `this` in ECX, the callee removes the arguments). It loads the module with
 * LoadLibrary and GetProcAddress, checks the stack pointer around every call into the module, checks
 * `this` in every call the module makes back, and solves hs071 through Solve.
 *
 * Usage: c_host <path of vek_talvir.dll>. Exit status 0 when every check held. */
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define THISCALL __attribute__((thiscall))

typedef struct {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
} Iid;

static const Iid kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const Iid kIidUtility = {0xCF690D4A, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};
static const Iid kIidParameterList = {
    0xCF690D4B, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};
static const Iid kIidSolverResults = {
    0xCF690D51, 0x2FD1, 0x11D3, {0x96, 0xAA, 0x00, 0x60, 0x97, 0xB1, 0x42, 0x65}};

/* The records that cross the boundary, laid out as on 32-bit Windows. */
typedef struct {
  void* host_data;
  int32_t reserved;
  double objective;
  double* gradient;
  double* gradient_spare;
  double* constraints;
  double* jacobian;
} EvaluationBlock;
_Static_assert(offsetof(EvaluationBlock, objective) == 8, "objective at 8");
_Static_assert(offsetof(EvaluationBlock, jacobian) == 28 && sizeof(EvaluationBlock) == 32, "block size");

typedef union {
  int32_t integer;
  double real;
  char* text;
} ParameterValue;
_Static_assert(sizeof(ParameterValue) == 8, "8-byte value");

/* Slots 0-2, shared by every table. */
#define UNKNOWN_SLOTS(Self)                                                    \
  int32_t(__stdcall* QueryInterface)(Self * self, const Iid* iid, void** out); \
  int32_t(__stdcall* AddRef)(Self * self);                                     \
  int32_t(__stdcall* Release)(Self * self)

typedef struct Problem Problem;
typedef struct Sink Sink;
typedef struct Solver Solver;

typedef struct Factory {
  const struct FactorySlots* slots;
} Factory;
struct FactorySlots {
  UNKNOWN_SLOTS(Factory);
  int32_t(THISCALL* CreateSolver)(Factory* self, Problem* problem, Sink* sink, Solver** out);
};

typedef struct ParameterList {
  const struct ParameterListSlots* slots;
} ParameterList;
struct ParameterListSlots {
  UNKNOWN_SLOTS(ParameterList);
  int32_t(THISCALL* GetParameterCount)(ParameterList* self);
  int32_t(THISCALL* GetParameterNames)(ParameterList* self, char** names);
  int32_t(THISCALL* GetParameterInfo)(ParameterList* self, const char* name, void* info);
  int32_t(THISCALL* GetParameter)(ParameterList* self, const char* name, int32_t* type,
                                  ParameterValue* value);
  int32_t(THISCALL* SetParameter)(ParameterList* self, const char* name, int32_t type, ParameterValue value);
};

struct Solver {
  const struct SolverSlots* slots;
};
struct SolverSlots {
  UNKNOWN_SLOTS(Solver);
  int32_t(THISCALL* Solve)(Solver* self, int32_t mode, EvaluationBlock** block, int32_t* counter,
                           int32_t* request);
};

typedef struct Results {
  const struct ResultsSlots* slots;
} Results;
struct ResultsSlots {
  UNKNOWN_SLOTS(Results);
  int32_t(THISCALL* ReservedQuery)(Results* self, int32_t key, void* first, void* second);
  int32_t(THISCALL* GetRealResult)(Results* self, const char* key, double* value);
};

typedef struct Utility {
  const struct UtilitySlots* slots;
} Utility;
struct UtilitySlots {
  UNKNOWN_SLOTS(Utility);
  const char*(THISCALL* GetVersion)(Utility* self);
  const char*(THISCALL* GetDescription)(Utility* self);
  const char*(THISCALL* GetName)(Utility* self);
};

/* ---- Checks ---------------------------------------------------------------------------------- */

static int g_failures = 0;
static uintptr_t g_sp_before, g_sp_after;

static void check(int condition, const char* what) {
  if (!condition) {
    ++g_failures;
    printf("FAILED: %s\n", what);
  }
}

static inline uintptr_t stack_pointer(void) {
  uintptr_t sp;
  __asm__ volatile("movl %%esp, %0" : "=r"(sp)::"memory");
  return sp;
}

static void check_stack(const char* call) {
  if (g_sp_after != g_sp_before) {
    ++g_failures;
    printf("FAILED: stack pointer moved by %d bytes in %s\n", (int)(g_sp_after - g_sp_before), call);
  }
}

/* Evaluates `call` (an expression) with the stack pointer read right before and right after it. */
#define CALL(result, call)         \
  do {                             \
    g_sp_before = stack_pointer(); \
    result = (call);               \
    g_sp_after = stack_pointer();  \
    check_stack(#call);            \
  } while (0)

/* ---- The problem: hs071, minimise x1 x4 (x1 + x2 + x3) + x3 subject to x1^2 + ... + x4^2 = 40,
 *      x1 x2 x3 x4 >= 25, 1 <= x <= 5, from (1, 5, 5, 1). ---------------------------------------- */

enum { kN = 4, kM = 2, kNnz = 8 };

struct Problem {
  const struct ProblemSlots* slots;
  Utility utility; /* the VEKUtilityComponent view */
  int32_t references;
  double x[kN];
  double lambda[kM];
  int multipliers_set;
  int bad_this;
};

struct ProblemSlots {
  UNKNOWN_SLOTS(Problem);
  int32_t(THISCALL* slot[21])(Problem* self); /* slots 3..23, filled below with their real types */
};

static const int32_t kRows[kNnz] = {1, 1, 1, 1, 2, 2, 2, 2};
static const int32_t kCols[kNnz] = {1, 2, 3, 4, 1, 2, 3, 4};

static Problem g_problem;

static void expect_self(Problem* self) {
  if (self != &g_problem) g_problem.bad_this = 1;
}

static int32_t __stdcall problem_query(Problem* self, const Iid* iid, void** out) {
  expect_self(self);
  if (memcmp(iid, &kIidUtility, sizeof *iid) == 0) {
    *out = &self->utility;
    ++self->references;
    return 0;
  }
  return (int32_t)0x80004002u;
}
static int32_t __stdcall problem_add_ref(Problem* self) {
  expect_self(self);
  return ++self->references;
}
static int32_t __stdcall problem_release(Problem* self) {
  expect_self(self);
  return --self->references;
}
static int32_t THISCALL get_num_variables(Problem* self) {
  expect_self(self);
  return kN;
}
static int32_t THISCALL get_num_equalities(Problem* self) {
  expect_self(self);
  return 1;
}
static int32_t THISCALL get_num_inequalities(Problem* self) {
  expect_self(self);
  return 1;
}
static int32_t THISCALL get_variable_bounds(Problem* self, int32_t first, double* lower, double* upper) {
  expect_self(self);
  for (int i = first; i < kN; ++i) lower[i] = 1.0, upper[i] = 5.0;
  return 0;
}
static int32_t THISCALL set_variable_values(Problem* self, int32_t first, const double* x) {
  expect_self(self);
  for (int i = first; i < kN; ++i) self->x[i] = x[i];
  return 0;
}
static int32_t THISCALL get_variable_values(Problem* self, int32_t first, double* x) {
  expect_self(self);
  for (int i = first; i < kN; ++i) x[i] = self->x[i];
  return 0;
}
static int32_t THISCALL not_available(Problem* self) {
  expect_self(self);
  return -15;
}
static int32_t THISCALL get_variable_attribute(Problem* self, int32_t index, const char* key, double* value) {
  (void)index, (void)key, (void)value;
  expect_self(self);
  return -1; /* no scales */
}
static int32_t THISCALL get_constraint_attribute(Problem* self, int32_t index, const char* key,
                                                 int32_t* value) {
  expect_self(self);
  if (strcmp(key, "MathType") == 0) *value = index == 0 ? 0 : 3; /* c1 = 0, c2 >= 0 */
  return 0;
}
static int32_t THISCALL get_problem_attribute(Problem* self, const char* key, double* value) {
  (void)key, (void)value;
  expect_self(self);
  return -1;
}
static int32_t THISCALL get_structure_counts(Problem* self, int32_t* first, int32_t* nnz) {
  expect_self(self);
  *first = 0;
  *nnz = kNnz;
  return 0;
}
static int32_t THISCALL get_jacobian_structure(Problem* self, const int32_t** rows, const int32_t** cols,
                                               int32_t* count) {
  expect_self(self);
  *rows = kRows;
  *cols = kCols;
  *count = kNnz;
  return 0;
}
static int32_t THISCALL on_solve_call(Problem* self) {
  expect_self(self);
  return 0;
}
static int32_t THISCALL set_multipliers(Problem* self, const double* variables, const double* constraints) {
  expect_self(self);
  for (int i = 0; i < kN; ++i) check(variables[i] == 0.0, "variable multipliers are zeros");
  for (int j = 0; j < kM; ++j) self->lambda[j] = constraints[j];
  self->multipliers_set = 1;
  return 0;
}

typedef int32_t(THISCALL* AnySlot)(Problem*);
#define SLOT(f) ((AnySlot)(void (*)(void))(f))
static const struct ProblemSlots kProblemSlots = {problem_query,
                                                  problem_add_ref,
                                                  problem_release,
                                                  {SLOT(get_num_variables),
                                                   SLOT(get_num_equalities),
                                                   SLOT(get_num_inequalities),
                                                   SLOT(get_variable_bounds),
                                                   SLOT(set_variable_values),
                                                   SLOT(get_variable_values),
                                                   SLOT(not_available),
                                                   SLOT(not_available),
                                                   SLOT(get_variable_attribute),
                                                   SLOT(not_available),
                                                   SLOT(not_available),
                                                   SLOT(not_available),
                                                   SLOT(get_constraint_attribute),
                                                   SLOT(not_available),
                                                   SLOT(get_problem_attribute),
                                                   SLOT(not_available),
                                                   SLOT(get_structure_counts),
                                                   SLOT(get_jacobian_structure),
                                                   SLOT(not_available),
                                                   SLOT(on_solve_call),
                                                   SLOT(set_multipliers)}};

/* The problem's VEKUtilityComponent view: its IUnknown slots forward to the problem's. */
static Problem* owner(Utility* self) {
  return (Problem*)((char*)self - offsetof(Problem, utility));
}
static int32_t __stdcall utility_query(Utility* self, const Iid* iid, void** out) {
  return problem_query(owner(self), iid, out);
}
static int32_t __stdcall utility_add_ref(Utility* self) {
  return problem_add_ref(owner(self));
}
static int32_t __stdcall utility_release(Utility* self) {
  return problem_release(owner(self));
}
static const char* THISCALL utility_text(Utility* self) {
  expect_self(owner(self));
  return "hs071 from a C host";
}
static const struct UtilitySlots kUtilitySlots = {utility_query, utility_add_ref, utility_release,
                                                  utility_text,  utility_text,    utility_text};

static void evaluate(const double* x, EvaluationBlock* block, int32_t request) {
  const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3];
  if (request == 111 || request == 7) {
    block->objective = x1 * x4 * (x1 + x2 + x3) + x3;
    block->constraints[0] = x1 * x1 + x2 * x2 + x3 * x3 + x4 * x4 - 40.0;
    block->constraints[1] = x1 * x2 * x3 * x4 - 25.0;
  }
  if (request == 111 || request == 105) {
    const double g[kN] = {x4 * (2 * x1 + x2 + x3), x1 * x4, x1 * x4 + 1.0, x1 * (x1 + x2 + x3)};
    const double j[kNnz] = {2 * x1,       2 * x2,       2 * x3,       2 * x4,
                            x2 * x3 * x4, x1 * x3 * x4, x1 * x2 * x4, x1 * x2 * x3};
    memcpy(block->gradient, g, sizeof g);
    memcpy(block->jacobian, j, sizeof j);
  }
}

/* ---- The message sink --------------------------------------------------------------------------- */

struct Sink {
  const struct SinkSlots* slots;
  int texts;
  int bad_this;
  char first[128];
};
struct SinkSlots {
  void(THISCALL* Write)(Sink* self, const char* text);
};
static Sink g_sink;
static void THISCALL sink_write(Sink* self, const char* text) {
  if (self != &g_sink) {
    g_sink.bad_this = 1;
    return;
  }
  if (self->texts++ == 0) snprintf(self->first, sizeof self->first, "%s", text);
}
static const struct SinkSlots kSinkSlots = {sink_write};

/* ---- The run ------------------------------------------------------------------------------------ */

typedef Factory* (*EntryFn)(void);

static void check_parameters(Factory* factory) {
  ParameterList* params = NULL;
  int32_t status, count;
  CALL(status, factory->slots->QueryInterface(factory, &kIidParameterList, (void**)&params));
  check(status == 0 && params != NULL, "the factory answers ParameterList");
  if (params == NULL) return;
  CALL(count, params->slots->GetParameterCount(params));
  check(count == 7, "seven parameters");
  char* names[7] = {0};
  CALL(status, params->slots->GetParameterNames(params, names));
  check(status == 0 && names[5] != NULL && strcmp(names[5], "OptTol") == 0, "parameter names");
  for (int k = 0; k < 7; ++k) free(names[k]); /* allocated by AllocateString: the host's to free */
  ParameterValue value;
  value.real = 1.0e-9;
  CALL(status, params->slots->SetParameter(params, "opttol", 1, value));
  check(status == 0, "SetParameter OptTol");
  value.integer = 0;
  CALL(status, params->slots->SetParameter(params, "MaxIterations", 0, value));
  check(status == -10, "MaxIterations 0 is refused");
  int32_t type = -1;
  value.real = 0.0;
  CALL(status, params->slots->GetParameter(params, "OptTol", &type, &value));
  check(status == 0 && type == 1 && value.real == 1.0e-9, "GetParameter OptTol");
  CALL(count, params->slots->Release(params));
  check(count == 1, "ParameterList released");
}

static void solve(Factory* factory) {
  g_problem.slots = &kProblemSlots;
  g_problem.utility.slots = &kUtilitySlots;
  const double start[kN] = {1.0, 5.0, 5.0, 1.0};
  memcpy(g_problem.x, start, sizeof start);
  g_sink.slots = &kSinkSlots;

  Solver* solver = NULL;
  int32_t status;
  CALL(status, factory->slots->CreateSolver(factory, &g_problem, &g_sink, &solver));
  check(status == 0 && solver != NULL, "CreateSolver");
  if (solver == NULL) return;
  check(strcmp(g_sink.first, "In solver DLL using problem ") == 0, "CreateSolver greets the problem");

  EvaluationBlock* block = NULL;
  int32_t counter = 0, request = 0, calls = 1;
  CALL(status, solver->slots->Solve(solver, 0, &block, &counter, &request));
  check(status == 1 && request == 111 && block != NULL, "the start call asks for everything");
  while (status == 1 && calls < 500) {
    evaluate(g_problem.x, block, request);
    CALL(status, solver->slots->Solve(solver, 1, &block, &counter, &request));
    ++calls;
  }
  check(status == 0, "the solve converges");
  const double f =
      g_problem.x[0] * g_problem.x[3] * (g_problem.x[0] + g_problem.x[1] + g_problem.x[2]) + g_problem.x[2];
  check(fabs(f - 17.0140173) < 1e-6, "the published optimum 17.0140173");
  check(g_problem.multipliers_set, "SetMultipliers was called");
  /* Stationarity of f - sum lambda_j c_j in the free variables x2, x3 (x1 sits at its bound 1). */
  const double* x = g_problem.x;
  const double r2 = x[0] * x[3] - g_problem.lambda[0] * 2 * x[1] - g_problem.lambda[1] * x[0] * x[2] * x[3];
  const double r3 =
      x[0] * x[3] + 1.0 - g_problem.lambda[0] * 2 * x[2] - g_problem.lambda[1] * x[0] * x[1] * x[3];
  check(fabs(r2) < 1e-5 && fabs(r3) < 1e-5, "the multipliers satisfy stationarity");

  Results* results = NULL;
  CALL(status, solver->slots->QueryInterface(solver, &kIidSolverResults, (void**)&results));
  check(status == 0 && results != NULL, "the solver answers SolverResults");
  if (results != NULL) {
    double ratio = -1.0;
    CALL(status, results->slots->GetRealResult(results, "CVRG", &ratio));
    check(status == 0 && ratio >= 0.0 && ratio < 1.0, "CVRG after convergence");
    CALL(status, results->slots->ReservedQuery(results, 1, NULL, NULL));
    check(status == -15, "ReservedQuery");
    CALL(status, results->slots->Release(results));
  }
  Utility* utility = NULL;
  CALL(status, solver->slots->QueryInterface(solver, &kIidUnknown, (void**)&utility));
  if (utility != NULL) {
    const char* name;
    CALL(name, utility->slots->GetName(utility));
    check(strcmp(name, "Solver TALVIR") == 0, "GetName");
    CALL(status, utility->slots->Release(utility));
  }
  CALL(status, solver->slots->Release(solver));
  check(status == 0, "the last Release destroys the solver");
  check(g_problem.references == 0, "the solver gave the problem back");
  printf("c_host: f = %.7f after %d Solve calls, %d sink texts\n", f, calls, g_sink.texts);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    printf("usage: c_host <vek_talvir.dll>\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (module == NULL) {
    printf("FAILED: LoadLibrary(%s), error %lu\n", argv[1], GetLastError());
    return 1;
  }
  EntryFn entry = (EntryFn)(void (*)(void))GetProcAddress(module, "GetFactoryNLPSystem");
  check(entry != NULL, "GetProcAddress finds GetFactoryNLPSystem undecorated");
  if (entry == NULL) return 1;

  Factory* factory;
  CALL(factory, entry());
  check(factory != NULL, "a factory");
  if (factory == NULL) return 1;
  check_parameters(factory);
  solve(factory);
  int32_t count;
  CALL(count, factory->slots->Release(factory));
  check(count == 0, "the last Release destroys the factory");
  check(!g_problem.bad_this && !g_sink.bad_this, "every call back came with the right this");
  FreeLibrary(module);
  printf("c_host: %s\n", g_failures == 0 ? "all checks held" : "checks FAILED");
  return g_failures == 0 ? 0 : 1;
}
