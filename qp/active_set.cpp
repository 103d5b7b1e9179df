// The primal active-set iteration shared by QPACT and QPACTR (see active_set.h).
#include "qp/active_set.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "io/layout.h"
#include "qp/QPADD.h"
#include "qp/QPCHOL.h"
#include "qp/QPDEL.h"
#include "qp/cancellation.h"

namespace vek::qp::detail {
namespace {

constexpr double kTieTolerance = 1e-14;  // step lengths closer than this count as equal
constexpr int kExcluded = -1;            // state of a constraint passed over by the current ratio test
constexpr double kDependent = 1e-10;     // a normal's relative part outside the active span taken as 0
constexpr double kStationary = 1e-11;    // projected gradient relative to the size of its terms: 0

// An active constraint's slope along the direction raises the zero tolerance, so that it cannot block:
// the tolerance tau becomes max(tau, factor |slope|), the factor 10 in normal and 5 in reliable mode.
double raise_factor(ActiveMode mode) {
  return mode == ActiveMode::normal ? 10.0 : 5.0;
}
double raised(double tau, double factor, double slope) {
  return std::max(tau, factor * std::fabs(slope));
}

// Sum over i = 0..n-1 of x[i] * y[i], in increasing i; 0 when n <= 0.
inline double dot(const double* x, const double* y, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += x[i] * y[i];
  return s;
}

}  // namespace

template <int kN>
SizedActiveSet<kN>::SizedActiveSet(ActiveMode mode, const ActiveSetArgs& a, int pass_limit)
    : mode_(mode),
      nr_(a.NR),
      me_(a.ME),
      mr_(a.MR),
      iprint_(a.IPRINT),
      iact_(a.IACT),
      ibnd_(a.IBND),
      ielb_(a.IELB),
      iine_(a.IINE),
      d_(a.D),
      v_(a.V),
      ui_(a.UI),
      dl_(a.DL),
      el_(a.EL),
      du_(a.DU),
      eu_(a.EU),
      c_(a.C),
      ae_(a.AE, a.LCN),
      ai_(a.AI, a.LCN),
      g_(a.G),
      h_(a.H, a.NR),
      h_raw_(a.H),
      gd_(a.GD),
      w_(a.W),
      se_(a.SE),
      si_(a.SI),
      fe_(a.FE),
      fi_(a.FI),
      q_(a.Q, a.NR),
      t_(a.T, a.NR),
      t_raw_(a.T),
      q_raw_(a.Q),
      w_raw_(a.W),
      gd_raw_(a.GD),
      pass_limit_(pass_limit) {}

// ---- start-up -------------------------------------------------------------------------------------

template <int kN>
void SizedActiveSet<kN>::scale_rows() {
  const int n = nr();
  // The last component belongs to the relaxation variable: scaled with the row, but it does not set
  // the scale, so that a large constraint value does not flatten the row. Returns the factor.
  const auto scale_row = [n](double* row) {
    double big = 0.01;
    for (int i = 0; i < n - 1; ++i) big = std::max(big, std::fabs(row[i]));
    const double f = 1.0 / big;
    for (int i = 0; i < n; ++i) row[i] *= f;
    return f;
  };
  for (int j = 1; j <= mr_; ++j) {
    const double f = scale_row(ai_.column(j).data());
    c_(j) *= f;
    fi_(j) = f;
    iine_(j) = 0;
    ui_(j) = c_(j);
  }
  for (int k = 1; k <= me_; ++k) {
    const double f = scale_row(ae_.column(k).data());
    el_(k) *= f;
    eu_(k) *= f;
    fe_(k) = f;
    ielb_(k) = 0;
    v_(k) = 0.0;
  }
}

namespace {

void set_identity(double* q, int n) {
  for (int j = 0; j < n; ++j, q += n)
    for (int i = 0; i < n; ++i) q[i] = i == j ? 1.0 : 0.0;
}

}  // namespace

template <int kN>
void SizedActiveSet<kN>::start_normal() {
  set_identity(q_raw_, nr());
  for (int i = 1; i <= nr(); ++i) {
    d_(i) = 0.0;
    ibnd_(i) = 0;
  }
  // With no active constraint the U part of T is the whole Hessian in the same packing.
  const std::int64_t len = static_cast<std::int64_t>(nr()) * (nr() + 1) / 2;
  for (std::int64_t k = 0; k < len; ++k) t_raw_[k] = h_raw_[k];
  qpchol_sized<kN>(nr(), t_raw_, 0, iprint_);
  q_count_ = 0;
}

template <int kN>
void SizedActiveSet<kN>::start_reliable() {
  set_identity(q_raw_, nr());
  const std::int64_t len = static_cast<std::int64_t>(nr()) * (nr() + 1) / 2;
  std::fill(t_raw_, t_raw_ + len, 0.0);
  for (int i = 1; i <= nr(); ++i) {
    t_.r(i, i) = 1.0;  // R = I: the artificial normals are the unit vectors
    ibnd_(i) = 3;
    iact_(i) = -i;
    d_(i) = 0.0;
  }
  q_count_ = nr();
}

// ---- codes of the active list ------------------------------------------------------------------------

template <int kN>
inline Constraint SizedActiveSet<kN>::decode(int code) const {
  if (mode_ == ActiveMode::normal) {
    if (code > 0) return {Kind::inequality, code};
    if (code < -nr()) return {Kind::elimination, -code - nr()};
    return {Kind::bound, -code};
  }
  if (code < 0) return {Kind::artificial, -code};
  if (code <= mr_) return {Kind::inequality, code};
  if (code <= mr_ + me_) return {Kind::elimination, code - mr_};
  return {Kind::bound, code - mr_ - me_};
}

template <int kN>
inline int SizedActiveSet<kN>::encode(Kind kind, int index) const {
  const bool normal = mode_ == ActiveMode::normal;
  switch (kind) {
    case Kind::inequality:
      return index;
    case Kind::elimination:
      return normal ? -(nr() + index) : mr_ + index;
    case Kind::bound:
      return normal ? -index : mr_ + me_ + index;
    case Kind::artificial:
      break;
  }
  return -index;
}

// Residual of an active constraint at the current D, in its normal'D + constant >= 0 form.
template <int kN>
double SizedActiveSet<kN>::residual(int code) const {
  const Constraint c = decode(code);
  switch (c.kind) {
    case Kind::inequality:
      return dot(ai_.column(c.index).data(), d_.data(), nr()) + c_(c.index);
    case Kind::elimination: {
      const double v = dot(ae_.column(c.index).data(), d_.data(), nr());
      return ielb_(c.index) == 1 ? -(v + el_(c.index)) : v + eu_(c.index);
    }
    case Kind::bound:
      return ibnd_(c.index) == 1 ? d_(c.index) - dl_(c.index) : du_(c.index) - d_(c.index);
    case Kind::artificial:
      break;
  }
  return d_(c.index);
}

template <int kN>
void SizedActiveSet<kN>::free_constraint(int code) {
  const Constraint c = decode(code);
  switch (c.kind) {
    case Kind::inequality:
      iine_(c.index) = 0;
      break;
    case Kind::elimination:
      ielb_(c.index) = 0;
      break;
    case Kind::bound:
    case Kind::artificial:
      ibnd_(c.index) = 0;
      break;
  }
}

// ---- main loop ---------------------------------------------------------------------------------------

template <int kN>
int SizedActiveSet<kN>::run() {
  int passes = 0;
  int status = 0;
  Step s = Step::grad;
  while (s != Step::finish) {
    switch (s) {
      case Step::grad:
        if (kN == 0 && cancellation_requested()) {  // (any size only) the caller discards this iterate
          status = 2;
          s = Step::finish;
        } else if (++passes > pass_limit_) {
          // Degenerate data keeps adding and dropping: stop with the multipliers of this iterate.
          status = 1;
          compute_gradient();
          if (q_count_ > 0) compute_multipliers();
          s = Step::finish;
        } else {
          s = grad();
        }
        break;
      case Step::mult:
        s = mult();
        break;
      case Step::drop:
        s = drop();
        break;
      case Step::dir:
        s = dir();
        break;
      case Step::end:
        s = end();
        break;
      case Step::correct:
        s = correct();
        break;
      case Step::step:
        s = step();
        break;
      case Step::finish:
        break;
    }
  }
  finish();
  return status;
}

// GD = G + HD at the current point: GD(i) = G(i) + sum_j H(i,j) D(j), terms added in increasing j.
// H is read through its packing: row i up to the diagonal lies across the columns before it (H(i,j+1)
// n-j-1 places after H(i,j)), the rest is column i from the diagonal down.
template <int kN>
void SizedActiveSet<kN>::compute_gradient() {
  const int n = nr();
  const double* const d = d_.data();
  const double* const g = g_.data();
  const double* hii = h_raw_;  // H(i, i)
  for (int i = 0; i < n; hii += n - i, ++i) {
    double s = g[i];
    const double* hij = h_raw_ + i;  // H(i, 1)
    for (int j = 0; j < i; hij += n - j - 1, ++j) s += *hij * d[j];
    for (int j = i; j < n; ++j) s += hii[j - i] * d[j];
    gd_raw_[i] = s;
  }
}

// GRAD: after an addition (or for the refinement step) a new direction; otherwise check multipliers.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::grad() {
  compute_gradient();
  if (q_count_ == nr() || (added_ == 0 && p_ != 2)) return Step::mult;
  return Step::dir;
}

