// The reference-host table of docs/robustness.md, run: every row is a talvir command line whose exit
// status and the beginning of whose standard error must be those of the row.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/listing_capture.h"
#include "support/markdown_table.h"

namespace {

// The rows of the table under `heading`, code spans unwrapped.
[[maybe_unused]] std::vector<std::vector<std::string>> table_rows(const std::string& heading) {
  auto rows =
      talvir_test::markdown_table_rows(std::string(TALVIR_SOURCE_DIR) + "/docs/robustness.md", heading);
  for (auto& row : rows)
    for (auto& cell : row) cell = talvir_test::without_code_span(cell);
  return rows;
}

[[maybe_unused]] void replace_all(std::string& s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

// A copy of the built module cut to its first `keep` bytes.
[[maybe_unused]] std::string truncated_module(std::size_t keep) {
  std::string path;
#ifdef TALVIR_MODULE_PATH
  std::ifstream in(TALVIR_MODULE_PATH, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  path = talvir_test::temp_path("cut_module") + ".so";
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(keep));
#endif
  (void)keep;
  return path;
}

TEST(RobustnessTable, EveryReferenceHostRowHolds) {
#if !defined(TALVIR_HOST_PATH) || defined(_WIN32)
  GTEST_SKIP() << "talvir was not built, or Windows: the rows are POSIX shell lines (ulimit, /dev/null) "
                  "and some check ELF modules";
#else
  const auto rows = table_rows("## The reference host `talvir`");
  ASSERT_GE(rows.size(), 10u);
  const std::string cut = truncated_module(30000);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u) << row[0];
    SCOPED_TRACE(row[0]);
    std::string args = row[0], expected = row[2];
    std::string prefix;
    if (args.rfind("{limited} ", 0) == 0) {
#if defined(__SANITIZE_ADDRESS__)
      continue;  // the address sanitizer cannot run under an address-space limit
#endif
      prefix = "ulimit -v 2000000 && ";
      args = args.substr(10);
    }
    replace_all(args, "{truncated}", cut);
    replace_all(expected, "{truncated}", cut);
    FILE* pipe = popen((prefix + TALVIR_HOST_PATH + " " + args + " 2>&1 1>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string err;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) err.append(buffer, got);
    const int raw = pclose(pipe);
    const int status = talvir_test::exit_status(raw);
    EXPECT_EQ(status >= 0 ? std::to_string(status) : "signal", row[1]);
    EXPECT_EQ(err.substr(0, expected.size()), expected);
  }
  std::remove(cut.c_str());
#endif
}

}  // namespace
