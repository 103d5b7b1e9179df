/* A host written in C, through plugin/vek_host.h as a host of the usual Windows compiler would use it:
 * on 32-bit Windows the slots from 3 on are called and implemented as __fastcall functions with an
 * unused second argument (the idiom that matches thiscall), the first three __stdcall. It loads the
 * module by path (LoadLibraryEx with the module's folder first in the search; dlopen elsewhere),
 * checks the stack pointer around every call into the module (32-bit x86), checks `this` in every
 * call the module makes back, solves hs071 through Solve with the listing on, and checks that the
 * listing reached the sink.
 *
 * Usage: c_host <path of the module>. Exit status 0 when every check held. */
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "plugin/vek_host.h"

static const VekGuid kIidUnknown = VEK_IID_IUNKNOWN;
static const VekGuid kIidUtility = VEK_IID_UTILITY_COMPONENT;
static const VekGuid kIidParameterList = VEK_IID_PARAMETER_LIST;
static const VekGuid kIidSolverResults = VEK_IID_SOLVER_RESULTS;

/* The records as 32-bit Windows lays them out, where this host is most often built. */
#if defined(_WIN32) && defined(__i386__)
_Static_assert(offsetof(VekEvaluationBlock, objective) == 8, "objective at 8");
_Static_assert(offsetof(VekEvaluationBlock, jacobian) == 28 && sizeof(VekEvaluationBlock) == 32,
               "block size");
_Static_assert(offsetof(VekParameterInfo, value) == 16 && sizeof(VekParameterInfo) == 40, "info size");
#endif
_Static_assert(sizeof(VekParameterValue) == 8, "8-byte value");

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
  uintptr_t sp = 0;
#if defined(__i386__)
  __asm__ volatile("movl %%esp, %0" : "=r"(sp)::"memory");
#endif
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

typedef struct Problem {
  VekNLPProblem base;          /* the NLPProblem view: the module is handed &base */
  VekUtilityComponent utility; /* the VEKUtilityComponent view */
  int32_t references;
  double x[kN];
  double lambda[kM];
  int multipliers_set;
  int bad_this;
} Problem;

static const int32_t kRows[kNnz] = {1, 1, 1, 1, 2, 2, 2, 2};
static const int32_t kCols[kNnz] = {1, 2, 3, 4, 1, 2, 3, 4};

static Problem g_problem;

/* The problem behind the view the module called, with `this` checked. */
static Problem* problem_of(VekNLPProblem* self) {
  if (self != &g_problem.base) g_problem.bad_this = 1;
  return &g_problem;
}

#if defined(_WIN32) && defined(__i386__)
#define UNUSED_EDX (void)unused_edx
#else
#define UNUSED_EDX (void)0
#endif