// W(l) = Q(l,:) v for l = first..last, each sum in a register with its terms in increasing column
// order (row l of Q is strided: Q is stored by columns).
template <int kN>
void SizedActiveSet<kN>::rows_times(int first, int last, const double* v) {
  const int n = nr();
  for (int l = first - 1; l < last; ++l) {
    const double* ql = q_raw_ + l;  // Q(l+1, i+1) at ql[i n]
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += ql[static_cast<std::ptrdiff_t>(i) * n] * v[i];
    w_raw_[l] = s;
  }
}

// Multipliers of the active list: R w = (rows 1..q of Q) GD, by back substitution.
template <int kN>
void SizedActiveSet<kN>::compute_multipliers() {
  const int q = q_count_;
  rows_times(1, q, gd_raw_);
  double* const w = w_raw_ - 1;  // 1-based
  const double* const t = t_raw_;
  for (int l = q; l >= 1; --l) {
    double s = w[l];
    // R(l, m) at t[m(m-1)/2 + l - 1]: R(l, m+1) lies m places after R(l, m).
    std::int64_t at = static_cast<std::int64_t>(l + 1) * l / 2 + l - 1;
    for (int m = l + 1; m <= q; at += m, ++m) s -= t[at] * w[m];
    w[l] = div_or_zero(s, t_.r(l, l));
  }
}

