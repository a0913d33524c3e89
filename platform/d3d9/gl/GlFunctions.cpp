#include "platform/d3d9/gl/GlFunctions.h"

#include <SDL.h>

namespace platform::d3d9 {
namespace {

template <typename F>
void Find(F& slot, const char* core, const char* ext)
{
    slot = reinterpret_cast<F>(SDL_GL_GetProcAddress(core));
    if (slot == nullptr && ext != nullptr) {
        slot = reinterpret_cast<F>(SDL_GL_GetProcAddress(ext));
    }
}

}  // namespace

bool GlFunctions::Load()
{
    Find(GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    Find(DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    Find(BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    Find(FramebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
    Find(CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
    Find(BlitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");
    Find(BlendFuncSeparate, "glBlendFuncSeparate", "glBlendFuncSeparateEXT");
    Find(BlendEquationSeparate, "glBlendEquationSeparate", "glBlendEquationSeparateEXT");
    Find(BlendEquation, "glBlendEquation", "glBlendEquationEXT");
    // The driver hands out an entry point for any name; only a listed extension is there.
    ClipControl = nullptr;
    if (SDL_GL_ExtensionSupported("GL_ARB_clip_control") == SDL_TRUE) {
        Find(ClipControl, "glClipControl", nullptr);
    }
    textureSwizzle = SDL_GL_ExtensionSupported("GL_ARB_texture_swizzle") == SDL_TRUE ||
                     SDL_GL_ExtensionSupported("GL_EXT_texture_swizzle") == SDL_TRUE;
    return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && FramebufferTexture2D &&
           CheckFramebufferStatus && BlitFramebuffer && BlendEquation;
}

}  // namespace platform::d3d9
