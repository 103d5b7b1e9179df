// Fuzz target: the AMPL driver's model set-up on a .nl file: open (header), refusals, objective choice,
// body, rows and Jacobian structure, then one evaluation of values and derivatives at the start point.
// Invariants: a refused file says why; an accepted one has its sizes from the header, every engine row
// and Jacobian entry naming a variable, row and ASL position in range, and a start point within its
// bounds where the bounds are consistent.
//
// The damage is what files meet in practice: the mutator cuts a file short, changes a number in the
// header or in a segment of counts, bounds and entries (b, r, k, J, G, x, d), or drops or repeats such
// a line. Expression graphs (segments C, O, V, L) are left whole: ASL's reader trusts them. When ASL
// gives up with an exit, the exit returns here as a refusal (ASL loses memory on that path, so the
// leak checker is off for this target).
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ampl/nl_evaluate.h"
#include "ampl/nl_model.h"
#include "fuzz/fuzz_input.h"

namespace {

using namespace talvir::ampl;

std::jmp_buf* asl_exit = nullptr;  // where ASL's exit returns to, while ASL runs

std::string write_input(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_nl_" + std::to_string(getpid()) + ".nl";
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr, "cannot write the input file");
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0, "cannot write the input file");
  return path;
}

void check_structure(const NlModel& model) {
  FUZZ_CHECK(model.n >= 1 && static_cast<int>(model.x0.size()) == model.n, "variables");
  for (const EngineRow& row : model.rows)
    FUZZ_CHECK(row.source >= 0 && row.source < model.m_source, "engine row source out of range");
  FUZZ_CHECK(model.jac_col.size() == model.jac_row.size() && model.jac_source.size() == model.jac_row.size(),
             "Jacobian arrays differ in length");
  for (int k = 0; k < model.nnz(); ++k) {
    FUZZ_CHECK(model.jac_row[k] >= 0 && model.jac_row[k] < model.m(), "Jacobian row out of range");
    FUZZ_CHECK(model.jac_col[k] >= 0 && model.jac_col[k] < model.n, "Jacobian column out of range");
    FUZZ_CHECK(
        model.jac_source[k] >= 0 && model.jac_source[k] < static_cast<int>(model.jac_source_values.size()),
        "Jacobian source out of range");
  }
  for (int i = 0; i < model.n; ++i)
    if (model.xl[i] <= model.xu[i])
      FUZZ_CHECK(model.xl[i] <= model.x0[i] && model.x0[i] <= model.xu[i], "start point outside its bounds");
}

// 1 or 0 as `step` returns true or false; -1 when ASL ended the run inside it.
template <typename Step>
int without_exit(Step step) {
  std::jmp_buf here;
  if (setjmp(here) != 0) {
    asl_exit = nullptr;
    return -1;
  }
  asl_exit = &here;
  const bool done = step();
  asl_exit = nullptr;
  return done ? 1 : 0;
}

void set_up(const std::string& path) {
  NlModel model;
  const int opened = without_exit([&] { return open_nl(path, model); });
  if (opened != 1) {
    FUZZ_CHECK(opened == -1 || !model.message.empty(), "a refused header without a message");
    close_nl(model);
    return;
  }
  Ending ending = Ending::kUnsupportedModel;
  std::string why;
  if (refusal(model, ending, why) || !select_objective(model, model.n_objectives > 0 ? 1 : 0).empty()) {
    close_nl(model);
    return;
  }
  std::FILE* const body = model.nl_file;
  const int read = without_exit([&] { return read_nl(model); });
  if (read == -1) std::fclose(body);  // ASL ended before closing it
  if (read != 1) {
    FUZZ_CHECK(read == -1 || !model.message.empty(), "a refused body without a message");
    close_nl(model);
    return;
  }
  check_structure(model);
  std::vector<double> c(model.m() + 1), g(model.n), jac(model.nnz() + 1);
  double f = 0.0;
  if (evaluate_functions(model, model.x0.data(), f, c.data()))
    evaluate_derivatives(model, model.x0.data(), g.data(), jac.data());
  close_nl(model);
}

// The lines of a text .nl file whose numbers may change: header lines 2 to 10, and the heading and
// data lines of the segments of counts, bounds and entries (not expression graphs, not binary bodies).
std::vector<std::pair<std::size_t, std::size_t>> damageable_lines(const std::string& text) {
  std::vector<std::pair<std::size_t, std::size_t>> lines;
  bool data_segment = false;
  for (std::size_t start = 0, k = 0; start < text.size(); ++k) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const char first = text[start];
    if (k >= 10 && std::strchr("FSVCLOdxrbkJG", first) != nullptr)
      data_segment = std::strchr("dxrbkJG", first);
    if ((k >= 1 && k < 10) || (k >= 10 && data_segment)) lines.emplace_back(start, end);
    start = end;
  }
  return text.empty() || text[0] != 'g' ? decltype(lines){} : lines;
}

std::string changed_number(const std::string& line, std::minstd_rand& random) {
  std::vector<std::size_t> starts;
  for (std::size_t k = 0; k < line.size() && line[k] != '#'; ++k)
    if (std::isdigit(static_cast<unsigned char>(line[k])) && (k == 0 || !std::isdigit(line[k - 1])))
      starts.push_back(k);
  if (starts.empty()) return line;
  const std::size_t at = starts[random() % starts.size()];
  std::size_t end = at;
  while (end < line.size() && (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == '.'))
    ++end;
  const long old = std::atol(line.c_str() + at);
  const long values[] = {0,       1,          old + 1,     old - 1,
                         2 * old, old + 1000, 2147483647L, static_cast<long>(random() % 100000)};
  return line.substr(0, at) + std::to_string(values[random() % 8]) + line.substr(end);
}

std::size_t damage(std::uint8_t* data, std::size_t size, std::size_t max_size, unsigned seed) {
  std::minstd_rand random(seed + 1);
  std::string text(reinterpret_cast<const char*>(data), size);
  const auto lines = damageable_lines(text);
  const unsigned kind = lines.empty() ? 0 : random() % 4;
  if (kind == 0) {
    text.resize(size == 0 ? 0 : random() % size);
  } else {
    const auto [start, end] = lines[random() % lines.size()];
    const std::string line = text.substr(start, end - start);
    const std::string replacement = kind == 1 ? changed_number(line, random) : kind == 2 ? "" : line + line;
    text = text.substr(0, start) + replacement + text.substr(end);
  }
  if (text.size() > max_size) text.resize(max_size);
  std::memcpy(data, text.data(), text.size());
  return text.size();
}

}  // namespace

extern "C" void mainexit_ASL(int status) {
  if (asl_exit != nullptr) std::longjmp(*asl_exit, 1);
  std::_Exit(status);
}

extern "C" const char* __asan_default_options() {
  return "detect_leaks=0";
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned seed) {
  return damage(data, size, max_size, seed);
}

// No mixing of two files (it would cut through expression graphs): the first one, damaged.
extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* data1, std::size_t size1,
                                                 const std::uint8_t*, std::size_t, std::uint8_t* out,
                                                 std::size_t max_out_size, unsigned seed) {
  const std::size_t size = std::min(size1, max_out_size);
  std::memcpy(out, data1, size);
  return damage(out, size, max_out_size, seed);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  set_up(write_input(data, size));
  return 0;
}
