#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/win32/WinLastError.h"
#include "tests/framework/core/app/GameProcess.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "platform/win32/WinRegistry.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace game_e2_e_test {

namespace {

using gameprocess::kRunDir;
using gameprocess::PixelColour;
using gameprocess::RunScript;
using gameprocess::StartGame;
using gameprocess::WaitExit;
using gameprocess::Xdo;

// A text setting of the game as the registry holds it; "<missing>" when absent.
std::string StoredSetting(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvendale\\Quorvel", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return "<missing>";
    }
    char text[64] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : "<missing>";
}

std::string ShutdownCorrect()
{
    return StoredSetting("shutdowncorrect");
}

class GameE2ETest : public ::testing::Test {
protected:
    void SetUp() override { folder = gameprocess::UseOwnFolders("qmv_e2e_"); }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
};

}  // namespace

TEST_F(GameE2ETest, WindowOpensSecondInstanceEndsAndClosingEndsTheGame)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const pid_t game = StartGame();
    ASSERT_GT(game, 0);
    const std::string ofGame = " --pid " + std::to_string(game);
    EXPECT_EQ(RunScript("Quorvel 60 --size-only" + ofGame), "800x600\n");
    std::string window = RunScript("Quorvel 5 --id-only" + ofGame);
    window = window.substr(0, window.find('\n'));
    // Which scene shows by now depends on how fast the machine starts the
    // game (the splash's backdrop, the loading screen or the menu), but some
    // picture must be drawn: never the black of a window nothing presents to.
    // The splash fades in from black, so black is waited out first.
    // A minute at the most: a busy machine may take long to draw the first frame.
    std::string corner;
    const auto drawn = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((corner.empty() || corner == "srgb(0,0,0)") && std::chrono::steady_clock::now() < drawn) {
        corner = PixelColour(window, 8, 8, "srgb(29,53,87)", 1);
    }
    EXPECT_NE(corner, "") << "the window can be read";
    EXPECT_NE(corner, "srgb(0,0,0)") << "the game presents its frames";
    EXPECT_EQ(ShutdownCorrect(), "false") << "a running game marks its end as not yet orderly";

    const pid_t second = StartGame();
    // Generous deadlines for a busy machine: a wait ends as soon as the process does.
    EXPECT_EQ(WaitExit(second, 60), 0);
    EXPECT_EQ(WaitExit(game, 1), -1) << "the first instance must keep running";

    EXPECT_EQ(RunScript("Quorvel 10" + ofGame), "800x600\n");
    const int code = WaitExit(game, 60);
    if (code == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ShutdownCorrect(), "true") << "an orderly end is recorded in the registry";
}

namespace {

struct Ended {
    int code = -1;
    std::string errors;
};

// Runs the program to its end, with or without a display, and answers its
// exit status and what it wrote on stderr.
Ended RunToEnd(const std::string& program, bool display)
{
    Ended ended;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return ended;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!display) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
        }
        if (chdir("/") == 0) {
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        ended.errors.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    ended.code = WaitExit(pid, 30);
    if (ended.code == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return ended;
}

// Packs the data archive of a run-folder copy from its own files, as the
// content build packs the real one.
bool PackArchive(const std::filesystem::path& where)
{
    const std::string command = std::string(QMV_BINARY_DIR) + "/tools/datapack/datapack '" + where.string() + "' '" +
                                (where / "data.dat").string() + "' properties images fonts splash";
    return std::system(command.c_str()) == 0;
}

// A copy of the program beside the run folder's data, with its own copies of
// the folders in `own` (the rest linked) and its own data archive packed from
// them once `change` has altered the copy.
template <typename Change>
std::string ProgramCopy(const std::filesystem::path& where, std::initializer_list<const char*> own, Change change)
{
    namespace fs = std::filesystem;
    fs::create_directories(where);
    for (const auto& entry : fs::directory_iterator(kRunDir)) {
        const std::string name = entry.path().filename().string();
        const bool copied = std::find(own.begin(), own.end(), name) != own.end();
        if (copied) {
            fs::copy(entry.path(), where / name, fs::copy_options::recursive);
        } else if (name != "quorvel" && name != "data.dat") {
            fs::create_directory_symlink(entry.path(), where / name);
        }
    }
    fs::copy_file(kRunDir + "/quorvel", where / "quorvel");
    change(where);
    EXPECT_TRUE(PackArchive(where));
    return (where / "quorvel").string();
}

// A copy whose properties file `damaged` is cut short.
std::string ProgramWithDamaged(const std::filesystem::path& where, const std::string& damaged)
{
    return ProgramCopy(where, {"properties"}, [&](const std::filesystem::path& copy) {
        const std::filesystem::path cut = copy / "properties" / damaged;
        std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    });
}

}  // namespace

