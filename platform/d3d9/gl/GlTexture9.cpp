#include "platform/d3d9/gl/GlTexture9.h"

#include "platform/d3d9/gl/PixelFormat.h"

#include <GL/glext.h>
#include <zlib.h>

#include <cstring>

namespace platform::d3d9 {
namespace {

// Host rows are stored top row first and so are framebuffer rows (the picture
// is flipped only at present), so pixels move without reordering.
std::atomic<std::uint64_t> g_lastStamp{0};

// Raw deflate streams, without zlib's header and checksum: the pixels live
// only in this process's memory, and the checksum alone was a third of the
// time of packing and unpacking a picture.
constexpr int kRawWindowBits = -15;

bool Deflate(const std::vector<BYTE>& pixels, std::vector<BYTE>& packed)
{
    z_stream z{};
    // The fastest level: its output is within a third of the best's here, at
    // twice the speed, and the loader thread pays it for every picture.
    if (deflateInit2(&z, 1, Z_DEFLATED, kRawWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return false;
    }
    packed.resize(deflateBound(&z, static_cast<uLong>(pixels.size())));
    z.next_in = const_cast<Bytef*>(pixels.data());
    z.avail_in = static_cast<uInt>(pixels.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    const bool ended = deflate(&z, Z_FINISH) == Z_STREAM_END;
    packed.resize(z.total_out);
    deflateEnd(&z);
    return ended;
}

bool Inflate(const std::vector<BYTE>& packed, std::vector<BYTE>& pixels)
{
    z_stream z{};
    if (inflateInit2(&z, kRawWindowBits) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = pixels.data();
    z.avail_out = static_cast<uInt>(pixels.size());
    const bool whole = inflate(&z, Z_FINISH) == Z_STREAM_END && z.total_out == pixels.size();
    inflateEnd(&z);
    return whole;
}

void SetRowLength(GLenum which, UINT pitch, D3DFORMAT format)
{
    glPixelStorei(which == GL_UNPACK_ROW_LENGTH ? GL_UNPACK_ALIGNMENT : GL_PACK_ALIGNMENT, 1);
    glPixelStorei(which, static_cast<GLint>(pitch / BytesPerPixel(format)));
}

}  // namespace

GlTexture9::GlTexture9(std::shared_ptr<GlContext> context, UINT width, UINT height, DWORD usage,
                       D3DFORMAT format, D3DPOOL pool)
    : context_(std::move(context)),
      width_(width),
      height_(height),
      usage_(usage),
      format_(format),
      pool_(pool),
      pitch_(SurfacePitch(format, width)),
      surface_(*this)
{
    if (HasHostPixels() && !PacksPixels()) {
        host_.assign(HostBytes(), 0);
    }
    if (pool_ == D3DPOOL_MANAGED) {
        context_->RegisterManaged(this);
    }
    Touch();
}

void GlTexture9::Touch()
{
    stamp_.store(++g_lastStamp);
}

unsigned GlTexture9::Name()
{
    std::lock_guard<std::mutex> hold(mutex_);
    return texture_;
}

bool GlTexture9::UnpackInto(std::vector<BYTE>& pixels) const
{
    // Raw pixels held are the current ones (locked, or left unpacked by a failed Pack).
    if (!PacksPixels() || !host_.empty()) {
        pixels = host_;
        return true;
    }
    pixels.assign(HostBytes(), 0);
    if (packed_.empty()) {
        return true;
    }
    if (oneColour_) {
        for (size_t at = 0; at + 4 <= pixels.size(); at += 4) {
            std::memcpy(pixels.data() + at, packed_.data(), 4);
        }
        return true;
    }
    return Inflate(packed_, pixels);
}

void GlTexture9::Pack()
{
    // A texture as it is made, cleared to one colour before it is filled,
    // is kept as that colour: no deflating for the loader to pay twice.
    const size_t bytes = host_.size();
    size_t same = bytes >= 4 && bytes % 4 == 0 ? 4 : bytes;
    while (same < bytes && std::memcmp(host_.data() + same, host_.data(), 4) == 0) {
        same += 4;
    }
    if (same == bytes && bytes >= 4) {
        packed_.assign(host_.begin(), host_.begin() + 4);
        oneColour_ = true;
        std::vector<BYTE>().swap(host_);
        return;
    }
    std::vector<BYTE> packed;
    if (!Deflate(host_, packed)) {
        return;  // kept as they are
    }
    packed.shrink_to_fit();
    packed_ = std::move(packed);
    oneColour_ = false;
    std::vector<BYTE>().swap(host_);
}

GlTexture9::~GlTexture9()
{
    if (pool_ == D3DPOOL_MANAGED) {
        context_->UnregisterManaged(this);
    }
    context_->DeleteFramebuffer(framebuffer_);
    context_->DeleteTexture(texture_);
}

HRESULT GlTexture9::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (surface == nullptr || level != 0) {
        return D3DERR_INVALIDCALL;
    }
    AddRef();
    *surface = &surface_;
    return D3D_OK;
}

HRESULT GlTexture9::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (locked == nullptr || level != 0 || !HasHostPixels()) {
        return D3DERR_INVALIDCALL;
    }
    if (rect != nullptr && (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
                            rect->top >= rect->bottom || static_cast<UINT>(rect->right) > width_ ||
                            static_cast<UINT>(rect->bottom) > height_)) {
        return D3DERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(mutex_);
    if (locked_) {
        return D3DERR_INVALIDCALL;
    }
    if (PacksPixels() && !UnpackInto(host_)) {
        std::vector<BYTE>().swap(host_);
        return D3DERR_INVALIDCALL;
    }
    locked_ = true;
    lockedReadOnly_ = (flags & D3DLOCK_READONLY) != 0;
    size_t offset = 0;
    if (rect != nullptr) {
        offset = static_cast<size_t>(rect->top) * pitch_ + static_cast<size_t>(rect->left) * BytesPerPixel(format_);
    }
    locked->Pitch = static_cast<INT>(pitch_);
    locked->pBits = host_.data() + offset;
    return D3D_OK;
}

HRESULT GlTexture9::UnlockRect(UINT level)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (level != 0 || !locked_) {
        return D3DERR_INVALIDCALL;
    }
    locked_ = false;
    if (!lockedReadOnly_) {
        stale_ = true;
        Touch();
    }
    if (PacksPixels()) {
        if (lockedReadOnly_) {
            std::vector<BYTE>().swap(host_);
        } else {
            Pack();
        }
    }
    return D3D_OK;
}

HRESULT GlTexture9::AddDirtyRect(const RECT*)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (HasHostPixels()) {
        stale_ = true;
        Touch();
    }
    return D3D_OK;
}

HRESULT GlTexture9::CopyPixelsFrom(GlTexture9& source)
{
    if (&source == this || !source.HasHostPixels() || source.width_ != width_ || source.height_ != height_ ||
        source.format_ != format_) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<BYTE> pixels;
    {
        std::lock_guard<std::mutex> hold(source.mutex_);
        if (source.locked_ || !source.UnpackInto(pixels)) {
            return D3DERR_INVALIDCALL;
        }
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (locked_) {
            return D3DERR_INVALIDCALL;
        }
        if (HasHostPixels()) {
            host_ = std::move(pixels);
            if (PacksPixels()) {
                Pack();
            }
            stale_ = true;
        } else {
            pending_ = std::move(pixels);
        }
        Touch();
    }
    if (context_->OnGlThread() && context_->MakeCurrent()) {
        // Apply now, so a later draw into the target is not overwritten by the copy.
        return Realise() != 0 ? D3D_OK : D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

void GlTexture9::Specify(const GlPixelFormat& gl, bool alphaOnly)
{
    // An unsized RGBA with the BGRA layout lets the driver keep the bytes
    // exactly as the window does; a sized format may store them otherwise.
    const GLint internalFormat = alphaOnly ? GL_ALPHA8 : HoldsUnusedAlpha() ? GL_RGBA : gl.internalFormat;
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), 0,
                 gl.format, gl.type, nullptr);
    if (alphaOnly || alphaOnly_) {
        // An alpha texture reads its colour as black; this one's is white.
        static constexpr GLint kWhite[4] = {GL_ONE, GL_ONE, GL_ONE, GL_ALPHA};
        static constexpr GLint kAsStored[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, alphaOnly ? kWhite : kAsStored);
    }
    alphaOnly_ = alphaOnly;
}

void GlTexture9::Upload(const std::vector<BYTE>& pixels)
{
    GlPixelFormat gl{};
    GlFormatOf(format_, &gl);
    SetRowLength(GL_UNPACK_ROW_LENGTH, pitch_, format_);
    // Into an alpha texture the driver takes each pixel's alpha.
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), gl.format,
                    gl.type, pixels.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

bool GlTexture9::AlphaAlone(const std::vector<BYTE>& pixels) const
{
    if (!PacksPixels() || format_ != D3DFMT_A8R8G8B8 || !context_->Gl().textureSwizzle) {
        return false;
    }
    for (UINT y = 0; y < height_; ++y) {
        const BYTE* row = pixels.data() + static_cast<size_t>(y) * pitch_;
        for (UINT x = 0; x < width_; ++x) {
            // B, G, R, A in memory.
            const BYTE* pixel = row + 4 * static_cast<size_t>(x);
            if ((pixel[0] & pixel[1] & pixel[2]) != 0xff) {
                return false;
            }
        }
    }
    return true;
}

unsigned GlTexture9::Realise(bool showsBorder)
{
    std::lock_guard<std::mutex> hold(mutex_);
    GlPixelFormat gl{};
    if (!GlFormatOf(format_, &gl)) {
        return 0;
    }
    const bool made = texture_ == 0;
    if (made) {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        alphaOnly_ = false;
        stale_ = true;
    } else {
        glBindTexture(GL_TEXTURE_2D, texture_);
    }
    if (showsBorder && alphaOnly_) {
        stale_ = true;  // given again, whole
    }
    std::vector<BYTE> unpacked;
    const std::vector<BYTE>* pixels = nullptr;
    if (HasHostPixels() && stale_ && !locked_) {
        if (!PacksPixels()) {
            pixels = &host_;
        } else if (UnpackInto(unpacked)) {
            pixels = &unpacked;
        }
        stale_ = false;
    }
    // The storage follows the pixels: a texture written anew may lose or gain its alpha-only form.
    const bool alphaOnly = pixels != nullptr ? !showsBorder && AlphaAlone(*pixels) : alphaOnly_;
    if (made || alphaOnly != alphaOnly_) {
        Specify(gl, alphaOnly);
    }
    if (pixels != nullptr) {
        Upload(*pixels);
    }
    if (!pending_.empty()) {
        Upload(pending_);
        pending_.clear();
        pending_.shrink_to_fit();
    }
    return texture_;
}

unsigned GlTexture9::Framebuffer()
{
    if (!IsRenderTarget() || Realise() == 0) {
        return 0;
    }
    if (framebuffer_ == 0) {
        const GlFunctions& gl = context_->Gl();
        gl.GenFramebuffers(1, &framebuffer_);
        gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
            gl.DeleteFramebuffers(1, &framebuffer_);
            framebuffer_ = 0;
        } else if (HoldsUnusedAlpha()) {
            // The alpha that no draw will write starts at 1 (callers set the
            // clear colour, mask and scissor again before they use them).
            glDisable(GL_SCISSOR_TEST);
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    return framebuffer_;
}

HRESULT GlTexture9::ReadPixelsInto(GlTexture9& destination)
{
    if (&destination == this || !destination.HasHostPixels() || destination.width_ != width_ ||
        destination.height_ != height_ || destination.format_ != format_) {
        return D3DERR_INVALIDCALL;
    }
    unsigned framebuffer = Framebuffer();
    if (framebuffer == 0) {
        return D3DERR_INVALIDCALL;
    }
    GlPixelFormat gl{};
    GlFormatOf(format_, &gl);
    std::lock_guard<std::mutex> hold(destination.mutex_);
    if (destination.locked_) {
        return D3DERR_INVALIDCALL;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    context_->Gl().BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    SetRowLength(GL_PACK_ROW_LENGTH, destination.pitch_, format_);
    if (destination.PacksPixels()) {
        destination.host_.assign(destination.HostBytes(), 0);
    }
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), gl.format, gl.type,
                 destination.host_.data());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (destination.PacksPixels()) {
        destination.Pack();
    }
    destination.stale_ = true;
    destination.Touch();
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlTexture9::DropGlObjects()
{
    if (framebuffer_ != 0) {
        context_->Gl().DeleteFramebuffers(1, &framebuffer_);
        framebuffer_ = 0;
    }
    if (texture_ != 0) {
        glDeleteTextures(1, &texture_);
        texture_ = 0;
    }
}

void GlTexture9::Evict()
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (pool_ == D3DPOOL_MANAGED) {
        DropGlObjects();
        stale_ = true;
    }
}

void GlTexture9::Resize(UINT width, UINT height)
{
    std::lock_guard<std::mutex> hold(mutex_);
    DropGlObjects();
    width_ = width;
    height_ = height;
    pitch_ = SurfacePitch(format_, width);
    packed_.clear();
    oneColour_ = false;
    if (HasHostPixels() && !PacksPixels()) {
        host_.assign(HostBytes(), 0);
    }
    pending_.clear();
    Touch();
}

}  // namespace platform::d3d9
