// Drawing only what changed gives the same pictures as drawing every frame
// whole. One scripted path through the menu, its dialogs (one over another),
// a classic round, Blitz, Crisscross and the word of the day, with typing,
// pop-ups, the running clock and the transitions between the scenes, is
// played twice in fixed steps from the same seeds: once with every frame drawn
// whole (QMV_FULL_REDRAW=1) and once drawing only the changed rectangles. Every
// presented frame must be the same picture in both. At the first difference
// both pictures and their difference are written as PNGs into
// QMV_DAMAGE_DIR (or the test's working folder) for a person to look at.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/scene/BackgroundNode.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/TaskPurge.h"
#include "framework/scene/TaskRender.h"
#include "game/words/AnagramTable.h"
#include "game/words/ClassicRack.h"
#include "game/words/GameMode.h"
#include "game/Quorvel2Main.h"
#include "game/words/GameScene.h"
#include "game/words/iWordPoolPosition.h"
#include "platform/d3d9/TestHooks.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

namespace damage_tracking_gl_test {

using namespace Qmv2;

namespace {

constexpr std::int32_t kStep = 16;  // ms a frame

struct Played {
    std::vector<std::size_t> frames;  // a hash per presented frame
    graphicstest::Picture stopped;      // the frame at the stop, when asked
    platform::d3d9::FrameCounts counts;
    std::vector<std::string> unchangedButDrawn;  // still frames that drew or presented
};

class DamageTrackingGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    DamageTrackingGlTest() : ShippedSceneGlTest("damage tracking test") {}

    // Each run makes its world.
    void SetUp() override {}
    void TearDown() override {}

    // The path, played in a world of its own (window, device, data folder,
    // scenes); stops after frame `stopAt` (-1: plays it whole), keeping it.
    Played Play(bool fullRedraw, long stopAt)
    {
        Played run;
        if (fullRedraw) {
            setenv("QMV_FULL_REDRAW", "1", 1);
        } else {
            unsetenv("QMV_FULL_REDRAW");
        }
        setenv("QMV_RANDOM_SEED", "7", 1);
        ShippedSceneGlTest::SetUp();
        if (!HasFatalFailure()) {
            m_Run = &run;
            m_StopAt = stopAt;
            Path();
            platform::d3d9::GetFrameCounts(renderer_->GetDevice(), &run.counts);
            m_Run = nullptr;
        }
        if (m_Copy != nullptr) {
            m_Copy->Release();
            m_Copy = nullptr;
        }
        ShippedSceneGlTest::TearDown();
        unsetenv("QMV_FULL_REDRAW");
        unsetenv("QMV_RANDOM_SEED");
        return run;
    }

    // One step of the game's loop, as its tasks run it, then the picture shown.
    void Frame(std::int32_t dt = kStep)
    {
        if (Stopped()) {
            return;
        }
        SceneManager::GetInstance()->Execute(dt);
        TaskTickUpdateLike(dt);
        TaskPurge(GameTree::GetInstance(), AnimTree::GetInstance()).Execute(dt);
        TaskRender(GameTree::GetInstance()).Execute(dt);
        if (static_cast<long>(m_Run->frames.size()) == m_StopAt) {
            m_Run->stopped = Capture();
        }
        m_Run->frames.push_back(HashBackBuffer());
    }
    // The back buffer's bytes hashed (the picture a frame presents).
    std::size_t HashBackBuffer()
    {
        IDirect3DDevice9* device = renderer_->GetDevice();
        const D3DPRESENT_PARAMETERS& parameters = renderer_->GetPresentParameters();
        if (m_Copy == nullptr) {
            EXPECT_EQ(device->CreateOffscreenPlainSurface(parameters.BackBufferWidth, parameters.BackBufferHeight,
                                                          parameters.BackBufferFormat, D3DPOOL_SYSTEMMEM, &m_Copy,
                                                          nullptr),
                      D3D_OK);
        }
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
        EXPECT_EQ(device->GetRenderTargetData(back, m_Copy), D3D_OK);
        back->Release();
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(m_Copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const std::size_t hash = std::hash<std::string_view>{}(
            std::string_view(static_cast<const char*>(locked.pBits),
                             static_cast<std::size_t>(locked.Pitch) * parameters.BackBufferHeight));
        m_Copy->UnlockRect();
        return hash;
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            Frame();
        }
    }
    // A frame in which no time passes and nothing is touched: it must draw
    // nothing and present nothing.
    void StillFrame(const std::string& where)
    {
        if (Stopped()) {
            return;
        }
        platform::d3d9::FrameCounts before;
        platform::d3d9::GetFrameCounts(renderer_->GetDevice(), &before);
        Frame(0);
        platform::d3d9::FrameCounts after;
        platform::d3d9::GetFrameCounts(renderer_->GetDevice(), &after);
        if (after.backBufferDraws != before.backBufferDraws || after.presents != before.presents) {
            m_Run->unchangedButDrawn.push_back(where);
        }
    }
    bool Stopped() const { return m_StopAt >= 0 && static_cast<long>(m_Run->frames.size()) > m_StopAt; }