static int32_t VEK_C_UNKNOWN problem_query(VekNLPProblem* self, const VekGuid* iid, void** out) {
  Problem* p = problem_of(self);
  if (memcmp(iid, &kIidUtility, sizeof *iid) == 0) {
    *out = &p->utility;
    ++p->references;
    return 0;
  }
  return VEK_E_NOINTERFACE;
}
static int32_t VEK_C_UNKNOWN problem_add_ref(VekNLPProblem* self) {
  return ++problem_of(self)->references;
}
static int32_t VEK_C_UNKNOWN problem_release(VekNLPProblem* self) {
  return --problem_of(self)->references;
}
static int32_t VEK_C_MEMBER get_num_variables(VEK_C_SELF(VekNLPProblem)) {
  UNUSED_EDX;
  problem_of(self);
  return kN;
}
static int32_t VEK_C_MEMBER get_one(VEK_C_SELF(VekNLPProblem)) { /* equalities, inequalities */
  UNUSED_EDX;
  problem_of(self);
  return 1;
}
static int32_t VEK_C_MEMBER get_variable_bounds(VEK_C_SELF(VekNLPProblem), int32_t first, double* lower,
                                                double* upper) {
  UNUSED_EDX;
  problem_of(self);
  for (int i = first; i < kN; ++i) lower[i] = 1.0, upper[i] = 5.0;
  return 0;
}
static int32_t VEK_C_MEMBER set_variable_values(VEK_C_SELF(VekNLPProblem), int32_t first, const double* x) {
  UNUSED_EDX;
  Problem* p = problem_of(self);
  for (int i = first; i < kN; ++i) p->x[i] = x[i];
  return 0;
}
static int32_t VEK_C_MEMBER get_variable_values(VEK_C_SELF(VekNLPProblem), int32_t first, double* x) {
  UNUSED_EDX;
  Problem* p = problem_of(self);
  for (int i = first; i < kN; ++i) x[i] = p->x[i];
  return 0;
}
static int32_t VEK_C_MEMBER not_available(VEK_C_SELF(VekNLPProblem)) {
  UNUSED_EDX;
  problem_of(self);
  return VEK_NOT_AVAILABLE;
}
static int32_t VEK_C_MEMBER get_variable_attribute(VEK_C_SELF(VekNLPProblem), int32_t index, const char* key,
                                                   double* value) {
  UNUSED_EDX;
  (void)index, (void)key, (void)value;
  problem_of(self);
  return -1; /* no scales */
}
static int32_t VEK_C_MEMBER get_constraint_attribute(VEK_C_SELF(VekNLPProblem), int32_t index,
                                                     const char* key, int32_t* value) {
  UNUSED_EDX;
  problem_of(self);
  if (strcmp(key, "MathType") == 0) *value = index == 0 ? 0 : 3; /* c1 = 0, c2 >= 0 */
  return 0;
}
static int32_t VEK_C_MEMBER get_problem_attribute(VEK_C_SELF(VekNLPProblem), const char* key, double* value) {
  UNUSED_EDX;
  (void)key, (void)value;
  problem_of(self);
  return -1;
}
static int32_t VEK_C_MEMBER get_structure_counts(VEK_C_SELF(VekNLPProblem), int32_t* first, int32_t* nnz) {
  UNUSED_EDX;
  problem_of(self);
  *first = 0;
  *nnz = kNnz;
  return 0;
}
static int32_t VEK_C_MEMBER get_jacobian_structure(VEK_C_SELF(VekNLPProblem), const int32_t** rows,
                                                   const int32_t** cols, int32_t* count) {
  UNUSED_EDX;
  problem_of(self);
  *rows = kRows;
  *cols = kCols;
  *count = kNnz;
  return 0;
}
static int32_t VEK_C_MEMBER on_solve_call(VEK_C_SELF(VekNLPProblem)) {
  UNUSED_EDX;
  problem_of(self);
  return 0;
}
static int32_t VEK_C_MEMBER set_multipliers(VEK_C_SELF(VekNLPProblem), const double* variables,
                                            const double* constraints) {
  UNUSED_EDX;
  Problem* p = problem_of(self);
  for (int i = 0; i < kN; ++i) check(variables[i] == 0.0, "variable multipliers are zeros");
  for (int j = 0; j < kM; ++j) p->lambda[j] = constraints[j];
  p->multipliers_set = 1;
  return 0;
}

static const struct VekNLPProblemSlots kProblemSlots = {problem_query,
                                                        problem_add_ref,
                                                        problem_release,
                                                        get_num_variables,
                                                        get_one,
                                                        get_one,
                                                        get_variable_bounds,
                                                        set_variable_values,
                                                        get_variable_values,
                                                        not_available,
                                                        not_available,
                                                        get_variable_attribute,
                                                        not_available,
                                                        not_available,
                                                        not_available,
                                                        get_constraint_attribute,
                                                        not_available,
                                                        get_problem_attribute,
                                                        not_available,
                                                        get_structure_counts,
                                                        get_jacobian_structure,
                                                        not_available,
                                                        on_solve_call,
                                                        set_multipliers};

