// Shared by the fuzz targets: reading a fuzzer's bytes as bounded choices and values, and the check
// that turns a broken invariant into a crash the fuzzer (or the replay driver) reports.
//
// FuzzInput reads the bytes front to back; once they are used up every read answers its lowest choice,
// so any input, even an empty one, describes a complete case.
//   byte()                 the next byte (0 when used up)
//   choice(n)              an integer in 0..n-1
//   integer(lo, hi)        an integer in lo..hi
//   grid(lo, hi, steps)    one of steps+1 evenly spaced values from lo to hi (exact ties and zeros happen)
//   real_or_special(lo, hi) usually grid(lo, hi, 256), sometimes NaN, +-Inf, 1e30, -1e30, 1e300 or 0
//   raw_int32()            four bytes as they come
//   raw_double()           eight bytes as they come (any bit pattern, NaNs included)
//   text(max)              up to max bytes, NUL excluded
// FUZZ_CHECK(condition, message) prints the message and aborts when the condition does not hold.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace talvir_fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  bool used_up() const { return at_ >= size_; }

  int choice(int n) {
    if (n <= 1) return 0;
    const unsigned v = n <= 256 ? byte() : (static_cast<unsigned>(byte()) << 8 | byte());
    return static_cast<int>(v % static_cast<unsigned>(n));
  }
  int integer(int lo, int hi) { return lo + choice(hi - lo + 1); }
  double grid(double lo, double hi, int steps) { return lo + (hi - lo) * choice(steps + 1) / steps; }

  double real_or_special(double lo, double hi) {
    const int pick = byte();
    if (pick < 240) return grid(lo, hi, 256);
    constexpr double kSpecials[] = {std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    1.0e30,
                                    -1.0e30,
                                    1.0e300,
                                    0.0,
                                    -0.0};
    return kSpecials[pick % 8];
  }

  std::int32_t raw_int32() {
    std::uint32_t bits = 0;
    for (int k = 0; k < 4; ++k) bits = bits << 8 | byte();
    std::int32_t v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

  double raw_double() {
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits = bits << 8 | byte();
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

  std::string text(std::size_t max) {
    const std::size_t length = static_cast<std::size_t>(choice(static_cast<int>(max) + 1));
    std::string s;
    for (std::size_t k = 0; k < length && !used_up(); ++k) {
      const char c = static_cast<char>(byte());
      if (c != '\0') s.push_back(c);
    }
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace talvir_fuzz

#define FUZZ_CHECK(condition, message)                                                      \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", message, __FILE__, __LINE__); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)
