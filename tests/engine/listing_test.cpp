// The listing: layouts to the column, when each group is written, and one whole solve compared line
// by line with a reviewed expected listing.
#include "engine/listing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/problems.h"
#include "support/listing_capture.h"

namespace {

using talvir_test::capture_listing;
using talvir_test::split_lines;

TEST(ListingLayout, IterationBlockVectorsFivePerLine) {
  const double x[7] = {1, 2, 3, 4, 5, 6, -7.5};
  const double c[5] = {0.5, 0, 0, 0, 1.0e7};
  const double u[5] = {1, 1, 1, 1, 1};
  const std::vector<std::string> lines =
      split_lines(capture_listing([&] { vek::engine::MXPRNT(12, 345, 7, 5, x, -2.25, c, u, 0); }));
  const std::vector<std::string> expected = {
      "",
      "     ITERATIONS =   12     CALLS OF MIRAX  =  345",
      "",
      "  X  =     1.0000000     2.0000000     3.0000000     4.0000000     5.0000000",
      "           6.0000000    -7.5000000",
      "",
      "  F  =    -2.2500000",
      "",
      "  C  =     0.5000000     0.0000000     0.0000000     0.0000000**************",
      "",
      " L.M =     1.0000000     1.0000000     1.0000000     1.0000000     1.0000000",
  };
  EXPECT_EQ(lines, expected);  // five values: no extra line of six blanks
  EXPECT_EQ(capture_listing([&] { vek::engine::MXPRNT(1, 1, 7, 5, x, 0, c, u, -1); }), "");
  const std::string no_constraints = capture_listing([&] { vek::engine::MXPRNT(1, 1, 5, 0, x, 0, c, u, 0); });
  EXPECT_EQ(no_constraints.find(" L.M ="), std::string::npos);
  EXPECT_EQ(no_constraints.find("  C  ="), std::string::npos);
}

TEST(ListingLayout, RowsAndLabelledValues) {
  const std::vector<std::string> lines = split_lines(capture_listing([] {
    vek::engine::listing::variable_row(1, 12.5, -0.5, -6.25);
    vek::engine::listing::multiplier_row(23, 1.0, -2.0, -2.0);
    vek::engine::listing::weight_row(4, 3.0, 0.001, 0.003);
    vek::engine::listing::value_row(5, -1.0, 2.0, 2.0);
    vek::engine::listing::labelled("  SUM = ", 12.5);
    vek::engine::listing::labelled("  F   = ", -12.5);
    vek::engine::listing::blank_line();
    vek::engine::listing::text("*** MIRAX, CONTRIBUTIONS TO LINE SEARCH ", "PENALTY FUNCTION :");
  }));
  const std::vector<std::string> expected = {
      "   DEC.VAR.    1 GRAD. =  1.2500E+01 DELTA = -5.0000E-01 PROD. = -6.2500E+00",
      "   CONSTR.    23 MULT. =  1.0000E+00 VIOL. = -2.0000E+00 PROD. = -2.0000E+00",
      "   CONSTR.     4 WGHT. =  3.0000E+00 VIOL. =  1.0000E-03 PROD. =  3.0000E-03",
      "   CONSTR.     5 MULT. = -1.0000E+00 VALUE =  2.0000E+00 PROD. =  2.0000E+00",
      "   SUM = 1.250000000E+01",
      "   F   = ***************",  // a negative value needs 16 columns
      "  ",
      " *** MIRAX, CONTRIBUTIONS TO LINE SEARCH PENALTY FUNCTION :",
  };
  EXPECT_EQ(lines, expected);
}

TEST(ListingLayout, EndingMessages) {
  const std::vector<std::string> lines = split_lines(capture_listing([] {
    vek::engine::listing::ending_message(2, 7, 5);
    vek::engine::listing::ending_message(3, 7, 5);
    vek::engine::listing::ending_message(4, 7, 5);
    vek::engine::listing::ending_message(6, 7, 5);
    vek::engine::listing::ending_message(1, 7, 5);
    vek::engine::listing::final_block_note();
    vek::engine::listing::scratch_warning(40);
  }));
  const std::vector<std::string> expected = {
      "",
      "     ERROR RETURN FROM MIRAX DUE TO    7  ITERATIONS",
      "",
      "     RETURN FROM MIRAX  BECAUSE LINE SEARCH REQUIRES  5 CALLS OF MIRAX ",
      "",
      "     ERROR RETURN FROM MIRAX  DUE TO AN UPHILL SEARCH DIRECTION",
      "     USUALLY THIS IS DUE TO LOSS OF ACCURACY IN THE QUADRATIC PROGRAMMING CALCULATION",
      "",
      "     ERROR CONDITION FOUND IN QUADRATIC PROGRAMMING CALCULATION",
      "",
      "     ERROR CONDITION FOUND IN QUADRATIC PROGRAMMING CALCULATION",
      "",
      "     THE PRINTING OF THE LAST ITERATION GIVES THE VALUES THAT ARE RETURNED BY SUBROUTINE MIRAX ",
      "",
      " *** WARNING ***  OPTIMIZER - MIRAX2",
      "                  UNABLE TO OPEN SCRATCH FILE ON UNIT  40",
      "",
  };
  EXPECT_EQ(lines, expected);
}

// Which iterations list their block, for a solve of several iterations.
std::vector<int> listed_iterations(int iprint, std::string* text_out = nullptr) {
  engine_test::Settings s;
  s.iprint = iprint;
  engine_test::MiraxRun run(engine_test::bounded_rosenbrock(), s);
  const std::string text = capture_listing([&] { run.solve(); });
  EXPECT_EQ(run.inf, 1);
  std::vector<int> iters;
  for (const std::string& line : split_lines(text)) {
    if (line.rfind("     ITERATIONS =", 0) == 0) iters.push_back(std::atoi(line.substr(17, 5).c_str()));
  }
  if (text_out != nullptr) *text_out = text;
  return iters;
}

TEST(ListingControl, IprintDecidesTheBlocks) {
  std::string text;
  const std::vector<int> every_third = listed_iterations(3, &text);
  ASSERT_GE(every_third.size(), 3u);
  for (std::size_t k = 0; k + 1 < every_third.size(); ++k)
    EXPECT_EQ(every_third[k], 3 * static_cast<int>(k + 1));
  EXPECT_NE(text.find("THE PRINTING OF THE LAST ITERATION"), std::string::npos);  // final block

  EXPECT_EQ(listed_iterations(0, &text), std::vector<int>{1});
  EXPECT_EQ(text.find("THE PRINTING OF THE LAST ITERATION"), std::string::npos);
  EXPECT_NE(text.find("CONVERGENCE SUM"), std::string::npos);

  EXPECT_TRUE(listed_iterations(-1, &text).empty());
  EXPECT_EQ(text, "");
}

TEST(ListingControl, IterationLimitMessageNamesTheIterations) {
  engine_test::Settings s;
  s.maxit = 1;
  s.iprint = 0;
  engine_test::MiraxRun run(engine_test::hyperbola(), s);
  const std::string text = capture_listing([&] { run.solve(); });
  EXPECT_EQ(run.inf, 2);
  EXPECT_NE(text.find("\n     ERROR RETURN FROM MIRAX DUE TO    1  ITERATIONS\n"), std::string::npos);
}

std::string golden_path(const std::string& name) {
  return std::string(TALVIR_SOURCE_DIR) + "/tests/engine/golden/" + name;
}

// A whole solve with IPRINT = 1 against the reviewed listing (QP lines included, as they appear on
// unit 7).
TEST(ListingGolden, SmallSolveWithIprintOne) {
  engine_test::Settings s;
  s.iprint = 1;
  engine_test::MiraxRun run(engine_test::quadratic_with_inequality(), s);
  const std::string text = capture_listing([&] { run.solve(); });
  EXPECT_EQ(run.inf, 1);
  // TALVIR_WRITE_GOLDEN=1 leaves the listing beside the reviewed one, for a review of a change.
  if (std::getenv("TALVIR_WRITE_GOLDEN") != nullptr)
    std::ofstream(golden_path("quadratic_iprint1.new")) << text;
  const std::string expected = talvir_test::read_file(golden_path("quadratic_iprint1.txt"));
  ASSERT_FALSE(expected.empty()) << "missing golden listing";
  const std::vector<std::string> got = split_lines(text), want = split_lines(expected);
  for (std::size_t k = 0; k < std::min(got.size(), want.size()); ++k) {
    ASSERT_EQ(got[k], want[k]) << "line " << k + 1;
  }
  EXPECT_EQ(got.size(), want.size());
}

}  // namespace