    static void TaskTickUpdateLike(std::int32_t dt)
    {
        GameTree::GetInstance()->TickTree(dt);
        AnimTree::GetInstance()->Update(static_cast<std::uint32_t>(dt));
    }

    static void Type(GameScene* scene, const std::string& letters)
    {
        for (char c : letters) {
            KeyboardMessageData key(static_cast<unsigned char>(c), 0);
            scene->OnKeyDown(&key);
        }
    }
    static void Enter(GameScene* scene)
    {
        KeyboardMessageData enter(0, 5);
        scene->OnKeyDown(&enter);
    }

    // Goes to a new scene of `key` in `mode` through the default transition
    // and runs it until it has come in.
    GameScene* PlayScene(const char* key, std::int32_t mode, const std::string& name)
    {
        GameMode::Set(mode);
        SceneManager* scenes = SceneManager::GetInstance();
        Scene* made = scenes->CreateScene(key, name);
        EXPECT_NE(made, nullptr) << key;
        scenes->StartTransition("TRANSITION_DEFAULT");
        scenes->RequestScene(made);
        Frames(45);
        return dynamic_cast<GameScene*>(made);
    }

    void DialogOverDialog(Scene* scene, const char* lower, const char* upper)
    {
        Dialog* first = scene->GetDialog(lower, std::string());
        ASSERT_NE(first, nullptr) << lower;
        scene->ShowDialog(first);
        Frames(25);
        StillFrame(std::string(lower) + " open");
        Dialog* second = scene->GetDialog(upper, std::string());
        ASSERT_NE(second, nullptr) << upper;
        scene->ShowDialog(second);
        Frames(25);
        scene->CloseDialog(second);
        Frames(8);
        scene->CloseDialog(first);
        Frames(8);
    }

    void Round(GameScene* scene, const char* what)
    {
        ASSERT_NE(scene, nullptr) << what;
        StillFrame(std::string(what) + " dealt");
        // Typing: an answer where the rack has a table of them, else letters.
        std::string word = "stone";
        if (ClassicRack* rack = scene->GetRack(); rack != nullptr && rack->GetTable() != nullptr &&
                                                  rack->GetTable()->GetAnswers().GetCount() > 0) {
            word = rack->GetTable()->GetAnswers()[0];
        }
        for (char c : word) {
            Type(scene, std::string(1, c));
            Frames(2);
        }
        Enter(scene);
        Frames(25);
        Type(scene, "zq");
        Frames(3);
        Enter(scene);
        Frames(10);
        scene->ShowPopup(GameScene::kCommentNoWord);
        Frames(30);
        scene->ShowTrophyPopup(0);
        Frames(40);
        // The clock runs: its digits change each second.
        Frames(70);
        DialogOverDialog(scene, "DIALOG_MENU", "DIALOG_HELP");
        Frames(5);
    }

