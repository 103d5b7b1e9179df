// Same engine, same numbers: every problem of the bundled collection solved through the plug-in (loaded
// by path, driven as a host drives it) and through the C API's reverse communication asks for the same
// evaluations at bitwise the same points, ends the same way, returns the same point and multipliers and
// writes the same listing ("PrintLevel" "Normal" on both doors).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/outcome.h"
#include "host/host_problem.h"
#include "host/module.h"
#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace {

using talvir::problems::TestProblem;

// What one solve asked for and how it ended, in the plug-in's request codes.
struct Trace {
  std::vector<std::vector<double>> points;  // the point of every request
  std::vector<int> requests;                // 111, 7, 105
  std::vector<double> x, multipliers;
  std::string message;  // the plug-in's outcome message ("" when converged)
  std::string listing;
  bool converged = false;
};

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

Trace through_api(const TestProblem& p) {
  const int n = p.n(), m = p.m();
  std::vector<int> kinds(m), rows, cols;
  for (int j = 0; j < m; ++j) kinds[j] = p.kind(j);
  std::vector<double> xl(n), xu(n), x0(n);
  p.bounds(xl.data(), xu.data());
  p.start(x0.data());
  talvir_solver* s = nullptr;
  Trace t;
  EXPECT_EQ(talvir_create(n, m, kinds.data(), &s), TALVIR_OK);
  EXPECT_EQ(talvir_set_text_parameter(s, "PrintLevel", "Normal"), TALVIR_OK);
  const talvir_listing_fn append = [](const char* text, void* user) {
    *static_cast<std::string*>(user) += text;
  };
  EXPECT_EQ(talvir_set_listing(s, append, &t.listing), TALVIR_OK);
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
  t.message = vek::driver::outcome_message(ending, 5);
  t.x.resize(n);
  talvir_get_x(s, t.x.data());
  if (t.converged) {
    t.multipliers.resize(m);
    talvir_get_multipliers(s, t.multipliers.data());
  }
  int values = 0, derivatives = 0;
  talvir_get_evaluations(s, &values, &derivatives);
  int plugin_values = 0, plugin_derivatives = 0;
  for (int r : t.requests) plugin_values += r != 105, plugin_derivatives += r != 7;
  EXPECT_EQ(values, plugin_values);
  EXPECT_EQ(derivatives, plugin_derivatives);
  talvir_free(s);
  return t;
}

class Identity : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    module_ = new talvir::host::PluginModule;
    std::string error;
    ASSERT_TRUE(module_->open(TALVIR_MODULE_PATH, &error)) << error;
    factory_ = module_->factory();
    vek::ParameterList* list = nullptr;
    ASSERT_EQ(factory_->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&list)), 0);
    vek::ParameterValue normal{};
    normal.text = const_cast<char*>("Normal");
    ASSERT_EQ(list->SetParameter("PrintLevel", vek::kTextParameter, normal), 0);
    list->Release();
  }
  static void TearDownTestSuite() {
    if (factory_ != nullptr) factory_->Release();
    delete module_;
  }
  static talvir::host::PluginModule* module_;
  static vek::NLPSystemFactory* factory_;
};
talvir::host::PluginModule* Identity::module_ = nullptr;
vek::NLPSystemFactory* Identity::factory_ = nullptr;

TEST_P(Identity, PluginAndCApiTakeTheSameSteps) {
  ASSERT_NE(factory_, nullptr);
  const std::unique_ptr<TestProblem> problem = talvir::problems::make_problem(GetParam());
  const Trace plugin = through_plugin(factory_, *problem);
  const Trace api = through_api(*problem);
  ASSERT_FALSE(plugin.requests.empty());
  EXPECT_EQ(api.requests, plugin.requests);
  EXPECT_EQ(api.points, plugin.points);  // bitwise
  EXPECT_EQ(api.converged, plugin.converged);
  EXPECT_EQ(api.message, plugin.message);
  EXPECT_EQ(api.x, plugin.x);
  EXPECT_EQ(api.multipliers, plugin.multipliers);
  EXPECT_EQ(api.listing, plugin.listing);
  EXPECT_FALSE(api.listing.empty());
}

INSTANTIATE_TEST_SUITE_P(Bundled, Identity, ::testing::ValuesIn(talvir::problems::problem_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
