// The Solve protocol seen from a scripted host: the start call, request codes of both mode families,
// which parts of the EvaluationBlock each call takes, the dense Jacobian rebuilt from the structure,
// scales, print level, M = 0, the point and multipliers passed back, the counter and restarts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "driver/solve.h"
#include "problem_host.h"

namespace {

using talvir::problems::make_problem;
using talvir_test::ProblemHost;
using talvir_test::RecordingSink;
using talvir_test::run_solve;
using talvir_test::SolverFixture;
using talvir_test::state_of;
using talvir_test::values_of;

std::vector<std::string> repeat(const char* call, int times) {
  return std::vector<std::string>(times, call);
}

// Keeps only the Jacobian entries that are non-zero at one of a few random points: the structural
// non-zeros of a problem with linear or sparse constraints.
void drop_structural_zeros(ProblemHost& host) {
  const int n = host.n, m = host.problem->m();
  std::vector<bool> used(static_cast<std::size_t>(m) * n, false);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> between(0.5, 1.5);
  for (int trial = 0; trial < 3; ++trial) {
    std::vector<double> x(n), jac(static_cast<std::size_t>(m) * n);
    for (double& v : x) v = between(random);
    host.problem->jacobian(x.data(), jac.data());
    for (std::size_t k = 0; k < jac.size(); ++k) used[k] = used[k] || jac[k] != 0.0;
  }
  host.rows.clear();
  host.cols.clear();
  for (int j = 0; j < m; ++j) {
    for (int i = 0; i < n; ++i) {
      if (!used[static_cast<std::size_t>(j) * n + i]) continue;
      host.rows.push_back(j + 1);
      host.cols.push_back(i + 1);
    }
  }
}

TEST(StartCall, AsksForEverythingInOrderRunsNoEngineAndWritesNothing) {
  for (const std::int32_t mode : {0, 3}) {
    ProblemHost host(make_problem("hs071"));
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    host.calls.clear();
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 99, request = -1;
    EXPECT_EQ(fixture.solver->Solve(mode, &block, &counter, &request), vek::kCallAgain);
    EXPECT_EQ(request, mode == 0 ? 111 : 110);
    EXPECT_EQ(counter, 0);
    EXPECT_TRUE(sink.texts.empty());
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->host_data, nullptr);
    std::vector<std::string> expected = {"GetNumVariables", "GetNumEqualities", "GetNumInequalities",
                                         "GetStructureCounts"};
    for (const auto& c : repeat("GetConstraintAttribute", 2)) expected.push_back(c);
    expected.push_back("GetJacobianStructure");
    for (const auto& c : repeat("GetVariableAttribute", 4)) expected.push_back(c);
    for (const char* c : {"GetProblemAttribute", "GetVariableBounds", "GetVariableValues", "OnSolveCall"}) {
      expected.emplace_back(c);
    }
    EXPECT_EQ(host.calls, expected);
    const auto& st = state_of(fixture.solver);
    EXPECT_EQ(values_of(st.CVG), (std::vector<double>{0.0, 0.0})) << "the engine has not run";
    EXPECT_EQ(values_of(st.X), host.x);
    EXPECT_EQ(values_of(st.KTYPE), (std::vector<std::int32_t>{1, 0, 0}));  // >= 0, = 0, and the spare element
    // The documented sizes: N = 4, M = 2, ME = 1, K = 4.
    EXPECT_EQ(st.LCN, 5);
    EXPECT_EQ(st.LWVF, 4 * 13 / 2 + 8 + 1);
    EXPECT_EQ(st.LWQP, 19 * 4 / 2 + 20 + 12);
    EXPECT_EQ(st.A.size(), 3u * 6u);
    double ratio = -1.0;
    vek::SolverResults* results = nullptr;
    ASSERT_EQ(fixture.solver->QueryInterface(vek::kIidSolverResults, reinterpret_cast<void**>(&results)), 0);
    EXPECT_EQ(results->GetRealResult("CVRG", &ratio), 0);
    EXPECT_EQ(ratio, 0.0);
    results->Release();
  }
}

