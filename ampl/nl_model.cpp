// Reading a .nl file with ASL into an NlModel: header, refusals, objective choice, body, rows and the
// column-wise Jacobian structure. Contract in ampl/nl_model.h.
#include "ampl/nl_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "ampl/nl_complete.h"

#if defined(__SANITIZE_ADDRESS__)
#define TALVIR_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALVIR_LEAK_CHECKER 1
#endif
#endif
#if defined(TALVIR_LEAK_CHECKER)
#include <sanitizer/lsan_interface.h>
#endif

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace talvir::ampl {
namespace {

bool infinite(double bound) {
  return !(std::fabs(bound) < kInfiniteBound);
}

// Bounds i of an ASL pair array (lower, upper interleaved) or of separate lower/upper arrays.
void bounds_of(const real* pairs, const real* upper, int i, double& lo, double& up) {
  lo = upper ? pairs[i] : pairs[2 * i];
  up = upper ? upper[i] : pairs[2 * i + 1];
}

void fill_variables(NlModel& model) {
  ASL* asl = model.asl;
  model.xl.resize(model.n);
  model.xu.resize(model.n);
  model.x0.resize(model.n);
  for (int i = 0; i < model.n; ++i) {
    double lo = 0.0, up = 0.0;
    bounds_of(LUv, Uvx, i, lo, up);
    model.xl[i] = infinite(lo) ? -kInfiniteBound : lo;
    model.xu[i] = infinite(up) ? kInfiniteBound : up;
    const double start = X0 ? X0[i] : 0.0;  // ASL gives 0 for components the file does not set
    model.x0[i] = model.xl[i] <= model.xu[i] ? std::clamp(start, model.xl[i], model.xu[i]) : start;
  }
}

void fill_rows(NlModel& model) {
  ASL* asl = model.asl;
  model.rows.clear();
  model.first_row.assign(model.m_source, -1);
  for (int i = 0; i < model.m_source; ++i) {
    double lo = 0.0, up = 0.0;
    bounds_of(LUrhs, Urhsx, i, lo, up);
    const bool has_lo = !infinite(lo), has_up = !infinite(up);
    if (!has_lo && !has_up) continue;
    model.first_row[i] = model.m();
    if (has_lo && has_up && lo == up) {
      model.rows.push_back({i, RowSide::kEquality, lo});
      continue;
    }
    if (has_lo) model.rows.push_back({i, RowSide::kLower, lo});
    if (has_up) model.rows.push_back({i, RowSide::kUpper, up});
  }
}

int rows_of(const NlModel& model, int source) {
  const int first = model.first_row[source];
  if (first < 0) return 0;
  return first + 1 < model.m() && model.rows[first + 1].source == source ? 2 : 1;
}

// The engine structure from ASL's column lists; A_rownos is made by gen_rownos.
void fill_jacobian(NlModel& model) {
  ASL* asl = model.asl;
  if (model.m_source > 0) gen_rownos();
  model.jac_row.clear();
  model.jac_col.clear();
  model.jac_source.clear();
  model.jac_sign.clear();
  for (int j = 0; j < model.n && model.m_source > 0; ++j) {
    for (int k = A_colstarts[j]; k < A_colstarts[j + 1]; ++k) {
      const int source = A_rownos[k];
      for (int r = 0; r < rows_of(model, source); ++r) {
        const int row = model.first_row[source] + r;
        model.jac_row.push_back(row);
        model.jac_col.push_back(j);
        model.jac_source.push_back(k);
        model.jac_sign.push_back(model.rows[row].side == RowSide::kUpper ? -1.0 : 1.0);
      }
    }
  }
  model.c_source.assign(std::max(model.m_source, 1), 0.0);
  model.jac_source_values.assign(std::max(nzc, 1), 0.0);
}

// fg_read, returning instead of ending the process on a read error. When it gives up on a corrupt file,
// ASL's reader loses some of its work memory; the leak checker of a sanitizer build is told to look
// away from what the reader allocates (the ASL record itself, made before, stays checked).
int read_body(ASL* asl, FILE* nl) {
#if defined(TALVIR_LEAK_CHECKER)
  __lsan::ScopedDisabler not_ours;
#endif
  return fg_read(nl, ASL_return_read_err);
}

}  // namespace

std::string stub_of(const std::string& name) {
  const std::string suffix = ".nl";
  if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    return name.substr(0, name.size() - suffix.size());
  return name;
}

void begin_nl(NlModel& model) {
  if (model.asl == nullptr) model.asl = ASL_alloc(ASL_read_fg);
}

bool open_nl(const std::string& stub, NlModel& model) {
  model.stub = stub_of(stub);
  begin_nl(model);
  ASL* asl = model.asl;
  return_nofile = 1;
  want_xpi0 = 1;
  const std::string bad_header = header_text_problem(model.stub + ".nl");
  if (!bad_header.empty()) {
    model.message = "cannot read " + model.stub + ".nl: " + bad_header;
    return false;
  }
  FILE* nl = jac0dim(const_cast<char*>(model.stub.c_str()), static_cast<fint>(model.stub.size()));
  if (nl == nullptr) {
    model.message = "cannot open " + model.stub + ".nl";
    return false;
  }
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(model.stub + ".nl", error);
  const std::string problem = header_problem(asl, error ? std::numeric_limits<std::uintmax_t>::max() : bytes);
  if (!problem.empty()) {
    std::fclose(nl);
    model.message = "cannot read " + model.stub + ".nl: " + problem;
    return false;
  }
  model.nl_file = nl;
  model.n = n_var;
  model.m_source = n_con;
  model.n_objectives = n_obj;
  return true;
}

bool refusal(const NlModel& model, Ending& ending, std::string& why) {
  ASL* asl = model.asl;
  char text[200];
  const int integers = nbv + niv + nlvbi + nlvci + nlvoi;
  if (n_cc > 0) {
    ending = Ending::kComplementarity;
    std::snprintf(text, sizeof(text),
                  "the model has %d complementarity conditions, which this solver cannot handle", n_cc);
  } else if (integers > 0) {
    ending = Ending::kIntegerModel;
    std::snprintf(text, sizeof(text),
                  "the model has %d integer or binary variables; this solver handles continuous variables "
                  "only (relax integrality in the model to solve the relaxation)",
                  integers);
  } else if (n_lcon > 0) {
    ending = Ending::kUnsupportedModel;
    std::snprintf(text, sizeof(text), "the model has %d logical constraints, which this solver cannot handle",
                  n_lcon);
  } else if (model.n < 1) {
    ending = Ending::kUnsupportedModel;
    std::snprintf(text, sizeof(text), "the model has no variables");
  } else {
    return false;
  }
  why = text;
  return true;
}

std::string select_objective(NlModel& model, int objno) {
  ASL* asl = model.asl;
  if (objno < 0 || objno > model.n_objectives) {
    char text[160];
    std::snprintf(text, sizeof(text), "objno = %d, but the model has %d objective%s (0 = none)", objno,
                  model.n_objectives, model.n_objectives == 1 ? "" : "s");
    return text;
  }
  model.objective = objno - 1;
  obj_no = model.objective;  // write_sol reports it
  return "";
}

bool read_nl(NlModel& model) {
  ASL* asl = model.asl;
  FILE* nl = model.nl_file;
  model.nl_file = nullptr;
  const std::string bad_body = body_text_problem(asl, model.stub + ".nl");
  if (!bad_body.empty()) {
    std::fclose(nl);
    model.message = "cannot read " + model.stub + ".nl: the file is cut short or damaged: " + bad_body;
    return false;
  }
  // ASL fills these arrays from segments b and r; a NaN left over shows a segment that never came.
  model.variable_bounds.assign(2 * static_cast<size_t>(model.n), std::nan(""));
  model.row_bounds.assign(2 * static_cast<size_t>(model.m_source) + 1, std::nan(""));
  LUv = model.variable_bounds.data();
  LUrhs = model.row_bounds.data();
  const int status = read_body(asl, nl);
  const std::string missing = status == ASL_readerr_none ? missing_part(asl) : "";
  if (!missing.empty()) {
    model.message = "cannot read " + model.stub + ".nl: the file is cut short or damaged: " + missing;
    return false;
  }
  if (status != ASL_readerr_none) {
    char text[160];
    std::snprintf(text, sizeof(text),
                  "cannot read %s.nl: the file is corrupt or uses what this reader "
                  "does not know (ASL read error %d)",
                  model.stub.c_str(), status);
    model.message = text;
    return false;
  }
  model.sense = model.objective >= 0 && objtype[model.objective] != 0 ? -1.0 : 1.0;  // known after fg_read
  fill_variables(model);
  fill_rows(model);
  fill_jacobian(model);
  return true;
}

void close_nl(NlModel& model) {
  if (model.nl_file != nullptr) std::fclose(model.nl_file);
  model.nl_file = nullptr;
  if (model.asl != nullptr) ASL_free(&model.asl);
  model.asl = nullptr;
}

}  // namespace talvir::ampl
