// Every bad argument of the C API is refused with its status and a message, and leaves the solver as it
// was: after each refused call the solver still solves hs071 to bitwise the result of an untouched one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "talvir/talvir.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const int kKinds[2] = {TALVIR_GREATER_EQUAL, TALVIR_EQUAL};
const double kLower[4] = {1, 1, 1, 1}, kUpper[4] = {5, 5, 5, 5}, kStart[4] = {1, 5, 5, 1};

int objective(int, const double* x, double* f, void*) {
  *f = x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2];
  return TALVIR_CALLBACK_OK;
}
int gradient(int, const double* x, double* g, void*) {
  g[0] = x[3] * (2 * x[0] + x[1] + x[2]);
  g[1] = x[0] * x[3];
  g[2] = x[0] * x[3] + 1;
  g[3] = x[0] * (x[0] + x[1] + x[2]);
  return TALVIR_CALLBACK_OK;
}
int constraints(int, int, const double* x, double* c, void*) {
  c[0] = x[0] * x[1] * x[2] * x[3] - 25;
  c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40;
  return TALVIR_CALLBACK_OK;
}
int jacobian(int n, int, int, const double* x, double* v, void*) {
  v[0] = x[1] * x[2] * x[3], v[1] = x[0] * x[2] * x[3], v[2] = x[0] * x[1] * x[3], v[3] = x[0] * x[1] * x[2];
  for (int i = 0; i < n; ++i) v[n + i] = 2 * x[i];
  return TALVIR_CALLBACK_OK;
}

talvir_solver* make_hs071() {
  talvir_solver* s = nullptr;
  EXPECT_EQ(talvir_create(4, 2, kKinds, &s), TALVIR_OK);
  EXPECT_EQ(talvir_set_bounds(s, kLower, kUpper), TALVIR_OK);
  EXPECT_EQ(talvir_set_start(s, kStart), TALVIR_OK);
  return s;
}

struct Outcome {
  int ending = 0, iterations = 0;
  std::vector<double> x = std::vector<double>(4);
};

Outcome finish(talvir_solver* s) {
  Outcome o;
  EXPECT_EQ(talvir_solve(s, objective, constraints, gradient, jacobian, nullptr), TALVIR_OK);
  talvir_get_ending(s, &o.ending);
  talvir_get_iterations(s, &o.iterations);
  talvir_get_x(s, o.x.data());
  return o;
}

struct Refusal {
  const char* what;
  int status;
  std::function<int(talvir_solver*)> call;
};

const int kOutOfRange[2] = {0, 4}, kZeros[2] = {0, 0}, kOne[1] = {0};
// Each bad array is good, and different from the set-up, before its bad entry: a half-done copy would
// change the solve.
const double kBadLower[4] = {2, kNaN, 1, 1}, kCrossed[4] = {2, 6, 1, 1}, kPlusInf[4] = {2, 1, kInf, 1};
const double kNaNStart[4] = {2, 4, kNaN, 1}, kZeroScale[4] = {3, 0, 1, 1};

