// The shared parameter table through the ParameterList slots: lookups, bounds, types, text ownership,
// and the table's life with the factory. Every case loops over the records of kParameterDefinitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "plugin/SolverComponent.h"
#include "plugin/SolverFactory.h"
#include "plugin/fake_problem.h"
#include "plugin/interfaces.h"

namespace {

using vek::ParameterInfo;
using vek::ParameterList;
using vek::ParameterValue;
using vek::core::kParameterCount;
using vek::core::kParameterDefinitions;
using vek::core::ParameterDefinition;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
// Alternating case, starting with the opposite of the first letter's case.
std::string alternating(std::string s) {
  for (std::size_t k = 0; k < s.size(); ++k) {
    const auto c = static_cast<unsigned char>(s[k]);
    s[k] = static_cast<char>(k % 2 == 0 ? std::tolower(c) : std::toupper(c));
  }
  return s;
}

ParameterValue integer_value(std::int32_t v) {
  ParameterValue value{};
  value.integer = v;
  return value;
}
ParameterValue real_value(double v) {
  ParameterValue value{};
  value.real = v;
  return value;
}
ParameterValue text_value(char* v) {
  ParameterValue value{};
  value.text = v;
  return value;
}

// Holds the factory for one test and checks that the last Release destroys it.
class ParameterTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vek::plugin::current_factory(), nullptr) << "an earlier test leaked the factory";
    vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&params_)), 0);
    factory_ = factory;
  }
  void TearDown() override {
    if (params_ != nullptr) params_->Release();
    if (factory_ != nullptr) {
      EXPECT_EQ(factory_->Release(), 0);
    }
  }

  // The current value of a numeric record as a double.
  double number(const char* name) {
    std::int32_t type = -1;
    ParameterValue value{};
    EXPECT_EQ(params_->GetParameter(name, &type, &value), 0);
    return type == vek::kIntegerParameter ? value.integer : value.real;
  }
  std::string text(const char* name) {
    std::int32_t type = -1;
    ParameterValue value{};
    EXPECT_EQ(params_->GetParameter(name, &type, &value), 0);
    EXPECT_EQ(type, vek::kTextParameter);
    std::string result = value.text;
    std::free(value.text);
    return result;
  }
  std::int32_t set_number(const ParameterDefinition& def, double v) {
    if (def.type == vek::kIntegerParameter) {
      return params_->SetParameter(def.name, def.type, integer_value(static_cast<std::int32_t>(v)));
    }
    return params_->SetParameter(def.name, def.type, real_value(v));
  }

  vek::NLPSystemFactory* factory_ = nullptr;
  ParameterList* params_ = nullptr;
};

TEST_F(ParameterTable, EveryRecordIsDescribedWithItsDefaultsWhateverTheLetterCase) {
  ASSERT_EQ(params_->GetParameterCount(), kParameterCount);
  std::vector<char*> names(kParameterCount, nullptr);
  ASSERT_EQ(params_->GetParameterNames(names.data()), 0);
  for (int k = 0; k < kParameterCount; ++k) {
    const ParameterDefinition& def = kParameterDefinitions[k];
    ASSERT_NE(names[k], nullptr);
    EXPECT_STREQ(names[k], def.name);
    EXPECT_NE(names[k], def.name) << "a name is handed out as a copy";
    std::free(names[k]);
    for (const std::string& asked :
         {std::string(def.name), upper(def.name), lower(def.name), alternating(def.name)}) {
      SCOPED_TRACE(asked);
      ParameterInfo info{};
      ASSERT_EQ(params_->GetParameterInfo(asked.c_str(), &info), 0);
      EXPECT_STREQ(info.name, def.name);  // the table's letter case, not the caller's
      EXPECT_STREQ(info.description, def.description);
      EXPECT_EQ(info.type, def.type);
      if (def.type == vek::kIntegerParameter) {
        EXPECT_EQ(info.value.integer.minimum, def.minimum);
        EXPECT_EQ(info.value.integer.maximum, def.maximum);
        EXPECT_EQ(info.value.integer.value, def.default_number);
      } else if (def.type == vek::kRealParameter) {
        EXPECT_EQ(info.value.real.minimum, def.minimum);
        EXPECT_EQ(info.value.real.maximum, def.maximum);
        EXPECT_EQ(info.value.real.value, def.default_number);
      } else {
        EXPECT_STREQ(info.value.text.value, def.default_text);
        EXPECT_STREQ(info.value.text.options, def.options);
        std::free(info.value.text.value);
        std::free(info.value.text.options);
      }
      std::free(info.name);
      std::free(info.description);
      if (def.type != vek::kTextParameter) {
        EXPECT_EQ(number(asked.c_str()), def.default_number);
      }
    }
  }
  EXPECT_EQ(text("PRINTLEVEL"), "Errors Only");
}

