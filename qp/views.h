// 1-based views over the caller's contiguous arrays, so that the QP routines and the SQP engine read
// like their algorithms. A view owns nothing and never allocates; a default-constructed view is empty.
// Index products are formed in std::int64_t: they pass the int range before any length does.
//
//   Vec1<T>{p, n}        v(i)    = p[i-1], 1 <= i <= n; size() = n. Vec1<T>{p} records no length
//                        (size() = 0); the QP routines use it, their lengths being their arguments
//   Mat1<T>{p, ld}       a(i, j) = p[(i-1) + (j-1)*ld]            (column-major, leading dimension ld);
//                        a.column(j) is column j as a Vec1 of its ld stored elements
//   Packed<T>{p, n}      h(i, j) = lower triangle of a symmetric matrix of order n, packed by columns:
//                        i >= j, at i + (j-1)n - j(j-1)/2; h.sym(i, j) accepts either order.
//                        h.column(j) is the address of (j, j), below which column j runs on:
//                        (i, j) = h.column(j)[i - j]. packed_size(n) = n(n+1)/2 elements
//   Factor<T>{p, n}      the QP factor storage: r(i, j), i <= j, packed by columns at the front
//                        (position j(j-1)/2 + i); u(i, j), i <= j, packed by rows at the back
//                        (position i(2n-i+1)/2 - n + j). Contiguous runs for the inner loops:
//                        r(i, j) = r_column(j)[i - 1]; u(i, j) = u_row(i)[j - i], and row i+1 begins
//                        n - i + 1 places after row i
// data() is the address of element 1 (or (1, 1)); ld() is the leading dimension the view was made with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace vek::qp {

template <class T>
class Vec1 {
 public:
  Vec1() = default;
  explicit Vec1(T* p) : p_(p) {}
  Vec1(T* p, int n) : p_(p), n_(n) {}
  T& operator()(int i) const { return p_[i - 1]; }
  T* data() const { return p_; }
  int size() const { return n_; }

 private:
  T* p_ = nullptr;
  int n_ = 0;
};

template <class T>
class Mat1 {
 public:
  Mat1() = default;
  Mat1(T* p, int ld) : p_(p), ld_(ld) {}
  T& operator()(int i, int j) const {
    return p_[static_cast<std::int64_t>(i - 1) + static_cast<std::int64_t>(j - 1) * ld_];
  }
  Vec1<T> column(int j) const {
    return Vec1<T>(p_ + static_cast<std::int64_t>(j - 1) * ld_, static_cast<int>(ld_));
  }
  T* data() const { return p_; }
  int ld() const { return static_cast<int>(ld_); }

 private:
  T* p_ = nullptr;
  std::int64_t ld_ = 0;
};

// Position (1-based) of element (i, j), i >= j, of an order-n packed lower triangle.
constexpr std::int64_t packed_pos(int i, int j, int n) {
  return static_cast<std::int64_t>(i) + static_cast<std::int64_t>(j - 1) * n -
         static_cast<std::int64_t>(j) * (j - 1) / 2;
}

// Elements of an order-n packed triangle. The product is formed in 64 bits; the workspace checks of
// every caller keep the count itself an int.
constexpr int packed_size(int n) {
  return static_cast<int>(static_cast<std::int64_t>(n) * (n + 1) / 2);
}

template <class T>
class Packed {
 public:
  Packed() = default;
  Packed(T* p, int n) : p_(p), n_(n) {}
  T& operator()(int i, int j) const { return p_[packed_pos(i, j, n_) - 1]; }
  T& sym(int i, int j) const { return i >= j ? (*this)(i, j) : (*this)(j, i); }
  T* column(int j) const { return p_ + (packed_pos(j, j, n_) - 1); }
  T* data() const { return p_; }

 private:
  T* p_ = nullptr;
  int n_ = 0;
};

template <class T>
class Factor {
 public:
  Factor(T* p, int n) : p_(p), n_(n) {}
  T& r(int i, int j) const { return p_[static_cast<std::int64_t>(j) * (j - 1) / 2 + i - 1]; }
  T& u(int i, int j) const { return p_[static_cast<std::int64_t>(i) * (2 * n_ - i + 1) / 2 - n_ + j - 1]; }
  T* r_column(int j) const { return p_ + static_cast<std::int64_t>(j) * (j - 1) / 2; }
  T* u_row(int i) const { return p_ + (static_cast<std::int64_t>(i) * (2 * n_ - i + 1) / 2 - n_ + i - 1); }

 private:
  T* p_;
  int n_;
};

// The largest number of free variables with a fixed-size instance of the active set (qp/active_set.h)
// and of the factor updates; QPSUB, QPREDU and QPBACK have instances up to one more (NQ = NR + ME).
// Each routine's list of explicit instances covers 0 (any size) and 1..this.
inline constexpr int kLargestFixedSize = 8;

// Calls f(std::integral_constant<int, n>()) when 1 <= n <= kLargest, else f(std::integral_constant<int,
// 0>()): the fixed-size instances of the QP routines, where the loops over the variables have a length known
// to the compiler, and the instance for any size (0).
template <int kLargest, class F>
decltype(auto) with_fixed_size(int n, F&& f) {
  if constexpr (kLargest == 0) {
    return f(std::integral_constant<int, 0>());
  } else {
    if (n == kLargest) return f(std::integral_constant<int, kLargest>());
    return with_fixed_size<kLargest - 1>(n, std::forward<F>(f));
  }
}

// Copies n values as a plain loop: the arrays of the engine and the QP are a handful of elements long,
// where a call of memmove costs more than the loop (built with talvir_small_arrays, the loop stays one).
template <class T>
void copy_values(const T* from, std::ptrdiff_t n, T* to) {
  for (std::ptrdiff_t i = 0; i < n; ++i) to[i] = from[i];
}

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
