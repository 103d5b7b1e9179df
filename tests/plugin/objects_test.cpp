// The object model: reference counts shared by all views, QueryInterface answers, the factory
// singleton, CreateSolver with its messages, and the results interface.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/SolverComponent.h"
#include "plugin/SolverFactory.h"
#include "plugin/fake_problem.h"
#include "plugin/interfaces.h"

namespace {

using talvir_test::CountingProblem;
using talvir_test::RecordingSink;
using vek::Guid;
using vek::IUnknown;

const Guid kAllIids[] = {vek::kIidIUnknown,         vek::kIidVEKUtilityComponent, vek::kIidParameterList,
                         vek::kIidNLPSystemFactory, vek::kIidNLPSolver,           vek::kIidSolverResults};

// Asks `object` for `iid`; returns the view or null. A refusal must leave the out-pointer untouched.
void* ask(IUnknown* object, const Guid& iid) {
  void* sentinel = &sentinel;
  void* out = sentinel;
  const std::int32_t status = object->QueryInterface(iid, &out);
  if (status != 0) {
    EXPECT_EQ(status, vek::kENoInterface);
    EXPECT_EQ(out, sentinel) << "a refused QueryInterface wrote its out-pointer";
    return nullptr;
  }
  return out;
}

TEST(FactorySingleton, OneFactoryCountedAcrossCallsAndANewOneAfterTheLastRelease) {
  ASSERT_EQ(vek::plugin::current_factory(), nullptr);
  vek::NLPSystemFactory* first = GetFactoryNLPSystem();
  vek::NLPSystemFactory* second = GetFactoryNLPSystem();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->AddRef(), 3);
  EXPECT_EQ(first->Release(), 2);
  EXPECT_EQ(second->Release(), 1);
  EXPECT_EQ(first->Release(), 0);
  EXPECT_EQ(vek::plugin::current_factory(), nullptr);
}

TEST(FactorySingleton, AnswersItsFourInterfacesInOneCountAndRefusesTheOthers) {
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  vek::plugin::SolverFactory* object = vek::plugin::current_factory();
  ASSERT_NE(object, nullptr);
  void* utility = static_cast<vek::VEKUtilityComponent*>(object);
  EXPECT_EQ(ask(factory, vek::kIidNLPSystemFactory), static_cast<vek::NLPSystemFactory*>(object));
  EXPECT_EQ(ask(factory, vek::kIidParameterList), static_cast<vek::ParameterList*>(object));
  EXPECT_EQ(ask(factory, vek::kIidVEKUtilityComponent), utility);
  EXPECT_EQ(ask(factory, vek::kIidIUnknown), utility);
  EXPECT_EQ(ask(factory, vek::kIidNLPSolver), nullptr);
  EXPECT_EQ(ask(factory, vek::kIidSolverResults), nullptr);
  // One count behind every view: 1 from GetFactoryNLPSystem plus four successful answers.
  auto* params = static_cast<vek::ParameterList*>(object);
  EXPECT_EQ(params->AddRef(), 6);
  EXPECT_EQ(static_cast<vek::VEKUtilityComponent*>(object)->Release(), 5);
  // IUnknown from every view is the utility view.
  for (const Guid& iid : {vek::kIidNLPSystemFactory, vek::kIidParameterList, vek::kIidVEKUtilityComponent}) {
    auto* view = static_cast<IUnknown*>(ask(factory, iid));
    EXPECT_EQ(ask(view, vek::kIidIUnknown), utility);
  }
  // 5 + 3 views + 3 identities.
  for (int k = 0; k < 10; ++k) factory->Release();
  EXPECT_EQ(factory->Release(), 0);
  EXPECT_EQ(vek::plugin::current_factory(), nullptr);
}

TEST(FactorySingleton, UtilityTextsAndVersionFitTheirBuffers) {
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  auto* utility = static_cast<vek::VEKUtilityComponent*>(ask(factory, vek::kIidVEKUtilityComponent));
  ASSERT_NE(utility, nullptr);
  EXPECT_STREQ(utility->GetDescription(), "TALVIR as ext VEK solver");
  EXPECT_STREQ(utility->GetName(), "Solver TALVIR");
  const char* version = utility->GetVersion();
  ASSERT_NE(version, nullptr);
  EXPECT_GT(std::strlen(version), 0u);
  EXPECT_LT(std::strlen(version), 12u);
  utility->Release();
  EXPECT_EQ(factory->Release(), 0);
}

class Solver : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = GetFactoryNLPSystem();
    ASSERT_NE(factory_, nullptr);
  }
  void TearDown() override { EXPECT_EQ(factory_->Release(), 0); }
  vek::NLPSystemFactory* factory_ = nullptr;
};

TEST_F(Solver, CreateSolverNamesTheProblemInThreeTextsAndHandsOneReference) {
  CountingProblem problem(true);
  RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory_->CreateSolver(&problem, &sink, &solver), 0);
  ASSERT_NE(solver, nullptr);
  EXPECT_EQ(sink.texts, (std::vector<std::string>{"In solver DLL using problem ", "hs_counting", "\n"}));
  EXPECT_EQ(problem.count, 2) << "the solver holds one reference; the utility view was released";
  EXPECT_EQ(problem.utility_references, 1);
  EXPECT_EQ(solver->AddRef(), 2);
  EXPECT_EQ(solver->Release(), 1);
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(problem.count, 1);
}

