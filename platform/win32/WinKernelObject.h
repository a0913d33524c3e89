// Kernel-object handles (files, find searches, mutexes, ...). Every stand-in
// that hands out a HANDLE derives its object from platform::KernelObject, so
// that one CloseHandle closes any of them.
#pragma once

#include "platform/win32/WinTypes.h"

// Security attributes of a new kernel object; Linux has no per-object access
// lists, so the stand-ins accept and ignore them.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

namespace platform {

class KernelObject {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;
};

// Registers the object and answers its handle; the handle owns the object.
HANDLE OpenKernelHandle(KernelObject* object);
// The live object of a handle, or null for an unknown or closed handle.
KernelObject* KernelObjectFromHandle(HANDLE handle);

// The object of a handle when it is of kind T, else null.
template <typename T>
T* KernelObjectAs(HANDLE handle)
{
    return dynamic_cast<T*>(KernelObjectFromHandle(handle));
}

}  // namespace platform

// Destroys the handle's object; FALSE with ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE handle);
