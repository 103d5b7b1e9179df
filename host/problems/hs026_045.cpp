// Hock-Schittkowski problems 26 to 45: three to five variables; equalities (26-28, 39-42), inequalities
// (29-31, 33-37, 43, 44), mixed (32), bounds only (38, 45), starts outside the bounds (41, 45) and
// several local minima (33, 44). Appends the records to `definitions`.
//
// hs035 and hs044 write their linear inequalities in the "c(x) <= 0" sense.
#include "host/problems/hs_definition.h"

namespace talvir::problems {
namespace {

double minus_product3(const double* x) {
  return -x[0] * x[1] * x[2];
}
void minus_product3_gradient(const double* x, double* g) {
  g[0] = -x[1] * x[2];
  g[1] = -x[0] * x[2];
  g[2] = -x[0] * x[1];
}

// The two exponential-chain inequalities of hs034 and hs066: x2 >= exp(x1), x3 >= exp(x2).
void exp_chain(const double* x, double* c) {
  c[0] = x[1] - std::exp(x[0]);
  c[1] = x[2] - std::exp(x[1]);
}
void exp_chain_jacobian(const double* x, JacobianView a) {
  a(0, 0) = -std::exp(x[0]);
  a(0, 1) = 1.0;
  a(1, 1) = -std::exp(x[1]);
  a(1, 2) = 1.0;
}

void add_three_variable_equalities(std::vector<FixedDefinition>& s) {
  s.push_back(
      {"hs026",
       "quartic, one nonlinear equality, singular solution",
       3,
       1,
       {0},
       {},
       {},
       {-2.6, 2.0, 2.0},
       "0.0",
       {1.0, 1.0, 1.0},
       [](const double* x) { return (x[0] - x[1]) * (x[0] - x[1]) + std::pow(x[1] - x[2], 4); },
       [](const double* x, double* g) {
         g[0] = 2.0 * (x[0] - x[1]);
         g[1] = -2.0 * (x[0] - x[1]) + 4.0 * std::pow(x[1] - x[2], 3);
         g[2] = -4.0 * std::pow(x[1] - x[2], 3);
       },
       [](const double* x, double* c) { c[0] = (1.0 + x[1] * x[1]) * x[0] + std::pow(x[2], 4) - 3.0; },
       [](const double* x, JacobianView a) {
         a(0, 0) = 1.0 + x[1] * x[1];
         a(0, 1) = 2.0 * x[0] * x[1];
         a(0, 2) = 4.0 * std::pow(x[2], 3);
       }});
  s.push_back({"hs027",
               "Rosenbrock-like, one nonlinear equality",
               3,
               1,
               {0},
               {},
               {},
               {2.0, 2.0, 2.0},
               "0.04",
               {-1.0, 1.0, 0.0},
               [](const double* x) {
                 return 0.01 * (x[0] - 1.0) * (x[0] - 1.0) + (x[1] - x[0] * x[0]) * (x[1] - x[0] * x[0]);
               },
               [](const double* x, double* g) {
                 g[0] = 0.02 * (x[0] - 1.0) - 4.0 * x[0] * (x[1] - x[0] * x[0]);
                 g[1] = 2.0 * (x[1] - x[0] * x[0]);
               },
               [](const double* x, double* c) { c[0] = x[0] + x[2] * x[2] + 1.0; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 2) = 2.0 * x[2];
               }});
  s.push_back({"hs028",
               "convex quadratic, one linear equality",
               3,
               1,
               {0},
               {},
               {},
               {-4.0, 1.0, 1.0},
               "0.0",
               {0.5, -0.5, 0.5},
               [](const double* x) { return (x[0] + x[1]) * (x[0] + x[1]) + (x[1] + x[2]) * (x[1] + x[2]); },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] + x[1]);
                 g[1] = 2.0 * (x[0] + x[1]) + 2.0 * (x[1] + x[2]);
                 g[2] = 2.0 * (x[1] + x[2]);
               },
               [](const double* x, double* c) { c[0] = x[0] + 2.0 * x[1] + 3.0 * x[2] - 1.0; },
               [](const double*, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0;
                 a(0, 2) = 3.0;
               }});
}