// The position to drop, 0 for none. Scanning from the back with ties replacing the choice lets the
// lowest position win. Reliable mode releases an artificial constraint on a multiplier of either sign.
template <int kN>
int SizedActiveSet<kN>::choose_drop() const {
  double smallest = -tau_;
  int pos = 0;
  for (int l = q_count_; l >= 1; --l) {
    const bool artificial = mode_ == ActiveMode::reliable && iact_(l) < 0;
    const double value = artificial ? -std::fabs(w_(l)) : w_(l);
    if (value <= smallest) {
      smallest = value;
      pos = l;
    }
  }
  return pos;
}

// MULT: count the check, compute the multipliers and look for one to drop.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::mult() {
  ++p_;
  if (q_count_ == 0) return Step::end;
  compute_multipliers();
  drop_pos_ = choose_drop();
  return drop_pos_ == 0 ? Step::end : Step::drop;
}

// DROP: remove the chosen constraint from the factorisation and the active list.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::drop() {
  p_ = 1;
  const int l = drop_pos_;
  const int code = iact_(l);
  int ifail = 0;
  // An indefinite reduced Hessian is reported by QPDEL, which resets the pivot; the iteration goes on.
  qpdel_sized<kN>(nr(), q_count_, l, ifail, w_raw_, q_raw_, h_raw_, t_raw_, iprint_);
  --q_count_;
  for (int m = l; m <= q_count_; ++m) iact_(m) = iact_(m + 1);
  free_constraint(code);
  return Step::dir;
}

