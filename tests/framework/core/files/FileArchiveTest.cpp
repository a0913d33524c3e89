#include "framework/core/files/FileArchive.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "framework/core/files/Descramble.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/files/TestBuffer.h"
#include "platform/win32/TempFolder.h"

namespace file_archive_test {

namespace {

using Qmv2::FileArchive;
using testsupport::TempFolder;
using testsupport::TestBuffer;
using testsupport::WriteText;

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

class FileArchiveTest : public testing::Test {
protected:
    void TearDown() override
    {
        FileArchive::ReleaseInstance();
        Qmv2::s_DefaultLoadFlags = 0;
    }

    // A file in the temporary folder holding `contents`, for an archive entry.
    std::string Source(const std::string& contents)
    {
        std::string path = folder / ("source" + std::to_string(m_Sources++));
        WriteText(path, contents);
        return path;
    }

    // Runs the archive maker with the arguments (already quoted where needed).
    std::string MakeArchive(const std::string& name, const std::string& arguments)
    {
        const std::string out = folder / name;
        const std::string command =
            "/usr/bin/python3 " + Quote(QMV_SOURCE_DIR "/tests/framework/core/files/data/make_archive.py") + " " + Quote(out) + " " + arguments;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return out;
    }

    std::string Entry(const char* kind, const std::string& name, const std::string& contents)
    {
        return std::string(" --") + kind + " " + Quote(name) + " " + Quote(Source(contents));
    }

