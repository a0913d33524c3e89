#include "platform/d3d9/gl/GlDevice9.h"

#include "platform/d3d9/gl/GlIndexBuffer9.h"
#include "platform/d3d9/gl/GlStateMapping.h"
#include "platform/d3d9/gl/GlTexture9.h"
#include "platform/d3d9/gl/GlVertexBuffer9.h"
#include "platform/d3d9/gl/GlVertexDeclaration9.h"
#include "platform/d3d9/gl/PixelFormat.h"
#include "platform/win32/Letterbox.h"
#include "platform/win32/WinWindow.h"

#include <GL/glext.h>
#include <SDL.h>
#include <malloc.h>
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace platform::d3d9 {
namespace {

template <typename T>
void Rebind(T*& slot, T* value)
{
    if (value != nullptr) {
        value->AddRef();
    }
    if (slot != nullptr) {
        slot->Release();
    }
    slot = value;
}

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool IsBlendState(DWORD state)
{
    return state == D3DRS_SRCBLEND || state == D3DRS_DESTBLEND || state == D3DRS_SRCBLENDALPHA ||
           state == D3DRS_DESTBLENDALPHA;
}

// Vertices a primitive run reads; -1 for an unknown primitive type.
long long VertexCount(D3DPRIMITIVETYPE type, UINT primitives)
{
    long long n = primitives;
    switch (type) {
    case D3DPT_POINTLIST:
        return n;
    case D3DPT_LINELIST:
        return 2 * n;
    case D3DPT_LINESTRIP:
        return n + 1;
    case D3DPT_TRIANGLELIST:
        return 3 * n;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return n + 2;
    default:
        return -1;
    }
}

GLenum GlPrimitive(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
        return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    default:
        return GL_TRIANGLE_FAN;
    }
}

void ArgbToFloats(D3DCOLOR color, GLfloat out[4])
{
    out[0] = static_cast<GLfloat>((color >> 16) & 0xff) / 255.0f;
    out[1] = static_cast<GLfloat>((color >> 8) & 0xff) / 255.0f;
    out[2] = static_cast<GLfloat>(color & 0xff) / 255.0f;
    out[3] = static_cast<GLfloat>((color >> 24) & 0xff) / 255.0f;
}

// The colour a clear of `target` writes: a target whose alpha is unused holds 1 there.
void ClearColour(D3DCOLOR color, const GlTexture9& target, GLfloat out[4])
{
    ArgbToFloats(color, out);
    if (target.HoldsUnusedAlpha()) {
        out[3] = 1.0f;
    }
}

// A clear's rectangle cut to the target.
PixelRect ClampedRect(const D3DRECT& r, const PixelRect& whole)
{
    return PixelRect{static_cast<int>(std::clamp<LONG>(r.x1, 0, whole.right)),
                     static_cast<int>(std::clamp<LONG>(r.y1, 0, whole.bottom)),
                     static_cast<int>(std::clamp<LONG>(r.x2, 0, whole.right)),
                     static_cast<int>(std::clamp<LONG>(r.y2, 0, whole.bottom))};
}

}  // namespace

HRESULT GlDevice9::ResolveParameters(D3DPRESENT_PARAMETERS* p, SDL_Window* window)
{
    if (p == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (p->BackBufferCount > 3 || p->SwapEffect < D3DSWAPEFFECT_DISCARD || p->SwapEffect > D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    if (p->PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT && p->PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
        p->PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
        return D3DERR_INVALIDCALL;
    }
    // No multisampling and no depth buffers: nothing here draws with depth.
    if (p->MultiSampleType != D3DMULTISAMPLE_NONE || p->EnableAutoDepthStencil) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p->BackBufferFormat == D3DFMT_UNKNOWN) {
        p->BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    if (!IsRenderTargetFormat(p->BackBufferFormat)) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p->BackBufferWidth == 0 || p->BackBufferHeight == 0) {
        int w = 1;
        int h = 1;
        if (window != nullptr) {
            SDL_GL_GetDrawableSize(window, &w, &h);
        }
        p->BackBufferWidth = p->BackBufferWidth != 0 ? p->BackBufferWidth : static_cast<UINT>(std::max(w, 1));
        p->BackBufferHeight = p->BackBufferHeight != 0 ? p->BackBufferHeight : static_cast<UINT>(std::max(h, 1));
    }
    GlLimits limits;
    if (!GlContext::QueryLimits(&limits)) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p->BackBufferWidth > static_cast<UINT>(limits.maxTextureSize) ||
        p->BackBufferHeight > static_cast<UINT>(limits.maxTextureSize)) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p->BackBufferCount == 0) {
        p->BackBufferCount = 1;
    }
    return D3D_OK;
}

GlDevice9::GlDevice9(std::shared_ptr<GlContext> context, HWND presentWindow, const D3DPRESENT_PARAMETERS& parameters)
    : context_(std::move(context)), presentWindow_(presentWindow), parameters_(parameters)
{
    GlLimits limits;
    GlContext::QueryLimits(&limits);
    maxTextureSize_ = static_cast<DWORD>(limits.maxTextureSize);
    backBuffer_ = new GlTexture9(context_, parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                                 D3DUSAGE_RENDERTARGET, parameters_.BackBufferFormat, D3DPOOL_DEFAULT);
    backBuffer_->StoreAsWindowPixels();
    Rebind(renderTarget_, backBuffer_);
    SetDefaultStates();
    ChoosePresentation();
    if (const char* full = std::getenv("QMV_FULL_REDRAW"); full != nullptr && std::strcmp(full, "1") == 0) {
        trackDamage_ = false;
    }
    SDL_AddEventWatch(CountExposure, this);
}

// Window events after which the window must be shown again though the
// picture is unchanged: it was uncovered, shown or resized.
int GlDevice9::CountExposure(void* device, SDL_Event* event)
{
    if (event->type == SDL_WINDOWEVENT) {
        switch (event->window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            ++static_cast<GlDevice9*>(device)->exposures_;
            break;
        default:
            break;
        }
    }
    return 1;
}

void GlDevice9::SetFullRedraw(bool full)
{
    if (context_->MakeCurrent()) {
        DrawWaiting();
    }
    ForgetFrames();
    trackDamage_ = !full;
}

void GlDevice9::ForgetFrames()
{
    frame_.clear();
    previous_.clear();
    waitingTextures_.clear();
    drawnAsTheyCome_ = false;
    disturbed_ = false;
    foreignWrite_ = false;
    previousValid_ = false;
}

GlDevice9::~GlDevice9()
{
    SDL_DelEventWatch(CountExposure, this);
    ForgetFrames();
    ReleaseBindings();
    Rebind(renderTarget_, static_cast<GlTexture9*>(nullptr));
    Rebind(idleTarget_, static_cast<GlTexture9*>(nullptr));
    backBuffer_->Release();
    // The context goes with the last resource that still holds it.
}

