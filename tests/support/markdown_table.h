// Test support: the rows of a table in one of the docs, so that tests can play a documented table row by row.
#pragma once

#include <string>
#include <vector>

namespace talvir_test {

// The rows of `path` under the section line `heading` ("## ...") that begin with "| `", cells split at " | "
// without the outer bars; cells kept as written (code spans keep their backticks).
std::vector<std::vector<std::string>> markdown_table_rows(const std::string& path,
                                                          const std::string& heading);

// A cell without the backticks of a code span around it; other cells unchanged.
std::string without_code_span(const std::string& cell);

}  // namespace talvir_test
