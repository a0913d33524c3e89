// The OpenGL entry points beyond GL 1.1 that the layer calls, looked up in the
// current context (core names first, then the EXT ones).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

namespace platform::d3d9 {

struct GlFunctions {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
    PFNGLBLENDFUNCSEPARATEPROC BlendFuncSeparate = nullptr;
    PFNGLBLENDEQUATIONSEPARATEPROC BlendEquationSeparate = nullptr;
    PFNGLBLENDEQUATIONPROC BlendEquation = nullptr;
    PFNGLCLIPCONTROLPROC ClipControl = nullptr;  // null where the driver lacks it
    bool textureSwizzle = false;  // GL_TEXTURE_SWIZZLE_*: a texture's channels can be read as others, 0 or 1

    // Looks everything up; false when framebuffer objects or blending are missing.
    bool Load();
    bool HasSeparateBlend() const { return BlendFuncSeparate != nullptr && BlendEquationSeparate != nullptr; }
};

}  // namespace platform::d3d9
