// Hock-Schittkowski problems 71 to 83: four- and five-variable problems; mixed equality and
// inequality (71, 73), reciprocal inequalities from an infeasible start (72), trigonometric power-flow
// equalities (74, 75), a convex quadratic with linear inequalities (76), polynomial equalities
// (77-79), exponential objectives (80, 81) and Colville's quadratic inequality problem (83). Appends
// the records to `definitions`.
//
// hs076 writes two of its linear inequalities in the "c(x) <= 0" sense.
#include "host/problems/hs_definition.h"

namespace talvir::problems {
namespace {

// hs074 and hs075: the power-flow problem; `a` bounds the phase angles and the two coupling
// inequalities. Objective and equalities are shared.
double power_objective(const double* x) {
  return 3.0 * x[0] + 1e-6 * std::pow(x[0], 3) + 2.0 * x[1] + 2e-6 / 3.0 * std::pow(x[1], 3);
}
void power_gradient(const double* x, double* g) {
  g[0] = 3.0 + 3e-6 * x[0] * x[0];
  g[1] = 2.0 + 2e-6 * x[1] * x[1];
}
template <int kMilli>
void power_constraints(const double* x, double* c) {
  const double a = kMilli / 1000.0;
  c[0] = x[3] - x[2] + a;
  c[1] = x[2] - x[3] + a;
  c[2] = 1000.0 * std::sin(-x[2] - 0.25) + 1000.0 * std::sin(-x[3] - 0.25) + 894.8 - x[0];
  c[3] = 1000.0 * std::sin(x[2] - 0.25) + 1000.0 * std::sin(x[2] - x[3] - 0.25) + 894.8 - x[1];
  c[4] = 1000.0 * std::sin(x[3] - 0.25) + 1000.0 * std::sin(x[3] - x[2] - 0.25) + 1294.8;
}
void power_jacobian(const double* x, JacobianView a) {
  a(0, 2) = -1.0;
  a(0, 3) = 1.0;
  a(1, 2) = 1.0;
  a(1, 3) = -1.0;
  a(2, 0) = -1.0;
  a(2, 2) = -1000.0 * std::cos(-x[2] - 0.25);
  a(2, 3) = -1000.0 * std::cos(-x[3] - 0.25);
  a(3, 1) = -1.0;
  a(3, 2) = 1000.0 * std::cos(x[2] - 0.25) + 1000.0 * std::cos(x[2] - x[3] - 0.25);
  a(3, 3) = -1000.0 * std::cos(x[2] - x[3] - 0.25);
  a(4, 2) = -1000.0 * std::cos(x[3] - x[2] - 0.25);
  a(4, 3) = 1000.0 * std::cos(x[3] - 0.25) + 1000.0 * std::cos(x[3] - x[2] - 0.25);
}

// Product of five variables and its gradient (hs078, hs080, hs081).
double product5(const double* x) {
  return x[0] * x[1] * x[2] * x[3] * x[4];
}
void product5_gradient(const double* x, double* g) {
  for (int i = 0; i < 5; ++i) {
    g[i] = 1.0;
    for (int k = 0; k < 5; ++k) {
      if (k != i) g[i] *= x[k];
    }
  }
}
// The three equalities of hs078, hs080 and hs081.
void sphere_equalities(const double* x, double* c) {
  c[0] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] + x[4] * x[4] - 10.0;
  c[1] = x[1] * x[2] - 5.0 * x[3] * x[4];
  c[2] = std::pow(x[0], 3) + std::pow(x[1], 3) + 1.0;
}
void sphere_equalities_jacobian(const double* x, JacobianView a) {
  for (int i = 0; i < 5; ++i) a(0, i) = 2.0 * x[i];
  a(1, 1) = x[2];
  a(1, 2) = x[1];
  a(1, 3) = -5.0 * x[4];
  a(1, 4) = -5.0 * x[3];
  a(2, 0) = 3.0 * x[0] * x[0];
  a(2, 1) = 3.0 * x[1] * x[1];
}

void add_four_variable_problems(std::vector<FixedDefinition>& s) {
  s.push_back({"hs071",
               "polynomial, product inequality and sphere equality, bounds",
               4,
               2,
               {1, 0},
               fill(4, 1.0),
               fill(4, 5.0),
               {1.0, 5.0, 5.0, 1.0},
               "17.014017",
               {1.0, 4.7429994, 3.8211503, 1.3794082},
               [](const double* x) { return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]; },
               [](const double* x, double* g) {
                 g[0] = x[3] * (2.0 * x[0] + x[1] + x[2]);
                 g[1] = x[0] * x[3];
                 g[2] = x[0] * x[3] + 1.0;
                 g[3] = x[0] * (x[0] + x[1] + x[2]);
               },
               [](const double* x, double* c) {
                 c[0] = x[0] * x[1] * x[2] * x[3] - 25.0;
                 c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = x[1] * x[2] * x[3];
                 a(0, 1) = x[0] * x[2] * x[3];
                 a(0, 2) = x[0] * x[1] * x[3];
                 a(0, 3) = x[0] * x[1] * x[2];
                 for (int i = 0; i < 4; ++i) a(1, i) = 2.0 * x[i];
               }});
  s.push_back({"hs072",
               "linear objective, reciprocal inequalities, infeasible start",
               4,
               2,
               {1, 1},
               fill(4, 0.001),
               {4e5, 3e5, 2e5, 1e5},
               fill(4, 1.0),
               "727.67938",
               {193.4071084, 179.5475069, 185.0186057, 168.7062084},
               [](const double* x) { return 1.0 + x[0] + x[1] + x[2] + x[3]; },
               [](const double*, double* g) {
                 for (int i = 0; i < 4; ++i) g[i] = 1.0;
               },
               [](const double* x, double* c) {
                 c[0] = 0.0401 - 4.0 / x[0] - 2.25 / x[1] - 1.0 / x[2] - 0.25 / x[3];
                 c[1] = 0.010085 - 0.16 / x[0] - 0.36 / x[1] - 0.64 / x[2] - 0.64 / x[3];
               },
               [](const double* x, JacobianView a) {
                 const double w0[4] = {4.0, 2.25, 1.0, 0.25};
                 const double w1[4] = {0.16, 0.36, 0.64, 0.64};
                 for (int i = 0; i < 4; ++i) {
                   a(0, i) = w0[i] / (x[i] * x[i]);
                   a(1, i) = w1[i] / (x[i] * x[i]);
                 }
               }});
  s.push_back({"hs073",
               "linear objective (cattle feed), chance constraint, equality, bounds",
               4,
               3,
               {1, 1, 0},
               fill(4, 0.0),
               {},
               fill(4, 1.0),
               "29.894378",
               {0.6355216, 0.0, 0.3127019, 0.05177655},
               [](const double* x) { return 24.55 * x[0] + 26.75 * x[1] + 39.0 * x[2] + 40.50 * x[3]; },
               [](const double*, double* g) {
                 g[0] = 24.55;
                 g[1] = 26.75;
                 g[2] = 39.0;
                 g[3] = 40.50;
               },
               [](const double* x, double* c) {
                 const double q =
                     0.28 * x[0] * x[0] + 0.19 * x[1] * x[1] + 20.5 * x[2] * x[2] + 0.62 * x[3] * x[3];
                 c[0] = 2.3 * x[0] + 5.6 * x[1] + 11.1 * x[2] + 1.3 * x[3] - 5.0;
                 c[1] = 12.0 * x[0] + 11.9 * x[1] + 41.8 * x[2] + 52.1 * x[3] - 21.0 - 1.645 * std::sqrt(q);
                 c[2] = x[0] + x[1] + x[2] + x[3] - 1.0;
               },
               [](const double* x, JacobianView a) {
                 const double q =
                     0.28 * x[0] * x[0] + 0.19 * x[1] * x[1] + 20.5 * x[2] * x[2] + 0.62 * x[3] * x[3];
                 const double r = 1.645 / std::sqrt(q);
                 const double lin0[4] = {2.3, 5.6, 11.1, 1.3};
                 const double lin1[4] = {12.0, 11.9, 41.8, 52.1};
                 const double quad[4] = {0.28, 0.19, 20.5, 0.62};
                 for (int i = 0; i < 4; ++i) {
                   a(0, i) = lin0[i];
                   a(1, i) = lin1[i] - r * quad[i] * x[i];
                   a(2, i) = 1.0;
                 }
               }});
  s.push_back({"hs074",
               "power flow: cubic cost, trigonometric equalities, bounds",
               4,
               5,
               {1, 1, 0, 0, 0},
               {0.0, 0.0, -0.55, -0.55},
               {1200.0, 1200.0, 0.55, 0.55},
               fill(4, 0.0),
               "5126.4981",
               {679.9453, 1026.067, 0.1188764, -0.3962336},
               power_objective,
               power_gradient,
               power_constraints<550>,
               power_jacobian});
  s.push_back({"hs075",
               "power flow with tighter angle bounds",
               4,
               5,
               {1, 1, 0, 0, 0},
               {0.0, 0.0, -0.48, -0.48},
               {1200.0, 1200.0, 0.48, 0.48},
               fill(4, 0.0),
               "5174.4129",
               {776.1592, 925.1949, 0.05110879, -0.4288911},
               power_objective,
               power_gradient,
               power_constraints<480>,
               power_jacobian});
  s.push_back(
      {"hs076",
       "convex quadratic, three linear inequalities (two in <= form), bounds",
       4,
       3,
       {-1, -1, 1},
       fill(4, 0.0),
       {},
       fill(4, 0.5),
       "-4.6818182",
       {3.0 / 11.0, 23.0 / 11.0, 0.0, 6.0 / 11.0},
       [](const double* x) {
         return x[0] * x[0] + 0.5 * x[1] * x[1] + x[2] * x[2] + 0.5 * x[3] * x[3] - x[0] * x[2] +
                x[2] * x[3] - x[0] - 3.0 * x[1] + x[2] - x[3];
       },
       [](const double* x, double* g) {
         g[0] = 2.0 * x[0] - x[2] - 1.0;
         g[1] = x[1] - 3.0;
         g[2] = 2.0 * x[2] - x[0] + x[3] + 1.0;
         g[3] = x[3] + x[2] - 1.0;
       },
       [](const double* x, double* c) {
         c[0] = x[0] + 2.0 * x[1] + x[2] + x[3] - 5.0;
         c[1] = 3.0 * x[0] + x[1] + 2.0 * x[2] - x[3] - 4.0;
         c[2] = x[1] + 4.0 * x[2] - 1.5;
       },
       [](const double*, JacobianView a) {
         const double rows[3][4] = {{1.0, 2.0, 1.0, 1.0}, {3.0, 1.0, 2.0, -1.0}, {0.0, 1.0, 4.0, 0.0}};
         for (int j = 0; j < 3; ++j) {
           for (int i = 0; i < 4; ++i) a(j, i) = rows[j][i];
         }
       }});
}

