// A host's own services library, as a host application ships it: the six VEKServices functions under
// their exported names, which create, delete and allocate and know nothing of the module's unit layer
// (connecting and disconnecting a unit answer true and do nothing). The module must still deliver its
// listing when it runs on these.
#include <unistd.h>  // mkstemp and close; mingw-w64 has them too

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "services/VEKServices.h"

char* VEKServices::AllocateString(std::int32_t length) {
  return length < 1 ? nullptr : static_cast<char*>(std::malloc(static_cast<std::size_t>(length)));
}

char* VEKServices::GetDLLVersionNumber(const char* /*library_name*/, char* buffer) {
  if (buffer != nullptr) std::snprintf(buffer, kVersionTextSize, "%s", "1.0.0");
  return buffer;
}

std::int32_t VEKServices::CreateTemporaryFileName(char*& name, const char* prefix) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  std::string path = ((error ? std::filesystem::path(".") : folder) /
                      (std::string(prefix != nullptr ? prefix : "") + "host_XXXXXX"))
                         .string();
  const int fd = mkstemp(path.data());
  name = nullptr;
  if (fd < 0) return -1;
  close(fd);
  name = static_cast<char*>(std::malloc(path.size() + 1));
  if (name != nullptr) std::memcpy(name, path.c_str(), path.size() + 1);
  return name != nullptr ? 0 : -1;
}

std::int32_t VEKServices::DeleteTemporaryFileName(char*& name) {
  if (name != nullptr) std::remove(name);
  std::free(name);
  name = nullptr;
  return 0;
}

bool VEKServices::OpenFortranLogicalUnit(std::int32_t /*unit*/, const char* /*file_name*/) {
  return true;
}

bool VEKServices::CloseFortranLogicalUnit(std::int32_t /*unit*/) {
  return true;
}
