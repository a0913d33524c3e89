// Shell services: opening web addresses in the user's browser, and the
// special folders, which live on the XDG base folders.
#pragma once

#include "platform/win32/WinTypes.h"

#include <functional>
#include <string>

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define SE_ERR_FNF 2
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023

// Only the verb "open" (or none) of an http or https address is carried out,
// through SDL_OpenURL: never through a shell, so an address cannot run a
// command. The result is above 32 on success, an SE_ERR_ code otherwise.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);

// CSIDL_COMMON_APPDATA and CSIDL_LOCAL_APPDATA are $XDG_DATA_HOME (default
// ~/.local/share), CSIDL_APPDATA is $XDG_CONFIG_HOME (default ~/.config).
// Relative settings are ignored, as the XDG rules ask. FALSE when the folder
// cannot be had or does not fit MAX_PATH (said on stderr, since the caller's
// buffer cannot hold it); with create set it is made.
BOOL SHGetSpecialFolderPathA(HWND owner, LPSTR path, int folder, BOOL create);

namespace platform {

// Replaces what opens an accepted address (by default SDL_OpenURL, or a line
// on stderr under QMV_HEADLESS=1); an empty function restores the default.
// The function answers true when the address was opened.
void SetUrlOpener(std::function<bool(const std::string&)> opener);

// The folder SHGetSpecialFolderPathA names, at any length; empty when it
// cannot be had (or, with create set, made).
std::string SpecialFolderPath(int folder, bool create);

}  // namespace platform
