// Real problems solved through the built module opened by its path, as a host does it: only
// GetFactoryNLPSystem is looked up; the optimum reached is compared with the published one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "problem_host.h"
#include "support/dynamic_module.h"

namespace {

using talvir_test::ProblemHost;
using talvir_test::RecordingSink;

TEST(ModuleSolve, BundledProblemsReachTheirPublishedOptimum) {
  std::string error;
  void* module = talvir_test::open_module(TALVIR_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  auto entry =
      reinterpret_cast<GetFactoryNLPSystemFn>(talvir_test::find_symbol(module, "GetFactoryNLPSystem"));
  ASSERT_NE(entry, nullptr);
  vek::NLPSystemFactory* factory = entry();
  vek::ParameterList* params = nullptr;
  ASSERT_EQ(factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&params)), 0);
  vek::ParameterValue tol{};
  tol.real = 1.0e-10;
  ASSERT_EQ(params->SetParameter("OptTol", vek::kRealParameter, tol), 0);

  // Bounds only, equalities, inequalities, both, and none at all.
  for (const char* name : {"hs001", "hs006", "hs035", "hs071", "hs044", "hs076"}) {
    SCOPED_TRACE(name);
    ProblemHost host(talvir::problems::make_problem(name));
    RecordingSink sink;
    vek::NLPSolver* solver = nullptr;
    ASSERT_EQ(factory->CreateSolver(&host, &sink, &solver), 0);
    const auto run = talvir_test::run_solve(solver, host, sink);
    EXPECT_EQ(run.result, 0);
    const double optimum = host.problem->known_optimum();
    const double tolerance = std::isnan(host.problem->optimum_tolerance())
                                 ? 1.0e-6 * std::max(1.0, std::fabs(optimum))
                                 : host.problem->optimum_tolerance();
    EXPECT_NEAR(host.problem->objective(host.x.data()), optimum, tolerance);
    EXPECT_EQ(solver->Release(), 0);
    EXPECT_EQ(host.count, 1);
  }
  params->Release();
  EXPECT_EQ(factory->Release(), 0);
  EXPECT_TRUE(talvir_test::close_module(module));
}

}  // namespace
