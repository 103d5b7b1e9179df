#include "qp_testing.h"

#include <algorithm>
#include <limits>

#include "qp/QPSUB.h"

namespace qp_testing {

Result solve(const Problem& p, int mode, int iprint) {
  Problem w = p;  // QPSUB destroys A, C, G, H
  Result r;
  r.d.assign(p.nq, 0.0);
  r.u.assign(p.m, 0.0);
  r.dl = p.dl;
  r.du = p.du;
  r.ktype = p.ktype;
  std::vector<int> iwa(vek::qp::qpsub_min_liwa(p.nq, p.m, p.me));
  Vec wa(vek::qp::qpsub_min_lwa(p.nq, p.m, p.me));
  vek::qp::QPSUB(p.nq, p.lcn(), p.m, p.me, r.ktype.data(), r.d.data(), r.u.data(), r.dl.data(), r.du.data(),
                 w.c.data(), w.a.data(), w.g.data(), w.h.data(), iwa.data(), wa.data(),
                 static_cast<int>(iwa.size()), static_cast<int>(wa.size()), mode, r.qpfail, iprint);
  return r;
}

Problem random_problem(const RandomShape& shape, std::mt19937& rng) {
  std::normal_distribution<double> nd(0.0, 1.0);
  std::uniform_real_distribution<double> ud(0.0, 1.0);
  const int n = shape.n;
  Problem p;
  p.nq = n + 1;
  p.me = shape.me;
  p.m = shape.me + shape.mr;
  const Vec hn = random_spd(n, rng);
  p.h.assign(static_cast<std::size_t>(p.nq) * (p.nq + 1) / 2, 7.0);  // row NQ: QPSUB's to set
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) p.h[ppos(i, j, p.nq)] = hn[ppos(i, j, n)];
  p.g.assign(p.nq, 3.0);
  p.dl.assign(p.nq, -5.0);
  p.du.assign(p.nq, 5.0);
  Vec x0(n);
  for (int i = 0; i < n; ++i) {
    p.g[i] = nd(rng);
    p.dl[i] = -shape.bound * (0.5 + ud(rng));
    p.du[i] = shape.bound * (0.5 + ud(rng));
    x0[i] = p.dl[i] + (p.du[i] - p.dl[i]) * (0.1 + 0.8 * ud(rng));
  }
  for (int j = 0; j < p.m; ++j) p.ktype.push_back(j < p.me ? 0 : (ud(rng) < 0.5 ? 1 : -1));
  std::shuffle(p.ktype.begin(), p.ktype.end(), rng);
  p.a.assign(static_cast<std::size_t>(p.nq) * p.m, 9.0);  // row NQ: QPSUB's to set
  p.c.assign(p.m, 0.0);
  for (int j = 0; j < p.m; ++j) {
    double ax = 0.0;
    for (int i = 0; i < n; ++i) {
      const double v = nd(rng);
      p.a[i + j * p.nq] = v;
      ax += v * x0[i];
    }
    // A quarter of the inequalities are exactly active at x0 (degenerate ties at the solution).
    const double slack = ud(rng) < 0.25 ? 0.0 : ud(rng);
    p.c[j] = p.ktype[j] == 0 ? -ax : (p.ktype[j] == 1 ? -ax + slack : -ax - slack);
  }
  if (!shape.feasible) {
    // The second inequality contradicts the first: s_k(a_k'x + c_k) + s_j(a_j'x + c_j) = -1.
    std::vector<int> ineq;
    for (int j = 0; j < p.m; ++j)
      if (p.ktype[j] != 0) ineq.push_back(j);
    const int k = ineq.at(0), j = ineq.at(1);
    const double sk = p.ktype[k], sj = p.ktype[j];
    for (int i = 0; i < n; ++i) p.a[i + j * p.nq] = -(sk / sj) * p.a[i + k * p.nq];
    p.c[j] = (-sk * p.c[k] - 1.0) / sj;
  }
  return p;
}

