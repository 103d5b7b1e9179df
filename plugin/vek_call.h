// Calling convention and export markers of the plug-in boundary, kept in one place so that the Windows
// build sets them once: every interface slot is declared VEK_CALL, the one exported entry VEK_EXPORT.
#pragma once

#if defined(_WIN32)
#define VEK_CALL __stdcall
#define VEK_EXPORT __declspec(dllexport)
#else
#define VEK_CALL
#define VEK_EXPORT __attribute__((visibility("default")))
#endif