void add_three_variable_inequalities(std::vector<FixedDefinition>& s) {
  s.push_back(
      {"hs029",
       "cubic product, one ellipsoid inequality",
       3,
       1,
       {1},
       {},
       {},
       {1.0, 1.0, 1.0},
       "-22.627417",
       {4.0, 2.0 * std::sqrt(2.0), 2.0},
       minus_product3,
       minus_product3_gradient,
       [](const double* x, double* c) { c[0] = -x[0] * x[0] - 2.0 * x[1] * x[1] - 4.0 * x[2] * x[2] + 48.0; },
       [](const double* x, JacobianView a) {
         a(0, 0) = -2.0 * x[0];
         a(0, 1) = -4.0 * x[1];
         a(0, 2) = -8.0 * x[2];
       }});
  s.push_back({"hs030",
               "sum of squares, one nonconvex inequality, bounds",
               3,
               1,
               {1},
               {1.0, -10.0, -10.0},
               fill(3, 10.0),
               {1.0, 1.0, 1.0},
               "1.0",
               {1.0, 0.0, 0.0},
               [](const double* x) { return x[0] * x[0] + x[1] * x[1] + x[2] * x[2]; },
               [](const double* x, double* g) {
                 for (int i = 0; i < 3; ++i) g[i] = 2.0 * x[i];
               },
               [](const double* x, double* c) { c[0] = x[0] * x[0] + x[1] * x[1] - 1.0; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 2.0 * x[0];
                 a(0, 1) = 2.0 * x[1];
               }});
  s.push_back({"hs031",
               "convex quadratic, one hyperbolic inequality, bounds",
               3,
               1,
               {1},
               {-10.0, 1.0, -10.0},
               {10.0, 10.0, 1.0},
               {1.0, 1.0, 1.0},
               "6.0",
               {1.0 / std::sqrt(3.0), std::sqrt(3.0), 0.0},
               [](const double* x) { return 9.0 * x[0] * x[0] + x[1] * x[1] + 9.0 * x[2] * x[2]; },
               [](const double* x, double* g) {
                 g[0] = 18.0 * x[0];
                 g[1] = 2.0 * x[1];
                 g[2] = 18.0 * x[2];
               },
               [](const double* x, double* c) { c[0] = x[0] * x[1] - 1.0; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = x[1];
                 a(0, 1) = x[0];
               }});
  s.push_back({"hs032",
               "convex quadratic, cubic inequality and linear equality, bounds",
               3,
               2,
               {1, 0},
               fill(3, 0.0),
               {},
               {0.1, 0.7, 0.2},
               "1.0",
               {0.0, 0.0, 1.0},
               [](const double* x) {
                 const double s3 = x[0] + 3.0 * x[1] + x[2];
                 return s3 * s3 + 4.0 * (x[0] - x[1]) * (x[0] - x[1]);
               },
               [](const double* x, double* g) {
                 const double s3 = x[0] + 3.0 * x[1] + x[2];
                 g[0] = 2.0 * s3 + 8.0 * (x[0] - x[1]);
                 g[1] = 6.0 * s3 - 8.0 * (x[0] - x[1]);
                 g[2] = 2.0 * s3;
               },
               [](const double* x, double* c) {
                 c[0] = 6.0 * x[1] + 4.0 * x[2] - std::pow(x[0], 3) - 3.0;
                 c[1] = 1.0 - x[0] - x[1] - x[2];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -3.0 * x[0] * x[0];
                 a(0, 1) = 6.0;
                 a(0, 2) = 4.0;
                 a(1, 0) = -1.0;
                 a(1, 1) = -1.0;
                 a(1, 2) = -1.0;
               }});
  s.push_back({"hs033",
               "cubic, two nonconvex inequalities, local minima",
               3,
               2,
               {1, 1},
               fill(3, 0.0),
               {kInf, kInf, 5.0},
               {0.0, 0.0, 3.0},
               "-4.5857864",
               {0.0, std::sqrt(2.0), std::sqrt(2.0)},
               [](const double* x) { return (x[0] - 1.0) * (x[0] - 2.0) * (x[0] - 3.0) + x[2]; },
               [](const double* x, double* g) {
                 g[0] = 3.0 * x[0] * x[0] - 12.0 * x[0] + 11.0;
                 g[2] = 1.0;
               },
               [](const double* x, double* c) {
                 c[0] = x[2] * x[2] - x[0] * x[0] - x[1] * x[1];
                 c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] - 4.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -2.0 * x[0];
                 a(0, 1) = -2.0 * x[1];
                 a(0, 2) = 2.0 * x[2];
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = 2.0 * x[1];
                 a(1, 2) = 2.0 * x[2];
               }});
  s.push_back({"hs034",
               "linear objective, exponential inequalities, bounds",
               3,
               2,
               {1, 1},
               fill(3, 0.0),
               {100.0, 100.0, 10.0},
               {0.0, 1.05, 2.9},
               "-0.83403245",
               {std::log(std::log(10.0)), std::log(10.0), 10.0},
               [](const double* x) { return -x[0]; },
               [](const double*, double* g) { g[0] = -1.0; },
               exp_chain,
               exp_chain_jacobian});
  s.push_back({"hs035",
               "convex quadratic, one linear inequality (<= form), bounds",
               3,
               1,
               {-1},
               fill(3, 0.0),
               {},
               fill(3, 0.5),
               "0.11111111",
               {4.0 / 3.0, 7.0 / 9.0, 4.0 / 9.0},
               [](const double* x) {
                 return 9.0 - 8.0 * x[0] - 6.0 * x[1] - 4.0 * x[2] + 2.0 * x[0] * x[0] + 2.0 * x[1] * x[1] +
                        x[2] * x[2] + 2.0 * x[0] * x[1] + 2.0 * x[0] * x[2];
               },
               [](const double* x, double* g) {
                 g[0] = -8.0 + 4.0 * x[0] + 2.0 * x[1] + 2.0 * x[2];
                 g[1] = -6.0 + 4.0 * x[1] + 2.0 * x[0];
                 g[2] = -4.0 + 2.0 * x[2] + 2.0 * x[0];
               },
               [](const double* x, double* c) { c[0] = x[0] + x[1] + 2.0 * x[2] - 3.0; },
               [](const double*, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 1.0;
                 a(0, 2) = 2.0;
               }});
  s.push_back({"hs036",
               "cubic product, one linear inequality, bounds active",
               3,
               1,
               {1},
               fill(3, 0.0),
               {20.0, 11.0, 42.0},
               fill(3, 10.0),
               "-3300.0",
               {20.0, 11.0, 15.0},
               minus_product3,
               minus_product3_gradient,
               [](const double* x, double* c) { c[0] = 72.0 - x[0] - 2.0 * x[1] - 2.0 * x[2]; },
               [](const double*, JacobianView a) {
                 a(0, 0) = -1.0;
                 a(0, 1) = -2.0;
                 a(0, 2) = -2.0;
               }});
  s.push_back({"hs037",
               "cubic product, two linear inequalities, bounds",
               3,
               2,
               {1, 1},
               fill(3, 0.0),
               fill(3, 42.0),
               fill(3, 10.0),
               "-3456.0",
               {24.0, 12.0, 12.0},
               minus_product3,
               minus_product3_gradient,
               [](const double* x, double* c) {
                 c[0] = 72.0 - x[0] - 2.0 * x[1] - 2.0 * x[2];
                 c[1] = x[0] + 2.0 * x[1] + 2.0 * x[2];
               },
               [](const double*, JacobianView a) {
                 a(0, 0) = -1.0;
                 a(0, 1) = -2.0;
                 a(0, 2) = -2.0;
                 a(1, 0) = 1.0;
                 a(1, 1) = 2.0;
                 a(1, 2) = 2.0;
               }});
}

