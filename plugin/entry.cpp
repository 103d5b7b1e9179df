// The library's one exported function, GetFactoryNLPSystem, and (Windows only) the attach hook.
//
// GetFactoryNLPSystem(): the factory singleton, created when there is none, asked for its
// NLPSystemFactory view: the caller receives one reference. Each call adds one reference to the same
// factory. Null when the factory cannot be allocated.
#include "plugin/SolverFactory.h"

#if defined(_WIN32)
#include <windows.h>

// Per-thread attach and detach notifications are of no use to the library: switch them off.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
#endif

extern "C" VEK_EXPORT vek::NLPSystemFactory* GetFactoryNLPSystem() {
  vek::plugin::SolverFactory* factory = vek::plugin::obtain_factory();
  if (factory == nullptr) return nullptr;
  vek::NLPSystemFactory* view = nullptr;
  factory->QueryInterface(vek::kIidNLPSystemFactory, reinterpret_cast<void**>(&view));
  return view;
}
