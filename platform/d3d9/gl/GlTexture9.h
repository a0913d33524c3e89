// A texture with one level. Lockable pools (managed, system memory) keep the
// pixels in host memory, which is the truth: the GL texture is made or brought
// up to date on the window thread when it is next used, so textures can be made
// and filled on any thread. Render targets live in GL only, with a framebuffer.
//
// A managed texture keeps its pixels deflated while no lock is held: the game's
// pictures are mostly flat colour and empty space, about 30 times smaller so,
// and a texture that is drawn is held a second time by the driver. A lock
// inflates them for its length, and an upload into a passing buffer. Where
// every pixel's colour is white (a font's pages, whose glyphs are coloured as
// they are drawn), the driver is given the alpha alone, a quarter of the
// memory, and reads the colour as white, unless it is drawn with border
// addressing.
#pragma once

#include "platform/d3d9/IDirect3DTexture9.h"
#include "platform/d3d9/gl/ComObject.h"
#include "platform/d3d9/gl/GlContext.h"
#include "platform/d3d9/gl/GlSurface9.h"
#include "platform/d3d9/gl/PixelFormat.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::d3d9 {

class GlTexture9 final
    : public ComObject<IDirect3DTexture9, IID_IDirect3DTexture9, IID_IDirect3DBaseTexture9> {
public:
    // Arguments must already be valid (the device checks them).
    GlTexture9(std::shared_ptr<GlContext> context, UINT width, UINT height, DWORD usage, D3DFORMAT format,
               D3DPOOL pool);

    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT* rect) override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    D3DPOOL Pool() const { return pool_; }
    bool IsRenderTarget() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }
    bool HasHostPixels() const { return pool_ == D3DPOOL_MANAGED || pool_ == D3DPOOL_SYSTEMMEM; }
    GlSurface9* Surface() { return &surface_; }

    // For the back buffer, before its first use: a format without alpha is
    // stored with an alpha byte all the same, as the window keeps its pixels,
    // so that showing the picture is a plain copy on a software rasteriser
    // instead of a pass through its pixel pipeline. The alpha stays 1: it is
    // cleared so and never written (see HoldsUnusedAlpha).
    void StoreAsWindowPixels() { windowLayout_ = true; }
    // Whether the storage has an alpha channel that the format lacks: the
    // device then never writes it, so that reading the target's alpha (in
    // blending, in a copy) gives 1 as a format without alpha does.
    bool HoldsUnusedAlpha() const { return windowLayout_ && format_ == D3DFMT_X8R8G8B8; }
    const std::shared_ptr<GlContext>& Context() const { return context_; }

    // A number that changes whenever the pixels may have changed, and that no
    // other texture ever has: two draws of the same stamp show the same pixels.
    std::uint64_t Stamp() const { return stamp_.load(); }
    // Gives the texture a new stamp (its pixels were written).
    void Touch();

    // Copies the host pixels of a texture of the same size and format into this
    // one: at once on the window thread, else at this texture's next use.
    HRESULT CopyPixelsFrom(GlTexture9& source);

    // Window thread, context current:
    // The GL texture, up to date; 0 on failure. Where the border colour shows
    // (border addressing) the texture is held whole: one held as its alpha
    // alone would read the border's colour as white too.
    unsigned Realise(bool showsBorder = false);
    unsigned Name();         // the GL texture as it is, without bringing it up to date; 0 for none
    unsigned Framebuffer();  // render targets: the framebuffer over the texture; 0 on failure
    HRESULT ReadPixelsInto(GlTexture9& destination);
    void Evict();            // managed: give up the GL texture, keep the pixels
    void Resize(UINT width, UINT height);

private:
    ~GlTexture9() override;
    // Gives the bound GL texture storage of its size, of the alpha alone read
    // with a white colour or of the whole format.
    void Specify(const GlPixelFormat& gl, bool alphaOnly);
    void Upload(const std::vector<BYTE>& pixels);
    // Whether a managed A8R8G8B8 texture of these pixels can be held as its
    // alpha alone: every pixel's colour is white and the driver can read it so.
    bool AlphaAlone(const std::vector<BYTE>& pixels) const;
    void DropGlObjects();
    bool PacksPixels() const { return pool_ == D3DPOOL_MANAGED; }
    size_t HostBytes() const { return static_cast<size_t>(pitch_) * height_; }
    // With mutex_ held: the pixels, inflated from packed_ for a texture that packs them.
    bool UnpackInto(std::vector<BYTE>& pixels) const;
    // With mutex_ held: host_ deflated into packed_, and host_ given up.
    void Pack();

    std::shared_ptr<GlContext> context_;
    UINT width_;
    UINT height_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    UINT pitch_;
    GlSurface9 surface_;

    std::mutex mutex_;
    std::vector<BYTE> host_;     // system memory: the pixels; managed: the pixels while locked
    std::vector<BYTE> packed_;   // managed: the pixels deflated; none while they are all 0
    bool oneColour_ = false;     // packed_ is one pixel's 4 bytes, repeated over the whole texture
    std::vector<BYTE> pending_;  // others: pixels copied in off the window thread
    bool stale_ = true;          // host pixels newer than the GL texture
    bool locked_ = false;
    bool lockedReadOnly_ = false;

    unsigned texture_ = 0;
    bool alphaOnly_ = false;  // texture_ holds the alpha alone (see AlphaAlone)
    unsigned framebuffer_ = 0;
    std::atomic<std::uint64_t> stamp_{0};
    bool windowLayout_ = false;
};

}  // namespace platform::d3d9
