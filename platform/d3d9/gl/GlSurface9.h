// The level-0 surface of a texture. Every surface of the layer belongs to a
// texture (plain surfaces and the back buffer to a hidden one), and shares its
// reference count, so a surface keeps its texture alive and the other way round.
#pragma once

#include "platform/d3d9/IDirect3DSurface9.h"

namespace platform::d3d9 {

class GlTexture9;

class GlSurface9 final : public IDirect3DSurface9 {
public:
    explicit GlSurface9(GlTexture9& owner) : owner_(owner) {}
    ~GlSurface9() override = default;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    GlTexture9& Owner() const { return owner_; }

private:
    GlTexture9& owner_;
};

}  // namespace platform::d3d9
