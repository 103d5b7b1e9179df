// The answer to AMPL through write_sol. Contract in ampl/sol_answer.h.
#include "ampl/sol_answer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "ampl/options.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace talvir::ampl {

std::string solution_message(const NlModel& model, Ending ending, const std::string& detail,
                             const NlSolution* solution) {
  std::string text = std::string(solver_banner()) + ": " + ending_info(ending).text + ".";
  if (!detail.empty()) text += "\n" + detail;
  if (solution != nullptr && !solution->x.empty() && ending != Ending::kStartNotEvaluable) {
    char line[240];
    if (model.objective >= 0) {
      std::snprintf(line, sizeof(line), "\nobjective %.10g; ", solution->objective);
      text += line;
    } else {
      text += "\n";
    }
    std::snprintf(line, sizeof(line),
                  "%d iterations, %d function and %d derivative evaluations; max violation %.3g",
                  solution->iterations, solution->value_evaluations, solution->derivative_evaluations,
                  solution->violation);
    text += line;
    if (model.failed_evaluations > 0) {
      std::snprintf(line, sizeof(line), "\n%ld evaluations failed (the step was cut)",
                    model.failed_evaluations);
      text += line;
    }
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

namespace {

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A .sol file as ASL writes it, whole: text ends with its "objno" line; binary is a sequence of
// records (length, bytes, the same length) that ends exactly at the end of the file.
bool whole_sol(const std::string& text, bool binary) {
  if (!binary) {
    const std::size_t last = text.rfind('\n', text.size() < 2 ? 0 : text.size() - 2);
    return !text.empty() && text.back() == '\n' && last != std::string::npos &&
           text.compare(last + 1, 6, "objno ") == 0;
  }
  std::size_t at = 0;
  int records = 0;
  for (; at + 4 <= text.size(); ++records) {
    std::uint32_t length = 0, again = 0;
    std::memcpy(&length, text.data() + at, 4);
    if (length > text.size() - at - 4 || text.size() - at - 4 - length < 4) return false;
    std::memcpy(&again, text.data() + at + 4 + length, 4);
    if (again != length) return false;
    at += 8 + length;
  }
  return records > 0 && at == text.size();
}

// Flushes a file ASL has written and closed to the disk.
bool synced(const std::string& path) {
#if defined(_WIN32)
  (void)path;
  return true;
#else
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool done = ::fsync(fd) == 0;
  return ::close(fd) == 0 && done;
#endif
}

// Runs write_sol with ASL's output name turned to `temp_stub` (ASL appends ".sol").
template <typename Write>
void with_sol_name(ASL* asl, const std::string& temp_stub, Write write) {
  std::vector<char> name(temp_stub.begin(), temp_stub.end());
  name.resize(temp_stub.size() + 16, '\0');  // room for the extension ASL copies in
  char* const saved_name = filename;
  char* const saved_end = stub_end;
  filename = name.data();
  stub_end = name.data() + temp_stub.size();
  write();
  filename = saved_name;
  stub_end = saved_end;
}

}  // namespace

bool write_answer(NlModel& model, Option_Info* info, Ending ending, const std::string& detail,
                  const NlSolution* solution) {
  ASL* asl = model.asl;
  solve_result_num = ending_info(ending).code;
  const std::string message = solution_message(model, ending, detail, solution);
  const bool with_point = solution != nullptr && static_cast<int>(solution->x.size()) == model.n;
  std::vector<double> x, y;
  if (with_point) {
    x = solution->x;
    y = ampl_duals(model, solution->lambda);
  }
  const std::string temp_stub = model.stub + ".sol-being-written-" + std::to_string(getpid());
  with_sol_name(asl, temp_stub, [&] {
    write_sol(const_cast<char*>(message.c_str()), with_point ? x.data() : nullptr,
              with_point && !y.empty() ? y.data() : nullptr, info);
  });
  const std::string temp = temp_stub + ".sol", answer = model.stub + ".sol";
  std::FILE* written = std::fopen(temp.c_str(), "rb");
  if (written == nullptr) return true;  // no .sol asked for
  std::fclose(written);
  errno = 0;
  if (whole_sol(file_text(temp), binary_nl != 0) && synced(temp) &&
      std::rename(temp.c_str(), answer.c_str()) == 0)
    return true;
  const int error = errno;
  std::remove(temp.c_str());
  std::remove(answer.c_str());  // an older answer must not pass for this one
  std::fprintf(stderr, "talvir: cannot write %s (%s); no answer was written\n", answer.c_str(),
               error != 0 ? std::strerror(error) : "the file was cut short: is the disk full?");
  return false;
}

}  // namespace talvir::ampl
