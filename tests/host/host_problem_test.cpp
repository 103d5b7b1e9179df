// The host-side adapters in process, without the module: what HostProblem answers in each slot the
// solver uses (sizes, kinds mapped to "MathType", bounds, the 1-based Jacobian structure, attributes
// that exist only when set), what each request code makes it write into an EvaluationBlock and what
// it leaves alone, the failed-evaluation signal, and the sink's record of texts per call.
#include "host/host_problem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/module.h"
#include "host/problems/problem.h"
#include "host/solve_run.h"

namespace talvir::host {
namespace {

using problems::make_problem;

// An EvaluationBlock with its own arrays, every value set to a sentinel.
struct Block {
  explicit Block(int n, int m)
      : gradient(n + 1, kSentinel),
        spare(n + 1, kSentinel),
        constraints(m + 2, kSentinel),
        jacobian((m + 1) * n + 1, kSentinel) {
    block.objective = kSentinel;
    block.gradient = gradient.data();
    block.gradient_spare = spare.data();
    block.constraints = constraints.data();
    block.jacobian = jacobian.data();
  }
  static constexpr double kSentinel = -12345.0;
  std::vector<double> gradient, spare, constraints, jacobian;
  vek::EvaluationBlock block{};
};

TEST(HostProblem, AnswersSizesKindsAndBoundsOfTheWrappedProblem) {
  const auto p = make_problem("hs014");  // kinds -1 and 0
  HostProblem host(*p);
  EXPECT_EQ(host.GetNumVariables(), 2);
  EXPECT_EQ(host.GetNumEqualities(), 1);
  EXPECT_EQ(host.GetNumInequalities(), 1);
  std::int32_t t = -1;
  EXPECT_EQ(host.GetConstraintAttribute(0, "MathType", &t), 0);
  EXPECT_EQ(t, 1) << "c <= 0";
  EXPECT_EQ(host.GetConstraintAttribute(1, "MathType", &t), 0);
  EXPECT_EQ(t, 0) << "equality";
  const auto q = make_problem("hs071");  // kinds +1 and 0
  HostProblem host71(*q);
  EXPECT_EQ(host71.GetConstraintAttribute(0, "MathType", &t), 0);
  EXPECT_EQ(t, 3) << "c >= 0";
  // Unknown keys and indices are refused without writing.
  t = 99;
  EXPECT_EQ(host.GetConstraintAttribute(2, "MathType", &t), vek::kNotAvailable);
  EXPECT_EQ(host.GetConstraintAttribute(0, "mathtype", &t), vek::kNotAvailable);
  EXPECT_EQ(t, 99);
  double lower[4], upper[4];
  EXPECT_EQ(host71.GetVariableBounds(0, lower, upper), 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(lower[i], 1.0);
    EXPECT_EQ(upper[i], 5.0);
  }
  // Point: the start, then what SetVariableValues passes, from the given first index on.
  double x[4];
  EXPECT_EQ(host71.GetVariableValues(0, x), 0);
  EXPECT_EQ(std::vector<double>(x, x + 4), (std::vector<double>{1.0, 5.0, 5.0, 1.0}));
  const double tail[2] = {7.0, 8.0};
  EXPECT_EQ(host71.SetVariableValues(2, tail), 0);
  EXPECT_EQ(host71.point(), (std::vector<double>{1.0, 5.0, 7.0, 8.0}));
  EXPECT_EQ(host71.SetVariableValues(4, tail), vek::kNotAvailable);
}

TEST(HostProblem, ScalesExistOnlyWhenSet) {
  const auto p = make_problem("hs071");
  HostProblem host(*p);
  double d = 0.0;
  EXPECT_NE(host.GetVariableAttribute(0, "VariableScale", &d), 0);
  EXPECT_NE(host.GetProblemAttribute("ObjectiveScale", &d), 0);
  host.set_variable_scales({1.0, 2.0, 3.0, 4.0});
  host.set_objective_scale(0.5);
  EXPECT_EQ(host.GetVariableAttribute(2, "VariableScale", &d), 0);
  EXPECT_EQ(d, 3.0);
  EXPECT_NE(host.GetVariableAttribute(4, "VariableScale", &d), 0);
  EXPECT_EQ(host.GetProblemAttribute("ObjectiveScale", &d), 0);
  EXPECT_EQ(d, 0.5);
  // A shorter list gives scales to its own variables only; nothing is read past its end.
  host.set_variable_scales({7.0, 8.0});
  d = -1.0;
  EXPECT_EQ(host.GetVariableAttribute(1, "VariableScale", &d), 0);
  EXPECT_EQ(d, 8.0);
  d = -1.0;
  EXPECT_NE(host.GetVariableAttribute(2, "VariableScale", &d), 0);
  EXPECT_NE(host.GetVariableAttribute(3, "VariableScale", &d), 0);
  EXPECT_EQ(d, -1.0);
}

TEST(HostProblem, JacobianStructureIsOneBasedAndMatchesTheDenseJacobian) {
  for (const char* name : {"hs071", "qp", "chain", "hs038"}) {
    const auto p = make_problem(name);
    HostProblem host(*p);
    std::int32_t first = 0, nnz = -1, count = -1;
    const std::int32_t* rows = nullptr;
    const std::int32_t* cols = nullptr;
    host.GetStructureCounts(&first, &nnz);
    host.GetJacobianStructure(&rows, &cols, &count);
    EXPECT_EQ(nnz, count) << name;
    if (p->m() == 0) {
      EXPECT_EQ(nnz, 0) << name;
      continue;
    }
    Block b(p->n(), p->m());
    ASSERT_TRUE(host.evaluate(vek::kRequestDerivatives, &b.block));
    std::vector<double> dense(static_cast<size_t>(p->m()) * p->n());
    p->jacobian(host.point().data(), dense.data());
    double covered = 0.0, total = 0.0;
    for (std::int32_t k = 0; k < nnz; ++k) {
      ASSERT_TRUE(rows[k] >= 1 && rows[k] <= p->m() && cols[k] >= 1 && cols[k] <= p->n()) << name;
      const double v = dense[static_cast<size_t>(rows[k] - 1) * p->n() + (cols[k] - 1)];
      EXPECT_EQ(b.jacobian[k], v) << name << " entry " << k;
      covered += std::fabs(v);
    }
    for (const double v : dense) total += std::fabs(v);
    EXPECT_EQ(covered, total) << name << ": the structure leaves out a non-zero";
    EXPECT_EQ(b.jacobian[nnz], Block::kSentinel) << name << ": nothing written past nnz";
  }
}

TEST(HostProblem, EachRequestCodeWritesExactlyItsParts) {
  const auto p = make_problem("hs071");
  HostProblem host(*p);
  const double* x = host.point().data();
  std::vector<double> g(4), c(2);
  p->gradient(x, g.data());
  p->constraints(x, c.data());

  Block functions(4, 2);
  ASSERT_TRUE(host.evaluate(vek::kRequestFunctions, &functions.block));
  EXPECT_EQ(functions.block.objective, p->objective(x));
  EXPECT_EQ(functions.constraints[0], c[0]);
  EXPECT_EQ(functions.constraints[1], c[1]);
  EXPECT_EQ(functions.gradient[0], Block::kSentinel) << "7 asks for no derivatives";
  EXPECT_EQ(functions.jacobian[0], Block::kSentinel);

  Block derivatives(4, 2);
  ASSERT_TRUE(host.evaluate(vek::kRequestDerivatives, &derivatives.block));
  EXPECT_EQ(derivatives.block.objective, Block::kSentinel) << "105 asks for no function values";
  EXPECT_EQ(derivatives.constraints[0], Block::kSentinel);
  EXPECT_EQ(std::vector<double>(derivatives.gradient.begin(), derivatives.gradient.begin() + 4), g);
  EXPECT_EQ(derivatives.gradient[4], Block::kSentinel) << "only N gradient values";

  for (const std::int32_t all : {vek::kRequestStart, vek::kRequestStartVariant, vek::kRequestVariant}) {
    Block b(4, 2);
    ASSERT_TRUE(host.evaluate(all, &b.block));
    EXPECT_EQ(b.block.objective, p->objective(x)) << all;
    EXPECT_EQ(b.gradient[3], g[3]) << all;
    EXPECT_EQ(b.constraints[1], c[1]) << all;
    EXPECT_NE(b.jacobian[7], Block::kSentinel) << all;
  }
  EXPECT_EQ(host.function_evaluations(), 4);
  EXPECT_EQ(host.derivative_evaluations(), 4);

  Block untouched(4, 2);
  EXPECT_FALSE(host.evaluate(42, &untouched.block));
  EXPECT_FALSE(host.evaluate(vek::kRequestNone, &untouched.block));
  EXPECT_EQ(untouched.block.objective, Block::kSentinel);
  EXPECT_FALSE(host.evaluate(vek::kRequestFunctions, nullptr));
}

TEST(HostProblem, UndefinedFunctionValuesAreSignalledThroughTheFirstConstraint) {
  const auto p = make_problem("hs062");  // logarithms of sums of the variables
  HostProblem host(*p);
  const double outside[3] = {0.0, 0.0, -0.05};  // ln of a negative ratio in the last tray
  host.SetVariableValues(0, outside);
  Block b(3, 1);
  ASSERT_TRUE(host.evaluate(vek::kRequestFunctions, &b.block));
  EXPECT_GE(b.constraints[0], kEvaluationFailed);
  // Inside the domain the true constraint value is written.
  const double inside[3] = {0.7, 0.2, 0.1};
  host.SetVariableValues(0, inside);
  ASSERT_TRUE(host.evaluate(vek::kRequestFunctions, &b.block));
  EXPECT_NEAR(b.constraints[0], 0.0, 1e-15);
}

TEST(HostProblem, AnswersItsUtilityViewAndCountsReferences) {
  const auto p = make_problem("hs035");
  HostProblem host(*p);
  void* out = nullptr;
  ASSERT_EQ(host.QueryInterface(vek::kIidVEKUtilityComponent, &out), vek::kOk);
  auto* utility = static_cast<vek::VEKUtilityComponent*>(out);
  EXPECT_STREQ(utility->GetName(), "hs035");
  EXPECT_EQ(host.references(), 1);
  EXPECT_EQ(utility->AddRef(), 2) << "the view shares the problem's count";
  EXPECT_EQ(utility->Release(), 1);
  EXPECT_EQ(utility->Release(), 0);
  out = &host;
  EXPECT_EQ(host.QueryInterface(vek::kIidNLPSolver, &out), vek::kENoInterface);
  EXPECT_EQ(out, &host) << "a refused interface leaves the out-pointer alone";
  // Multipliers: the constraint multipliers are kept, one call counted.
  const double zeros[3] = {0.0, 0.0, 0.0};
  const double lambda[5] = {-0.25, 9.0, 9.0, 9.0, 9.0};  // workspace beyond M is not read
  host.SetMultipliers(zeros, lambda);
  EXPECT_EQ(host.multiplier_calls(), 1);
  EXPECT_EQ(host.multipliers(), std::vector<double>{-0.25});
}

TEST(HostSink, RecordsTextsInOrderAndPerCall) {
  HostSink sink(false);
  sink.Write("In solver DLL using problem ");
  sink.Write("hs071");
  sink.begin_call();
  sink.Write("");
  sink.Write("Problem unbounded - Solution Not Found.\n");
  EXPECT_EQ(sink.all_text(), "In solver DLL using problem hs071Problem unbounded - Solution Not Found.\n");
  ASSERT_EQ(sink.last_call_texts().size(), 2u);
  EXPECT_EQ(sink.last_call_texts()[0], "");
  EXPECT_EQ(sink.last_call_texts()[1], "Problem unbounded - Solution Not Found.\n");
}

}  // namespace
}  // namespace talvir::host

