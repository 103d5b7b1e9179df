// PluginModule and default_module_path on Windows (see module.h for the contract).
//
// Windows has no $ORIGIN run path: the module is loaded with LoadLibraryEx and
// LOAD_WITH_ALTERED_SEARCH_PATH, which puts the module's own folder first in the search for the DLLs it
// imports (vek_services.dll, vek_units.dll beside it). That flag needs a full path, so a relative one is
// made absolute first. Paths are split on both '/' and '\\'.
#if defined(_WIN32)
#include <windows.h>

#include <string>

#include "host/module.h"

#ifndef TALVIR_DEFAULT_MODULE
#define TALVIR_DEFAULT_MODULE "vek_talvir.dll"
#endif

namespace talvir::host {
namespace {

std::string system_message(DWORD code) {
  char* text = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length = FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message;
}

std::string full_path(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

}  // namespace

PluginModule::~PluginModule() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

bool PluginModule::open(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryExA(full_path(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    *error = "cannot load the solver module " + path + ": " + system_message(GetLastError());
    return false;
  }
  FARPROC symbol = GetProcAddress(module, "GetFactoryNLPSystem");
  if (symbol == nullptr) {
    *error = "the module " + path + " does not export GetFactoryNLPSystem";
    FreeLibrary(module);
    return false;
  }
  handle_ = module;
  entry_ = reinterpret_cast<GetFactoryNLPSystemFn>(reinterpret_cast<void*>(symbol));
  return true;
}

// The build puts the module beside the programs on Windows.
std::string default_module_path() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string dir = ".";
  if (length > 0 && length < MAX_PATH) {
    dir.assign(buffer, length);
    const std::size_t slash = dir.find_last_of("/\\");
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
  }
  return dir + "\\" + TALVIR_DEFAULT_MODULE;
}

}  // namespace talvir::host

#endif  // _WIN32
