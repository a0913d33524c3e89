#include "platform/win32/AtomicFile.h"
#include "platform/win32/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

namespace atomic_file_test {

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

TEST(AtomicFile, OnlyOurOwnStaleTemporariesAreSweptAway)
{
    namespace fs = std::filesystem;
    testsupport::TempFolder folder;
    fs::create_directories(folder / "players/saves");
    const std::vector<std::string> stale = {folder / "current-user.reg.tmp-a1B2c3",
                                            folder / "players/saves/round.sav.!.tmp-XyZ123"};
    const std::vector<std::string> kept = {folder / "current-user.reg", folder / "fresh.plrs.tmp-Q1w2E3",
                                           folder / "notes.tmp-1", folder / "players/list.tmp-abcdefg"};
    for (const std::string& file : stale) {
        testsupport::WriteText(file, "cut short");
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    }
    for (const std::string& file : kept) {
        testsupport::WriteText(file, "x");
        if (file.find("fresh") == std::string::npos) {
            fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(5));
        }
    }
    platform::RemoveStaleTemporaries(folder.Path());
    for (const std::string& file : stale) {
        EXPECT_FALSE(fs::exists(file)) << file;
    }
    for (const std::string& file : kept) {
        EXPECT_TRUE(fs::exists(file)) << "not a leftover of ours, or a write under way: " << file;
    }
}

}  // namespace

}  // namespace atomic_file_test
