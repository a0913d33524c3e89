// The menu's logos as they spring over many visits: the shipped menu and
// trophy room under the scene manager, run frame by frame with the sound
// mixed offline, so that each frame's starts of a logo's sound are counted
// and the mix over the springs is measured for clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "framework/sound/Sound.h"
#include "game/frontend/SelectionScene.h"
#include "game/frontend/TrophyScene.h"
#include "sound/include/osnd.h"
#include "tests/game/frontend/MixedSound.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

namespace menu_springs_gl_test {

using namespace Qmv2;

namespace {

class MenuSpringsGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    MenuSpringsGlTest() : ShippedSceneGlTest("menu springs test") {}

    static OSND_SAMPLE* SampleOf(const char* key)
    {
        ResourceObject* resource = ResourceManager::GetInstance()->GetResource(key, "default");
        BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
        return content != nullptr && content->IsOfType(&Sound::s_Type) ? static_cast<Sound*>(content)->GetSample()
                                                                       : nullptr;
    }
    // Copies of the sample started since the last mix: they have not moved.
    static int Started(OSND_SAMPLE* sample)
    {
        int count = 0;
        for (int channel = 0; channel < OSND_GetMaxChannels(); ++channel) {
            if (OSND_IsPlaying(channel) && OSND_GetCurrentSample(channel) == sample &&
                OSND_GetCurrentPosition(channel) == 0) {
                ++count;
            }
        }
        return count;
    }
    // One frame of `dt` ms as the game runs it (the scene switch, the tick of
    // the scenes and of the animations, the purge), then its mix; keeps the
    // most copies of one logo sound started in a frame.
    void Frame(frontendtest::MixedSound& sound, std::int32_t dt)
    {
        SceneManager::GetInstance()->Execute(dt);
        GameTree::GetInstance()->TickTree(dt);
        AnimTree::GetInstance()->Update(static_cast<std::uint32_t>(dt));
        AnimTree::GetInstance()->Purge();
        mostStarted = std::max({mostStarted, Started(spring), Started(bounce)});
        sound.Mix(dt);
    }
    // Frames of `dt` until `scene` is on screen and takes input.
    bool Enter(frontendtest::MixedSound& sound, Scene* scene, std::int32_t dt)
    {
        SceneManager* scenes = SceneManager::GetInstance();
        for (int i = 0; i < 200; ++i) {
            if (scenes->GetCurrentScene() == scene && scene->GetLoadState() == Scene::kActive) {
                return true;
            }
            Frame(sound, dt);
        }
        return false;
    }

    OSND_SAMPLE* spring = nullptr;
    OSND_SAMPLE* bounce = nullptr;
    int mostStarted = 0;
};

}  // namespace

// A player who leaves the menu while its ball logo bounces and comes back
// through the transition, again and again: the bounce left half-way waits
// with the menu's animations, and the next one must not fall due before it
// is over. Two bounces of one logo drive its frames together and start
// their sounds in the same frames, twice as loud; frames of a tenth of a
// second, as on a busy machine, follow the last return.
TEST_F(MenuSpringsGlTest, ABounceLeftHalfWayIsNotJoinedByTheNextOneOnReturn)
{
    frontendtest::MixedSound sound;
    ASSERT_TRUE(sound.IsUp());
    spring = SampleOf("SOUND_loading_spring");
    bounce = SampleOf("SOUND_loading_bounce");
    ASSERT_NE(spring, nullptr);
    ASSERT_NE(bounce, nullptr);
    SceneManager* scenes = SceneManager::GetInstance();
    auto* menu = dynamic_cast<SelectionScene*>(scenes->CreateScene("SCENE_SELECTION", std::string()));
    auto* room = dynamic_cast<TrophyScene*>(scenes->CreateScene("SCENE_TROPHY", std::string()));
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(room, nullptr);
    scenes->RequestScene(menu);
    ASSERT_TRUE(Enter(sound, menu, 16));
    GameNode* logo = menu->FindChild("LOGO_BOUNCE", true);
    ASSERT_NE(logo, nullptr);

    // Out and back each time a bounce is under way, until a return brings a
    // new bounce while an earlier one waits: then the menu is watched for
    // as long as both take.
    const std::size_t from = sound.Frames();
    int visits = 0;
    for (; visits < 60; ++visits) {
        for (int i = 0; i < 1000 && logo->GetAnimations().empty(); ++i) {
            Frame(sound, 16);
        }
        ASSERT_FALSE(logo->GetAnimations().empty()) << "the ball logo bounces within 16 s";
        const std::int32_t before = menu->GetBounceTimer();
        menu->StartTrophy();
        ASSERT_TRUE(Enter(sound, room, 16));
        room->BackToMenu();
        ASSERT_TRUE(Enter(sound, menu, 16));
        if (menu->GetBounceTimer() > before) {
            break;
        }
    }
    for (int t = 0; t < 3000; t += 100) {
        Frame(sound, 100);
    }
    std::printf("%d visits; at most %d copies of a logo sound started in one frame\n", visits, mostStarted);
    EXPECT_LE(mostStarted, 1) << "copies of one logo sound started in the same frame";
    sound.ExpectUnclipped(from, "the returns to the menu");
}

}  // namespace menu_springs_gl_test
