// The training run of a profile-guided build of libtalvir (TALVIR_PGO, cmake/pgo.cmake): what users
// do most, through the C API, on an instrumented library whose counters become the profile. The
// bundled problems, each solved on a new solver and then again on the same one (warm starts off and
// on), and hs071 many times (the small-solve path); the scalable families at a few sizes (the
// any-size QP). Prints one line; a solve's outcome does not matter here.
#include <cstdio>
#include <string>
#include <vector>

#include "host/native_solver.h"
#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace {

using talvir::problems::TestProblem;

// One solve, the problem answering through talvir_solve_with.
void answer(talvir_solver* s, const TestProblem& p) {
  talvir_callbacks cb{sizeof cb,
                      nullptr,
                      nullptr,
                      nullptr,
                      nullptr,
                      talvir::host::evaluate_problem,
                      const_cast<TestProblem*>(&p)};
  talvir_solve_with(s, &cb);
}

// `fresh` solves on new solvers, then `reused` on one solver (the second half warm-started).
int train(const TestProblem& p, int fresh, int reused) {
  int converged = 0, ending = 0;
  for (int k = 0; k < fresh; ++k) {
    const auto s = talvir::host::native_solver(p);
    if (!s) return 0;
    answer(s.get(), p);
    talvir_get_ending(s.get(), &ending);
    converged += ending == TALVIR_ENDING_CONVERGED;
  }
  const auto s = talvir::host::native_solver(p);
  std::vector<double> x0(p.n());
  p.start(x0.data());
  for (int k = 0; s && k < reused; ++k) {
    talvir_set_warm_start(s.get(), k >= reused / 2);
    talvir_set_start(s.get(), x0.data());
    answer(s.get(), p);
  }
  return converged;
}

}  // namespace

int main() {
  int solves = 0, converged = 0;
  for (const std::string& name : talvir::problems::problem_names()) {
    const bool small = name == "hs071";
    const auto p = talvir::problems::make_problem(name);
    converged += train(*p, small ? 2000 : 5, small ? 2000 : 5);
    solves += small ? 4000 : 10;
  }
  for (const char* family : {"qp", "chain"}) {
    for (const int size : {20, 60}) {
      const auto p = talvir::problems::make_problem(family, size);
      converged += train(*p, 1, 0);
      ++solves;
    }
  }
  std::printf("pgo_training: %d solves, %d fresh ones converged\n", solves, converged);
  return 0;
}
