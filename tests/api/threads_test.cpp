// Reentrancy: solvers of the C API running at the same time in several threads (listing on, each to its
// own sink) give exactly the results and listings of the same solves run one after another, also while
// the plug-in solves in another thread on its own process-wide path. Run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "api/api_solve.h"
#include "host/module.h"
#include "host/problems/problem.h"

namespace {

using talvir_test::Trace;

constexpr int kApiThreads = 3;

std::vector<Trace> solve_all(const std::vector<std::string>& names, int offset) {
  std::vector<Trace> traces(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::size_t at = (k + offset) % names.size();  // each thread in another order
    traces[at] = talvir_test::through_api(*talvir::problems::make_problem(names[at]), true);
  }
  return traces;
}

std::vector<Trace> solve_all_with_plugin(vek::NLPSystemFactory* factory,
                                         const std::vector<std::string>& names) {
  std::vector<Trace> traces;
  for (const std::string& name : names) {
    traces.push_back(talvir_test::through_plugin(factory, *talvir::problems::make_problem(name)));
  }
  return traces;
}

void expect_same(const std::vector<Trace>& got, const std::vector<Trace>& want,
                 const std::vector<std::string>& names) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(got[k].points, want[k].points) << names[k];
    EXPECT_EQ(got[k].x, want[k].x) << names[k];
    EXPECT_EQ(got[k].multipliers, want[k].multipliers) << names[k];
    EXPECT_EQ(got[k].message, want[k].message) << names[k];
    EXPECT_EQ(got[k].listing, want[k].listing) << names[k];
  }
}

TEST(Threads, ConcurrentSolvesEqualSequentialOnes) {
  const std::vector<std::string> names = talvir::problems::problem_names();
  talvir::host::PluginModule module;
  std::string error;
  ASSERT_TRUE(module.open(TALVIR_MODULE_PATH, &error)) << error;
  vek::NLPSystemFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);

  const std::vector<Trace> sequential = solve_all(names, 0);
  const std::vector<Trace> plugin_alone = solve_all_with_plugin(factory, names);

  std::vector<std::vector<Trace>> concurrent(kApiThreads);
  std::vector<Trace> plugin_beside;
  std::vector<std::thread> threads;
  for (int t = 0; t < kApiThreads; ++t) {
    threads.emplace_back([&, t] { concurrent[t] = solve_all(names, t * 7); });
  }
  threads.emplace_back([&] { plugin_beside = solve_all_with_plugin(factory, names); });
  for (std::thread& thread : threads) thread.join();
  factory->Release();

  for (int t = 0; t < kApiThreads; ++t) expect_same(concurrent[t], sequential, names);
  expect_same(plugin_beside, plugin_alone, names);
}

}  // namespace
