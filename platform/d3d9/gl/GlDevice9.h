// The device on a GL context. Every render target is a framebuffer object
// drawn top row first. The back buffer is one too, which Present flips into the
// window, except where the window's own back buffer can hold the picture from
// frame to frame and shows it one to one: there it is drawn into directly, clip
// space turned so its rows come out top-down, and Present only shows it.
// Drawing calls belong to the window thread (the one that made the device);
// resource creation and locking work on any thread.
#pragma once

#include "platform/d3d9/IDirect3DDevice9.h"
#include "platform/d3d9/TestHooks.h"
#include "platform/d3d9/gl/ComObject.h"
#include "platform/d3d9/gl/DamageRegion.h"
#include "platform/d3d9/gl/DamageTracker.h"
#include "platform/d3d9/gl/GlContext.h"
#include "platform/d3d9/gl/VertexLayout.h"
#include "platform/d3d9/gl/WindowShow.h"

#include <atomic>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

union SDL_Event;

namespace platform::d3d9 {

class GlTexture9;
class GlVertexBuffer9;
class GlIndexBuffer9;
class GlVertexDeclaration9;

class GlDevice9 final : public ComObject<IDirect3DDevice9, IID_IDirect3DDevice9> {
public:
    static constexpr DWORD kStages = 8;

    // Checks and completes the parameters (a zero back buffer size takes the
    // window's, an unknown format the display's); D3D_OK or the error to answer.
    static HRESULT ResolveParameters(D3DPRESENT_PARAMETERS* parameters, SDL_Window* window);
    GlDevice9(std::shared_ptr<GlContext> context, HWND presentWindow, const D3DPRESENT_PARAMETERS& parameters);

    HRESULT TestCooperativeLevel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT EvictManagedResources() override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;

    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;

    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* destination,
                          const POINT* destPoint) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;

    // Test hooks: see SimulateDeviceLoss, GetFrameCounts and SetFullRedraw.
    void SimulateLoss(unsigned lostReports);
    const FrameCounts& Counts() const { return counts_; }
    void SetFullRedraw(bool full);

private:
    // Clears the window outside the picture's rectangle (window coordinates, rows top-down).
    static void ClearBars(const RECT& picture, int windowWidth, int windowHeight);
    ~GlDevice9() override;
    void SetDefaultStates();
    void ReleaseBindings();
    HRESULT BindTarget();
    // Whether the target drawn into is the window's own back buffer.
    bool DrawsIntoWindow() const { return renderTarget_ == backBuffer_ && pictureInWindow_; }
    // Sets the bound target's scissor to `r` (its pixels, rows top-down).
    void ScissorTo(const PixelRect& r) const;
    // Sets the swap interval and whether the window's back buffer may hold the picture.
    void ChoosePresentation();
    // Whether the window's back buffer stores the back buffer's pixels exactly.
    bool WindowStoresPicture() const;
    // Moves the picture into the window's back buffer or out of it, copying it across.
    void HomePicture(bool inWindow);
    // Copies the picture from the framebuffer object into the window's back buffer, or back.
    bool CopyPicture(bool toWindow);
    HRESULT PrepareDraw(VertexLayout* layout);
    void ApplyRenderStates();
    // `realise`: bring the texture up to date first; a replayed draw shows it as it was.
    HRESULT ApplyTexture(bool realise = true);
    void SetArrays(const VertexLayout& layout, UINT stride, const BYTE* firstVertex);
    // Clears `rects` of the bound target (none: all of it) to `color`.
    void ClearTarget(D3DCOLOR color, DWORD count, const D3DRECT* rects);