TEST(RequestCodes, TheVariantFamilyAsksWithSixWhereTheOtherAsksWithSevenOr105) {
  std::vector<std::vector<std::int32_t>> requests;
  std::vector<std::vector<double>> points;
  for (const auto& [start, next] : std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {3, 4}, {3, 5}}) {
    ProblemHost host(make_problem("hs071"));
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    const auto run = run_solve(fixture.solver, host, sink, start, next);
    EXPECT_EQ(run.result, 0) << start << "/" << next;
    EXPECT_EQ(run.requests.front(), start == 0 ? 111 : 110);
    EXPECT_EQ(run.requests.back(), 0);
    for (std::size_t k = 1; k + 1 < run.requests.size(); ++k) {
      if (start == 0) {
        EXPECT_TRUE(run.requests[k] == 7 || run.requests[k] == 105) << run.requests[k];
      } else {
        EXPECT_EQ(run.requests[k], 6);
      }
    }
    EXPECT_EQ(run.requests[1], start == 0 ? 7 : 6) << "the first step asks for function values";
    requests.push_back(run.requests);
    points.push_back(host.x);
  }
  // The same engine path in every family: as many calls, the same final point.
  for (std::size_t k = 1; k < requests.size(); ++k) {
    EXPECT_EQ(requests[k].size(), requests[0].size());
    EXPECT_EQ(points[k], points[0]);
  }
}

// Rows 1..N of every constraint column of A (row N+1 is the engine's scratch).
std::vector<double> gradient_rows(const vek::driver::SolveState& st) {
  std::vector<double> rows;
  for (int j = 0; j < st.M; ++j) {
    for (int i = 0; i < st.N; ++i) rows.push_back(st.A[static_cast<std::size_t>(j) * st.LCN + i]);
  }
  return rows;
}

// The dense A that the structure and the block's values describe.
std::vector<double> expected_rows(const ProblemHost& host, const vek::EvaluationBlock& block) {
  std::vector<double> rows(static_cast<std::size_t>(host.problem->m()) * host.n, 0.0);
  for (std::size_t k = 0; k < host.rows.size(); ++k) {
    rows[static_cast<std::size_t>(host.rows[k] - 1) * host.n + (host.cols[k] - 1)] = block.jacobian[k];
  }
  return rows;
}

TEST(Transfers, EachCallTakesOnlyThePartsTheEngineAskedFor) {
  ProblemHost host(make_problem("hs044"));  // linear constraints with structural zeros
  drop_structural_zeros(host);
  ASSERT_LT(host.rows.size(), static_cast<std::size_t>(host.n * host.problem->m()));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  host.evaluate(*block, 111);
  // Values past the nnz-th must never reach A.
  for (int k = static_cast<int>(host.rows.size()); k < (host.problem->m() + 1) * host.n; ++k)
    block->jacobian[k] = 7.0;

  ASSERT_EQ(fixture.solver->Solve(1, &block, &counter, &request), 1);  // INF 0: all four parts
  EXPECT_EQ(st.F, block->objective);
  EXPECT_TRUE(std::equal(st.G.begin(), st.G.end(), block->gradient));
  EXPECT_TRUE(std::equal(st.C.begin(), st.C.begin() + st.M, block->constraints));
  EXPECT_EQ(gradient_rows(st), expected_rows(host, *block)) << "absent entries must be 0";

  bool saw_functions = false, saw_derivatives = false;
  for (int call = 0; call < 200 && request != 0; ++call) {
    const std::int32_t asked = request;
    host.evaluate(*block, asked);  // poisons the parts not asked for with NaN
    const double F = st.F;
    const std::vector<double> G = values_of(st.G), C = values_of(st.C), A = gradient_rows(st);
    const std::int32_t result = fixture.solver->Solve(1, &block, &counter, &request);
    if (asked == 7) {
      saw_functions = true;
      EXPECT_EQ(st.F, block->objective);
      EXPECT_TRUE(std::equal(st.C.begin(), st.C.begin() + st.M, block->constraints));
      EXPECT_EQ(values_of(st.G), G);
      EXPECT_EQ(gradient_rows(st), A);
    } else {
      ASSERT_EQ(asked, 105);
      saw_derivatives = true;
      EXPECT_EQ(st.F, F);
      EXPECT_EQ(values_of(st.C), C);
      EXPECT_TRUE(std::equal(st.G.begin(), st.G.end(), block->gradient));
      EXPECT_EQ(gradient_rows(st), expected_rows(host, *block));
    }
    if (result != 1) break;
  }
  EXPECT_TRUE(saw_functions && saw_derivatives);
  EXPECT_EQ(request, 0);
  EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-6);
}

