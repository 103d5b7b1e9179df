// 1-based views over the caller's contiguous arrays, so that the QP routines read like their
// algorithms. A view owns nothing and never allocates; index arithmetic is done in std::ptrdiff_t.
//
//   Vec1<T>{p}        v(i)    = p[i-1]
//   Mat1<T>{p, ld}    a(i, j) = p[(i-1) + (j-1)*ld]            (column-major, leading dimension ld)
//   Packed<T>{p, n}   h(i, j) = lower triangle packed by columns, i >= j, at i + (j-1)n - j(j-1)/2;
//                     h.sym(i, j) accepts either order
//   Factor<T>{p, n}   the QP factor storage: r(i, j), i <= j, packed by columns at the front
//                     (position j(j-1)/2 + i); u(i, j), i <= j, packed by rows at the back
//                     (position i(2n-i+1)/2 - n + j)
#pragma once

#include <cstddef>

namespace vek::qp {

template <class T>
class Vec1 {
 public:
  explicit Vec1(T* p) : p_(p) {}
  T& operator()(int i) const { return p_[i - 1]; }

 private:
  T* p_;
};

template <class T>
class Mat1 {
 public:
  Mat1(T* p, int ld) : p_(p), ld_(ld) {}
  T& operator()(int i, int j) const {
    return p_[static_cast<std::ptrdiff_t>(i - 1) + static_cast<std::ptrdiff_t>(j - 1) * ld_];
  }
  // Column j as a 1-based vector.
  Vec1<T> col(int j) const { return Vec1<T>(p_ + static_cast<std::ptrdiff_t>(j - 1) * ld_); }

 private:
  T* p_;
  std::ptrdiff_t ld_;
};

// Position (1-based) of element (i, j), i >= j, of an order-n packed lower triangle.
constexpr std::ptrdiff_t packed_pos(int i, int j, int n) {
  return static_cast<std::ptrdiff_t>(i) + static_cast<std::ptrdiff_t>(j - 1) * n -
         static_cast<std::ptrdiff_t>(j) * (j - 1) / 2;
}

template <class T>
class Packed {
 public:
  Packed(T* p, int n) : p_(p), n_(n) {}
  T& operator()(int i, int j) const { return p_[packed_pos(i, j, n_) - 1]; }
  T& sym(int i, int j) const { return i >= j ? (*this)(i, j) : (*this)(j, i); }

 private:
  T* p_;
  int n_;
};

template <class T>
class Factor {
 public:
  Factor(T* p, int n) : p_(p), n_(n) {}
  T& r(int i, int j) const { return p_[static_cast<std::ptrdiff_t>(j) * (j - 1) / 2 + i - 1]; }
  T& u(int i, int j) const { return p_[static_cast<std::ptrdiff_t>(i) * (2 * n_ - i + 1) / 2 - n_ + j - 1]; }

 private:
  T* p_;
  int n_;
};

// Sum over m = from..to of x(m) * y(m) (increasing m); 0 when the range is empty.
template <class X, class Y>
double dot_range(int from, int to, const X& x, const Y& y) {
  double s = 0.0;
  for (int m = from; m <= to; ++m) s += x(m) * y(m);
  return s;
}

// Quotient that treats a zero divisor as "no such direction": a zero diagonal of R or U (dependent
// normals, singular reduced Hessian) then contributes nothing instead of an infinity.
inline double div_or_zero(double num, double den) {
  return den != 0.0 ? num / den : 0.0;
}

}  // namespace vek::qp
