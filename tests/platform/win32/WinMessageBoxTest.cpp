#include "platform/win32/WinMessageBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

TEST(WinMessageBox, HeadlessBoxGoesToStderrWithoutBlocking)
{
    setenv("QMV_HEADLESS", "1", 1);
    testing::internal::CaptureStderr();
    auto start = std::chrono::steady_clock::now();
    int answer = MessageBoxW(nullptr, u"Graphics failed \u00e9", u"Caption", MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    auto elapsed = std::chrono::steady_clock::now() - start;
    std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDOK);
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_NE(output.find("Caption"), std::string::npos);
    EXPECT_NE(output.find("Graphics failed \xC3\xA9"), std::string::npos);
}

TEST(WinMessageBox, HeadlessBoxAnswersItsDefaultButton)
{
    setenv("QMV_HEADLESS", "1", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(IDYES, MessageBoxA(nullptr, "Quit?", "", MB_YESNO));
    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "Quit?", "", MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "Save?", "", MB_YESNOCANCEL | MB_DEFBUTTON3));
    // An ANSI text is read as Windows-1252.
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "caf\xE9", nullptr, MB_OK));
    std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("caf\xC3\xA9"), std::string::npos);
}

}  // namespace