void GlDevice9::ReleaseBindings()
{
    for (GlTexture9*& texture : textures_) {
        Rebind(texture, static_cast<GlTexture9*>(nullptr));
    }
    Rebind(declaration_, static_cast<GlVertexDeclaration9*>(nullptr));
    Rebind(stream_, static_cast<GlVertexBuffer9*>(nullptr));
    Rebind(indices_, static_cast<GlIndexBuffer9*>(nullptr));
    Rebind(renderTarget_, backBuffer_);
    fvf_ = 0;
    streamOffset_ = 0;
    streamStride_ = 0;
}

void GlDevice9::SetDefaultStates()
{
    std::fill(std::begin(renderStates_), std::end(renderStates_), 0u);
    renderStates_[D3DRS_ZENABLE] = FALSE;  // no depth buffer
    renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
    renderStates_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
    renderStates_[D3DRS_ALPHATESTENABLE] = FALSE;
    renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_ALPHABLENDENABLE] = FALSE;
    renderStates_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    renderStates_[D3DRS_LIGHTING] = TRUE;
    renderStates_[D3DRS_COLORWRITEENABLE] = 0xFu;
    renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    renderStates_[D3DRS_SEPARATEALPHABLENDENABLE] = FALSE;
    renderStates_[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    renderStates_[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    for (DWORD s = 0; s < kStages; ++s) {
        std::fill(std::begin(stageStates_[s]), std::end(stageStates_[s]), 0u);
        stageStates_[s][D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        stageStates_[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        stageStates_[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
        stageStates_[s][D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        stageStates_[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        stageStates_[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        stageStates_[s][D3DTSS_TEXCOORDINDEX] = s;
        std::fill(std::begin(samplerStates_[s]), std::end(samplerStates_[s]), 0u);
        samplerStates_[s][D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        samplerStates_[s][D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        samplerStates_[s][D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        samplerStates_[s][D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        samplerStates_[s][D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        samplerStates_[s][D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    }
    transforms_.clear();
}

void GlDevice9::SimulateLoss(unsigned lostReports)
{
    lost_ = true;
    lostReports_ = lostReports;
}

HRESULT GlDevice9::TestCooperativeLevel()
{
    if (!lost_) {
        return D3D_OK;
    }
    if (lostReports_ > 0) {
        --lostReports_;
        return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
}

HRESULT GlDevice9::Reset(D3DPRESENT_PARAMETERS* parameters)
{
    if (inScene_ || !context_->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    if (lost_ && lostReports_ > 0) {
        return D3DERR_DEVICELOST;  // a lost device cannot be reset yet
    }
    D3DPRESENT_PARAMETERS resolved = parameters != nullptr ? *parameters : D3DPRESENT_PARAMETERS{};
    HRESULT result = ResolveParameters(parameters != nullptr ? &resolved : nullptr, context_->Window());
    if (FAILED(result)) {
        return D3DERR_INVALIDCALL;
    }
    *parameters = resolved;
    // Draws still waiting go where they would have gone; the frame after a
    // reset is drawn whole.
    DrawWaiting();
    ForgetFrames();
    ReleaseBindings();
    if (resolved.BackBufferWidth != parameters_.BackBufferWidth ||
        resolved.BackBufferHeight != parameters_.BackBufferHeight ||
        resolved.BackBufferFormat != parameters_.BackBufferFormat) {
        backBuffer_->Release();
        backBuffer_ = new GlTexture9(context_, resolved.BackBufferWidth, resolved.BackBufferHeight,
                                     D3DUSAGE_RENDERTARGET, resolved.BackBufferFormat, D3DPOOL_DEFAULT);
        backBuffer_->StoreAsWindowPixels();
        Rebind(renderTarget_, backBuffer_);
    }
    if (resolved.hDeviceWindow != nullptr) {
        presentWindow_ = resolved.hDeviceWindow;
    }
    parameters_ = resolved;
    SetDefaultStates();
    ChoosePresentation();
    windowStamp_ = backBuffer_->Stamp();
    lost_ = false;
    lostReports_ = 0;
    return D3D_OK;
}

void GlDevice9::ChoosePresentation()
{
    const int interval = parameters_.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
    const bool swapWaits = SDL_GL_SetSwapInterval(interval) == 0 && interval != 0;
    // Showing the window's back buffer without a swap does not wait for the
    // retrace, so where swaps do, they are kept. Clip space must be turnable:
    // the window's rows run bottom-up.
    windowPictureAllowed_ = !swapWaits && context_->MakeCurrent() && context_->Gl().ClipControl != nullptr &&
                            WindowStoresPicture() && windowShow_.Open();
    if (!windowPictureAllowed_) {
        HomePicture(false);
    }
}

bool GlDevice9::WindowStoresPicture() const
{
    context_->Gl().BindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint red = 0;
    GLint green = 0;
    GLint blue = 0;
    GLint alpha = 0;
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    // Where the back buffer's alpha is unused, a window without alpha reads
    // 1 there, as the back buffer does.
    return red == 8 && green == 8 && blue == 8 && (alpha == 8 || backBuffer_->HoldsUnusedAlpha());
}

void GlDevice9::HomePicture(bool inWindow)
{
    if (inWindow == pictureInWindow_) {
        return;
    }
    CopyPicture(inWindow);
    pictureInWindow_ = inWindow;
    windowStamp_ = backBuffer_->Stamp();
    // A resize may have taken the picture from the window's back buffer: this frame is drawn whole.
    previousValid_ = false;
}

bool GlDevice9::CopyPicture(bool toWindow)
{
    const unsigned framebuffer = backBuffer_->Framebuffer();
    if (framebuffer == 0) {
        return false;
    }
    const GlFunctions& gl = context_->Gl();
    const auto width = static_cast<GLint>(backBuffer_->Width());
    const auto height = static_cast<GLint>(backBuffer_->Height());
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, toWindow ? framebuffer : 0);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, toWindow ? 0 : framebuffer);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    // The window's rows run bottom-up, the framebuffer object's top-down.
    gl.BlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    return true;
}

// Only the bars around the picture are cleared: the picture covers the rest,
// and a window-sized clear is a pass over every pixel on a software rasteriser.
void GlDevice9::ClearBars(const RECT& picture, int windowWidth, int windowHeight)
{
    const RECT bars[4] = {{0, 0, windowWidth, picture.top},
                          {0, picture.bottom, windowWidth, windowHeight},
                          {0, picture.top, picture.left, picture.bottom},
                          {picture.right, picture.top, windowWidth, picture.bottom}};
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    for (const RECT& bar : bars) {
        if (bar.right <= bar.left || bar.bottom <= bar.top) {
            continue;
        }
        glEnable(GL_SCISSOR_TEST);
        // GL's rows run bottom-up.
        glScissor(bar.left, windowHeight - bar.bottom, bar.right - bar.left, bar.bottom - bar.top);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

HRESULT GlDevice9::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                           const void* dirtyRegion)
{
    if (sourceRect != nullptr || destRect != nullptr || destWindowOverride != nullptr || dirtyRegion != nullptr) {
        return D3DERR_INVALIDCALL;  // only whole-picture presents are offered
    }
    if (lost_) {
        return D3DERR_DEVICELOST;
    }
    if (!context_->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    int windowWidth = 0;
    int windowHeight = 0;
    SDL_GL_GetDrawableSize(context_->Window(), &windowWidth, &windowHeight);
    // The window layer knows the picture's place in its windows; a window of
    // its own (the hidden one) shows the back buffer scaled to fit.
    Letterbox box;
    if (!DrawableLetterbox(presentWindow_, box)) {
        box = Letterbox(static_cast<int>(parameters_.BackBufferWidth), static_cast<int>(parameters_.BackBufferHeight),
                        windowWidth, windowHeight);
    }
    RECT dest{box.ViewportX(), box.ViewportY(), box.ViewportX() + box.ViewportWidth(),
              box.ViewportY() + box.ViewportHeight()};
    const auto width = static_cast<LONG>(parameters_.BackBufferWidth);
    const auto height = static_cast<LONG>(parameters_.BackBufferHeight);
    HomePicture(windowPictureAllowed_ && windowWidth == width && windowHeight == height && dest.left == 0 &&
                dest.top == 0 && dest.right == width && dest.bottom == height);
    if (pictureInWindow_ && backBuffer_->Stamp() != windowStamp_) {
        // Pixels put into the back buffer from another thread since.
        CopyPicture(true);
        windowStamp_ = backBuffer_->Stamp();
    }
    const bool changed = !trackDamage_ || FinishFrame();
    const unsigned source = pictureInWindow_ ? 0 : backBuffer_->Framebuffer();
    if (!pictureInWindow_ && source == 0) {
        return D3DERR_INVALIDCALL;
    }
    // The window keeps what it was last shown while it is neither uncovered nor resized.
    const unsigned long exposures = exposures_.load();
    if (!changed && exposures == shownExposures_ && windowWidth == shownWindowWidth_ &&
        windowHeight == shownWindowHeight_ && dest.left == shownDest_.left && dest.top == shownDest_.top &&
        dest.right == shownDest_.right && dest.bottom == shownDest_.bottom) {
        ++counts_.unchanged;
        if (std::exchange(retirePending_, false)) {
            RetireShownFrames();
        }
        return D3D_OK;
    }
    shownExposures_ = exposures;
    shownWindowWidth_ = windowWidth;
    shownWindowHeight_ = windowHeight;
    shownDest_ = dest;
    ++counts_.presents;
    retirePending_ = true;
    if (pictureInWindow_) {
        ++counts_.shownInPlace;
        windowShow_.Show(0, 0, windowWidth, windowHeight);
        return D3D_OK;
    }
    const GlFunctions& gl = context_->Gl();
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, windowWidth, windowHeight);
    ClearBars(dest, windowWidth, windowHeight);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, source);
    const bool sameSize = dest.right - dest.left == width && dest.bottom - dest.top == height;
    // The window's rows run bottom-up: the back buffer's top row goes to the top.
    gl.BlitFramebuffer(0, 0, width, height, dest.left, windowHeight - dest.top, dest.right,
                       windowHeight - dest.bottom, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    SDL_GL_SwapWindow(context_->Window());
    return D3D_OK;
}

// The driver lets go of what its finished frames drew from (textures the game
// has released since, scratch buffers) only when it next draws. Where the
// picture then stands still nothing is drawn for seconds, and a scene's
// released render targets would stay resident all that time; one clear of a
// pixel of our own, drawn the way the back buffer is, makes the driver take
// its next frame and return them. The heap's free pages go back too: what a
// scene's setup and its first frames freed leaves holes in the heap that the
// allocator keeps resident (1 to 2 MB at the menu), and while the picture
// stands still giving them back costs no frame anything.
void GlDevice9::RetireShownFrames()
{
    malloc_trim(0);
    if (idleTarget_ == nullptr) {
        idleTarget_ = new GlTexture9(context_, 1, 1, D3DUSAGE_RENDERTARGET, parameters_.BackBufferFormat,
                                     D3DPOOL_DEFAULT);
        idleTarget_->StoreAsWindowPixels();
    }
    const unsigned framebuffer = idleTarget_->Framebuffer();
    if (framebuffer == 0) {
        return;
    }
    const GlFunctions& gl = context_->Gl();
    gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFlush();
    // The state a shown frame leaves.
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
}

bool GlDevice9::FinishFrame()
{
    const int width = static_cast<int>(backBuffer_->Width());
    const int height = static_cast<int>(backBuffer_->Height());
    const bool cleared = DamageTracker::StartsWithFullClear(frame_, width, height);
    bool changed = true;
    if (!drawnAsTheyCome_) {
        if (disturbed_ || !previousValid_ || !cleared) {
            for (const RecordedDraw& draw : frame_) {
                Replay(draw, nullptr);
            }
        } else {
            const DamageRegion damage(DamageTracker::Damage(previous_, frame_, width, height), width, height);
            changed = !damage.Rects().empty();
            // Every operation again, in order, cut to each damaged rectangle it
            // meets; the rectangles do not overlap, so each pixel sees the same
            // operations in the same order as in a whole redraw. Where most of
            // what the frame draws is damaged, it is drawn whole instead.
            const bool whole = changed && damage.CheaperWhole(frame_);
            if (changed) {
                for (const RecordedDraw& draw : frame_) {
                    Replay(draw, whole ? nullptr : &damage);
                }
            }
        }
    }
    // A picture that did not start from a whole clear depends on the one before it.
    previousValid_ = cleared && !foreignWrite_;
    for (RecordedDraw& draw : frame_) {
        draw.DropTexture();
    }
    previous_ = std::move(frame_);
    frame_.clear();
    waitingTextures_.clear();
    drawnAsTheyCome_ = false;
    disturbed_ = false;
    foreignWrite_ = false;
    return changed;
}

void GlDevice9::DrawWaiting()
{
    if (!trackDamage_ || drawnAsTheyCome_ || frame_.empty()) {
        return;
    }
    for (RecordedDraw& draw : frame_) {
        Replay(draw, nullptr);
        draw.DropTexture();
    }
    waitingTextures_.clear();
    drawnAsTheyCome_ = true;
    disturbed_ = true;
}

void GlDevice9::BeforeGlWrite(GlTexture9* texture)
{
    if (texture != nullptr && waitingTextures_.count(texture) != 0) {
        DrawWaiting();
    }
}

void GlDevice9::Keep(RecordedDraw draw)
{
    if (draw.clear && draw.rects.empty()) {
        // Nothing drawn before a whole clear shows: the frame starts again here.
        frame_.clear();
        waitingTextures_.clear();
        drawnAsTheyCome_ = false;
    }
    if (drawnAsTheyCome_) {
        Replay(draw, nullptr);
        draw.DropTexture();
        disturbed_ = true;
    } else if (draw.texture != nullptr) {
        waitingTextures_[draw.texture] = draw.textureStamp;
    }
    frame_.push_back(std::move(draw));
}

RecordedDraw GlDevice9::RecordDraw(D3DPRIMITIVETYPE type, const VertexLayout& layout, const BYTE* firstVertex,
                                   UINT vertexCount, std::vector<std::uint32_t> indices, long long count)
{
    RecordedDraw draw;
    draw.type = type;
    draw.layout = layout;
    draw.stride = streamStride_;
    draw.vertices.assign(firstVertex,
                         firstVertex + static_cast<size_t>(vertexCount - 1) * streamStride_ + layout.size);
    draw.indexed = !indices.empty();
    draw.indices = std::move(indices);
    draw.count = count;
    std::copy(std::begin(renderStates_), std::end(renderStates_), draw.renderStates.begin());
    std::copy(std::begin(stageStates_[0]), std::end(stageStates_[0]), draw.stageStates.begin());
    std::copy(std::begin(samplerStates_[0]), std::end(samplerStates_[0]), draw.samplerStates.begin());
    draw.bounds = DamageTracker::DrawBounds(type, layout, streamStride_, draw.vertices,
                                            static_cast<int>(backBuffer_->Width()),
                                            static_cast<int>(backBuffer_->Height()));
    DamageTracker::SetTriangleBounds(draw, static_cast<int>(backBuffer_->Width()),
                                     static_cast<int>(backBuffer_->Height()));
    return draw;
}

void GlDevice9::FillRects(const std::vector<PixelRect>& rects, const float* rgba)
{
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_SCISSOR_TEST);
    // Pixel x covers [x - 0.5, x + 0.5] in vertex coordinates: a rectangle's
    // corners half a pixel up and left take exactly its pixels.
    std::vector<GLfloat>& corners = corners_;
    corners.clear();
    for (const PixelRect& r : rects) {
        const GLfloat left = static_cast<GLfloat>(r.left) - 0.5f;
        const GLfloat top = static_cast<GLfloat>(r.top) - 0.5f;
        const GLfloat right = static_cast<GLfloat>(r.right) - 0.5f;
        const GLfloat bottom = static_cast<GLfloat>(r.bottom) - 0.5f;
        corners.insert(corners.end(), {left, top, right, top, right, bottom, left, top, right, bottom, left, bottom});
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, corners.data());
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(corners.size() / 2));
}

void GlDevice9::Replay(const RecordedDraw& draw, const DamageRegion* damage)
{
    GlTexture9* target = renderTarget_;
    renderTarget_ = backBuffer_;
    if (FAILED(BindTarget())) {
        renderTarget_ = target;
        return;
    }
    if (draw.clear) {
        const DWORD count = static_cast<DWORD>(draw.rects.size());
        const D3DRECT* rects = draw.rects.empty() ? nullptr : draw.rects.data();
        if (damage == nullptr) {
            ++counts_.backBufferDraws;
            ClearTarget(draw.color, count, rects);
        } else {
            // The damage within the clear's rectangles filled with its colour
            // in one draw: a clear cut to each rectangle would set up the
            // driver's state once a rectangle.
            const PixelRect whole{0, 0, static_cast<int>(backBuffer_->Width()),
                                  static_cast<int>(backBuffer_->Height())};
            pieces_.clear();
            for (DWORD i = 0; i < std::max<DWORD>(count, 1); ++i) {
                const PixelRect cleared = count == 0 ? whole : ClampedRect(rects[i], whole);
                for (const PixelRect& cut : damage->Rects()) {
                    const PixelRect piece = cleared.Intersection(cut);
                    if (!piece.Empty()) {
                        pieces_.push_back(piece);
                    }
                }
            }
            if (!pieces_.empty()) {
                GLfloat rgba[4];
                ClearColour(draw.color, *backBuffer_, rgba);
                ++counts_.backBufferDraws;
                FillRects(pieces_, rgba);
            }
        }
        renderTarget_ = target;
        return;
    }
    // The draw's own states stand in for the device's for its length.
    DWORD savedRender[D3DRS_MAX_STATE];
    DWORD savedStage[D3DTSS_MAX_STATE];
    DWORD savedSampler[D3DSAMP_MAX_STATE];
    std::copy(std::begin(renderStates_), std::end(renderStates_), savedRender);
    std::copy(std::begin(stageStates_[0]), std::end(stageStates_[0]), savedStage);
    std::copy(std::begin(samplerStates_[0]), std::end(samplerStates_[0]), savedSampler);
    GlTexture9* savedTexture = textures_[0];
    std::copy(draw.renderStates.begin(), draw.renderStates.end(), renderStates_);
    std::copy(draw.stageStates.begin(), draw.stageStates.end(), stageStates_[0]);
    std::copy(draw.samplerStates.begin(), draw.samplerStates.end(), samplerStates_[0]);
    textures_[0] = draw.texture;
    ApplyRenderStates();
    if (SUCCEEDED(ApplyTexture(false))) {
        if (damage == nullptr) {
            ++counts_.backBufferDraws;
            DrawKept(draw);
        } else {
            ReplayInto(draw, *damage);
        }
    }
    std::copy(std::begin(savedRender), std::end(savedRender), renderStates_);
    std::copy(std::begin(savedStage), std::end(savedStage), stageStates_[0]);
    std::copy(std::begin(savedSampler), std::end(savedSampler), samplerStates_[0]);
    textures_[0] = savedTexture;
    renderTarget_ = target;
}

void GlDevice9::ReplayInto(const RecordedDraw& draw, const DamageRegion& damage)
{
    const std::vector<PixelRect>& cuts = damage.Rects();
    glEnable(GL_SCISSOR_TEST);
    if (draw.triangleBounds.empty()) {
        for (const PixelRect& cut : cuts) {
            if (draw.bounds.Intersects(cut)) {
                ScissorTo(cut);
                ++counts_.backBufferDraws;
                DrawKept(draw);
            }
        }
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    // Each rectangle is sent only the triangles of the list that may reach
    // it, their corners gathered in order: a batch of many sprites sends a
    // few, and the driver reads every vertex between the lowest and highest
    // index it is given. The rectangles' corners lie one after another in one
    // array, so the arrays are set once for all of them.
    if (reachingCuts_.size() < cuts.size()) {
        reachingCuts_.resize(cuts.size());
    }
    for (size_t i = 0; i < cuts.size(); ++i) {
        reachingCuts_[i].clear();
    }
    for (size_t t = 0; t < draw.triangleBounds.size(); ++t) {
        for (std::uint64_t met = damage.Met(draw.triangleBounds[t]); met != 0; met &= met - 1) {
            reachingCuts_[static_cast<size_t>(std::countr_zero(met))].push_back(static_cast<std::uint32_t>(t));
        }
    }
    reaching_.clear();
    for (size_t i = 0; i < cuts.size(); ++i) {
        for (std::uint32_t t : reachingCuts_[i]) {
            for (size_t c = 3 * size_t{t}; c < 3 * size_t{t} + 3; ++c) {
                const BYTE* vertex = draw.vertices.data() + (draw.indexed ? draw.indices[c] : c) * draw.stride;
                reaching_.insert(reaching_.end(), vertex, vertex + draw.layout.size);
                reaching_.resize(reaching_.size() + (draw.stride - draw.layout.size));
            }
        }
    }
    SetArrays(draw.layout, draw.stride, reaching_.data());
    GLint first = 0;
    for (size_t i = 0; i < cuts.size(); ++i) {
        const auto corners = static_cast<GLsizei>(3 * reachingCuts_[i].size());
        if (corners == 0) {
            continue;
        }
        ScissorTo(cuts[i]);
        ++counts_.backBufferDraws;
        glDrawArrays(GL_TRIANGLES, first, corners);
        first += corners;
    }
    glDisable(GL_SCISSOR_TEST);
}

void GlDevice9::DrawKept(const RecordedDraw& draw)
{
    SetArrays(draw.layout, draw.stride, draw.vertices.data());
    if (draw.indexed) {
        glDrawElements(GlPrimitive(draw.type), static_cast<GLsizei>(draw.count), GL_UNSIGNED_INT, draw.indices.data());
    } else {
        glDrawArrays(GlPrimitive(draw.type), 0, static_cast<GLsizei>(draw.count));
    }
}

HRESULT GlDevice9::EvictManagedResources()
{
    if (!context_->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    // Waiting draws show their textures as they were when drawn.
    DrawWaiting();
    context_->ForEachManaged([](GlTexture9& texture) { texture.Evict(); });
    return D3D_OK;
}

HRESULT GlDevice9::BeginScene()
{
    if (inScene_) {
        return D3DERR_INVALIDCALL;
    }
    inScene_ = true;
    return D3D_OK;
}

HRESULT GlDevice9::EndScene()
{
    if (!inScene_) {
        return D3DERR_INVALIDCALL;
    }
    inScene_ = false;
    return D3D_OK;
}

HRESULT GlDevice9::BindTarget()
{
    const bool window = DrawsIntoWindow();
    const unsigned framebuffer = window ? 0 : renderTarget_->Framebuffer();
    if (!window && framebuffer == 0) {
        return D3DERR_INVALIDCALL;
    }
    context_->Gl().BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    // Clip space's top comes out as the first row in memory either way.
    context_->SetClipOrigin(window ? GL_UPPER_LEFT : GL_LOWER_LEFT);
    GLsizei width = static_cast<GLsizei>(renderTarget_->Width());
    GLsizei height = static_cast<GLsizei>(renderTarget_->Height());
    glViewport(0, 0, width, height);
    GLfloat projection[16];
    PixelProjection(width, height, projection);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return D3D_OK;
}

void GlDevice9::ScissorTo(const PixelRect& r) const
{
    // Scissors count rows bottom-up in the window whatever the clip origin.
    const int top = DrawsIntoWindow() ? static_cast<int>(backBuffer_->Height()) - r.bottom : r.top;
    glScissor(r.left, top, r.right - r.left, r.bottom - r.top);
}

HRESULT GlDevice9::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float, DWORD)
{
    if ((count > 0) != (rects != nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) {
        return D3DERR_INVALIDCALL;  // there is no depth or stencil buffer to clear
    }
    if (!context_->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DCLEAR_TARGET) == 0) {
        return D3D_OK;
    }
    if (KeepsBackBufferDraws()) {
        RecordedDraw draw;
        draw.clear = true;
        draw.color = color;
        const PixelRect whole{0, 0, static_cast<int>(backBuffer_->Width()), static_cast<int>(backBuffer_->Height())};
        draw.bounds = count == 0 ? whole : PixelRect{};
        for (DWORD i = 0; i < count; ++i) {
            draw.rects.push_back(rects[i]);
            draw.bounds = draw.bounds.Union(ClampedRect(rects[i], whole));
        }
        Keep(std::move(draw));
        return D3D_OK;
    }
    BeforeGlWrite(renderTarget_);
    HRESULT bound = BindTarget();
    if (FAILED(bound)) {
        return bound;
    }
    ClearTarget(color, count, rects);
    if (renderTarget_ == backBuffer_) {
        ++counts_.backBufferDraws;
    } else {
        renderTarget_->Touch();
    }
    return D3D_OK;
}

void GlDevice9::ClearTarget(D3DCOLOR color, DWORD count, const D3DRECT* rects)
{
    GLfloat rgba[4];
    ClearColour(color, *renderTarget_, rgba);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    if (count == 0) {
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const PixelRect whole{0, 0, static_cast<int>(renderTarget_->Width()), static_cast<int>(renderTarget_->Height())};
    glEnable(GL_SCISSOR_TEST);
    for (DWORD i = 0; i < count; ++i) {
        const PixelRect r = ClampedRect(rects[i], whole);
        if (!r.Empty()) {
            ScissorTo(r);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

HRESULT GlDevice9::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (state >= D3DRS_MAX_STATE) {
        return D3DERR_INVALIDCALL;
    }
    if (IsBlendState(state) && !GlBlendFactor(value)) {
        return D3DERR_INVALIDCALL;
    }
    if ((state == D3DRS_BLENDOP || state == D3DRS_BLENDOPALPHA) && !GlBlendEquation(value)) {
        return D3DERR_INVALIDCALL;
    }
    if (state == D3DRS_CULLMODE && !GlCullOf(value)) {
        return D3DERR_INVALIDCALL;
    }
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT GlDevice9::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (value == nullptr || state >= D3DRS_MAX_STATE) {
        return D3DERR_INVALIDCALL;
    }
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT GlDevice9::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= kStages || type >= D3DTSS_MAX_STATE) {
        return D3DERR_INVALIDCALL;
    }
    if ((type == D3DTSS_COLOROP || type == D3DTSS_ALPHAOP) && !IsSupportedTextureOp(value)) {
        return D3DERR_INVALIDCALL;
    }
    if ((type == D3DTSS_COLORARG1 || type == D3DTSS_COLORARG2 || type == D3DTSS_ALPHAARG1 ||
         type == D3DTSS_ALPHAARG2) &&
        !IsSupportedTextureArg(value)) {
        return D3DERR_INVALIDCALL;
    }
    stageStates_[stage][type] = value;
    return D3D_OK;
}

HRESULT GlDevice9::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (value == nullptr || stage >= kStages || type >= D3DTSS_MAX_STATE) {
        return D3DERR_INVALIDCALL;
    }
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT GlDevice9::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler >= kStages || type >= D3DSAMP_MAX_STATE) {
        return D3DERR_INVALIDCALL;
    }
    if ((type == D3DSAMP_ADDRESSU || type == D3DSAMP_ADDRESSV || type == D3DSAMP_ADDRESSW) && !GlWrapMode(value)) {
        return D3DERR_INVALIDCALL;
    }
    samplerStates_[sampler][type] = value;
    return D3D_OK;
}

HRESULT GlDevice9::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (value == nullptr || sampler >= kStages || type >= D3DSAMP_MAX_STATE) {
        return D3DERR_INVALIDCALL;
    }
    *value = samplerStates_[sampler][type];
    return D3D_OK;
}

HRESULT GlDevice9::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    bool known = state == D3DTS_WORLD || state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
                 (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kStages);
    if (matrix == nullptr || !known) {
        return D3DERR_INVALIDCALL;
    }
    // Kept for GetTransform; pretransformed vertices, the only kind drawn, ignore them.
    transforms_[state] = *matrix;
    return D3D_OK;
}

HRESULT GlDevice9::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    auto it = transforms_.find(state);
    *matrix = it != transforms_.end() ? it->second : Identity();
    return D3D_OK;
}

HRESULT GlDevice9::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    if (stage >= kStages) {
        return D3DERR_INVALIDCALL;
    }
    GlTexture9* gl = nullptr;
    if (texture != nullptr) {
        gl = dynamic_cast<GlTexture9*>(texture);
        if (gl == nullptr || gl->Context() != context_ || gl->Pool() == D3DPOOL_SYSTEMMEM) {
            return D3DERR_INVALIDCALL;
        }
    }
    Rebind(textures_[stage], gl);
    return D3D_OK;
}

HRESULT GlDevice9::SetVertexShader(IDirect3DVertexShader9* shader)
{
    return shader == nullptr ? D3D_OK : D3DERR_INVALIDCALL;  // fixed function only
}

HRESULT GlDevice9::SetFVF(DWORD fvf)
{
    if (fvf != 0 && !LayoutFromFvf(fvf)) {
        return D3DERR_INVALIDCALL;
    }
    fvf_ = fvf;
    Rebind(declaration_, static_cast<GlVertexDeclaration9*>(nullptr));
    return D3D_OK;
}

HRESULT GlDevice9::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration)
{
    GlVertexDeclaration9* gl = nullptr;
    if (declaration != nullptr) {
        gl = dynamic_cast<GlVertexDeclaration9*>(declaration);
        if (gl == nullptr) {
            return D3DERR_INVALIDCALL;
        }
    }
    Rebind(declaration_, gl);
    fvf_ = 0;
    return D3D_OK;
}

HRESULT GlDevice9::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes, UINT stride)
{
    if (stream != 0) {
        return D3DERR_INVALIDCALL;
    }
    GlVertexBuffer9* gl = nullptr;
    if (buffer != nullptr) {
        gl = dynamic_cast<GlVertexBuffer9*>(buffer);
        if (gl == nullptr) {
            return D3DERR_INVALIDCALL;
        }
    }
    Rebind(stream_, gl);
    streamOffset_ = offsetInBytes;
    streamStride_ = stride;
    return D3D_OK;
}

HRESULT GlDevice9::SetIndices(IDirect3DIndexBuffer9* indices)
{
    GlIndexBuffer9* gl = nullptr;
    if (indices != nullptr) {
        gl = dynamic_cast<GlIndexBuffer9*>(indices);
        if (gl == nullptr) {
            return D3DERR_INVALIDCALL;
        }
    }
    Rebind(indices_, gl);
    return D3D_OK;
}

void GlDevice9::ApplyRenderStates()
{
    const GlFunctions& gl = context_->Gl();
    if (renderStates_[D3DRS_ALPHABLENDENABLE] != FALSE) {
        glEnable(GL_BLEND);
        GLenum source = *GlBlendFactor(renderStates_[D3DRS_SRCBLEND]);
        GLenum dest = *GlBlendFactor(renderStates_[D3DRS_DESTBLEND]);
        GLenum op = *GlBlendEquation(renderStates_[D3DRS_BLENDOP]);
        if (renderStates_[D3DRS_SEPARATEALPHABLENDENABLE] != FALSE && gl.HasSeparateBlend()) {
            gl.BlendFuncSeparate(source, dest, *GlBlendFactor(renderStates_[D3DRS_SRCBLENDALPHA]),
                                 *GlBlendFactor(renderStates_[D3DRS_DESTBLENDALPHA]));
            gl.BlendEquationSeparate(op, *GlBlendEquation(renderStates_[D3DRS_BLENDOPALPHA]));
        } else {
            glBlendFunc(source, dest);
            gl.BlendEquation(op);
        }
    } else {
        glDisable(GL_BLEND);
    }
    GlCull cull = *GlCullOf(renderStates_[D3DRS_CULLMODE]);
    glFrontFace(GL_CCW);
    if (cull.enabled) {
        glEnable(GL_CULL_FACE);
        glCullFace(cull.face);
    } else {
        glDisable(GL_CULL_FACE);
    }
    DWORD mask = renderStates_[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & 1u) != 0, (mask & 2u) != 0, (mask & 4u) != 0,
                (mask & 8u) != 0 && !renderTarget_->HoldsUnusedAlpha());
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_SCISSOR_TEST);
    glShadeModel(GL_SMOOTH);
}

HRESULT GlDevice9::ApplyTexture(bool realise)
{
    const DWORD* s = stageStates_[0];
    StageState stage{s[D3DTSS_COLOROP], s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2],
                     s[D3DTSS_ALPHAOP], s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2]};
    GlTexture9* texture = textures_[0];
    std::optional<GlTextureEnv> env = GlTextureEnvOf(stage, texture != nullptr);
    if (!env) {
        return D3DERR_INVALIDCALL;
    }
    if (!env->texturing) {
        glDisable(GL_TEXTURE_2D);
        return D3D_OK;
    }
    const DWORD* sampler = samplerStates_[0];
    const bool showsBorder =
        sampler[D3DSAMP_ADDRESSU] == D3DTADDRESS_BORDER || sampler[D3DSAMP_ADDRESSV] == D3DTADDRESS_BORDER;
    // A replayed draw takes the texture as it is, unless the border shows.
    unsigned name = realise || showsBorder ? 0 : texture->Name();
    if (name == 0) {
        name = texture->Realise(showsBorder);
    }
    if (name == 0) {
        return D3DERR_INVALIDCALL;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, *GlWrapMode(sampler[D3DSAMP_ADDRESSU]));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, *GlWrapMode(sampler[D3DSAMP_ADDRESSV]));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GlFilter(sampler[D3DSAMP_MAGFILTER]));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GlFilter(sampler[D3DSAMP_MINFILTER]));
    GLfloat border[4];
    ArgbToFloats(sampler[D3DSAMP_BORDERCOLOR], border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    if (env->plainModulate) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        return D3D_OK;
    }
    GLfloat factor[4];
    ArgbToFloats(renderStates_[D3DRS_TEXTUREFACTOR], factor);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, env->rgb.mode);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, env->rgb.source[0]);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_RGB, env->rgb.source[1]);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, env->rgb.operand[0]);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, env->rgb.operand[1]);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, env->rgb.scale);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, env->alpha.mode);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA, env->alpha.source[0]);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_ALPHA, env->alpha.source[1]);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, env->alpha.operand[0]);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, env->alpha.operand[1]);
    glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, env->alpha.scale);
    return D3D_OK;
}

