// The solve driver's own cost per Solve call (unit 7 connected to the listing file, the read-back, the
// block transfers and the dense Jacobian rebuild) set against the engine's work, on a small problem
// (hs071: 4 variables, 2 constraints) and a 200-variable one (the scalable "qp": 200 constraints).
//
//   BM_SolveThroughDriver   whole solves through SolverComponent::Solve with a lean host
//   BM_EngineAlone          the same solves calling MIRAX directly with the same evaluations
//   BM_ListingRoundTrip     one call's listing work alone with a silent engine: connect, disconnect,
//                           read back
//   BM_ListingFileRecreated the same plus the removal at the end of a solve (the next connection
//                           creates the file again)
// Each reports "per_call": the time of one Solve (or MIRAX) call; the driver's overhead per call is the
// difference between the first two.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "driver/host_interfaces.h"
#include "driver/listing.h"
#include "engine/MIRAX.h"
#include "host/problems/problem.h"
#include "plugin/interfaces.h"

namespace {

using talvir::problems::TestProblem;

// A host without bookkeeping: evaluates the problem at its current point as the request says.
class LeanHost : public vek::NLPProblem, public vek::VEKUtilityComponent {
 public:
  explicit LeanHost(std::unique_ptr<TestProblem> p)
      : problem(std::move(p)), n(problem->n()), m(problem->m()) {
    std::vector<int> r, c;
    if (!problem->jacobian_structure(r, c)) {
      for (int j = 0; j < m; ++j) {
        for (int i = 0; i < n; ++i) r.push_back(j), c.push_back(i);
      }
    }
    for (std::size_t k = 0; k < r.size(); ++k) rows.push_back(r[k] + 1), cols.push_back(c[k] + 1);
    x.resize(n);
    jac.resize(static_cast<std::size_t>(m) * n + 1);
    for (int j = 0; j < m; ++j) (problem->kind(j) == 0 ? equalities : inequalities) += 1;
  }
  void restart() { problem->start(x.data()); }
  void evaluate(vek::EvaluationBlock& b, std::int32_t request) {
    if (request != vek::kRequestDerivatives) {
      b.objective = problem->objective(x.data());
      problem->constraints(x.data(), b.constraints);
    }
    if (request != vek::kRequestFunctions) {
      problem->gradient(x.data(), b.gradient);
      problem->jacobian(x.data(), jac.data());
      for (std::size_t k = 0; k < rows.size(); ++k) {
        b.jacobian[k] = jac[static_cast<std::size_t>(rows[k] - 1) * n + (cols[k] - 1)];
      }
    }
  }

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override {
    if (iid != vek::kIidVEKUtilityComponent) return vek::kENoInterface;
    *out = static_cast<vek::VEKUtilityComponent*>(this);
    return 0;
  }
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return 1; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return 1; }
  const char* GetVersion() override { return "1"; }
  const char* GetDescription() override { return "bench"; }
  const char* GetName() override { return "bench"; }
  std::int32_t GetNumVariables() override { return n; }
  std::int32_t GetNumEqualities() override { return equalities; }
  std::int32_t GetNumInequalities() override { return inequalities; }
  std::int32_t GetVariableBounds(std::int32_t, double* lower, double* upper) override {
    problem->bounds(lower, upper);
    return 0;
  }
  std::int32_t SetVariableValues(std::int32_t, const double* values) override {
    std::copy(values, values + n, x.begin());
    return 0;
  }
  std::int32_t GetVariableValues(std::int32_t, double* values) override {
    std::copy(x.begin(), x.end(), values);
    return 0;
  }
  std::int32_t GetVariableAttribute(std::int32_t, const char*, double*) override { return -1; }
  std::int32_t GetConstraintAttribute(std::int32_t j, const char*, std::int32_t* value) override {
    *value = problem->kind(j) == 0 ? 0 : problem->kind(j) < 0 ? 1 : 3;
    return 0;
  }
  std::int32_t GetProblemAttribute(const char*, double*) override { return -1; }
  std::int32_t GetStructureCounts(std::int32_t* first, std::int32_t* nnz) override {
    *first = n;
    *nnz = static_cast<std::int32_t>(rows.size());
    return 0;
  }
  std::int32_t GetJacobianStructure(const std::int32_t** r, const std::int32_t** c,
                                    std::int32_t* count) override {
    *r = rows.data();
    *c = cols.data();
    *count = static_cast<std::int32_t>(rows.size());
    return 0;
  }
  std::int32_t OnSolveCall() override { return 0; }
  std::int32_t SetMultipliers(const double*, const double*) override { return 0; }

