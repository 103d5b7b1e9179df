// Whole solutions through MIRAX: known optima with KKT checks, the endings, the values and bounds the
// engine refuses to iterate on, interleaved solutions, and scratch against in-memory storage.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/problems.h"
#include "io/units.h"
#include "support/listing_capture.h"

namespace {

using engine_test::MiraxRun;
using engine_test::Nlp;
using engine_test::Settings;
using talvir_test::capture_listing;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Solve, KnownOptimaWithStationaryLagrangian) {
  struct Case {
    const char* name;
    Nlp p;
    std::vector<double> x;
    double f;
  };
  const Case cases[] = {{"quadratic, inequality", engine_test::quadratic_with_inequality(), {1.5, 0.5}, 0.5},
                        {"hyperbola, equality", engine_test::hyperbola(), {1.0, 1.0}, 2.0},
                        {"Rosenbrock with a bound", engine_test::bounded_rosenbrock(), {0.5, 0.25}, 0.25}};
  for (const Case& k : cases) {
    for (int mode : {0, 1}) {
      SCOPED_TRACE(std::string(k.name) + (mode ? ", reliable QP" : ", normal QP"));
      Settings s;
      s.mode = mode;
      MiraxRun run(k.p, s);
      ASSERT_EQ(run.solve(), 1);
      EXPECT_NEAR(run.x[0], k.x[0], 1e-7);
      EXPECT_NEAR(run.x[1], k.x[1], 1e-7);
      EXPECT_NEAR(run.fx, k.f, 1e-9);
      EXPECT_LE(run.cvg[0], run.cvg[1]);
      if (k.p.m == 0) continue;
      // Lagrangian f - sum lambda_j c_j is stationary (no bound is active at these solutions).
      std::vector<double> g(2), a(static_cast<std::size_t>(run.lcn) * k.p.m);
      k.p.g(run.x.data(), g.data());
      k.p.a(run.x.data(), a.data(), run.lcn);
      for (int i = 0; i < 2; ++i) {
        double r = g[i];
        for (int j = 0; j < k.p.m; ++j) r -= run.vf[j] * a[j * run.lcn + i];
        EXPECT_NEAR(r, 0.0, 1e-6);
      }
    }
  }
}

TEST(Solve, ConvergedStartEndsWithoutEvaluations) {
  Nlp p = engine_test::quadratic_with_inequality();
  p.x0 = {1.5, 0.5};
  Settings s;
  MiraxRun run(p, s);
  run.call();
  EXPECT_EQ(run.inf, 1);
  EXPECT_EQ(run.value_evaluations, 1);  // the start values only
  EXPECT_LE(run.cvg[0], 1e-10 * 1.0);
  EXPECT_EQ(run.cvg[1], 1e-10 * 1.0);  // ACC max(|F|, 1) with F = 0.5
}

TEST(Solve, FailedEvaluationsExhaustTheLineSearch) {
  Settings s;
  s.maxls = 5;
  s.iprint = 0;
  MiraxRun run(engine_test::quadratic_with_inequality(), s);
  int failed = 0;
  run.after_values = [&](MiraxRun& r) {
    if (r.inf == -1) {
      r.c[0] = 1.0e30;
      ++failed;
    }
  };
  const std::string text = capture_listing([&] { run.solve(); });
  EXPECT_EQ(run.inf, 3);
  EXPECT_EQ(failed, 5);
  EXPECT_EQ(run.x, (std::vector<double>{0.0, 0.0}));
  EXPECT_NE(text.find("RETURN FROM MIRAX  BECAUSE LINE SEARCH REQUIRES  5 CALLS OF MIRAX "),
            std::string::npos);
}

