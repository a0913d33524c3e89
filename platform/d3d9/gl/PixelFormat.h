// Sizes and OpenGL upload forms of the pixel and index formats the layer offers.
#pragma once

#include "platform/d3d9/D3D9Types.h"

#include <GL/gl.h>

namespace platform::d3d9 {

struct GlPixelFormat {
    GLint internalFormat;
    GLenum format;
    GLenum type;
};

// 0 for a format the layer does not offer as pixels.
UINT BytesPerPixel(D3DFORMAT format);
// Bytes per row of a locked surface: rows start on 16-byte boundaries, so a
// caller must step by the pitch it is given, not by width x bytes per pixel.
UINT SurfacePitch(D3DFORMAT format, UINT width);
bool IsTextureFormat(D3DFORMAT format);
bool IsRenderTargetFormat(D3DFORMAT format);
// The GL form of a texture format; false for formats without one.
bool GlFormatOf(D3DFORMAT format, GlPixelFormat* gl);
// 2 or 4 bytes for the index formats, 0 for anything else.
UINT IndexSize(D3DFORMAT format);

}  // namespace platform::d3d9
