// The game's dialogs in a real window, built from the shipped data and driven
// as a player drives them: xdotool moves the pointer, clicks and types into
// the window, and the messages reach the dialogs through the platform's
// message queue, the window procedure and the input handler. The sound plays
// through the real output on SDL's disk driver, so that sox can tell how loud
// it was.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/files/ResourceManagerWin32.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Slider.h"
#include "framework/scene/Switch.h"
#include "framework/scene/TaskRender.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/SoundManager.h"
#include "game/frontend/DialogHelp.h"
#include "game/frontend/DialogYesNo.h"
#include "game/frontend/FrontendClasses.h"
#include "game/frontend/Quorvel2GameSettings.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/GameMode.h"
#include "game/words/iDialogOwnerScene.h"
#include "platform/d3d9/Direct3D9Library.h"
#include "sound/include/osnd.h"
#include "platform/win32/WinMessages.h"
#include "ShellOutput.h"
#include "tests/framework/core/app/GameProcess.h"
#include "tests/framework/graphics/GoldenImage.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace dialog_e2_e_test {

using graphicstest::CompareWithGolden;
using graphicstest::Picture;
using namespace Qmv2;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr std::uint32_t kBackground = 0xFF457B9Du;
constexpr const char* kTitle = "Quorvel dialogs";
constexpr int kRate = 44100;

using frontendtest::LoggingGameScene;
using gameprocess::Xdo;

// sox's RMS amplitude of `seconds` of the captured 16-bit stereo file from `from`.
double Rms(const std::string& file, double from, double seconds)
{
    char command[512];
    std::snprintf(command, sizeof command,
                  "sox -t raw -r %d -e signed -b 16 -c 2 '%s' -n trim %.3f %.3f stat 2>&1", kRate, file.c_str(),
                  from, seconds);
    const std::string text = ShellOutput(command);
    const std::size_t at = text.find("RMS     amplitude");
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + text.find(':', at) + 1);
}

// Sees every input event first, before the dialogs, and takes none: what the
// tests wait for after each xdotool command.
class InputProbe : public iInputListener {
public:
    bool OnMouseMove(MouseMessageData* data) override
    {
        if (data != nullptr) {
            x = data->x;
            y = data->y;
        }
        return false;
    }
    bool OnLeftButtonDown(MouseMessageData*) override
    {
        ++downs;
        return false;
    }
    bool OnLeftButtonUp(MouseMessageData*) override
    {
        ++ups;
        return false;
    }
    bool OnKeyUp(KeyboardMessageData*) override
    {
        ++keyUps;
        return false;
    }

    float x = -1.0f;
    float y = -1.0f;
    int downs = 0;
    int ups = 0;
    int keyUps = 0;
};

