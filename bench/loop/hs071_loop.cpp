// hs071 solved many times through the C API and through NLopt's SLSQP, side by side in one run: fresh
// (create, set up, solve, free) and on one reused handle, at equal accuracy (both end within 1e-8 of the
// optimum). Prints processor time per solve, evaluations, and the ratios to NLopt; rounds alternate
// between the solvers so that a busy machine slows all alike, and the median round counts.
//
//   hs071_loop [--solves N] [--rounds R] [--opttol T] [--ftol F] [--only NAME]
//   (defaults 100000, 5, 1e-9, 1e-6; --only runs one of the four, e.g. "talvir reused", for a profiler)
#include <nlopt.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "talvir/talvir.h"

namespace {

constexpr double kOptimum = 17.0140172891563;
const double kLower[4] = {1, 1, 1, 1}, kUpper[4] = {5, 5, 5, 5}, kStart[4] = {1, 5, 5, 1};

double seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

// ---- hs071 through the C API: one evaluate callback, sparse structure of all eight entries.
int evaluate(int request, int, int, int, const double* x, double* f, double* c, double* g, double* jac,
             void*) {
  if (request & TALVIR_REQUEST_VALUES) {
    *f = x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2];
    c[0] = x[0] * x[1] * x[2] * x[3] - 25.0;
    c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40.0;
  }
  if (request & TALVIR_REQUEST_DERIVATIVES) {
    g[0] = x[3] * (2 * x[0] + x[1] + x[2]), g[1] = x[0] * x[3], g[2] = x[0] * x[3] + 1,
    g[3] = x[0] * (x[0] + x[1] + x[2]);
    jac[0] = x[1] * x[2] * x[3], jac[1] = x[0] * x[2] * x[3], jac[2] = x[0] * x[1] * x[3],
    jac[3] = x[0] * x[1] * x[2];
    for (int i = 0; i < 4; ++i) jac[4 + i] = 2 * x[i];
  }
  return TALVIR_CALLBACK_OK;
}

struct Tally {
  double f = 0;
  long evaluations = 0;
};

talvir_solver* talvir_made(double opttol) {
  const int kinds[2] = {TALVIR_GREATER_EQUAL, TALVIR_EQUAL};
  const int rows[8] = {0, 0, 0, 0, 1, 1, 1, 1}, cols[8] = {0, 1, 2, 3, 0, 1, 2, 3};
  talvir_solver* s = nullptr;
  talvir_create(4, 2, kinds, &s);
  talvir_set_bounds(s, kLower, kUpper);
  talvir_set_jacobian_structure(s, 8, rows, cols);
  talvir_set_real_parameter(s, "OptTol", opttol);
  return s;
}

void talvir_solve_once(talvir_solver* s, Tally& t) {
  talvir_set_start(s, kStart);
  talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, evaluate, nullptr};
  talvir_solve_with(s, &cb);
  int values = 0, derivatives = 0;
  talvir_get_objective(s, &t.f);
  talvir_get_evaluations(s, &values, &derivatives);
  t.evaluations += values;
}

// ---- hs071 through NLopt's SLSQP: objective with gradient, c0 >= 0 as -c0 <= 0, the equality.
double nl_objective(unsigned, const double* x, double* g, void* calls) {
  ++*static_cast<long*>(calls);
  if (g)
    g[0] = x[3] * (2 * x[0] + x[1] + x[2]), g[1] = x[0] * x[3], g[2] = x[0] * x[3] + 1,
    g[3] = x[0] * (x[0] + x[1] + x[2]);
  return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2];
}
double nl_product(unsigned, const double* x, double* g, void*) {
  if (g)
    g[0] = -x[1] * x[2] * x[3], g[1] = -x[0] * x[2] * x[3], g[2] = -x[0] * x[1] * x[3],
    g[3] = -x[0] * x[1] * x[2];
  return 25.0 - x[0] * x[1] * x[2] * x[3];
}
double nl_sphere(unsigned, const double* x, double* g, void*) {
  if (g)
    for (int i = 0; i < 4; ++i) g[i] = 2 * x[i];
  return x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40.0;
}