// DIR: negative projected gradient in the reduced space and its squared length.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::dir() {
  const double sum = projected_gradient();
  if (p_ == 2 || sum > 10.0 * tau_ * tau_) return Step::step;
  return Step::mult;
}

// W(q+1..NR) = -Z'GD, the negative projected gradient; returns its squared length.
template <int kN>
double SizedActiveSet<kN>::projected_gradient() {
  rows_times(q_count_ + 1, nr(), gd_raw_);
  double sum = 0.0;
  for (double* w = w_raw_ + q_count_; w != w_raw_ + nr(); ++w) {
    sum += *w * *w;
    *w = -*w;
  }
  return sum;
}

// True when the point is stationary on its active set: the projected gradient (left in W as DIR
// leaves it) is within 10 tau^2 in square, or within kStationary times the size of the terms of GD.
// The refinement step ends with this test, so that a Newton step spoilt by an inexact factor (pivots
// reset by QPCHOL or QPDEL) is not taken for a solution.
template <int kN>
bool SizedActiveSet<kN>::stationary() {
  const double sum = projected_gradient();
  if (sum <= 10.0 * tau_ * tau_) return true;
  double size = 0.0;
  for (int i = 1; i <= nr(); ++i) {
    double s = std::fabs(g_(i));
    for (int j = 1; j <= nr(); ++j) s += std::fabs(h_.sym(i, j) * d_(j));
    size = std::max(size, s);
  }
  return sum <= kStationary * kStationary * size * size;
}

// END: stop after the refinement; otherwise correct D onto the active constraints first.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::end() {
  if (p_ >= 3) return stationary() ? Step::finish : Step::step;
  if (q_count_ == 0) return Step::dir;
  return Step::correct;
}

// CORRECT: solve R'w = residuals (forward) and move D by -(rows 1..q of Q)'w.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::correct() {
  const int q = q_count_;
  const int n = nr();
  double* const w = w_raw_;
  for (int l = 0; l < q; ++l) {
    const double* r = t_.r_column(l + 1);  // column l+1 of R
    double s = residual(iact_(l + 1));
    for (int m = 0; m < l; ++m) s -= r[m] * w[m];
    w[l] = div_or_zero(s, r[l]);
  }
  // D(i) -= sum over l = 1..q of Q(l, i) w(l), terms in increasing l (side by side with a fixed size,
  // as in newton_direction).
  double* const d = d_.data();
  if constexpr (kN > 0) {
    double sum[kN];
    for (int i = 0; i < kN; ++i) sum[i] = 0.0;
    for (int l = 0; l < q; ++l) {
      const double* const ql = q_raw_ + l;  // Q(l+1, i+1) at ql[i n]
      const double wl = w[l];
      for (int i = 0; i < kN; ++i) sum[i] += ql[i * kN] * wl;
    }
    for (int i = 0; i < kN; ++i) d[i] -= sum[i];
  } else {
    const double* qi = q_raw_;  // column i of Q
    for (int i = 0; i < n; qi += n, ++i) {
      double s = 0.0;
      for (int l = 0; l < q; ++l) s += qi[l] * w[l];
      d[i] -= s;
    }
  }
  return Step::grad;
}