TEST(Scales, DefaultToOneOnEveryStartAndTakeTheHostsAttributesWhenGiven) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(values_of(st.D), std::vector<double>(5, 1.0));
  ASSERT_EQ(run_solve(fixture.solver, host, sink).result, 0);
  EXPECT_NE(values_of(st.D), std::vector<double>(5, 1.0)) << "the engine works in D during a solve";
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);  // a restart
  EXPECT_EQ(values_of(st.D), std::vector<double>(5, 1.0));

  host.scales = {2.0, 0.5, 1.5, 4.0};
  host.has_objective_scale = true;
  host.objective_scale = -2.0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(values_of(st.D), (std::vector<double>{2.0, 0.5, 1.5, 4.0, -2.0}));
  const auto run = run_solve(fixture.solver, host, sink);
  EXPECT_EQ(run.result, 0);
  EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-4);
}

TEST(Scales, AZeroScaleReachesTheEngineAndIsReportedAsIllegal) {
  ProblemHost host(make_problem("hs071"));
  host.scales = {2.0, 0.5, 0.0, 4.0};
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(values_of(st.D), (std::vector<double>{2.0, 0.5, 0.0, 4.0, 1.0}));  // the host's value, as given
  const auto run = run_solve(fixture.solver, host, sink);
  EXPECT_EQ(run.result, -8);
  ASSERT_FALSE(run.messages.empty());
  ASSERT_FALSE(run.messages.back().empty());
  EXPECT_EQ(run.messages.back().back(), "Illegal Values - Optimiser Failed.\n");
}

TEST(Controls, PrintLevelErrorsOnlyInAnyLetterCaseSilencesTheEngine) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  fixture.set_integer("PrintFreq", 7);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  for (const char* level : {"Errors Only", "errors only", "ERRORS ONLY", "eRRoRs OnLy"}) {
    fixture.set_text("PrintLevel", level);
    ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
    EXPECT_EQ(st.IPRINT, -1) << level;
  }
  for (const char* level : {"Normal", "Errors  Only", "Errors Only.", "anything"}) {
    fixture.set_text("PrintLevel", level);
    ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
    EXPECT_EQ(st.IPRINT, 7) << level;
  }
  // The other controls reach the engine's arguments at every call.
  fixture.set_real("StepSize", 0.25);
  fixture.set_integer("MaxIterations", 321);
  fixture.set_integer("MaxLineSearches", 9);
  fixture.set_real("OptTol", 1.0e-9);
  fixture.set_integer("QPMode", 1);
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(st.STEP, 0.25);
  EXPECT_EQ(st.MAXIT, 321);
  EXPECT_EQ(st.MAXLS, 9);
  EXPECT_EQ(st.ACC, 1.0e-9);
  EXPECT_EQ(st.MODE, 1);
}

TEST(NoConstraints, NoKindIsAskedAndTheSpareConstraintStaysZero) {
  ProblemHost host(make_problem("hs001"));
  ASSERT_EQ(host.problem->m(), 0);
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  for (int call = 0; call < 500 && request != 0; ++call) {
    host.evaluate(*block, request == 111 ? 111 : request);
    block->constraints[0] = 5.0;  // not a constraint: must not reach C(1)
    block->constraints[1] = 5.0;
    fixture.solver->Solve(1, &block, &counter, &request);
    ASSERT_EQ(values_of(st.C), std::vector<double>{0.0});
  }
  EXPECT_EQ(request, 0);
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "GetConstraintAttribute"), 0);
  EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-6);
}

