#include "platform/d3d9/Direct3D9Library.h"
#include "platform/d3d9/IDirect3D9.h"
#include "platform/win32/WinLibrary.h"

#include <gtest/gtest.h>

namespace platform::d3d9 {
namespace {

TEST(Direct3D9LibraryTest, LoadedByNameTheEntryPointMakesTheDirect3DObject)
{
    RegisterDirect3D9Library();
    HMODULE module = LoadLibraryA("D3D9.DLL");
    ASSERT_NE(module, nullptr);
    using Create = IDirect3D9* (*)(UINT);
    auto create = reinterpret_cast<Create>(GetProcAddress(module, "Direct3DCreate9"));
    ASSERT_NE(create, nullptr);
    IDirect3D9* d3d = create(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);
    EXPECT_EQ(GetProcAddress(module, "Direct3DCreate9Ex"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
}  // namespace platform::d3d9
