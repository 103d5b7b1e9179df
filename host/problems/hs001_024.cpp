// Hock-Schittkowski problems 1 to 24: two variables each; bounds only (1-5), equalities (6-9, 14),
// inequalities (10-24), starts outside the bounds (13, 16, 17, 20, 21) and a degenerate optimum
// where the constraint gradients are dependent (13). Appends the records to `definitions`.
//
// hs015 is the collection's scaled form (the objective divided by 100), which is what its published
// value 3.065 belongs to. hs014 writes its inequality in the "c(x) <= 0" sense.
#include "host/problems/hs_definition.h"

namespace talvir::problems {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Rosenbrock's function and gradient, shared by hs001, hs002, hs016, hs017, hs020.
double rosenbrock(const double* x) {
  return 100.0 * (x[1] - x[0] * x[0]) * (x[1] - x[0] * x[0]) + (1.0 - x[0]) * (1.0 - x[0]);
}
void rosenbrock_gradient(const double* x, double* g) {
  g[0] = -400.0 * x[0] * (x[1] - x[0] * x[0]) - 2.0 * (1.0 - x[0]);
  g[1] = 200.0 * (x[1] - x[0] * x[0]);
}

// Root of 2 t^3 + t - 5 = 0 (Cardano): the first coordinate of hs011's solution.
double hs011_root() {
  const double q = 1.25;
  const double r = std::sqrt(q * q + 1.0 / 216.0);
  return std::cbrt(q + r) + std::cbrt(q - r);
}

void add_bounds_only(std::vector<FixedDefinition>& s) {
  s.push_back({"hs001",
               "Rosenbrock, lower bound on x2",
               2,
               0,
               {},
               {-kInf, -1.5},
               {},
               {-2.0, 1.0},
               "0.0",
               {1.0, 1.0},
               rosenbrock,
               rosenbrock_gradient,
               nullptr,
               nullptr});
  s.push_back({"hs002",
               "Rosenbrock, active lower bound on x2",
               2,
               0,
               {},
               {-kInf, 1.5},
               {},
               {-2.0, 1.0},
               "0.050426188",
               {1.2243707487363527, 1.5},
               rosenbrock,
               rosenbrock_gradient,
               nullptr,
               nullptr});
  s.push_back({"hs003",
               "nearly linear, active bound, flat valley",
               2,
               0,
               {},
               {-kInf, 0.0},
               {},
               {10.0, 1.0},
               "0.0",
               {0.0, 0.0},
               [](const double* x) { return x[1] + 1e-5 * (x[1] - x[0]) * (x[1] - x[0]); },
               [](const double* x, double* g) {
                 g[0] = -2e-5 * (x[1] - x[0]);
                 g[1] = 1.0 + 2e-5 * (x[1] - x[0]);
               },
               nullptr,
               nullptr});
  s.push_back({"hs004",
               "cubic, both lower bounds active",
               2,
               0,
               {},
               {1.0, 0.0},
               {},
               {1.125, 0.125},
               "2.6666667",
               {1.0, 0.0},
               [](const double* x) { return std::pow(x[0] + 1.0, 3) / 3.0 + x[1]; },
               [](const double* x, double* g) {
                 g[0] = (x[0] + 1.0) * (x[0] + 1.0);
                 g[1] = 1.0;
               },
               nullptr,
               nullptr});
  s.push_back({"hs005",
               "trigonometric, box bounds, interior optimum",
               2,
               0,
               {},
               {-1.5, -3.0},
               {4.0, 3.0},
               {0.0, 0.0},
               "-1.913223",
               {0.5 - kPi / 3.0, -0.5 - kPi / 3.0},
               [](const double* x) {
                 return std::sin(x[0] + x[1]) + (x[0] - x[1]) * (x[0] - x[1]) - 1.5 * x[0] + 2.5 * x[1] + 1.0;
               },
               [](const double* x, double* g) {
                 const double c = std::cos(x[0] + x[1]);
                 g[0] = c + 2.0 * (x[0] - x[1]) - 1.5;
                 g[1] = c - 2.0 * (x[0] - x[1]) + 2.5;
               },
               nullptr,
               nullptr});
}

void add_equalities(std::vector<FixedDefinition>& s) {
  s.push_back({"hs006",
               "quadratic, one nonlinear equality",
               2,
               1,
               {0},
               {},
               {},
               {-1.2, 1.0},
               "0.0",
               {1.0, 1.0},
               [](const double* x) { return (1.0 - x[0]) * (1.0 - x[0]); },
               [](const double* x, double* g) { g[0] = -2.0 * (1.0 - x[0]); },
               [](const double* x, double* c) { c[0] = 10.0 * (x[1] - x[0] * x[0]); },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -20.0 * x[0];
                 a(0, 1) = 10.0;
               }});
  s.push_back({"hs007",
               "logarithmic, one nonlinear equality",
               2,
               1,
               {0},
               {},
               {},
               {2.0, 2.0},
               "-1.7320508",
               {0.0, std::sqrt(3.0)},
               [](const double* x) { return std::log(1.0 + x[0] * x[0]) - x[1]; },
               [](const double* x, double* g) {
                 g[0] = 2.0 * x[0] / (1.0 + x[0] * x[0]);
                 g[1] = -1.0;
               },
               [](const double* x, double* c) {
                 c[0] = (1.0 + x[0] * x[0]) * (1.0 + x[0] * x[0]) + x[1] * x[1] - 4.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 4.0 * x[0] * (1.0 + x[0] * x[0]);
                 a(0, 1) = 2.0 * x[1];
               }});
  const double hs008_x1 = std::sqrt((25.0 + std::sqrt(301.0)) / 2.0);
  s.push_back({"hs008",
               "constant objective, two equalities (find a feasible point)",
               2,
               2,
               {0, 0},
               {},
               {},
               {2.0, 1.0},
               "-1.0",
               {hs008_x1, 9.0 / hs008_x1},
               [](const double*) { return -1.0; },
               [](const double*, double*) {},
               [](const double* x, double* c) {
                 c[0] = x[0] * x[0] + x[1] * x[1] - 25.0;
                 c[1] = x[0] * x[1] - 9.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 2.0 * x[0];
                 a(0, 1) = 2.0 * x[1];
                 a(1, 0) = x[1];
                 a(1, 1) = x[0];
               }});
  s.push_back({"hs009",
               "trigonometric, one linear equality",
               2,
               1,
               {0},
               {},
               {},
               {0.0, 0.0},
               "-0.5",
               {-3.0, -4.0},
               [](const double* x) { return std::sin(kPi * x[0] / 12.0) * std::cos(kPi * x[1] / 16.0); },
               [](const double* x, double* g) {
                 g[0] = kPi / 12.0 * std::cos(kPi * x[0] / 12.0) * std::cos(kPi * x[1] / 16.0);
                 g[1] = -kPi / 16.0 * std::sin(kPi * x[0] / 12.0) * std::sin(kPi * x[1] / 16.0);
               },
               [](const double* x, double* c) { c[0] = 4.0 * x[0] - 3.0 * x[1]; },
               [](const double*, JacobianView a) {
                 a(0, 0) = 4.0;
                 a(0, 1) = -3.0;
               }});
}