    TempFolder folder;

private:
    int m_Sources = 0;
};

std::string Repeated(const std::string& unit, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit + std::to_string(i);
    }
    return text;
}

TEST_F(FileArchiveTest, MixedCaseNamesStoredDeflatedAndEmptyEntries)
{
    const std::string logo = Repeated("logo pixels ", 500);
    const std::string path = MakeArchive("data.dat", Entry("deflated", "Images/Logo.PNG", logo)
                                                         + Entry("stored", "Properties/App.xml", "<Node/>")
                                                         + Entry("stored", "empty.txt", ""));
    FileArchive* archive = FileArchive::Create(path, Qmv2::LOAD_ARCHIVE);
    ASSERT_EQ(archive, FileArchive::GetInstance());
    EXPECT_FALSE(archive->IsOpen());  // nothing is opened before the first look-up

    ASSERT_TRUE(archive->LocateFile("images\\logo.png"));
    EXPECT_TRUE(archive->IsOpen());
    EXPECT_EQ(archive->GetCurrentFileName(), "Images/Logo.PNG");
    EXPECT_EQ(archive->GetFileInfoRecord().uncompressedSize, logo.size());
    EXPECT_EQ(archive->GetFileInfoRecord().compressionMethod, 8u);
    EXPECT_LT(archive->GetFileInfoRecord().compressedSize, logo.size());

    TestBuffer buffer;
    ASSERT_TRUE(Qmv2::LoadFile("IMAGES/LOGO.png", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.Text(), logo);
    EXPECT_EQ(buffer.Terminator(), 0);
    ASSERT_TRUE(Qmv2::LoadFile("./properties//APP.XML", buffer, Qmv2::LOAD_ARCHIVE));
    EXPECT_EQ(buffer.Text(), "<Node/>");
    EXPECT_EQ(archive->GetFileInfoRecord().compressionMethod, 0u);
    EXPECT_FALSE(archive->IsFileOpen());

    // An empty entry loads as an empty buffer.
    ASSERT_TRUE(archive->LocateFile("Empty.TXT"));
    ASSERT_TRUE(archive->OpenCurrentFile());
    buffer.Allocate(4);
    EXPECT_EQ(archive->ReadAll(buffer), 0);
    EXPECT_EQ(buffer.size, 0u);
    EXPECT_TRUE(archive->CloseCurrentFile());
    EXPECT_TRUE(Qmv2::LoadFile("empty.txt", buffer, Qmv2::LOAD_ARCHIVE));
    EXPECT_EQ(buffer.size, 0u);

    // A missing entry fails and leaves the current entry as it was.
    ASSERT_TRUE(archive->LocateFile("properties/app.xml"));
    EXPECT_FALSE(archive->LocateFile("properties/missing.xml"));
    EXPECT_EQ(archive->GetCurrentFileName(), "Properties/App.xml");
    EXPECT_FALSE(Qmv2::LoadFile("properties/missing.xml", buffer, Qmv2::LOAD_ARCHIVE));

    std::vector<std::string> names;
    for (bool more = archive->GoToFirstFile(); more; more = archive->GoToNextFile()) {
        names.push_back(archive->GetCurrentFileName());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Images/Logo.PNG", "Properties/App.xml", "empty.txt"}));
}

TEST_F(FileArchiveTest, NamesEqualButForCaseFindTheFirstInTheDirectory)
{
    const std::string path = MakeArchive("twins.dat", Entry("stored", "Twin.txt", "first")
                                                          + Entry("stored", "filler.txt", "filler")
                                                          + Entry("stored", "TWIN.TXT", "second"));
    FileArchive archive(path);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(archive.LocateFile("twin.txt"));
        EXPECT_EQ(archive.GetCurrentFileName(), "Twin.txt");
        ASSERT_TRUE(archive.LocateFile("Filler.TXT"));
        EXPECT_EQ(archive.GetCurrentFileName(), "filler.txt");
        ASSERT_TRUE(archive.OpenCurrentFile());
        TestBuffer buffer;
        ASSERT_EQ(archive.ReadAll(buffer), 6);
        EXPECT_EQ(buffer.Text(), "filler");
        EXPECT_TRUE(archive.CloseCurrentFile());
        archive.Close();  // the names are found again after a reopen
    }
}

TEST_F(FileArchiveTest, ByteReadsAndReadsWithoutAnOpenEntry)
{
    const std::string path = MakeArchive("a.dat", Entry("deflated", "abc.txt", "abc"));
    FileArchive archive(path);
    EXPECT_LT(archive.Read(nullptr, 1), 0);
    ASSERT_TRUE(archive.OpenNamed("ABC.txt"));
    EXPECT_EQ(archive.ReadByte(), 'a');
    EXPECT_EQ(archive.ReadByte(), 'b');
    EXPECT_FALSE(archive.IsEof());
    EXPECT_EQ(archive.ReadByte(), 'c');
    EXPECT_TRUE(archive.IsEof());
    EXPECT_EQ(archive.ReadByte(), 0);
    EXPECT_TRUE(archive.CloseCurrentFile());
    EXPECT_TRUE(archive.IsOpen());
}

TEST_F(FileArchiveTest, ChecksumMismatchFailsTheLoadAndClosesTheArchive)
{
    const std::string path = MakeArchive("bad.dat", Entry("stored", "bad.txt", "broken contents")
                                                        + Entry("stored", "good.txt", "fine")
                                                        + " --flip-byte bad.txt");
    FileArchive::Create(path, Qmv2::LOAD_ARCHIVE);
    TestBuffer buffer;
    EXPECT_FALSE(Qmv2::LoadFile("bad.txt", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.size, 0u);
    EXPECT_FALSE(FileArchive::GetInstance()->IsOpen());
    // The next look-up opens the archive again.
    ASSERT_TRUE(Qmv2::LoadFile("good.txt", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.Text(), "fine");
}

TEST_F(FileArchiveTest, ClaimedSizesAreNotTrusted)
{
    const std::string path = MakeArchive(
        "liar.dat", Entry("stored", "huge.bin", "tiny") + Entry("deflated", "long.bin", "ten bytes!")
                        + Entry("stored", "short.bin", "ten bytes!") + " --claim huge.bin 2147483632"
                        + " --claim long.bin 100000 --claim short.bin 5");
    FileArchive::Create(path, Qmv2::LOAD_ARCHIVE);
    TestBuffer buffer;
    EXPECT_FALSE(Qmv2::LoadFile("huge.bin", buffer, Qmv2::LOAD_ARCHIVE));
    EXPECT_EQ(buffer.allocations, 0);  // refused before allocating 2 GiB
    EXPECT_FALSE(Qmv2::LoadFile("long.bin", buffer, Qmv2::LOAD_ARCHIVE));  // short read
    EXPECT_EQ(buffer.size, 0u);
    EXPECT_FALSE(Qmv2::LoadFile("short.bin", buffer, Qmv2::LOAD_ARCHIVE));  // checksum of 5 bytes
    EXPECT_EQ(buffer.size, 0u);
}

TEST_F(FileArchiveTest, TruncatedOrMissingArchiveIsNotReopenedUntilClosed)
{
    const std::string good = MakeArchive("good.dat", Entry("deflated", "a.txt", Repeated("a", 300)));
    const auto size = std::filesystem::file_size(good);
    const std::string cut = MakeArchive("cut.dat", Entry("deflated", "a.txt", Repeated("a", 300))
                                                       + " --truncate " + std::to_string(size / 2));
    FileArchive archive(cut);
    EXPECT_FALSE(archive.LocateFile("a.txt"));
    EXPECT_TRUE(archive.IsOpen());

    // Repair the file: the archive keeps its failed open until it is closed.
    std::filesystem::copy_file(good, cut, std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(archive.LocateFile("a.txt"));
    archive.Close();
    EXPECT_TRUE(archive.LocateFile("a.txt"));

    // A failed entry open closes the archive (and leaves no entry open).
    FileArchive unreadable(folder / "missing.dat");
    EXPECT_FALSE(unreadable.OpenNamed("a.txt"));
    EXPECT_FALSE(unreadable.IsOpen());
    EXPECT_FALSE(unreadable.IsFileOpen());

    FileArchive missing(folder / "missing.dat");
    EXPECT_FALSE(missing.LocateFile("a.txt"));
    EXPECT_FALSE(missing.GoToFirstFile());
    missing.SetPath(good);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_TRUE(missing.LocateFile("a.txt"));
    EXPECT_EQ(missing.GetPath(), good);
}

TEST_F(FileArchiveTest, LongEntryNamesAreTruncatedAndTerminated)
{
    const std::string longName = std::string(300, 'n');
    const std::string path =
        MakeArchive("long.dat", Entry("stored", longName, "x") + Entry("stored", "after.txt", "after"));
    FileArchive archive(path);
    EXPECT_FALSE(archive.LocateFile(longName));
    ASSERT_TRUE(archive.GoToFirstFile());
    EXPECT_EQ(archive.GetCurrentFileName(), std::string(255, 'n'));
    ASSERT_TRUE(archive.GoToNextFile());
    EXPECT_EQ(archive.GetCurrentFileName(), "after.txt");
    EXPECT_FALSE(archive.GoToNextFile());
}

TEST_F(FileArchiveTest, ScrambledEntriesUnderEncryptZip)
{
    std::string stored = "<Node id=\"scrambled\"/>";
    Qmv2::DescrambleBuffer(reinterpret_cast<unsigned char*>(stored.data()), stored.size());
    const std::string path = MakeArchive("s.dat", Entry("deflated", "props/a.xml.!", stored));
    FileArchive::CreateFromCommand(path, "encryptzip");
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 6u);
    TestBuffer buffer;
    ASSERT_TRUE(Qmv2::LoadFile("Props\\A.xml", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.Text(), "<Node id=\"scrambled\"/>");
}

TEST_F(FileArchiveTest, StartUpCommandPicksDataDatAndSetsTheDefaultFlags)
{
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());

    FileArchive::CreateFromCommand("", "encryptfile");
    EXPECT_EQ(FileArchive::GetInstance()->GetPath(), "");
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 4u);

    MakeArchive("data.dat", Entry("stored", "x.txt", "x"));
    FileArchive::CreateFromCommand("", "file");
    EXPECT_EQ(FileArchive::GetInstance()->GetPath(), "data.dat");
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 2u);
    FileArchive::CreateFromCommand("", "encryptfile");
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 6u);
    FileArchive::CreateFromCommand("other.dat", "zip");
    EXPECT_EQ(FileArchive::GetInstance()->GetPath(), "other.dat");
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 2u);

