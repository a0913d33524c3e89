// Loading libraries by name over dlopen. Windows libraries (names ending in
// ".dll", such as "d3d9.dll" or "advapi32.dll") do not exist here: loading one
// fails with ERROR_MOD_NOT_FOUND unless a stand-in has been registered under
// that name with the entry points it offers.
#pragma once

#include "platform/win32/WinTypes.h"

#include <map>
#include <string>

// The generic entry point; callers cast it to the entry point's real type.
using FARPROC = void (*)();

HMODULE LoadLibraryA(LPCSTR name);
// Null with ERROR_PROC_NOT_FOUND when the module has no such entry point.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

namespace platform {

// Makes LoadLibraryA(name) succeed (the name compares without regard to
// ASCII case) and GetProcAddress answer the given entry points. Registering
// a name again replaces its entry points for later loads.
void RegisterLibrary(const std::string& name, const std::map<std::string, FARPROC>& entryPoints);
// Forgets a registered name; modules already loaded from it stay usable until freed.
void UnregisterLibrary(const std::string& name);

// Casts an entry point to its real function type.
template <typename Function>
FARPROC EntryPoint(Function* function)
{
    return reinterpret_cast<FARPROC>(function);
}

}  // namespace platform
