#include "platform/d3d9/gl/VertexLayout.h"

#include <gtest/gtest.h>

namespace platform::d3d9 {
namespace {

TEST(VertexLayoutTest, FvfOfTheDrawnVertexGivesTheTwentyEightByteLayout)
{
    std::optional<VertexLayout> layout = LayoutFromFvf(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->pretransformed);
    EXPECT_EQ(layout->positionOffset, 0u);
    EXPECT_EQ(layout->colorOffset, 16);
    EXPECT_EQ(layout->texCoordOffset, 20);
    EXPECT_EQ(layout->size, 28u);
}

TEST(VertexLayoutTest, FvfWithoutColourOrTexturesAndWithSpecular)
{
    std::optional<VertexLayout> bare = LayoutFromFvf(D3DFVF_XYZRHW);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->colorOffset, -1);
    EXPECT_EQ(bare->texCoordOffset, -1);
    EXPECT_EQ(bare->size, 16u);
    std::optional<VertexLayout> specular = LayoutFromFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1);
    ASSERT_TRUE(specular);
    EXPECT_FALSE(specular->pretransformed);
    EXPECT_EQ(specular->colorOffset, 12);
    EXPECT_EQ(specular->texCoordOffset, 20);
    EXPECT_EQ(specular->size, 28u);
    EXPECT_FALSE(LayoutFromFvf(D3DFVF_DIFFUSE));           // no position
    EXPECT_FALSE(LayoutFromFvf(D3DFVF_XYZRHW | 0x10u));    // normals
    EXPECT_FALSE(LayoutFromFvf(D3DFVF_XYZRHW | 0x10000u)); // three-component texture coordinates
}

TEST(VertexLayoutTest, DeclarationElementsInAnyOrder)
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 8, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {0, 4, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    std::optional<VertexLayout> layout = LayoutFromElements(elements);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->pretransformed);
    EXPECT_EQ(layout->positionOffset, 16u);
    EXPECT_EQ(layout->colorOffset, 4);
    EXPECT_EQ(layout->texCoordOffset, 8);
    EXPECT_EQ(layout->size, 32u);
}

TEST(VertexLayoutTest, DeclarationsTheDrawCannotReadAreRefused)
{
    const D3DVERTEXELEMENT9 noPosition[] = {
        {0, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0}, D3DDECL_END()};
    EXPECT_FALSE(LayoutFromElements(noPosition));
    const D3DVERTEXELEMENT9 secondStream[] = {
        {1, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0}, D3DDECL_END()};
    EXPECT_FALSE(LayoutFromElements(secondStream));
    const D3DVERTEXELEMENT9 floatColour[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0}, D3DDECL_END()};
    EXPECT_FALSE(LayoutFromElements(floatColour));
    EXPECT_FALSE(LayoutFromElements(nullptr));
}

}  // namespace
}  // namespace platform::d3d9
