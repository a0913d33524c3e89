#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/core/files/FileLoader.h"
#include "framework/core/files/TestBuffer.h"
#include "platform/win32/TempFolder.h"

namespace scramble_tool_test {

namespace {

using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

int Scramble(const std::string& input, const std::string& output)
{
    const std::string command = std::string(QMV_SCRAMBLE) + " '" + input + "' '" + output + "' 2>/dev/null";
    return std::system(command.c_str());
}

TEST(ScrambleToolTest, WritesWhatTheLoaderDescramblesAndRestoresIt)
{
    TempFolder folder;
    std::string plain = "<Node id=\"player\">";
    for (int i = 0; i < 700; ++i) {
        plain.push_back(static_cast<char>(i));
    }
    WriteText(folder / "player.plr", plain);

    ASSERT_EQ(Scramble(folder / "player.plr", folder / "stored.plr.!"), 0);
    const std::string stored = ReadText(folder / "stored.plr.!");
    EXPECT_EQ(stored.size(), plain.size());
    EXPECT_NE(stored, plain);

    testsupport::TestBuffer buffer;
    ASSERT_TRUE(Qmv2::LoadFile(folder / "stored.plr", buffer, Qmv2::LOAD_SCRAMBLED));
    EXPECT_EQ(buffer.Text(), plain);

    ASSERT_EQ(Scramble(folder / "stored.plr.!", folder / "restored.plr"), 0);
    EXPECT_EQ(ReadText(folder / "restored.plr"), plain);
}

TEST(ScrambleToolTest, FailuresKeepTheOutputAsItWas)
{
    TempFolder folder;
    WriteText(folder / "out.!", "old");
    EXPECT_NE(Scramble(folder / "missing", folder / "out.!"), 0);
    EXPECT_EQ(ReadText(folder / "out.!"), "old");
    WriteText(folder / "in", "new");
    EXPECT_NE(Scramble(folder / "in", folder / "no-such-folder/out.!"), 0);
    EXPECT_NE(std::system((std::string(QMV_SCRAMBLE) + " 2>/dev/null").c_str()), 0);
}

}  // namespace

}  // namespace scramble_tool_test
