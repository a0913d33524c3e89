#include "framework/core/util/Platform.h"
#include "platform/win32/WinShell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace platform_test {

namespace {

TEST(PlatformTest, TextConversionsRoundTrip)
{
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x8E\xB2";
    std::u16string wide = Qmv2::Utf8ToWide(text);
    EXPECT_EQ(wide.size(), 10u);
    EXPECT_EQ(Qmv2::Platform::ToNarrow(wide), text);
    EXPECT_EQ(Qmv2::Platform::AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Qmv2::Utf8ToWide(""), u"");
    EXPECT_EQ(Qmv2::Platform::ToNarrow(u""), "");
    EXPECT_EQ(Qmv2::Platform::GetPlatformName(), "WIN");
}

TEST(PlatformTest, ShowMessageHeadlessWritesBothTextsAndAnswersOk)
{
    setenv("QMV_HEADLESS", "1", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Qmv2::Platform::ShowMessage("Direct3D \xC3\xA9rror", ""), 0);
    std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("Direct3D \xC3\xA9rror"), std::string::npos) << output;
}

TEST(PlatformTest, DebugOutputAndLog)
{
    testing::internal::CaptureStderr();
    Qmv2::Platform::DebugOutput("text", "prefix");
    Qmv2::Platform::DebugOutput("alone", "");
    Qmv2::Platform::Log("%s=%d|", "n", 42);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "prefix\n\ttextalonen=42|");

    testing::internal::CaptureStderr();
    Qmv2::Platform::Log("%s", std::string(5000, 'x').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr().size(), 1023u);
}

TEST(PlatformTest, DateTimeStringIsUtcDateAndTime)
{
    std::string text = Qmv2::GetDateTimeString();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}-\d{2}-\d{2})"))) << text;
}

TEST(PlatformTest, OpenUrlHandsWebAddressesToTheBrowser)
{
    std::vector<std::string> opened;
    platform::SetUrlOpener([&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    Qmv2::OpenURL("https://example.org/define/word");
    Qmv2::OpenURL("rm -rf /");
    platform::SetUrlOpener({});
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/define/word"});
}

TEST(PlatformTest, ClipboardAndDisplayNeedTheVideoSubsystem)
{
    // Unit tests run without SDL video: the clipboard cannot be opened, which
    // reads as empty and writes nothing, never as a crash.
    EXPECT_EQ(Qmv2::GetClipboardText(), "");
    Qmv2::SetClipboardText("ignored");
    EXPECT_EQ(Qmv2::GetClipboardText(), "");
}

}  // namespace

}  // namespace platform_test