TEST_F(ParameterTable, NamesThatMatchNoRecordAnswerMinusElevenAndWriteNothing) {
  for (const char* name : {"Print Level", "PrintLevel ", "", "OptTolerance", "QPMod"}) {
    SCOPED_TRACE(name);
    ParameterInfo info{};
    info.type = 77;
    std::int32_t type = 77;
    ParameterValue value = integer_value(77);
    EXPECT_EQ(params_->GetParameterInfo(name, &info), vek::kNoSuchParameter);
    EXPECT_EQ(params_->GetParameter(name, &type, &value), vek::kNoSuchParameter);
    EXPECT_EQ(params_->SetParameter(name, vek::kIntegerParameter, integer_value(1)), vek::kNoSuchParameter);
    EXPECT_EQ(info.type, 77);
    EXPECT_EQ(info.name, nullptr);
    EXPECT_EQ(type, 77);
    EXPECT_EQ(value.integer, 77);
  }
}

TEST_F(ParameterTable, NumericBoundsAreInclusiveAndARefusedValueLeavesTheOldOne) {
  for (const ParameterDefinition& def : kParameterDefinitions) {
    if (def.type == vek::kTextParameter) continue;
    SCOPED_TRACE(def.name);
    // An interior value first, so that "unchanged" is told apart from "back to the default".
    const double inside =
        def.type == vek::kIntegerParameter ? std::floor((def.minimum + def.maximum) / 2) : 0.25 * def.maximum;
    ASSERT_EQ(set_number(def, inside), 0);
    const double step = def.type == vek::kIntegerParameter ? 1.0 : 1.0e-7 * std::max(1.0, def.maximum);
    EXPECT_EQ(set_number(def, def.maximum + step), vek::kValueOutOfRange);
    EXPECT_EQ(set_number(def, def.minimum - step), vek::kValueOutOfRange);
    EXPECT_EQ(number(def.name), inside);
    EXPECT_EQ(set_number(def, def.maximum), 0);
    EXPECT_EQ(number(def.name), def.maximum);
    EXPECT_EQ(set_number(def, def.minimum), 0);
    EXPECT_EQ(number(def.name), def.minimum);
    if (def.type == vek::kRealParameter) {
      EXPECT_EQ(set_number(def, std::numeric_limits<double>::quiet_NaN()), vek::kValueOutOfRange);
      EXPECT_EQ(set_number(def, std::numeric_limits<double>::infinity()), vek::kValueOutOfRange);
      EXPECT_EQ(number(def.name), def.minimum);
    }
  }
  // The edge values named for the step size limit.
  const ParameterDefinition& step = kParameterDefinitions[2];
  ASSERT_STREQ(step.name, "StepSize");
  EXPECT_EQ(set_number(step, 1.0000001), vek::kValueOutOfRange);
  EXPECT_EQ(set_number(step, -0.5), vek::kValueOutOfRange);
}

TEST_F(ParameterTable, TheTypeCodeOfSetParameterIsNotConsulted) {
  // An integer record reads the low 32 bits whatever code the caller gives.
  ParameterValue mode{};
  mode.real = 0.0;
  mode.integer = 1;
  EXPECT_EQ(params_->SetParameter("QPMode", vek::kRealParameter, mode), 0);
  EXPECT_EQ(number("QPMode"), 1.0);
  // A real record reads the double, even when called an integer or a text.
  EXPECT_EQ(params_->SetParameter("StepSize", vek::kIntegerParameter, real_value(0.125)), 0);
  EXPECT_EQ(number("StepSize"), 0.125);
  EXPECT_EQ(params_->SetParameter("OptTol", vek::kTextParameter, real_value(1.0e10)), 0);
  EXPECT_EQ(number("OptTol"), 1.0e10);
  // A text record copies the text even when called an integer.
  char level[] = "Normal";
  EXPECT_EQ(params_->SetParameter("printlevel", vek::kIntegerParameter, text_value(level)), 0);
  EXPECT_EQ(text("PrintLevel"), "Normal");
}

TEST_F(ParameterTable, TextValuesAreCopiedBothWaysAndNotCheckedAgainstTheOptions) {
  char mine[] = "Everything please";
  ASSERT_EQ(params_->SetParameter("PrintLevel", vek::kTextParameter, text_value(mine)), 0);
  std::strcpy(mine, "changed");  // the caller keeps its own text
  EXPECT_EQ(text("PrintLevel"), "Everything please");

  std::int32_t type = -1;
  ParameterValue first{}, second{};
  ASSERT_EQ(params_->GetParameter("PrintLevel", &type, &first), 0);
  ASSERT_EQ(params_->GetParameter("PrintLevel", &type, &second), 0);
  EXPECT_NE(first.text, second.text) << "every GetParameter hands out a new copy";
  first.text[0] = 'X';
  EXPECT_EQ(text("PrintLevel"), "Everything please");
  std::free(first.text);
  std::free(second.text);

  // A text far longer than the default buffer.
  const std::string long_text(300, 'L');
  std::vector<char> buffer(long_text.begin(), long_text.end());
  buffer.push_back('\0');
  ASSERT_EQ(params_->SetParameter("PrintLevel", vek::kTextParameter, text_value(buffer.data())), 0);
  EXPECT_EQ(text("PrintLevel"), long_text);
}

