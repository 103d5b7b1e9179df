// A bundled problem through the C API's reverse communication (contract in api_solve.h).
#include "api/api_solve.h"

#include <gtest/gtest.h>

#include "core/outcome.h"
#include "host/host_problem.h"
#include "talvir/talvir.h"

namespace talvir_test {
namespace {

using talvir::problems::TestProblem;

// Answers a request of the C API from the test problem (dense Jacobian, row by row, or the problem's
// sparse structure in its order).
class Answerer {
 public:
  Answerer(const TestProblem& p, std::vector<int> rows, std::vector<int> cols)
      : p_(p),
        rows_(std::move(rows)),
        cols_(std::move(cols)),
        dense_(static_cast<std::size_t>(p.n()) * p.m()) {}
  void answer(int request, const double* x, double* f, double* g, double* c, double* jac) {
    if (request & TALVIR_REQUEST_VALUES) {
      *f = p_.objective(x);
      if (p_.m() > 0) p_.constraints(x, c);
    }
    if (request & TALVIR_REQUEST_DERIVATIVES) {
      p_.gradient(x, g);
      if (p_.m() == 0) return;
      p_.jacobian(x, dense_.data());
      for (std::size_t k = 0; k < rows_.size(); ++k) jac[k] = dense_[rows_[k] * p_.n() + cols_[k]];
    }
  }

 private:
  const TestProblem& p_;
  std::vector<int> rows_, cols_;
  std::vector<double> dense_;
};

int plugin_code(int request) {
  return request == TALVIR_REQUEST_ALL ? 111 : (request == TALVIR_REQUEST_VALUES ? 7 : 105);
}

}  // namespace

Trace through_api(const TestProblem& p, bool listing, const char* strategy) {
  const int n = p.n(), m = p.m();
  std::vector<int> kinds(m), rows, cols;
  for (int j = 0; j < m; ++j) kinds[j] = p.kind(j);
  std::vector<double> xl(n), xu(n), x0(n);
  p.bounds(xl.data(), xu.data());
  p.start(x0.data());
  talvir_solver* s = nullptr;
  Trace t;
  EXPECT_EQ(talvir_create(n, m, kinds.data(), &s), TALVIR_OK);
  EXPECT_EQ(talvir_set_text_parameter(s, "Strategy", strategy), TALVIR_OK);
  if (listing) {
    EXPECT_EQ(talvir_set_text_parameter(s, "PrintLevel", "Normal"), TALVIR_OK);
    const talvir_listing_fn append = [](const char* text, void* user) {
      *static_cast<std::string*>(user) += text;
    };
    EXPECT_EQ(talvir_set_listing(s, append, &t.listing), TALVIR_OK);
  }
  EXPECT_EQ(talvir_set_bounds(s, xl.data(), xu.data()), TALVIR_OK);
  EXPECT_EQ(talvir_set_start(s, x0.data()), TALVIR_OK);
  if (p.jacobian_structure(rows, cols)) {
    EXPECT_EQ(talvir_set_jacobian_structure(s, static_cast<int>(rows.size()), rows.data(), cols.data()),
              TALVIR_OK);
  } else {
    for (int j = 0; j < m; ++j) {
      for (int i = 0; i < n; ++i) rows.push_back(j), cols.push_back(i);
    }
  }
  Answerer answerer(p, rows, cols);
  const double* x = nullptr;
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
  talvir_evaluation_arrays(s, &x, &f, &g, &c, &jac);
  int request = 0;
  for (talvir_step(s, &request); request != TALVIR_REQUEST_NONE; talvir_step(s, &request)) {
    t.points.emplace_back(x, x + n);
    t.requests.push_back(plugin_code(request));
    answerer.answer(request, x, f, g, c, jac);
  }
  int ending = 0;
  talvir_get_ending(s, &ending);
  t.converged = ending == TALVIR_ENDING_CONVERGED;
  t.message = vek::core::outcome_message(ending, 5);
  t.x.resize(n);
  talvir_get_x(s, t.x.data());
  if (t.converged) {
    t.multipliers.resize(m);
    talvir_get_multipliers(s, t.multipliers.data());
  }
  talvir_get_evaluations(s, &t.values, &t.derivatives);
  talvir_free(s);
  return t;
}

Trace through_plugin(vek::NLPSystemFactory* factory, const TestProblem& problem) {
  talvir::host::HostProblem host(problem);
  talvir::host::HostSink sink(false);
  vek::NLPSolver* solver = nullptr;
  Trace t;
  if (factory->CreateSolver(&host, &sink, &solver) != 0) return t;
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  std::int32_t result = solver->Solve(0, &block, &counter, &request);
  const std::size_t before = sink.all_text().size();  // what CreateSolver wrote
  while (result == 1) {
    t.points.push_back(host.point());
    t.requests.push_back(request);
    host.evaluate(request, block);
    sink.begin_call();
    result = solver->Solve(1, &block, &counter, &request);
  }
  t.converged = result == 0;
  if (result == -8) t.message = sink.last_call_texts().back();
  t.listing = sink.all_text().substr(before);
  t.listing.resize(t.listing.size() - t.message.size());
  t.x = host.point();
  if (t.converged) t.multipliers = host.multipliers();
  solver->Release();
  return t;
}

}  // namespace talvir_test
