// Plane rotations of the QP factor updates (QPADD, QPDEL).
//
// The rotation is the symmetric one: with c^2 + s^2 = 1 a pair (x, y) becomes (c x + s y, s x - c y);
// it is its own inverse. make_rotation(a, b, r) gives the rotation that maps (a, b) onto (r, 0).
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace vek::qp {

struct Rotation {
  double c;
  double s;
};

// Applies the rotation to one pair of entries.
inline void rotate(const Rotation& g, double& x, double& y) {
  const double a = x;
  const double b = y;
  x = g.c * a + g.s * b;
  y = g.s * a - g.c * b;
}

// Rotation mapping (a, b) onto (r, 0), r = sqrt(a^2 + b^2).
//  - a = b = 0: nothing to rotate; c = 1, s = 0 (the pair keeps its first entry, the second only
//    changes sign) and r = 0, so no zero divisor ever produces NaN or Inf.
//  - both squares underflow: the rotation becomes an exchange (c = 0, s = 1), r the larger value.
//  - the sum of squares overflows: computed on the scaled pair, so c and s stay a true rotation.
inline Rotation make_rotation(double a, double b, double& r) {
  const double r2 = a * a + b * b;
  if (r2 == 0.0) {
    if (a == 0.0 && b == 0.0) {
      r = 0.0;
      return {1.0, 0.0};
    }
    r = std::max(a, b);
    return {0.0, 1.0};
  }
  if (r2 > std::numeric_limits<double>::max()) {
    const double m = std::max(std::fabs(a), std::fabs(b));
    const double as = a / m;
    const double bs = b / m;
    const double rs = std::sqrt(as * as + bs * bs);
    r = m * rs;
    return {as / rs, bs / rs};
  }
  r = std::sqrt(r2);
  return {a / r, b / r};
}

}  // namespace vek::qp
