// Stand-in host services: strings from malloc, the version text, safe temporary file names, and the
// connection of output units to files through the process-wide unit table (io/units.h).
// Contracts: see services/VEKServices.h.
#include "services/VEKServices.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "io/units.h"

namespace {

constexpr const char* kVersionText = "1.0.0";

// The system temporary folder (TMPDIR, else the platform default), or "/tmp" when it cannot be found.
std::string temporary_folder() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return "/tmp";
  return folder.string();
}

char* copy_text(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

char* VEKServices::AllocateString(std::int32_t length) {
  if (length < 1) return nullptr;
  return static_cast<char*>(std::malloc(static_cast<std::size_t>(length)));
}

char* VEKServices::GetDLLVersionNumber(const char* /*library_name*/, char* buffer) {
  if (buffer == nullptr) return nullptr;
  std::snprintf(buffer, kVersionTextSize, "%s", kVersionText);
  return buffer;
}

std::int32_t VEKServices::CreateTemporaryFileName(char*& name, const char* prefix) {
  name = nullptr;
  std::string path =
      (std::filesystem::path(temporary_folder()) / (std::string(prefix != nullptr ? prefix : "") + "XXXXXX"))
          .string();
  // mkostemp creates the file exclusively with a unique name, so no other process can slip in first.
#if defined(_WIN32)
  const int fd = mkstemp(path.data());  // the same, without the close-on-exec flag
#else
  const int fd = mkostemp(path.data(), O_CLOEXEC);
#endif
  if (fd < 0) return -1;
  name = copy_text(path);
  if (name == nullptr) {
    close(fd);
    std::remove(path.c_str());
    return -1;
  }
  // The unit layer keeps the descriptor for the listing's first connection, which then opens nothing.
  if (!vek::io::adopt_file(name, fd)) close(fd);
  return 0;
}

std::int32_t VEKServices::DeleteTemporaryFileName(char*& name) {
  if (name == nullptr) return 0;
  vek::io::remove_file(name);  // the file may already be gone: removed at the end of a solve
  std::free(name);
  name = nullptr;
  return 0;
}

bool VEKServices::OpenFortranLogicalUnit(std::int32_t unit, const char* file_name) {
  if (file_name == nullptr) return false;
  return vek::io::connect(unit, file_name);
}

bool VEKServices::CloseFortranLogicalUnit(std::int32_t unit) {
  return vek::io::disconnect(unit);
}