void add_five_variable_problems(std::vector<FixedDefinition>& s) {
  s.push_back({"hs077",
               "high-order polynomial, two nonlinear equalities",
               5,
               2,
               {0, 0},
               {},
               {},
               fill(5, 2.0),
               "0.24150513",
               {1.166172, 1.182111, 1.380257, 1.506036, 0.6109203},
               [](const double* x) {
                 return std::pow(x[0] - 1.0, 2) + std::pow(x[0] - x[1], 2) + std::pow(x[2] - 1.0, 2) +
                        std::pow(x[3] - 1.0, 4) + std::pow(x[4] - 1.0, 6);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 1.0) + 2.0 * (x[0] - x[1]);
                 g[1] = -2.0 * (x[0] - x[1]);
                 g[2] = 2.0 * (x[2] - 1.0);
                 g[3] = 4.0 * std::pow(x[3] - 1.0, 3);
                 g[4] = 6.0 * std::pow(x[4] - 1.0, 5);
               },
               [](const double* x, double* c) {
                 c[0] = x[0] * x[0] * x[3] + std::sin(x[3] - x[4]) - 2.0 * std::sqrt(2.0);
                 c[1] = x[1] + std::pow(x[2], 4) * x[3] * x[3] - 8.0 - std::sqrt(2.0);
               },
               hs046_hs077_jacobian});
  s.push_back({"hs078",
               "product of five, three nonlinear equalities",
               5,
               3,
               {0, 0, 0},
               {},
               {},
               {-2.0, 1.5, 2.0, -1.0, -1.0},
               "-2.9197004",
               {-1.717142, 1.595708, 1.827248, -0.7636429, -0.7636435},
               product5,
               product5_gradient,
               sphere_equalities,
               sphere_equalities_jacobian});
  s.push_back({"hs079",
               "polynomial, three nonlinear equalities",
               5,
               3,
               {0, 0, 0},
               {},
               {},
               fill(5, 2.0),
               "0.078776821",
               {1.191127, 1.362603, 1.472818, 1.635017, 1.679081},
               [](const double* x) {
                 return std::pow(x[0] - 1.0, 2) + std::pow(x[0] - x[1], 2) + std::pow(x[1] - x[2], 2) +
                        std::pow(x[2] - x[3], 4) + std::pow(x[3] - x[4], 4);
               },
               [](const double* x, double* g) {
                 g[0] = 2.0 * (x[0] - 1.0) + 2.0 * (x[0] - x[1]);
                 g[1] = -2.0 * (x[0] - x[1]) + 2.0 * (x[1] - x[2]);
                 g[2] = -2.0 * (x[1] - x[2]) + 4.0 * std::pow(x[2] - x[3], 3);
                 g[3] = -4.0 * std::pow(x[2] - x[3], 3) + 4.0 * std::pow(x[3] - x[4], 3);
                 g[4] = -4.0 * std::pow(x[3] - x[4], 3);
               },
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] * x[1] + std::pow(x[2], 3) - 2.0 - 3.0 * std::sqrt(2.0);
                 c[1] = x[1] - x[2] * x[2] + x[3] + 2.0 - 2.0 * std::sqrt(2.0);
                 c[2] = x[0] * x[4] - 2.0;
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
  const std::vector<double> lower80 = {-2.3, -2.3, -3.2, -3.2, -3.2};
  const std::vector<double> upper80 = {2.3, 2.3, 3.2, 3.2, 3.2};
  const std::vector<double> start80 = {-2.0, 2.0, 2.0, -1.0, -1.0};
  const std::vector<double> point80 = {-1.717143, 1.595709, 1.827247, -0.7636413, -0.7636450};
  s.push_back({"hs080",
               "exponential of a product, three nonlinear equalities, bounds",
               5,
               3,
               {0, 0, 0},
               lower80,
               upper80,
               start80,
               "0.053949848",
               point80,
               [](const double* x) { return std::exp(product5(x)); },
               [](const double* x, double* g) {
                 product5_gradient(x, g);
                 const double e = std::exp(product5(x));
                 for (int i = 0; i < 5; ++i) g[i] *= e;
               },
               sphere_equalities,
               sphere_equalities_jacobian});
  s.push_back({"hs081",
               "hs080 with a penalty-like term in the objective",
               5,
               3,
               {0, 0, 0},
               lower80,
               upper80,
               start80,
               "0.053949848",
               point80,
               [](const double* x) {
                 const double t = std::pow(x[0], 3) + std::pow(x[1], 3) + 1.0;
                 return std::exp(product5(x)) - 0.5 * t * t;
               },
               [](const double* x, double* g) {
                 product5_gradient(x, g);
                 const double e = std::exp(product5(x));
                 const double t = std::pow(x[0], 3) + std::pow(x[1], 3) + 1.0;
                 for (int i = 0; i < 5; ++i) g[i] *= e;
                 g[0] -= t * 3.0 * x[0] * x[0];
                 g[1] -= t * 3.0 * x[1] * x[1];
               },
               sphere_equalities,
               sphere_equalities_jacobian});
}

