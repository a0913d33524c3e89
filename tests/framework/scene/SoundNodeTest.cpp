// The sound node through the engine's no-sound output, with the mix captured.
#include <cstdlib>

#include "DialogTestSupport.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/ModifierSound.h"
#include "framework/scene/SoundNode.h"
#include "framework/sound/Sound.h"
#include "tests/framework/sound/SoundFixture.h"

namespace sound_node_test {

namespace {

using Qmv2::SmartPtr;
using Qmv2::SoundNode;

class SoundNodeTest : public QmvTest::SoundFixture {
protected:
    void SetUp() override
    {
        SoundFixture::SetUp();
        ASSERT_TRUE(StartManager());
        // 100 ms of a constant tone.
        QmvTest::WriteWav("sounds/tone.wav", QmvTest::Constant(4410, 12000));
        sound = new Qmv2::Sound();
        ASSERT_EQ(sound->Load("sounds/tone.wav", 0), 0);
        ASSERT_EQ(sound->GetLengthMs(), 100);
    }
    void TearDown() override
    {
        node = nullptr;
        sound = nullptr;
        SoundFixture::TearDown();
    }
    // A node made from keys, playing the tone.
    SoundNode* Make(std::initializer_list<std::pair<const char*, const char*>> keys)
    {
        SmartPtr<Qmv2::PropertyNode> description(new Qmv2::PropertyNode("SOUND_NODE", "SoundNode"));
        for (const auto& key : keys) {
            description->AddChild(new Qmv2::PropertyValue(key.first, "", key.second));
        }
        node = new SoundNode(description.Get());
        node->SetSound(sound.Get());
        return node.Get();
    }

    SmartPtr<Qmv2::Sound> sound;
    SmartPtr<SoundNode> node;
};

TEST_F(SoundNodeTest, PlaysWithItsOwnSettingsAndLimitsOverlappingStarts)
{
    Make({{"maxusers", "1"}, {"minstartinterval", "200"}});
    const std::int32_t channel = node->Play(0.5f, -1.0f, 2.0f);
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetVolume(channel), 127);
    EXPECT_EQ(Channel(channel).pan, 1);
    EXPECT_EQ(OSND_GetFrequency(channel), 88200);
    Mix();
    ASSERT_GE(captured.size(), 256u);
    long left = 0;
    long right = 0;
    for (std::size_t frame = 0; frame < 128; ++frame) {
        left += std::abs(captured[2 * frame]);
        right += std::abs(captured[2 * frame + 1]);
    }
    EXPECT_GT(left, 128L * 1000) << "the tone is heard on the left";
    EXPECT_LT(right * 8, left);

    // 50 ms later a second start joins the running sound.
    node->Update(50);
    EXPECT_EQ(node->Play(1.0f, 0.0f, 1.0f), channel);
    EXPECT_EQ(node->GetUsers(), 2);
    EXPECT_FALSE(node->Stop()) << "one user remains";
    EXPECT_TRUE(OSND_IsPlaying(channel));

    // The length runs out: the node stops its sound.
    node->Update(60);
    EXPECT_EQ(node->GetUsers(), 0);
    EXPECT_EQ(node->GetChannel(), -1);
    EXPECT_FALSE(OSND_IsPlaying(channel));
}

TEST_F(SoundNodeTest, RunningOutIsOneUsersStopAndLeavesTheOthersTheirs)
{
    Make({{"maxusers", "1"}, {"minstartinterval", "200"}});
    const std::int32_t channel = node->Play(1.0f, 0.0f, 1.0f);
    ASSERT_GE(channel, 0);
    node->Update(50);
    EXPECT_EQ(node->Play(1.0f, 0.0f, 1.0f), channel);
    EXPECT_EQ(node->GetUsers(), 2);

    // The length runs out with two users: it counts as one of them stopping.
    node->Update(60);
    EXPECT_EQ(node->GetUsers(), 1);
    EXPECT_EQ(node->GetChannel(), channel) << "the other user still holds the sound";

    // The last user's stop ends it.
    node->Stop();
    EXPECT_EQ(node->GetUsers(), 0);
    EXPECT_EQ(node->GetChannel(), -1);
}

TEST_F(SoundNodeTest, ForcedStopLoopingAndPanning)
{
    Make({{"forcedstop", "true"}, {"maxusers", "3"}, {"looped", "true"}, {"screenpospanning", "1"}});
    scenetest::FixedWindow* window = new scenetest::FixedWindow(800, 600);
    Qmv2::GameWindow::SetInstance(window);
    SmartPtr<Qmv2::GameNode> parent(new Qmv2::GameNode("parent"));
    parent->AddChild(node.Get());
    const std::int32_t first = node->Play(1.0f, 0.0f, 1.0f);
    const std::int32_t channel = node->Play(1.0f, 0.0f, 1.0f);
    EXPECT_EQ(node->GetUsers(), 2);
    EXPECT_FALSE(OSND_IsPlaying(first)) << "a restarted loop does not leave its first copy playing";
    node->Update(500);
    EXPECT_TRUE(OSND_IsPlaying(channel)) << "a looped sound never stops by itself";
    EXPECT_EQ(Channel(channel).pan, 128) << "the parent at the left edge";
    parent->SetX(800.0f);
    node->Update(16);
    EXPECT_EQ(Channel(channel).pan, 255) << "at the right edge";
    node->SetPan(-2.0f);
    EXPECT_EQ(Channel(channel).pan, 1) << "kept within the pan range";
    EXPECT_TRUE(node->Stop()) << "forced: one stop ends it whatever the users";
    EXPECT_FALSE(OSND_IsPlaying(channel));
    parent->DetachAndReleaseChildren();
    Qmv2::GameWindow::ReleaseInstance();
}

}  // namespace

namespace {

TEST_F(SoundNodeTest, ASoundModifierWithoutItsOwnSoundPlaysTheNodeItTargets)
{
    Make({{"volume", "0.5"}, {"panning", "1"}, {"pitch", "2"}});
    Qmv2::ModifierSound modifier("SOUND_NOT_KNOWN", "default");
    modifier.SetTarget(node.Get());
    modifier.SetFinishAtOnce(false);
    modifier.Update(16);
    const std::int32_t channel = node->GetChannel();
    ASSERT_GE(channel, 0) << "the node played";
    EXPECT_EQ(OSND_GetVolume(channel), 127);
    EXPECT_EQ(Channel(channel).pan, 255);
    EXPECT_EQ(OSND_GetFrequency(channel), 88200);
    EXPECT_FALSE(modifier.IsFinished()) << "it waits for the node's sound";
    modifier.Update(100);
    EXPECT_TRUE(modifier.IsFinished());
}

}  // namespace

}  // namespace sound_node_test
