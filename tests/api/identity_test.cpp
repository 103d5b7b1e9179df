// Same engine, same numbers: every problem of the bundled collection solved through the plug-in (loaded
// by path, driven as a host drives it) and through the C API's reverse communication asks for the same
// evaluations at bitwise the same points, ends the same way, returns the same point and multipliers and
// writes the same listing ("PrintLevel" "Normal" on both doors), the C API in its "Faithful" strategy;
// and wherever that converges, the "Robust" strategy takes the same steps.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api/api_solve.h"
#include "core/outcome.h"
#include "host/host_problem.h"
#include "host/module.h"
#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace {

using talvir::problems::TestProblem;

using talvir_test::Trace;

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
  const Trace plugin = talvir_test::through_plugin(factory_, *problem);
  const Trace api = talvir_test::through_api(*problem, true);
  ASSERT_FALSE(plugin.requests.empty());
  EXPECT_EQ(api.requests, plugin.requests);
  EXPECT_EQ(api.points, plugin.points);  // bitwise
  EXPECT_EQ(api.converged, plugin.converged);
  EXPECT_EQ(api.message, plugin.message);
  EXPECT_EQ(api.x, plugin.x);
  EXPECT_EQ(api.multipliers, plugin.multipliers);
  EXPECT_EQ(api.listing, plugin.listing);
  int values = 0, derivatives = 0;
  for (int r : plugin.requests) values += r != 105, derivatives += r != 7;
  EXPECT_EQ(api.values, values);
  EXPECT_EQ(api.derivatives, derivatives);
  EXPECT_FALSE(api.listing.empty());
  // The robust strategy takes exactly the documented method's steps wherever that method converges.
  if (plugin.converged) {
    const Trace robust = talvir_test::through_api(*problem, true, "Robust");
    EXPECT_EQ(robust.points, api.points);  // bitwise
    EXPECT_EQ(robust.listing, api.listing);
    EXPECT_EQ(robust.x, api.x);
    EXPECT_EQ(robust.multipliers, api.multipliers);
  }
}

INSTANTIATE_TEST_SUITE_P(Bundled, Identity, ::testing::ValuesIn(talvir::problems::problem_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
