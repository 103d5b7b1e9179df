// The decimal grammar of parameter values given as text, shared by every door that reads them (the
// native API's talvir_set_parameter, the reference host's --set): one grammar, so that a value one
// accepts the other accepts too. Header-only.
//
//   integer: [+-]? digits, within 32 bits
//   real:    [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?, finite
// Nothing else: no blanks, no hexadecimal or "inf"/"nan" spellings, no trailing characters.
//
//   parse_decimal_integer(text, &value)   true with the value, or false (value unchanged)
//   parse_decimal_real(text, &value)      the same for a real
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace vek::io {

namespace decimal_detail {

inline std::size_t digits_from(std::string_view s, std::size_t k) {
  std::size_t n = 0;
  while (k + n < s.size() && s[k + n] >= '0' && s[k + n] <= '9') ++n;
  return n;
}

inline std::size_t sign_length(std::string_view s, std::size_t k) {
  return k < s.size() && (s[k] == '+' || s[k] == '-') ? 1 : 0;
}

inline bool is_decimal_number(std::string_view s) {
  std::size_t k = sign_length(s, 0);
  const std::size_t whole = digits_from(s, k);
  k += whole;
  std::size_t fraction = 0;
  if (k < s.size() && s[k] == '.') {
    fraction = digits_from(s, k + 1);
    k += 1 + fraction;
  }
  if (whole + fraction == 0) return false;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    k += 1 + sign_length(s, k + 1);
    const std::size_t exponent = digits_from(s, k);
    if (exponent == 0) return false;
    k += exponent;
  }
  return k == s.size();
}

}  // namespace decimal_detail

// `text` must be NUL-terminated (strtoll and strtod read it).
inline bool parse_decimal_integer(const char* text, long long* value) {
  const std::string_view s(text);
  const std::size_t first = decimal_detail::sign_length(s, 0);
  if (s.size() == first || decimal_detail::digits_from(s, first) != s.size() - first) return false;
  errno = 0;
  const long long v = std::strtoll(text, nullptr, 10);
  if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  *value = v;
  return true;
}

inline bool parse_decimal_real(const char* text, double* value) {
  if (!decimal_detail::is_decimal_number(text)) return false;
  errno = 0;
  const double v = std::strtod(text, nullptr);
  if (errno != 0 || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

}  // namespace vek::io