TEST(IllegalValues, NonFiniteStartValuesEndWithCode8) {
  struct Case {
    const char* what;
    std::function<void(MiraxRun&)> poison;
  };
  const Case cases[] = {
      {"X", [](MiraxRun& r) { r.x[1] = kNaN; }},
      {"F", [](MiraxRun& r) { r.fx = std::numeric_limits<double>::infinity(); }},
      {"G", [](MiraxRun& r) { r.g[0] = kNaN; }},
      {"C", [](MiraxRun& r) { r.c[1] = kNaN; }},
      {"A", [](MiraxRun& r) { r.a[r.lcn + 1] = -std::numeric_limits<double>::infinity(); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Settings s;
    s.iprint = 0;
    MiraxRun run(engine_test::hyperbola(), s);
    k.poison(run);
    const std::vector<double> vf0 = run.vf;
    const std::string text = capture_listing([&] { run.call(); });
    EXPECT_EQ(run.inf, 8);
    EXPECT_EQ(run.vf, vf0);
    EXPECT_EQ(text, std::string("\n\n  *** MIRAX ERROR: NON-FINITE ") + k.what + " AT ITERATION    1\n\n");
    Settings quiet;
    quiet.iprint = -1;
    MiraxRun silent(engine_test::hyperbola(), quiet);
    k.poison(silent);
    EXPECT_EQ(capture_listing([&] { silent.call(); }), "");
    EXPECT_EQ(silent.inf, 8);
  }
}

TEST(IllegalValues, NonFiniteGradientsAfterAStepEndWithCode8) {
  for (bool objective : {true, false}) {
    SCOPED_TRACE(objective ? "G" : "A");
    Settings s;
    s.iprint = 0;
    MiraxRun run(engine_test::hyperbola(), s);
    run.after_values = [&](MiraxRun& r) {
      if (r.inf == -2) (objective ? r.g[1] : r.a[0]) = kNaN;
    };
    std::string text;
    text = capture_listing([&] { run.solve(); });
    EXPECT_EQ(run.inf, 8);
    const std::string line = std::string("\n\n  *** MIRAX ERROR: NON-FINITE ") + (objective ? "G" : "A") +
                             " AT ITERATION    2\n\n";
    ASSERT_GE(text.size(), line.size());
    EXPECT_EQ(text.substr(text.size() - line.size()), line);  // the last thing listed
    for (double v : run.vf) EXPECT_TRUE(std::isfinite(v));    // B and the weights never saw the NaN
  }
}

TEST(IllegalValues, InconsistentBoundsAndScalesEndWithCode8) {
  struct Case {
    const char* name;
    std::function<void(Nlp&, Settings&)> change;
    std::function<void(MiraxRun&)> poke;
    const char* message;
  };
  const auto none = [](MiraxRun&) {};
  const Case cases[] = {
      {"XL above XU", [](Nlp& p, Settings&) { p.xl[1] = 11.0; }, none,
       "  *** MIRAX ERROR: BOUNDS OF VARIABLE     2  XL = 1.1000E+01  XU = 1.0000E+01"},
      {"NaN bound", [](Nlp& p, Settings&) { p.xu[0] = kNaN; }, none,
       "  *** MIRAX ERROR: BOUNDS OF VARIABLE     1  XL = 1.0000E-01  XU =        NaN"},
      {"zero scale", [](Nlp&, Settings&) {}, [](MiraxRun& r) { r.d[1] = 0.0; },
       "  *** MIRAX ERROR: SCALE OF VARIABLE     2  D = 0.0000E+00"},
      {"NaN Hessian control", [](Nlp&, Settings& s) { s.hessian_control = kNaN; }, none,
       "  *** MIRAX ERROR: SCALE OF VARIABLE     3  D =        NaN"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Nlp p = engine_test::hyperbola();
    Settings s;
    s.iprint = 0;
    k.change(p, s);
    MiraxRun run(p, s);
    k.poke(run);
    const std::string text = capture_listing([&] { run.call(); });
    EXPECT_EQ(run.inf, 8);
    EXPECT_EQ(text, std::string("\n\n") + k.message + "\n\n");
  }
  // A warm start does not read the scales: zero ones are harmless there.
  Settings warm;
  warm.hessian_control = 1.0e30;
  MiraxRun run(engine_test::quadratic_with_inequality(), warm);
  run.vf[2] = run.vf[5] = 1.0;  // B = I, declared as supplied by the caller
  vek::engine::mirax_hessian_supplied(vek::engine::mirax_process_state(), run.vf.data(), 2, 1);
  run.d[0] = 0.0;
  EXPECT_EQ(run.solve(), 1);
}

TEST(OutsideBounds, StartPulledInsideConverges) {
  // min (x - 0.5)^2 on [0, 1] from x = 2: the step may move inwards only.
  Nlp p;
  p.n = 1;
  p.xl = {0.0};
  p.xu = {1.0};
  p.x0 = {2.0};
  p.f = [](const double* x) { return (x[0] - 0.5) * (x[0] - 0.5); };
  p.g = [](const double* x, double* g) { g[0] = 2 * (x[0] - 0.5); };
  p.c = [](const double*, double*) {};
  p.a = [](const double*, double*, int) {};
  Settings s;
  MiraxRun run(p, s);
  EXPECT_EQ(run.solve(), 1);
  EXPECT_NEAR(run.x[0], 0.5, 1e-9);
}

TEST(OutsideBounds, StartPushedOutwardsIsNeverReportedConverged) {
  // min (x - 3)^2 on [0, 1] from x = 2: no step can enter the bounds along the descent direction; the
  // zero step would pass the convergence test, but a point outside its bounds is not a solution.
  Nlp p;
  p.n = 1;
  p.xl = {0.0};
  p.xu = {1.0};
  p.x0 = {2.0};
  p.f = [](const double* x) { return (x[0] - 3) * (x[0] - 3); };
  p.g = [](const double* x, double* g) { g[0] = 2 * (x[0] - 3); };
  p.c = [](const double*, double*) {};
  p.a = [](const double*, double*, int) {};
  Settings s;
  s.iprint = -1;
  MiraxRun run(p, s);
  const std::string text = capture_listing([&] { run.solve(); });
  EXPECT_EQ(run.inf, 4);
  EXPECT_EQ(run.x[0], 2.0);
  EXPECT_EQ(run.d[0], 0.0);  // D = 0 was feasible for the QP
  // The uphill diagnostics are written whatever IPRINT is.
  EXPECT_NE(text.find(" *** MIRAX, PENALTY FUNCTION HAS POSITIVE GRADIENT IN SEARCH DIRECTION.\n"),
            std::string::npos);
  EXPECT_NE(text.find(" PROPOSED STEP : \n"), std::string::npos);
  EXPECT_EQ(text.find("ERROR RETURN"), std::string::npos);  // the code message needs IPRINT >= 0
}

TEST(Storage, ScratchAndInMemoryGiveBitIdenticalSolutions) {
  for (const Nlp& p : {engine_test::hyperbola(), engine_test::quadratic_with_inequality()}) {
    Settings memory_settings;
    Settings scratch_settings;
    scratch_settings.scratch = true;
    scratch_settings.extra_lcn = 2;  // the scratch record carries the whole LCN x M block
    MiraxRun memory(p, memory_settings);
    MiraxRun scratch(p, scratch_settings);
    EXPECT_EQ(memory.solve(), 1);
    EXPECT_EQ(scratch.solve(), 1);
    EXPECT_LT(scratch.lwqp, memory.lwqp);
    EXPECT_EQ(memory.x, scratch.x);
    EXPECT_EQ(memory.d, scratch.d);
    EXPECT_EQ(memory.lambda(), scratch.lambda());
    EXPECT_EQ(memory.calls, scratch.calls);
  }
}

// The scratch record kept in the unit table's memory and in an unnamed file: same iterates, same
// listing, and a file per QP set-up only in the second case.
TEST(Storage, ScratchInMemoryAndInFilesGiveIdenticalSolvesAndListings) {
  for (const Nlp& p : {engine_test::hyperbola(), engine_test::bounded_rosenbrock()}) {
    Settings s;
    s.scratch = true;
    s.iprint = 1;
    vek::io::UnitTable in_memory, in_files;
    in_files.set_scratch_storage(vek::io::ScratchStorage::kFile);
    std::vector<MiraxRun> runs;
    std::vector<std::string> listings;
    for (vek::io::UnitTable* table : {&in_memory, &in_files}) {
      vek::io::UnitScope scope(*table);
      runs.emplace_back(p, s);
      listings.push_back(capture_listing([&] { EXPECT_EQ(runs.back().solve(), 1); }));
    }
    EXPECT_EQ(runs[0].x, runs[1].x);
    EXPECT_EQ(runs[0].vf, runs[1].vf);
    EXPECT_EQ(runs[0].calls, runs[1].calls);
    EXPECT_EQ(listings[0], listings[1]);
    EXPECT_GT(listings[0].size(), 0u);
    EXPECT_GT(in_memory.scratch_units_opened(), 1);
    EXPECT_EQ(in_memory.scratch_files_created(), 0);
    EXPECT_EQ(in_files.scratch_files_created(), in_files.scratch_units_opened());
    EXPECT_EQ(in_files.scratch_units_opened(), in_memory.scratch_units_opened());
  }
}

TEST(Storage, InterleavedSolutionsWithTheirOwnRecords) {
  Settings s;
  MiraxRun first_alone(engine_test::hyperbola(), s);
  MiraxRun second_alone(engine_test::bounded_rosenbrock(), s);
  first_alone.solve();
  second_alone.solve();

  vek::engine::MxiterState record_a, record_b;
  MiraxRun a(engine_test::hyperbola(), s, &record_a);
  MiraxRun b(engine_test::bounded_rosenbrock(), s, &record_b);
  for (int k = 0; k < 10000 && !(a.finished() && b.finished()); ++k) {
    if (!a.finished()) a.call();
    if (!b.finished()) b.call();
  }
  EXPECT_EQ(a.inf, first_alone.inf);
  EXPECT_EQ(b.inf, second_alone.inf);
  EXPECT_EQ(a.x, first_alone.x);
  EXPECT_EQ(b.x, second_alone.x);
  EXPECT_EQ(a.vf, first_alone.vf);
  EXPECT_EQ(b.vf, second_alone.vf);
  EXPECT_EQ(a.calls, first_alone.calls);
  EXPECT_EQ(b.calls, second_alone.calls);
}

}  // namespace
