// The sound manager over the engine's no-sound output: set-up, volumes, the
// mute rules and music with fades and cross-fades stepped with chosen frame
// times.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "SoundFixture.h"
#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/SoundManager.h"
#include "sound/src/stream/osnd_stream.h"

namespace sound_manager_test {

namespace {

using Qmv2::Message;
using Qmv2::SmartPtr;
using Qmv2::SoundManager;
using Qmv2::SoundStream;
using QmvTest::Constant;
using QmvTest::WriteWav;

class SoundManagerTest : public QmvTest::SoundFixture {
protected:
    SoundManager* Manager() { return SoundManager::GetInstance(); }

    // A music stream over a new WAV file of `seconds` of a constant level.
    SmartPtr<SoundStream> Music(const std::string& name, int seconds = 3)
    {
        WriteWav("sounds/" + name, Constant(static_cast<std::size_t>(44100 * seconds), 8000));
        SmartPtr<SoundStream> stream(new SoundStream);
        stream->SetFileName("sounds/" + name);
        return stream;
    }

    void Post(std::uint32_t id, bool value) { Manager()->OnMessage(Message(id, new Qmv2::TemplateMessageData<bool>(value))); }

    // The channel's volume as the engine holds it (absolute for streams). A
    // new manager's volumes are the sliders' top: a whole fade is heard at
    // the top level, 153.
    static int Heard(const SoundStream& stream) { return Channel(stream.GetChannel()).volume; }

    void Frames(int count, int elapsed)
    {
        for (int i = 0; i < count; ++i) {
            Manager()->Update(elapsed);
        }
    }
};

TEST_F(SoundManagerTest, FailedSetUpLeavesAHarmlessSilentManager)
{
    SoundManager::EngineSetup tooNew;
    tooNew.output = OSND_OUTPUT_NOSOUND_NONREALTIME;
    tooNew.minimumVersion = 4.0f;
    SoundManager::EngineSetup badRate;
    badRate.output = OSND_OUTPUT_NOSOUND_NONREALTIME;
    badRate.mixRate = 1000;
    for (const SoundManager::EngineSetup& setup : {tooNew, badRate}) {
        SoundManager* manager = SoundManager::Create(setup);
        ASSERT_EQ(manager, SoundManager::GetInstance());
        EXPECT_FALSE(SoundManager::IsSoundUp());
        SmartPtr<SoundStream> music = Music("menu.wav");
        manager->SetSoundVolume(0.5f);
        manager->SetMusicVolume(0.5f);
        manager->PlayMusic(music.Get(), 1.0f);
        EXPECT_FALSE(manager->PlayStream(music.Get(), nullptr, SoundManager::kMusicMode));
        EXPECT_FALSE(manager->PauseMusic());
        Post(Message::kMinimizedChanged, true);
        manager->Update(16);
        manager->StopMusic();
        EXPECT_FALSE(music->IsOpen());
        EXPECT_EQ(manager->GetCurrentStream(), nullptr);
        SoundManager::ReleaseInstance();
    }
}

TEST_F(SoundManagerTest, SetUpReachesTheEngineWithTheGameSettings)
{
    ASSERT_TRUE(StartManager());
    EXPECT_EQ(OSND_GetOutputRate(), 44100);
    EXPECT_GE(OSND_GetMaxChannels(), 32);
    EXPECT_GE(OSND_GetMixer(), OSND_MIXER_QUALITY_FPU);
    EXPECT_LE(OSND_GetMixer(), OSND_MIXER_QUALITY_MMXP6);
    EXPECT_FLOAT_EQ(gOsnd.panSeparation, 1.0f);
    EXPECT_FLOAT_EQ(Manager()->GetSoundVolume(), 1.0f);
    EXPECT_FLOAT_EQ(Manager()->GetMusicVolume(), 1.0f);
}

TEST_F(SoundManagerTest, EffectsVolumeIsClampedAndHeldBackWhileTheGameIsMuted)
{
    ASSERT_TRUE(StartManager());
    Manager()->SetSoundVolume(1.7f);
    EXPECT_FLOAT_EQ(Manager()->GetSoundVolume(), 1.0f);
    EXPECT_EQ(gOsnd.sfxMasterVolume, 153);
    Manager()->SetSoundVolume(-1.0f);
    EXPECT_FLOAT_EQ(Manager()->GetSoundVolume(), 0.0f);
    EXPECT_EQ(gOsnd.sfxMasterVolume, 0);

    Manager()->SetGameMute(true);
    Manager()->ApplyVolumes();
    Manager()->SetSoundVolume(0.6f);
    EXPECT_FLOAT_EQ(Manager()->GetSoundVolume(), 0.6f);
    EXPECT_EQ(gOsnd.sfxMasterVolume, 0);
    Manager()->SetGameMute(false);
    Manager()->ApplyVolumes();
    EXPECT_EQ(gOsnd.sfxMasterVolume, 132);
}

// Up to a new player's volumes a slider's place is the engine's level, as
// it always was; above it the level rises in even steps of loudness to a top
// that leaves the mix its headroom, for the effects and the music alike.
TEST_F(SoundManagerTest, TheSlidersLowerHalfIsTheLevelAndTheirTopLeavesHeadroom)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> music = Music("menu.wav");
    ASSERT_TRUE(Manager()->PlayStream(music.Get(), nullptr, SoundManager::kMusicMode));
    const auto levels = [this, &music](float volume) {
        Manager()->SetSoundVolume(volume);
        Manager()->SetMusicVolume(volume);
        Frames(1, 16);
        EXPECT_EQ(Heard(*music), gOsnd.sfxMasterVolume) << volume;
        return gOsnd.sfxMasterVolume;
    };
    EXPECT_EQ(levels(0.25f), 63);
    EXPECT_EQ(levels(0.5f), 127);
    EXPECT_EQ(levels(1.0f), 153);
    EXPECT_FLOAT_EQ(Manager()->GetSoundVolume(), 1.0f) << "the slider's place is kept";
    int last = 0;
    for (int step = 0; step <= 100; ++step) {
        const int level = levels(step / 100.0f);
        EXPECT_GE(level, last) << "rises with the slider, at " << step;
        last = level;
    }
}

TEST_F(SoundManagerTest, TheLatestWindowReportDecidesTheMute)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> music = Music("menu.wav");
    Manager()->SetMusicVolume(0.5f);
    ASSERT_TRUE(Manager()->PlayStream(music.Get(), nullptr, SoundManager::kMusicMode));
    EXPECT_EQ(Heard(*music), 127);
    Manager()->SetSoundVolume(0.8f);