class DialogE2ETest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        platform::d3d9::RegisterDirect3D9Library();
    }

    void SetUp() override
    {
        ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
        home_ = fs::temp_directory_path() / ("qmv_dialog_e2e_" + std::to_string(getpid()));
        fs::remove_all(home_);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            fs::create_directories(home_ / name);
            setenv(name, (home_ / name).c_str(), 1);
        }
        capture_ = (home_ / "capture.raw").string();
        // Read when the sound output opens its device.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
        previous_ = fs::current_path();
        fs::current_path(QMV_RUN_DIR);
        frontendtest::SetUpShippedDialogWorld();
        StartStores();

        // Full screen is allowed, so that the settings can switch to it.
        GameWindowWin32::CreateGameWindow(kTitle, kWidth, kHeight, true);
        GameWindow::GetInstance()->GetMessageHandler().AddListener(SettingsManager::GetInstance());
        ImageManager::Create();
        ASSERT_EQ(Renderer::Create(kWidth, kHeight), 0);
        frontendtest::StartShippedResources();
        SoundManager::Create();

        SceneManager::SetInstance(new SceneManager());
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene_ = new LoggingGameScene(empty.Get());
        scene_->SetSize(static_cast<float>(kWidth), static_cast<float>(kHeight));
        SceneManager::GetInstance()->RequestScene(scene_.Get());
        SceneManager::GetInstance()->Execute(0);
        ASSERT_EQ(SceneManager::GetInstance()->GetCurrentScene(), scene_.Get());
        handler_ = new InputHandler(scene_.Get());
        InputHandler::SetInstance(handler_.Get());
        handler_->SetRunning(true);
        probe_ = std::make_unique<InputProbe>();
        handler_->RegisterListener(probe_.get());
        FindWindow();
        Frames(5);
    }

    void TearDown() override
    {
        if (handler_ && probe_) {
            handler_->UnregisterListener(probe_.get());
        }
        probe_.reset();
        InputHandler::ReleaseInstance();
        handler_ = nullptr;
        scene_ = nullptr;
        SceneManager::ReleaseInstance();
        SoundManager::ReleaseInstance();
        frontendtest::StopShippedResources();
        if (Renderer* renderer = Renderer::GetInstance()) {
            renderer->ReleaseResources();
        }
        Renderer::ReleaseInstance();
        ImageManager::ReleaseInstance();
        StopStores();
        if (GameWindow* window = GameWindow::GetInstance()) {
            window->Destroy();
            GameWindow::ReleaseInstance();
        }
        frontendtest::TearDownShippedDialogWorld();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
        fs::current_path(previous_);
        fs::remove_all(home_);
    }

    // The settings from the registry file and the players from theirs, as
    // the program starts them; a first start gets one player, Ann.
    void StartStores()
    {
        SettingsManager::SetInstance(new SettingsManager(new Quorvel2GameSettings()));
        PlayerManager* players = PlayerManager::Create("3");
        players->LoadPlayers();
        if (players->GetCurrentPlayer() == nullptr) {
            players->AddPlayer(new Quorvel2Player("Ann"));
            players->SetCurrentPlayer("Ann");
            static_cast<Quorvel2Player*>(players->GetCurrentPlayer())->SetMaxLength(6);
        }
    }
    void StopStores()
    {
        if (GameWindow* window = GameWindow::GetInstance()) {
            window->GetMessageHandler().RemoveListener(SettingsManager::GetInstance());
        }
        PlayerManager::ReleaseInstance();
        SettingsManager::ReleaseInstance();
    }

    void FindWindow()
    {
        const std::string script = std::string(QMV_SOURCE_DIR) + "/tests/framework/core/app/close_window.py";
        std::string id = ShellOutput("/usr/bin/python3 " + script + " '" + kTitle + "' 20 --id-only --pid " +
                             std::to_string(getpid()));
        window_ = id.substr(0, id.find('\n'));
        ASSERT_EQ(window_.rfind("0x", 0), 0u) << id;
        EXPECT_TRUE(Xdo("windowraise " + window_));
        EXPECT_TRUE(Xdo("windowfocus --sync " + window_));
    }

    // One frame as the program's loop runs it: the queued window messages,
    // the input, the trees, the scene manager, the sound, the picture.
    void Frames(int count, bool draw = true)
    {
        for (int i = 0; i < count; ++i) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
                TranslateMessage(&msg);
                auto* window = static_cast<GameWindowWin32*>(GameWindow::GetInstance());
                GameWindowWin32::WindowProc(window->GetHandle(), msg.message, msg.wParam, msg.lParam);
            }
            handler_->Execute(16);
            scene_->TickTree(16);
            AnimTree::GetInstance()->Update(16);
            SceneManager::GetInstance()->Execute(16);
            scene_->PurgeTree();
            if (SoundManager* sound = SoundManager::GetInstance()) {
                sound->Execute(16);
            }
            if (draw) {
                Draw();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    Picture Draw()
    {
        frontendtest::DrawScene(*RendererD3D::GetD3D()->GetScreenGraphics(), scene_.Get(), kBackground);
        return graphicstest::CaptureScreen(*RendererD3D::GetD3D(), kWidth, kHeight);
    }
    // Frames until `done` holds, for at most half a minute of real time,
    // however busy the machine is; answers whether it held.
    template <typename Done>
    bool FramesUntil(Done done)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            Frames(1);
        }
        return true;
    }
    // Past a dialog's fade: about a second of frames.
    void Settle() { Frames(60); }

    // The screen point at `fx`, `fy` (fractions of its size) of the named widget.
    static PointF Where(GameNode* dialog, const std::string& name, float fx = 0.5f, float fy = 0.5f)
    {
        auto* widget = dialog != nullptr ? static_cast<Sprite*>(dialog->FindChild(name, true)) : nullptr;
        EXPECT_NE(widget, nullptr) << name;
        if (widget == nullptr) {
            return PointF(0.0f, 0.0f);
        }
        return widget->LocalToGlobal(widget->GetWidth() * fx, widget->GetHeight() * fy);
    }
    // Each command waits until the input handler has handed its event to
    // the dialogs: the pointer seen at the point, the button or key let go.
    void MoveTo(PointF point)
    {
        const int x = static_cast<int>(point.x);
        const int y = static_cast<int>(point.y);
        EXPECT_TRUE(Xdo("mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y)));
        EXPECT_TRUE(FramesUntil([this, x, y] {
            return std::fabs(probe_->x - static_cast<float>(x)) < 1.0f && std::fabs(probe_->y - static_cast<float>(y)) < 1.0f;
        })) << "the pointer reaches " << x << ", " << y << "; last seen at " << probe_->x << ", " << probe_->y;
    }
    void Press()
    {
        const int downs = probe_->downs;
        EXPECT_TRUE(Xdo("mousedown 1"));
        EXPECT_TRUE(FramesUntil([this, downs] { return probe_->downs > downs; })) << "the button goes down";
    }
    void Release()
    {
        const int ups = probe_->ups;
        EXPECT_TRUE(Xdo("mouseup 1"));
        EXPECT_TRUE(FramesUntil([this, ups] { return probe_->ups > ups; })) << "the button comes up";
    }
    void ClickAt(PointF point)
    {
        MoveTo(point);
        const int ups = probe_->ups;
        EXPECT_TRUE(Xdo("click 1"));
        EXPECT_TRUE(FramesUntil([this, ups] { return probe_->ups > ups; })) << "the click arrives";
    }
    void Click(GameNode* dialog, const std::string& name) { ClickAt(Where(dialog, name)); }
    // Presses on the point, moves to the other with the button held, lets go.
    void Drag(PointF from, PointF to)
    {
        MoveTo(from);
        Press();
        for (int step = 1; step <= 4; ++step) {
            MoveTo(PointF(from.x + (to.x - from.x) * static_cast<float>(step) / 4.0f,
                          from.y + (to.y - from.y) * static_cast<float>(step) / 4.0f));
        }
        Release();
    }
    void Key(const std::string& key)
    {
        const int ups = probe_->keyUps;
        EXPECT_TRUE(Xdo("key --window " + window_ + " " + key));
        EXPECT_TRUE(FramesUntil([this, ups] { return probe_->keyUps > ups; })) << "the key " << key << " arrives";
    }

    // The scene's dialog of that key, made, added and shown, past its fade.
    Dialog* Show(const std::string& key)
    {
        Dialog* dialog = scene_->GetDialog(key, std::string());
        if (dialog != nullptr) {
            scene_->AddChild(dialog);
            dialog->Show();
            Settle();
        }
        return dialog;
    }
    bool IsOpen(const std::string& key) const { return scene_->FindDialog(key) != nullptr; }
    // The picture now, against the one the drawing test keeps for this dialog.
    void ExpectPicture(const char* golden)
    {
        const Picture picture = Draw();
        const std::string shots = std::string(QMV_BINARY_DIR) + "/test-home/dialog-e2e";
        fs::create_directories(shots);
        graphicstest::WritePng(shots + "/" + golden + ".png", picture);
        EXPECT_EQ(CompareWithGolden(golden, picture, 8), "") << golden;
    }

    // Seconds of sound the output has written so far.
    double CapturedSeconds() const
    {
        std::error_code error;
        const auto bytes = fs::file_size(capture_, error);
        return error ? 0.0 : static_cast<double>(bytes) / (kRate * 4);
    }

    fs::path home_;
    fs::path previous_;
    std::string capture_;
    std::string window_;
    SmartPtr<LoggingGameScene> scene_;
    SmartPtr<InputHandler> handler_;
    std::unique_ptr<InputProbe> probe_;
};

void CountCall(void* counter, void*)
{
    ++*static_cast<int*>(counter);
}

}  // namespace