void add_linear_objective_inequalities(std::vector<FixedDefinition>& s) {
  s.push_back(
      {"hs010",
       "linear objective, one convex inequality",
       2,
       1,
       {1},
       {},
       {},
       {-10.0, 10.0},
       "-1.0",
       {0.0, 1.0},
       [](const double* x) { return x[0] - x[1]; },
       [](const double*, double* g) {
         g[0] = 1.0;
         g[1] = -1.0;
       },
       [](const double* x, double* c) { c[0] = -3.0 * x[0] * x[0] + 2.0 * x[0] * x[1] - x[1] * x[1] + 1.0; },
       [](const double* x, JacobianView a) {
         a(0, 0) = -6.0 * x[0] + 2.0 * x[1];
         a(0, 1) = 2.0 * x[0] - 2.0 * x[1];
       }});
  const double r = hs011_root();
  s.push_back({"hs011",
               "quadratic, one parabolic inequality",
               2,
               1,
               {1},
               {},
               {},
               {4.9, 0.1},
               "-8.4984642",
               {r, r * r},
               [](const double* x) { return (x[0] - 5.0) * (x[0] - 5.0) + x[1] * x[1] - 25.0; },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 5.0);
                 g[1] = 2.0 * x[1];
               },
               [](const double* x, double* c) { c[0] = -x[0] * x[0] + x[1]; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -2.0 * x[0];
                 a(0, 1) = 1.0;
               }});
  s.push_back({"hs012",
               "convex quadratic, one ellipse inequality",
               2,
               1,
               {1},
               {},
               {},
               {0.0, 0.0},
               "-30.0",
               {2.0, 3.0},
               [](const double* x) {
                 return 0.5 * x[0] * x[0] + x[1] * x[1] - x[0] * x[1] - 7.0 * x[0] - 7.0 * x[1];
               },
               [](const double* x, double* g) {
                 g[0] = x[0] - x[1] - 7.0;
                 g[1] = 2.0 * x[1] - x[0] - 7.0;
               },
               [](const double* x, double* c) { c[0] = 25.0 - 4.0 * x[0] * x[0] - x[1] * x[1]; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -8.0 * x[0];
                 a(0, 1) = -2.0 * x[1];
               }});
  s.push_back({"hs013",
               "degenerate optimum (cusp), start outside the bounds",
               2,
               1,
               {1},
               {0.0, 0.0},
               {},
               {-2.0, -2.0},
               "1.0",
               {1.0, 0.0},
               [](const double* x) { return (x[0] - 2.0) * (x[0] - 2.0) + x[1] * x[1]; },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 2.0);
                 g[1] = 2.0 * x[1];
               },
               [](const double* x, double* c) { c[0] = std::pow(1.0 - x[0], 3) - x[1]; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -3.0 * (1.0 - x[0]) * (1.0 - x[0]);
                 a(0, 1) = -1.0;
               }});
  s.push_back({"hs014",
               "quadratic, ellipse inequality (<= form) and linear equality",
               2,
               2,
               {-1, 0},
               {},
               {},
               {2.0, 2.0},
               "1.393465",
               {0.5 * (std::sqrt(7.0) - 1.0), 0.25 * (std::sqrt(7.0) + 1.0)},
               [](const double* x) { return (x[0] - 2.0) * (x[0] - 2.0) + (x[1] - 1.0) * (x[1] - 1.0); },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 2.0);
                 g[1] = 2.0 * (x[1] - 1.0);
               },
               [](const double* x, double* c) {
                 c[0] = 0.25 * x[0] * x[0] + x[1] * x[1] - 1.0;
                 c[1] = x[0] - 2.0 * x[1] + 1.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 0.5 * x[0];
                 a(0, 1) = 2.0 * x[1];
                 a(1, 0) = 1.0;
                 a(1, 1) = -2.0;
               }});
}