HRESULT GlDevice9::PrepareDraw(VertexLayout* layout)
{
    if (!inScene_ || !context_->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    std::optional<VertexLayout> found;
    if (declaration_ != nullptr) {
        found = declaration_->Layout();
    } else if (fvf_ != 0) {
        found = LayoutFromFvf(fvf_);
    }
    // Only pretransformed vertices are drawn: the callers give positions in target pixels.
    if (!found || !found->pretransformed || stream_ == nullptr || streamStride_ < found->size) {
        return D3DERR_INVALIDCALL;
    }
    *layout = *found;
    HRESULT result = BindTarget();
    if (FAILED(result)) {
        return result;
    }
    ApplyRenderStates();
    return ApplyTexture();
}

HRESULT GlDevice9::CheckVertexRange(const VertexLayout& layout, long long first, long long count) const
{
    if (first < 0 || count <= 0) {
        return D3DERR_INVALIDCALL;
    }
    long long end = static_cast<long long>(streamOffset_) + (first + count - 1) * streamStride_ + layout.size;
    return end <= static_cast<long long>(stream_->Buffer().Length()) ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlDevice9::SetArrays(const VertexLayout& layout, UINT vertexStride, const BYTE* base)
{
    GLsizei stride = static_cast<GLsizei>(vertexStride);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, stride, base + layout.positionOffset);
    if (layout.colorOffset >= 0) {
        glEnableClientState(GL_COLOR_ARRAY);
        // Packed ARGB is B, G, R, A in memory.
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, stride, base + layout.colorOffset);
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    if (layout.texCoordOffset >= 0) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, base + layout.texCoordOffset);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoord2f(0.0f, 0.0f);
    }
}

