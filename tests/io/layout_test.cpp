// Field layouts checked against hand-worked Fortran edit results.
#include "io/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/listing_capture.h"

namespace {

using talvir_test::capture_listing;
using talvir_test::split_lines;

std::string I(int w, long long v) {
  char buf[80];
  vek::io::format_i(buf, w, v);
  return buf;
}
std::string F(int w, int d, double v) {
  char buf[80];
  vek::io::format_f(buf, w, d, v);
  return buf;
}
std::string PE(int w, int d, double v) {
  char buf[80];
  vek::io::format_pe(buf, w, d, v);
  return buf;
}

TEST(FieldLayout, IntegersRightAlignedOrStars) {
  EXPECT_EQ(I(4, 7), "   7");
  EXPECT_EQ(I(4, -123), "-123");
  EXPECT_EQ(I(4, 12345), "****");
  EXPECT_EQ(I(3, -100), "***");  // the sign needs a column too
  EXPECT_EQ(I(6, 0), "     0");
}

TEST(FieldLayout, FixedPoint) {
  EXPECT_EQ(F(14, 7, 1.5), "     1.5000000");
  EXPECT_EQ(F(14, 7, -0.25), "    -0.2500000");
  EXPECT_EQ(F(14, 7, 123456.123456789), "123456.1234568");
  EXPECT_EQ(F(14, 7, 1.0e7), std::string(14, '*'));
  EXPECT_EQ(F(14, 7, -999999.9999999), std::string(14, '*'));
  // The optional zero before the point is dropped only when it is the one column too many.
  EXPECT_EQ(F(8, 7, 0.5), ".5000000");
  EXPECT_EQ(F(9, 7, -0.5), "-.5000000");
  EXPECT_EQ(F(7, 7, 0.5), "*******");
  EXPECT_EQ(F(5, 0, 3.0), "   3.");
}

TEST(FieldLayout, ScientificWithScaleFactorOne) {
  EXPECT_EQ(PE(11, 4, 12.5), " 1.2500E+01");
  EXPECT_EQ(PE(11, 4, -12.5), "-1.2500E+01");
  EXPECT_EQ(PE(11, 4, 0.0), " 0.0000E+00");
  EXPECT_EQ(PE(11, 4, 9.99996), " 1.0000E+01");  // rounding carries into the exponent
  EXPECT_EQ(PE(11, 4, 1.0e-5), " 1.0000E-05");
  EXPECT_EQ(PE(11, 4, 1.0e100), " 1.0000+100");
  EXPECT_EQ(PE(15, 9, 3.25), "3.250000000E+00");
  EXPECT_EQ(PE(15, 9, -3.25), std::string(15, '*'));  // a negative value needs 16 columns
}

TEST(FieldLayout, NonFiniteValuesAreSpelledOut) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(PE(11, 4, std::nan("")), "        NaN");
  EXPECT_EQ(F(14, 7, -inf), "     -Infinity");
  EXPECT_EQ(PE(6, 2, inf), "   Inf");
  EXPECT_EQ(I(2, 5), " 5");
  EXPECT_EQ(F(2, 0, inf), "**");
}

TEST(FieldLayout, FreeFormKeepsFullPrecision) {
  char buf[32];
  vek::io::format_free(buf, 0.1);
  EXPECT_STREQ(buf, "  1.0000000000000001E-01");
  EXPECT_EQ(std::strtod(buf, nullptr), 0.1);
  vek::io::format_free(buf, -1.0 / 3.0);
  EXPECT_EQ(std::strtod(buf, nullptr), -1.0 / 3.0);
  vek::io::format_free(buf, 42LL);
  EXPECT_STREQ(buf, "          42");
}

TEST(LineLayout, SlashesMakeEmptyLinesAroundText) {
  const std::string text = capture_listing([] {
    vek::io::Formatted(7)
        .slash()
        .slash()
        .text("  *** MIRAX ERROR: CONSTRAINT")
        .i(4, 3)
        .text("  TYPE =")
        .i(5, 2)
        .slash()
        .end();
  });
  EXPECT_EQ(text, "\n\n  *** MIRAX ERROR: CONSTRAINT   3  TYPE =    2\n\n");
}

TEST(LineLayout, RowLayoutExactToTheColumn) {
  const std::string text = capture_listing([] {
    vek::io::Formatted(7)
        .x(3)
        .text("CONSTR.  ")
        .i(4, 12)
        .text(" WGHT. = ")
        .pe(11, 4, 12.5)
        .text(" VIOL. = ")
        .pe(11, 4, -1.0e-3)
        .text(" PROD. = ")
        .pe(11, 4, 0.0)
        .end();
  });
  EXPECT_EQ(text, "   CONSTR.    12 WGHT. =  1.2500E+01 VIOL. = -1.0000E-03 PROD. =  0.0000E+00\n");
}

TEST(LineLayout, ListDirectedLines) {
  const auto lines = split_lines(capture_listing([] {
    vek::io::ListDirected(7).text(" ").end();
    vek::io::ListDirected(7)
        .text("*** MIRAX, CONTRIBUTIONS TO LINE SEARCH ")
        .text("PENALTY FUNCTION :")
        .end();
    vek::io::ListDirected(7).text("OBJECTIVE = ").num(2.5).end();
    vek::io::ListDirected(7).num(1).num(-0.5).end();
    vek::io::empty_line(7);
  }));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "  ");
  EXPECT_EQ(lines[1], " *** MIRAX, CONTRIBUTIONS TO LINE SEARCH PENALTY FUNCTION :");
  EXPECT_EQ(lines[2], " OBJECTIVE =   2.5000000000000000E+00");
  EXPECT_EQ(lines[3], "            1 -5.0000000000000000E-01");
  EXPECT_EQ(lines[4], "");
}

TEST(LineLayout, DestructorEndsAnUnfinishedLayout) {
  const std::string text = capture_listing([] { vek::io::Formatted(7).text("A").i(3, 1); });
  EXPECT_EQ(text, "A  1\n");
}

}  // namespace
