#include "platform/win32/WinLibrary.h"

#include "platform/win32/AsciiCase.h"
#include "platform/win32/WinLastError.h"

#include <cstdint>
#include <dlfcn.h>
#include <memory>
#include <mutex>

namespace {

struct Module {
    void* dl = nullptr;                           // a dlopen handle, or
    std::map<std::string, FARPROC> entryPoints;   // a registered stand-in's entry points
    int references = 0;
};

std::mutex g_libraryLock;
std::map<std::string, std::map<std::string, FARPROC>> g_registered;
std::map<HMODULE, std::unique_ptr<Module>> g_modules;
std::map<std::string, HMODULE> g_byName;
std::uintptr_t g_nextModule = 0x90000;

std::string FoldedModuleName(const std::string& name)
{
    return platform::AsciiLower(name);
}

bool IsWindowsLibrary(const std::string& folded)
{
    return folded.size() >= 4 && folded.compare(folded.size() - 4, 4, ".dll") == 0;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR name)
{
    if (name == nullptr || *name == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string key = FoldedModuleName(name);
    std::lock_guard<std::mutex> hold(g_libraryLock);
    auto loaded = g_byName.find(key);
    if (loaded != g_byName.end()) {
        ++g_modules[loaded->second]->references;
        return loaded->second;
    }
    auto module = std::make_unique<Module>();
    auto registered = g_registered.find(key);
    if (registered != g_registered.end()) {
        module->entryPoints = registered->second;
    } else if (IsWindowsLibrary(key)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    } else {
        module->dl = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (module->dl == nullptr) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    }
    module->references = 1;
    HMODULE handle = reinterpret_cast<HMODULE>(g_nextModule);
    g_nextModule += 0x10;
    g_modules[handle] = std::move(module);
    g_byName[key] = handle;
    return handle;
}

FARPROC GetProcAddress(HMODULE handle, LPCSTR name)
{
    std::lock_guard<std::mutex> hold(g_libraryLock);
    auto it = g_modules.find(handle);
    if (it == g_modules.end() || name == nullptr) {
        SetLastError(it == g_modules.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const Module& module = *it->second;
    FARPROC result = nullptr;
    if (module.dl != nullptr) {
        result = reinterpret_cast<FARPROC>(::dlsym(module.dl, name));
    } else {
        auto entry = module.entryPoints.find(name);
        result = entry == module.entryPoints.end() ? nullptr : entry->second;
    }
    if (result == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
    }
    return result;
}

BOOL FreeLibrary(HMODULE handle)
{
    std::lock_guard<std::mutex> hold(g_libraryLock);
    auto it = g_modules.find(handle);
    if (it == g_modules.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--it->second->references > 0) {
        return TRUE;
    }
    if (it->second->dl != nullptr) {
        ::dlclose(it->second->dl);
    }
    for (auto name = g_byName.begin(); name != g_byName.end(); ++name) {
        if (name->second == handle) {
            g_byName.erase(name);
            break;
        }
    }
    g_modules.erase(it);
    return TRUE;
}

namespace platform {

void RegisterLibrary(const std::string& name, const std::map<std::string, FARPROC>& entryPoints)
{
    std::lock_guard<std::mutex> hold(g_libraryLock);
    g_registered[FoldedModuleName(name)] = entryPoints;
}

void UnregisterLibrary(const std::string& name)
{
    std::lock_guard<std::mutex> hold(g_libraryLock);
    g_registered.erase(FoldedModuleName(name));
}

}  // namespace platform
