// One-based views over caller-owned storage, so that the engine's loops read like its formulas.
//
// Vec1<T>(data, n)        element i, 1 <= i <= n, is data[i - 1]
// ColMat1(data, ld, ncol) element (i, j) of a column-major array with leading dimension ld
// Packed1(data, n)        symmetric matrix of order n, lower triangle packed by columns: element (i, k)
//                         with i >= k sits at position i + (k-1)n - k(k-1)/2; (i, k) with i < k reads
//                         the mirrored element
// None of them owns or allocates anything; a default-constructed view is empty.
#pragma once

namespace vek::engine {

template <class T>
class Vec1 {
 public:
  Vec1() = default;
  Vec1(T* data, int size) : data_(data), size_(size) {}
  T& operator()(int i) const { return data_[i - 1]; }
  T* data() const { return data_; }
  int size() const { return size_; }
  // Address of element i (may be one past the end for an empty tail).
  T* at(int i) const { return data_ + (i - 1); }

 private:
  T* data_ = nullptr;
  int size_ = 0;
};

template <class T>
class ColMat1 {
 public:
  ColMat1() = default;
  ColMat1(T* data, int ld, int ncol) : data_(data), ld_(ld), ncol_(ncol) {}
  T& operator()(int i, int j) const { return data_[(i - 1) + static_cast<long>(j - 1) * ld_]; }
  T* column(int j) const { return data_ + static_cast<long>(j - 1) * ld_; }
  T* data() const { return data_; }
  int ld() const { return ld_; }
  int ncol() const { return ncol_; }

 private:
  T* data_ = nullptr;
  int ld_ = 0;
  int ncol_ = 0;
};

// Number of elements of a packed symmetric matrix of order n. The product is formed in 64 bits: it
// passes the int range before the count does (the workspace checks keep the count itself an int).
constexpr int packed_size(int n) {
  return static_cast<int>(static_cast<long long>(n) * (n + 1) / 2);
}

template <class T>
class Packed1 {
 public:
  Packed1() = default;
  Packed1(T* data, int order) : data_(data), order_(order) {}
  T& operator()(int i, int k) const { return i >= k ? data_[position(i, k) - 1] : data_[position(k, i) - 1]; }
  T* data() const { return data_; }
  int order() const { return order_; }
  int size() const { return packed_size(order_); }

 private:
  long long position(int i, int k) const {
    return i + static_cast<long long>(k - 1) * order_ - static_cast<long long>(k) * (k - 1) / 2;
  }
  T* data_ = nullptr;
  int order_ = 0;
};

}  // namespace vek::engine
