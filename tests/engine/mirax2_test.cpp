// MIRAX2 and the scratch unit manager: both storage modes protect the engine's arrays and give the
// same subproblem solution; a scratch unit that cannot hold the record ends in a QP failure instead of
// reading garbage; step bounds keep D = 0 feasible for a point outside its bounds.
#include "engine/MIRAX2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/problems.h"
#include "engine/scratch_units.h"
#include "io/units.h"
#include "support/listing_capture.h"

namespace {

constexpr int kScratch = 40;

TEST(ScratchUnits, UnitAndPaddedName) {
  char name[15];
  int unit = 0;
  vek::engine::SCRUNI("OPTIMIZESCRATCH", name, 15, unit);
  EXPECT_EQ(unit, 40);
  EXPECT_EQ(std::string(name, 15), "SCRATCH        ");
  char shorter[4];
  vek::engine::SCRUNI("ANY", shorter, 4, unit);
  EXPECT_EQ(std::string(shorter, 4), "SCRA");
}

TEST(ScratchUnits, KeywordsActOnlyWhereTheyApply) {
  ASSERT_FALSE(vek::io::is_connected(kScratch));
  int ierr = 7;
  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHREWIND", ierr);
  EXPECT_EQ(ierr, 0);
  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHCLOSE", ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_FALSE(vek::io::is_connected(kScratch));

  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHUNF   ", ierr);  // trailing blanks ignored
  EXPECT_EQ(ierr, 0);
  ASSERT_TRUE(vek::io::is_connected(kScratch));
  double saved[2] = {1.5, -2.5};
  const vek::io::RecordPiece piece{saved, 2};
  ASSERT_EQ(vek::io::write_record(kScratch, &piece, 1), 0);
  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHUNF", ierr);  // already connected: file kept
  EXPECT_EQ(ierr, 0);
  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHREWIND", ierr);
  double back[2] = {0, 0};
  const vek::io::RecordPiece into{back, 2};
  EXPECT_EQ(vek::io::read_record(kScratch, &into, 1), 0);
  EXPECT_EQ(back[1], -2.5);

  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHBOGUS", ierr);
  EXPECT_EQ(ierr, -1);
  EXPECT_TRUE(vek::io::is_connected(kScratch));

  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHCLOSE", ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_FALSE(vek::io::is_connected(kScratch));
  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHUNF", ierr);  // a new, empty file
  EXPECT_NE(vek::io::read_record(kScratch, &into, 1), 0);
  vek::engine::SCROPS(kScratch, "SCRATCH", "SCRATCHCLOSE", ierr);
}

// One QP subproblem of the hyperbola problem at its start point, N = 2, M = 2 (one equality).
struct Subproblem {
  int n = 2, m = 2, me = 1, lcn;
  std::vector<int> kind = {0, 1};
  std::vector<double> x = {3.0, 0.5}, xl = {0.1, 0.1}, xu = {10.0, 10.0}, g, c, a, h, u, d, wqp;
  int inf = -5, qpfail = -5;