HRESULT GlDevice9::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    long long count = VertexCount(type, primitiveCount);
    if (count < 0) {
        return D3DERR_INVALIDCALL;
    }
    VertexLayout layout;
    const std::uint64_t stamp = BeforeDraw();
    HRESULT result = PrepareDraw(&layout);
    if (FAILED(result) || primitiveCount == 0) {
        return result;
    }
    result = CheckVertexRange(layout, startVertex, count);
    if (FAILED(result)) {
        return result;
    }
    const BYTE* base = stream_->Buffer().Data() + streamOffset_;
    if (KeepsBackBufferDraws()) {
        RecordedDraw draw = RecordDraw(type, layout, base + static_cast<size_t>(startVertex) * streamStride_,
                                       static_cast<UINT>(count), {}, count);
        draw.HoldTexture(textures_[0], stamp);
        Keep(std::move(draw));
        return D3D_OK;
    }
    SetArrays(layout, streamStride_, base);
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
    AfterDraw();
    return D3D_OK;
}

std::uint64_t GlDevice9::BeforeDraw()
{
    // A texture that waiting draws show and whose pixels changed since would
    // be brought up to date under them: they are drawn first.
    GlTexture9* texture = textures_[0];
    const std::uint64_t stamp = texture != nullptr ? texture->Stamp() : 0;
    if (texture != nullptr) {
        auto waiting = waitingTextures_.find(texture);
        if (waiting != waitingTextures_.end() && waiting->second != stamp) {
            DrawWaiting();
        }
    }
    if (renderTarget_ != backBuffer_) {
        BeforeGlWrite(renderTarget_);
    }
    return stamp;
}

