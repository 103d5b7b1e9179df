// MIRAX entry: argument checks with their exact messages, workspace minima, the cycle-flag protocol.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/MIRAX.h"
#include "engine/MIRAX2.h"
#include "engine/MxiterState.h"
#include "engine/problems.h"
#include "support/listing_capture.h"

namespace {

using talvir_test::capture_listing;
using talvir_test::split_lines;

// Arguments of one MIRAX call, sized generously, with a consistent small problem in them.
struct Args {
  int n = 2, m = 1, lcn = 3, maxit = 10, iprint = 0, inf = 0, lwvf = 14, lwqp = 49, mode = 0, maxls = 5;
  double f = 1.0, acc = 1e-8, step = 0.5;
  std::vector<int> kind = {-1, 0, 1};
  std::vector<double> x = {0.5, 0.5, 0.5}, g = {1, 1, 1}, c = {-1, 0, 0}, a = std::vector<double>(30, 1.0),
                      vf = std::vector<double>(100, 7.0), wqp = std::vector<double>(200, 0.0),
                      xl = {-1, -1, -1}, xu = {1, 1, 1}, d = {1, 1, 0, 0}, cvg = {-3, -3};
  vek::engine::MxiterState state;

  void call() {
    vek::engine::MIRAX(n, m, kind.data(), x.data(), f, g.data(), c.data(), a.data(), lcn, maxit, acc, iprint,
                       inf, vf.data(), lwvf, wqp.data(), lwqp, xl.data(), xu.data(), d.data(), step, mode,
                       cvg.data(), maxls, state);
  }
  std::vector<std::string> listing_of_call() {
    return split_lines(capture_listing([&] { call(); }));
  }
};

std::vector<std::string> error_block(const std::string& message) {
  return {"", "", message, ""};
}

TEST(MiraxWorkspace, MinimaOfTheWorkedSizes) {
  EXPECT_EQ(vek::engine::mirax_min_lwvf(2, 1), 14);
  EXPECT_EQ(vek::engine::mirax_min_lwqp(2, 1, 0), 39);
  EXPECT_EQ(vek::engine::mirax_min_lwvf(1, 0), 6);
  EXPECT_EQ(vek::engine::mirax_min_lwqp(1, 0, 0), 21);
  // All constraints equalities: the QP part shrinks with N+1-ME.
  EXPECT_EQ(vek::engine::mirax_min_lwqp(2, 2, 2), 1 * 10 / 2 + 6 + 12);
  std::vector<double> w(100);
  vek::engine::QpPartition p;
  ASSERT_TRUE(vek::engine::partition_wqp(2, 1, 0, w.data(), 39, p));
  EXPECT_EQ(p.LIWA, 7);
  EXPECT_EQ(p.LWA, 23);
  EXPECT_EQ(p.minimum, 39);
  EXPECT_EQ(p.in_memory_need, 49);
  EXPECT_FALSE(p.in_memory);
  ASSERT_TRUE(vek::engine::partition_wqp(2, 1, 0, w.data(), 49, p));
  EXPECT_TRUE(p.in_memory);
  EXPECT_FALSE(vek::engine::partition_wqp(2, 1, 0, w.data(), 38, p));
}

TEST(MiraxWorkspace, MinimaOfLargeProblemsAreExact) {
  // Products past the int range: 27001 * 81010 for the QP part, 50009 * 50000 for VF.
  EXPECT_EQ(vek::engine::mirax_min_lwqp(27000, 0, 0), 27001LL * 81010 / 2 + 4 * 27001LL);
  EXPECT_EQ(vek::engine::mirax_min_lwvf(50000, 3), 6 + 50009LL * 50000 / 2 + 1);
  std::vector<double> w(8);
  vek::engine::QpPartition p;
  EXPECT_FALSE(vek::engine::partition_wqp(27000, 0, 0, w.data(), std::numeric_limits<int>::max() / 2, p));
}

TEST(MiraxWorkspace, PartitionPiecesAreContiguousAndFillTheNeed) {
  std::vector<double> w(60);
  vek::engine::QpPartition p;
  ASSERT_TRUE(vek::engine::partition_wqp(2, 1, 0, w.data(), 49, p));
  const double* base = w.data();
  EXPECT_EQ(p.lin.data() - base, 0);
  EXPECT_EQ(p.dl.data() - base, 3);
  EXPECT_EQ(p.du.data() - base, 6);
  EXPECT_EQ(p.iwa_storage - base, 9);
  EXPECT_EQ(p.wa.data() - base, 16);
  EXPECT_EQ(p.c_copy.data() - base, 39);
  EXPECT_EQ(p.a_copy.data() - base, 40);
  EXPECT_EQ(p.a_copy.ld(), 3);
  EXPECT_EQ(p.h_copy.data() - base, 43);
  EXPECT_EQ(p.h_copy.data() + p.h_copy.size() - base, 49);
}

TEST(MiraxEntry, IllegalFlagIsReportedAndLeftUnchanged) {
  Args a;
  a.inf = 1;
  EXPECT_EQ(a.listing_of_call(), error_block("  *** MIRAX ERROR: ILLEGAL INF =     1"));
  EXPECT_EQ(a.inf, 1);
  a.inf = -3;
  a.iprint = -1;
  EXPECT_EQ(capture_listing([&] { a.call(); }), "");
  EXPECT_EQ(a.inf, -3);
}

TEST(MiraxEntry, ReentryWithoutARequestIsAnIllegalFlag) {
  // -1 and -2 answer the engine's own requests; with no solution in progress they are refused.
  Args a;
  a.inf = -1;
  EXPECT_EQ(a.listing_of_call(), error_block("  *** MIRAX ERROR: ILLEGAL INF =    -1"));
  EXPECT_EQ(a.inf, -1);
  a.inf = -2;
  a.call();
  EXPECT_EQ(a.inf, -2);
}

TEST(MiraxEntry, IllegalSizesGiveCode8WithTheirValues) {
  struct Case {
    int n, m, lcn, mode;
    const char* text;
  };
  const Case cases[] = {
      {0, 1, 3, 0, "  *** MIRAX ERROR: N =     0  M =     1  LCN =     3  MODE =     0"},
      {2, 1, 2, 0, "  *** MIRAX ERROR: N =     2  M =     1  LCN =     2  MODE =     0"},  // LCN = N
      {2, -1, 3, 0, "  *** MIRAX ERROR: N =     2  M =    -1  LCN =     3  MODE =     0"},
      {2, 1, 3, 2, "  *** MIRAX ERROR: N =     2  M =     1  LCN =     3  MODE =     2"},
  };
  for (const Case& k : cases) {
    Args a;
    a.n = k.n;
    a.m = k.m;
    a.lcn = k.lcn;
    a.mode = k.mode;
    const std::vector<double> vf_before = a.vf, x_before = a.x, d_before = a.d;
    EXPECT_EQ(a.listing_of_call(), error_block(k.text));
    EXPECT_EQ(a.inf, 8);
    EXPECT_EQ(a.vf, vf_before);
    EXPECT_EQ(a.x, x_before);
    EXPECT_EQ(a.d, d_before);
  }
}

TEST(MiraxEntry, IllegalKindsAreListedWhateverIprint) {
  Args a;
  a.m = 3;
  a.lwvf = 200;
  a.lwqp = 200;
  a.kind = {2, 0, -5};
  a.iprint = -1;
  const std::vector<std::string> expected = {"", "", "  *** MIRAX ERROR: CONSTRAINT   1  TYPE =    2", "",
                                             "", "", "  *** MIRAX ERROR: CONSTRAINT   3  TYPE =   -5", ""};
  EXPECT_EQ(a.listing_of_call(), expected);
  EXPECT_EQ(a.inf, 9);
}

TEST(MiraxEntry, ShortWorkspaceGivesCode7WithBothMinima) {
  Args a;
  a.lwvf = 13;
  a.lwqp = 39;
  EXPECT_EQ(a.listing_of_call(),
            error_block("  *** MIRAX ERROR: LWVF =   13 (MIN =   14)  LWQP =   39 (MIN =   39"));
  EXPECT_EQ(a.inf, 7);
  Args b;
  b.lwvf = 14;
  b.lwqp = 38;
  b.iprint = -1;
  EXPECT_EQ(capture_listing([&] { b.call(); }), "");
  EXPECT_EQ(b.inf, 7);
  // The ME that decides the minimum is counted from KTYPE: one equality lowers it.
  Args c;
  c.kind = {0};
  c.lwvf = 14;
  c.lwqp = vek::engine::mirax_min_lwqp(2, 1, 1);
  c.call();
  EXPECT_LT(c.inf, 7);
}

TEST(MiraxEntry, MinimaBeyondTheIntRangeAreAShortWorkspace) {
  // N = 50000 needs about 3.75e9 elements of WQP, more than any int length can claim: code 7 before
  // anything is read (a started solution would refuse the non-finite X(1) with code 8).
  const int n = 50000, big = std::numeric_limits<int>::max();
  std::vector<double> x(n, 0.0), g(n, 0.0), c(1, 0.0), xl(n, -1.0), xu(n, 1.0), d(n + 1, 1.0), vf(16, 7.0),
      wqp(16, 7.0), cvg(2, 0.0);
  x[0] = std::nan("");
  int inf = 0;
  vek::engine::MxiterState st;
  const std::vector<std::string> lines = split_lines(capture_listing([&] {
    vek::engine::MIRAX(n, 0, nullptr, x.data(), 0.0, g.data(), c.data(), nullptr, n + 1, 10, 1e-6, 0, inf,
                       vf.data(), big, wqp.data(), big, xl.data(), xu.data(), d.data(), 0.5, 0, cvg.data(), 5,
                       st);
  }));
  EXPECT_EQ(inf, 7);
  EXPECT_EQ(lines, error_block("  *** MIRAX ERROR: LWVF =***** (MIN =*****)  LWQP =***** (MIN =*****"));
  EXPECT_EQ(vf, std::vector<double>(16, 7.0));
  EXPECT_EQ(wqp, std::vector<double>(16, 7.0));
}

TEST(MiraxEntry, ChecksRunOnEveryCall) {
  engine_test::Settings s;
  engine_test::MiraxRun run(engine_test::quadratic_with_inequality(), s);
  run.call();
  ASSERT_EQ(run.inf, -1);
  run.lwvf -= 1;
  run.call();
  EXPECT_EQ(run.inf, 7);
}

TEST(MiraxEntry, MZeroReadsNeitherKindsNorGradients) {
  // KTYPE and A are passed as null pointers: any read of them would crash.
  const engine_test::Nlp p = engine_test::bounded_rosenbrock();
  std::vector<double> x = p.x0, g(2), c = {0.0}, vf(vek::engine::mirax_min_lwvf(2, 0)),
                      wqp(vek::engine::mirax_min_lwqp(2, 0, 0)), d = {1, 1, 0}, cvg(2);
  double f = p.f(x.data());
  p.g(x.data(), g.data());
  vek::engine::MxiterState st;
  int inf = 0;
  for (int calls = 0; calls < 2000 && inf <= 0; ++calls) {
    if (inf == -1) f = p.f(x.data());
    if (inf == -2) p.g(x.data(), g.data());
    vek::engine::MIRAX(2, 0, nullptr, x.data(), f, g.data(), c.data(), nullptr, 3, 200, 1e-12, -1, inf,
                       vf.data(), static_cast<int>(vf.size()), wqp.data(), static_cast<int>(wqp.size()),
                       p.xl.data(), p.xu.data(), d.data(), 0.5, 0, cvg.data(), 10, st);
  }
  EXPECT_EQ(inf, 1);
  EXPECT_NEAR(x[0], 0.5, 1e-8);
  EXPECT_NEAR(x[1], 0.25, 1e-7);
}

TEST(MiraxEntry, ProcessWideAndExplicitRecordsAgree) {
  engine_test::Settings s;
  engine_test::MiraxRun shared(engine_test::hyperbola(), s);
  vek::engine::MxiterState own;
  engine_test::MiraxRun explicit_state(engine_test::hyperbola(), s, &own);
  EXPECT_EQ(shared.solve(), 1);
  EXPECT_EQ(explicit_state.solve(), 1);
  EXPECT_EQ(shared.x, explicit_state.x);
  EXPECT_EQ(shared.vf, explicit_state.vf);
  EXPECT_EQ(vek::engine::mirax_process_state().ITER, own.ITER);
  EXPECT_EQ(vek::engine::mirax_process_state().NCALL, own.NCALL);
}

}  // namespace