void add_four_variable_problems(std::vector<FixedDefinition>& s) {
  s.push_back({"hs038",
               "Colville's function (Wood), box bounds",
               4,
               0,
               {},
               fill(4, -10.0),
               fill(4, 10.0),
               {-3.0, -1.0, -3.0, -1.0},
               "0.0",
               fill(4, 1.0),
               [](const double* x) {
                 return 100.0 * std::pow(x[1] - x[0] * x[0], 2) + std::pow(1.0 - x[0], 2) +
                        90.0 * std::pow(x[3] - x[2] * x[2], 2) + std::pow(1.0 - x[2], 2) +
                        10.1 * (std::pow(x[1] - 1.0, 2) + std::pow(x[3] - 1.0, 2)) +
                        19.8 * (x[1] - 1.0) * (x[3] - 1.0);
               },
               [](const double* x, double* g) {
                 g[0] = -400.0 * x[0] * (x[1] - x[0] * x[0]) - 2.0 * (1.0 - x[0]);
                 g[1] = 200.0 * (x[1] - x[0] * x[0]) + 20.2 * (x[1] - 1.0) + 19.8 * (x[3] - 1.0);
                 g[2] = -360.0 * x[2] * (x[3] - x[2] * x[2]) - 2.0 * (1.0 - x[2]);
                 g[3] = 180.0 * (x[3] - x[2] * x[2]) + 20.2 * (x[3] - 1.0) + 19.8 * (x[1] - 1.0);
               },
               nullptr,
               nullptr});
  s.push_back({"hs039",
               "linear objective, two nonlinear equalities",
               4,
               2,
               {0, 0},
               {},
               {},
               fill(4, 2.0),
               "-1.0",
               {1.0, 1.0, 0.0, 0.0},
               [](const double* x) { return -x[0]; },
               [](const double*, double* g) { g[0] = -1.0; },
               [](const double* x, double* c) {
                 c[0] = x[1] - std::pow(x[0], 3) - x[2] * x[2];
                 c[1] = x[0] * x[0] - x[1] - x[3] * x[3];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -3.0 * x[0] * x[0];
                 a(0, 1) = 1.0;
                 a(0, 2) = -2.0 * x[2];
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = -1.0;
                 a(1, 3) = -2.0 * x[3];
               }});
  s.push_back(
      {"hs040",
       "product of four, three nonlinear equalities",
       4,
       3,
       {0, 0, 0},
       {},
       {},
       fill(4, 0.8),
       "-0.25",
       {std::pow(2.0, -1.0 / 3.0), std::pow(2.0, -0.5), std::pow(2.0, -11.0 / 12.0), std::pow(2.0, -0.25)},
       [](const double* x) { return -x[0] * x[1] * x[2] * x[3]; },
       [](const double* x, double* g) {
         g[0] = -x[1] * x[2] * x[3];
         g[1] = -x[0] * x[2] * x[3];
         g[2] = -x[0] * x[1] * x[3];
         g[3] = -x[0] * x[1] * x[2];
       },
       [](const double* x, double* c) {
         c[0] = std::pow(x[0], 3) + x[1] * x[1] - 1.0;
         c[1] = x[0] * x[0] * x[3] - x[2];
         c[2] = x[3] * x[3] - x[1];
       },
       [](const double* x, JacobianView a) {
         a(0, 0) = 3.0 * x[0] * x[0];
         a(0, 1) = 2.0 * x[1];
         a(1, 0) = 2.0 * x[0] * x[3];
         a(1, 2) = -1.0;
         a(1, 3) = x[0] * x[0];
         a(2, 1) = -1.0;
         a(2, 3) = 2.0 * x[3];
       }});
  s.push_back({"hs041",
               "cubic product, linear equality, start outside the bounds",
               4,
               1,
               {0},
               fill(4, 0.0),
               {1.0, 1.0, 1.0, 2.0},
               fill(4, 2.0),
               "1.9259259",
               {2.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0, 2.0},
               [](const double* x) { return 2.0 - x[0] * x[1] * x[2]; },
               [](const double* x, double* g) {
                 g[0] = -x[1] * x[2];
                 g[1] = -x[0] * x[2];
                 g[2] = -x[0] * x[1];
               },
               [](const double* x, double* c) { c[0] = x[0] + 2.0 * x[1] + 2.0 * x[2] - x[3]; },
               [](const double*, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0;
                 a(0, 2) = 2.0;
                 a(0, 3) = -1.0;
               }});
  s.push_back({"hs042",
               "convex quadratic, linear and circle equalities",
               4,
               2,
               {0, 0},
               {},
               {},
               fill(4, 1.0),
               "13.857864",
               {2.0, 2.0, 0.6 * std::sqrt(2.0), 0.8 * std::sqrt(2.0)},
               [](const double* x) {
                 double f = 0.0;
                 for (int i = 0; i < 4; ++i) f += (x[i] - (i + 1.0)) * (x[i] - (i + 1.0));
                 return f;
               },
               [](const double* x, double* g) {
                 for (int i = 0; i < 4; ++i) g[i] = 2.0 * (x[i] - (i + 1.0));
               },
               [](const double* x, double* c) {
                 c[0] = x[0] - 2.0;
                 c[1] = x[2] * x[2] + x[3] * x[3] - 2.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(1, 2) = 2.0 * x[2];
                 a(1, 3) = 2.0 * x[3];
               }});
  s.push_back({"hs043",
               "Rosen-Suzuki: convex quadratic, three convex inequalities",
               4,
               3,
               {1, 1, 1},
               {},
               {},
               fill(4, 0.0),
               "-44.0",
               {0.0, 1.0, 2.0, -1.0},
               [](const double* x) {
                 return x[0] * x[0] + x[1] * x[1] + 2.0 * x[2] * x[2] + x[3] * x[3] - 5.0 * x[0] -
                        5.0 * x[1] - 21.0 * x[2] + 7.0 * x[3];
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * x[0] - 5.0;
                 g[1] = 2.0 * x[1] - 5.0;
                 g[2] = 4.0 * x[2] - 21.0;
                 g[3] = 2.0 * x[3] + 7.0;
               },
               [](const double* x, double* c) {
                 c[0] =
                     8.0 - x[0] * x[0] - x[1] * x[1] - x[2] * x[2] - x[3] * x[3] - x[0] + x[1] - x[2] + x[3];
                 c[1] =
                     10.0 - x[0] * x[0] - 2.0 * x[1] * x[1] - x[2] * x[2] - 2.0 * x[3] * x[3] + x[0] + x[3];
                 c[2] = 5.0 - 2.0 * x[0] * x[0] - x[1] * x[1] - x[2] * x[2] - 2.0 * x[0] + x[1] + x[3];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -2.0 * x[0] - 1.0;
                 a(0, 1) = -2.0 * x[1] + 1.0;
                 a(0, 2) = -2.0 * x[2] - 1.0;
                 a(0, 3) = -2.0 * x[3] + 1.0;
                 a(1, 0) = -2.0 * x[0] + 1.0;
                 a(1, 1) = -4.0 * x[1];
                 a(1, 2) = -2.0 * x[2];
                 a(1, 3) = -4.0 * x[3] + 1.0;
                 a(2, 0) = -4.0 * x[0] - 2.0;
                 a(2, 1) = -2.0 * x[1] + 1.0;
                 a(2, 2) = -2.0 * x[2];
                 a(2, 3) = 1.0;
               }});
}

