#include "platform/d3d9/gl/GlSurface9.h"

#include "platform/d3d9/gl/GlTexture9.h"

namespace platform::d3d9 {

HRESULT GlSurface9::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_INVALIDARG;
    }
    if (iid == IID_IUnknown || iid == IID_IDirect3DSurface9) {
        *object = static_cast<IDirect3DSurface9*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG GlSurface9::AddRef()
{
    return owner_.AddRef();
}

ULONG GlSurface9::Release()
{
    return owner_.Release();
}

HRESULT GlSurface9::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    return owner_.LockRect(0, locked, rect, flags);
}

HRESULT GlSurface9::UnlockRect()
{
    return owner_.UnlockRect(0);
}

}  // namespace platform::d3d9