    Post(Message::kMinimizedChanged, true);
    EXPECT_TRUE(Manager()->IsWindowMute());
    EXPECT_EQ(gOsnd.sfxMasterVolume, 0);
    EXPECT_EQ(Heard(*music), 0);
    // Frames while muted keep the music silent.
    Frames(3, 16);
    EXPECT_EQ(Heard(*music), 0);
    // Re-activated while still minimised: the latest report unmutes.
    Post(Message::kActivationChanged, true);
    EXPECT_FALSE(Manager()->IsWindowMute());
    EXPECT_EQ(gOsnd.sfxMasterVolume, 142);
    EXPECT_EQ(Heard(*music), 127);

    Post(Message::kActivationChanged, false);
    EXPECT_EQ(Heard(*music), 0);
    Post(Message::kMinimizedChanged, false);
    EXPECT_EQ(Heard(*music), 127);

    // Other messages and data of another kind change nothing.
    Manager()->OnMessage(Message(Message::kMinimizedChanged, new Qmv2::ScrollMessageData(1.0f)));
    Manager()->OnMessage(Message(Message::kActivationChanged));
    Manager()->OnMessage(Message(Message::kSessionLock, new Qmv2::TemplateMessageData<bool>(true)));
    EXPECT_FALSE(Manager()->IsWindowMute());
    EXPECT_EQ(Heard(*music), 127);
}

TEST_F(SoundManagerTest, AFadeReachesItsTargetOnTheSeventhSixteenMillisecondFrame)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> music = Music("menu.wav");
    ASSERT_TRUE(Manager()->PlayStream(music.Get(), nullptr, SoundManager::kMusicMode));
    music->SetFade(0.0f, 1.0f, 100);
    Frames(6, 16);
    EXPECT_NEAR(music->GetFadeVolume(), 0.96f, 1e-4f);
    EXPECT_EQ(Heard(*music), 146);
    Frames(1, 16);
    EXPECT_FLOAT_EQ(music->GetFadeVolume(), 1.0f);
    EXPECT_EQ(Heard(*music), 153);

    // Downwards, and a duration of 0 counts as 1 ms.
    music->SetFade(1.0f, 0.25f, 0);
    Frames(1, 16);
    EXPECT_FLOAT_EQ(music->GetFadeVolume(), 0.25f);
    EXPECT_EQ(Heard(*music), 38);
}

