// Reference counting and interface look-up shared by the stand-in's objects:
// an object answers QueryInterface for what Find names, starts with one
// reference held by its creator and deletes itself when the last one goes.
#pragma once

#include "platform/d3d9/IUnknown.h"

#include <atomic>

namespace platform::dsound {

template <typename... Interfaces>
class ComObject : public Interfaces... {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (!object) {
            return E_INVALIDARG;
        }
        *object = Find(iid);
        if (!*object) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_References; }
    ULONG Release() override
    {
        const ULONG left = --m_References;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;
    // The interface pointer for iid, or null.
    virtual void* Find(REFIID iid) = 0;

private:
    std::atomic<ULONG> m_References{1};
};

}  // namespace platform::dsound