/* The problem's VEKUtilityComponent view: its IUnknown slots forward to the problem's. */
static VekNLPProblem* owner(VekUtilityComponent* self) {
  return &((Problem*)((char*)self - offsetof(Problem, utility)))->base;
}
static int32_t VEK_C_UNKNOWN utility_query(VekUtilityComponent* self, const VekGuid* iid, void** out) {
  return problem_query(owner(self), iid, out);
}
static int32_t VEK_C_UNKNOWN utility_add_ref(VekUtilityComponent* self) {
  return problem_add_ref(owner(self));
}
static int32_t VEK_C_UNKNOWN utility_release(VekUtilityComponent* self) {
  return problem_release(owner(self));
}
static const char* VEK_C_MEMBER utility_text(VEK_C_SELF(VekUtilityComponent)) {
  UNUSED_EDX;
  problem_of(owner(self));
  return "hs071 from a C host";
}
static const struct VekUtilityComponentSlots kUtilitySlots = {utility_query, utility_add_ref, utility_release,
                                                              utility_text,  utility_text,    utility_text};

static void evaluate(const double* x, VekEvaluationBlock* block, int32_t request) {
  const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3];
  if (request == VEK_REQUEST_START || request == VEK_REQUEST_FUNCTIONS) {
    block->objective = x1 * x4 * (x1 + x2 + x3) + x3;
    block->constraints[0] = x1 * x1 + x2 * x2 + x3 * x3 + x4 * x4 - 40.0;
    block->constraints[1] = x1 * x2 * x3 * x4 - 25.0;
  }
  if (request == VEK_REQUEST_START || request == VEK_REQUEST_DERIVATIVES) {
    const double g[kN] = {x4 * (2 * x1 + x2 + x3), x1 * x4, x1 * x4 + 1.0, x1 * (x1 + x2 + x3)};
    const double j[kNnz] = {2 * x1,       2 * x2,       2 * x3,       2 * x4,
                            x2 * x3 * x4, x1 * x3 * x4, x1 * x2 * x4, x1 * x2 * x3};
    memcpy(block->gradient, g, sizeof g);
    memcpy(block->jacobian, j, sizeof j);
  }
}

/* ---- The message sink: every text kept, in order ------------------------------------------------- */

typedef struct Sink {
  VekMessageSink base;
  int texts;
  int bad_this;
  char first[128];
  char all[1 << 16];
  size_t length;
} Sink;
static Sink g_sink;
static void VEK_C_MEMBER sink_write(VEK_C_SELF(VekMessageSink), const char* text) {
  UNUSED_EDX;
  if (self != &g_sink.base) {
    g_sink.bad_this = 1;
    return;
  }
  if (g_sink.texts++ == 0) snprintf(g_sink.first, sizeof g_sink.first, "%s", text);
  const size_t length = strlen(text);
  if (g_sink.length + length < sizeof g_sink.all) {
    memcpy(g_sink.all + g_sink.length, text, length + 1);
    g_sink.length += length;
  }
}
static const struct VekMessageSinkSlots kSinkSlots = {sink_write};

/* ---- The run ------------------------------------------------------------------------------------ */