TEST_F(DialogE2ETest, EachDialogDoesWhatItsButtonsAndKeysSay)
{
    // A question: no closes it and does nothing else, yes runs its action.
    int yes = 0;
    DialogYesNo* question = DialogYesNo::Open(scene_.Get(), "CTEXT_MENU_STOP", "CTEXT_MENU_STOP_HEADER", &yes,
                                              &CountCall, nullptr, nullptr);
    ASSERT_NE(question, nullptr);
    scene_->AddChild(question);
    question->Show();
    Settle();
    ExpectPicture("dialog_yesno");
    Click(question, "BUTTON_NO");
    Settle();
    EXPECT_FALSE(IsOpen("CTEXT_MENU_STOP"));
    EXPECT_EQ(yes, 0);
    question = DialogYesNo::Open(scene_.Get(), "CTEXT_MENU_STOP", "CTEXT_MENU_STOP_HEADER", &yes, &CountCall,
                                 nullptr, nullptr);
    scene_->AddChild(question);
    question->Show();
    Settle();
    Click(question, "BUTTON_YES");
    EXPECT_EQ(yes, 1);
    EXPECT_TRUE(IsOpen("CTEXT_MENU_STOP")) << "closing is the yes action's business";
    scene_->CloseDialog(question);
    Frames(2);

    // The menu: help opens over it and pages on; stop asks first and no
    // leaves the game untouched; resume closes the menu and refreshes the game.
    Dialog* menu = Show("DIALOG_MENU");
    ASSERT_NE(menu, nullptr);
    ExpectPicture("dialog_menu");
    Click(menu, "BUTTON_HOWTOPLAY");
    Settle();
    auto* overMenu = static_cast<DialogHelp*>(scene_->FindDialog("DIALOG_HELP"));
    ASSERT_NE(overMenu, nullptr) << "help opens over the menu";
    const std::int32_t page = overMenu->GetCurrentPage();
    Click(overMenu, "BUTTON_NEXT");
    EXPECT_EQ(overMenu->GetCurrentPage(), page + 1);
    Click(overMenu, "BUTTON_OK");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_HELP"));
    EXPECT_TRUE(IsOpen("DIALOG_MENU"));
    Click(menu, "BUTTON_STOP");
    Settle();
    Dialog* stop = scene_->FindDialog("CTEXT_MENU_STOP");
    ASSERT_NE(stop, nullptr);
    Click(stop, "BUTTON_NO");
    Settle();
    EXPECT_FALSE(IsOpen("CTEXT_MENU_STOP"));
    EXPECT_TRUE(IsOpen("DIALOG_MENU"));
    EXPECT_TRUE(scene_->log.empty());
    Click(menu, "BUTTON_RESUME");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_MENU"));
    EXPECT_EQ(scene_->log, (std::vector<std::string>{"refresh DIALOG_MENU"}));
    scene_->log.clear();

    // A pause ends with a click anywhere.
    Dialog* pause = Show("DIALOG_PAUSE");
    ASSERT_NE(pause, nullptr);
    ExpectPicture("dialog_pause");
    ClickAt(PointF(40.0f, 40.0f));
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_PAUSE"));
    EXPECT_EQ(scene_->log, (std::vector<std::string>{"refresh DIALOG_PAUSE"}));
    scene_->log.clear();

    // Return goes on from the tutorial, the next round and the pass; the end
    // of the game leaves through its buttons.
    ASSERT_NE(Show("DIALOG_TUTORIAL"), nullptr);
    ExpectPicture("dialog_tutorial");
    Key("Return");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_TUTORIAL"));
    ASSERT_NE(Show("DIALOG_NEXTROUND"), nullptr);
    Frames(140);    // past the last ball of the burst
    ExpectPicture("dialog_nextround");
    Key("a");
    EXPECT_TRUE(IsOpen("DIALOG_NEXTROUND")) << "only Return goes on";
    Key("Return");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_NEXTROUND"));
    ASSERT_NE(Show("DIALOG_PASSROUND"), nullptr);
    ExpectPicture("dialog_passround");
    Key("Return");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_PASSROUND"));
    Dialog* end = Show("DIALOG_ENDGAME");
    ASSERT_NE(end, nullptr);
    ExpectPicture("dialog_endgame");
    Click(end, "BUTTON_REPLAY");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_ENDGAME"));
    EXPECT_EQ(scene_->log, (std::vector<std::string>{"refresh DIALOG_TUTORIAL", "next round", "next round", "new round"}));
    scene_->log.clear();

    // High scores: a tab shows its mode's table without changing the game's
    // mode; in a game the close button leaves through the scene.
    // The default names drawn as the drawing test draws them.
    Random::SetInstance(new Random(1));
    Dialog* scores = Show("DIALOG_HIGHSCORES");
    ASSERT_NE(scores, nullptr);
    ExpectPicture("dialog_highscores");
    Click(scores, "SWITCH_BLITZ");
    EXPECT_TRUE(static_cast<Switch*>(scores->FindChild("SWITCH_BLITZ", true))->IsChecked());
    EXPECT_EQ(static_cast<Sprite*>(scores->FindChild("TAB_PAGE01", true))->GetFrame(), 3);
    EXPECT_EQ(GameMode::Get(), GameMode::kTimed);
    Click(scores, "BUTTON_MAINMENU");
    EXPECT_EQ(scene_->log, (std::vector<std::string>{"save and quit DIALOG_HIGHSCORES"}));
    scene_->CloseDialog(scores);
    Frames(2);

    // Help on its own, on the timed mode's page; its OK closes it.
    Dialog* help = Show("DIALOG_HELP");
    ASSERT_NE(help, nullptr);
    ExpectPicture("dialog_help");
    Click(help, "BUTTON_OK");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_HELP"));

    // Congratulations spell their burst, then Return leads to the high scores.
    ASSERT_NE(Show("DIALOG_CONGRATS"), nullptr);
    Frames(140);
    ExpectPicture("dialog_congrats");
    Key("Return");
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_CONGRATS"));
    EXPECT_EQ(scene_->log, (std::vector<std::string>{"save and quit DIALOG_HIGHSCORES", "high scores"}));

    // The credits close on a click anywhere.
    Dialog* credits = Show("DIALOG_CREDITS");
    ASSERT_NE(credits, nullptr);
    ExpectPicture("dialog_credits");
    ClickAt(PointF(20.0f, 580.0f));
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_CREDITS"));
}