TEST_F(SoundManagerTest, CrossFadeDelaysTheNewMusicThenSwaps)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> menu = Music("menu.wav");
    SmartPtr<SoundStream> game = Music("game.wav");
    // From silence: the first music waits out the delay, fades in and
    // becomes the current one.
    Manager()->PlayMusic(menu.Get(), 1.0f);
    EXPECT_EQ(Manager()->GetCurrentStream(), nullptr);
    EXPECT_EQ(Heard(*menu), 0);
    Frames(13, 50);  // 600 ms of delay, then half the fade
    EXPECT_EQ(Heard(*menu), 76);
    EXPECT_TRUE(Manager()->IsCrossFading());
    Frames(1, 50);
    EXPECT_EQ(Manager()->GetCurrentStream(), menu.Get());
    EXPECT_FALSE(Manager()->IsCrossFading());
    EXPECT_EQ(Heard(*menu), 153);

    Manager()->PlayMusic(game.Get(), 0.8f);
    EXPECT_TRUE(Manager()->IsCrossFading());
    EXPECT_EQ(Manager()->GetNextStream(), game.Get());
    EXPECT_TRUE(game->IsOpen());
    EXPECT_EQ(Heard(*game), 0);
    // 630 ms: the delay ends below 0 and the new music is rewound, while the
    // old one has faded to 0.37.
    for (int i = 0; i < 8; ++i) {
        Mix();
        Manager()->Update(70);
    }
    Mix();
    const int beforeRewind = OSND_Stream_GetPosition(game->GetStream());
    Manager()->Update(70);
    EXPECT_EQ(Manager()->GetStartDelay(), 0);
    EXPECT_FLOAT_EQ(game->GetFadeVolume(), 0.0f);
    EXPECT_NEAR(menu->GetFadeVolume(), 0.37f, 1e-4f);
    EXPECT_LT(OSND_Stream_GetPosition(game->GetStream()), beforeRewind);
    // The new one fades in over 100 ms, then waits for the old one.
    Frames(2, 70);
    EXPECT_NEAR(game->GetFadeVolume(), 0.8f, 1e-4f);
    EXPECT_EQ(Heard(*game), 122);
    EXPECT_TRUE(Manager()->IsCrossFading());
    Frames(3, 70);
    EXPECT_TRUE(Manager()->IsCrossFading());
    Frames(1, 70);
    EXPECT_FALSE(Manager()->IsCrossFading());
    EXPECT_EQ(Manager()->GetCurrentStream(), game.Get());
    EXPECT_FALSE(menu->IsOpen());
    EXPECT_EQ(menu->GetChannel(), -1);
}

TEST_F(SoundManagerTest, ADelayEndingOnZeroDoesNotRewind)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> menu = Music("menu.wav");
    SmartPtr<SoundStream> game = Music("game.wav");
    ASSERT_TRUE(Manager()->PlayStream(menu.Get(), nullptr, SoundManager::kMusicMode));
    Manager()->PlayMusic(game.Get(), 1.0f);
    const int opened = OSND_Stream_GetPosition(game->GetStream());
    for (int i = 0; i < 6; ++i) {
        Mix(4);
        Manager()->Update(100);
    }
    EXPECT_EQ(Manager()->GetStartDelay(), 0);
    // Still where the silent playing took it: a rewind would have read the
    // file again from its start.
    EXPECT_GT(OSND_Stream_GetPosition(game->GetStream()), opened);
}

TEST_F(SoundManagerTest, SameMusicOnlyFadesToTheNewVolume)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> menu = Music("menu.wav");
    ASSERT_TRUE(Manager()->PlayStream(menu.Get(), nullptr, SoundManager::kMusicMode));
    OSND_STREAM* engineStream = menu->GetStream();
    Mix(8);
    const int position = OSND_Stream_GetPosition(engineStream);
    ASSERT_GT(position, 0);

    // Another object for the same file (a reloaded resource) counts as the same music.
    SmartPtr<SoundStream> again = Music("menu.wav");
    Manager()->PlayMusic(again.Get(), 0.5f);
    EXPECT_FALSE(Manager()->IsCrossFading());
    EXPECT_EQ(Manager()->GetCurrentStream(), menu.Get());
    EXPECT_EQ(menu->GetStream(), engineStream);
    EXPECT_GE(OSND_Stream_GetPosition(engineStream), position);
    EXPECT_FLOAT_EQ(menu->GetFadeTarget(), 0.5f);
    EXPECT_NEAR(menu->GetFadeStep(), 0.5f / 1000.0f, 1e-7f);
    EXPECT_FALSE(again->IsOpen());
}