void add_bilinear_and_product(std::vector<FixedDefinition>& s) {
  s.push_back({"hs044",
               "bilinear, six linear inequalities (<= form), local minima",
               4,
               6,
               fill_kinds(6, -1),
               fill(4, 0.0),
               {},
               fill(4, 0.0),
               "-15.0",
               {0.0, 3.0, 0.0, 4.0},
               [](const double* x) {
                 return x[0] - x[1] - x[2] - x[0] * x[2] + x[0] * x[3] + x[1] * x[2] - x[1] * x[3];
               },
               [](const double* x, double* g) {
                 g[0] = 1.0 - x[2] + x[3];
                 g[1] = -1.0 + x[2] - x[3];
                 g[2] = -1.0 - x[0] + x[1];
                 g[3] = x[0] - x[1];
               },
               [](const double* x, double* c) {
                 c[0] = x[0] + 2.0 * x[1] - 8.0;
                 c[1] = 4.0 * x[0] + x[1] - 12.0;
                 c[2] = 3.0 * x[0] + 4.0 * x[1] - 12.0;
                 c[3] = 2.0 * x[2] + x[3] - 8.0;
                 c[4] = x[2] + 2.0 * x[3] - 8.0;
                 c[5] = x[2] + x[3] - 5.0;
               },
               [](const double*, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0;
                 a(1, 0) = 4.0;
                 a(1, 1) = 1.0;
                 a(2, 0) = 3.0;
                 a(2, 1) = 4.0;
                 a(3, 2) = 2.0;
                 a(3, 3) = 1.0;
                 a(4, 2) = 1.0;
                 a(4, 3) = 2.0;
                 a(5, 2) = 1.0;
                 a(5, 3) = 1.0;
               }});
  s.push_back({"hs045",
               "product of five, bounds only, start outside the bounds",
               5,
               0,
               {},
               fill(5, 0.0),
               {1.0, 2.0, 3.0, 4.0, 5.0},
               fill(5, 2.0),
               "1.0",
               {1.0, 2.0, 3.0, 4.0, 5.0},
               [](const double* x) { return 2.0 - x[0] * x[1] * x[2] * x[3] * x[4] / 120.0; },
               [](const double* x, double* g) {
                 for (int i = 0; i < 5; ++i) {
                   double p = 1.0;
                   for (int k = 0; k < 5; ++k) {
                     if (k != i) p *= x[k];
                   }
                   g[i] = -p / 120.0;
                 }
               },
               nullptr,
               nullptr});
}

}  // namespace

void add_hs026_to_hs045(std::vector<FixedDefinition>& definitions) {
  add_three_variable_equalities(definitions);
  add_three_variable_inequalities(definitions);
  add_four_variable_problems(definitions);
  add_bilinear_and_product(definitions);
}

}  // namespace talvir::problems
