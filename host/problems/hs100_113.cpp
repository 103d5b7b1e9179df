// Hock-Schittkowski problems 100 to 113: the larger ones of the collection, seven to ten variables.
// Polynomial inequalities (100), a signomial design problem with fractional powers (104), a badly
// scaled heat-exchanger design (106), a nonconvex geometry problem with thirteen inequalities (108),
// logarithmic bounds-only (110), chemical equilibrium in two formulations (111, 112) and Wong's
// quadratic problem with eight inequalities (113). Appends the records to `definitions`.
//
// hs104 keeps its objective inside a range with two inequalities whose gradients are the objective's.
// hs111 is hs112 in exponential variables (y = exp(x)). hs112's solution point is the one of hs111
// taken through y = exp(x), to ten digits, from the stationarity conditions
// c_i + ln(y_i / sum y) = sum_j lambda_j A_ji with the three atom balances.
#include "host/problems/hs_definition.h"

namespace talvir::problems {
namespace {

void add_hs100(std::vector<FixedDefinition>& s) {
  s.push_back({"hs100",
               "polynomial, four polynomial inequalities",
               7,
               4,
               fill_kinds(4, 1),
               {},
               {},
               {1.0, 2.0, 0.0, 4.0, 0.0, 1.0, 1.0},
               "680.63006",
               {2.330499, 1.951372, -0.4775414, 4.365726, -0.6244870, 1.038131, 1.594227},
               [](const double* x) {
                 return std::pow(x[0] - 10.0, 2) + 5.0 * std::pow(x[1] - 12.0, 2) + std::pow(x[2], 4) +
                        3.0 * std::pow(x[3] - 11.0, 2) + 10.0 * std::pow(x[4], 6) + 7.0 * x[5] * x[5] +
                        std::pow(x[6], 4) - 4.0 * x[5] * x[6] - 10.0 * x[5] - 8.0 * x[6];
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 10.0);
                 g[1] = 10.0 * (x[1] - 12.0);
                 g[2] = 4.0 * std::pow(x[2], 3);
                 g[3] = 6.0 * (x[3] - 11.0);
                 g[4] = 60.0 * std::pow(x[4], 5);
                 g[5] = 14.0 * x[5] - 4.0 * x[6] - 10.0;
                 g[6] = 4.0 * std::pow(x[6], 3) - 4.0 * x[5] - 8.0;
               },
               [](const double* x, double* c) {
                 c[0] = 127.0 - 2.0 * x[0] * x[0] - 3.0 * std::pow(x[1], 4) - x[2] - 4.0 * x[3] * x[3] -
                        5.0 * x[4];
                 c[1] = 282.0 - 7.0 * x[0] - 3.0 * x[1] - 10.0 * x[2] * x[2] - x[3] + x[4];
                 c[2] = 196.0 - 23.0 * x[0] - x[1] * x[1] - 6.0 * x[5] * x[5] + 8.0 * x[6];
                 c[3] = -4.0 * x[0] * x[0] - x[1] * x[1] + 3.0 * x[0] * x[1] - 2.0 * x[2] * x[2] -
                        5.0 * x[5] + 11.0 * x[6];
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -4.0 * x[0];
                 a(0, 1) = -12.0 * std::pow(x[1], 3);
                 a(0, 2) = -1.0;
                 a(0, 3) = -8.0 * x[3];
                 a(0, 4) = -5.0;
                 a(1, 0) = -7.0;
                 a(1, 1) = -3.0;
                 a(1, 2) = -20.0 * x[2];
                 a(1, 3) = -1.0;
                 a(1, 4) = 1.0;
                 a(2, 0) = -23.0;
                 a(2, 1) = -2.0 * x[1];
                 a(2, 5) = -12.0 * x[5];
                 a(2, 6) = 8.0;
                 a(3, 0) = -8.0 * x[0] + 3.0 * x[1];
                 a(3, 1) = -2.0 * x[1] + 3.0 * x[0];
                 a(3, 2) = -4.0 * x[2];
                 a(3, 5) = -5.0;
                 a(3, 6) = 11.0;
               }});
}

double hs104_objective(const double* x) {
  return 0.4 * std::pow(x[0], 0.67) * std::pow(x[6], -0.67) +
         0.4 * std::pow(x[1], 0.67) * std::pow(x[7], -0.67) + 10.0 - x[0] - x[1];
}
void hs104_gradient(const double* x, double* g) {
  g[0] = 0.268 * std::pow(x[0], -0.33) * std::pow(x[6], -0.67) - 1.0;
  g[1] = 0.268 * std::pow(x[1], -0.33) * std::pow(x[7], -0.67) - 1.0;
  g[6] = -0.268 * std::pow(x[0], 0.67) * std::pow(x[6], -1.67);
  g[7] = -0.268 * std::pow(x[1], 0.67) * std::pow(x[7], -1.67);
}

// One of hs104's two "reactor" inequalities in variables (t, s, u) = (x3, x5, x7) or (x4, x6, x8).
double reactor(double t, double s, double u) {
  return 1.0 - 4.0 * t / s - 2.0 * std::pow(t, -0.71) / s - 0.0588 * std::pow(t, -1.3) * u;
}
void reactor_gradient(double t, double s, double u, double* dt, double* ds, double* du) {
  *dt = -4.0 / s + 1.42 * std::pow(t, -1.71) / s + 0.07644 * std::pow(t, -2.3) * u;
  *ds = 4.0 * t / (s * s) + 2.0 * std::pow(t, -0.71) / (s * s);
  *du = -0.0588 * std::pow(t, -1.3);
}

void add_hs104(std::vector<FixedDefinition>& s) {
  s.push_back({"hs104",
               "signomial (reactor design), fractional powers, bounds",
               8,
               6,
               fill_kinds(6, 1),
               fill(8, 0.1),
               fill(8, 10.0),
               {6.0, 3.0, 0.4, 0.2, 6.0, 6.0, 1.0, 0.5},
               "3.9511634",
               {6.465114, 2.232709, 0.6673975, 0.5957564, 5.932676, 5.527235, 1.013322, 0.4006682},
               hs104_objective,
               hs104_gradient,
               [](const double* x, double* c) {
                 c[0] = 1.0 - 0.0588 * x[4] * x[6] - 0.1 * x[0];
                 c[1] = 1.0 - 0.0588 * x[5] * x[7] - 0.1 * x[0] - 0.1 * x[1];
                 c[2] = reactor(x[2], x[4], x[6]);
                 c[3] = reactor(x[3], x[5], x[7]);
                 const double f = hs104_objective(x);
                 c[4] = f - 1.0;
                 c[5] = 4.2 - f;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = -0.1;
                 a(0, 4) = -0.0588 * x[6];
                 a(0, 6) = -0.0588 * x[4];
                 a(1, 0) = -0.1;
                 a(1, 1) = -0.1;
                 a(1, 5) = -0.0588 * x[7];
                 a(1, 7) = -0.0588 * x[5];
                 reactor_gradient(x[2], x[4], x[6], &a(2, 2), &a(2, 4), &a(2, 6));
                 reactor_gradient(x[3], x[5], x[7], &a(3, 3), &a(3, 5), &a(3, 7));
                 double g[8] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
                 hs104_gradient(x, g);
                 for (int i = 0; i < 8; ++i) {
                   a(4, i) = g[i];
                   a(5, i) = -g[i];
                 }
               }});
}

void add_hs106(std::vector<FixedDefinition>& s) {
  s.push_back({"hs106",
               "heat exchanger design: linear objective, bilinear inequalities, badly scaled",
               8,
               6,
               fill_kinds(6, 1),
               {100.0, 1000.0, 1000.0, 10.0, 10.0, 10.0, 10.0, 10.0},
               {10000.0, 10000.0, 10000.0, 1000.0, 1000.0, 1000.0, 1000.0, 1000.0},
               {5000.0, 5000.0, 5000.0, 200.0, 350.0, 150.0, 225.0, 425.0},
               "7049.3309",
               {579.3167, 1359.943, 5110.071, 182.0174, 295.5985, 217.9799, 286.4162, 395.5979},
               [](const double* x) { return x[0] + x[1] + x[2]; },
               [](const double*, double* g) { g[0] = g[1] = g[2] = 1.0; },
               [](const double* x, double* c) {
                 c[0] = 1.0 - 0.0025 * (x[3] + x[5]);
                 c[1] = 1.0 - 0.0025 * (x[4] + x[6] - x[3]);
                 c[2] = 1.0 - 0.01 * (x[7] - x[4]);
                 c[3] = x[0] * x[5] - 833.33252 * x[3] - 100.0 * x[0] + 83333.333;
                 c[4] = x[1] * x[6] - 1250.0 * x[4] - x[1] * x[3] + 1250.0 * x[3];
                 c[5] = x[2] * x[7] - 1250000.0 - x[2] * x[4] + 2500.0 * x[4];
               },
               [](const double* x, JacobianView a) {
                 a(0, 3) = a(0, 5) = -0.0025;
                 a(1, 3) = 0.0025;
                 a(1, 4) = a(1, 6) = -0.0025;
                 a(2, 4) = 0.01;
                 a(2, 7) = -0.01;
                 a(3, 0) = x[5] - 100.0;
                 a(3, 3) = -833.33252;
                 a(3, 5) = x[0];
                 a(4, 1) = x[6] - x[3];
                 a(4, 3) = -x[1] + 1250.0;
                 a(4, 4) = -1250.0;
                 a(4, 6) = x[1];
                 a(5, 2) = x[7] - x[4];
                 a(5, 4) = -x[2] + 2500.0;
                 a(5, 7) = x[2];
               }});
}

// hs108: -(area of a hexagon)/2 over nine coordinates; thirteen inequalities keep the vertices
// within unit distances and the orientation positive.
double hs108_objective(const double* x) {
  return -0.5 * (x[0] * x[3] - x[1] * x[2] + x[2] * x[8] - x[4] * x[8] + x[4] * x[7] - x[5] * x[6]);
}
void hs108_gradient(const double* x, double* g) {
  g[0] = -0.5 * x[3];
  g[1] = 0.5 * x[2];
  g[2] = -0.5 * (-x[1] + x[8]);
  g[3] = -0.5 * x[0];
  g[4] = -0.5 * (-x[8] + x[7]);
  g[5] = 0.5 * x[6];
  g[6] = 0.5 * x[5];
  g[7] = -0.5 * x[4];
  g[8] = -0.5 * (x[2] - x[4]);
}
// 1 - (x_p - x_q)^2 - (x_r - x_s)^2 in row j, with q or s = -1 meaning "minus zero".
void distance_row(const double* x, int j, int p, int q, int r, int s, double* c, JacobianView* a) {
  const double u = x[p] - (q >= 0 ? x[q] : 0.0);
  const double v = x[r] - (s >= 0 ? x[s] : 0.0);
  if (c != nullptr) c[j] = 1.0 - u * u - v * v;
  if (a == nullptr) return;
  (*a)(j, p) += -2.0 * u;
  if (q >= 0) (*a)(j, q) += 2.0 * u;
  (*a)(j, r) += -2.0 * v;
  if (s >= 0) (*a)(j, s) += 2.0 * v;
}
// The nine distance inequalities, as (p, q, r, s) for 1 - (x_p - x_q)^2 - (x_r - x_s)^2.
constexpr int kHs108Distances[9][4] = {{2, -1, 3, -1}, {8, -1, 8, -1}, {4, -1, 5, -1},
                                       {0, -1, 1, 8},  {0, 4, 1, 5},   {0, 6, 1, 7},
                                       {2, 4, 3, 5},   {2, 6, 3, 7},   {6, -1, 7, 8}};
void hs108_constraints(const double* x, double* c) {
  for (int j = 0; j < 9; ++j) {
    const int* d = kHs108Distances[j];
    if (j == 1) {
      c[j] = 1.0 - x[8] * x[8];  // a single square: 1 - x9^2
    } else {
      distance_row(x, j, d[0], d[1], d[2], d[3], c, nullptr);
    }
  }
  c[9] = x[0] * x[3] - x[1] * x[2];
  c[10] = x[2] * x[8];
  c[11] = -x[4] * x[8];
  c[12] = x[4] * x[7] - x[5] * x[6];
}
void hs108_jacobian(const double* x, JacobianView a) {
  for (int j = 0; j < 9; ++j) {
    const int* d = kHs108Distances[j];
    if (j == 1) {
      a(1, 8) = -2.0 * x[8];
    } else {
      distance_row(x, j, d[0], d[1], d[2], d[3], nullptr, &a);
    }
  }
  a(9, 0) = x[3];
  a(9, 3) = x[0];
  a(9, 1) = -x[2];
  a(9, 2) = -x[1];
  a(10, 2) = x[8];
  a(10, 8) = x[2];
  a(11, 4) = -x[8];
  a(11, 8) = -x[4];
  a(12, 4) = x[7];
  a(12, 7) = x[4];
  a(12, 5) = -x[6];
  a(12, 6) = -x[5];
}

void add_hs108_hs110(std::vector<FixedDefinition>& s) {
  std::vector<double> lower108 = fill(9, -kInf);
  lower108[8] = 0.0;
  s.push_back(
      {"hs108",
       "largest hexagon of unit diameter: bilinear, thirteen quadratic inequalities",
       9,
       13,
       fill_kinds(13, 1),
       lower108,
       {},
       fill(9, 1.0),
       "-0.8660254",
       {0.8841292, 0.4672425, 0.03742076, 0.9992996, 0.8841292, 0.4672424, 0.03742076, 0.9992996, 0.0},
       hs108_objective,
       hs108_gradient,
       hs108_constraints,
       hs108_jacobian});
  s.push_back({"hs110",
               "logarithmic barrier-like terms and a product, bounds only",
               10,
               0,
               {},
               fill(10, 2.001),
               fill(10, 9.999),
               fill(10, 9.0),
               "-45.77847",
               fill(10, 9.35025655),
               [](const double* x) {
                 double sum = 0.0;
                 double prod = 1.0;
                 for (int i = 0; i < 10; ++i) {
                   sum += std::pow(std::log(x[i] - 2.0), 2) + std::pow(std::log(10.0 - x[i]), 2);
                   prod *= x[i];
                 }
                 return sum - std::pow(prod, 0.2);
               },
               [](const double* x, double* g) {
                 double prod = 1.0;
                 for (int i = 0; i < 10; ++i) prod *= x[i];
                 const double p02 = std::pow(prod, 0.2);
                 for (int i = 0; i < 10; ++i) {
                   g[i] = 2.0 * std::log(x[i] - 2.0) / (x[i] - 2.0) -
                          2.0 * std::log(10.0 - x[i]) / (10.0 - x[i]) - 0.2 * p02 / x[i];
                 }
               },
               nullptr,
               nullptr});
}

// Free energies of the ten species of the chemical equilibrium problems hs111 and hs112.
constexpr double kGibbs[10] = {-6.089,  -17.164, -34.054, -5.914,  -24.721,
                               -14.986, -24.1,   -10.708, -26.662, -22.179};
// Atom balances: rows of the element-species matrix (hydrogen, nitrogen, oxygen), right-hand sides.
constexpr double kBalance[3][10] = {
    {1, 2, 2, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0, 1, 2, 1, 1, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 1, 1, 2, 1}};
constexpr double kBalanceRhs[3] = {2.0, 1.0, 1.0};

void add_chemical_equilibrium(std::vector<FixedDefinition>& s) {
  s.push_back({"hs111",
               "chemical equilibrium in exponential variables, three equalities, bounds",
               10,
               3,
               fill_kinds(3, 0),
               fill(10, -100.0),
               fill(10, 100.0),
               fill(10, -2.3),
               "-47.76109",
               {-3.201212, -1.912060, -0.2444413, -6.537489, -0.7231524, -7.267738, -3.596711, -4.017769,
                -3.287462, -2.335582},
               [](const double* x) {
                 double total = 0.0;
                 for (int i = 0; i < 10; ++i) total += std::exp(x[i]);
                 double f = 0.0;
                 for (int i = 0; i < 10; ++i) f += std::exp(x[i]) * (kGibbs[i] + x[i] - std::log(total));
                 return f;
               },
               [](const double* x, double* g) {
                 double total = 0.0;
                 for (int i = 0; i < 10; ++i) total += std::exp(x[i]);
                 // The derivative of the log-sum term cancels the "+1" of d/dx (x e^x).
                 for (int i = 0; i < 10; ++i) g[i] = std::exp(x[i]) * (kGibbs[i] + x[i] - std::log(total));
               },
               [](const double* x, double* c) {
                 for (int j = 0; j < 3; ++j) {
                   c[j] = -kBalanceRhs[j];
                   for (int i = 0; i < 10; ++i) c[j] += kBalance[j][i] * std::exp(x[i]);
                 }
               },
               [](const double* x, JacobianView a) {
                 for (int j = 0; j < 3; ++j) {
                   for (int i = 0; i < 10; ++i) a(j, i) = kBalance[j][i] * std::exp(x[i]);
                 }
               }});
  s.push_back({"hs112",
               "chemical equilibrium: entropy-like objective, three linear equalities",
               10,
               3,
               fill_kinds(3, 0),
               fill(10, 1e-6),
               {},
               fill(10, 0.1),
               "-47.761086",
               {0.04066808736, 0.1477303543, 0.7831533540, 0.001414219809, 0.4852466487, 0.0006931720784,
                0.02739931071, 0.01794727958, 0.03731436591, 0.09687132387},
               [](const double* x) {
                 double total = 0.0;
                 for (int i = 0; i < 10; ++i) total += x[i];
                 double f = 0.0;
                 for (int i = 0; i < 10; ++i) f += x[i] * (kGibbs[i] + std::log(x[i] / total));
                 return f;
               },
               [](const double* x, double* g) {
                 double total = 0.0;
                 for (int i = 0; i < 10; ++i) total += x[i];
                 // The derivative of the sum's logarithm cancels the "+1" of d/dx (x ln x).
                 for (int i = 0; i < 10; ++i) g[i] = kGibbs[i] + std::log(x[i] / total);
               },
               [](const double* x, double* c) {
                 for (int j = 0; j < 3; ++j) {
                   c[j] = -kBalanceRhs[j];
                   for (int i = 0; i < 10; ++i) c[j] += kBalance[j][i] * x[i];
                 }
               },
               [](const double*, JacobianView a) {
                 for (int j = 0; j < 3; ++j) {
                   for (int i = 0; i < 10; ++i) a(j, i) = kBalance[j][i];
                 }
               }});
}

void add_hs113(std::vector<FixedDefinition>& s) {
  s.push_back(
      {"hs113",
       "Wong's convex quadratic, three linear and five quadratic inequalities",
       10,
       8,
       fill_kinds(8, 1),
       {},
       {},
       {2.0, 3.0, 5.0, 5.0, 1.0, 2.0, 7.0, 3.0, 6.0, 10.0},
       "24.306209",
       {2.171996, 2.363683, 8.773926, 5.095984, 0.9906548, 1.430574, 1.321644, 9.828726, 8.280092, 8.375927},
       [](const double* x) {
         return x[0] * x[0] + x[1] * x[1] + x[0] * x[1] - 14.0 * x[0] - 16.0 * x[1] +
                std::pow(x[2] - 10.0, 2) + 4.0 * std::pow(x[3] - 5.0, 2) + std::pow(x[4] - 3.0, 2) +
                2.0 * std::pow(x[5] - 1.0, 2) + 5.0 * x[6] * x[6] + 7.0 * std::pow(x[7] - 11.0, 2) +
                2.0 * std::pow(x[8] - 10.0, 2) + std::pow(x[9] - 7.0, 2) + 45.0;
       },
       [](const double* x, double* g) {
         g[0] = 2.0 * x[0] + x[1] - 14.0;
         g[1] = 2.0 * x[1] + x[0] - 16.0;
         g[2] = 2.0 * (x[2] - 10.0);
         g[3] = 8.0 * (x[3] - 5.0);
         g[4] = 2.0 * (x[4] - 3.0);
         g[5] = 4.0 * (x[5] - 1.0);
         g[6] = 10.0 * x[6];
         g[7] = 14.0 * (x[7] - 11.0);
         g[8] = 4.0 * (x[8] - 10.0);
         g[9] = 2.0 * (x[9] - 7.0);
       },
       [](const double* x, double* c) {
         c[0] = 105.0 - 4.0 * x[0] - 5.0 * x[1] + 3.0 * x[6] - 9.0 * x[7];
         c[1] = -10.0 * x[0] + 8.0 * x[1] + 17.0 * x[6] - 2.0 * x[7];
         c[2] = 8.0 * x[0] - 2.0 * x[1] - 5.0 * x[8] + 2.0 * x[9] + 12.0;
         c[3] = -3.0 * std::pow(x[0] - 2.0, 2) - 4.0 * std::pow(x[1] - 3.0, 2) - 2.0 * x[2] * x[2] +
                7.0 * x[3] + 120.0;
         c[4] = -5.0 * x[0] * x[0] - 8.0 * x[1] - std::pow(x[2] - 6.0, 2) + 2.0 * x[3] + 40.0;
         c[5] =
             -0.5 * std::pow(x[0] - 8.0, 2) - 2.0 * std::pow(x[1] - 4.0, 2) - 3.0 * x[4] * x[4] + x[5] + 30.0;
         c[6] = -x[0] * x[0] - 2.0 * std::pow(x[1] - 2.0, 2) + 2.0 * x[0] * x[1] - 14.0 * x[4] + 6.0 * x[5];
         c[7] = 3.0 * x[0] - 6.0 * x[1] - 12.0 * std::pow(x[8] - 8.0, 2) + 7.0 * x[9];
       },
       [](const double* x, JacobianView a) {
         a(0, 0) = -4.0;
         a(0, 1) = -5.0;
         a(0, 6) = 3.0;
         a(0, 7) = -9.0;
         a(1, 0) = -10.0;
         a(1, 1) = 8.0;
         a(1, 6) = 17.0;
         a(1, 7) = -2.0;
         a(2, 0) = 8.0;
         a(2, 1) = -2.0;
         a(2, 8) = -5.0;
         a(2, 9) = 2.0;
         a(3, 0) = -6.0 * (x[0] - 2.0);
         a(3, 1) = -8.0 * (x[1] - 3.0);
         a(3, 2) = -4.0 * x[2];
         a(3, 3) = 7.0;
         a(4, 0) = -10.0 * x[0];
         a(4, 1) = -8.0;
         a(4, 2) = -2.0 * (x[2] - 6.0);
         a(4, 3) = 2.0;
         a(5, 0) = -(x[0] - 8.0);
         a(5, 1) = -4.0 * (x[1] - 4.0);
         a(5, 4) = -6.0 * x[4];
         a(5, 5) = 1.0;
         a(6, 0) = -2.0 * x[0] + 2.0 * x[1];
         a(6, 1) = -4.0 * (x[1] - 2.0) + 2.0 * x[0];
         a(6, 4) = -14.0;
         a(6, 5) = 6.0;
         a(7, 0) = 3.0;
         a(7, 1) = -6.0;
         a(7, 8) = -24.0 * (x[8] - 8.0);
         a(7, 9) = 7.0;
       }});
}

}  // namespace

void add_hs100_to_hs113(std::vector<FixedDefinition>& definitions) {
  add_hs100(definitions);
  add_hs104(definitions);
  add_hs106(definitions);
  add_hs108_hs110(definitions);
  add_chemical_equilibrium(definitions);
  add_hs113(definitions);
}

}  // namespace talvir::problems