TEST_F(GameE2ETest, FailedStartsSayWhyAndEndWithAFailureStatus)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const Ended noDisplay = RunToEnd(kRunDir + "/quorvel", false);
    EXPECT_EQ(noDisplay.code, 1);
    EXPECT_NE(noDisplay.errors.find("No display could be opened"), std::string::npos) << noDisplay.errors;
    EXPECT_NE(noDisplay.errors.find("DISPLAY"), std::string::npos) << noDisplay.errors;
    EXPECT_EQ(noDisplay.errors.find("graphics driver"), std::string::npos) << noDisplay.errors;

    const Ended manifest = RunToEnd(ProgramWithDamaged(folder / "manifest", "application.xml"), true);
    EXPECT_EQ(manifest.code, 1);
    EXPECT_NE(manifest.errors.find("properties/application.xml is damaged and could not be read"), std::string::npos)
        << manifest.errors;

    const Ended strings = RunToEnd(ProgramWithDamaged(folder / "strings", "strings.xml"), true);
    EXPECT_EQ(strings.code, 1);
    EXPECT_NE(strings.errors.find("properties/strings.xml are damaged and could not be read"), std::string::npos)
        << strings.errors;
}

TEST_F(GameE2ETest, APlayerIsMadeInTheMenuAndQuittingAsksFirst)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const std::filesystem::path log = folder / "stderr.txt";
    const pid_t game = StartGame(log.string());
    ASSERT_GT(game, 0);
    const std::string ofGame = " --pid " + std::to_string(game);
    std::string window = RunScript("Quorvel 60 --id-only" + ofGame);
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty());
    // The splash card is cream in the middle of the window; after it and the
    // loading screen the menu opens the new-player dialog, whose cream panel
    // lies at the same place.
    EXPECT_EQ(PixelColour(window, 200, 200, "srgb(255,248,231)", 30), "srgb(255,248,231)") << "the splash shows";
    ASSERT_TRUE(gameprocess::WaitForMenu(log, 90)) << gameprocess::ReadText(log);
    const std::string panel = PixelColour(window, 200, 200, "srgb(255,248,231)", 30);
    EXPECT_EQ(panel, "srgb(255,248,231)") << "the new-player dialog opens over the menu";
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    // Each step waits for the game to say that the one before it is done.
    std::size_t seen = 0;
    ASSERT_TRUE(gameprocess::WaitForTextAfter(log, "The dialog DIALOG_NEWPLAYER takes input", seen, 60))
        << gameprocess::ReadText(log);
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 400 310 click 1"));
    EXPECT_TRUE(Xdo("type --delay 60 ' Ann '"));
    EXPECT_TRUE(Xdo("key Return"));
    ASSERT_TRUE(gameprocess::WaitForTextAfter(log, "The dialog DIALOG_NEWPLAYER is closed", seen, 60))
        << gameprocess::ReadText(log);
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 110 522 click 1"));
    ASSERT_TRUE(gameprocess::WaitForTextAfter(log, "The dialog CTEXT_QUESTION_QUIT opens", seen, 60))
        << gameprocess::ReadText(log);
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 316 344 click 1"));
    const int code = WaitExit(game, 60);
    if (code == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    EXPECT_EQ(code, 0) << "yes to the quit question ends the game";
    EXPECT_EQ(ShutdownCorrect(), "true");
    EXPECT_TRUE(std::filesystem::exists(folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel/players/players.plrs.!"))
        << "the new player is stored";
}

namespace {

// The window's picture, as ImageMagick grabs it, written to `path`.
bool Screenshot(const std::string& window, const std::string& path)
{
    return std::system(("import -window '" + window + "' '" + path + "' 2>/dev/null").c_str()) == 0;
}

// Compares a screenshot with its golden picture in tests/framework/core/app/golden:
// empty when at most `share` of the pixels differ by more than the colour
// fuzz (animations that run on their own, such as the menu's logos, and a
// frame's timing may move a few), else why not. QMV_UPDATE_GOLDEN=1 writes
// the golden picture instead.
std::string CompareWithSceneGolden(const std::string& name, const std::string& shot, double share = 0.05)
{
    const std::string golden = std::string(QMV_SOURCE_DIR) + "/tests/framework/core/app/golden/" + name + ".png";
    if (std::getenv("QMV_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::copy_file(shot, golden, std::filesystem::copy_options::overwrite_existing);
        return std::string();
    }
    if (!std::filesystem::exists(golden)) {
        return "no golden picture " + golden + " (run with QMV_UPDATE_GOLDEN=1 to write it)";
    }
    std::string output;
    FILE* pipe = popen(("compare -metric AE -fuzz 12% '" + golden + "' '" + shot + "' null: 2>&1").c_str(), "r");
    if (pipe != nullptr) {
        char buffer[128];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    const double differing = std::atof(output.c_str());
    if (output.empty() || output[0] < '0' || output[0] > '9') {
        return name + ": compare failed: " + output;
    }
    const double limit = share * 800.0 * 600.0;
    if (differing <= limit) {
        return std::string();
    }
    // The test's folder goes with it; the screenshot is kept for a look.
    const std::filesystem::path kept = std::filesystem::path(QMV_BINARY_DIR) / "e2e-failed" / (name + ".png");
    std::filesystem::create_directories(kept.parent_path());
    std::filesystem::copy_file(shot, kept, std::filesystem::copy_options::overwrite_existing);
    return name + ": " + output + " pixels differ from the golden picture (at most " +
           std::to_string(static_cast<int>(limit)) + "); the screenshot is kept as " + kept.string();
}

// Descrambles a stored ".!" file into `plain` with the project's scramble tool.
bool Descramble(const std::string& scrambled, const std::string& plain)
{
    const std::string tool = std::string(QMV_BINARY_DIR) + "/tools/scramble/scramble";
    return std::system((tool + " '" + scrambled + "' '" + plain + "'").c_str()) == 0;
}

pid_t StartProgram(const std::string& program, const std::string& errorLog)
{
    const pid_t pid = fork();
    if (pid == 0) {
        // Neither output stream may hold the test runner's pipe open.
        if (freopen(errorLog.c_str(), "w", stderr) == nullptr || freopen("/dev/null", "w", stdout) == nullptr ||
            chdir("/") != 0) {
            _exit(126);
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Ends the game when the test leaves early, so no window outlives it.
struct KillOnExit {
    pid_t pid;
    ~KillOnExit()
    {
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    return text;
}

// Colours of the game's scenes at points that tell them apart.
const std::string kCream = "srgb(255,248,231)";      // the splash card, the dialogs' panels
const std::string kFullBar = "srgb(233,196,106)";    // the loading bar's right end, once full
const std::string kTrophyLabel = "srgb(238,234,220)";  // the trophy room's description box
const std::string kTrophyText = "srgb(29,53,87)";      // its text
const std::string kMenuBackdrop = "srgb(69,123,157)";  // the menu's backdrop left of its buttons

}  // namespace

TEST_F(GameE2ETest, FromTheSplashThroughEveryFrontSceneToQuitting)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const std::string shots = (folder / "shots").string();
    std::filesystem::create_directories(shots);
    const std::string errors = (folder / "stderr.txt").string();
    const pid_t game = StartProgram(kRunDir + "/quorvel", errors);
    ASSERT_GT(game, 0);
    KillOnExit guard{game};
    std::string window = RunScript("Quorvel 60 --id-only --pid " + std::to_string(game));
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty());
    auto shoot = [&](const std::string& name) {
        const std::string path = shots + "/" + name + ".png";
        EXPECT_TRUE(Screenshot(window, path)) << name;
        EXPECT_EQ(CompareWithSceneGolden("e2e_" + name, path), "");
    };
    auto click = [&](int x, int y) {
        EXPECT_TRUE(Xdo("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                        " click 1"));
    };

    // Each step waits for the game to say that the one before it is done (a
    // dialog's fade-in or fade-out, a scene's transition), and a picture is
    // taken once the window shows what the game said.
    std::size_t seen = 0;
    auto logged = [&](const std::string& text) {
        const bool found = gameprocess::WaitForTextAfter(errors, text, seen, 90);
        EXPECT_TRUE(found) << "waited for \"" << text << "\" in\n" << ReadWholeFile(errors);
        return found;
    };

    ASSERT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << "the splash card shows";
    shoot("splash");
    ASSERT_EQ(PixelColour(window, 590, 420, kFullBar, 30), kFullBar) << "the loading bar fills";
    shoot("load");
    ASSERT_TRUE(gameprocess::WaitForMenu(errors, 90)) << ReadWholeFile(errors);
    ASSERT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << "the menu asks for the first player";
    ASSERT_TRUE(logged("The dialog DIALOG_NEWPLAYER takes input"));
    shoot("newplayer");
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    click(400, 310);
    EXPECT_TRUE(Xdo("type --delay 60 'Ann'"));
    EXPECT_TRUE(Xdo("key Return"));
    ASSERT_TRUE(logged("The dialog DIALOG_NEWPLAYER is closed"));
    EXPECT_EQ(PixelColour(window, 200, 200, kMenuBackdrop, 20), kMenuBackdrop) << "the menu shows";
    shoot("menu");

    click(145, 457);    // Settings
    ASSERT_TRUE(logged("The dialog DIALOG_SETTINGS takes input"));
    shoot("settings");
    click(210, 457);    // its OK
    ASSERT_TRUE(logged("The dialog DIALOG_SETTINGS is closed"));

    click(145, 277);    // Trophy room
    ASSERT_EQ(PixelColour(window, 300, 536, kTrophyLabel, 20), kTrophyLabel) << "the trophy room opens";
    ASSERT_TRUE(logged("The scene SCENE_TROPHY takes input"));
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 235 140"));    // over a trophy to be earned
    // The stem of the description's first letter, "Find 10 words in one round."
    EXPECT_EQ(PixelColour(window, 173, 524, kTrophyText, 20), kTrophyText) << "the trophy's description shows";
    shoot("trophy");
    click(680, 536);    // Main menu
    ASSERT_TRUE(logged("The scene SCENE_SELECTION takes input"));
    // The menu taking input may come before its first frame reaches the
    // screen: the label is waited out, not looked for once.
    EXPECT_NE(gameprocess::PixelColourOtherThan(window, 300, 536, kTrophyLabel, 60), kTrophyLabel) << "back in the menu";

    click(145, 522);    // Quit
    ASSERT_TRUE(logged("The dialog CTEXT_QUESTION_QUIT opens"));
    EXPECT_EQ(PixelColour(window, 200, 200, kCream, 20), kCream) << "the quit question shows";
    shoot("quit");
    click(316, 344);    // Yes
    const int code = WaitExit(game, 60);
    if (code == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    EXPECT_EQ(code, 0) << "yes to the quit question ends the game";
    EXPECT_EQ(ShutdownCorrect(), "true") << "an orderly end is recorded";
    const std::string players = (folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel/players/players.plrs.!").string();
    const std::string plain = (folder / "players.xml").string();
    ASSERT_TRUE(Descramble(players, plain));
    EXPECT_EQ(std::system(("xmllint --noout '" + plain + "'").c_str()), 0) << ReadWholeFile(plain);
    EXPECT_NE(ReadWholeFile(plain).find("Ann"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(errors).find("cannot"), std::string::npos) << ReadWholeFile(errors);
    // Every picture, sound and text the data names was found where the file
    // layer looks for it (the archive, once mounted).
    EXPECT_EQ(ReadWholeFile(errors).find("could not be loaded"), std::string::npos) << ReadWholeFile(errors);
}

TEST_F(GameE2ETest, DataWithoutOptionalFilesOrWithAMissingPictureStillRuns)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        std::string program;
        const char* logged;
    };
    const Case cases[] = {
        {"no branding or partners",
         ProgramCopy(folder / "optional", {"splash", "properties"},
                     [](const fs::path& copy) {
                         fs::remove(copy / "splash/branding.xml");
                         fs::remove(copy / "properties/partners.xml");
                     }),
         nullptr},
        {"no menu background",
         ProgramCopy(folder / "picture", {"images"},
                     [](const fs::path& copy) { fs::remove(copy / "images/frontend/background_menu.png"); }),
         "IMAGE_MENU_BACKGROUND"},
    };
    for (const Case& c : cases) {
        const std::string errors = (folder / (std::string(c.name) + ".txt")).string();
        const pid_t game = StartProgram(c.program, errors);
        ASSERT_GT(game, 0);
        KillOnExit guard{game};
        std::string window = RunScript("Quorvel 60 --id-only --pid " + std::to_string(game));
        window = window.substr(0, window.find('\n'));
        ASSERT_FALSE(window.empty()) << c.name;
        // The menu's new-player dialog shows that start-up went all the way.
        EXPECT_TRUE(gameprocess::WaitForMenu(errors, 90)) << c.name;
        EXPECT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << c.name;
        const int code = gameprocess::CloseAndWait(game);
        if (code == -1) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        EXPECT_EQ(code, 0) << c.name << ": " << ReadWholeFile(errors);
        if (c.logged != nullptr) {
            EXPECT_NE(ReadWholeFile(errors).find(c.logged), std::string::npos)
                << c.name << ": the missing picture's key is logged: " << ReadWholeFile(errors);
        }
    }
}

namespace {

// Starts `program` with its stderr in `errors`, waits for the menu's
// new-player dialog (start-up went all the way) and for `awaited` on stderr,
// and closes the window; answers the exit status.
int RunToTheMenu(const std::string& program, const std::string& errors, const std::string& awaited)
{
    const pid_t game = StartProgram(program, errors);
    if (game <= 0) {
        return -1;
    }
    KillOnExit guard{game};
    std::string window = RunScript("Quorvel 60 --id-only --pid " + std::to_string(game));
    window = window.substr(0, window.find('\n'));
    if (window.empty()) {
        return -1;
    }
    EXPECT_TRUE(gameprocess::WaitForMenu(errors, 90)) << ReadWholeFile(errors);
    EXPECT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << "the menu asks for the first player";
    EXPECT_TRUE(gameprocess::WaitForText(errors, awaited, 30)) << ReadWholeFile(errors);
    return gameprocess::CloseAndWait(game);
}

// The number of message boxes the game showed (on stderr, headless).
std::size_t MessageBoxes(const std::string& errors)
{
    std::size_t count = 0;
    for (std::size_t at = errors.find("[message box]"); at != std::string::npos;
         at = errors.find("[message box]", at + 1)) {
        ++count;
    }
    return count;
}

// Flips a byte in the middle of the stored data of the archive's entry
// `name`, as a damaged copy of the data or a hand-made change would.
bool ChangeArchiveEntry(const std::filesystem::path& archive, const std::string& name)
{
    std::string bytes = QmvTest::ReadBytes(archive.string());
    const std::size_t at = bytes.find(name);
    if (at == std::string::npos || at < 30 || bytes.compare(at - 30, 4, "PK\x03\x04") != 0) {
        return false;
    }
    const auto field = [&bytes](std::size_t offset, int size) {
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) {
            value = value << 8 | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
        }
        return static_cast<std::size_t>(value);
    };
    const std::size_t header = at - 30;
    const std::size_t data = header + 30 + field(header + 26, 2) + field(header + 28, 2);
    bytes[data + field(header + 18, 4) / 2] ^= '\xFF';
    QmvTest::WriteBytes(archive.string(), bytes);
    return true;
}

}  // namespace

// A damaged sound effect, a damaged piece of music and a changed entry of
// the data archive: the game still starts, and says once which of its
// files could not be loaded.
TEST_F(GameE2ETest, DamagedGameDataIsSaidOnceAndTheGameStillStarts)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    namespace fs = std::filesystem;
    const std::string program = ProgramCopy(folder / "damaged", {"sounds", "music"}, [](const fs::path& copy) {
        QmvTest::WriteBytes((copy / "sounds/dialog_show.wav").string(), "RIFF\x10\0\0\0WAVEfmt not a sound");
        fs::resize_file(copy / "music/menu.ogg", 100);
    });
    ASSERT_TRUE(ChangeArchiveEntry(folder / "damaged/data.dat", "fonts/trophynames.xml"));
    const std::string errors = (folder / "damaged.txt").string();
    EXPECT_EQ(RunToTheMenu(program, errors, "[message box] Game data"), 0);
    const std::string said = ReadWholeFile(errors);
    EXPECT_EQ(MessageBoxes(said), 1u) << said;
    const std::size_t box = said.find("[message box]");
    ASSERT_NE(box, std::string::npos) << said;
    const std::string message = said.substr(box, said.find('\n', box) - box);
    for (const char* part : {"sounds/dialog_show.wav", "music/menu.ogg", "fonts/trophynames.xml"}) {
        EXPECT_NE(message.find(part), std::string::npos) << part << ": " << message;
    }
    EXPECT_NE(message.find("could not be loaded"), std::string::npos) << message;
}

// Stored files the game cannot use are kept beside themselves as
// "<file>.damaged" and the player is told, before anything replaces them: a
// high-score file of another kind (a players list), and a settings file
// whose first line is good but which holds an over-long line and ends in a
// cut one. The settings its good lines held are still read.
TEST_F(GameE2ETest, StoredFilesThatCannotBeUsedAreKeptAsDamagedAndSaid)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    namespace fs = std::filesystem;
    const fs::path players = folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel/players";
    fs::create_directories(players);
    const std::string scores = (players / "scores.xml.!").string();
    QmvTest::WriteScrambled(scores, "<root><Players id=\"players\" version=\"1\"><Vector id=\"playernames\">"
                                    "<Quorvel2Player name=\"Ann\" /></Vector></Players></root>");
    const std::string scoresBefore = QmvTest::ReadBytes(scores);

    const std::string settings = platform::RegistryFileOf(HKEY_CURRENT_USER);
    fs::create_directories(fs::path(settings).parent_path());
    const std::string settingsBefore = "qmv-registry 1\nkey Software\\Orvendale\\Quorvel\n"
                                       "value 1 usehints false%00\n" +
                                       std::string(6u << 20, 'x') + "\nvalue 1 musicvolume 0.";
    QmvTest::WriteBytes(settings, settingsBefore);

    const std::string errors = (folder / "stored.txt").string();
    EXPECT_EQ(RunToTheMenu(kRunDir + "/quorvel", errors, "[message box] Saved data"), 0);
    const std::string said = ReadWholeFile(errors);

    EXPECT_EQ(QmvTest::ReadBytes(scores + ".damaged"), scoresBefore);
    EXPECT_NE(said.find("The high-score file " + scores + " could not be read. A copy is kept as " + scores +
                        ".damaged"),
              std::string::npos)
        << said;
    const std::string scoresAfter = QmvTest::ReadScrambled(scores);
    EXPECT_NE(scoresAfter.find("highscoretables"), std::string::npos) << "the game's own scores replace it";

    EXPECT_EQ(QmvTest::ReadBytes(settings + ".damaged"), settingsBefore);
    EXPECT_NE(said.find("The settings file " + settings + " could not be read. A copy is kept as " + settings +
                        ".damaged"),
              std::string::npos)
        << said;
    EXPECT_EQ(StoredSetting("usehints"), "false") << "a good line's setting is kept";
    EXPECT_LT(fs::file_size(settings), 4096u) << "the rewritten file holds no damaged line";
    EXPECT_EQ(MessageBoxes(said), 2u) << said;
}

}  // namespace game_e2_e_test