TEST_F(ParameterTable, NullNamesTextsAndOutPointersAreRefusedWithoutChange) {
  // A null name matches no record; a null text or out-pointer is a bad value.
  std::int32_t type = 77;
  ParameterValue value = integer_value(77);
  ParameterInfo info{};
  EXPECT_EQ(params_->GetParameterInfo(nullptr, &info), vek::kNoSuchParameter);
  EXPECT_EQ(params_->GetParameter(nullptr, &type, &value), vek::kNoSuchParameter);
  EXPECT_EQ(params_->SetParameter(nullptr, 0, integer_value(1)), vek::kNoSuchParameter);
  EXPECT_EQ(params_->SetParameter("PrintLevel", vek::kTextParameter, text_value(nullptr)),
            vek::kValueOutOfRange);
  EXPECT_EQ(text("PrintLevel"), "Errors Only");
  EXPECT_EQ(params_->GetParameterInfo("OptTol", nullptr), vek::kValueOutOfRange);
  EXPECT_EQ(params_->GetParameter("OptTol", nullptr, &value), vek::kValueOutOfRange);
  EXPECT_EQ(params_->GetParameter("OptTol", &type, nullptr), vek::kValueOutOfRange);
  EXPECT_EQ(params_->GetParameterNames(nullptr), vek::kValueOutOfRange);
  EXPECT_EQ(type, 77);
  EXPECT_EQ(value.integer, 77);
}

// Sets every record to a value other than its default.
void change_every_record(ParameterList* params) {
  for (const ParameterDefinition& def : kParameterDefinitions) {
    if (def.type == vek::kIntegerParameter) {
      const auto v = static_cast<std::int32_t>(def.default_number == def.maximum ? def.minimum : def.maximum);
      ASSERT_EQ(params->SetParameter(def.name, def.type, integer_value(v)), 0);
    } else if (def.type == vek::kRealParameter) {
      ASSERT_EQ(params->SetParameter(def.name, def.type, real_value(def.maximum)), 0);
    } else {
      char other[] = "Normal";
      ASSERT_EQ(params->SetParameter(def.name, def.type, text_value(other)), 0);
    }
  }
}

TEST(ParameterTableLife, EverySolverSharesTheTableWhichDiesWithTheFactory) {
  ASSERT_EQ(vek::plugin::current_factory(), nullptr);
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  ParameterList* through_factory = nullptr;
  ASSERT_EQ(factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&through_factory)), 0);
  change_every_record(through_factory);

  // A solver created after the change sees it; a value set through the solver is seen by the factory.
  talvir_test::CountingProblem problem(true);
  talvir_test::RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory->CreateSolver(&problem, &sink, &solver), 0);
  ParameterList* through_solver = nullptr;
  ASSERT_EQ(solver->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&through_solver)), 0);
  std::int32_t type = -1;
  ParameterValue value{};
  ASSERT_EQ(through_solver->GetParameter("MaxIterations", &type, &value), 0);
  EXPECT_EQ(value.integer, 99999);
  ASSERT_EQ(through_solver->SetParameter("PrintFreq", 0, integer_value(17)), 0);
  ASSERT_EQ(through_factory->GetParameter("printfreq", &type, &value), 0);
  EXPECT_EQ(value.integer, 17);

  // Destroying the factory empties the table under the living solver.
  through_factory->Release();
  EXPECT_EQ(factory->Release(), 0);
  EXPECT_EQ(vek::plugin::current_factory(), nullptr);
  EXPECT_EQ(through_solver->GetParameterCount(), 0);
  std::vector<char*> names(kParameterCount, reinterpret_cast<char*>(&type));
  EXPECT_EQ(through_solver->GetParameterNames(names.data()), 0);
  for (char* name : names) {
    EXPECT_EQ(name, reinterpret_cast<char*>(&type)) << "nothing written";
  }
  for (const ParameterDefinition& def : kParameterDefinitions) {
    ParameterInfo info{};
    EXPECT_EQ(through_solver->GetParameterInfo(def.name, &info), vek::kNoSuchParameter);
    EXPECT_EQ(through_solver->GetParameter(def.name, &type, &value), vek::kNoSuchParameter);
    EXPECT_EQ(through_solver->SetParameter(def.name, def.type, integer_value(1)), vek::kNoSuchParameter);
  }

  // The next factory builds a new table with the defaults.
  vek::NLPSystemFactory* again = GetFactoryNLPSystem();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(through_solver->GetParameterCount(), kParameterCount);
  for (const ParameterDefinition& def : kParameterDefinitions) {
    ASSERT_EQ(through_solver->GetParameter(def.name, &type, &value), 0);
    if (def.type == vek::kIntegerParameter) {
      EXPECT_EQ(value.integer, def.default_number) << def.name;
    } else if (def.type == vek::kRealParameter) {
      EXPECT_EQ(value.real, def.default_number) << def.name;
    }
    if (def.type == vek::kTextParameter) {
      EXPECT_STREQ(value.text, def.default_text);
      std::free(value.text);
    }
  }
  through_solver->Release();
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(again->Release(), 0);
  EXPECT_EQ(problem.count, 1) << "the solver released the problem";
}

}  // namespace
