// The host services the solver uses, as static functions of class VEKServices in the shared library
// vek_services. This library is a stand-in: a real host ships its own vek_services with the same names.
//
//   AllocateString(length)          a writable buffer of `length` bytes (terminator included) from
//                                   malloc; the receiver frees it with free(). Null for length < 1 or
//                                   when memory is short.
//   GetDLLVersionNumber(lib, buf)   writes the version text, at most 12 bytes with its terminator, into
//                                   buf (12 bytes); returns buf. `lib` names the library asking.
//   CreateTemporaryFileName(n, p)   creates a new empty file in the system temporary folder whose name
//                                   begins with prefix p, safely (exclusive creation), and stores its
//                                   full path, a heap text, in n. Returns 0, or -1 (n set to null) when
//                                   no file could be created.
//   DeleteTemporaryFileName(n)      removes the file named n if it still exists, frees the text and
//                                   sets n to null. Returns 0 (also for a null n).
//   OpenFortranLogicalUnit(u, f)    connects output unit u to file f, starting the file empty, so that a
//                                   read-back after each engine call holds only the new text. True when
//                                   connected.
//   CloseFortranLogicalUnit(u)      disconnects unit u: the file then holds all text written. True when
//                                   the unit was connected.
#pragma once

#include <cstdint>

#if defined(_WIN32)
// Exported and imported under the usual Windows compiler's decorated names: services/vek_services.def.
#define VEK_SERVICES_API
#else
#define VEK_SERVICES_API __attribute__((visibility("default")))
#endif

inline constexpr int kVersionTextSize = 12;  // bytes, terminator included

class VEK_SERVICES_API VEKServices {
 public:
  static char* AllocateString(std::int32_t length);
  static char* GetDLLVersionNumber(const char* library_name, char* buffer);
  static std::int32_t CreateTemporaryFileName(char*& name, const char* prefix);
  static std::int32_t DeleteTemporaryFileName(char*& name);
  static bool OpenFortranLogicalUnit(std::int32_t unit, const char* file_name);
  static bool CloseFortranLogicalUnit(std::int32_t unit);
};
