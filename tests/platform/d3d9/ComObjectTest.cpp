#include "platform/d3d9/IDirect3D9.h"
#include "platform/d3d9/gl/GlIndexBuffer9.h"
#include "platform/d3d9/gl/GlVertexBuffer9.h"

#include <cstring>
#include <gtest/gtest.h>

namespace platform::d3d9 {
namespace {

TEST(ComObjectTest, CountsReferencesAndAnswersOnlyItsInterfaces)
{
    IDirect3DVertexBuffer9* buffer = new GlVertexBuffer9(64, D3DUSAGE_DYNAMIC);
    EXPECT_EQ(buffer->AddRef(), 2u);
    void* object = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(buffer));
    EXPECT_EQ(buffer->QueryInterface(IID_IDirect3DVertexBuffer9, &object), S_OK);
    EXPECT_EQ(buffer->QueryInterface(IID_IDirect3DIndexBuffer9, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(buffer->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(buffer->Release(), 3u);
    EXPECT_EQ(buffer->Release(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST(ComObjectTest, IndexBufferReadsItsIndicesInTheirWidth)
{
    auto* narrow = new GlIndexBuffer9(8, 0, 2);
    void* data = nullptr;
    ASSERT_EQ(narrow->Lock(0, 0, &data, 0), D3D_OK);
    const WORD values[4] = {7, 65535, 0, 3};
    std::memcpy(data, values, sizeof values);
    ASSERT_EQ(narrow->Unlock(), D3D_OK);
    EXPECT_EQ(narrow->Capacity(), 4u);
    EXPECT_EQ(narrow->IndexAt(1), 65535u);
    EXPECT_EQ(narrow->IndexAt(3), 3u);
    narrow->Release();
    auto* wide = new GlIndexBuffer9(8, 0, 4);
    ASSERT_EQ(wide->Lock(4, 4, &data, 0), D3D_OK);
    const DWORD big = 70000;
    std::memcpy(data, &big, 4);
    ASSERT_EQ(wide->Unlock(), D3D_OK);
    EXPECT_EQ(wide->Capacity(), 2u);
    EXPECT_EQ(wide->IndexAt(1), 70000u);
    wide->Release();
}

TEST(ComObjectTest, OnlyTheCurrentSdkVersionMakesADirect3DObject)
{
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION - 1), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
}  // namespace platform::d3d9
