// The dense kernels (vectorised, on x86-64 Linux an AVX2 clone chosen at load) against plain loops
// written from their contracts: every output bitwise equal, over lengths that leave each vector
// remainder, with signed zeros, infinities, NaNs and subnormals among the inputs.
#include "qp/dense_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

using Vec = std::vector<double>;

// Equal bits, signed zeros included; any NaN matches any NaN (which operand's payload an addition keeps
// is not part of the contract).
bool same_bits(const Vec& x, const Vec& y) {
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::isnan(x[i]) && std::isnan(y[i])) continue;
    if (std::memcmp(&x[i], &y[i], sizeof(double)) != 0) return false;
  }
  return true;
}

Vec values(std::mt19937& rng, int n, bool special) {
  const double inf = std::numeric_limits<double>::infinity();
  const double odd[] = {0.0, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(), 1e-310};
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  Vec v(n);
  for (double& x : v) x = special && rng() % 9 == 0 ? odd[rng() % 6] : u(rng);
  return v;
}

TEST(DenseKernels, VectorisedSumsAreBitwiseThoseOfPlainLoops) {
  std::mt19937 rng(2024);
  for (const int n : {1, 2, 3, 4, 5, 7, 8, 9, 31, 33, 255, 257}) {
    for (const bool special : {false, true}) {
      Vec x[4], c(16);
      for (Vec& xq : x) xq = values(rng, n, special);
      for (double& s : c) s = values(rng, 1, special)[0];
      const double* xs[4] = {x[0].data(), x[1].data(), x[2].data(), x[3].data()};
      for (int count = 1; count <= 4; ++count) {  // add_scaled_each: the terms of one y in turn
        Vec y = values(rng, n, special), want = y;
        vek::qp::add_scaled_each(y.data(), xs, c.data(), count, n);
        for (int b = 0; b < n; ++b)
          for (int q = 0; q < count; ++q) want[b] = want[b] + x[q][b] * c[q];
        EXPECT_TRUE(same_bits(y, want)) << "add_scaled_each n " << n << " count " << count;
      }
      for (const int ny : {1, 2, 4}) {  // add_products4: four terms into each of ny sums
        Vec y[4], want[4];
        double* ys[4];
        for (int k = 0; k < ny; ++k) {
          y[k] = want[k] = values(rng, n, special);
          ys[k] = y[k].data();
        }
        vek::qp::add_products4(ys, ny, xs, c.data(), n);
        for (int k = 0; k < ny; ++k) {
          for (int b = 0; b < n; ++b)
            for (int q = 0; q < 4; ++q) want[k][b] = want[k][b] + x[q][b] * c[4 * k + q];
          EXPECT_TRUE(same_bits(y[k], want[k])) << "add_products4 n " << n << " ny " << ny << " y " << k;
        }
      }
    }
  }
}

// add_terms_4x4: sums k = 0..3 begin at t = r0 + k + 1; blocks that start before, inside and after the
// leading terms.
TEST(DenseKernels, FourSumsOfFourRightHandSidesAreThoseOfPlainLoops) {
  std::mt19937 rng(7);
  const int r0 = 5;
  const int blocks[][2] = {{2, 40}, {6, 7}, {7, 9}, {8, 8}, {9, 30}, {20, 60}};
  for (const auto& block : blocks) {
    const int t0 = block[0], t1 = block[1];
    for (const bool special : {false, true}) {
      Vec h[4], e = values(rng, 4 * (t1 - t0 + 1), special);
      for (Vec& hk : h) hk = values(rng, t1 + 1, special);  // hk[t] for t <= t1
      const double* hs[4] = {h[0].data(), h[1].data(), h[2].data(), h[3].data()};
      const int ld = 11;  // y[i ld + k]: sum k of right-hand side i
      Vec y = values(rng, 4 * ld, special), want = y;
      vek::qp::add_terms_4x4(y.data(), ld, hs, r0, t0, t1, e.data());
      for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
          for (int t = std::max(t0, r0 + k + 1); t <= t1; ++t)
            want[i * ld + k] = want[i * ld + k] + h[k][t] * e[4 * (t - t0) + i];
      EXPECT_TRUE(same_bits(y, want)) << "block " << t0 << ".." << t1 << (special ? " special" : "");
    }
  }
}

}  // namespace