TEST_F(SoundManagerTest, ASecondMusicDuringACrossFadeClosesTheOutgoingOne)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> menu = Music("menu.wav");
    SmartPtr<SoundStream> game = Music("game.wav");
    SmartPtr<SoundStream> trophy = Music("trophy.wav");
    ASSERT_TRUE(Manager()->PlayStream(menu.Get(), nullptr, SoundManager::kMusicMode));
    Manager()->PlayMusic(game.Get(), 1.0f);
    Frames(3, 16);
    Manager()->PlayMusic(trophy.Get(), 1.0f);
    EXPECT_FALSE(menu->IsOpen());
    EXPECT_EQ(Manager()->GetCurrentStream(), game.Get());
    EXPECT_EQ(Manager()->GetNextStream(), trophy.Get());
    EXPECT_TRUE(Manager()->IsCrossFading());
    EXPECT_EQ(Manager()->GetStartDelay(), SoundManager::kCrossFadeDelayMs);
    EXPECT_FLOAT_EQ(game->GetFadeTarget(), 0.0f);
    EXPECT_TRUE(trophy->IsOpen());
}

TEST_F(SoundManagerTest, PausedMusicResumesWhereItStopped)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> menu = Music("menu.wav");
    ASSERT_TRUE(Manager()->PlayStream(menu.Get(), nullptr, SoundManager::kMusicMode));
    Mix(20);
    ASSERT_TRUE(Manager()->PauseMusic());
    EXPECT_TRUE(Manager()->IsMusicPaused());
    const int saved = menu->GetSavedPosition();
    EXPECT_GT(saved, 0);
    EXPECT_FALSE(Manager()->PauseMusic());  // already paused
    Mix(10);
    EXPECT_EQ(OSND_Stream_GetPosition(menu->GetStream()), saved);

    ASSERT_TRUE(Manager()->PlayStream(menu.Get(), nullptr, SoundManager::kMusicMode));
    EXPECT_FALSE(Manager()->IsMusicPaused());
    EXPECT_EQ(menu->GetSavedPosition(), 0);
    EXPECT_GE(OSND_Stream_GetPosition(menu->GetStream()), saved);
}

TEST_F(SoundManagerTest, APendingPauseWaitsForTheFadeToEnd)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> menu = Music("menu.wav");
    ASSERT_TRUE(Manager()->PlayStream(menu.Get(), nullptr, SoundManager::kMusicMode));
    Manager()->FadeMusic(1.0f, 0.0f);
    Manager()->SetPausePending(true);
    Frames(12, 16);
    EXPECT_FALSE(Manager()->IsMusicPaused());
    Frames(1, 16);
    EXPECT_TRUE(Manager()->IsMusicPaused());
    EXPECT_FALSE(Manager()->IsPausePending());
}

TEST_F(SoundManagerTest, UnopenableMusicAnswersFalseAndKeepsNoChannel)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<SoundStream> missing(new SoundStream);
    missing->SetFileName("sounds/missing.ogg");
    EXPECT_FALSE(Manager()->PlayStream(missing.Get(), nullptr, SoundManager::kMusicMode));
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_TRUE(Manager()->PlayStream(missing.Get(), missing.Get(), SoundManager::kMusicMode));
    EXPECT_FALSE(Manager()->PlayStream(nullptr, missing.Get(), SoundManager::kMusicMode));
    EXPECT_FALSE(Manager()->CloseStream(missing.Get()));
}

