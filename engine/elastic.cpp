// Elastic steps of the robust strategy (contract in elastic.h).
#include "engine/elastic.h"

#include <algorithm>
#include <cmath>

#include "engine/MIRAX2.h"
#include "engine/linesearch.h"
#include "engine/listing.h"
#include "engine/stationarity.h"
#include "qp/QPSUB.h"

namespace vek::engine {
namespace {

constexpr double kElasticBound = 1.0e20;  // "no upper bound" for an elastic variable

// The elastic subproblem's pieces of WQP, after the normal subproblem's in-memory need.
struct ElasticPartition {
  int NQ = 0, E = 0, LIWA = 0, LWA = 0;
  qp::Vec1<double> lin, dl, du, d, u, c;
  qp::Mat1<double> a;  // NQ x M, leading dimension NQ
  qp::Vec1<double> h;  // NQ(NQ+1)/2
  double* iwa_storage = nullptr;
  qp::Vec1<double> wa;
};

long long elastic_variables(int M, int ME) {
  return static_cast<long long>(M) + ME;  // two for an equality, one for an inequality
}

bool partition_elastic(const EngineCall& c, ElasticPartition& e) {
  QpPartition normal;
  if (!partition_wqp(c.N, c.M, c.ME, c.WQP, c.LWQP, normal) || !normal.in_memory) return false;
  if (c.LWQP - normal.in_memory_need < elastic_wqp_need(c.N, c.M, c.ME)) return false;
  e.E = static_cast<int>(elastic_variables(c.M, c.ME));
  e.NQ = c.N + e.E + 1;
  e.LIWA = static_cast<int>(qp::qpsub_min_liwa(e.NQ, c.M, c.ME));
  e.LWA = static_cast<int>(qp::qpsub_min_lwa(e.NQ, c.M, c.ME));
  double* next = c.WQP + normal.in_memory_need;
  auto take = [&next](int count) {
    double* piece = next;
    next += count;
    return piece;
  };
  e.lin = qp::Vec1<double>(take(e.NQ), e.NQ);
  e.dl = qp::Vec1<double>(take(e.NQ), e.NQ);
  e.du = qp::Vec1<double>(take(e.NQ), e.NQ);
  e.d = qp::Vec1<double>(take(e.NQ), e.NQ);
  e.u = qp::Vec1<double>(take(c.M), c.M);
  e.c = qp::Vec1<double>(take(c.M), c.M);
  e.a = qp::Mat1<double>(take(e.NQ * c.M), e.NQ);
  e.h = qp::Vec1<double>(take(static_cast<int>(qp::packed_size(e.NQ))),
                         static_cast<int>(qp::packed_size(e.NQ)));
  e.iwa_storage = take(e.LIWA);
  e.wa = qp::Vec1<double>(take(e.LWA), e.LWA);
  return true;
}

// The subproblem's data for the weight rho (QPSUB destroys it, so it is laid out afresh every round).
void lay_out(const EngineCall& c, const ElasticPartition& e, double rho) {
  double largest_curvature = 1.0;
  for (int i = 1; i <= c.N; ++i) largest_curvature = std::max(largest_curvature, c.vf.B(i, i));
  const double delta = 1.0e-8 * largest_curvature;  // keeps the elastic block positive definite
  std::fill(e.h.data(), e.h.data() + e.h.size(), 0.0);
  const qp::Packed<double> h(e.h.data(), e.NQ);
  for (int i = 1; i <= c.N; ++i) {
    e.lin(i) = c.G(i);
    e.dl(i) = std::min(c.XL(i) - c.X(i), 0.0);
    e.du(i) = std::max(c.XU(i) - c.X(i), 0.0);
    for (int k = i; k <= c.N; ++k) h(k, i) = c.vf.B(k, i);
  }
  for (int k = c.N + 1; k < e.NQ; ++k) {
    e.lin(k) = rho;
    e.dl(k) = 0.0;
    e.du(k) = kElasticBound;
    h(k, k) = delta;
  }
  int next = c.N + 1;  // the first elastic variable of constraint j
  for (int j = 1; j <= c.M; ++j) {
    double* column = e.a.column(j).data();
    std::copy(c.A.column(j).data(), c.A.column(j).data() + c.N, column);
    std::fill(column + c.N, column + e.NQ, 0.0);
    e.c(j) = c.C(j);
    const int kind = c.KTYPE(j);
    if (kind >= 0) column[next++ - 1] = 1.0;   // v_j: raises the row's value
    if (kind <= 0) column[next++ - 1] = -1.0;  // w_j: lowers it
  }
}

// sum_j weight_j v_j(C(j) + A(.,j)'d), with weight 1 when `weights` is null.
double linearised_violation(const EngineCall& c, const double* d, const double* weights) {
  double theta = 0.0;
  for (int j = 1; j <= c.M; ++j) {
    const double* a = c.A.column(j).data();
    double value = c.C(j);
    for (int i = 0; i < c.N; ++i) value += a[i] * d[i];
    theta += (weights != nullptr ? weights[j - 1] : 1.0) * violation(c.KTYPE(j), value);
  }
  return theta;
}

bool solve_round(const EngineCall& c, const ElasticPartition& e, double rho) {
  lay_out(c, e, rho);
  int qpfail = 0;
  qp::QPSUB(e.NQ, e.NQ, c.M, c.ME, c.KTYPE.data(), e.d.data(), e.u.data(), e.dl.data(), e.du.data(),
            e.c.data(), e.a.data(), e.lin.data(), e.h.data(), begin_integer_workspace(e.iwa_storage, e.LIWA),
            e.wa.data(), e.LIWA, e.LWA, c.MODE, qpfail, c.IPRINT);
  return qpfail == 0;
}

}  // namespace

long long elastic_wqp_need(int N, int M, int ME) {
  const long long nq = N + elastic_variables(M, ME) + 1;
  return 4 * nq + 2LL * M + nq * M + nq * (nq + 1) / 2 + qp::qpsub_min_liwa(static_cast<int>(nq), M, ME) +
         qp::qpsub_min_lwa(static_cast<int>(nq), M, ME);
}

ElasticResult elastic_step(const EngineCall& c, MxiterState& s, double& rho, double& theta0, double& theta1) {
  ElasticPartition e;
  if (c.M == 0 || !partition_elastic(c, e)) return ElasticResult::unavailable;
  theta0 = 0.0;
  for (int j = 1; j <= c.M; ++j) theta0 += violation(c.KTYPE(j), c.C(j));
  rho = std::max({s.robust.rho, 1.0, largest_magnitude(c.G.data(), c.N)});
  for (int round = 0;; ++round) {
    if (!solve_round(c, e, rho)) return ElasticResult::unavailable;
    theta1 = linearised_violation(c, e.d.data(), nullptr);
    const bool enough = theta0 - theta1 >= 0.1 * theta0;
    if (enough || round + 1 >= kSteeringRounds) break;
    rho *= 10.0;
  }
  s.robust.rho = rho;
  std::copy(e.d.data(), e.d.data() + c.N, c.D.data());
  std::copy(e.u.data(), e.u.data() + c.M, c.vf.lambda.data());
  if (c.listing()) listing::elastic_step(rho, theta0, theta1);
  const double tiny = 1.0e-10 * std::max(1.0, theta0);
  if (theta1 <= tiny) return ElasticResult::consistent;
  const double step = largest_magnitude(c.D.data(), c.N);
  const double size = std::max(1.0, largest_magnitude(c.X.data(), c.N));
  if (theta0 - theta1 <= 1.0e-8 * std::max(1.0, theta0) && step <= 1.0e-10 * size) {
    return ElasticResult::locally_infeasible;
  }
  return ElasticResult::elastic;
}

double elastic_xi(const EngineCall& c, double P) {
  if (!(P > 0.0)) return 1.0;
  return 1.0 - linearised_violation(c, c.D.data(), c.vf.mu.data()) / P;
}

}  // namespace vek::engine
