// The driver's keywords read by ASL's getopts as AMPL hands them over, checked against the solver's
// parameter definitions (talvir_options is played through the program in driver_test.cpp); and the
// ending table's bands and its documentation.
#include "ampl/options.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ampl/endings.h"
#include "ampl/nl_fixtures.h"
#include "ampl/nl_model.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace talvir::ampl {
namespace {

struct Parsed {
  AmplOptions options;
  int bad = 0;
};

// Reads `words` (and talvir_options from the environment) the way the driver does.
Parsed parse(std::vector<std::string> words) {
  Parsed out;
  Option_Info* info = option_info(out.options);
  NlModel model;
  begin_nl(model);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  out.bad = getopts_ASL(model.asl, argv.data(), info);
  close_nl(model);
  return out;
}

using Settings = std::vector<std::pair<std::string, std::string>>;

TEST(AmplOptions, TheSevenParametersByNameInAnyLetterCase) {
  const Parsed p = parse({"OPTTOL=1e-8", "maxIterations=50", "maxlinesearches=7", "PrintLevel=errors_only",
                          "printfreq=3", "StepSize=0.25", "qpmode=1"});
  EXPECT_EQ(p.bad, 0);
  const Settings expected = {
      {"OptTol", "1e-8"}, {"MaxIterations", "50"}, {"MaxLineSearches", "7"}, {"PrintLevel", "Errors Only"},
      {"PrintFreq", "3"}, {"StepSize", "0.25"},    {"QPMode", "1"}};
  EXPECT_EQ(p.options.parameters, expected);
}

TEST(AmplOptions, DriverKeywords) {
  const Parsed p = parse({"maxit=20", "outlev=2", "objno=0", "timing=1", "printlevel='Normal'"});
  EXPECT_EQ(p.bad, 0);
  EXPECT_EQ(p.options.outlev, 2);
  EXPECT_EQ(p.options.objno, 0);
  EXPECT_TRUE(p.options.objno_given);
  EXPECT_EQ(p.options.timing, 1);
  const Settings expected = {{"MaxIterations", "20"}, {"PrintLevel", "Normal"}};
  EXPECT_EQ(p.options.parameters, expected);
  EXPECT_FALSE(parse({}).options.objno_given);
}

TEST(AmplOptions, BadKeywordsAndValuesAreCountedAndNotKept) {
  const char* bad[] = {"opttol=-1", "qpmode=2", "maxit=1.5", "maxit=abc",       "stepsize=nan",
                       "bogus=1",   "outlev=3", "timing=-1", "printlevel=loud", "maxiterations=100000"};
  for (const char* word : bad) {
    SCOPED_TRACE(word);
    const Parsed p = parse({word});
    EXPECT_EQ(p.bad, 1);
    EXPECT_TRUE(p.options.parameters.empty());
  }
}

TEST(AmplEndings, CodesAreUniqueInTheirBandsAndDocumented) {
  int count = 0;
  const EndingInfo* table = ending_table(count);
  const std::string doc = ampl_test::read_file(std::string(TALVIR_SOURCE_DIR) + "/docs/ampl.md");
  std::set<int> codes;
  for (int k = 0; k < count; ++k) {
    const EndingInfo& e = table[k];
    SCOPED_TRACE(e.text);
    EXPECT_TRUE(codes.insert(e.code).second) << "repeated code";
    const bool solved = e.ending == Ending::kOptimal || e.ending == Ending::kFeasible;
    const bool infeasible =
        e.ending == Ending::kLinearisedInfeasible || e.ending == Ending::kLocallyInfeasible;
    const bool limit = e.ending == Ending::kIterationLimit || e.ending == Ending::kLineSearchLimit ||
                       e.ending == Ending::kTimeLimit || e.ending == Ending::kEvaluationLimit;
    const bool unbounded = e.ending == Ending::kUnbounded;
    const int band = e.code / 100;
    EXPECT_EQ(band, solved ? 0 : infeasible ? 2 : unbounded ? 3 : limit ? 4 : 5);
    EXPECT_EQ(&ending_info(e.ending), &e);
    const std::string row = "| " + std::to_string(e.code) + " | " + e.text + " |";
    EXPECT_NE(doc.find(row), std::string::npos) << "docs/ampl.md lacks the row " << row;
  }
}

}  // namespace
}  // namespace talvir::ampl
