// Hock-Schittkowski problems 46 to 66: equality-constrained problems in five variables (46-53),
// a degenerate one with linearly dependent equalities (55), trigonometric equalities (56), and
// three-variable problems with logarithmic (62), rational (64) and exponential (66) terms; starts
// outside the bounds (65). Appends the records to `definitions`.
//
// hs064 writes its inequality in the "c(x) <= 0" sense.
#include "host/problems/hs_definition.h"

namespace talvir::problems {
namespace {

// The objective of hs051 and hs053.
double hs051_objective(const double* x) {
  return std::pow(x[0] - x[1], 2) + std::pow(x[1] + x[2] - 2.0, 2) + std::pow(x[3] - 1.0, 2) +
         std::pow(x[4] - 1.0, 2);
}
void hs051_gradient(const double* x, double* g) {
  g[0] = 2.0 * (x[0] - x[1]);
  g[1] = -2.0 * (x[0] - x[1]) + 2.0 * (x[1] + x[2] - 2.0);
  g[2] = 2.0 * (x[1] + x[2] - 2.0);
  g[3] = 2.0 * (x[3] - 1.0);
  g[4] = 2.0 * (x[4] - 1.0);
}

// The objective of hs052; its constraints are shared with hs053.
double hs052_objective(const double* x) {
  return std::pow(4.0 * x[0] - x[1], 2) + std::pow(x[1] + x[2] - 2.0, 2) + std::pow(x[3] - 1.0, 2) +
         std::pow(x[4] - 1.0, 2);
}
void hs052_gradient(const double* x, double* g) {
  g[0] = 8.0 * (4.0 * x[0] - x[1]);
  g[1] = -2.0 * (4.0 * x[0] - x[1]) + 2.0 * (x[1] + x[2] - 2.0);
  g[2] = 2.0 * (x[1] + x[2] - 2.0);
  g[3] = 2.0 * (x[3] - 1.0);
  g[4] = 2.0 * (x[4] - 1.0);
}
void hs052_constraints(const double* x, double* c) {
  c[0] = x[0] + 3.0 * x[1];
  c[1] = x[2] + x[3] - 2.0 * x[4];
  c[2] = x[1] - x[4];
}
void hs052_jacobian(const double*, JacobianView a) {
  a(0, 0) = 1.0;
  a(0, 1) = 3.0;
  a(1, 2) = 1.0;
  a(1, 3) = 1.0;
  a(1, 4) = -2.0;
  a(2, 1) = 1.0;
  a(2, 4) = -1.0;
}

// The objective of hs046 and hs049: (x1 - x2)^2 + (x3 - 1)^2 + (x4 - 1)^4 + (x5 - 1)^6.
double hs046_objective(const double* x) {
  return std::pow(x[0] - x[1], 2) + std::pow(x[2] - 1.0, 2) + std::pow(x[3] - 1.0, 4) +
         std::pow(x[4] - 1.0, 6);
}
void hs046_gradient(const double* x, double* g) {
  g[0] = 2.0 * (x[0] - x[1]);
  g[1] = -2.0 * (x[0] - x[1]);
  g[2] = 2.0 * (x[2] - 1.0);
  g[3] = 4.0 * std::pow(x[3] - 1.0, 3);
  g[4] = 6.0 * std::pow(x[4] - 1.0, 5);
}

void add_nonlinear_equalities(std::vector<FixedDefinition>& s) {
  s.push_back({"hs046",
               "high-order polynomial, two nonlinear equalities",
               5,
               2,
               {0, 0},
               {},
               {},
               {0.5 * std::sqrt(2.0), 1.75, 0.5, 2.0, 2.0},
               "0.0",
               fill(5, 1.0),
               hs046_objective,
               hs046_gradient,
               [](const double* x, double* c) {
                 c[0] = x[0] * x[0] * x[3] + std::sin(x[3] - x[4]) - 1.0;
                 c[1] = x[1] + std::pow(x[2], 4) * x[3] * x[3] - 2.0;
               },
               hs046_hs077_jacobian});
  s.push_back({"hs047",
               "polynomial, three nonlinear equalities",
               5,
               3,
               {0, 0, 0},
               {},
               {},
               {2.0, std::sqrt(2.0), -1.0, 2.0 - std::sqrt(2.0), 0.5},
               "0.0",
               fill(5, 1.0),
               [](const double* x) {
                 return std::pow(x[0] - x[1], 2) + std::pow(x[1] - x[2], 3) + std::pow(x[2] - x[3], 4) +
                        std::pow(x[3] - x[4], 4);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - x[1]);
                 g[1] = -2.0 * (x[0] - x[1]) + 3.0 * std::pow(x[1] - x[2], 2);
                 g[2] = -3.0 * std::pow(x[1] - x[2], 2) + 4.0 * std::pow(x[2] - x[3], 3);
                 g[3] = -4.0 * std::pow(x[2] - x[3], 3) + 4.0 * std::pow(x[3] - x[4], 3);
                 g[4] = -4.0 * std::pow(x[3] - x[4], 3);
               },
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] * x[1] + std::pow(x[2], 3) - 3.0;
                 c[1] = x[1] - x[2] * x[2] + x[3] - 1.0;
                 c[2] = x[0] * x[4] - 1.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0 * x[1];
                 a(0, 2) = 3.0 * x[2] * x[2];
                 a(1, 1) = 1.0;
                 a(1, 2) = -2.0 * x[2];
                 a(1, 3) = 1.0;
                 a(2, 0) = x[4];
                 a(2, 4) = x[0];
               }});
}

