#include "platform/win32/WinCom.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ClassEntry {
    CLSID clsid;
    platform::ComClassFactory factory;
};

std::mutex g_comLock;
std::vector<ClassEntry> g_classes;

int HexValue(WCHAR c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads `digits` hex digits at text[at]; false on anything else.
bool Hex(LPCOLESTR text, int at, int digits, std::uint64_t* value)
{
    *value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(text[at + i]);
        if (v < 0) {
            return false;
        }
        *value = (*value << 4) | std::uint64_t(v);
    }
    return true;
}

}  // namespace

HRESULT CoInitialize(void*) { return S_OK; }

void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID clsid, void* outer, DWORD, REFIID iid, void** object)
{
    if (!object) {
        return E_INVALIDARG;
    }
    *object = nullptr;
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    platform::ComClassFactory factory;
    {
        std::lock_guard<std::mutex> hold(g_comLock);
        for (const ClassEntry& entry : g_classes) {
            if (entry.clsid == clsid) {
                factory = entry.factory;
            }
        }
    }
    return factory ? factory(iid, object) : REGDB_E_CLASSNOTREG;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid)
{
    if (!text || !clsid) {
        return E_INVALIDARG;
    }
    // {01234567-89ab-cdef-0123-456789abcdef}
    int length = 0;
    while (length < 40 && text[length] != 0) {
        ++length;
    }
    if (length != 38 || text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' ||
        text[37] != '}') {
        return CO_E_CLASSSTRING;
    }
    std::uint64_t a = 0, b = 0, c = 0, d = 0, e = 0;
    if (!Hex(text, 1, 8, &a) || !Hex(text, 10, 4, &b) || !Hex(text, 15, 4, &c) || !Hex(text, 20, 4, &d) ||
        !Hex(text, 25, 12, &e)) {
        return CO_E_CLASSSTRING;
    }
    clsid->Data1 = DWORD(a);
    clsid->Data2 = WORD(b);
    clsid->Data3 = WORD(c);
    clsid->Data4[0] = BYTE(d >> 8);
    clsid->Data4[1] = BYTE(d);
    for (int i = 0; i < 6; ++i) {
        clsid->Data4[2 + i] = BYTE(e >> (8 * (5 - i)));
    }
    return S_OK;
}

namespace platform {

void RegisterComClass(REFCLSID clsid, ComClassFactory factory)
{
    std::lock_guard<std::mutex> hold(g_comLock);
    for (ClassEntry& entry : g_classes) {
        if (entry.clsid == clsid) {
            entry.factory = std::move(factory);
            return;
        }
    }
    g_classes.push_back(ClassEntry{clsid, std::move(factory)});
}

}  // namespace platform
