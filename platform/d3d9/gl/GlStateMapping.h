// Translation of Direct3D render, texture-stage and sampler states into the
// OpenGL fixed-function settings that produce the same picture.
#pragma once

#include "platform/d3d9/D3D9Types.h"

#include <GL/gl.h>
#include <optional>

namespace platform::d3d9 {

std::optional<GLenum> GlBlendFactor(DWORD blend);
std::optional<GLenum> GlBlendEquation(DWORD blendOp);

struct GlCull {
    bool enabled;
    GLenum face;  // with glFrontFace(GL_CCW)
};
std::optional<GlCull> GlCullOf(DWORD cullMode);

std::optional<GLint> GlWrapMode(DWORD address);
GLint GlFilter(DWORD filter);

// One channel (colour or alpha) of the stage-0 combiner.
struct GlCombiner {
    GLint mode;         // GL_REPLACE, GL_MODULATE or GL_ADD
    GLint source[2];    // GL_TEXTURE, GL_PRIMARY_COLOR, GL_PREVIOUS or GL_CONSTANT
    GLint operand[2];
    GLfloat scale;
};

struct GlTextureEnv {
    bool texturing;       // false: the stage passes the vertex colour through
    bool plainModulate;   // texture x vertex colour in both channels: GL_MODULATE
    GlCombiner rgb;
    GlCombiner alpha;
};

struct StageState {
    DWORD colorOp, colorArg1, colorArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
};

// Nothing for operations or arguments the layer does not offer.
std::optional<GlTextureEnv> GlTextureEnvOf(const StageState& stage, bool hasTexture);
bool IsSupportedTextureOp(DWORD op);
bool IsSupportedTextureArg(DWORD arg);

// Column-major projection from target pixels to clip space that puts a pixel's
// centre at integer coordinates, as pretransformed vertices expect, with rows
// kept top-down in the framebuffer's memory order (the flip happens at present).
void PixelProjection(int width, int height, GLfloat out[16]);

}  // namespace platform::d3d9
