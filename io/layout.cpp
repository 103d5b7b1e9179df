// Field formatting for the listing layouts: Iw, Fw.d, 1PEw.d, list-directed numbers.
#include "io/layout.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vek::io {
namespace {

// Right-aligns `len` characters of `text` in a field of `w` columns; asterisks when they do not fit.
int fit(char* out, int w, const char* text, int len) {
  if (w <= 0) {
    out[0] = '\0';
    return 0;
  }
  if (len > w) {
    std::memset(out, '*', static_cast<std::size_t>(w));
  } else {
    std::memset(out, ' ', static_cast<std::size_t>(w - len));
    std::memcpy(out + (w - len), text, static_cast<std::size_t>(len));
  }
  out[w] = '\0';
  return w;
}

// NaN and infinities: the longest of the usual spellings that fits.
int fit_nonfinite(char* out, int w, double v) {
  if (std::isnan(v)) return fit(out, w, "NaN", 3);
  const bool neg = v < 0;
  const char* longer = neg ? "-Infinity" : "Infinity";
  const int longer_len = neg ? 9 : 8;
  if (longer_len <= w) return fit(out, w, longer, longer_len);
  return neg ? fit(out, w, "-Inf", 4) : fit(out, w, "Inf", 3);
}

}  // namespace

int format_i(char* out, int w, long long v) {
  char buf[32];
  const int len = std::snprintf(buf, sizeof buf, "%lld", v);
  return fit(out, w, buf, len);
}

int format_f(char* out, int w, int d, double v) {
  if (!std::isfinite(v)) return fit_nonfinite(out, w, v);
  char buf[512];
  int len = std::snprintf(buf, sizeof buf, "%.*f", d, v);
  if (len < 0 || len >= static_cast<int>(sizeof buf)) return fit(out, w, "", w + 1);
  if (d == 0) buf[len++] = '.';  // a fixed-point field always shows its point
  char* text = buf;
  if (len > w) {
    // The zero before the point is optional: drop it when that makes the number fit.
    if (text[0] == '0' && text[1] == '.') {
      ++text;
      --len;
    } else if (text[0] == '-' && text[1] == '0' && text[2] == '.') {
      text[1] = '-';
      ++text;
      --len;
    }
  }
  return fit(out, w, text, len);
}

int format_pe(char* out, int w, int d, double v) {
  if (!std::isfinite(v)) return fit_nonfinite(out, w, v);
  char buf[64];
  int len = std::snprintf(buf, sizeof buf, "%.*E", d, v);
  // C writes at least two exponent digits, as the listing wants; a three-digit exponent drops the
  // letter E to keep the exponent part four characters wide ("1.0000+100").
  char* e = std::strchr(buf, 'E');
  if (e != nullptr && std::strlen(e + 2) > 2) {
    std::memmove(e, e + 1, std::strlen(e + 1) + 1);
    --len;
  }
  return fit(out, w, buf, len);
}

int format_free(char* out, long long v) {
  return format_i(out, 12, v);
}

int format_free(char* out, double v) {
  out[0] = ' ';
  return 1 + format_pe(out + 1, 23, 16, v);
}

Formatted& Formatted::slash() {
  end_line(unit_);
  return *this;
}

Formatted& Formatted::x(int n) {
  for (int k = 0; k < n; ++k) put(unit_, " ");
  return *this;
}

Formatted& Formatted::text(std::string_view s) {
  put(unit_, s);
  return *this;
}

Formatted& Formatted::i(int w, long long v) {
  char buf[64];
  const int len = w < 63 ? format_i(buf, w, v) : 0;
  put(unit_, std::string_view(buf, static_cast<std::size_t>(len)));
  return *this;
}

Formatted& Formatted::f(int w, int d, double v) {
  char buf[64];
  const int len = w < 63 ? format_f(buf, w, d, v) : 0;
  put(unit_, std::string_view(buf, static_cast<std::size_t>(len)));
  return *this;
}

Formatted& Formatted::pe(int w, int d, double v) {
  char buf[64];
  const int len = (w < 63 && d < 40) ? format_pe(buf, w, d, v) : 0;
  put(unit_, std::string_view(buf, static_cast<std::size_t>(len)));
  return *this;
}

void Formatted::end() {
  if (ended_) return;
  ended_ = true;
  end_line(unit_);
}

ListDirected::ListDirected(int unit) : unit_(unit) {
  put(unit_, " ");
}

ListDirected& ListDirected::text(std::string_view s) {
  put(unit_, s);
  return *this;
}

ListDirected& ListDirected::num(long long v) {
  char buf[32];
  const int len = format_free(buf, v);
  put(unit_, std::string_view(buf, static_cast<std::size_t>(len)));
  return *this;
}

ListDirected& ListDirected::num(double v) {
  char buf[32];
  const int len = format_free(buf, v);
  put(unit_, std::string_view(buf, static_cast<std::size_t>(len)));
  return *this;
}

void ListDirected::end() {
  if (ended_) return;
  ended_ = true;
  end_line(unit_);
}

void empty_line(int unit) {
  end_line(unit);
}

}  // namespace vek::io
