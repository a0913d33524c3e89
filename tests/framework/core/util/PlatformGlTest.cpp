#include "framework/core/util/Platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace platform_gl_test {

namespace {

class PlatformGlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError(); }
    void TearDown() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

TEST_F(PlatformGlTest, ClipboardRoundTripsUnicodeText)
{
    const std::string text = "Wort \xC3\xA4\xE2\x82\xAC \xF0\x9F\x8E\xB2";
    Qmv2::SetClipboardText(text);
    EXPECT_EQ(Qmv2::GetClipboardText(), text);
}

TEST_F(PlatformGlTest, CurrentDisplayModeIsAvailableAndAnAbsurdOneIsNot)
{
    SDL_DisplayMode mode{};
    ASSERT_EQ(0, SDL_GetDesktopDisplayMode(0, &mode));
    EXPECT_TRUE(Qmv2::Platform::IsDisplayModeAvailable(mode.w, mode.h));
    EXPECT_FALSE(Qmv2::Platform::IsDisplayModeAvailable(12345, 7));
}

}  // namespace

}  // namespace platform_gl_test
