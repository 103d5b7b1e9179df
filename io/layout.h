// Fixed-form text layouts for the listing, exact to the column.
//
// Formatted writes follow the field notation of the listing:
//   Iw      integer right-aligned in w columns
//   Fw.d    fixed point, d decimals, right-aligned in w columns (a leading "0" is dropped only when the
//           field is otherwise one column short)
//   1PEw.d  scientific form, one non-zero digit before the point, d after it, exponent "E+dd"
//           (three-digit exponents drop the letter: "1.0000+100")
//   nX      n blanks;  A / quoted text  the text as it stands;  "/"  ends the current line
// A number that does not fit its field fills the field with asterisks. NaN and infinities print as
// "NaN", "Infinity"/"Inf" and "-Infinity"/"-Inf", right-aligned.
//
// List-directed lines begin with one blank, then the items in order: texts as they stand, with no
// separator; an integer right-aligned in 12 columns; a real as a blank followed by 1PE23.16 (24
// columns, 17 significant digits, enough to reproduce the double exactly).
//
// Usage:   Formatted(7).slash().text("  *** MIRAX ERROR: N =").i(6, n).slash().end();
//          ListDirected(7).text("*** MIRAX, SUM IN \"QPCHOL\" = ").num(s).end();
// Neither class allocates: fields are formatted into a small buffer and sent to the unit at once.
#pragma once

#include <cstddef>
#include <string_view>

#include "io/units.h"

namespace vek::io {

// Field formatters into `out` (at least `w` + 1 bytes, or 32 for the list-directed forms); each returns
// the number of characters written (w for the fixed-width forms) and terminates the text.
VEK_UNITS_API int format_i(char* out, int w, long long v);
VEK_UNITS_API int format_f(char* out, int w, int d, double v);
VEK_UNITS_API int format_pe(char* out, int w, int d, double v);
VEK_UNITS_API int format_free(char* out, long long v);
VEK_UNITS_API int format_free(char* out, double v);

class VEK_UNITS_API Formatted {
 public:
  explicit Formatted(int unit) : unit_(unit) {}
  Formatted(const Formatted&) = delete;
  Formatted& operator=(const Formatted&) = delete;
  ~Formatted() { end(); }

  Formatted& slash();
  Formatted& x(int n);
  Formatted& text(std::string_view s);
  Formatted& i(int w, long long v);
  Formatted& f(int w, int d, double v);
  Formatted& pe(int w, int d, double v);
  // Ends the layout: the current line is ended. Further calls do nothing.
  void end();

 private:
  int unit_;
  bool ended_ = false;
};

class VEK_UNITS_API ListDirected {
 public:
  explicit ListDirected(int unit);
  ListDirected(const ListDirected&) = delete;
  ListDirected& operator=(const ListDirected&) = delete;
  ~ListDirected() { end(); }

  ListDirected& text(std::string_view s);
  ListDirected& num(int v) { return num(static_cast<long long>(v)); }
  ListDirected& num(long long v);
  ListDirected& num(double v);
  void end();

 private:
  int unit_;
  bool ended_ = false;
};

// A list-directed write with no item: an empty line.
VEK_UNITS_API void empty_line(int unit);

}  // namespace vek::io