TEST(Convergence, PointThenMultipliersOnceAndTheySatisfyStationarity) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  fixture.set_real("OptTol", 1.0e-10);
  const auto run = run_solve(fixture.solver, host, sink);
  ASSERT_EQ(run.result, 0);
  const auto& st = state_of(fixture.solver);

  const auto first = std::find(host.calls.begin(), host.calls.end(), "SetMultipliers");
  ASSERT_NE(first, host.calls.end());
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "SetMultipliers"), 1);
  EXPECT_EQ(*(first - 1), "SetVariableValues");
  EXPECT_EQ(host.received_zeros, std::vector<double>(4, 0.0));
  EXPECT_TRUE(std::equal(host.received_multipliers.begin(), host.received_multipliers.end(), st.VF.begin()));
  EXPECT_EQ(host.x, values_of(st.X));

  // Stationarity of f - sum lambda_j c_j on every variable strictly inside its bounds.
  std::vector<double> g(4), jac(8);
  host.problem->gradient(host.x.data(), g.data());
  host.problem->jacobian(host.x.data(), jac.data());
  for (int i = 0; i < 4; ++i) {
    if (host.x[i] - host.xl[i] < 1e-6 || host.xu[i] - host.x[i] < 1e-6) continue;
    double r = g[i];
    for (int j = 0; j < 2; ++j) r -= host.received_multipliers[j] * jac[j * 4 + i];
    EXPECT_NEAR(r, 0.0, 1e-5) << "variable " << i;
  }
  EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-5);

  // The counter counts engine calls: one per continuing call.
  EXPECT_EQ(run.counter, run.continuing_calls);
  for (std::size_t k = 0; k < run.counters.size(); ++k) EXPECT_EQ(run.counters[k], static_cast<int>(k));

  // The convergence ratio: the sum over its threshold, times the tolerance, within the tolerance.
  double ratio = -1.0;
  vek::SolverResults* results = nullptr;
  ASSERT_EQ(fixture.solver->QueryInterface(vek::kIidSolverResults, reinterpret_cast<void**>(&results)), 0);
  EXPECT_EQ(results->GetRealResult("CVRG", &ratio), 0);
  EXPECT_DOUBLE_EQ(ratio, st.CVG[0] / st.CVG[1] * 1.0e-10);
  EXPECT_GE(ratio, 0.0);
  EXPECT_LE(ratio, 1.0e-10);
  results->Release();
}

TEST(Destruction, AnAbandonedSolveGivesBackTheHostsWordTheListingFileAndTheProblem) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory->CreateSolver(&host, &sink, &solver), 0);
  ASSERT_EQ(host.count, 2);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(solver->Solve(0, &block, &counter, &request), 1);
  host.evaluate(*block, request);
  ASSERT_EQ(solver->Solve(1, &block, &counter, &request), 1);
  const std::string file = state_of(solver).listing.name;
  EXPECT_TRUE(std::filesystem::exists(file)) << "a solve in progress keeps its listing file";
  // The host may hang memory of its own on the block's first word: the component frees it (a leak
  // checker sees it otherwise).
  block->host_data = std::malloc(64);
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(host.count, 1) << "the problem got its Release";
  EXPECT_FALSE(std::filesystem::exists(file)) << "the name was given back to the services";
  EXPECT_EQ(factory->Release(), 0);
}

TEST(Restart, ASecondSolveStartsAfreshWithTheSameArrays) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  const auto first = run_solve(fixture.solver, host, sink);
  ASSERT_EQ(first.result, 0);
  const double* vf = st.VF.data();
  const std::vector<double> solution = host.x;

  // A continuing call after the end reports the same ending again.
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = first.counter, request = -1;
  EXPECT_EQ(fixture.solver->Solve(1, &block, &counter, &request), 0);
  EXPECT_EQ(request, 0);

  host.problem->start(host.x.data());
  host.calls.clear();
  const auto second = run_solve(fixture.solver, host, sink);
  EXPECT_EQ(second.result, 0);
  EXPECT_EQ(second.counters.front(), 0);
  EXPECT_EQ(second.requests, first.requests) << "the same path from the same start";
  EXPECT_EQ(host.x, solution);
  EXPECT_EQ(st.VF.data(), vf) << "arrays are made once per component";
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "GetConstraintAttribute"), 0);
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "GetJacobianStructure"), 0);
}

}  // namespace

namespace {

TEST(ParameterTableLife, SolveRebuildsAFreedTableWithItsDefaults) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory->CreateSolver(&host, &sink, &solver), 0);
  vek::ParameterList* params = nullptr;
  ASSERT_EQ(solver->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&params)), 0);
  vek::ParameterValue value{};
  value.integer = 3;
  ASSERT_EQ(params->SetParameter("MaxIterations", vek::kIntegerParameter, value), 0);
  EXPECT_EQ(factory->Release(), 0);  // the table goes with the factory
  EXPECT_EQ(params->GetParameterCount(), 0);

  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(params->GetParameterCount(), vek::core::kParameterCount);
  EXPECT_EQ(state_of(solver).MAXIT, 100) << "the rebuilt table holds the defaults";
  params->Release();
  EXPECT_EQ(solver->Release(), 0);
  // The factory that Solve created has no reference yet: the next host call takes the first.
  vek::NLPSystemFactory* again = GetFactoryNLPSystem();
  EXPECT_EQ(again->Release(), 0);
}

}  // namespace
