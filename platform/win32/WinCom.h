// The COM entry points the sound engine calls: initialisation, creating an
// in-process object by class identifier, and class identifiers from text.
// In-process servers do not exist here: a stand-in registers the classes it
// implements (platform::RegisterComClass), and CoCreateInstance makes those.
#pragma once

#include "platform/win32/WinTypes.h"

#include <functional>

using CLSID = GUID;
using REFCLSID = const CLSID&;
using LPCOLESTR = const WCHAR*;

#define CLSCTX_INPROC_SERVER 0x1u
#define REGDB_E_CLASSNOTREG (static_cast<HRESULT>(0x80040154u))
#define CO_E_CLASSSTRING (static_cast<HRESULT>(0x800401F3u))
#define CLASS_E_NOAGGREGATION (static_cast<HRESULT>(0x80040110u))

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// Makes a registered class's object and answers the interface iid of it.
HRESULT CoCreateInstance(REFCLSID clsid, void* outer, DWORD context, REFIID iid, void** object);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", braces required.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);

namespace platform {

// A class's maker: answers the requested interface of a new object (with one
// reference) or an error.
using ComClassFactory = std::function<HRESULT(REFIID iid, void** object)>;
void RegisterComClass(REFCLSID clsid, ComClassFactory factory);

}  // namespace platform
