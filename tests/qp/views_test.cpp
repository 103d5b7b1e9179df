// The 1-based views shared by the QP solver and the engine: the packed layout against a walk of the
// lower triangle in storage order, index products beyond the int range, and column views that alias
// the matrix they come from.
#include "qp/views.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vek::qp::Mat1;
using vek::qp::Packed;
using vek::qp::Vec1;

TEST(Views, PackedLayoutIsTheLowerTriangleByColumns) {
  for (int n : {1, 2, 5, 9}) {
    SCOPED_TRACE(n);
    std::vector<double> store(vek::qp::packed_size(n), 0.0);
    const Packed<double> h(store.data(), n);
    // Writing each element's storage rank through the view must fill the storage with 1, 2, 3, ...
    int rank = 0;
    for (int j = 1; j <= n; ++j)
      for (int i = j; i <= n; ++i) h(i, j) = ++rank;
    ASSERT_EQ(rank, static_cast<int>(store.size()));
    for (int k = 0; k < rank; ++k) ASSERT_EQ(store[k], k + 1.0) << "position " << k + 1;
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j) EXPECT_EQ(&h.sym(i, j), &h.sym(j, i));
    EXPECT_EQ(h.data(), store.data());
  }
}

TEST(Views, PackedIndexProductsPassTheIntRange) {
  // For n = 60000 the product (n-1) n is about 3.6e9 and would wrap in int; the count itself fits.
  constexpr int n = 60000;
  constexpr long long count = 1800030000LL;  // n(n+1)/2
  EXPECT_EQ(vek::qp::packed_size(n), count);
  EXPECT_EQ(vek::qp::packed_pos(n, n, n), count);          // the last element of the last column
  EXPECT_EQ(vek::qp::packed_pos(n, n - 1, n), count - 1);  // the one before it
  EXPECT_EQ(vek::qp::packed_pos(n, 1, n), n);              // the end of the first column
}

TEST(Views, ColumnsAliasTheMatrix) {
  std::vector<double> store = {1, 2, 3, 4, 5, 6};  // 3 x 2, leading dimension 3
  const Mat1<double> a(store.data(), 3);
  EXPECT_EQ(a.ld(), 3);
  EXPECT_EQ(a(3, 1), 3.0);
  EXPECT_EQ(a(1, 2), 4.0);
  const Vec1<double> second = a.column(2);
  EXPECT_EQ(second.size(), 3);
  second(2) = -5.0;
  EXPECT_EQ(a(2, 2), -5.0);
  EXPECT_EQ(store[4], -5.0);
  const Vec1<double> v(store.data(), 6);
  EXPECT_EQ(v.size(), 6);
  EXPECT_EQ(&v(6), &a(3, 2));
  EXPECT_EQ(Vec1<double>().size(), 0);
  EXPECT_EQ(Vec1<double>().data(), nullptr);
}

}  // namespace
