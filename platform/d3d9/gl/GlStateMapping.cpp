#include "platform/d3d9/gl/GlStateMapping.h"

#include <GL/glext.h>

namespace platform::d3d9 {

std::optional<GLenum> GlBlendFactor(DWORD blend)
{
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return std::nullopt;
    }
}

std::optional<GLenum> GlBlendEquation(DWORD blendOp)
{
    switch (blendOp) {
    case D3DBLENDOP_ADD:
        return GL_FUNC_ADD;
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return std::nullopt;
    }
}

std::optional<GlCull> GlCullOf(DWORD cullMode)
{
    // Rows are not flipped on the way to the framebuffer, so a triangle that is
    // clockwise on screen is counter-clockwise (front-facing) for GL.
    switch (cullMode) {
    case D3DCULL_NONE:
        return GlCull{false, GL_BACK};
    case D3DCULL_CCW:
        return GlCull{true, GL_BACK};
    case D3DCULL_CW:
        return GlCull{true, GL_FRONT};
    default:
        return std::nullopt;
    }
}

std::optional<GLint> GlWrapMode(DWORD address)
{
    switch (address) {
    case D3DTADDRESS_WRAP:
        return GL_REPEAT;
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return std::nullopt;
    }
}

GLint GlFilter(DWORD filter)
{
    return filter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
}

bool IsSupportedTextureOp(DWORD op)
{
    return op >= D3DTOP_DISABLE && op <= D3DTOP_ADD;
}

bool IsSupportedTextureArg(DWORD arg)
{
    DWORD modifiers = arg & ~D3DTA_SELECTMASK;
    DWORD source = arg & D3DTA_SELECTMASK;
    return (modifiers & ~(D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) == 0 && source <= D3DTA_TFACTOR;
}

namespace {

GLint SourceOf(DWORD arg)
{
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_TEXTURE:
        return GL_TEXTURE;
    case D3DTA_CURRENT:
        return GL_PREVIOUS;
    case D3DTA_TFACTOR:
        return GL_CONSTANT;
    default:
        return GL_PRIMARY_COLOR;
    }
}

GLint OperandOf(DWORD arg, bool alphaChannel)
{
    bool complement = (arg & D3DTA_COMPLEMENT) != 0;
    if (alphaChannel || (arg & D3DTA_ALPHAREPLICATE) != 0) {
        return complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    }
    return complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

GlCombiner CombinerOf(DWORD op, DWORD arg1, DWORD arg2, bool alphaChannel)
{
    GlCombiner c{GL_MODULATE, {SourceOf(arg1), SourceOf(arg2)}, {OperandOf(arg1, alphaChannel), OperandOf(arg2, alphaChannel)}, 1.0f};
    switch (op) {
    case D3DTOP_DISABLE:
        // Only reached for alpha: the stage keeps the incoming alpha.
        c.mode = GL_REPLACE;
        c.source[0] = GL_PREVIOUS;
        c.operand[0] = GL_SRC_ALPHA;
        break;
    case D3DTOP_SELECTARG1:
        c.mode = GL_REPLACE;
        break;
    case D3DTOP_SELECTARG2:
        c.mode = GL_REPLACE;
        c.source[0] = c.source[1];
        c.operand[0] = c.operand[1];
        break;
    case D3DTOP_MODULATE2X:
        c.scale = 2.0f;
        break;
    case D3DTOP_MODULATE4X:
        c.scale = 4.0f;
        break;
    case D3DTOP_ADD:
        c.mode = GL_ADD;
        break;
    default:
        break;
    }
    return c;
}

bool IsTextureTimesVertex(DWORD op, DWORD arg1, DWORD arg2)
{
    DWORD vertex = arg2 == D3DTA_DIFFUSE || arg2 == D3DTA_CURRENT;
    return op == D3DTOP_MODULATE && arg1 == D3DTA_TEXTURE && vertex;
}

}  // namespace

std::optional<GlTextureEnv> GlTextureEnvOf(const StageState& s, bool hasTexture)
{
    if (!IsSupportedTextureOp(s.colorOp) || !IsSupportedTextureOp(s.alphaOp) ||
        !IsSupportedTextureArg(s.colorArg1) || !IsSupportedTextureArg(s.colorArg2) ||
        !IsSupportedTextureArg(s.alphaArg1) || !IsSupportedTextureArg(s.alphaArg2)) {
        return std::nullopt;
    }
    GlTextureEnv env{};
    // A disabled stage, or one without a texture, shows the vertex colour.
    env.texturing = hasTexture && s.colorOp != D3DTOP_DISABLE;
    if (!env.texturing) {
        return env;
    }
    env.plainModulate = IsTextureTimesVertex(s.colorOp, s.colorArg1, s.colorArg2) &&
                        IsTextureTimesVertex(s.alphaOp, s.alphaArg1, s.alphaArg2);
    env.rgb = CombinerOf(s.colorOp, s.colorArg1, s.colorArg2, false);
    env.alpha = CombinerOf(s.alphaOp, s.alphaArg1, s.alphaArg2, true);
    return env;
}

void PixelProjection(int width, int height, GLfloat out[16])
{
    for (int i = 0; i < 16; ++i) {
        out[i] = 0.0f;
    }
    float w = static_cast<float>(width > 0 ? width : 1);
    float h = static_cast<float>(height > 0 ? height : 1);
    // Pixel x covers [x - 0.5, x + 0.5] in these coordinates: shift by half a pixel.
    out[0] = 2.0f / w;
    out[5] = 2.0f / h;
    out[10] = 0.0f;  // no depth buffer: every vertex at depth 0
    out[12] = 1.0f / w - 1.0f;
    out[13] = 1.0f / h - 1.0f;
    out[15] = 1.0f;
}

}  // namespace platform::d3d9
