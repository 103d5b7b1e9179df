// Test support: opening the built module by its path as a host does (dlopen with RTLD_NOW | RTLD_LOCAL;
// Windows: LoadLibraryEx with the module's folder in the DLL search path), looking up a symbol, closing.
#pragma once

#include <string>

namespace talvir_test {

// The module's handle, or null with the system's reason in `error`.
void* open_module(const std::string& path, std::string* error);
// The address of the exported `name`, or null.
void* find_symbol(void* module, const char* name);
// True when the module was closed.
bool close_module(void* module);

}  // namespace talvir_test