const Refusal kRefusals[] = {
    {"NaN lower bound", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_bounds(s, kBadLower, kUpper); }},
    {"lower above upper", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_bounds(s, kCrossed, kUpper); }},
    {"lower bound +inf", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_bounds(s, kPlusInf, nullptr); }},
    {"NaN start", TALVIR_ERROR_BAD_VALUE, [](talvir_solver* s) { return talvir_set_start(s, kNaNStart); }},
    {"null start", TALVIR_ERROR_NULL_ARGUMENT, [](talvir_solver* s) { return talvir_set_start(s, nullptr); }},
    {"structure index out of range", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_jacobian_structure(s, 2, kZeros, kOutOfRange); }},
    {"structure pair repeated", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_jacobian_structure(s, 2, kZeros, kZeros); }},
    {"structure nnz above m*n", TALVIR_ERROR_BAD_SIZE,
     [](talvir_solver* s) { return talvir_set_jacobian_structure(s, 9, kZeros, kZeros); }},
    {"structure nnz negative", TALVIR_ERROR_BAD_SIZE,
     [](talvir_solver* s) { return talvir_set_jacobian_structure(s, -1, kOne, kOne); }},
    {"structure null rows", TALVIR_ERROR_NULL_ARGUMENT,
     [](talvir_solver* s) { return talvir_set_jacobian_structure(s, 1, nullptr, kOne); }},
    {"zero variable scale", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_variable_scales(s, kZeroScale); }},
    {"NaN objective scale", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_objective_scale(s, kNaN); }},
    {"warm-start objective scale", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_objective_scale(s, 1e30); }},
    {"unknown parameter", TALVIR_ERROR_UNKNOWN_PARAMETER,
     [](talvir_solver* s) { return talvir_set_integer_parameter(s, "Print Level", 1); }},
    {"null parameter name", TALVIR_ERROR_NULL_ARGUMENT,
     [](talvir_solver* s) { return talvir_set_real_parameter(s, nullptr, 1.0); }},
    {"MaxIterations 0", TALVIR_ERROR_PARAMETER_RANGE,
     [](talvir_solver* s) { return talvir_set_integer_parameter(s, "MaxIterations", 0); }},
    {"PrintFreq above its maximum", TALVIR_ERROR_PARAMETER_RANGE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "printfreq", "10000001"); }},
    {"NaN OptTol", TALVIR_ERROR_PARAMETER_RANGE,
     [](talvir_solver* s) { return talvir_set_real_parameter(s, "OptTol", kNaN); }},
    {"StepSize above 1", TALVIR_ERROR_PARAMETER_RANGE,
     [](talvir_solver* s) { return talvir_set_real_parameter(s, "StepSize", 1.0000001); }},
    {"integer setter on a text", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_integer_parameter(s, "PrintLevel", 1); }},
    {"fraction for an integer", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_real_parameter(s, "MaxIterations", 2.5); }},
    {"text setter on a number", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_text_parameter(s, "OptTol", "1e-3"); }},
    {"text that is not a number", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "MaxIterations", "12abc"); }},
    {"a leading blank", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "MaxIterations", " 5"); }},
    {"a hexadecimal real", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "OptTol", "0x1p-3"); }},
    {"an infinity spelt out", TALVIR_ERROR_PARAMETER_TYPE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "StepSize", "inf"); }},
    {"an integer beyond 32 bits", TALVIR_ERROR_PARAMETER_RANGE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "MaxIterations", "99999999999"); }},
    {"a strategy that does not exist", TALVIR_ERROR_PARAMETER_RANGE,
     [](talvir_solver* s) { return talvir_set_parameter(s, "Strategy", "Careful"); }},
    {"null text", TALVIR_ERROR_NULL_ARGUMENT,
     [](talvir_solver* s) { return talvir_set_text_parameter(s, "PrintLevel", nullptr); }},
    {"results before any solve", TALVIR_ERROR_OUT_OF_ORDER,
     [](talvir_solver* s) {
       double x[4];
       return talvir_get_x(s, x);
     }},
    {"cannot_evaluate with nothing pending", TALVIR_ERROR_OUT_OF_ORDER,
     [](talvir_solver* s) { return talvir_cannot_evaluate(s); }},
    {"stop with no solve", TALVIR_ERROR_OUT_OF_ORDER, [](talvir_solver* s) { return talvir_stop(s); }},
    {"bounds during a solve", TALVIR_ERROR_OUT_OF_ORDER,
     [](talvir_solver* s) {
       int request = 0;
       talvir_step(s, &request);
       return talvir_set_bounds(s, kLower, nullptr);
     }},
    {"results during a solve", TALVIR_ERROR_OUT_OF_ORDER,
     [](talvir_solver* s) {
       int request = 0;
       double f = 0;
       talvir_step(s, &request);
       return talvir_get_objective(s, &f);
     }},
    {"missing jacobian callback", TALVIR_ERROR_MISSING_CALLBACK,
     [](talvir_solver* s) { return talvir_solve(s, objective, constraints, gradient, nullptr, nullptr); }},
    {"null request pointer", TALVIR_ERROR_NULL_ARGUMENT,
     [](talvir_solver* s) { return talvir_step(s, nullptr); }},
    {"null out-pointer", TALVIR_ERROR_NULL_ARGUMENT,
     [](talvir_solver* s) { return talvir_get_integer_parameter(s, "QPMode", nullptr); }},
    {"warm start from itself", TALVIR_ERROR_BAD_VALUE,
     [](talvir_solver* s) { return talvir_set_warm_start_from(s, s); }},
    {"warm start from a handle never solved", TALVIR_ERROR_OUT_OF_ORDER,
     [](talvir_solver* s) {
       std::unique_ptr<talvir_solver, decltype(&talvir_free)> other(make_hs071(), talvir_free);
       return talvir_set_warm_start_from(s, other.get());
     }},
    {"warm start from other sizes", TALVIR_ERROR_BAD_SIZE,
     [](talvir_solver* s) {
       talvir_solver* other = nullptr;
       talvir_create(4, 0, nullptr, &other);
       std::unique_ptr<talvir_solver, decltype(&talvir_free)> owned(other, talvir_free);
       talvir_solve(other, objective, nullptr, gradient, nullptr, nullptr);
       return talvir_set_warm_start_from(s, other);
     }},
};

