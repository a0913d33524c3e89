// The content check over the shipped content and over damaged copies of it,
// and the shipped music's loop joins, decoded by the sound engine.
#include "tools/contentcheck/ContentCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "sound/include/osnd.h"
#include "sound/src/stream/osnd_stream.h"

namespace content_check_test {

namespace {

namespace fs = std::filesystem;
using contentcheck::ContentCheck;

const std::string kKeys = std::string(QMV_SOURCE_DIR) + "/content/keys.txt";

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Every problem that mentions `text`.
std::vector<std::string> Mentioning(const std::vector<std::string>& problems, const std::string& text)
{
    std::vector<std::string> found;
    std::copy_if(problems.begin(), problems.end(), std::back_inserter(found),
                 [&](const std::string& p) { return p.find(text) != std::string::npos; });
    return found;
}

std::string Joined(const std::vector<std::string>& problems)
{
    std::string text;
    for (const std::string& p : problems) {
        text += p + "\n";
    }
    return text;
}

// A copy of the run folder's content (not the program), to damage.
class DamagedContent : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Folder = fs::path(QMV_BINARY_DIR) / "test-home" / ("content-" + std::to_string(getpid()));
        fs::remove_all(m_Folder);
        fs::create_directories(m_Folder);
        for (const char* folder : {"properties", "data", "fonts", "sounds", "music", "images", "splash"}) {
            fs::copy(fs::path(QMV_RUN_DIR) / folder, m_Folder / folder, fs::copy_options::recursive);
        }
    }
    void TearDown() override { fs::remove_all(m_Folder); }

    std::vector<std::string> Check() { return ContentCheck(m_Folder.string(), {kKeys}).Run(); }

    // Replaces the first `from` in a file of the copy.
    void Edit(const std::string& file, const std::string& from, const std::string& to)
    {
        std::string text = Read(m_Folder / file);
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from << " is not in " << file;
        Write(m_Folder / file, text.replace(at, from.size(), to));
    }

    fs::path m_Folder;
};

TEST(ContentCheck, ShippedContentIsWholeAndEveryNameTheCodeReadsIsDeclared)
{
    ContentCheck check(QMV_RUN_DIR, {kKeys});
    EXPECT_EQ(Joined(check.Run()), "");
    for (const char* folder : {"/game", "/framework"}) {
        EXPECT_EQ(Joined(check.UndeclaredNames(std::string(QMV_SOURCE_DIR) + folder)), "");
    }
}

TEST_F(DamagedContent, RemovedImageSoundAndStringAreNamed)
{
    fs::remove(m_Folder / "images/trophies/trophy07.png");
    fs::remove(m_Folder / "sounds/word_bingo.wav");
    ASSERT_NO_FATAL_FAILURE(Edit("properties/strings.xml", "<String id=\"GAME_TITLE\">Quorvel</String>", ""));
    const std::vector<std::string> problems = Check();
    EXPECT_EQ(Mentioning(problems, "IMAGE_TROPHY7").size(), 1u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "SOUND_word_bingo").size(), 1u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "GAME_TITLE").size(), 1u) << Joined(problems);
    EXPECT_EQ(problems.size(), 3u) << Joined(problems);
}

