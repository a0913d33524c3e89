#include "platform/d3d9/gl/PixelFormat.h"

#include <gtest/gtest.h>

namespace platform::d3d9 {
namespace {

TEST(PixelFormatTest, BytesPerPixelOfOfferedFormatsAndNoneForOthers)
{
    EXPECT_EQ(BytesPerPixel(D3DFMT_A8R8G8B8), 4u);
    EXPECT_EQ(BytesPerPixel(D3DFMT_X8R8G8B8), 4u);
    EXPECT_EQ(BytesPerPixel(D3DFMT_R5G6B5), 2u);
    EXPECT_EQ(BytesPerPixel(D3DFMT_A8), 1u);
    EXPECT_EQ(BytesPerPixel(D3DFMT_D16), 0u);
    EXPECT_EQ(BytesPerPixel(D3DFMT_INDEX16), 0u);
    EXPECT_FALSE(IsTextureFormat(D3DFMT_UNKNOWN));
}

TEST(PixelFormatTest, PitchCoversARowAndStartsRowsOnSixteenBytes)
{
    EXPECT_EQ(SurfacePitch(D3DFMT_A8R8G8B8, 256), 1024u);
    EXPECT_EQ(SurfacePitch(D3DFMT_A8R8G8B8, 5), 32u);
    EXPECT_EQ(SurfacePitch(D3DFMT_A8, 3), 16u);
    EXPECT_EQ(SurfacePitch(D3DFMT_A8, 17), 32u);
    EXPECT_EQ(SurfacePitch(D3DFMT_R5G6B5, 8), 16u);
    for (UINT width = 1; width < 70; ++width) {
        UINT pitch = SurfacePitch(D3DFMT_A8R8G8B8, width);
        EXPECT_GE(pitch, width * 4);
        EXPECT_LT(pitch, width * 4 + 16);
        EXPECT_EQ(pitch % 16, 0u);
    }
}

TEST(PixelFormatTest, GlFormsKeepTheMemoryOrderOfPackedArgb)
{
    GlPixelFormat gl{};
    ASSERT_TRUE(GlFormatOf(D3DFMT_A8R8G8B8, &gl));
    EXPECT_EQ(gl.format, static_cast<GLenum>(GL_BGRA));
    EXPECT_EQ(gl.internalFormat, GL_RGBA8);
    ASSERT_TRUE(GlFormatOf(D3DFMT_X8R8G8B8, &gl));
    EXPECT_EQ(gl.internalFormat, GL_RGB8);  // no alpha stored
    ASSERT_TRUE(GlFormatOf(D3DFMT_A8, &gl));
    EXPECT_EQ(gl.format, static_cast<GLenum>(GL_ALPHA));
    EXPECT_FALSE(GlFormatOf(D3DFMT_D16, &gl));
    EXPECT_TRUE(IsRenderTargetFormat(D3DFMT_A8R8G8B8));
    EXPECT_FALSE(IsRenderTargetFormat(D3DFMT_A8));
    EXPECT_EQ(IndexSize(D3DFMT_INDEX16), 2u);
    EXPECT_EQ(IndexSize(D3DFMT_INDEX32), 4u);
    EXPECT_EQ(IndexSize(D3DFMT_A8R8G8B8), 0u);
}

}  // namespace
}  // namespace platform::d3d9