TEST(Refusals, EveryBadArgumentIsRefusedAndChangesNothing) {
  talvir_solver* reference = make_hs071();
  const Outcome want = finish(reference);
  talvir_free(reference);
  ASSERT_EQ(want.ending, TALVIR_ENDING_CONVERGED);
  for (const Refusal& r : kRefusals) {
    SCOPED_TRACE(r.what);
    talvir_solver* s = make_hs071();
    EXPECT_EQ(r.call(s), r.status);
    const char* message = nullptr;
    ASSERT_EQ(talvir_get_error_message(s, &message), TALVIR_OK);
    EXPECT_STRNE(message, "");
    const Outcome got = finish(s);
    EXPECT_EQ(got.ending, want.ending);
    EXPECT_EQ(got.iterations, want.iterations);
    EXPECT_EQ(got.x, want.x);
    talvir_free(s);
  }
}

// A pair given twice is found wherever it lies, in structures sorted on the stack and on the heap.
TEST(Refusals, ARepeatedStructurePairIsFoundAtAnyLength) {
  for (const int nnz : {3, 256, 257, 900}) {
    SCOPED_TRACE(nnz);
    talvir_solver* s = nullptr;
    ASSERT_EQ(talvir_create(300, 3, std::vector<int>(3, TALVIR_GREATER_EQUAL).data(), &s), TALVIR_OK);
    std::vector<int> rows(nnz), cols(nnz);
    for (int k = 0; k < nnz; ++k) rows[k] = k % 3, cols[k] = k / 3;
    EXPECT_EQ(talvir_set_jacobian_structure(s, nnz, rows.data(), cols.data()), TALVIR_OK);
    rows[nnz - 1] = rows[0], cols[nnz - 1] = cols[0];
    EXPECT_EQ(talvir_set_jacobian_structure(s, nnz, rows.data(), cols.data()), TALVIR_ERROR_BAD_VALUE);
    int kept = 0;
    EXPECT_EQ(talvir_get_jacobian_nnz(s, &kept), TALVIR_OK);
    EXPECT_EQ(kept, nnz);  // the refused structure changed nothing
    talvir_free(s);
  }
}