void add_rosenbrock_variants(std::vector<FixedDefinition>& s) {
  s.push_back({"hs015",
               "Rosenbrock (scaled by 1/100), two inequalities, upper bound",
               2,
               2,
               {1, 1},
               {},
               {0.5, kInf},
               {-2.0, 1.0},
               "3.0650001",
               {0.5, 2.0},
               [](const double* x) { return 0.01 * rosenbrock(x); },
               [](const double* x, double* g) {
                 rosenbrock_gradient(x, g);
                 g[0] *= 0.01;
                 g[1] *= 0.01;
               },
               [](const double* x, double* c) {
                 c[0] = x[0] * x[1] - 1.0;
                 c[1] = x[0] + x[1] * x[1];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = x[1];
                 a(0, 1) = x[0];
                 a(1, 0) = 1.0;
                 a(1, 1) = 2.0 * x[1];
               }});
  s.push_back({"hs016",
               "Rosenbrock, two inequalities, start outside the bounds",
               2,
               2,
               {1, 1},
               {-0.5, -kInf},
               {0.5, 1.0},
               {-2.0, 1.0},
               "0.25",
               {0.5, 0.25},
               rosenbrock,
               rosenbrock_gradient,
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] * x[1];
                 c[1] = x[0] * x[0] + x[1];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0 * x[1];
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = 1.0;
               }});
  s.push_back({"hs017",
               "Rosenbrock, two inequalities, start outside the bounds",
               2,
               2,
               {1, 1},
               {-0.5, -kInf},
               {0.5, 1.0},
               {-2.0, 1.0},
               "1.0",
               {0.0, 0.0},
               rosenbrock,
               rosenbrock_gradient,
               [](const double* x, double* c) {
                 c[0] = x[1] * x[1] - x[0];
                 c[1] = x[0] * x[0] - x[1];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -1.0;
                 a(0, 1) = 2.0 * x[1];
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = -1.0;
               }});
  s.push_back({"hs020",
               "Rosenbrock, three inequalities, start outside the bounds",
               2,
               3,
               {1, 1, 1},
               {-0.5, -kInf},
               {0.5, kInf},
               {-2.0, 1.0},
               "38.19873",
               {0.5, 0.5 * std::sqrt(3.0)},
               rosenbrock,
               rosenbrock_gradient,
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] * x[1];
                 c[1] = x[0] * x[0] + x[1];
                 c[2] = x[0] * x[0] + x[1] * x[1] - 1.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0 * x[1];
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = 1.0;
                 a(2, 0) = 2.0 * x[0];
                 a(2, 1) = 2.0 * x[1];
               }});
}

