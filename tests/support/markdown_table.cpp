// Test support: reading a documented table (contract in markdown_table.h).
#include "support/markdown_table.h"

#include <fstream>

namespace talvir_test {

std::vector<std::vector<std::string>> markdown_table_rows(const std::string& path,
                                                          const std::string& heading) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) inside = line == heading;
    if (!inside || line.rfind("| `", 0) != 0) continue;
    std::vector<std::string> cells;
    std::size_t begin = 2;
    for (std::size_t bar = line.find(" | ", begin); bar != std::string::npos; bar = line.find(" | ", begin)) {
      cells.push_back(line.substr(begin, bar - begin));
      begin = bar + 3;
    }
    cells.push_back(line.substr(begin, line.size() - begin - 2));
    rows.push_back(cells);
  }
  return rows;
}

std::string without_code_span(const std::string& cell) {
  if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') return cell.substr(1, cell.size() - 2);
  return cell;
}

}  // namespace talvir_test
