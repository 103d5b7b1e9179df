// Calling conventions and export marker of the plug-in boundary, kept in one place.
//
// VEK_IUNKNOWN_CALL marks the three IUnknown slots (QueryInterface, AddRef, Release) of every interface:
// __stdcall on 32-bit Windows, as a host of the usual Windows compiler calls them. Every later slot of
// every interface (the host's NLPProblem and MessageSink included) carries no marker: it is the
// compiler's ordinary member call (thiscall on x86 Windows: `this` in ECX, arguments on the stack,
// removed by the callee). Every override repeats its slot's marker. On Linux both are the one
// ordinary call of the Itanium ABI.
//
// VEK_EXPORT marks the one exported entry, GetFactoryNLPSystem, an undecorated C function.
#pragma once

#if defined(_WIN32)
#define VEK_IUNKNOWN_CALL __stdcall
#define VEK_EXPORT __declspec(dllexport)
#else
#define VEK_IUNKNOWN_CALL
#define VEK_EXPORT __attribute__((visibility("default")))
#endif