// Newton step in the null space of the active normals: U U' w = -Z'GD, d = Z'w, kept in GD. The two
// triangular solves run along the rows and columns of U in its packing.
template <int kN>
void SizedActiveSet<kN>::newton_direction() {
  const int q = q_count_;
  const int n = nr();
  double* const w = w_raw_ - 1;  // 1-based
  // U' w = -Z'GD from the bottom up (U(l, m) = row[m - l], row l of U), then U z = that w downwards.
  const double* row = t_.u_row(n) + 1;  // one past row n, the last of T
  for (int l = n; l >= q + 1; --l) {
    row -= n - l + 1;
    double s = w[l];
    for (int m = l + 1; m <= n; ++m) s -= row[m - l] * w[m];
    w[l] = div_or_zero(s, row[0]);
  }
  // Column m of U: U(l+1, m) lies n-l places after U(l, m).
  const double* const first_row = t_.u_row(q + 1);
  const double* diag = first_row;  // U(m, m)
  for (int m = q + 1; m <= n; diag += n - m + 1, ++m) {
    double s = w[m];
    const double* ulm = first_row + (m - q - 1);  // U(q+1, m)
    for (int l = q + 1; l < m; ulm += n - l, ++l) s -= *ulm * w[l];
    w[m] = div_or_zero(s, *diag);
  }
  // d(i) = sum over l = q+1..n of Q(l, i) w(l), terms in increasing l. With a fixed size the n sums are
  // formed side by side, one reduced row of Q at a time; otherwise one column of Q at a time.
  if constexpr (kN > 0) {
    double sum[kN];
    for (int i = 0; i < kN; ++i) sum[i] = 0.0;
    for (int l = q + 1; l <= kN; ++l) {
      const double* const ql = q_raw_ + (l - 1);  // Q(l, i+1) at ql[i n]
      const double wl = w[l];
      for (int i = 0; i < kN; ++i) sum[i] += ql[i * kN] * wl;
    }
    for (int i = 0; i < kN; ++i) gd_raw_[i] = sum[i];
  } else {
    const double* qi = q_raw_ + q;  // Q(q+1.., i): the reduced rows of column i
    const double* const wz = w_raw_ + q;
    for (int i = 0; i < n; qi += n, ++i) {
      double s = 0.0;
      for (int l = 0; l < n - q; ++l) s += qi[l] * wz[l];
      gd_raw_[i] = s;
    }
  }
}

// One scan of the ratio test along d = GD: the longest step up to 1 that keeps every constraint
// satisfied. A clearly shorter step wins; among steps within 1e-14 the steeper constraint, then the
// later one in the scan. Constraints marked excluded (state kExcluded) are passed over.
// The running values (tolerance, step, choice) are kept in locals during the scan and stored at its end.
template <int kN>
void SizedActiveSet<kN>::scan_candidates() {
  const int n = nr();
  const double* const gd = gd_raw_;
  const double factor = raise_factor(mode_);
  double tau = tau_;
  double alpha = 1.0;
  double best = 0.0;
  double chosen_slope = slope_;
  int added = 0;
  const auto offer = [&](double t, double slope, int code) {
    const double gap = t - alpha;
    if (gap <= kTieTolerance && (gap <= -kTieTolerance || std::fabs(slope) >= best)) {
      alpha = t;
      best = std::fabs(slope);
      added = code;
      chosen_slope = slope;
    }
  };
  for (int j = 1; j <= mr_; ++j) {
    const double s = dot(ai_.column(j).data(), gd, n);
    si_(j) = s;
    const int state = iine_(j);
    if (state > 0) tau = raised(tau, factor, s);
    if (s <= -tau && state != kExcluded) offer(-ui_(j) / s, s, encode(Kind::inequality, j));
  }
  for (int k = 1; k <= me_; ++k) {
    const double s = dot(ae_.column(k).data(), gd, n);
    se_(k) = s;
    const int state = ielb_(k);
    if (state > 0) tau = raised(tau, factor, s);
    if (std::fabs(s) > tau && state != kExcluded) {
      const double t = s > 0.0 ? -(el_(k) + v_(k)) / s : -(eu_(k) + v_(k)) / s;
      offer(t, s, encode(Kind::elimination, k));
    }
  }
  const double* const d = d_.data();
  const double* const dl = dl_.data();
  const double* const du = du_.data();
  const int* const ibnd = ibnd_.data();
  for (int i = 0; i < n; ++i) {
    const double s = gd[i];
    const int state = ibnd[i];
    if (state > 0) tau = raised(tau, factor, s);
    if (std::fabs(s) > tau && state != kExcluded) {
      const double t = s > 0.0 ? (du[i] - d[i]) / s : (dl[i] - d[i]) / s;
      offer(t, s, encode(Kind::bound, i + 1));
    }
  }
  tau_ = tau;
  alpha_ = alpha;
  added_ = added;
  slope_ = chosen_slope;
}

