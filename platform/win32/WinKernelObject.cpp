#include "platform/win32/WinKernelObject.h"

#include "platform/win32/WinLastError.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace platform {
namespace {

std::mutex g_kernelObjectLock;
std::map<HANDLE, std::unique_ptr<KernelObject>> g_objects;
// Handles are tokens, never addresses or small descriptors; they are not reused,
// so a stale handle is refused instead of reaching another object.
std::uintptr_t g_nextKernelObject = 0x40000;

}  // namespace

HANDLE OpenKernelHandle(KernelObject* object)
{
    if (object == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(g_kernelObjectLock);
    HANDLE handle = reinterpret_cast<HANDLE>(g_nextKernelObject);
    g_nextKernelObject += 4;
    g_objects[handle].reset(object);
    return handle;
}

KernelObject* KernelObjectFromHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> hold(g_kernelObjectLock);
    auto it = g_objects.find(handle);
    return it == g_objects.end() ? nullptr : it->second.get();
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle)
{
    std::unique_ptr<platform::KernelObject> object;
    {
        std::lock_guard<std::mutex> hold(platform::g_kernelObjectLock);
        auto it = platform::g_objects.find(handle);
        if (it == platform::g_objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        platform::g_objects.erase(it);
    }
    // Destroyed outside the lock: a destructor may itself close handles.
    object.reset();
    return TRUE;
}