TEST(Refusals, CreationAndNullHandlesAreRefused) {
  const int bad_kind[2] = {0, 2};
  struct Case {
    int n, m;
    const int* kinds;
    int status;
  } cases[] = {{0, 0, nullptr, TALVIR_ERROR_BAD_SIZE},
               {2, -1, nullptr, TALVIR_ERROR_BAD_SIZE},
               {2, 2, nullptr, TALVIR_ERROR_NULL_ARGUMENT},
               {2, 2, bad_kind, TALVIR_ERROR_BAD_VALUE},
               {(1 << 20) + 1, 0, nullptr, TALVIR_ERROR_BAD_SIZE},
               {50000, 0, nullptr, TALVIR_ERROR_BAD_SIZE}};  // workspace beyond 32-bit lengths
  for (const Case& c : cases) {
    talvir_solver* s = reinterpret_cast<talvir_solver*>(&cases[0]);
    EXPECT_EQ(talvir_create(c.n, c.m, c.kinds, &s), c.status) << c.n << " " << c.m;
    EXPECT_EQ(s, nullptr);
  }
  EXPECT_EQ(talvir_create(1, 0, nullptr, nullptr), TALVIR_ERROR_NULL_ARGUMENT);
  int request = 0;
  double value = 0;
  EXPECT_EQ(talvir_step(nullptr, &request), TALVIR_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(talvir_set_bounds(nullptr, nullptr, nullptr), TALVIR_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(talvir_get_objective(nullptr, &value), TALVIR_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(talvir_set_real_parameter(nullptr, "OptTol", 1e-6), TALVIR_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(talvir_free(nullptr), TALVIR_OK);
  // The C++ wrapper refuses a kinds vector of another length than m before the C API could read it.
  for (const std::vector<int>& kinds :
       {std::vector<int>{1}, std::vector<int>{1, 1, 1, 1}, std::vector<int>{}}) {
    try {
      talvir::Solver solver(2, 3, kinds);
      ADD_FAILURE() << kinds.size() << " kinds accepted for m = 3";
    } catch (const talvir::Error& e) {
      EXPECT_EQ(e.status(), TALVIR_ERROR_BAD_SIZE);
    }
  }
}

// Resident bytes of this process (Linux), 0 elsewhere.
double resident_bytes() {
#if defined(_WIN32)
  return 0;
#endif
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  double pages = 0, resident = 0;
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%lf %lf", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * 4096;
}

// talvir_memory_needed agrees with what a solver takes (its arrays are filled, so resident), and a
// solver the machine cannot hold is refused before anything is allocated (an overcommitting system
// would otherwise kill the process later).
TEST(Refusals, ASolverTooLargeForTheMachineIsRefusedBeforeAllocating) {
  struct Case {
    int n, m;
  };
  for (const Case c : {Case{1500, 1000}, Case{25000, 20000}}) {
    SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.m));
    const std::vector<int> kinds(c.m, TALVIR_GREATER_EQUAL);
    double needed = 0, available = 0;
    ASSERT_EQ(talvir_memory_needed(c.n, c.m, kinds.data(), &needed, &available), TALVIR_OK);
    // At least the two workspaces of the method: n(n + 9)/2 and (3k + 7)k/2 doubles, k = n + 1.
    const double k = c.n + 1.0;
    EXPECT_GE(needed, 8 * (c.n * (c.n + 9.0) / 2 + (3 * k + 7) * k / 2));
    EXPECT_GT(available, 0);
    talvir_solver* s = nullptr;
    const double before = resident_bytes();
    const int status = talvir_create(c.n, c.m, kinds.data(), &s);
    if (needed > available) {
      EXPECT_EQ(status, TALVIR_ERROR_NO_MEMORY);
      EXPECT_EQ(s, nullptr);
      if (before > 0) {
        EXPECT_LT(resident_bytes() - before, 1e8);
      }
      continue;
    }
    ASSERT_EQ(status, TALVIR_OK);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their shadow memory is resident too
    if (before > 0 && needed < 1e9) {
      EXPECT_NEAR(resident_bytes() - before, needed, 0.1 * needed);
    }
#endif
    talvir_free(s);
  }
  double needed = 0, available = 0;
  EXPECT_EQ(talvir_memory_needed(2, 1, nullptr, &needed, &available), TALVIR_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(talvir_memory_needed(50000, 0, nullptr, &needed, &available), TALVIR_ERROR_BAD_SIZE);
}

}  // namespace

namespace {

// Every ending the API reports has a text and a category; any other number is refused, 5 included
// (the engine's flag 5 is reported as the ending 3).
TEST(Refusals, OnlyTheEndingsThatExistHaveTextsAndCategories) {
  for (int code = -2; code <= 30; ++code) {
    const bool exists = (code >= 0 && code <= 11 && code != 5) || (code >= 20 && code <= 25);
    const char* text = nullptr;
    int category = -1;
    EXPECT_EQ(talvir_ending_text(code, &text), exists ? TALVIR_OK : TALVIR_ERROR_BAD_VALUE) << code;
    EXPECT_EQ(talvir_ending_category(code, &category), exists ? TALVIR_OK : TALVIR_ERROR_BAD_VALUE) << code;
  }
}

}  // namespace