    std::filesystem::current_path(previous);
}

TEST_F(FileArchiveTest, ReleasingTheSingletonResetsTheDefaultFlags)
{
    FileArchive::Create(folder / "a.dat", 2);
    // Replacing the archive destroys the old one; the new one keeps its flags.
    FileArchive::Create(folder / "b.dat", 6);
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 6u);
    {
        // A private archive going away leaves the registered one's flags.
        FileArchive* other = new FileArchive(folder / "c.dat");
        other->AddRef();
        other->Release();
    }
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 6u);
    FileArchive::ReleaseInstance();
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 0u);
}

TEST_F(FileArchiveTest, ConcurrentLoadsDoNotInterleave)
{
    const std::string first = Repeated("first entry ", 2000);
    const std::string second = Repeated("second entry ", 2000);
    const std::string path =
        MakeArchive("t.dat", Entry("deflated", "one.txt", first) + Entry("deflated", "two.txt", second));
    FileArchive::Create(path, Qmv2::LOAD_ARCHIVE);

    std::atomic<int> failures{0};
    auto load = [&](const char* name, const std::string& expected) {
        TestBuffer buffer;
        for (int i = 0; i < 400; ++i) {
            if (!Qmv2::LoadFile(name, buffer, Qmv2::LOAD_DEFAULT) || buffer.Text() != expected) {
                ++failures;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back(load, i % 2 == 0 ? "one.txt" : "two.txt", std::cref(i % 2 == 0 ? first : second));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace

}  // namespace file_archive_test