void GlDevice9::AfterDraw()
{
    if (renderTarget_ == backBuffer_) {
        ++counts_.backBufferDraws;
    } else {
        renderTarget_->Touch();
    }
}

HRESULT GlDevice9::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT, UINT, UINT startIndex,
                                        UINT primitiveCount)
{
    long long count = VertexCount(type, primitiveCount);
    if (count < 0 || indices_ == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    VertexLayout layout;
    const std::uint64_t stamp = BeforeDraw();
    HRESULT result = PrepareDraw(&layout);
    if (FAILED(result) || primitiveCount == 0) {
        return result;
    }
    if (static_cast<long long>(startIndex) + count > static_cast<long long>(indices_->Capacity())) {
        return D3DERR_INVALIDCALL;
    }
    // Every index must name a vertex inside the stream, or GL would read past it.
    UINT lowest = indices_->IndexAt(startIndex);
    UINT highest = lowest;
    for (long long i = 1; i < count; ++i) {
        UINT index = indices_->IndexAt(static_cast<UINT>(startIndex + i));
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    long long first = static_cast<long long>(lowest) + baseVertexIndex;
    long long last = static_cast<long long>(highest) + baseVertexIndex;
    result = CheckVertexRange(layout, first, last - first + 1);
    if (FAILED(result)) {
        return result;
    }
    if (KeepsBackBufferDraws()) {
        // The vertices from the lowest named to the highest, and the indices counted from there.
        std::vector<std::uint32_t> kept(static_cast<size_t>(count));
        for (long long i = 0; i < count; ++i) {
            kept[static_cast<size_t>(i)] = indices_->IndexAt(static_cast<UINT>(startIndex + i)) - lowest;
        }
        const BYTE* from = stream_->Buffer().Data() + streamOffset_ + static_cast<size_t>(first) * streamStride_;
        RecordedDraw draw = RecordDraw(type, layout, from, static_cast<UINT>(last - first + 1), std::move(kept), count);
        draw.HoldTexture(textures_[0], stamp);
        Keep(std::move(draw));
        return D3D_OK;
    }
    SetArrays(layout, streamStride_, stream_->Buffer().Data() + streamOffset_);
    GLenum mode = GlPrimitive(type);
    if (baseVertexIndex == 0) {
        const BYTE* at = indices_->Buffer().Data() + static_cast<size_t>(startIndex) * indices_->IndexSize();
        glDrawElements(mode, static_cast<GLsizei>(count),
                       indices_->IndexSize() == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, at);
        AfterDraw();
        return D3D_OK;
    }
    std::vector<GLuint> rebased(static_cast<size_t>(count));
    for (long long i = 0; i < count; ++i) {
        rebased[static_cast<size_t>(i)] =
            static_cast<GLuint>(static_cast<long long>(indices_->IndexAt(static_cast<UINT>(startIndex + i))) +
                                baseVertexIndex);
    }
    glDrawElements(mode, static_cast<GLsizei>(count), GL_UNSIGNED_INT, rebased.data());
    AfterDraw();
    return D3D_OK;
}

HRESULT GlDevice9::GetRenderTarget(DWORD index, IDirect3DSurface9** surface)
{
    if (surface == nullptr || index != 0) {
        return D3DERR_INVALIDCALL;
    }
    renderTarget_->AddRef();
    *surface = renderTarget_->Surface();
    return D3D_OK;
}

HRESULT GlDevice9::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    auto* gl = dynamic_cast<GlSurface9*>(surface);
    if (index != 0 || gl == nullptr || !gl->Owner().IsRenderTarget() || gl->Owner().Context() != context_) {
        return D3DERR_INVALIDCALL;
    }
    Rebind(renderTarget_, &gl->Owner());
    return D3D_OK;
}

HRESULT GlDevice9::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination)
{
    auto* source = dynamic_cast<GlSurface9*>(renderTarget);
    auto* dest = dynamic_cast<GlSurface9*>(destination);
    if (source == nullptr || dest == nullptr || !source->Owner().IsRenderTarget() ||
        dest->Owner().Pool() != D3DPOOL_SYSTEMMEM || !context_->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    // The back buffer is read as the draws so far made it.
    if (&source->Owner() == backBuffer_) {
        DrawWaiting();
        if (pictureInWindow_ && !CopyPicture(false)) {
            return D3DERR_INVALIDCALL;
        }
    } else if (auto waiting = waitingTextures_.find(&source->Owner());
               waiting != waitingTextures_.end() && waiting->second != source->Owner().Stamp()) {
        DrawWaiting();
    }
    return source->Owner().ReadPixelsInto(dest->Owner());
}

HRESULT GlDevice9::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* destination,
                                 const POINT* destPoint)
{
    auto* from = dynamic_cast<GlSurface9*>(source);
    auto* to = dynamic_cast<GlSurface9*>(destination);
    // Whole surfaces only: partial copies are not offered.
    if (from == nullptr || to == nullptr || sourceRect != nullptr || destPoint != nullptr ||
        from->Owner().Pool() != D3DPOOL_SYSTEMMEM || to->Owner().Pool() != D3DPOOL_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    BeforeCopyInto(&to->Owner());
    return to->Owner().CopyPixelsFrom(from->Owner());
}

HRESULT GlDevice9::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination)
{
    auto* from = dynamic_cast<GlTexture9*>(source);
    auto* to = dynamic_cast<GlTexture9*>(destination);
    if (from == nullptr || to == nullptr || from->Pool() != D3DPOOL_SYSTEMMEM || to->Pool() != D3DPOOL_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    BeforeCopyInto(to);
    return to->CopyPixelsFrom(*from);
}

void GlDevice9::BeforeCopyInto(GlTexture9* texture)
{
    if (!context_->OnGlThread()) {
        return;  // applied at the texture's next use, which BeforeDraw watches
    }
    BeforeGlWrite(texture);
    if (texture == backBuffer_) {
        // The copy replaces the framebuffer object's pixels; the picture lives there until the next present.
        HomePicture(false);
    }
    if (texture == backBuffer_ && trackDamage_) {
        // Pixels put straight into the back buffer: no kept draw explains them.
        DrawWaiting();
        disturbed_ = true;
        foreignWrite_ = true;
    }
}

HRESULT GlDevice9::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                 IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    // One level only (0, "all levels", also gives one): nothing here samples mipmaps.
    if (sharedHandle != nullptr || levels > 1 || width == 0 || height == 0 || width > maxTextureSize_ ||
        height > maxTextureSize_ || (usage & ~D3DUSAGE_RENDERTARGET) != 0 || !IsTextureFormat(format)) {
        return D3DERR_INVALIDCALL;
    }
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_RENDERTARGET) != 0) {
        if (pool != D3DPOOL_DEFAULT) {
            return D3DERR_INVALIDCALL;
        }
        if (!IsRenderTargetFormat(format)) {
            return D3DERR_NOTAVAILABLE;
        }
    }
    *texture = new GlTexture9(context_, width, height, usage, format, pool);
    return D3D_OK;
}