Internal internal_form(const Problem& p) {
  Internal q;
  q.nq = p.nq;
  q.m = p.m;
  const int n = p.nq - 1;
  q.h.assign(p.h.size(), 0.0);
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) q.h[ppos(i, j, p.nq)] = p.h[ppos(i, j, p.nq)];
  q.h[ppos(p.nq, p.nq, p.nq)] = 1.0;
  q.g = p.g;
  double gmax = 0.0;
  for (int i = 0; i < n; ++i) gmax = std::max(gmax, std::fabs(p.g[i]));
  q.g[n] = -std::max(100.0 * gmax, 1e5);
  q.a.assign(static_cast<std::size_t>(p.nq) * p.m, 0.0);
  q.c.assign(p.m, 0.0);
  q.eq.assign(p.m, 0);
  for (int j = 0; j < p.m; ++j) {
    const double s = p.ktype[j] == -1 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i) q.a[i + j * p.nq] = s * p.a[i + j * p.lcn()];
    const double c = s * p.c[j];
    q.eq[j] = p.ktype[j] == 0;
    if (q.eq[j] || c <= 0.0) {
      q.a[n + j * p.nq] = c;
    } else {
      q.c[j] = c;
    }
  }
  q.lo = p.dl;
  q.hi = p.du;
  q.lo[n] = 0.0;
  q.hi[n] = 1.0;
  return q;
}

double Kkt::worst() const {
  return std::max({stationarity, feasibility, sign, complementarity});
}

Kkt check_kkt(const Problem& p, const Result& r) {
  const Internal q = internal_form(p);
  const int nq = q.nq;
  Vec hd(nq, 0.0), res(q.m, 0.0), w(q.m, 0.0);
  for (int i = 1; i <= nq; ++i)
    for (int j = 1; j <= nq; ++j) hd[i - 1] += q.h[ppos(i, j, nq)] * r.d[j - 1];
  double scale = 1.0;
  for (int i = 0; i < nq; ++i)
    scale = std::max({scale, std::fabs(q.g[i]), std::fabs(hd[i]), r.dl[i], r.du[i], -r.dl[i], -r.du[i]});
  double dmax = 1.0;
  for (double x : r.d) dmax = std::max(dmax, std::fabs(x));
  Kkt k;
  for (int j = 0; j < q.m; ++j) {
    w[j] = p.ktype[j] == -1 ? -r.u[j] : r.u[j];
    double amax = 0.0, size = 1.0 + std::fabs(q.c[j]);
    res[j] = q.c[j];
    for (int i = 0; i < nq; ++i) {
      const double a = q.a[i + j * nq];
      res[j] += a * r.d[i];
      size += std::fabs(a * r.d[i]);
      amax = std::max(amax, std::fabs(a));
    }
    scale = std::max(scale, std::fabs(w[j]) * amax);
    const double viol = q.eq[j] ? std::fabs(res[j]) : std::max(0.0, -res[j]);
    k.feasibility = std::max(k.feasibility, viol / size);
    if (!q.eq[j]) k.complementarity = std::max(k.complementarity, std::fabs(w[j] * res[j]) / size);
  }
  for (int i = 0; i < nq; ++i) {
    double s = q.g[i] + hd[i] - r.dl[i] + r.du[i];
    for (int j = 0; j < q.m; ++j) s -= w[j] * q.a[i + j * nq];
    k.stationarity = std::max(k.stationarity, std::fabs(s));
    const double below = q.lo[i] - r.d[i], above = r.d[i] - q.hi[i];
    k.feasibility =
        std::max({k.feasibility, below / (1.0 + std::fabs(q.lo[i])), above / (1.0 + std::fabs(q.hi[i]))});
    k.sign = std::max({k.sign, -r.dl[i], -r.du[i]});
    k.complementarity =
        std::max({k.complementarity, std::fabs(r.dl[i] * below) / dmax, std::fabs(r.du[i] * above) / dmax});
  }
  for (int j = 0; j < q.m; ++j)
    if (!q.eq[j]) k.sign = std::max(k.sign, -w[j]);
  k.stationarity /= scale;
  k.sign /= scale;
  k.complementarity /= scale;
  return k;
}