void add_linear_equalities(std::vector<FixedDefinition>& s) {
  s.push_back({"hs048",
               "convex quadratic, two linear equalities",
               5,
               2,
               {0, 0},
               {},
               {},
               {3.0, 5.0, -3.0, 2.0, -2.0},
               "0.0",
               fill(5, 1.0),
               [](const double* x) {
                 return std::pow(x[0] - 1.0, 2) + std::pow(x[1] - x[2], 2) + std::pow(x[3] - x[4], 2);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 1.0);
                 g[1] = 2.0 * (x[1] - x[2]);
                 g[2] = -2.0 * (x[1] - x[2]);
                 g[3] = 2.0 * (x[3] - x[4]);
                 g[4] = -2.0 * (x[3] - x[4]);
               },
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] + x[2] + x[3] + x[4] - 5.0;
                 c[1] = x[2] - 2.0 * (x[3] + x[4]) + 3.0;
               },
               [](const double*, JacobianView a) {
                 for (int i = 0; i < 5; ++i) a(0, i) = 1.0;
                 a(1, 2) = 1.0;
                 a(1, 3) = -2.0;
                 a(1, 4) = -2.0;
               }});
  s.push_back({"hs049",
               "high-order polynomial, two linear equalities",
               5,
               2,
               {0, 0},
               {},
               {},
               {10.0, 7.0, 2.0, -3.0, 0.8},
               "0.0",
               fill(5, 1.0),
               hs046_objective,
               hs046_gradient,
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] + x[2] + 4.0 * x[3] - 7.0;
                 c[1] = x[2] + 5.0 * x[4] - 6.0;
               },
               [](const double*, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 1.0;
                 a(0, 2) = 1.0;
                 a(0, 3) = 4.0;
                 a(1, 2) = 1.0;
                 a(1, 4) = 5.0;
               }});
  s.push_back({"hs050",
               "polynomial, three linear equalities",
               5,
               3,
               {0, 0, 0},
               {},
               {},
               {35.0, -31.0, 11.0, 5.0, -5.0},
               "0.0",
               fill(5, 1.0),
               [](const double* x) {
                 return std::pow(x[0] - x[1], 2) + std::pow(x[1] - x[2], 2) + std::pow(x[2] - x[3], 4) +
                        std::pow(x[3] - x[4], 2);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - x[1]);
                 g[1] = -2.0 * (x[0] - x[1]) + 2.0 * (x[1] - x[2]);
                 g[2] = -2.0 * (x[1] - x[2]) + 4.0 * std::pow(x[2] - x[3], 3);
                 g[3] = -4.0 * std::pow(x[2] - x[3], 3) + 2.0 * (x[3] - x[4]);
                 g[4] = -2.0 * (x[3] - x[4]);
               },
               [](const double* x, double* c) {
                 for (int j = 0; j < 3; ++j) c[j] = x[j] + 2.0 * x[j + 1] + 3.0 * x[j + 2] - 6.0;
               },
               [](const double*, JacobianView a) {
                 for (int j = 0; j < 3; ++j) {
                   a(j, j) = 1.0;
                   a(j, j + 1) = 2.0;
                   a(j, j + 2) = 3.0;
                 }
               }});
  s.push_back({"hs051",
               "convex quadratic, three linear equalities",
               5,
               3,
               {0, 0, 0},
               {},
               {},
               {2.5, 0.5, 2.0, -1.0, 0.5},
               "0.0",
               fill(5, 1.0),
               hs051_objective,
               hs051_gradient,
               [](const double* x, double* c) {
                 c[0] = x[0] + 3.0 * x[1] - 4.0;
                 c[1] = x[2] + x[3] - 2.0 * x[4];
                 c[2] = x[1] - x[4];
               },
               hs052_jacobian});
  s.push_back({"hs052",
               "convex quadratic, three linear equalities",
               5,
               3,
               {0, 0, 0},
               {},
               {},
               fill(5, 2.0),
               "5.3266476",
               {-33.0 / 349.0, 11.0 / 349.0, 180.0 / 349.0, -158.0 / 349.0, 11.0 / 349.0},
               hs052_objective,
               hs052_gradient,
               hs052_constraints,
               hs052_jacobian});
  s.push_back({"hs053",
               "convex quadratic, three linear equalities, box bounds",
               5,
               3,
               {0, 0, 0},
               fill(5, -10.0),
               fill(5, 10.0),
               fill(5, 2.0),
               "4.0930233",
               {-33.0 / 43.0, 11.0 / 43.0, 27.0 / 43.0, -5.0 / 43.0, 11.0 / 43.0},
               hs051_objective,
               hs051_gradient,
               hs052_constraints,
               hs052_jacobian});
}

