// How soon a solve ends after talvir_interrupt, and how close to "TimeLimit", when one engine call is
// long: the bundled qp problem at n = 2000 (tens of seconds per iteration). Wall-clock seconds.
//
//   steer_delays [--n N] [--repeats R]   (defaults 2000, 5)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "host/native_solver.h"
#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace {

using Clock = std::chrono::steady_clock;
using talvir::problems::TestProblem;

// Solves on a thread; returns the seconds from `when` (an interrupt `after` seconds into the solve, or
// the solve's start) to its end, and the ending.
double timed_solve(talvir_solver* s, TestProblem& p, double interrupt_after, int& ending) {
  const Clock::time_point began = Clock::now();
  std::thread solver([&] {
    talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, talvir::host::evaluate_problem, &p};
    talvir_solve_with(s, &cb);
  });
  Clock::time_point from = began;
  if (interrupt_after > 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(interrupt_after));
    from = Clock::now();
    talvir_interrupt(s);
  }
  solver.join();
  talvir_get_ending(s, &ending);
  return std::chrono::duration<double>(Clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
  int n = 2000, repeats = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--n") == 0) n = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--repeats") == 0) repeats = std::atoi(argv[i + 1]);
  }
  auto p = talvir::problems::make_problem("qp", n);
  if (!p) return 1;
  std::printf("qp, n = %d, m = %d\n%-28s %10s %8s\n", n, p->m(), "case", "seconds", "ending");
  for (int r = 0; r < repeats; ++r) {
    const double after = 0.5 + 0.4 * r;
    const talvir::host::NativeSolver owned = talvir::host::native_solver(*p);
    if (!owned) return 1;
    talvir_solver* const s = owned.get();
    int ending = 0;
    const double delay = timed_solve(s, *p, after, ending);
    std::printf("interrupt at %4.1f s: delay   %10.4f %8d\n", after, delay, ending);
  }
  for (const double limit : {0.5, 1.0, 2.0, 4.0}) {
    const talvir::host::NativeSolver owned = talvir::host::native_solver(*p);
    if (!owned) return 1;
    talvir_solver* const s = owned.get();
    talvir_set_real_parameter(s, "TimeLimit", limit);
    int ending = 0;
    const double took = timed_solve(s, *p, 0, ending);
    std::printf("TimeLimit %4.1f s: took      %10.4f %8d  (%+.1f%%)\n", limit, took, ending,
                100.0 * (took - limit) / limit);
  }
  return 0;
}
