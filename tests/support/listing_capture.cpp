#include "support/listing_capture.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "io/units.h"

namespace talvir_test {

std::string temp_path(const std::string& stem) {
  static std::atomic<int> serial{0};
  std::ostringstream name;
#if defined(_WIN32)
  name << std::filesystem::temp_directory_path().string() << "\\" << stem << "." << ::_getpid() << ".";
#else
  const char* dir = std::getenv("TMPDIR");
  name << (dir != nullptr && *dir != '\0' ? dir : "/tmp") << "/" << stem << "." << ::getpid() << ".";
#endif
  name << serial++;
  return name.str();
}

bool make_symbolic_link(const std::string& target, const std::string& link) {
#if defined(_WIN32)
  const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  // Some systems (wine) answer success without making a link: the link must be there as a reparse point.
  if (CreateSymbolicLinkA(link.c_str(), target.c_str(), unprivileged) == 0) return false;
  const DWORD attributes = GetFileAttributesA(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
  return ::symlink(target.c_str(), link.c_str()) == 0;
#endif
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string capture_listing(const std::function<void()>& body) {
  const std::string path = temp_path("talvir_listing");
  vek::io::connect(vek::io::kListingUnit, path.c_str());
  body();
  vek::io::disconnect(vek::io::kListingUnit);
  std::string text = read_file(path);
  std::remove(path.c_str());
  return text;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

int exit_status(int pclose_result) {
#if defined(_WIN32)
  return pclose_result;
#else
  return WIFEXITED(pclose_result) ? WEXITSTATUS(pclose_result) : -1;
#endif
}

}  // namespace talvir_test