    void Path()
    {
        // The program's backdrop, under everything, as it stands in the game.
        auto* backdrop = new BackgroundNode(Color(Quorvel::Quorvel2Main::kBackgroundColor));
        backdrop->InsertBefore(GameTree::GetInstance()->GetFirstChild());
        // Ann's pool of source words shuffled alike in both runs.
        auto* pool = dynamic_cast<iWordPoolPosition*>(PlayerManager::GetInstance()->GetCurrentPlayer());
        ASSERT_NE(pool, nullptr);
        pool->SetSeed(7);
        pool->SetIndex(0);
        SceneManager* scenes = SceneManager::GetInstance();
        Scene* menu = scenes->CreateScene("SCENE_SELECTION", std::string());
        ASSERT_NE(menu, nullptr);
        scenes->RequestScene(menu);
        Frames(30);
        StillFrame("the menu");
        DialogOverDialog(menu, "DIALOG_SETTINGS", "DIALOG_CREDITS");
        Round(PlayScene("SCENE_GAME", GameMode::kTimed, "classic"), "classic");
        Round(PlayScene("SCENE_BLITZ", GameMode::kBlitz, "blitz"), "Blitz");
        Round(PlayScene("SCENE_CRISSCROSS", GameMode::kCrisscross, "crisscross"), "Crisscross");
        Round(PlayScene("SCENE_GAME", GameMode::kWordOfTheDay, "word of the day"), "the word of the day");
        scenes->StartTransition("TRANSITION_DEFAULT");
        scenes->RequestScene(menu);
        Frames(45);
        StillFrame("back at the menu");
    }

private:
    Played* m_Run = nullptr;
    IDirect3DSurface9* m_Copy = nullptr;
    long m_StopAt = -1;
};

void WriteDifference(const graphicstest::Picture& whole, const graphicstest::Picture& damaged, long frame)
{
    const char* folder = std::getenv("QMV_DAMAGE_DIR");
    const std::string base = std::string(folder != nullptr ? folder : ".") + "/damage-frame-" + std::to_string(frame);
    graphicstest::Picture difference = whole;
    for (size_t i = 0; i < difference.argb.size() && i < damaged.argb.size(); ++i) {
        difference.argb[i] = whole.argb[i] == damaged.argb[i] ? 0xFF000000u : 0xFFFF00FFu;
    }
    graphicstest::WritePng(base + "-whole.png", whole);
    graphicstest::WritePng(base + "-damaged.png", damaged);
    graphicstest::WritePng(base + "-difference.png", difference);
    ADD_FAILURE() << "frame " << frame << " differs; pictures written to " << base << "-*.png";
}

}  // namespace

TEST_F(DamageTrackingGlTest, EveryFrameDrawnWhereItChangedEqualsTheFrameDrawnWhole)
{
    const Played whole = Play(true, -1);
    const Played damaged = Play(false, -1);
    ASSERT_GT(whole.frames.size(), 800u) << "the path was played";
    ASSERT_EQ(damaged.frames.size(), whole.frames.size());
    // The path shows many different pictures (the scenes are drawn).
    EXPECT_GT(std::set<std::size_t>(whole.frames.begin(), whole.frames.end()).size(), 300u);
    long first = -1;
    long differing = 0;
    for (size_t i = 0; i < whole.frames.size(); ++i) {
        if (whole.frames[i] != damaged.frames[i]) {
            ++differing;
            if (first < 0) {
                first = static_cast<long>(i);
            }
        }
    }
    EXPECT_EQ(differing, 0) << "frames differ, the first is frame " << first;
    if (first >= 0) {
        // The runs are alike step for step: each is played again to that frame.
        WriteDifference(Play(true, first).stopped, Play(false, first).stopped, first);
    }
    // Frames in which nothing changed drew nothing and showed nothing new
    // (drawn whole they would have drawn and shown every one).
    EXPECT_TRUE(damaged.unchangedButDrawn.empty()) << "still frame drawn: " << damaged.unchangedButDrawn.front();
    EXPECT_GT(damaged.counts.unchanged, 0u);
    EXPECT_EQ(whole.counts.unchanged, 0u);
    EXPECT_EQ(whole.counts.presents, whole.frames.size());
    // Drawing only what changed draws less.
    EXPECT_LT(damaged.counts.backBufferDraws, whole.counts.backBufferDraws / 2);
}

}  // namespace damage_tracking_gl_test