TEST_F(DamagedContent, WrongKindsUndecodableSoundsBadSheetsAndStrayFilesAreNamed)
{
    // A key of the wrong kind, and a resource that lost its key line.
    ASSERT_NO_FATAL_FAILURE(Edit("properties/resources.xml", "<Sound id=\"SOUND_TICK\"", "<Stream id=\"SOUND_TICK\""));
    ASSERT_NO_FATAL_FAILURE(Edit("properties/strings.xml", "<String id=\"CTEXT_ERROR\">Quorvel cannot start</String>",
                                 "<Integer id=\"CTEXT_ERROR\">7</Integer>"));
    // Music the engine cannot read.
    const std::string music = Read(m_Folder / "music/menu.ogg");
    Write(m_Folder / "music/menu.ogg", music.substr(0, 200));
    // A sheet described with a frame that runs past its edge.
    fs::copy_file(m_Folder / "images/trophies/trophy00.png", m_Folder / "images/sheet.png");
    Write(m_Folder / "images/sheet.xml",
          "<root><Node id=\"image\" file=\"sheet.png\"><Vector id=\"frames\">"
          "<Node x=\"0\" y=\"0\" width=\"80\" height=\"80\"/><Node x=\"100\" y=\"0\" width=\"80\" height=\"80\"/>"
          "</Vector></Node></root>");
    ASSERT_NO_FATAL_FAILURE(Edit("properties/resources.xml", "</Node>\n\t\t<Node name=\"music\">",
                                 "<Image id=\"IMAGE_SHEET\" file=\"images/sheet.xml\" />\n\t\t</Node>\n"
                                 "\t\t<Node name=\"music\">"));
    // A dialog whose sprite and label name an image and a text that do not
    // exist, and a font that does.
    ASSERT_NO_FATAL_FAILURE(Edit("properties/strings.xml", "</Node>",
                                 "<Node id=\"dialogs\"><Dialog id=\"DIALOG_TEST\">"
                                 "<Sprite id=\"LOGO\" image=\"IMAGE_NONE\" section=\"trophyscene\"/>"
                                 "<Label id=\"NAME\" textid=\"TEXT_NONE\" font=\"FONT_TROPHYNAMES\" section=\"default\"/>"
                                 "</Dialog></Node></Node>"));
    // A file nothing names.
    Write(m_Folder / "sounds/left-over.wav", "RIFF");

    const std::vector<std::string> problems = Check();
    EXPECT_EQ(Mentioning(problems, "SOUND_TICK in section default is a Stream, not a Sound").size(), 1u)
        << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "CTEXT_ERROR is a Integer, not a String").size(), 1u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "MUSIC_menu").size(), 1u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "frame 1 of images/sheet.xml (100, 0, 80, 80) is not inside its 160x160").size(),
              1u)
        << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "frame 0").size(), 0u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "dialog/DIALOG_TEST/LOGO reads the image IMAGE_NONE of section trophyscene").size(),
              1u)
        << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "dialog/DIALOG_TEST/NAME reads the string TEXT_NONE").size(), 1u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "FONT_TROPHYNAMES").size(), 0u) << Joined(problems);
    EXPECT_EQ(Mentioning(problems, "sounds/left-over.wav is shipped but nothing uses it").size(), 1u)
        << Joined(problems);
}

// Each music stream, decoded from its start to its end by the engine's own
// stream decoder, joins its end to its start with no bigger step than the
// music makes anyway within 50 ms on either side of the join.
TEST(MusicLoop, EveryStreamJoinsItsEndToItsStartWithoutAJump)
{
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
    ASSERT_TRUE(OSND_Init(44100, 8, 0));
    const std::regex stream("<Stream id=\"([^\"]+)\" file=\"([^\"]+)\"");
    const std::string resources = Read(fs::path(QMV_RUN_DIR) / "properties/resources.xml");
    int checked = 0;
    for (std::sregex_iterator m(resources.begin(), resources.end(), stream), end; m != end; ++m) {
        const std::string name = (*m)[1], file = std::string(QMV_RUN_DIR) + "/" + (*m)[2].str();
        OSND_STREAM* s = OSND_Stream_Open(file.c_str(), 0, 0, 0);
        ASSERT_NE(s, nullptr) << name;
        ASSERT_TRUE(s->mode & OSND_MODE_16BITS) << name;
        const int channels = (s->mode & OSND_MODE_STEREO) ? 2 : 1;
        std::vector<std::int16_t> pcm(std::size_t(s->lengthPcm) * channels);
        ASSERT_TRUE(OsndStream_Seek(s, 0, 0, true));
        const std::size_t piece = 8192;
        for (std::size_t at = 0; at < pcm.size(); at += piece) {
            OsndStream_Decode(s, pcm.data() + at, int(std::min(piece, pcm.size() - at) * 2), nullptr);
        }
        OSND_Stream_Close(s);
        const std::size_t frames = pcm.size() / channels, window = 44100 / 20;
        ASSERT_GT(frames, 10 * window) << name;
        for (int c = 0; c < channels; ++c) {
            auto at = [&](std::size_t frame) { return int(pcm[frame * channels + c]); };
            int neighbours = 0;
            for (std::size_t f = 0; f + 1 < window; ++f) {
                neighbours = std::max(neighbours, std::abs(at(f + 1) - at(f)));
                neighbours = std::max(neighbours, std::abs(at(frames - 1 - f) - at(frames - 2 - f)));
            }
            const int join = std::abs(at(0) - at(frames - 1));
            EXPECT_LE(join, neighbours) << name << " channel " << c;
            // Music, not silence, on both sides of the join.
            EXPECT_GT(neighbours, 100) << name << " channel " << c;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 4);
    OSND_Close();
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

}  // namespace

}  // namespace content_check_test
