// Completeness checks of a .nl header and body read by ASL. Contract in ampl/nl_complete.h.
#include "ampl/nl_complete.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
#include "nlp.h"
// clang-format on

namespace talvir::ampl {
namespace {

std::string format(const char* pattern, long a, long b = 0) {
  char text[200];
  std::snprintf(text, sizeof(text), pattern, a, b);
  return text;
}

// The first NaN left in a bound array (ASL sets every pair its segment lists).
bool all_set(const real* values, long count) {
  for (long k = 0; k < count; ++k)
    if (std::isnan(values[k])) return false;
  return true;
}

std::string missing_expression(ASL_fg* asl) {
  for (int i = 0; i < n_con; ++i)
    if (con_de[i].e == nullptr) return format("the body of constraint %ld (segment C%ld)", i, i);
  for (int i = 0; i < n_obj; ++i)
    if (obj_de[i].e == nullptr) return format("the body of objective %ld (segment O%ld)", i, i);
  const int defined = comb + comc + como, defined1 = comc1 + como1;
  for (int i = 0; i < defined; ++i)
    if (cexps[i].e == nullptr) return format("defined variable %ld (segment V%ld)", i, n_var + i);
  for (int i = 0; i < defined1; ++i)
    if (cexps1[i].e == nullptr)
      return format("defined variable %ld (segment V%ld)", defined + i, n_var + defined + i);
  return "";
}

std::string bad_column_counts(ASL* asl) {
  if (nzc == 0) return "";
  if (A_colstarts == nullptr) return "the Jacobian's column counts (segment k)";
  for (int j = 0; j < n_var; ++j)
    if (A_colstarts[j + 1] < A_colstarts[j] || A_colstarts[j] < 0)
      return format("the Jacobian's column counts (segment k): column %ld ends before it starts", j);
  if (A_colstarts[0] != 0 || A_colstarts[n_var] != nzc)
    return format("the Jacobian's column counts (segment k) give %ld entries, the header %ld",
                  A_colstarts[n_var] - A_colstarts[0], nzc);
  return "";
}

// Every Jacobian entry of the J segments: a variable in range, a position in range and used once.
std::string bad_jacobian_entries(ASL* asl) {
  std::vector<char> seen(static_cast<size_t>(nzc), 0);
  long entries = 0;
  for (int i = 0; i < n_con; ++i)
    for (const cgrad* g = Cgrad[i]; g != nullptr; g = g->next, ++entries) {
      if (g->varno < 0 || g->varno >= n_var || g->goff < 0 || g->goff >= nzc || seen[g->goff])
        return format("the Jacobian entries of constraint %ld (segment J%ld) do not fit the column counts", i,
                      i);
      seen[g->goff] = 1;
    }
  if (entries != nzc)
    return format("the Jacobian entries (segments J): %ld of the header's %ld read", entries, nzc);
  return "";
}

std::string bad_gradient_entries(ASL* asl) {
  long entries = 0;
  for (int i = 0; i < n_obj; ++i)
    for (const ograd* g = Ograd[i]; g != nullptr; g = g->next, ++entries)
      if (g->varno < 0 || g->varno >= n_var)
        return format("the gradient entries of objective %ld (segment G%ld) name no variable", i, i);
  if (entries != nzo)
    return format("the objective gradient entries (segments G): %ld of the header's %ld read", entries, nzo);
  return "";
}

// How many integers each header line after the first must start with.
constexpr int kHeaderCounts[9] = {5, 2, 2, 3, 4, 5, 2, 2, 5};

// Reads up to `wanted` non-negative integers that fit an int from the start of a line.
bool leading_integers(const char* line, int wanted) {
  for (int k = 0; k < wanted; ++k) {
    while (*line == ' ' || *line == '\t') ++line;
    if (*line < '0' || *line > '9') return false;
    long value = 0;
    for (; *line >= '0' && *line <= '9'; ++line)
      if ((value = 10 * value + (*line - '0')) > 0x7fffffff) return false;
  }
  return true;
}

// The first line: g or b, then the number of options and that many integers.
bool first_line_fits(const char* line) {
  if (line[0] != 'g' && line[0] != 'b') return false;
  if (line[1] < '0' || line[1] > '9') return true;
  const int options = line[1] - '0';
  return (line[2] < '0' || line[2] > '9') && leading_integers(line + 2, options);
}

// One line without its end; false at the end of the file.
bool read_line(std::FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  while ((c = std::getc(file)) != EOF && c != '\n') line += static_cast<char>(c);
  return c != EOF || !line.empty();
}

// Scans the body of a text file segment by segment (expression lines begin with a lower-case letter
// that never begins a heading; data lines begin with a digit or a sign).
class BodyScan {
 public:
  BodyScan(long n, long m, long objectives, long defined, long nzc_header, long nzo_header)
      : n_(n),
        m_(m),
        objectives_(objectives),
        defined_(defined),
        nzc_(nzc_header),
        nzo_(nzo_header),
        starts_(n + 1, 0),
        per_column_(n, 0),
        bodies_(m + objectives + defined, 0) {}