  std::unique_ptr<TestProblem> problem;
  int n, m, equalities = 0, inequalities = 0;
  std::vector<std::int32_t> rows, cols;
  std::vector<double> x, jac;
};

class NullSink : public vek::MessageSink {
 public:
  void Write(const char*) override {}
};

std::unique_ptr<TestProblem> problem_for(int which) {
  return which == 0 ? talvir::problems::make_problem("hs071") : talvir::problems::make_problem("qp", 200);
}
const char* label_for(int which) {
  return which == 0 ? "hs071 (n=4, m=2)" : "qp (n=200, m=200)";
}

void BM_SolveThroughDriver(benchmark::State& state) {
  LeanHost host(problem_for(static_cast<int>(state.range(0))));
  NullSink sink;
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  vek::NLPSolver* solver = nullptr;
  factory->CreateSolver(&host, &sink, &solver);
  std::int64_t calls = 0;
  for (auto _ : state) {
    host.restart();
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0, mode = 0;
    while (solver->Solve(mode, &block, &counter, &request) == vek::kCallAgain) {
      host.evaluate(*block, request);
      mode = 1;
      ++calls;
    }
    ++calls;
  }
  state.counters["per_call"] = benchmark::Counter(static_cast<double>(calls),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(label_for(static_cast<int>(state.range(0))));
  solver->Release();
  factory->Release();
}

// The driver's arrays and sizes, the engine called directly.
void BM_EngineAlone(benchmark::State& state) {
  LeanHost host(problem_for(static_cast<int>(state.range(0))));
  const int N = host.n, M = host.m, ME = host.equalities, LCN = N + 1, K = N + 1 - ME;
  const int LWVF = N * (N + 9) / 2 + 4 * M + 1, LWQP = (3 * K + 7) * K / 2 + 4 * (N + 1) + 6 * M;
  std::vector<double> X(N), G(N + 1), C(M + 2), A(static_cast<std::size_t>(M + 1) * (LCN + 1)), D(N + 1);
  std::vector<double> VF(LWVF), WQP(LWQP), XL(N), XU(N), CVG(2), block_jac((M + 1) * N + 1);
  std::vector<int> KTYPE(M + 1);
  for (int j = 0; j < M; ++j) KTYPE[j] = host.problem->kind(j);
  host.problem->bounds(XL.data(), XU.data());
  vek::EvaluationBlock block{};
  block.gradient = G.data();
  block.constraints = C.data();
  block.jacobian = block_jac.data();
  const int MAXIT = 100, IPRINT = -1, MODE = 0, MAXLS = 5;
  const double ACC = 1e-6, STEP = 0.5;
  auto scatter = [&] {
    std::fill(A.begin(), A.begin() + static_cast<std::size_t>(M) * LCN, 0.0);
    for (std::size_t k = 0; k < host.rows.size(); ++k)
      A[(host.rows[k] - 1) * LCN + host.cols[k] - 1] = block_jac[k];
  };
  std::int64_t calls = 0;
  for (auto _ : state) {
    host.restart();
    X = host.x;
    host.evaluate(block, vek::kRequestStart);
    scatter();
    std::fill(D.begin(), D.end(), 1.0);
    int INF = 0;
    do {
      vek::engine::MIRAX(N, M, KTYPE.data(), X.data(), block.objective, G.data(), C.data(), A.data(), LCN,
                         MAXIT, ACC, IPRINT, INF, VF.data(), LWVF, WQP.data(), LWQP, XL.data(), XU.data(),
                         D.data(), STEP, MODE, CVG.data(), MAXLS);
      ++calls;
      host.x = X;
      if (INF == -1) host.evaluate(block, vek::kRequestFunctions);
      if (INF == -2) host.evaluate(block, vek::kRequestDerivatives), scatter();
    } while (INF == -1 || INF == -2);
  }
  state.counters["per_call"] = benchmark::Counter(static_cast<double>(calls),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(label_for(static_cast<int>(state.range(0))));
}

void BM_ListingRoundTrip(benchmark::State& state) {
  vek::driver::ListingFile file;
  NullSink sink;
  for (auto _ : state) {
    vek::driver::connect_listing(file);
    vek::driver::forward_listing(file, &sink);
  }
  vek::driver::remove_listing(file);
  std::free(file.name);
}

// The per-solve part: the file removed at the end of a solve is created again by the next connection.
void BM_ListingFileRecreated(benchmark::State& state) {
  vek::driver::ListingFile file;
  NullSink sink;
  for (auto _ : state) {
    vek::driver::connect_listing(file);
    vek::driver::forward_listing(file, &sink);
    vek::driver::remove_listing(file);
  }
  std::free(file.name);
}

BENCHMARK(BM_SolveThroughDriver)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListingRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListingFileRecreated)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