double objective(const Internal& q, const Vec& d) {
  double f = 0.0;
  for (int i = 1; i <= q.nq; ++i) {
    f += q.g[i - 1] * d[i - 1];
    for (int j = 1; j <= q.nq; ++j) f += 0.5 * d[i - 1] * q.h[ppos(i, j, q.nq)] * d[j - 1];
  }
  return f;
}

namespace {

// Solves the dense system k x = rhs (order n, row-major) by Gaussian elimination with partial
// pivoting; false when it is (numerically) singular.
bool dense_solve(std::vector<double> k, std::vector<double>& rhs, int n) {
  for (int col = 0; col < n; ++col) {
    int piv = col;
    for (int r = col + 1; r < n; ++r)
      if (std::fabs(k[r * n + col]) > std::fabs(k[piv * n + col])) piv = r;
    if (std::fabs(k[piv * n + col]) < 1e-11) return false;
    for (int c = 0; c < n; ++c) std::swap(k[col * n + c], k[piv * n + c]);
    std::swap(rhs[col], rhs[piv]);
    for (int r = col + 1; r < n; ++r) {
      const double f = k[r * n + col] / k[col * n + col];
      for (int c = col; c < n; ++c) k[r * n + c] -= f * k[col * n + c];
      rhs[r] -= f * rhs[col];
    }
  }
  for (int r = n - 1; r >= 0; --r) {
    double s = rhs[r];
    for (int c = r + 1; c < n; ++c) s -= k[r * n + c] * rhs[c];
    rhs[r] = s / k[r * n + r];
  }
  return true;
}

}  // namespace

Vec brute_force(const Internal& q, double& best_objective) {
  const int nq = q.nq;
  std::vector<int> rows;
  for (int j = 0; j < q.m; ++j)
    if (!q.eq[j]) rows.push_back(j);
  const int nr = static_cast<int>(rows.size());
  int faces = 1 << nr;
  for (int i = 0; i < nq; ++i) faces *= 3;
  best_objective = std::numeric_limits<double>::infinity();
  Vec best;
  for (int f = 0; f < faces; ++f) {
    // Active set of this face: the equalities, the chosen rows, one chosen bound per variable.
    std::vector<Vec> normals;
    Vec rhs;
    for (int j = 0; j < q.m; ++j) {
      const bool on = q.eq[j] || [&] {
        for (int r = 0; r < nr; ++r)
          if (rows[r] == j) return ((f >> r) & 1) != 0;
        return false;
      }();
      if (!on) continue;
      normals.emplace_back(q.a.begin() + j * nq, q.a.begin() + (j + 1) * nq);
      rhs.push_back(-q.c[j]);
    }
    int code = f >> nr;
    for (int i = 0; i < nq; ++i, code /= 3) {
      if (code % 3 == 0) continue;
      Vec e(nq, 0.0);
      e[i] = 1.0;
      normals.push_back(e);
      rhs.push_back(code % 3 == 1 ? q.lo[i] : q.hi[i]);
    }
    const int k = static_cast<int>(normals.size());
    const int n = nq + k;
    std::vector<double> mat(static_cast<std::size_t>(n) * n, 0.0);
    Vec x(n, 0.0);
    for (int i = 0; i < nq; ++i) {
      for (int j = 0; j < nq; ++j) mat[i * n + j] = q.h[ppos(i + 1, j + 1, nq)];
      x[i] = -q.g[i];
    }
    for (int l = 0; l < k; ++l) {
      for (int i = 0; i < nq; ++i) {
        mat[i * n + nq + l] = normals[l][i];
        mat[(nq + l) * n + i] = normals[l][i];
      }
      x[nq + l] = rhs[l];
    }
    if (!dense_solve(mat, x, n)) continue;
    Vec d(x.begin(), x.begin() + nq);
    bool feasible = true;
    for (int i = 0; i < nq && feasible; ++i) feasible = d[i] >= q.lo[i] - 1e-9 && d[i] <= q.hi[i] + 1e-9;
    for (int j = 0; j < q.m && feasible; ++j) {
      double r = q.c[j];
      for (int i = 0; i < nq; ++i) r += q.a[i + j * nq] * d[i];
      feasible = q.eq[j] ? std::fabs(r) < 1e-9 : r > -1e-9;
    }
    if (!feasible) continue;
    const double obj = objective(q, d);
    if (obj < best_objective) {
      best_objective = obj;
      best = d;
    }
  }
  return best;
}