TEST_F(SoundManagerTest, SyncPointsAreAddedAtEveryOpenInFileOrder)
{
    ASSERT_TRUE(StartManager());
    WriteWav("sounds/game.wav", Constant(44100, 8000));
    std::ofstream("sounds/game_sync.xml")
        << "<?xml version=\"1.0\" ?>\n<root><Vector id=\"SyncPoints\">"
           "<Node value=\"1000\" /><Node value=\"500\" /></Vector></root>\n";
    SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("MUSIC_game", "Stream"));
    node->AddChild(new Qmv2::PropertyValue("file", "String", "sounds/game.wav"));
    node->AddChild(new Qmv2::PropertyValue("syncpointsfile", "String", "sounds/game_sync.xml"));
    node->AddChild(new Qmv2::PropertyValue("volume", "String", "0.5"));
    SmartPtr<Qmv2::ResourceStream> resource(new Qmv2::ResourceStream(node.Get()));
    resource->Load();
    ASSERT_TRUE(resource->IsLoaded()) << resource->ToString();
    SoundStream* stream = resource->GetStream();
    ASSERT_EQ(stream->GetSyncPoints().GetCount(), 2);
    EXPECT_EQ(stream->GetSyncPoints()[0], 1000);
    EXPECT_EQ(stream->GetSyncPoints()[1], 500);
    EXPECT_FALSE(stream->IsOpen());  // opened only when played
    EXPECT_EQ(resource->ToString().rfind("Object: not 0; SyncPoints: \"sounds/game_sync.xml\"", 0), 0u);

    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(Manager()->PlayStream(stream, nullptr, SoundManager::kMusicMode));
        EXPECT_EQ(Heard(*stream), 76);  // the resource's volume 0.5
        OsndSyncList* list = &stream->GetStream()->sync;
        ASSERT_NE(list, nullptr);
        std::vector<std::uint32_t> offsets;
        for (OsndSyncPoint* point = list->head.next; point != nullptr && point != &list->tail; point = point->next) {
            offsets.push_back(point->offset);
        }
        EXPECT_EQ(offsets, (std::vector<std::uint32_t>{500, 1000}));  // the engine sorts them
        ASSERT_TRUE(Manager()->CloseStream(stream));
        EXPECT_EQ(stream->GetChannel(), -1);
    }
}

TEST_F(SoundManagerTest, StreamResourceErrors)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("MUSIC_none", "Stream"));
    node->AddChild(new Qmv2::PropertyValue("file", "String", "sounds/none.ogg"));
    SmartPtr<Qmv2::ResourceStream> missing(new Qmv2::ResourceStream(node.Get()));
    missing->Load();
    EXPECT_EQ(missing->GetErrorCode(), Qmv2::ResourceObject::kErrorFileNotFound);

    // A piece the engine cannot open fails with the rest of the data, not
    // when it is due to play.
    std::ofstream("sounds/none.ogg", std::ios::binary) << std::string("OggS\0\x02", 6);
    SmartPtr<Qmv2::ResourceStream> damaged(new Qmv2::ResourceStream(node.Get()));
    damaged->Load();
    EXPECT_EQ(damaged->GetErrorCode(), Qmv2::ResourceObject::kErrorInvalidFormat);
    std::remove("sounds/none.ogg");

    WriteWav("sounds/game.wav", Constant(4410, 8000));
    std::ofstream("sounds/broken.xml") << "<root><Node id=\"Other\" /></root>\n";
    node->AddChild(new Qmv2::PropertyValue("file", "String", "sounds/game.wav"));
    node->AddChild(new Qmv2::PropertyValue("syncpointsfile", "String", "sounds/broken.xml"));
    SmartPtr<Qmv2::ResourceStream> broken(new Qmv2::ResourceStream(node.Get()));
    broken->Load();
    EXPECT_FALSE(broken->IsLoaded());
    EXPECT_EQ(broken->GetErrorCode(), Qmv2::ResourceObject::kErrorSubResource);
    broken->Unload();
    EXPECT_EQ(broken->GetErrorCode(), Qmv2::ResourceObject::kErrorNone);
    EXPECT_EQ(broken->GetContent(), nullptr);
}

TEST_F(SoundManagerTest, UnloadingPlayingMusicLeavesTheManagerAValidStream)
{
    ASSERT_TRUE(StartManager());
    WriteWav("sounds/game.wav", Constant(44100, 8000));
    SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("MUSIC_game", "Stream"));
    node->AddChild(new Qmv2::PropertyValue("file", "String", "sounds/game.wav"));
    SmartPtr<Qmv2::ResourceStream> resource(new Qmv2::ResourceStream(node.Get()));
    resource->Load();
    Manager()->PlayMusic(resource->GetStream(), 1.0f);
    resource->Unload();
    Frames(14, 50);
    ASSERT_NE(Manager()->GetCurrentStream(), nullptr);
    Mix(2);
    Manager()->StopMusic();
    EXPECT_FALSE(Manager()->GetCurrentStream()->IsOpen());
}

}  // namespace

}  // namespace sound_manager_test