  std::string line(const char* text) {
    if (text[0] != '\0' && std::strchr("FSVCLOdxrbkJG", text[0]) != nullptr) return heading(text);
    if (left_ == 0) return "";  // an expression line
    --left_;
    return data(text);
  }

  std::string end() {
    if (left_ > 0) return segment() + format(" ends %ld lines early", left_);
    for (long k = 0; k < static_cast<long>(bodies_.size()); ++k)
      if (bodies_[k] != 1)
        return k < m_ ? format("constraint %ld has %ld bodies (segments C)", k, bodies_[k])
               : k < m_ + objectives_
                   ? format("objective %ld has %ld bodies (segments O)", k - m_, bodies_[k])
                   : format("defined variable %ld has %ld definitions (segments V)",
                            k - m_ - objectives_ + n_, bodies_[k]);
    if (nzc_ > 0 && !have_k_) return "the Jacobian's column counts (segment k) are missing";
    if (j_entries_ != nzc_)
      return format("the Jacobian entries (segments J) number %ld, the header's count %ld", j_entries_, nzc_);
    starts_[n_] = nzc_;
    for (long j = 0; have_k_ && j < n_; ++j)
      if (starts_[j + 1] - starts_[j] != per_column_[j])
        return format("column %ld has %ld Jacobian entries (segments J), not its count (segment k)", j,
                      per_column_[j]);
    if (g_entries_ != nzo_)
      return format("the gradient entries (segments G) number %ld, the header's count %ld", g_entries_, nzo_);
    return "";
  }

 private:
  std::string segment() const { return std::string("segment ") + segment_; }

  std::string heading(const char* text) {
    if (left_ > 0) return segment() + format(" ends %ld lines early", left_);
    segment_ = text[0];
    long a = -1, b = -1;
    std::sscanf(text + 1, "%ld %ld", &a, &b);
    switch (segment_) {
      case 'k':
        return counts(a);
      case 'J':
        return entries(a, m_, b, j_entries_);
      case 'G':
        return entries(a, objectives_, b, g_entries_);
      case 'x':
        return expect(a, n_, n_);
      case 'd':
        return expect(a, m_, m_);
      case 'r':
        return expect(m_, m_, 0);
      case 'b':
        return expect(n_, n_, 0);
      case 'S':
        return expect(b, std::numeric_limits<long>::max(), suffix_range(a));
      case 'C':
        return body(a, 0, m_);
      case 'O':
        return body(a, m_, objectives_);
      case 'V':
        return body(a - n_, m_ + objectives_, defined_);
      default:
        return "";
    }
  }

  // A constraint's, objective's or defined variable's expression: `which` of `count`, counted once.
  std::string body(long which, long first, long count) {
    if (which < 0 || which >= count) return segment() + format(" names %ld, out of range", which);
    ++bodies_[first + which];
    return "";
  }

  long suffix_range(long kind) const {
    const long ranges[] = {n_, m_, objectives_, 1};
    return ranges[kind & 3];
  }

  // The next `lines` lines are data, each naming an index below `range` (0: no index).
  std::string expect(long lines, long most, long range) {
    if (lines < 0 || lines > most) return segment() + format(" announces %ld lines", lines);
    left_ = lines;
    range_ = range;
    return "";
  }

  std::string counts(long lines) {
    if (have_k_ || lines != n_ - 1)
      return format("segment k gives %ld column counts for %ld variables", lines, n_);
    have_k_ = true;
    return expect(lines, lines, 0);
  }

  std::string entries(long which, long rows, long count, long& total) {
    if (which < 0 || which >= rows || count < 0 || count > n_)
      return segment() + format("%ld with %ld entries does not fit the header", which, count);
    total += count;
    return expect(count, n_, n_);
  }

