#include <gtest/gtest.h>

#include <string>

#include "framework/core/hardware/HardwareCheck.h"
#include "platform/d3d9/Direct3D9Library.h"
#include "platform/d3d9/TestHooks.h"
#include "platform/win32/WinLibrary.h"

namespace hardware_check_gl_test {

using Qmv2::HardwareCheck;

namespace {

class HardwareCheckGlTest : public ::testing::Test {
protected:
    void SetUp() override { platform::d3d9::RegisterDirect3D9Library(); }
    void TearDown() override { platform::d3d9::SetCapsFilter({}); }

    static bool Check(std::string& errors)
    {
        testing::internal::CaptureStderr();
        bool passed;
        {
            HardwareCheck check;
            passed = check.Run();
        }
        errors = testing::internal::GetCapturedStderr();
        return passed;
    }
};

}  // namespace

TEST_F(HardwareCheckGlTest, TheGlDeviceRendersToATexture)
{
    std::string errors;
    EXPECT_TRUE(Check(errors)) << errors;
    EXPECT_EQ(errors.find("[message box]"), std::string::npos) << errors;
    // A second check builds everything again from nothing.
    EXPECT_TRUE(Check(errors)) << errors;
}

TEST_F(HardwareCheckGlTest, ASmallTextureLimitHasNoHardwareSupport)
{
    platform::d3d9::SetCapsFilter([](D3DCAPS9& caps) { caps.MaxTextureWidth = 512; });
    std::string errors;
    EXPECT_FALSE(Check(errors));
    EXPECT_NE(errors.find("[message box] CTEXT_ERROR: CTEXT_ERROR_NO_HARDWARESUPPORT"), std::string::npos) << errors;
}

}  // namespace hardware_check_gl_test