HRESULT GlDevice9::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                               IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (sharedHandle != nullptr || pool != D3DPOOL_SYSTEMMEM || width == 0 || height == 0 ||
        width > maxTextureSize_ || height > maxTextureSize_ || !IsTextureFormat(format)) {
        return D3DERR_INVALIDCALL;
    }
    // The creator's reference on the hidden texture is handed over through its surface.
    *surface = (new GlTexture9(context_, width, height, 0, format, pool))->Surface();
    return D3D_OK;
}

HRESULT GlDevice9::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                      IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle)
{
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    const DWORD known = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING;
    if (sharedHandle != nullptr || length == 0 || (usage & ~known) != 0 || pool == D3DPOOL_SCRATCH ||
        pool > D3DPOOL_SCRATCH || (fvf != 0 && !LayoutFromFvf(fvf))) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = new GlVertexBuffer9(length, usage);
    return D3D_OK;
}

HRESULT GlDevice9::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle)
{
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    const DWORD known = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING;
    UINT indexSize = IndexSize(format);
    if (sharedHandle != nullptr || indexSize == 0 || length < indexSize || (usage & ~known) != 0 ||
        pool == D3DPOOL_SCRATCH || pool > D3DPOOL_SCRATCH) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = new GlIndexBuffer9(length, usage, indexSize);
    return D3D_OK;
}

HRESULT GlDevice9::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                           IDirect3DVertexDeclaration9** declaration)
{
    if (declaration == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *declaration = nullptr;
    std::optional<VertexLayout> layout = LayoutFromElements(elements);
    if (!layout) {
        return D3DERR_INVALIDCALL;
    }
    *declaration = new GlVertexDeclaration9(*layout);
    return D3D_OK;
}

}  // namespace platform::d3d9