Internal without_dependent_equalities(const Internal& q, int& dropped) {
  Internal r = q;
  r.m = 0;
  r.a.clear();
  r.c.clear();
  r.eq.clear();
  dropped = 0;
  std::vector<Vec> basis;  // orthonormal, modified Gram-Schmidt over the kept equality normals
  for (int j = 0; j < q.m; ++j) {
    const Vec normal(q.a.begin() + j * q.nq, q.a.begin() + (j + 1) * q.nq);
    if (q.eq[j]) {
      Vec v = normal;
      double size = 0.0, norm = 0.0;
      for (double e : v) size = std::max(size, std::fabs(e));
      for (const Vec& b : basis) {
        double dot = 0.0;
        for (int i = 0; i < q.nq; ++i) dot += b[i] * v[i];
        for (int i = 0; i < q.nq; ++i) v[i] -= dot * b[i];
      }
      for (double e : v) norm += e * e;
      norm = std::sqrt(norm);
      if (norm <= 1e-9 * size) {
        ++dropped;
        continue;
      }
      for (double& e : v) e /= norm;
      basis.push_back(v);
    }
    r.a.insert(r.a.end(), normal.begin(), normal.end());
    r.c.push_back(q.c[j]);
    r.eq.push_back(q.eq[j]);
    ++r.m;
  }
  return r;
}

double max_abs_diff(const Vec& x, const Vec& y) {
  double m = 0.0;
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) m = std::max(m, std::fabs(x[i] - y[i]));
  return x.size() == y.size() ? m : std::numeric_limits<double>::infinity();
}

bool multipliers_unique(const Problem& p, const Result& x, const Result& y) {
  const Internal q = internal_form(p);
  std::vector<Vec> basis;
  const auto independent = [&basis](Vec v) {  // modified Gram-Schmidt against the accepted normals
    double size = 0.0;
    for (double e : v) size = std::max(size, std::fabs(e));
    for (const Vec& b : basis) {
      double dot = 0.0;
      for (std::size_t i = 0; i < v.size(); ++i) dot += b[i] * v[i];
      for (std::size_t i = 0; i < v.size(); ++i) v[i] -= dot * b[i];
    }
    double norm = 0.0;
    for (double e : v) norm += e * e;
    norm = std::sqrt(norm);
    if (norm <= 1e-6 * size) return false;
    for (double& e : v) e /= norm;
    basis.push_back(v);
    return true;
  };
  for (int j = 0; j < q.m; ++j) {
    if (!q.eq[j] && x.u[j] == 0.0 && y.u[j] == 0.0) continue;
    if (!independent(Vec(q.a.begin() + j * q.nq, q.a.begin() + (j + 1) * q.nq))) return false;
  }
  for (int i = 0; i < q.nq; ++i) {
    if (x.dl[i] == 0.0 && y.dl[i] == 0.0 && x.du[i] == 0.0 && y.du[i] == 0.0) continue;
    Vec e(q.nq, 0.0);
    e[i] = 1.0;
    if (!independent(e)) return false;
  }
  return true;
}

}  // namespace qp_testing