static void check_parameters(VekNLPSystemFactory* factory) {
  VekParameterList* params = NULL;
  int32_t status, count;
  CALL(status, factory->slots->QueryInterface(factory, &kIidParameterList, (void**)&params));
  check(status == 0 && params != NULL, "the factory answers ParameterList");
  if (params == NULL) return;
  CALL(count, params->slots->GetParameterCount(VEK_C_THIS(params)));
  check(count == 7, "seven parameters");
  char* names[7] = {0};
  CALL(status, params->slots->GetParameterNames(VEK_C_THIS(params), names));
  check(status == 0 && names[5] != NULL && strcmp(names[5], "OptTol") == 0, "parameter names");
  for (int k = 0; k < 7; ++k) free(names[k]); /* allocated by AllocateString: the host's to free */
  VekParameterValue value;
  value.real = 1.0e-9;
  CALL(status, params->slots->SetParameter(VEK_C_THIS(params), "opttol", VEK_REAL_PARAMETER, value));
  check(status == 0, "SetParameter OptTol");
  value.integer = 0;
  CALL(status,
       params->slots->SetParameter(VEK_C_THIS(params), "MaxIterations", VEK_INTEGER_PARAMETER, value));
  check(status == VEK_VALUE_OUT_OF_RANGE, "MaxIterations 0 is refused");
  char normal[] = "Normal";
  value.text = normal;
  CALL(status, params->slots->SetParameter(VEK_C_THIS(params), "PrintLevel", VEK_TEXT_PARAMETER, value));
  check(status == 0, "SetParameter PrintLevel Normal");
  int32_t type = -1;
  value.real = 0.0;
  CALL(status, params->slots->GetParameter(VEK_C_THIS(params), "OptTol", &type, &value));
  check(status == 0 && type == VEK_REAL_PARAMETER && value.real == 1.0e-9, "GetParameter OptTol");
  VekParameterInfo info;
  memset(&info, 0, sizeof info);
  CALL(status, params->slots->GetParameterInfo(VEK_C_THIS(params), "MaxIterations", &info));
  check(status == 0 && info.type == VEK_INTEGER_PARAMETER && info.value.integer.minimum == 1 &&
            info.value.integer.maximum == 99999 && info.value.integer.value == 100,
        "GetParameterInfo MaxIterations");
  free(info.name);
  free(info.description);
  CALL(count, params->slots->Release(params));
  check(count == 1, "ParameterList released");
}

static void check_results(VekNLPSolver* solver) {
  VekSolverResults* results = NULL;
  int32_t status;
  CALL(status, solver->slots->QueryInterface(solver, &kIidSolverResults, (void**)&results));
  check(status == 0 && results != NULL, "the solver answers SolverResults");
  if (results != NULL) {
    double ratio = -1.0;
    CALL(status, results->slots->GetRealResult(VEK_C_THIS(results), "CVRG", &ratio));
    check(status == 0 && ratio >= 0.0 && ratio < 1.0, "CVRG after convergence");
    CALL(status, results->slots->ReservedQuery(VEK_C_THIS(results), 1, NULL, NULL));
    check(status == VEK_NOT_AVAILABLE, "ReservedQuery");
    CALL(status, results->slots->Release(results));
  }
  VekUtilityComponent* utility = NULL;
  CALL(status, solver->slots->QueryInterface(solver, &kIidUnknown, (void**)&utility));
  if (utility != NULL) {
    const char* name;
    CALL(name, utility->slots->GetName(VEK_C_THIS(utility)));
    check(strcmp(name, "Solver TALVIR") == 0, "GetName");
    CALL(status, utility->slots->Release(utility));
  }
}

