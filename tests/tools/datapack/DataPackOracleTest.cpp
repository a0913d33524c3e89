#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/files/TestBuffer.h"
#include "platform/win32/TempFolder.h"

namespace data_pack_oracle_test {

namespace {

using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

int Pack(const std::string& folder, const std::string& archive, const std::string& parts = std::string())
{
    const std::string command =
        std::string(QMV_DATAPACK) + " '" + folder + "' '" + archive + "' " + parts + " 2>/dev/null";
    return std::system(command.c_str());
}

// Python's zipfile checks every CRC, extracts into `into` and lists the names.
std::string PythonListing(const std::string& archive, const std::string& into)
{
    const std::string command = "/usr/bin/python3 -c 'import sys, zipfile\n"
                                "z = zipfile.ZipFile(sys.argv[1])\n"
                                "assert z.testzip() is None\n"
                                "z.extractall(sys.argv[2])\n"
                                "print(\",\".join(z.namelist()))' '"
                                + archive + "' '" + into + "'";
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 256> chunk{};
        while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
            output += chunk.data();
        }
        EXPECT_EQ(::pclose(pipe), 0);
    }
    return output;
}

class DataPackTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(source / "Images/Menu");
        std::filesystem::create_directories(source / "properties");
        std::filesystem::create_directories(source / "emptyfolder");
        WriteText(source / "Images/Menu/Button.PNG", std::string("\x89PNG\r\n\x1a\n\0\0binary", 16));
        std::string big;
        for (int i = 0; i < 20000; ++i) {
            big += "line " + std::to_string(i) + "\n";
        }
        WriteText(source / "properties/application.xml", big);
        WriteText(source / "empty.txt", "");
    }
    void TearDown() override { Qmv2::FileArchive::ReleaseInstance(); }

    TempFolder source;
    TempFolder output;
};

TEST_F(DataPackTest, PythonReadsTheArchiveBackFileForFile)
{
    const std::string archive = output / "data.dat";
    ASSERT_EQ(Pack(source.Path(), archive), 0);
    EXPECT_EQ(PythonListing(archive, output / "x"),
              "Images/Menu/Button.PNG,empty.txt,properties/application.xml\n");
    for (const char* name : {"Images/Menu/Button.PNG", "empty.txt", "properties/application.xml"}) {
        EXPECT_EQ(ReadText(output / (std::string("x/") + name)), ReadText(source / name)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(archive + ".tmp"));
}

TEST_F(DataPackTest, NamedPartsPackOnlyWhatLiesUnderThemWithTheirFullNames)
{
    const std::string archive = output / "data.dat";
    ASSERT_EQ(Pack(source.Path(), archive, "Images properties/application.xml Images/Menu"), 0);
    EXPECT_EQ(PythonListing(archive, output / "x"), "Images/Menu/Button.PNG,properties/application.xml\n")
        << "a part named twice is packed once; what no part names is left out";
    EXPECT_NE(Pack(source.Path(), output / "other.dat", "Images nothing"), 0) << "a part that is not there fails";
    EXPECT_FALSE(std::filesystem::exists(output / "other.dat"));
}

TEST_F(DataPackTest, TheGameReadsThePackedArchive)
{
    const std::string archive = output / "data.dat";
    ASSERT_EQ(Pack(source.Path(), archive), 0);
    Qmv2::FileArchive::Create(archive, Qmv2::LOAD_ARCHIVE);
    testsupport::TestBuffer buffer;
    ASSERT_TRUE(Qmv2::LoadFile("images/menu/button.png", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.Text(), ReadText(source / "Images/Menu/Button.PNG"));
    ASSERT_TRUE(Qmv2::LoadFile("properties\\application.xml", buffer, Qmv2::LOAD_DEFAULT));
    EXPECT_EQ(buffer.Text(), ReadText(source / "properties/application.xml"));
    EXPECT_EQ(Qmv2::FileArchive::GetInstance()->GetFileInfoRecord().compressionMethod, 8u);
}

TEST_F(DataPackTest, SameFolderGivesTheSameBytes)
{
    ASSERT_EQ(Pack(source.Path(), output / "a.dat"), 0);
    ASSERT_EQ(Pack(source.Path(), output / "b.dat"), 0);
    EXPECT_EQ(ReadText(output / "a.dat"), ReadText(output / "b.dat"));
}

TEST_F(DataPackTest, FailuresLeaveTheOldArchive)
{
    const std::string archive = output / "data.dat";
    WriteText(archive, "old archive");
    EXPECT_NE(Pack(source / "missing", archive), 0);
    EXPECT_EQ(ReadText(archive), "old archive");

    // A name the reader could never look up is refused.
    std::filesystem::create_directories(source / std::string(200, 'a'));
    WriteText(source / (std::string(200, 'a') + "/" + std::string(100, 'b')), "x");
    EXPECT_NE(Pack(source.Path(), archive), 0);
    EXPECT_EQ(ReadText(archive), "old archive");
    EXPECT_FALSE(std::filesystem::exists(archive + ".tmp"));
}

}  // namespace

}  // namespace data_pack_oracle_test