void add_other_inequalities(std::vector<FixedDefinition>& s) {
  s.push_back({"hs018",
               "quadratic, two nonconvex inequalities, bounds",
               2,
               2,
               {1, 1},
               {2.0, 0.0},
               {50.0, 50.0},
               {2.0, 2.0},
               "5.0",
               {std::sqrt(250.0), std::sqrt(2.5)},
               [](const double* x) { return 0.01 * x[0] * x[0] + x[1] * x[1]; },
               [](const double* x, double* g) {
                 g[0] = 0.02 * x[0];
                 g[1] = 2.0 * x[1];
               },
               [](const double* x, double* c) {
                 c[0] = x[0] * x[1] - 25.0;
                 c[1] = x[0] * x[0] + x[1] * x[1] - 25.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = x[1];
                 a(0, 1) = x[0];
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = 2.0 * x[1];
               }});
  s.push_back({"hs019",
               "cubic, two circle inequalities, narrow feasible region",
               2,
               2,
               {1, 1},
               {13.0, 0.0},
               {100.0, 100.0},
               {20.1, 5.84},
               "-6961.8139",
               {14.095, 5.0 - std::sqrt(100.0 - 9.095 * 9.095)},
               [](const double* x) { return std::pow(x[0] - 10.0, 3) + std::pow(x[1] - 20.0, 3); },
               [](const double* x, double* g) {
                 g[0] = 3.0 * (x[0] - 10.0) * (x[0] - 10.0);
                 g[1] = 3.0 * (x[1] - 20.0) * (x[1] - 20.0);
               },
               [](const double* x, double* c) {
                 c[0] = (x[0] - 5.0) * (x[0] - 5.0) + (x[1] - 5.0) * (x[1] - 5.0) - 100.0;
                 c[1] = -(x[1] - 5.0) * (x[1] - 5.0) - (x[0] - 6.0) * (x[0] - 6.0) + 82.81;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 2.0 * (x[0] - 5.0);
                 a(0, 1) = 2.0 * (x[1] - 5.0);
                 a(1, 0) = -2.0 * (x[0] - 6.0);
                 a(1, 1) = -2.0 * (x[1] - 5.0);
               }});
  s.push_back({"hs021",
               "convex quadratic, linear inequality, start outside the bounds",
               2,
               1,
               {1},
               {2.0, -50.0},
               {50.0, 50.0},
               {-1.0, -1.0},
               "-99.96",
               {2.0, 0.0},
               [](const double* x) { return 0.01 * x[0] * x[0] + x[1] * x[1] - 100.0; },
               [](const double* x, double* g) {
                 g[0] = 0.02 * x[0];
                 g[1] = 2.0 * x[1];
               },
               [](const double* x, double* c) { c[0] = 10.0 * x[0] - x[1] - 10.0; },
               [](const double*, JacobianView a) {
                 a(0, 0) = 10.0;
                 a(0, 1) = -1.0;
               }});
  s.push_back({"hs022",
               "convex quadratic, linear and parabolic inequalities",
               2,
               2,
               {1, 1},
               {},
               {},
               {2.0, 2.0},
               "1.0",
               {1.0, 1.0},
               [](const double* x) { return (x[0] - 2.0) * (x[0] - 2.0) + (x[1] - 1.0) * (x[1] - 1.0); },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 2.0);
                 g[1] = 2.0 * (x[1] - 1.0);
               },
               [](const double* x, double* c) {
                 c[0] = -x[0] - x[1] + 2.0;
                 c[1] = -x[0] * x[0] + x[1];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -1.0;
                 a(0, 1) = -1.0;
                 a(1, 0) = -2.0 * x[0];
                 a(1, 1) = 1.0;
               }});
  s.push_back({"hs023",
               "convex quadratic, five inequalities, box bounds",
               2,
               5,
               {1, 1, 1, 1, 1},
               fill(2, -50.0),
               fill(2, 50.0),
               {3.0, 1.0},
               "2.0",
               {1.0, 1.0},
               [](const double* x) { return x[0] * x[0] + x[1] * x[1]; },
               [](const double* x, double* g) {
                 g[0] = 2.0 * x[0];
                 g[1] = 2.0 * x[1];
               },
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] - 1.0;
                 c[1] = x[0] * x[0] + x[1] * x[1] - 1.0;
                 c[2] = 9.0 * x[0] * x[0] + x[1] * x[1] - 9.0;
                 c[3] = x[0] * x[0] - x[1];
                 c[4] = x[1] * x[1] - x[0];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 1.0;
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = 2.0 * x[1];
                 a(2, 0) = 18.0 * x[0];
                 a(2, 1) = 2.0 * x[1];
                 a(3, 0) = 2.0 * x[0];
                 a(3, 1) = -1.0;
                 a(4, 0) = -1.0;
                 a(4, 1) = 2.0 * x[1];
               }});
  s.push_back({"hs024",
               "nonconvex polynomial, three linear inequalities (a triangle)",
               2,
               3,
               {1, 1, 1},
               {0.0, 0.0},
               {},
               {1.0, 0.5},
               "-1.0",
               {3.0, std::sqrt(3.0)},
               [](const double* x) {
                 return ((x[0] - 3.0) * (x[0] - 3.0) - 9.0) * std::pow(x[1], 3) / (27.0 * std::sqrt(3.0));
               },
               [](const double* x, double* g) {
                 const double w = 27.0 * std::sqrt(3.0);
                 g[0] = 2.0 * (x[0] - 3.0) * std::pow(x[1], 3) / w;
                 g[1] = ((x[0] - 3.0) * (x[0] - 3.0) - 9.0) * 3.0 * x[1] * x[1] / w;
               },
               [](const double* x, double* c) {
                 const double r3 = std::sqrt(3.0);
                 c[0] = x[0] / r3 - x[1];
                 c[1] = x[0] + r3 * x[1];
                 c[2] = -x[0] - r3 * x[1] + 6.0;
               },
               [](const double*, JacobianView a) {
                 const double r3 = std::sqrt(3.0);
                 a(0, 0) = 1.0 / r3;
                 a(0, 1) = -1.0;
                 a(1, 0) = 1.0;
                 a(1, 1) = r3;
                 a(2, 0) = -1.0;
                 a(2, 1) = -r3;
               }});
}

}  // namespace

void add_hs001_to_hs024(std::vector<FixedDefinition>& definitions) {
  add_bounds_only(definitions);
  add_equalities(definitions);
  add_linear_objective_inequalities(definitions);
  add_rosenbrock_variants(definitions);
  add_other_inequalities(definitions);
}

}  // namespace talvir::problems
