// Reference counting and interface query shared by the layer's objects: one
// reference for the creator, destroyed at the last Release.
#pragma once

#include "platform/d3d9/IUnknown.h"

#include <atomic>

namespace platform::d3d9 {

template <typename Interface, const IID&... Ids>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_INVALIDARG;
        }
        if (iid == IID_IUnknown || ((iid == Ids) || ...)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return refs_.fetch_add(1) + 1; }
    ULONG Release() override
    {
        ULONG left = refs_.fetch_sub(1) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ~ComObject() override = default;

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace platform::d3d9