// hs083's three quadratic quantities, each kept inside a range by two inequalities.
void colville_quantities(const double* x, double* q) {
  q[0] = 85.334407 + 0.0056858 * x[1] * x[4] + 0.0006262 * x[0] * x[3] - 0.0022053 * x[2] * x[4];
  q[1] = 80.51249 + 0.0071317 * x[1] * x[4] + 0.0029955 * x[0] * x[1] + 0.0021813 * x[2] * x[2];
  q[2] = 9.300961 + 0.0047026 * x[2] * x[4] + 0.0012547 * x[0] * x[2] + 0.0019085 * x[2] * x[3];
}

void add_colville(std::vector<FixedDefinition>& s) {
  s.push_back({"hs083",
               "Colville: convex quadratic, quadratic range inequalities, bounds",
               5,
               6,
               fill_kinds(6, 1),
               {78.0, 33.0, 27.0, 27.0, 27.0},
               {102.0, 45.0, 45.0, 45.0, 45.0},
               {78.0, 33.0, 27.0, 27.0, 27.0},
               "-30665.539",
               {78.0, 33.0, 29.99526, 45.0, 36.77581},
               [](const double* x) {
                 return 5.3578547 * x[2] * x[2] + 0.8356891 * x[0] * x[4] + 37.293239 * x[0] - 40792.141;
               },
               [](const double* x, double* g) {
                 g[0] = 0.8356891 * x[4] + 37.293239;
                 g[2] = 2.0 * 5.3578547 * x[2];
                 g[4] = 0.8356891 * x[0];
               },
               [](const double* x, double* c) {
                 double q[3];
                 colville_quantities(x, q);
                 c[0] = q[0];
                 c[1] = 92.0 - q[0];
                 c[2] = q[1] - 90.0;
                 c[3] = 110.0 - q[1];
                 c[4] = q[2] - 20.0;
                 c[5] = 25.0 - q[2];
               },
               [](const double* x, JacobianView a) {
                 // Rows of the three quantities; each appears with + and - sign.
                 const double d0[5] = {0.0006262 * x[3], 0.0056858 * x[4], -0.0022053 * x[4],
                                       0.0006262 * x[0], 0.0056858 * x[1] - 0.0022053 * x[2]};
                 const double d1[5] = {0.0029955 * x[1], 0.0071317 * x[4] + 0.0029955 * x[0],
                                       2.0 * 0.0021813 * x[2], 0.0, 0.0071317 * x[1]};
                 const double d2[5] = {0.0012547 * x[2], 0.0,
                                       0.0047026 * x[4] + 0.0012547 * x[0] + 0.0019085 * x[3],
                                       0.0019085 * x[2], 0.0047026 * x[2]};
                 for (int i = 0; i < 5; ++i) {
                   a(0, i) = d0[i];
                   a(1, i) = -d0[i];
                   a(2, i) = d1[i];
                   a(3, i) = -d1[i];
                   a(4, i) = d2[i];
                   a(5, i) = -d2[i];
                 }
               }});
}

}  // namespace

void add_hs071_to_hs083(std::vector<FixedDefinition>& definitions) {
  add_four_variable_problems(definitions);
  add_five_variable_problems(definitions);
  add_colville(definitions);
}

}  // namespace talvir::problems
