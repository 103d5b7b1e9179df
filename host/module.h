// Loading the plug-in module by path, as a host framework does: dlopen (Windows: LoadLibraryEx with the
// module's folder in the DLL search path), then look up its one exported function GetFactoryNLPSystem.
// The module is not linked into the program.
//
// PluginModule::open(path, &error)  loads the module; on failure returns false and a message in
//                                   `error` (file missing, not a module, no entry).
// factory()                         calls GetFactoryNLPSystem: the factory with one reference that
//                                   the caller releases, or null.
// default_module_path()             <directory of this executable>/../lib/<module file name>, where the
//                                   build puts the module, or else where the installation puts it
//                                   (<libdir>/talvir beside the installed program's <bindir>); on
//                                   Windows the executable's own directory.
#pragma once

#include <string>

#include "plugin/interfaces.h"

namespace talvir::host {

class PluginModule {
 public:
  PluginModule() = default;
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;
  ~PluginModule();

  bool open(const std::string& path, std::string* error);
  vek::NLPSystemFactory* factory() const { return entry_ == nullptr ? nullptr : entry_(); }

 private:
  void* handle_ = nullptr;
  GetFactoryNLPSystemFn entry_ = nullptr;
};

std::string default_module_path();

}  // namespace talvir::host