void add_degenerate_and_trigonometric(std::vector<FixedDefinition>& s) {
  s.push_back({"hs055",
               "exponential, six linear equalities of rank five (degenerate)",
               6,
               6,
               fill_kinds(6, 0),
               fill(6, 0.0),
               {1.0, kInf, kInf, 1.0, kInf, kInf},
               {1.0, 2.0, 0.0, 0.0, 0.0, 2.0},
               "6.3333333",
               {0.0, 4.0 / 3.0, 5.0 / 3.0, 1.0, 2.0 / 3.0, 1.0 / 3.0},
               [](const double* x) { return x[0] + 2.0 * x[1] + 4.0 * x[4] + std::exp(x[0] * x[3]); },
               [](const double* x, double* g) {
                 const double e = std::exp(x[0] * x[3]);
                 g[0] = 1.0 + x[3] * e;
                 g[1] = 2.0;
                 g[3] = x[0] * e;
                 g[4] = 4.0;
               },
               [](const double* x, double* c) {
                 c[0] = x[0] + 2.0 * x[1] + 5.0 * x[4] - 6.0;
                 c[1] = x[0] + x[1] + x[2] - 3.0;
                 c[2] = x[3] + x[4] + x[5] - 2.0;
                 c[3] = x[0] + x[3] - 1.0;
                 c[4] = x[1] + x[4] - 2.0;
                 c[5] = x[2] + x[5] - 2.0;
               },
               [](const double*, JacobianView a) {
                 a(0, 0) = 1.0;
                 a(0, 1) = 2.0;
                 a(0, 4) = 5.0;
                 a(1, 0) = a(1, 1) = a(1, 2) = 1.0;
                 a(2, 3) = a(2, 4) = a(2, 5) = 1.0;
                 a(3, 0) = a(3, 3) = 1.0;
                 a(4, 1) = a(4, 4) = 1.0;
                 a(5, 2) = a(5, 5) = 1.0;
               }});
  const double a0 = std::asin(std::sqrt(1.0 / 4.2));
  const double b0 = std::asin(std::sqrt(5.0 / 7.2));
  const double a4 = std::asin(std::sqrt(4.0 / 7.0));
  const double a2 = std::asin(std::sqrt(2.0 / 7.0));
  s.push_back({"hs056",
               "product of three, four trigonometric equalities",
               7,
               4,
               fill_kinds(4, 0),
               {},
               {},
               {1.0, 1.0, 1.0, a0, a0, a0, b0},
               "-3.456",
               {2.4, 1.2, 1.2, a4, a2, a2, 2.0 * std::atan(1.0)},
               [](const double* x) { return -x[0] * x[1] * x[2]; },
               [](const double* x, double* g) {
                 g[0] = -x[1] * x[2];
                 g[1] = -x[0] * x[2];
                 g[2] = -x[0] * x[1];
               },
               [](const double* x, double* c) {
                 for (int k = 0; k < 3; ++k) c[k] = x[k] - 4.2 * std::pow(std::sin(x[k + 3]), 2);
                 c[3] = x[0] + 2.0 * x[1] + 2.0 * x[2] - 7.2 * std::pow(std::sin(x[6]), 2);
               },
               [](const double* x, JacobianView a) {
                 for (int k = 0; k < 3; ++k) {
                   a(k, k) = 1.0;
                   a(k, k + 3) = -8.4 * std::sin(x[k + 3]) * std::cos(x[k + 3]);
                 }
                 a(3, 0) = 1.0;
                 a(3, 1) = 2.0;
                 a(3, 2) = 2.0;
                 a(3, 6) = -14.4 * std::sin(x[6]) * std::cos(x[6]);
               }});
}

