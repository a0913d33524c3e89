#include "framework/core/files/FileLoader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "framework/core/files/Descramble.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/TestBuffer.h"
#include "platform/win32/TempFolder.h"

namespace file_loader_test {

namespace {

using testsupport::TempFolder;
using testsupport::TestBuffer;
using testsupport::WriteText;

std::string Scrambled(std::string text)
{
    Qmv2::DescrambleBuffer(reinterpret_cast<unsigned char*>(text.data()), text.size());
    return text;
}

class FileLoaderTest : public testing::Test {
protected:
    void TearDown() override
    {
        Qmv2::FileArchive::ReleaseInstance();
        Qmv2::s_DefaultLoadFlags = 0;
    }
    TempFolder folder;
};

// The fonts describe their sheets with the word of their own flags, which
// must read back as the same flags; a flag set no word selects has no word.
TEST(ArchiveTypeWordTest, WordsAndFlagsReadBackBothWays)
{
    using Qmv2::LOAD_ARCHIVE;
    using Qmv2::LOAD_SCRAMBLED;
    for (std::uint32_t flags : {0u, LOAD_ARCHIVE, LOAD_SCRAMBLED, LOAD_ARCHIVE | LOAD_SCRAMBLED}) {
        const char* word = Qmv2::ArchiveTypeWord(flags);
        ASSERT_NE(word, nullptr) << flags;
        std::uint32_t read = 99;
        EXPECT_TRUE(Qmv2::FindArchiveTypeWord(word, read)) << word;
        EXPECT_EQ(read, flags) << word;
    }
    EXPECT_EQ(Qmv2::ArchiveTypeWord(Qmv2::LOAD_DEFAULT), nullptr);
    std::uint32_t kept = 7;
    EXPECT_FALSE(Qmv2::FindArchiveTypeWord("Zip", kept));
    EXPECT_EQ(kept, 7u);
}

TEST_F(FileLoaderTest, TypeWordsAndStoredNames)
{
    EXPECT_EQ(Qmv2::LoadFlagsFromTypeWord("file"), 0u);
    EXPECT_EQ(Qmv2::LoadFlagsFromTypeWord("zip"), 2u);
    EXPECT_EQ(Qmv2::LoadFlagsFromTypeWord("encryptfile"), 4u);
    EXPECT_EQ(Qmv2::LoadFlagsFromTypeWord("encryptzip"), 6u);
    EXPECT_EQ(Qmv2::LoadFlagsFromTypeWord("ZIP"), 0u);
    EXPECT_EQ(Qmv2::LoadFlagsFromTypeWord(""), 0u);

    Qmv2::s_DefaultLoadFlags = Qmv2::LOAD_SCRAMBLED;
    std::uint32_t flags = Qmv2::LOAD_DEFAULT;
    EXPECT_EQ(Qmv2::GetLoadFileName(flags, "players/a.plr"), "players/a.plr.!");
    EXPECT_EQ(flags, Qmv2::LOAD_SCRAMBLED);
    flags = Qmv2::LOAD_DEFAULT | Qmv2::LOAD_ARCHIVE;  // the default bit replaces the whole set
    EXPECT_EQ(Qmv2::GetLoadFileName(flags, "x"), "x.!");
    EXPECT_EQ(flags, Qmv2::LOAD_SCRAMBLED);
    flags = 0;
    EXPECT_EQ(Qmv2::GetLoadFileName(flags, "x"), "x");
    EXPECT_EQ(flags, 0u);
}

TEST_F(FileLoaderTest, ReadsWholeDiskFileWithTerminator)
{
    const std::string contents("<a>\0binary\xff</a>", 15);
    std::filesystem::create_directories(folder / "sub");
    WriteText(folder / "sub/f.xml", contents);

    TestBuffer buffer;
    ASSERT_TRUE(Qmv2::LoadFile(folder.Path() + "\\sub\\\\f.xml", buffer, 0));
    EXPECT_EQ(buffer.Text(), contents);
    EXPECT_EQ(buffer.size, contents.size());
    EXPECT_EQ(buffer.Terminator(), 0);
}

TEST_F(FileLoaderTest, MissingEmptyAndOversizedFilesFailAndEmptyTheBuffer)
{
    TestBuffer buffer;
    buffer.Allocate(3);

    EXPECT_FALSE(Qmv2::LoadFile(folder / "missing.xml", buffer, 0));
    EXPECT_EQ(buffer.size, 0u);

    WriteText(folder / "empty.xml", "");
    buffer.Allocate(3);
    EXPECT_FALSE(Qmv2::LoadFile(folder / "empty.xml", buffer, 0));
    EXPECT_EQ(buffer.size, 0u);

    // A sparse file just over the limit: refused before any allocation.
    const std::string big = folder / "big.bin";
    std::FILE* file = std::fopen(big.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(::ftruncate(::fileno(file), static_cast<off_t>(Qmv2::kMaxLoadFileSize + 1)), 0);
    std::fclose(file);
    buffer.allocations = 0;
    EXPECT_FALSE(Qmv2::LoadFile(big, buffer, 0));
    EXPECT_EQ(buffer.allocations, 0);

    // A folder is not a file.
    EXPECT_FALSE(Qmv2::LoadFile(folder.Path(), buffer, 0));
}

TEST_F(FileLoaderTest, DefaultFlagsSelectTheScrambledFile)
{
    WriteText(folder / "save.sav", "plain");
    WriteText(folder / "save.sav.!", Scrambled("the stored game"));
    Qmv2::s_DefaultLoadFlags = Qmv2::LOAD_SCRAMBLED;

    TestBuffer buffer;
    ASSERT_TRUE(Qmv2::LoadFile(folder / "save.sav", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.Text(), "the stored game");
    ASSERT_TRUE(Qmv2::LoadFile(folder / "save.sav", buffer, 0));
    EXPECT_EQ(buffer.Text(), "plain");
    ASSERT_TRUE(Qmv2::LoadFile(folder / "save.sav", buffer, Qmv2::LOAD_SCRAMBLED));
    EXPECT_EQ(buffer.Text(), "the stored game");
}

TEST_F(FileLoaderTest, ArchiveFlagNeverFallsBackToTheDisk)
{
    WriteText(folder / "on-disk.xml", "disk");
    TestBuffer buffer;
    EXPECT_FALSE(Qmv2::LoadFile(folder / "on-disk.xml", buffer, Qmv2::LOAD_ARCHIVE));

    Qmv2::FileArchive::Create(folder / "no-such.dat", Qmv2::LOAD_ARCHIVE);
    EXPECT_FALSE(Qmv2::LoadFile(folder / "on-disk.xml", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.size, 0u);
}

TEST(DescrambleTest, TableIsFixedAndTheScrambleIsItsOwnInverse)
{
    const unsigned char* table = Qmv2::GetDescrambleTable();
    ASSERT_EQ(table, Qmv2::GetDescrambleTable());
    int nonZero = 0;
    for (int i = 0; i < 256; ++i) {
        nonZero += table[i] != 0 ? 1 : 0;
    }
    EXPECT_GT(nonZero, 200);  // a table of zeros would store files in the clear

    // Zeros scramble to the table itself, repeated every 256 bytes.
    std::array<unsigned char, 600> zeros{};
    Qmv2::DescrambleBuffer(zeros.data(), zeros.size());
    for (std::size_t i = 0; i < zeros.size(); ++i) {
        ASSERT_EQ(zeros[i], table[i % 256]) << i;
    }

    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text.push_back(static_cast<char>(i * 7));
    }
    const std::string scrambled = Scrambled(text);
    EXPECT_NE(scrambled, text);
    EXPECT_EQ(Scrambled(scrambled), text);
}

TEST_F(FileLoaderTest, OpenFileAcceptsBackslashes)
{
    std::FILE* out = Qmv2::OpenFile("wt", folder.Path() + "\\written.txt");
    ASSERT_NE(out, nullptr);
    std::fputs("hello", out);
    std::fclose(out);
    EXPECT_EQ(testsupport::ReadText(folder / "written.txt"), "hello");
    EXPECT_EQ(Qmv2::OpenFile("rb", folder / "absent.txt"), nullptr);
}

}  // namespace

}  // namespace file_loader_test
