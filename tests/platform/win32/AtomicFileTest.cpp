#include "platform/win32/AtomicFile.h"
#include "platform/win32/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::size_t EntriesIn(const std::string& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(AtomicFile, ReplacesTheWholeFile)
{
    testsupport::TempFolder folder;
    std::string file = folder / "settings.txt";
    testsupport::WriteText(file, "old contents that are longer");
    ASSERT_TRUE(platform::WriteFileAtomically(file, std::string("new")));
    EXPECT_EQ(testsupport::ReadText(file), "new");
    EXPECT_EQ(EntriesIn(folder.Path()), 1u);
}

TEST(AtomicFile, FailureMidwayLeavesTheOldFileAndNoLeftovers)
{
    testsupport::TempFolder folder;
    std::string file = folder / "players.plrs";
    testsupport::WriteText(file, "the old list");
    bool ok = platform::WriteFileAtomically(file, [](std::FILE* stream) {
        std::fputs("half of the new li", stream);
        return false;  // the writer fails partway
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(testsupport::ReadText(file), "the old list");
    EXPECT_EQ(EntriesIn(folder.Path()), 1u);
}

TEST(AtomicFile, MissingFolderFailsWithoutCreatingAnything)
{
    testsupport::TempFolder folder;
    EXPECT_FALSE(platform::WriteFileAtomically(folder / "absent/file.txt", std::string("x")));
    EXPECT_FALSE(platform::WriteFileAtomically("", std::string("x")));
    EXPECT_EQ(EntriesIn(folder.Path()), 0u);
}

}  // namespace