    // Damage tracking (see the top of this file).
    bool KeepsBackBufferDraws() const { return trackDamage_ && renderTarget_ == backBuffer_; }
    // A draw of the current states over `count` vertices (or indices) as the back buffer would get it.
    RecordedDraw RecordDraw(D3DPRIMITIVETYPE type, const VertexLayout& layout, const BYTE* firstVertex,
                            UINT vertexCount, std::vector<std::uint32_t> indices, long long count);
    void Keep(RecordedDraw draw);
    // Before a draw: the stamp of the texture it shows (0: none), after drawing
    // the waiting draws where the draw would change what they show.
    std::uint64_t BeforeDraw();
    void AfterDraw();
    void BeforeCopyInto(GlTexture9* texture);
    // Before `texture`'s GL pixels change: the waiting draws that show it are drawn now.
    void BeforeGlWrite(GlTexture9* texture);
    // Draws every waiting draw at once; the frame is drawn as it comes from here on.
    void DrawWaiting();
    // Draws a kept operation into the back buffer, whole (`damage` null) or
    // cut to each damaged rectangle it meets.
    void Replay(const RecordedDraw& draw, const DamageRegion* damage);
    // Draws a kept draw's own vertices, its states already applied.
    void DrawKept(const RecordedDraw& draw);
    // Draws a kept draw, its states applied, cut to each damaged rectangle it
    // meets; of a triangle list, only the triangles that may reach the rectangle.
    void ReplayInto(const RecordedDraw& draw, const DamageRegion& damage);
    // Fills `rects` of the bound target (pixels) with a colour (red, green,
    // blue, alpha from 0 to 1), in one draw.
    void FillRects(const std::vector<PixelRect>& rects, const float* rgba);
    // Draws the waiting frame (whole or where it changed); false when nothing changed.
    bool FinishFrame();
    // Has the driver let go of its finished frames' resources, drawing nothing visible.
    void RetireShownFrames();
    void ForgetFrames();
    static int CountExposure(void* device, SDL_Event* event);
    HRESULT CheckVertexRange(const VertexLayout& layout, long long first, long long count) const;

    std::shared_ptr<GlContext> context_;
    HWND presentWindow_;
    D3DPRESENT_PARAMETERS parameters_;
    DWORD maxTextureSize_ = 0;

    GlTexture9* backBuffer_ = nullptr;   // a hidden texture whose surface is the back buffer
    WindowShow windowShow_;
    bool windowPictureAllowed_ = false;  // the window's back buffer may hold the picture
    bool pictureInWindow_ = false;       // the back buffer's pixels are the window's back buffer's
    std::uint64_t windowStamp_ = 0;      // the back buffer's stamp when its pixels last went to the window
    GlTexture9* renderTarget_ = nullptr;
    GlTexture9* textures_[kStages] = {};
    GlVertexDeclaration9* declaration_ = nullptr;
    DWORD fvf_ = 0;
    GlVertexBuffer9* stream_ = nullptr;
    UINT streamOffset_ = 0;
    UINT streamStride_ = 0;
    GlIndexBuffer9* indices_ = nullptr;

    DWORD renderStates_[D3DRS_MAX_STATE] = {};
    DWORD stageStates_[kStages][D3DTSS_MAX_STATE] = {};
    DWORD samplerStates_[kStages][D3DSAMP_MAX_STATE] = {};
    std::map<DWORD, D3DMATRIX> transforms_;

    bool inScene_ = false;
    bool lost_ = false;
    unsigned lostReports_ = 0;

    bool trackDamage_ = true;
    std::vector<RecordedDraw> frame_;      // this frame's back-buffer draws since its last whole clear
    std::vector<RecordedDraw> previous_;   // the last frame shown, textures let go
    std::vector<BYTE> reaching_;           // corners gathered by ReplayInto, kept for their capacity
    std::vector<PixelRect> pieces_;        // rectangles gathered by Replay, kept for their capacity
    std::vector<float> corners_;           // corners drawn by FillRects, kept for their capacity
    std::vector<std::vector<std::uint32_t>> reachingCuts_;  // a list's triangles reaching each rectangle
    std::unordered_map<GlTexture9*, std::uint64_t> waitingTextures_;  // shown by waiting draws, with their stamps
    bool drawnAsTheyCome_ = false;  // frame_ is already in the back buffer
    bool disturbed_ = false;        // the back buffer no longer holds the frame last shown
    bool foreignWrite_ = false;     // the back buffer was written other than by kept draws
    bool previousValid_ = false;    // previous_ alone makes the picture last shown
    RECT shownDest_{};
    int shownWindowWidth_ = -1;
    int shownWindowHeight_ = -1;
    unsigned long shownExposures_ = 0;
    bool retirePending_ = false;        // a frame was shown since the driver last let go of finished ones
    GlTexture9* idleTarget_ = nullptr;  // the pixel RetireShownFrames clears
    std::atomic<unsigned long> exposures_{0};  // counted by CountExposure on the event thread
    FrameCounts counts_;
};

}  // namespace platform::d3d9
