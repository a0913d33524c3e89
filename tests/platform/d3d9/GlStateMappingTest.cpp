#include "platform/d3d9/gl/GlStateMapping.h"

#include <GL/glext.h>
#include <gtest/gtest.h>
#include <set>

namespace platform::d3d9 {
namespace {

TEST(GlStateMappingTest, BlendFactorsOfTheRendererModes)
{
    EXPECT_EQ(GlBlendFactor(D3DBLEND_SRCALPHA), GLenum{GL_SRC_ALPHA});
    EXPECT_EQ(GlBlendFactor(D3DBLEND_INVSRCALPHA), GLenum{GL_ONE_MINUS_SRC_ALPHA});
    EXPECT_EQ(GlBlendFactor(D3DBLEND_ONE), GLenum{GL_ONE});
    EXPECT_EQ(GlBlendFactor(D3DBLEND_ZERO), GLenum{GL_ZERO});
    EXPECT_EQ(GlBlendFactor(D3DBLEND_DESTCOLOR), GLenum{GL_DST_COLOR});
    EXPECT_EQ(GlBlendEquation(D3DBLENDOP_MAX), GLenum{GL_MAX});
    EXPECT_EQ(GlBlendEquation(D3DBLENDOP_ADD), GLenum{GL_FUNC_ADD});
    EXPECT_FALSE(GlBlendFactor(0));
    EXPECT_FALSE(GlBlendFactor(12));
    EXPECT_FALSE(GlBlendEquation(6));
    // Every factor has its own GL meaning.
    std::set<GLenum> seen;
    for (DWORD b = D3DBLEND_ZERO; b <= D3DBLEND_SRCALPHASAT; ++b) {
        ASSERT_TRUE(GlBlendFactor(b)) << b;
        EXPECT_TRUE(seen.insert(*GlBlendFactor(b)).second) << b;
    }
}

TEST(GlStateMappingTest, CullModesAndSamplerModes)
{
    EXPECT_FALSE(GlCullOf(D3DCULL_NONE)->enabled);
    EXPECT_EQ(GlCullOf(D3DCULL_CCW)->face, GLenum{GL_BACK});
    EXPECT_EQ(GlCullOf(D3DCULL_CW)->face, GLenum{GL_FRONT});
    EXPECT_FALSE(GlCullOf(0));
    EXPECT_EQ(GlWrapMode(D3DTADDRESS_CLAMP), GLint{GL_CLAMP_TO_EDGE});
    EXPECT_EQ(GlWrapMode(D3DTADDRESS_WRAP), GLint{GL_REPEAT});
    EXPECT_FALSE(GlWrapMode(9));
    EXPECT_EQ(GlFilter(D3DTEXF_LINEAR), GL_LINEAR);
    EXPECT_EQ(GlFilter(D3DTEXF_POINT), GL_NEAREST);
}

// The three stage set-ups the renderer switches between.
TEST(GlStateMappingTest, TexturedStageIsPlainModulate)
{
    StageState textured{D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE};
    std::optional<GlTextureEnv> env = GlTextureEnvOf(textured, true);
    ASSERT_TRUE(env);
    EXPECT_TRUE(env->texturing);
    EXPECT_TRUE(env->plainModulate);
}

TEST(GlStateMappingTest, AlphaOnlyStageTakesVertexColourAndModulatedAlpha)
{
    StageState alphaOnly{D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE};
    std::optional<GlTextureEnv> env = GlTextureEnvOf(alphaOnly, true);
    ASSERT_TRUE(env);
    EXPECT_TRUE(env->texturing);
    EXPECT_FALSE(env->plainModulate);
    EXPECT_EQ(env->rgb.mode, GL_REPLACE);
    EXPECT_EQ(env->rgb.source[0], GL_PRIMARY_COLOR);
    EXPECT_EQ(env->alpha.mode, GL_MODULATE);
    EXPECT_EQ(env->alpha.source[0], GL_TEXTURE);
    EXPECT_EQ(env->alpha.source[1], GL_PRIMARY_COLOR);
    EXPECT_EQ(env->alpha.operand[0], GL_SRC_ALPHA);
}

TEST(GlStateMappingTest, UntexturedOrDisabledStagePassesTheVertexColour)
{
    StageState untextured{D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE};
    EXPECT_FALSE(GlTextureEnvOf(untextured, false)->texturing);
    StageState disabled{D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT};
    EXPECT_FALSE(GlTextureEnvOf(disabled, true)->texturing);
}

TEST(GlStateMappingTest, ArgumentModifiersAndUnknownOperations)
{
    StageState s{D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR | D3DTA_COMPLEMENT, D3DTOP_MODULATE2X, D3DTA_TEXTURE,
                 D3DTA_CURRENT | D3DTA_COMPLEMENT};
    std::optional<GlTextureEnv> env = GlTextureEnvOf(s, true);
    ASSERT_TRUE(env);
    EXPECT_EQ(env->rgb.mode, GL_REPLACE);
    EXPECT_EQ(env->rgb.source[0], GL_CONSTANT);
    EXPECT_EQ(env->rgb.operand[0], GL_ONE_MINUS_SRC_COLOR);
    EXPECT_EQ(env->alpha.scale, 2.0f);
    EXPECT_EQ(env->alpha.operand[1], GL_ONE_MINUS_SRC_ALPHA);
    s.colorOp = 13;  // an operation this layer does not offer
    EXPECT_FALSE(GlTextureEnvOf(s, true));
    EXPECT_FALSE(IsSupportedTextureArg(D3DTA_TEXTURE | 0x40u));
    EXPECT_FALSE(IsSupportedTextureArg(5));
}

// Applies a column-major matrix to (x, y, 0, 1) and answers clip-space x and y.
void Project(const GLfloat m[16], float x, float y, float* cx, float* cy)
{
    *cx = m[0] * x + m[4] * y + m[12];
    *cy = m[1] * x + m[5] * y + m[13];
}

TEST(GlStateMappingTest, PixelCentresLandOnIntegerCoordinates)
{
    GLfloat m[16];
    PixelProjection(800, 600, m);
    float cx = 0;
    float cy = 0;
    // The centre of pixel (0, 0) is at (0, 0); in clip space it is half a pixel in.
    Project(m, 0.0f, 0.0f, &cx, &cy);
    EXPECT_FLOAT_EQ(cx, -1.0f + 1.0f / 800.0f);
    EXPECT_FLOAT_EQ(cy, -1.0f + 1.0f / 600.0f);
    // The top-left corner of the target, (-0.5, -0.5), is the clip-space corner; rows are not flipped.
    Project(m, -0.5f, -0.5f, &cx, &cy);
    EXPECT_FLOAT_EQ(cx, -1.0f);
    EXPECT_FLOAT_EQ(cy, -1.0f);
    Project(m, 799.5f, 599.5f, &cx, &cy);
    EXPECT_FLOAT_EQ(cx, 1.0f);
    EXPECT_FLOAT_EQ(cy, 1.0f);
    EXPECT_EQ(m[10], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
}

}  // namespace
}  // namespace platform::d3d9
