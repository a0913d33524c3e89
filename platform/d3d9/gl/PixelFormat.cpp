#include "platform/d3d9/gl/PixelFormat.h"

namespace platform::d3d9 {

UINT BytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
        return 2;
    case D3DFMT_A8:
        return 1;
    default:
        return 0;
    }
}

UINT SurfacePitch(D3DFORMAT format, UINT width)
{
    UINT row = BytesPerPixel(format) * width;
    return (row + 15u) & ~15u;
}

bool IsTextureFormat(D3DFORMAT format)
{
    return BytesPerPixel(format) != 0;
}

bool IsRenderTargetFormat(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool GlFormatOf(D3DFORMAT format, GlPixelFormat* gl)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        // Bytes in memory are B, G, R, A: the little-endian layout of 0xAARRGGBB.
        *gl = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE};
        return true;
    case D3DFMT_X8R8G8B8:
        // No alpha storage, so blending with the target's alpha reads 1 as on the real format.
        *gl = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE};
        return true;
    case D3DFMT_R5G6B5:
        *gl = {GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5};
        return true;
    case D3DFMT_A8:
        *gl = {GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE};
        return true;
    default:
        return false;
    }
}

UINT IndexSize(D3DFORMAT format)
{
    if (format == D3DFMT_INDEX16) {
        return 2;
    }
    if (format == D3DFMT_INDEX32) {
        return 4;
    }
    return 0;
}

}  // namespace platform::d3d9