// The settings changed by hand: full screen, both volumes (heard on the
// captured output) and the word length; after a restart of the stores the
// full screen and the volumes come back from the registry file and the word
// length from the players file.
TEST_F(DialogE2ETest, TheSettingsAreHeardAndComeBackAfterARestart)
{
    ASSERT_TRUE(SoundManager::IsSoundUp()) << "the output plays on SDL's disk driver";
    SoundManager* sound = SoundManager::GetInstance();
    // The loudness of one dialog's opening sound, alone.
    auto showSound = [this]() {
        const double from = CapturedSeconds();
        Dialog* credits = Show("DIALOG_CREDITS");
        EXPECT_NE(credits, nullptr);
        Frames(40, false);
        scene_->CloseDialog(credits);
        Frames(2, false);
        return Rms(capture_, from, 1.2);
    };
    auto music = [this]() {
        Frames(30, false);
        const double from = CapturedSeconds();
        Frames(60, false);
        return Rms(capture_, from, 0.8);
    };
    const double effectsBefore = showSound();
    auto* stream = dynamic_cast<ResourceStream*>(ResourceManager::GetInstance()->GetResource("MUSIC_menu", "music"));
    ASSERT_NE(stream, nullptr);
    sound->PlayMusic(stream->GetStream(), 1.0f);
    const double musicBefore = music();

    Dialog* dialog = Show("DIALOG_SETTINGS");
    ASSERT_NE(dialog, nullptr);
    ExpectPicture("dialog_settings_stored");
    auto* fullscreen = static_cast<Switch*>(dialog->FindChild("SWITCH_FULLSCREEN", true));
    auto* effects = static_cast<Slider*>(dialog->FindChild("SLIDER_FXVOL", true));
    auto* musicSlider = static_cast<Slider*>(dialog->FindChild("SLIDER_MUSICVOL", true));
    EXPECT_FALSE(fullscreen->IsChecked()) << "the window is not in full screen";
    EXPECT_FLOAT_EQ(effects->GetValue(), 0.5f);
    EXPECT_TRUE(static_cast<Switch*>(dialog->FindChild("SWITCH_LENGTH_6", true))->IsChecked());
    // Holding the effects knob plays the slider sound at most twice a second.
    Button* held = effects->GetKnob();
    MoveTo(held->LocalToGlobal(held->GetWidth() / 2, held->GetHeight() / 2));
    // The press is counted in the loop: its first sound starts on the frame
    // that hands it on. The knob is held for two seconds and until the sound
    // has started three times, however slowly a busy machine makes frames;
    // twice a second at most allows one start, and one more for each half
    // second held.
    const auto pressed = std::chrono::steady_clock::now();
    EXPECT_TRUE(Xdo("mousedown 1"));
    int starts = 0;
    int playing = OSND_GetChannelsPlaying();
    for (auto now = pressed; now - pressed < std::chrono::seconds(30) &&
                             (starts < 3 || now - pressed < std::chrono::seconds(2));
         now = std::chrono::steady_clock::now()) {
        Frames(1, false);
        const int channels = OSND_GetChannelsPlaying();
        starts += channels > playing ? 1 : 0;
        playing = channels;
    }
    const auto heldMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed).count();
    Release();
    EXPECT_GE(starts, 3) << "in " << heldMs << " ms held";
    EXPECT_LE(starts, 1 + heldMs / 500) << "in " << heldMs << " ms held";
    EXPECT_FLOAT_EQ(effects->GetValue(), 0.5f) << "a knob held still keeps its value";
    for (Slider* slider : {effects, musicSlider}) {
        Button* knob = slider->GetKnob();
        Drag(knob->LocalToGlobal(knob->GetWidth() / 2, knob->GetHeight() / 2),
             slider->LocalToGlobal(slider->GetWidth() * 0.08f, slider->GetHeight() / 2));
    }
    EXPECT_LT(effects->GetValue(), 0.2f);
    EXPECT_LT(musicSlider->GetValue(), 0.2f);
    EXPECT_FLOAT_EQ(sound->GetSoundVolume(), effects->GetValue()) << "the effects follow the slider at once";
    // The credits open over the settings where they stand over the scene,
    // in the middle of the screen; a click closes them and the settings stay.
    Click(dialog, "BUTTON_INFO");
    Settle();
    Dialog* credits = scene_->FindDialog("DIALOG_CREDITS");
    ASSERT_NE(credits, nullptr);
    EXPECT_EQ(credits->GetParent(), dialog);
    EXPECT_FLOAT_EQ(credits->GetGlobalX(), std::floor((kWidth - credits->GetWidth()) / 2.0f));
    EXPECT_FLOAT_EQ(credits->GetGlobalY(), std::floor((kHeight - credits->GetHeight()) / 2.0f));
    ClickAt(PointF(20.0f, 580.0f));
    Settle();
    EXPECT_FALSE(IsOpen("DIALOG_CREDITS"));
    EXPECT_TRUE(IsOpen("DIALOG_SETTINGS"));
    Click(dialog, "SWITCH_FULLSCREEN");
    EXPECT_TRUE(fullscreen->IsChecked());
    Click(dialog, "SWITCH_LENGTH_8");
    EXPECT_TRUE(static_cast<Switch*>(dialog->FindChild("SWITCH_LENGTH_8", true))->IsChecked());
    EXPECT_FALSE(static_cast<Switch*>(dialog->FindChild("SWITCH_LENGTH_6", true))->IsChecked());
    const float effectsVolume = effects->GetValue();
    const float musicVolume = musicSlider->GetValue();
    Click(dialog, "BUTTON_OK");
    Frames(60, false);
    EXPECT_FALSE(IsOpen("DIALOG_SETTINGS"));
    EXPECT_TRUE(GameWindow::GetInstance()->IsFullscreen());

    const double musicAfter = music();
    EXPECT_LT(musicAfter, musicBefore * 0.5) << "before " << musicBefore;
    EXPECT_GT(musicBefore, 0.01);
    sound->StopMusic();
    Frames(30, false);
    const double effectsAfter = showSound();
    EXPECT_GT(effectsBefore, 0.01);
    EXPECT_LT(effectsAfter, effectsBefore * 0.5) << "before " << effectsBefore;
    std::printf("effects RMS %.4f -> %.4f, music RMS %.4f -> %.4f, slider sounds: %d\n", effectsBefore,
                effectsAfter, musicBefore, musicAfter, starts);

    // A restart reads what OK stored.
    StopStores();
    StartStores();
    GameSettings* stored = SettingsManager::GetInstance()->GetSettings();
    EXPECT_TRUE(stored->IsFullscreen());
    EXPECT_NEAR(stored->GetSoundVolume(), effectsVolume, 1e-4);
    EXPECT_NEAR(stored->GetMusicVolume(), musicVolume, 1e-4);
    auto* player = static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->GetName(), "Ann");
    EXPECT_EQ(player->GetMaxLength(), 8);
    EXPECT_TRUE(fs::exists(home_ / "XDG_CONFIG_HOME/Orvendale/registry/current-user.reg"));
}

}  // namespace dialog_e2_e_test