// True when the normal of `code` lies in the span of the active normals up to rounding: its part in
// the reduced space (rows q+1..NR of Q) is at most kDependent times its length. Uses W as work (the
// step about to be taken overwrites it anyway).
template <int kN>
bool SizedActiveSet<kN>::in_active_span(int code) {
  put_normal(decode(code), 1.0);
  double length = 0.0;
  for (int i = 1; i <= nr(); ++i) length += w_(i) * w_(i);
  double outside = 0.0;
  for (int l = q_count_ + 1; l <= nr(); ++l) {
    double z = 0.0;
    for (int i = 1; i <= nr(); ++i) z += q_(l, i) * w_(i);
    outside += z * z;
  }
  return outside <= kDependent * kDependent * length;
}

// A necessary condition for in_active_span, in O(NR): a normal a with at most kDependent of its length
// outside the active span has |a'd| <= kDependent |a| |d| along a direction d in the reduced space.
template <int kN>
bool SizedActiveSet<kN>::flat_slope(int code) const {
  const Constraint c = decode(code);
  const Mat1<double>& rows = c.kind == Kind::elimination ? ae_ : ai_;
  double length = 0.0, dlength = 0.0;
  for (int i = 1; i <= nr(); ++i) {
    length += rows(i, c.index) * rows(i, c.index);
    dlength += gd_(i) * gd_(i);
  }
  return slope_ * slope_ <= 4.0 * kDependent * kDependent * length * dlength;  // twice, for rounding
}

// True for the rows that the elimination of equalities computed (elimination rows, and inequality rows
// when there was something to eliminate): only they carry rounding that can tilt a dependent normal.
template <int kN>
bool SizedActiveSet<kN>::from_elimination(int code) const {
  const Kind kind = decode(code).kind;
  return me_ > 0 && (kind == Kind::elimination || kind == Kind::inequality);
}

template <int kN>
void SizedActiveSet<kN>::set_state(int code, int state) {
  const Constraint c = decode(code);
  switch (c.kind) {
    case Kind::inequality:
      iine_(c.index) = state;
      break;
    case Kind::elimination:
      ielb_(c.index) = state;
      break;
    case Kind::bound:
    case Kind::artificial:
      ibnd_(c.index) = state;
      break;
  }
}

// Ratio test. A blocking constraint whose normal lies in the span of the active normals cannot really
// block: along a direction in their null space its value does not change, and its computed slope is
// rounding (magnified by a long direction). It is passed over, and the scan repeated without it.
template <int kN>
void SizedActiveSet<kN>::ratio_test() {
  bool excluded = false;
  scan_candidates();
  while (added_ != 0 && q_count_ > 0 && from_elimination(added_) && flat_slope(added_) &&
         in_active_span(added_)) {
    set_state(added_, kExcluded);
    excluded = true;
    scan_candidates();
  }
  if (!excluded) return;
  for (int j = 1; j <= mr_; ++j)
    if (iine_(j) == kExcluded) iine_(j) = 0;
  for (int k = 1; k <= me_; ++k)
    if (ielb_(k) == kExcluded) ielb_(k) = 0;
  for (int i = 1; i <= nr(); ++i)
    if (ibnd_(i) == kExcluded) ibnd_(i) = 0;
}

// W = sign times the normal of constraint c (the unit vector of a bound).
template <int kN>
void SizedActiveSet<kN>::put_normal(const Constraint& c, double sign) {
  switch (c.kind) {
    case Kind::inequality:
      for (int i = 1; i <= nr(); ++i) w_(i) = sign * ai_(i, c.index);
      return;
    case Kind::elimination:
      for (int i = 1; i <= nr(); ++i) w_(i) = sign * ae_(i, c.index);
      return;
    case Kind::bound:
    case Kind::artificial:
      break;
  }
  for (int i = 1; i <= nr(); ++i) w_(i) = i == c.index ? sign : 0.0;
}

