// The memory this process can still obtain, for size checks made before a large allocation: on a
// system that overcommits, an allocation that cannot be backed succeeds and the process is killed
// later when it touches the pages, so a check must come first. Header-only.
//
//   exceeds_available_memory(bytes)  true when `bytes` is more than available_memory_bytes(); requests
//                              below 64 MB are not checked (asking the system costs more than a small
//                              solve, and a machine that cannot give 64 MB fails the allocation itself)
//   available_memory_bytes()   Linux: MemAvailable plus SwapFree (/proc/meminfo), capped by what the
//                              address-space and data-size limits (ulimit -v, -d) leave to this process;
//                              Windows: the smaller of the commit charge and the address space still
//                              free. UINT64_MAX when the system does not say.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vek::io {

#if defined(_WIN32)

inline std::uint64_t available_memory_bytes() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
  return status.ullAvailPageFile < status.ullAvailVirtual ? status.ullAvailPageFile : status.ullAvailVirtual;
}

#else

namespace detail {

// The kB value of the /proc/meminfo line `key`, or -1.
inline long long meminfo_kb(const char* key) {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (f == nullptr) return -1;
  char line[160];
  long long value = -1;
  const std::size_t length = std::strlen(key);
  while (value < 0 && std::fgets(line, sizeof line, f) != nullptr)
    if (std::strncmp(line, key, length) == 0 && line[length] == ':')
      std::sscanf(line + length + 1, "%lld", &value);
  std::fclose(f);
  return value;
}

// Bytes of address space this process uses now (the first field of /proc/self/statm, in pages).
inline std::uint64_t used_address_space() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  unsigned long long pages = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

inline std::uint64_t left_under_limit(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  const std::uint64_t used = used_address_space();
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace detail

inline std::uint64_t available_memory_bytes() {
  const long long available = detail::meminfo_kb("MemAvailable"), swap = detail::meminfo_kb("SwapFree");
  std::uint64_t bytes = available < 0 ? UINT64_MAX : 1024ull * (available + (swap > 0 ? swap : 0));
  for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    const std::uint64_t left = detail::left_under_limit(resource);
    if (left < bytes) bytes = left;
  }
  return bytes;
}

#endif

inline bool exceeds_available_memory(double bytes) {
  return bytes >= 64.0 * (1 << 20) && bytes > static_cast<double>(available_memory_bytes());
}

}  // namespace vek::io