  explicit Subproblem(int lwqp, int extra_lcn = 1) : lcn(2 + extra_lcn) {
    const engine_test::Nlp p = engine_test::hyperbola();
    g.resize(2);
    c.resize(2);
    a.assign(static_cast<std::size_t>(lcn) * 2, 0.25);  // rows beyond N carry a marker
    p.g(x.data(), g.data());
    p.c(x.data(), c.data());
    p.a(x.data(), a.data(), lcn);
    h = {2.0, 0.5, 99.0, 3.0, 99.0, 99.0};  // order 3; row 3 is the QP's (99 marks it)
    u.assign(2, 0.0);
    d.assign(3, 0.0);
    wqp.assign(lwqp, 0.0);
  }
  static int minimum() { return vek::engine::mirax_min_lwqp(2, 2, 1); }
  static int in_memory() { return minimum() + 2 + 3 * 2 + 6; }
  void solve(int iprint = -1) {
    vek::engine::MIRAX2(n, m, me, kind.data(), g.data(), c.data(), a.data(), lcn, inf, n + 1, u.data(),
                        h.data(), d.data(), wqp.data(), static_cast<int>(wqp.size()), x.data(), xl.data(),
                        xu.data(), 0, qpfail, iprint);
  }
};

std::vector<double> rows_1_to_n(const Subproblem& s) {
  std::vector<double> out;
  for (int j = 0; j < s.m; ++j) {
    for (int i = 0; i < s.n; ++i) out.push_back(s.a[j * s.lcn + i]);
  }
  return out;
}

TEST(Mirax2, BothModesKeepTheEngineArraysAndAgreeBitForBit) {
  Subproblem memory(Subproblem::in_memory());
  Subproblem scratch(Subproblem::minimum());
  Subproblem wide(Subproblem::minimum(), 3);  // LCN = N + 3 in scratch mode
  const std::vector<double> a0 = rows_1_to_n(memory), c0 = memory.c, h0 = memory.h;
  const std::vector<int> k0 = memory.kind;
  memory.solve();
  scratch.solve();
  wide.solve();
  for (const Subproblem* s : {&memory, &scratch, &wide}) {
    EXPECT_EQ(s->qpfail, 0);
    EXPECT_EQ(s->inf, 0);
    EXPECT_EQ(rows_1_to_n(*s), a0);
    EXPECT_EQ(s->c, c0);
    EXPECT_EQ(s->h, h0);  // row NQ included
    EXPECT_EQ(s->kind, k0);
    EXPECT_EQ(s->d, memory.d);
    EXPECT_EQ(s->u, memory.u);
  }
  EXPECT_EQ(memory.a, (std::vector<double>{0.5, 3.0, 0.25, 1.0, 1.0, 0.25}));  // row N+1 untouched in memory
  EXPECT_EQ(wide.a[4], 0.25);                                                  // rows past N+1 kept
  EXPECT_FALSE(vek::io::is_connected(kScratch));                               // closed after each call
  // The step satisfies the linearised equality: a'd + c = 0 (with relaxation 1: consistent).
  EXPECT_NEAR(memory.d[2], 1.0, 1e-12);
  EXPECT_NEAR(0.5 * memory.d[0] + 3.0 * memory.d[1] + memory.c[0], 0.0, 1e-12);
}

TEST(Mirax2, UnusableScratchUnitEndsInAQpFailureNotGarbage) {
  // Unit 40 taken by a text file: the manager finds it connected, but no record can be stored there.
  const std::string path = talvir_test::temp_path("engine_unit40");
  ASSERT_TRUE(vek::io::connect(kScratch, path.c_str()));
  Subproblem scratch(Subproblem::minimum());
  const std::vector<double> a0 = scratch.a, c0 = scratch.c, h0 = scratch.h;
  scratch.solve();
  EXPECT_EQ(scratch.qpfail, vek::engine::kQpfailNoScratch);
  EXPECT_EQ(scratch.a, a0);  // QPSUB never ran on the unprotected arrays
  EXPECT_EQ(scratch.c, c0);
  EXPECT_EQ(scratch.h, h0);
  // In-memory mode does not need the file and still works.
  Subproblem memory(Subproblem::in_memory());
  memory.solve();
  EXPECT_EQ(memory.qpfail, 0);
  vek::io::disconnect(kScratch);
  std::remove(path.c_str());
}

TEST(Mirax2, UnusableScratchUnitEndsTheSolutionWithCode10) {
  const std::string path = talvir_test::temp_path("engine_unit40");
  ASSERT_TRUE(vek::io::connect(kScratch, path.c_str()));
  engine_test::Settings s;
  s.scratch = true;
  s.iprint = 0;
  engine_test::MiraxRun run(engine_test::hyperbola(), s);
  const std::vector<double> x0 = run.x;
  run.call();
  vek::io::disconnect(kScratch);
  std::remove(path.c_str());
  EXPECT_EQ(run.inf, 10);
  EXPECT_EQ(run.x, x0);
}

TEST(Mirax2, RelaxationThresholdGivesCode6) {
  // x^2 + 1 <= 0 linearised at 0: 0*d + 1 <= 0 cannot be met; the relaxation variable goes to 0.
  const engine_test::Nlp p = engine_test::infeasible_circle();
  engine_test::Settings s;
  s.iprint = 0;
  engine_test::MiraxRun run(p, s);
  const std::string text = talvir_test::capture_listing([&] { run.call(); });
  EXPECT_EQ(run.inf, 6);
  EXPECT_LT(run.d[1], 1.0e-4);
  EXPECT_NE(text.find("\n     ERROR CONDITION FOUND IN QUADRATIC PROGRAMMING CALCULATION\n"),
            std::string::npos);
}

TEST(Mirax2, StepBoundsKeepTheZeroStepFeasibleOutsideTheBounds) {
  // X = 2 above XU = 1 with a gradient that pulls further up: the step may not go further out,
  // and D = 0 stays feasible for the QP.
  const int n = 1, m = 0;
  std::vector<double> g = {-1.0}, c = {0.0}, h = {1.0, 0.0, 0.0}, u(1), d = {9.0, 9.0},
                      wqp(vek::engine::mirax_min_lwqp(1, 0, 0) + 3), x = {2.0}, xl = {0.0}, xu = {1.0};
  int inf = 0, qpfail = 0;
  vek::engine::MIRAX2(n, m, 0, nullptr, g.data(), c.data(), nullptr, 2, inf, 2, u.data(), h.data(), d.data(),
                      wqp.data(), static_cast<int>(wqp.size()), x.data(), xl.data(), xu.data(), 0, qpfail,
                      -1);
  EXPECT_EQ(qpfail, 0);
  EXPECT_EQ(d[0], 0.0);
  EXPECT_GE(d[1], 1.0e-4);
}

}  // namespace
