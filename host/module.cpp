// PluginModule and default_module_path (see module.h for the contract); the Windows version is in
// host/module_windows.cpp.
#if !defined(_WIN32)
#include "host/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "host/module_file.h"

#ifndef TALVIR_DEFAULT_MODULE
#define TALVIR_DEFAULT_MODULE "vek_talvir.so"
#endif

namespace talvir::host {

PluginModule::~PluginModule() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool PluginModule::open(const std::string& path, std::string* error) {
  // RTLD_LOCAL keeps the module's symbols to itself, as a framework loading several solvers would.
  const std::string fault = module_file_fault(path);
  if (!fault.empty()) {
    *error = fault;
    return false;
  }
  handle_ = dlopen(module_load_path(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    *error = "cannot load the solver module " + path + ": " + (why != nullptr ? why : "unknown error");
    return false;
  }
  void* symbol = dlsym(handle_, "GetFactoryNLPSystem");
  if (symbol == nullptr) {
    *error = "the module " + path + " does not export GetFactoryNLPSystem";
    dlclose(handle_);
    handle_ = nullptr;
    return false;
  }
  entry_ = reinterpret_cast<GetFactoryNLPSystemFn>(symbol);
  return true;
}

std::string default_module_path() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  std::string dir = ".";
  if (length > 0) {
    buffer[length] = '\0';
    dir = buffer;
    const size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
  }
  // The build tree's place first, then the installed one (relative to the installed program).
  const std::string built = dir + "/../lib/" + TALVIR_DEFAULT_MODULE;
#if defined(TALVIR_INSTALLED_MODULE_DIR)
  const std::string installed = dir + "/" + TALVIR_INSTALLED_MODULE_DIR + "/" + TALVIR_DEFAULT_MODULE;
  if (access(built.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0) return installed;
#endif
  return built;
}

}  // namespace talvir::host

#endif  // !_WIN32
