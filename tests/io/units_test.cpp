// The unit table: text connection semantics and the unformatted scratch record.
#include "io/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "io/layout.h"
#include "support/listing_capture.h"

namespace {

using talvir_test::read_file;
using talvir_test::temp_path;

TEST(TextUnit, ConnectStartsTheFileEmptyAndDisconnectFlushes) {
  const std::string path = temp_path("units_text");
  ASSERT_TRUE(vek::io::connect(7, path.c_str()));
  vek::io::put(7, "first");
  vek::io::end_line(7);
  ASSERT_TRUE(vek::io::disconnect(7));
  EXPECT_EQ(read_file(path), "first\n");

  ASSERT_TRUE(vek::io::connect(7, path.c_str()));  // reconnecting forwards only new text
  vek::io::put(7, "second");
  vek::io::end_line(7);
  ASSERT_TRUE(vek::io::disconnect(7));
  EXPECT_EQ(read_file(path), "second\n");
  std::remove(path.c_str());
}

TEST(TextUnit, WritesToAnUnconnectedUnitAreDiscarded) {
  EXPECT_FALSE(vek::io::is_connected(7));
  vek::io::Formatted(7).text("lost").end();
  EXPECT_FALSE(vek::io::disconnect(7));
  EXPECT_FALSE(vek::io::connect(7, "/nonexistent-dir/x/y"));
  EXPECT_FALSE(vek::io::is_connected(7));
}

TEST(TextUnit, RefusesToWriteThroughASymbolicLink) {
  const std::string target = temp_path("units_target");
  const std::string link = temp_path("units_link");
  {
    std::FILE* f = std::fopen(target.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("keep", f);
    std::fclose(f);
  }
  if (!talvir_test::make_symbolic_link(target, link)) {
#if defined(_WIN32)
    GTEST_SKIP() << "symbolic links cannot be made here (no right to, or wine)";
#endif
    FAIL() << "cannot make a symbolic link";
  }
  EXPECT_FALSE(vek::io::connect(7, link.c_str()));
  EXPECT_FALSE(vek::io::is_connected(7));
  EXPECT_EQ(read_file(target), "keep");
  std::remove(link.c_str());
  std::remove(target.c_str());
}

TEST(ScratchUnit, RecordRoundTripsEveryDoubleBitExactly) {
  std::mt19937_64 rng(7);
  std::vector<double> a(37), h(21), c(5);
  for (auto* v : {&a, &h, &c})
    for (double& x : *v) {
      const std::uint64_t bits = rng();
      std::memcpy(&x, &bits, sizeof x);  // every bit pattern, NaN payloads and denormals included
    }
  a[0] = -0.0;
  h[0] = std::numeric_limits<double>::infinity();
  const auto a0 = a, h0 = h, c0 = c;

  ASSERT_EQ(vek::io::open_scratch(40), 0);
  EXPECT_TRUE(vek::io::is_connected(40));
  vek::io::RecordPiece out[] = {{a.data(), a.size()}, {h.data(), h.size()}, {c.data(), c.size()}};
  ASSERT_EQ(vek::io::rewind(40), 0);
  ASSERT_EQ(vek::io::write_record(40, out, 3), 0);
  std::fill(a.begin(), a.end(), 0.0);
  std::fill(h.begin(), h.end(), 0.0);
  std::fill(c.begin(), c.end(), 0.0);
  ASSERT_EQ(vek::io::rewind(40), 0);
  ASSERT_EQ(vek::io::read_record(40, out, 3), 0);
  EXPECT_EQ(std::memcmp(a.data(), a0.data(), a.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(h.data(), h0.data(), h.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(c.data(), c0.data(), c.size() * sizeof(double)), 0);
  ASSERT_EQ(vek::io::close_scratch(40), 0);
  EXPECT_FALSE(vek::io::is_connected(40));
}

TEST(ScratchUnit, EmptyPiecesAndLengthMismatch) {
  std::vector<double> h = {1.0, 2.0, 3.0};
  ASSERT_EQ(vek::io::open_scratch(40), 0);
  vek::io::RecordPiece only_h[] = {{nullptr, 0}, {h.data(), 3}, {nullptr, 0}};
  ASSERT_EQ(vek::io::write_record(40, only_h, 3), 0);
  ASSERT_EQ(vek::io::rewind(40), 0);
  std::vector<double> longer(4, -1.0);
  vek::io::RecordPiece wrong[] = {{longer.data(), 4}};
  EXPECT_NE(vek::io::read_record(40, wrong, 1), 0);
  EXPECT_EQ(longer, std::vector<double>(4, -1.0));
  ASSERT_EQ(vek::io::rewind(40), 0);
  h.assign(3, 0.0);
  ASSERT_EQ(vek::io::read_record(40, only_h, 3), 0);
  EXPECT_EQ(h, (std::vector<double>{1.0, 2.0, 3.0}));
  ASSERT_EQ(vek::io::close_scratch(40), 0);
}

TEST(ScratchUnit, ClosingDeletesTheDataAndStatusesReportMisuse) {
  std::vector<double> v = {4.0};
  vek::io::RecordPiece p[] = {{v.data(), 1}};
  EXPECT_NE(vek::io::rewind(40), 0);  // not connected
  EXPECT_NE(vek::io::close_scratch(40), 0);
  EXPECT_NE(vek::io::write_record(40, p, 1), 0);
  ASSERT_EQ(vek::io::open_scratch(40), 0);
  EXPECT_NE(vek::io::open_scratch(40), 0);  // already connected
  ASSERT_EQ(vek::io::write_record(40, p, 1), 0);
  ASSERT_EQ(vek::io::close_scratch(40), 0);
  ASSERT_EQ(vek::io::open_scratch(40), 0);  // a new, empty file
  EXPECT_NE(vek::io::read_record(40, p, 1), 0);
  ASSERT_EQ(vek::io::close_scratch(40), 0);
  // A text unit is no scratch unit.
  const std::string path = temp_path("units_mixed");
  ASSERT_TRUE(vek::io::connect(40, path.c_str()));
  EXPECT_NE(vek::io::write_record(40, p, 1), 0);
  EXPECT_NE(vek::io::close_scratch(40), 0);
  EXPECT_TRUE(vek::io::disconnect(40));
  std::remove(path.c_str());
}

}  // namespace