  std::string data(const char* text) {
    long value = -1;
    if (std::sscanf(text, "%ld", &value) != 1) return segment() + " has a line without a number";
    if (segment_ == 'k') {
      const long column = n_ - 1 - left_;
      if (value < starts_[column - 1] || value > nzc_)
        return format("the column counts (segment k) run out of order at column %ld", column);
      starts_[column] = value;
      return "";
    }
    if (range_ == 0) return "";
    if (value < 0 || value >= range_) return segment() + format(" names %ld, out of range", value);
    if (segment_ == 'J') ++per_column_[value];
    return "";
  }

  long n_, m_, objectives_, defined_, nzc_, nzo_;
  std::vector<long> starts_;      // column starts from segment k, starts_[n] = nzc
  std::vector<long> per_column_;  // Jacobian entries per column seen in segments J
  std::vector<long> bodies_;      // segments C, O and V seen per constraint, objective, defined variable
  char segment_ = ' ';
  long left_ = 0, range_ = 0;
  long j_entries_ = 0, g_entries_ = 0;
  bool have_k_ = false;
};

}  // namespace

std::string body_text_problem(ASL* asl, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "";
  BodyScan scan(n_var, n_con, n_obj, 0L + comb + comc + como + comc1 + como1, nzc, nzo);
  std::string line, why;
  bool text = true;
  for (long k = 0; why.empty(); ++k) {
    if (!read_line(file, line)) {
      if (text && k >= 10) why = scan.end();
      break;
    }
    if (k == 0) text = line[0] == 'g';
    if (!text) break;
    if (k >= 10) why = scan.line(line.c_str());
  }
  std::fclose(file);
  return why;
}

std::string header_text_problem(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "";  // the caller's open says so
  char line[512];
  std::string why;
  for (int k = 0; k < 10 && why.empty(); ++k) {
    if (std::fgets(line, sizeof(line), file) == nullptr)
      why = format("the header has %ld of its 10 lines", k);
    else if (k == 0 ? !first_line_fits(line) : !leading_integers(line, kHeaderCounts[k - 1]))
      why = format("line %ld of the header is not what a .nl header holds there", k + 1);
  }
  std::fclose(file);
  return why;
}

std::string header_problem(ASL* asl, std::uintmax_t file_bytes) {
  const long sizes[] = {n_var, n_con, n_obj, nzc, nzo, comb, comc, como, comc1, como1, nfunc};
  long total = 0;
  for (long size : sizes) {
    if (size < 0) return "the header gives a negative size";
    total += size;
  }
  if (static_cast<std::uintmax_t>(total) > file_bytes)
    return format(
        "the header announces %ld variables, constraints, objectives and entries, more than a "
        "file of %ld bytes can hold",
        total, static_cast<long>(file_bytes));
  // Counts of kinds of variables and constraints cannot exceed the totals they are part of.
  const long variables = n_var, constraints = n_con;
  const bool fits = nlvc <= variables && nlvo <= variables && nlvb <= nlvc && nlvb <= nlvo &&
                    nwv <= variables && 0L + nbv + niv + nlvbi + nlvci + nlvoi <= variables &&
                    nlc <= constraints && 0L + nlnc + lnc <= constraints && nranges <= constraints &&
                    n_eqn <= constraints && nlo <= n_obj && n_cc <= constraints &&
                    nzc <= variables * constraints && nzo <= variables * n_obj && nlvb >= 0 && nlvbi >= 0 &&
                    nlvci >= 0 && nlvoi >= 0 && nbv >= 0 && niv >= 0;
  if (!fits) return "the header's counts of kinds of variables or constraints exceed its totals";
  return "";
}

std::string missing_part(ASL* asl) {
  if (!all_set(LUv, 2L * n_var)) return "the variables' bounds (segment b)";
  if (n_con > 0 && !all_set(LUrhs, 2L * n_con)) return "the constraints' bounds (segment r)";
  std::string why = missing_expression(reinterpret_cast<ASL_fg*>(asl));
  if (why.empty()) why = bad_column_counts(asl);
  if (why.empty()) why = bad_jacobian_entries(asl);
  if (why.empty()) why = bad_gradient_entries(asl);
  return why;
}

}  // namespace talvir::ampl