nlopt_opt nlopt_made(double ftol, long* calls) {
  nlopt_opt o = nlopt_create(NLOPT_LD_SLSQP, 4);
  nlopt_set_lower_bounds(o, kLower);
  nlopt_set_upper_bounds(o, kUpper);
  nlopt_set_min_objective(o, nl_objective, calls);
  nlopt_add_inequality_constraint(o, nl_product, nullptr, 1e-8);
  nlopt_add_equality_constraint(o, nl_sphere, nullptr, 1e-8);
  nlopt_set_ftol_rel(o, ftol);
  return o;
}

void nlopt_solve_once(nlopt_opt o, Tally& t) {
  double x[4];
  std::copy(kStart, kStart + 4, x);
  nlopt_optimize(o, x, &t.f);
}

struct Runner {
  const char* name;
  std::function<void(long solves, Tally&)> run;
  std::vector<double> per_solve = {};
  Tally last = {};
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  long solves = 100000;
  int rounds = 5;
  double opttol = 1e-9, ftol = 1e-6;
  std::string only;
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string a = argv[k];
    if (a == "--solves")
      solves = std::atol(argv[k + 1]);
    else if (a == "--rounds")
      rounds = std::atoi(argv[k + 1]);
    else if (a == "--opttol")
      opttol = std::atof(argv[k + 1]);
    else if (a == "--ftol")
      ftol = std::atof(argv[k + 1]);
    else if (a == "--only")
      only = argv[k + 1];
  }
  std::vector<Runner> runners = {
      {"talvir fresh",
       [&](long n, Tally& t) {
         for (long k = 0; k < n; ++k) {
           talvir_solver* s = talvir_made(opttol);
           talvir_solve_once(s, t);
           talvir_free(s);
         }
       }},
      {"nlopt fresh",
       [&](long n, Tally& t) {
         for (long k = 0; k < n; ++k) {
           nlopt_opt o = nlopt_made(ftol, &t.evaluations);
           nlopt_solve_once(o, t);
           nlopt_destroy(o);
         }
       }},
      {"talvir reused",
       [&](long n, Tally& t) {
         talvir_solver* s = talvir_made(opttol);
         for (long k = 0; k < n; ++k) talvir_solve_once(s, t);
         talvir_free(s);
       }},
      {"nlopt reused",
       [&](long n, Tally& t) {
         nlopt_opt o = nlopt_made(ftol, &t.evaluations);
         for (long k = 0; k < n; ++k) nlopt_solve_once(o, t);
         nlopt_destroy(o);
       }},
  };
  if (!only.empty()) {
    runners.erase(std::remove_if(runners.begin(), runners.end(), [&](const Runner& r) { return r.name != only; }),
                  runners.end());
    if (runners.empty()) return std::fprintf(stderr, "hs071_loop: no runner named \"%s\"\n", only.c_str()), 2;
  }
  for (int r = 0; r < rounds; ++r) {
    for (Runner& runner : runners) {
      Tally t;
      const double start = seconds();
      runner.run(solves, t);
      runner.per_solve.push_back((seconds() - start) / solves);
      runner.last = t;
    }
  }
  std::printf(
      "hs071, %ld solves x %d rounds (OptTol %g, NLopt ftol_rel %g); processor time per solve, median "
      "round\n",
      solves, rounds, opttol, ftol);
  std::printf("%-14s %12s %12s %14s %10s\n", "solver", "us/solve", "evaluations", "|f - f*|", "vs NLopt");
  for (std::size_t k = 0; k < runners.size(); ++k) {
    const Runner& r = runners[k];
    std::printf("%-14s %12.3f %12.2f %14.2e", r.name, 1e6 * median(r.per_solve),
                static_cast<double>(r.last.evaluations) / solves, std::fabs(r.last.f - kOptimum));
    if (runners.size() == 4)  // each beside NLopt's runner of its kind
      std::printf(" %10.2f", median(r.per_solve) / median(runners[k % 2 == 0 ? k + 1 : k].per_solve));
    std::printf("\n");
  }
  return 0;
}
