// The registry, one file per root key. HKEY_CURRENT_USER lives in
// $XDG_CONFIG_HOME/Orvendale/registry/current-user.reg (default ~/.config)
// and every change rewrites that file atomically. HKEY_LOCAL_MACHINE is read
// only, from the first Orvendale/registry/local-machine.reg found in
// $XDG_CONFIG_DIRS (default /etc/xdg); it may be absent. Other roots are empty.
// Every call reads the file afresh, so several processes see each other's
// changes. Key and value names compare without regard to ASCII case.
#pragma once

#include "platform/win32/WinFiles.h"
#include "platform/win32/WinKernelObject.h"
#include "platform/win32/WinTypes.h"

#include <string>
#include <vector>

using REGSAM = DWORD;
using PHKEY = HKEY*;
using PFILETIME = FILETIME*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

// Each answers ERROR_SUCCESS or an error code (ERROR_FILE_NOT_FOUND for a
// missing key or value, ERROR_ACCESS_DENIED for a change to a read-only root
// or a failed write, ERROR_MORE_DATA for a buffer that is too small).
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize);
LONG RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
// Sub-keys in the order of their folded names; ERROR_NO_MORE_ITEMS past the last.
LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameLength);
LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime);

namespace platform {

// The file behind a root key (empty when it has none).
std::string RegistryFileOf(HKEY root);

struct RegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};
// Sets several values of an open key with one rewrite of the file, so that a
// crash leaves all of them or none; answers as RegSetValueExA.
LONG SetRegistryValues(HKEY key, const std::vector<RegistryValue>& values);
// What went wrong with registry files since the last call, as text for the
// player (a file that could not be read, where its copy is): empty when
// nothing did. A user file that exists but cannot be read is copied to
// "<file>.damaged" before a change rewrites it, and never rewritten in this
// run when no copy can be made.
std::string TakeRegistryProblems();
// Installs keys and values under a read-only root (HKEY_LOCAL_MACHINE,
// HKEY_CLASSES_ROOT) for the rest of the run, as a driver's installer would
// on the original platform; they are laid over what the root's file holds.
void AddInstalledRegistryValues(HKEY root, const std::string& path, const std::vector<RegistryValue>& values);

}  // namespace platform
