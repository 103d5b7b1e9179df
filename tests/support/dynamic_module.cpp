// open_module, find_symbol, close_module (contract in support/dynamic_module.h).
#include "support/dynamic_module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace talvir_test {

#if defined(_WIN32)
void* open_module(const std::string& path, std::string* error) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  HMODULE module = LoadLibraryExA(length > 0 && length < MAX_PATH ? full : path.c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) *error = "LoadLibraryEx failed, error " + std::to_string(GetLastError());
  return module;
}

void* find_symbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool close_module(void* module) {
  return FreeLibrary(static_cast<HMODULE>(module)) != 0;
}
#else
void* open_module(const std::string& path, std::string* error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "dlopen failed";
  }
  return module;
}

void* find_symbol(void* module, const char* name) {
  return dlsym(module, name);
}

bool close_module(void* module) {
  return dlclose(module) == 0;
}
#endif

}  // namespace talvir_test