// Through the module loaded by path, in process: the exchange leaves no reference on the problem,
// the sink receives the greeting as three texts, and the evaluation counts add up to the requests.
namespace talvir::host {
namespace {

TEST(RunSolve, DrivesTheModuleAndLeavesNoReferenceOnTheProblem) {
#ifndef TALVIR_MODULE_PATH
  GTEST_SKIP() << "the module was not built";
#else
  PluginModule module;
  std::string error;
  ASSERT_TRUE(module.open(TALVIR_MODULE_PATH, &error)) << error;
  vek::NLPSystemFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);
  const auto p = problems::make_problem("hs071");
  const SolveOutcome out = run_solve(factory, *p, SolveSettings{{{"OptTol", "1e-10"}}, false});
  EXPECT_TRUE(out.error.empty()) << out.error;
  EXPECT_TRUE(out.converged);
  EXPECT_EQ(out.problem_references, 0);
  EXPECT_EQ(out.sink_text.rfind("In solver DLL using problem hs071\n", 0), 0u) << out.sink_text;
  EXPECT_NEAR(out.objective, p->known_optimum(), p->optimum_tolerance());
  // One start call plus one engine call per continuing call; each continuing call answered one request.
  EXPECT_EQ(out.counter, out.solve_calls - 1);
  EXPECT_EQ(out.function_evaluations + out.derivative_evaluations, out.solve_calls);
  EXPECT_GT(out.convergence_ratio, 0.0);
  EXPECT_LE(out.convergence_ratio, 1.0) << "converged: the sum is below its threshold";
  // A refused parameter is reported as such and nothing is solved.
  const SolveOutcome refused = run_solve(factory, *p, SolveSettings{{{"OptTol", "-1"}}, false});
  EXPECT_TRUE(refused.bad_parameter);
  EXPECT_EQ(refused.solve_calls, 0);
  EXPECT_EQ(refused.problem_references, 0);
  factory->Release();
#endif
}

}  // namespace
}  // namespace talvir::host