TEST_F(Solver, AProblemWithoutTheUtilityInterfaceGetsOneMessageAndASolverWithCountOne) {
  CountingProblem problem(false);
  RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  EXPECT_EQ(factory_->CreateSolver(&problem, &sink, &solver), vek::kNotAvailable);
  EXPECT_EQ(sink.texts,
            (std::vector<std::string>{"VEKUtilityComponent interface not implemented in problem\n"}));
  ASSERT_NE(solver, nullptr);
  EXPECT_EQ(solver->AddRef(), 2);
  EXPECT_EQ(solver->Release(), 1);
  EXPECT_EQ(problem.count, 2);
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(problem.count, 1);
}

TEST_F(Solver, NullProblemOrOutPointerIsRefusedWithoutCreatingAnything) {
  RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  EXPECT_EQ(factory_->CreateSolver(nullptr, &sink, &solver), vek::kNotAvailable);
  EXPECT_EQ(solver, nullptr);
  CountingProblem problem(true);
  EXPECT_EQ(factory_->CreateSolver(&problem, &sink, nullptr), vek::kNotAvailable);
  EXPECT_EQ(problem.count, 1);
  EXPECT_TRUE(sink.texts.empty());
  // A null sink is tolerated: the texts go nowhere.
  ASSERT_EQ(factory_->CreateSolver(&problem, nullptr, &solver), 0);
  EXPECT_EQ(solver->Release(), 0);
}

TEST_F(Solver, EveryViewSharesOneCountAndAnswersTheUtilityViewAsIdentity) {
  CountingProblem problem(true);
  RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory_->CreateSolver(&problem, &sink, &solver), 0);
  auto* object = static_cast<vek::plugin::SolverComponent*>(solver);
  void* utility = static_cast<vek::VEKUtilityComponent*>(object);

  EXPECT_EQ(ask(solver, vek::kIidNLPSolver), static_cast<vek::NLPSolver*>(object));
  EXPECT_EQ(ask(solver, vek::kIidSolverResults), static_cast<vek::SolverResults*>(object));
  EXPECT_EQ(ask(solver, vek::kIidParameterList), static_cast<vek::ParameterList*>(object));
  EXPECT_EQ(ask(solver, vek::kIidVEKUtilityComponent), utility);
  EXPECT_EQ(ask(solver, vek::kIidIUnknown), utility);
  EXPECT_EQ(ask(solver, vek::kIidNLPSystemFactory), nullptr);
  EXPECT_EQ(solver->AddRef(), 7);  // 1 + 5 answers

  int views = 0;
  for (const Guid& iid : kAllIids) {
    auto* view = static_cast<IUnknown*>(ask(solver, iid));
    if (view == nullptr) continue;
    ++views;
    EXPECT_EQ(ask(view, vek::kIidIUnknown), utility);
    EXPECT_EQ(view->AddRef(), 7 + 3 * views);
    EXPECT_EQ(ask(view, vek::kIidNLPSystemFactory), nullptr);
  }
  EXPECT_EQ(views, 5);
  // Releasing through any view counts down the one count; the last Release destroys the solver.
  auto* results = static_cast<vek::SolverResults*>(object);
  for (std::int32_t expected = 7 + 3 * 5 - 1; expected > 0; --expected) {
    ASSERT_EQ(expected % 2 == 0 ? results->Release() : solver->Release(), expected);
  }
  EXPECT_EQ(problem.count, 2);
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(problem.count, 1);
}

TEST_F(Solver, OnlyTheExactKeyCVRGIsAnsweredAndReservedQueryIsNeverAvailable) {
  CountingProblem problem(true);
  RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory_->CreateSolver(&problem, &sink, &solver), 0);
  auto* results = static_cast<vek::SolverResults*>(ask(solver, vek::kIidSolverResults));
  ASSERT_NE(results, nullptr);
  double value = 42.0;
  EXPECT_EQ(results->GetRealResult("CVRG", &value), 0);
  EXPECT_EQ(value, 0.0) << "the ratio before any solve";
  for (const char* key : {"cvrg", "Cvrg", "CVRG ", "CVR", ""}) {
    value = 42.0;
    EXPECT_EQ(results->GetRealResult(key, &value), vek::kNotAvailable) << key;
    EXPECT_EQ(value, 42.0);
  }
  EXPECT_EQ(results->GetRealResult(nullptr, &value), vek::kNotAvailable);
  EXPECT_EQ(results->GetRealResult("CVRG", nullptr), vek::kNotAvailable);
  int dummy = 0;
  EXPECT_EQ(results->ReservedQuery(0, nullptr, nullptr), vek::kNotAvailable);
  EXPECT_EQ(results->ReservedQuery(12, &dummy, &value), vek::kNotAvailable);
  results->Release();
  EXPECT_EQ(solver->Release(), 0);
}

}  // namespace