// Move along d by alpha, activate the blocking constraint and put its normal in W.
template <int kN>
void SizedActiveSet<kN>::take_step() {
  const double alpha = alpha_;
  double* const d = d_.data();
  for (int i = 0; i < nr(); ++i) d[i] += alpha * gd_raw_[i];
  if (added_ != 0) {
    const Constraint c = decode(added_);
    switch (c.kind) {
      case Kind::inequality:
        iine_(c.index) = 1;
        put_normal(c, 1.0);
        break;
      case Kind::elimination:
        ielb_(c.index) = se_(c.index) >= 0.0 ? 1 : 2;
        put_normal(c, ielb_(c.index) == 1 ? -1.0 : 1.0);
        break;
      case Kind::bound:
      case Kind::artificial:
        ibnd_(c.index) = gd_(c.index) < 0.0 ? 1 : 2;
        put_normal(c, ibnd_(c.index) == 1 ? 1.0 : -1.0);
        break;
    }
  }
  // The running row values follow the step; the correction step does not update them.
  for (int j = 1; j <= mr_; ++j) ui_(j) += alpha * si_(j);
  for (int k = 1; k <= me_; ++k) v_(k) += alpha * se_(k);
}

// STEP: direction, ratio test, update; an added constraint enters the factorisation.
template <int kN>
typename SizedActiveSet<kN>::Step SizedActiveSet<kN>::step() {
  if (p_ == 2) p_ = 3;
  newton_direction();
  ratio_test();
  take_step();
  if (added_ != 0) {
    qpadd_sized<kN>(nr(), q_count_, w_raw_, q_raw_, t_raw_, gd_raw_);
    ++q_count_;
    iact_(q_count_) = added_;
    return Step::grad;
  }
  if (p_ == 3 && q_count_ == 0) {
    compute_gradient();
    if (stationary()) return Step::finish;
  }
  return Step::grad;
}

// FINISH: multipliers out (unscaled), zero multipliers of inactive constraints, the listing line.
template <int kN>
void SizedActiveSet<kN>::finish() {
  for (int l = 1; l <= q_count_; ++l) {
    const Constraint c = decode(iact_(l));
    switch (c.kind) {
      case Kind::inequality:
        ui_(c.index) = w_(l) * fi_(c.index);
        break;
      case Kind::elimination: {
        const int k = c.index;
        w_(l) *= fe_(k);
        el_(k) = 0.0;
        eu_(k) = 0.0;
        if (ielb_(k) == 1) el_(k) = w_(l);
        if (ielb_(k) == 2) eu_(k) = w_(l);
        break;
      }
      case Kind::bound:
      case Kind::artificial: {
        const int i = c.index;
        dl_(i) = 0.0;
        du_(i) = 0.0;
        if (ibnd_(i) == 1) dl_(i) = w_(l);
        if (ibnd_(i) == 2) du_(i) = w_(l);
        break;
      }
    }
  }
  for (int j = 1; j <= mr_; ++j)
    if (iine_(j) < 1) ui_(j) = 0.0;
  for (int k = 1; k <= me_; ++k) {
    double* const row = ae_.column(k).data();
    const double f = fe_(k);
    for (int i = 0; i < nr(); ++i) row[i] /= f;  // the caller's coefficients again
    if (ielb_(k) < 1) {
      el_(k) = 0.0;
      eu_(k) = 0.0;
    }
  }
  for (int i = 1; i <= nr(); ++i)
    if (ibnd_(i) < 1) {
      dl_(i) = 0.0;
      du_(i) = 0.0;
    }
  if (iprint_ >= 0) {
    io::Formatted(io::kListingUnit)
        .slash()
        .x(1)
        .text("*** MIRAX, NUMBER OF ACTIVE BOUNDS + CONSTRAINTS =")
        .x(1)
        .i(5, std::max(q_count_ - 1, 0))
        .end();
  }
}

// ---- the instances ----------------------------------------------------------------------------------

namespace {

template <int kN>
int solve_sized(ActiveMode mode, const ActiveSetArgs& a, int pass_limit) {
  SizedActiveSet<kN> solver(mode, a, pass_limit);
  solver.scale_rows();
  if (mode == ActiveMode::normal) {
    solver.start_normal();
  } else {
    solver.start_reliable();
  }
  return solver.run();
}

}  // namespace

template class SizedActiveSet<0>;  // also ActiveSet's, for its direct users

int solve_active_set(ActiveMode mode, const ActiveSetArgs& a, int pass_limit) {
  return with_fixed_size<kLargestFixedSize>(
      a.NR, [&](auto size) { return solve_sized<decltype(size)::value>(mode, a, pass_limit); });
}

}  // namespace vek::qp::detail
