#include "platform/win32/WinMessageBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace win_message_box_test {

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

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::size_t CharactersOf(const std::string& line)
{
    std::size_t count = 0;
    for (char c : line) {
        count += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
    }
    return count;
}

// The box shows each line on one row, however long: a long message must reach
// it already broken into lines that fit, with nothing lost or split mid-word.
TEST(WinMessageBox, LongTextsAreBrokenIntoLinesThatFit)
{
    const std::string sentence =
        "Could not save /home/ann/.local/share/quorvel/settings (Permission denied). The game goes "
        "on, but changes that cannot be saved are lost when it ends.";
    const std::string wrapped = platform::WrapMessageText(sentence, 40);
    const std::vector<std::string> lines = LinesOf(wrapped);
    ASSERT_GT(lines.size(), 3u);
    std::string rejoined;
    for (const std::string& line : lines) {
        EXPECT_LE(CharactersOf(line), 40u) << line;
        EXPECT_FALSE(line.empty() || line.front() == ' ' || line.back() == ' ') << "[" << line << "]";
        rejoined += (rejoined.empty() ? "" : " ") + line;
    }
    EXPECT_EQ(rejoined, sentence) << "every word kept, and broken only where a space was";

    // A word longer than a line is cut where the line ends, characters above
    // ASCII counted as one; breaks already in the text stay; a text that fits
    // is left alone.
    const std::string path = "/r\xC3\xA9pertoire/" + std::string(30, 'x');
    EXPECT_EQ(platform::WrapMessageText("at " + path, 20),
              "at\n/r\xC3\xA9pertoire/xxxxxxxx\n" + std::string(20, 'x') + "\nxx");
    EXPECT_EQ(platform::WrapMessageText("one two\nthree four", 9), "one two\nthree\nfour");
    EXPECT_EQ(platform::WrapMessageText("Quit the game?", 60), "Quit the game?");
}

}  // namespace

}  // namespace win_message_box_test
