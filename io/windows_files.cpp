// open_unfollowed (contract in io/windows_files.h).
#if defined(_WIN32)
#include "io/windows_files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>

namespace vek::io {
namespace {

HANDLE open_handle(const char* path, FileAccess access) {
  const bool write = access == FileAccess::kWriteEmpty;
  return CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     write ? OPEN_ALWAYS : OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A plain file: neither a reparse point (the link itself was opened, not its target) nor a directory.
bool is_plain_file(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

}  // namespace

std::FILE* open_unfollowed(const char* path, FileAccess access) {
  if (path == nullptr) return nullptr;
  const bool write = access == FileAccess::kWriteEmpty;
  HANDLE handle = open_handle(path, access);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  // Emptied only after the check, so that a refused file keeps its content.
  if (!is_plain_file(handle) || (write && !SetEndOfFile(handle))) {
    CloseHandle(handle);
    return nullptr;
  }
  const int fd =
      _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), (write ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, write ? "wb" : "rb");
  if (file == nullptr) _close(fd);  // closes the handle too
  return file;
}

std::FILE* open_scratch_file() {
  char folder[MAX_PATH + 1];
  char path[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "vek", 0, path) == 0) return nullptr;
  // GetTempFileName has made the file with a unique name; it is reopened to be deleted on close.
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileA(path);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (file == nullptr) _close(fd);
  return file;
}

}  // namespace vek::io
#endif