// hs062's objective: -32.174 sum_k w_k ln(A_k / B_k), each ratio a tray of a distillation column.
double hs062_objective(const double* x) {
  const double a1 = x[0] + x[1] + x[2] + 0.03, b1 = 0.09 * x[0] + x[1] + x[2] + 0.03;
  const double a2 = x[1] + x[2] + 0.03, b2 = 0.07 * x[1] + x[2] + 0.03;
  const double a3 = x[2] + 0.03, b3 = 0.13 * x[2] + 0.03;
  return -32.174 * (255.0 * std::log(a1 / b1) + 280.0 * std::log(a2 / b2) + 290.0 * std::log(a3 / b3));
}
void hs062_gradient(const double* x, double* g) {
  const double a1 = x[0] + x[1] + x[2] + 0.03, b1 = 0.09 * x[0] + x[1] + x[2] + 0.03;
  const double a2 = x[1] + x[2] + 0.03, b2 = 0.07 * x[1] + x[2] + 0.03;
  const double a3 = x[2] + 0.03, b3 = 0.13 * x[2] + 0.03;
  const double t1 = 255.0 * (1.0 / a1 - 1.0 / b1);
  const double t2 = 280.0 * (1.0 / a2 - 1.0 / b2);
  g[0] = -32.174 * 255.0 * (1.0 / a1 - 0.09 / b1);
  g[1] = -32.174 * (t1 + 280.0 * (1.0 / a2 - 0.07 / b2));
  g[2] = -32.174 * (t1 + t2 + 290.0 * (1.0 / a3 - 0.13 / b3));
}

// The exponential chain x2 >= exp(x1), x3 >= exp(x2) of hs066.
void hs066_constraints(const double* x, double* c) {
  c[0] = x[1] - std::exp(x[0]);
  c[1] = x[2] - std::exp(x[1]);
}
void hs066_jacobian(const double* x, JacobianView a) {
  a(0, 0) = -std::exp(x[0]);
  a(0, 1) = 1.0;
  a(1, 1) = -std::exp(x[1]);
  a(1, 2) = 1.0;
}