static void solve(VekNLPSystemFactory* factory) {
  g_problem.base.slots = &kProblemSlots;
  g_problem.utility.slots = &kUtilitySlots;
  const double start[kN] = {1.0, 5.0, 5.0, 1.0};
  memcpy(g_problem.x, start, sizeof start);
  g_sink.base.slots = &kSinkSlots;

  VekNLPSolver* solver = NULL;
  int32_t status;
  CALL(status, factory->slots->CreateSolver(VEK_C_THIS(factory), &g_problem.base, &g_sink.base, &solver));
  check(status == 0 && solver != NULL, "CreateSolver");
  if (solver == NULL) return;
  check(strcmp(g_sink.first, "In solver DLL using problem ") == 0, "CreateSolver greets the problem");

  VekEvaluationBlock* block = NULL;
  int32_t counter = 0, request = 0, calls = 1;
  CALL(status, solver->slots->Solve(VEK_C_THIS(solver), 0, &block, &counter, &request));
  check(status == VEK_CALL_AGAIN && request == VEK_REQUEST_START && block != NULL,
        "the start call asks for everything");
  while (status == VEK_CALL_AGAIN && calls < 500) {
    evaluate(g_problem.x, block, request);
    CALL(status, solver->slots->Solve(VEK_C_THIS(solver), 1, &block, &counter, &request));
    ++calls;
  }
  check(status == 0, "the solve converges");
  const double* x = g_problem.x;
  const double f = x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2];
  check(fabs(f - 17.0140173) < 1e-6, "the published optimum 17.0140173");
  check(g_problem.multipliers_set, "SetMultipliers was called");
  /* Stationarity of f - sum lambda_j c_j in the free variables x2, x3 (x1 sits at its bound 1). */
  const double* lambda = g_problem.lambda;
  const double r2 = x[0] * x[3] - lambda[0] * 2 * x[1] - lambda[1] * x[0] * x[2] * x[3];
  const double r3 = x[0] * x[3] + 1.0 - lambda[0] * 2 * x[2] - lambda[1] * x[0] * x[1] * x[3];
  check(fabs(r2) < 1e-5 && fabs(r3) < 1e-5, "the multipliers satisfy stationarity");
  check(strstr(g_sink.all, "ITERATIONS =") != NULL && strstr(g_sink.all, "CONVERGENCE") != NULL,
        "the listing text reached the sink");

  check_results(solver);
  CALL(status, solver->slots->Release(solver));
  check(status == 0, "the last Release destroys the solver");
  check(g_problem.references == 0, "the solver gave the problem back");
  printf("c_host: f = %.7f after %d Solve calls, %d sink texts, %d listing bytes\n", f, calls, g_sink.texts,
         (int)g_sink.length);
}

/* ---- Loading the module ---------------------------------------------------------------------------- */

#if defined(_WIN32)
static void* open_module(const char* path) {
  /* The module's DLLs from its own folder: the altered search needs a full path. */
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path, MAX_PATH, full, NULL);
  return LoadLibraryExA(length > 0 && length < MAX_PATH ? full : path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
static VekGetFactoryNLPSystemFn find_entry(void* module) {
  return (VekGetFactoryNLPSystemFn)(void (*)(void))GetProcAddress((HMODULE)module, "GetFactoryNLPSystem");
}
static void close_module(void* module) {
  FreeLibrary((HMODULE)module);
}
#else
static void* open_module(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
static VekGetFactoryNLPSystemFn find_entry(void* module) {
  VekGetFactoryNLPSystemFn entry;
  void* symbol = dlsym(module, "GetFactoryNLPSystem");
  memcpy(&entry, &symbol, sizeof entry); /* POSIX: a data pointer that holds a function's address */
  return entry;
}
static void close_module(void* module) {
  dlclose(module);
}
#endif

int main(int argc, char** argv) {
  if (argc != 2) {
    printf("usage: c_host <module>\n");
    return 2;
  }
  void* module = open_module(argv[1]);
  if (module == NULL) {
    printf("FAILED: the module %s cannot be loaded\n", argv[1]);
    return 1;
  }
  VekGetFactoryNLPSystemFn entry = find_entry(module);
  check(entry != NULL, "the undecorated entry GetFactoryNLPSystem");
  if (entry == NULL) return 1;

  VekNLPSystemFactory* factory;
  CALL(factory, entry());
  check(factory != NULL, "a factory");
  if (factory == NULL) return 1;
  check_parameters(factory);
  solve(factory);
  int32_t count;
  CALL(count, factory->slots->Release(factory));
  check(count == 0, "the last Release destroys the factory");
  check(!g_problem.bad_this && !g_sink.bad_this, "every call back came with the right this");
  close_module(module);
  printf("c_host: %s\n", g_failures == 0 ? "all checks held" : "checks FAILED");
  return g_failures == 0 ? 0 : 1;
}