void add_three_variable_problems(std::vector<FixedDefinition>& s) {
  s.push_back({"hs060",
               "polynomial, one nonlinear equality, box bounds",
               3,
               1,
               {0},
               fill(3, -10.0),
               fill(3, 10.0),
               fill(3, 2.0),
               "0.0325682",
               {1.104859024, 1.196674194, 1.535262257},
               [](const double* x) {
                 return std::pow(x[0] - 1.0, 2) + std::pow(x[0] - x[1], 2) + std::pow(x[1] - x[2], 4);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 1.0) + 2.0 * (x[0] - x[1]);
                 g[1] = -2.0 * (x[0] - x[1]) + 4.0 * std::pow(x[1] - x[2], 3);
                 g[2] = -4.0 * std::pow(x[1] - x[2], 3);
               },
               [](const double* x, double* c) {
                 c[0] = x[0] * (1.0 + x[1] * x[1]) + std::pow(x[2], 4) - 4.0 - 3.0 * std::sqrt(2.0);
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0 + x[1] * x[1];
                 a(0, 1) = 2.0 * x[0] * x[1];
                 a(0, 2) = 4.0 * std::pow(x[2], 3);
               }});
  const double x61 = 5.32677016;
  s.push_back({"hs061",
               "convex quadratic, two nonlinear equalities",
               3,
               2,
               {0, 0},
               {},
               {},
               fill(3, 0.0),
               "-143.64614",
               {x61, -std::sqrt((3.0 * x61 - 7.0) / 2.0), std::sqrt(4.0 * x61 - 11.0)},
               [](const double* x) {
                 return 4.0 * x[0] * x[0] + 2.0 * x[1] * x[1] + 2.0 * x[2] * x[2] - 33.0 * x[0] +
                        16.0 * x[1] - 24.0 * x[2];
               },
               [](const double* x, double* g) {
                 g[0] = 8.0 * x[0] - 33.0;
                 g[1] = 4.0 * x[1] + 16.0;
                 g[2] = 4.0 * x[2] - 24.0;
               },
               [](const double* x, double* c) {
                 c[0] = 3.0 * x[0] - 2.0 * x[1] * x[1] - 7.0;
                 c[1] = 4.0 * x[0] - x[2] * x[2] - 11.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 3.0;
                 a(0, 1) = -4.0 * x[1];
                 a(1, 0) = 4.0;
                 a(1, 2) = -2.0 * x[2];
               }});
  s.push_back({"hs062",
               "logarithmic (distillation), one linear equality, bounds",
               3,
               1,
               {0},
               fill(3, 0.0),
               fill(3, 1.0),
               {0.7, 0.2, 0.1},
               "-26272.514",
               {0.6178126908, 0.328202223, 0.05398508606},
               hs062_objective,
               hs062_gradient,
               [](const double* x, double* c) { c[0] = x[0] + x[1] + x[2] - 1.0; },
               [](const double*, JacobianView a) { a(0, 0) = a(0, 1) = a(0, 2) = 1.0; }});
  s.push_back({"hs063",
               "nonconvex quadratic, linear and sphere equalities, bounds",
               3,
               2,
               {0, 0},
               fill(3, 0.0),
               {},
               fill(3, 2.0),
               "961.71517",
               {3.512118414, 0.2169881741, 3.552174034},
               [](const double* x) {
                 return 1000.0 - x[0] * x[0] - 2.0 * x[1] * x[1] - x[2] * x[2] - x[0] * x[1] - x[0] * x[2];
               },
               [](const double* x, double* g) {
                 g[0] = -2.0 * x[0] - x[1] - x[2];
                 g[1] = -4.0 * x[1] - x[0];
                 g[2] = -2.0 * x[2] - x[0];
               },
               [](const double* x, double* c) {
                 c[0] = 8.0 * x[0] + 14.0 * x[1] + 7.0 * x[2] - 56.0;
                 c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] - 25.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 8.0;
                 a(0, 1) = 14.0;
                 a(0, 2) = 7.0;
                 a(1, 0) = 2.0 * x[0];
                 a(1, 1) = 2.0 * x[1];
                 a(1, 2) = 2.0 * x[2];
               }});
  s.push_back({"hs064",
               "rational (posynomial), one inequality (<= form), bounds",
               3,
               1,
               {-1},
               fill(3, 1e-5),
               {},
               fill(3, 1.0),
               "6299.8424",
               {108.7347175, 85.12613942, 204.3247078},
               [](const double* x) {
                 return 5.0 * x[0] + 50000.0 / x[0] + 20.0 * x[1] + 72000.0 / x[1] + 10.0 * x[2] +
                        144000.0 / x[2];
               },
               [](const double* x, double* g) {
                 g[0] = 5.0 - 50000.0 / (x[0] * x[0]);
                 g[1] = 20.0 - 72000.0 / (x[1] * x[1]);
                 g[2] = 10.0 - 144000.0 / (x[2] * x[2]);
               },
               [](const double* x, double* c) { c[0] = 4.0 / x[0] + 32.0 / x[1] + 120.0 / x[2] - 1.0; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -4.0 / (x[0] * x[0]);
                 a(0, 1) = -32.0 / (x[1] * x[1]);
                 a(0, 2) = -120.0 / (x[2] * x[2]);
               }});
  s.push_back({"hs065",
               "convex quadratic, sphere inequality, start outside the bounds",
               3,
               1,
               {1},
               {-4.5, -4.5, -5.0},
               {4.5, 4.5, 5.0},
               {-5.0, 5.0, 0.0},
               "0.95352886",
               {3.650461821, 3.65046168, 4.6204170507},
               [](const double* x) {
                 return std::pow(x[0] - x[1], 2) + std::pow(x[0] + x[1] - 10.0, 2) / 9.0 +
                        std::pow(x[2] - 5.0, 2);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - x[1]) + 2.0 * (x[0] + x[1] - 10.0) / 9.0;
                 g[1] = -2.0 * (x[0] - x[1]) + 2.0 * (x[0] + x[1] - 10.0) / 9.0;
                 g[2] = 2.0 * (x[2] - 5.0);
               },
               [](const double* x, double* c) { c[0] = 48.0 - x[0] * x[0] - x[1] * x[1] - x[2] * x[2]; },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -2.0 * x[0];
                 a(0, 1) = -2.0 * x[1];
                 a(0, 2) = -2.0 * x[2];
               }});
  s.push_back({"hs066",
               "linear objective, exponential inequalities, bounds",
               3,
               2,
               {1, 1},
               fill(3, 0.0),
               {100.0, 100.0, 10.0},
               {0.0, 1.05, 2.9},
               "0.51816327",
               {0.1841264879, 1.202167873, 3.327322322},
               [](const double* x) { return 0.2 * x[2] - 0.8 * x[0]; },
               [](const double*, double* g) {
                 g[0] = -0.8;
                 g[2] = 0.2;
               },
               hs066_constraints,
               hs066_jacobian});
}

}  // namespace

void add_hs046_to_hs066(std::vector<FixedDefinition>& definitions) {
  add_nonlinear_equalities(definitions);
  add_linear_equalities(definitions);
  add_degenerate_and_trigonometric(definitions);
  add_three_variable_problems(definitions);
}

// hs046 and hs077 share their constraint functions up to the constants, hence their Jacobian.
void hs046_hs077_jacobian(const double* x, JacobianView a) {
  a(0, 0) = 2.0 * x[0] * x[3];
  a(0, 3) = x[0] * x[0] + std::cos(x[3] - x[4]);
  a(0, 4) = -std::cos(x[3] - x[4]);
  a(1, 1) = 1.0;
  a(1, 2) = 4.0 * std::pow(x[2], 3) * x[3] * x[3];
  a(1, 3) = 2.0 * std::pow(x[2], 4) * x[3];
}

}  // namespace talvir::problems
