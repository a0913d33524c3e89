// Sounds and sound resources through the engine's no-sound output.
#include <cstdlib>
#include <fstream>
#include <string>

#include "SoundFixture.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/sound/ResourceSound.h"
#include "framework/sound/Sound.h"

namespace sound_test {

namespace {

using Qmv2::ResourceObject;
using Qmv2::ResourceSound;
using Qmv2::SmartPtr;
using Qmv2::Sound;
using QmvTest::Constant;
using QmvTest::WriteWav;

class SoundTest : public QmvTest::SoundFixture {
protected:
    // A loaded sound of `samples` constant samples at `rate`, with factors.
    SmartPtr<Sound> Loaded(std::size_t samples, std::int32_t rate = 44100, float volume = 1.0f,
                           float pan = 1.0f, float pitch = 1.0f)
    {
        WriteWav("sounds/tone.wav", Constant(samples, 12000), rate);
        SmartPtr<Sound> sound(new Sound(volume, pan, pitch));
        EXPECT_EQ(sound->Load("sounds/tone.wav", 0), 0);
        return sound;
    }

    static SmartPtr<ResourceSound> Resource(const std::string& file, const std::string& archive = "")
    {
        SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("SOUND_test", "Sound"));
        node->AddChild(new Qmv2::PropertyValue("file", "String", file));
        if (!archive.empty()) {
            node->AddChild(new Qmv2::PropertyValue("archive", "String", archive));
        }
        node->AddChild(new Qmv2::PropertyValue("volume", "String", "0.5"));
        return SmartPtr<ResourceSound>(new ResourceSound(node.Get()));
    }
};

TEST_F(SoundTest, NeutralSettingsPlayWithTheSampleDefaults)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<Sound> sound = Loaded(4000, 22050);
    // Within 0.001 of neutral is neutral: the sample's own defaults apply.
    const std::int32_t channel = sound->Play(1.0f, 0.0005f, 1.0009f, false);
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetFrequency(channel), 22050);
    EXPECT_EQ(OSND_GetVolume(channel), 255);
    EXPECT_EQ(Channel(channel).pan, 128);
    EXPECT_FALSE(OSND_GetPaused(channel));
    EXPECT_TRUE(OSND_IsPlaying(channel));
}

TEST_F(SoundTest, ExplicitSettingsAreInPlaceBeforeTheFirstMixedSample)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<Sound> sound = Loaded(8000);
    // Volume 1.5 clamps to 1 (byte 255); pan -3 clamps to -1 (byte 1).
    const std::int32_t channel = sound->Play(1.5f, -3.0f, 1.0f, false);
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetVolume(channel), 255);
    EXPECT_EQ(Channel(channel).pan, 1);
    EXPECT_EQ(OSND_GetFrequency(channel), 44100);
    EXPECT_FALSE(OSND_GetPaused(channel));
    Mix();
    ASSERT_GE(captured.size(), 256u);
    // Left from the very first frame: the pan was set before unpausing (a
    // start at the centre would put as much on the right at first).
    long left = 0;
    long right = 0;
    for (std::size_t frame = 0; frame < 128; ++frame) {
        left += std::abs(captured[2 * frame]);
        right += std::abs(captured[2 * frame + 1]);
    }
    EXPECT_GT(left, 128L * 2000);
    EXPECT_LT(right * 8, left);
}

TEST_F(SoundTest, FactorsMultiplyAndTheFrequencyStaysInItsRange)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<Sound> sound = Loaded(4000, 44100, 0.5f, 0.5f, 2.0f);
    std::int32_t channel = sound->Play(0.8f, 1.0f, 1.0f, false);
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetVolume(channel), 102);  // 0.4 * 255 truncated
    EXPECT_EQ(Channel(channel).pan, 191);     // 0.5 * 127 + 128 truncated
    EXPECT_EQ(OSND_GetFrequency(channel), 88200);

    channel = sound->Play(1.0f, 0.0f, 0.0005f, false);  // 2 * 0.0005 * 44100 = 44.1
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetFrequency(channel), 100);
    channel = sound->Play(1.0f, 0.0f, 10.0f, false);  // 882000
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetFrequency(channel), 705600);
    channel = sound->Play(1.0f, 0.0f, 1e30f, false);  // far beyond any integer
    ASSERT_GE(channel, 0);
    EXPECT_EQ(OSND_GetFrequency(channel), 705600);
}

TEST_F(SoundTest, LoopedPlaysKeepPlayingPastTheSampleEnd)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<Sound> sound = Loaded(300);
    const std::int32_t once = sound->Play(1.0f, 0.0f, 1.0f, false);
    const std::int32_t looped = sound->Play(1.0f, 0.0f, 1.0f, true);
    ASSERT_GE(once, 0);
    ASSERT_GE(looped, 0);
    Mix(4);
    EXPECT_FALSE(OSND_IsPlaying(once));
    EXPECT_TRUE(OSND_IsPlaying(looped));
}

// Copies of one sound started in the same frame add up sample for sample
// into one louder sound, as when a late frame starts several at once: a
// second start in the frame answers the copy under way; the next frame, or
// other settings, start one of their own.
TEST_F(SoundTest, ASoundStartedTwiceInOneFrameIsHeardOnce)
{
    ASSERT_TRUE(StartManager());
    struct Frames {
        Frames() { Qmv2::TaskManager::SetInstance(new Qmv2::TaskManager()); }
        ~Frames() { Qmv2::TaskManager::ReleaseInstance(); }
    } frames;
    SmartPtr<Sound> sound = Loaded(4000);
    const std::int32_t first = sound->Play(1.0f, 0.0f, 1.0f, false);
    ASSERT_GE(first, 0);
    EXPECT_EQ(sound->Play(1.0f, 0.0f, 1.0f, false), first);
    EXPECT_EQ(OSND_GetChannelsPlaying(), 1);

    Qmv2::TaskManager::GetInstance()->Tick(16);
    const std::int32_t next = sound->Play(1.0f, 0.0f, 1.0f, false);
    EXPECT_GE(next, 0);
    EXPECT_NE(next, first) << "a new frame starts a copy of its own";
    EXPECT_GE(sound->Play(0.5f, 0.0f, 1.0f, false), 0);
    EXPECT_EQ(OSND_GetChannelsPlaying(), 3) << "other settings start a copy of their own";
}

TEST_F(SoundTest, LengthIsMeasuredAtTheOutputRate)
{
    ASSERT_TRUE(StartManager());
    // 11025 samples are 500 ms at 22050 Hz but 250 ms at the 44100 Hz output.
    EXPECT_EQ(Loaded(11025, 22050)->GetLengthMs(), 250);
    EXPECT_EQ(Sound().GetLengthMs(), 0);
}

TEST_F(SoundTest, WithTheEngineDownNothingLoadsOrPlays)
{
    Qmv2::SoundManager::EngineSetup setup;
    setup.output = OSND_OUTPUT_NOSOUND_NONREALTIME;
    setup.mixRate = 1000;  // refused by the engine
    Qmv2::SoundManager::Create(setup);
    ASSERT_FALSE(Qmv2::SoundManager::IsSoundUp());
    WriteWav("sounds/tone.wav", Constant(1000, 1000));
    Sound sound;
    EXPECT_EQ(sound.Load("sounds/tone.wav", 0), 0);
    EXPECT_EQ(sound.GetSample(), nullptr);
    EXPECT_EQ(sound.Play(1.0f, 0.0f, 1.0f, false), -1);
    EXPECT_EQ(sound.Play(0.5f, 0.5f, 2.0f, true), -1);
    EXPECT_EQ(sound.GetLengthMs(), 0);
}

TEST_F(SoundTest, AReleasedEngineIsNotAskedToFreeItsSamples)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<Sound> old = Loaded(1000);
    ASSERT_NE(old->GetSample(), nullptr);
    Qmv2::SoundManager::ReleaseInstance();
    ASSERT_TRUE(StartManager());
    // The sample went with the first engine: it is neither played nor freed.
    EXPECT_EQ(old->Play(1.0f, 0.0f, 1.0f, false), -1);
    SmartPtr<Sound> fresh = Loaded(1000);
    old.Reset();
    EXPECT_GE(fresh->Play(1.0f, 0.0f, 1.0f, false), 0);
}

TEST_F(SoundTest, ResourceLoadsFromItsFileWithItsFactors)
{
    ASSERT_TRUE(StartManager());
    WriteWav("sounds/click.wav", Constant(2205, 9000));
    SmartPtr<ResourceSound> resource = Resource("Sounds\\Click.WAV", "file");
    resource->Load();
    ASSERT_TRUE(resource->IsLoaded());
    EXPECT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone);
    auto* sound = static_cast<Sound*>(resource->GetContent());
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(OSND_Sample_GetLength(sound->GetSample()), 2205);
    EXPECT_FLOAT_EQ(sound->GetVolumeFactor(), 0.5f);
    EXPECT_FLOAT_EQ(sound->GetPanFactor(), 1.0f);
    EXPECT_FLOAT_EQ(sound->GetPitchFactor(), 1.0f);
    EXPECT_EQ(OSND_GetVolume(sound->Play(1.0f, 0.0f, 1.0f, false)), 127);
    EXPECT_EQ(resource->ToString().rfind("Object: 50 ms; Volume: 0.5; ", 0), 0u) << resource->ToString();

    resource->Unload();
    EXPECT_FALSE(resource->IsLoaded());
    EXPECT_EQ(resource->GetContent(), nullptr);
    EXPECT_EQ(resource->ToString().rfind("Object: NULL; Volume: 0.5; ", 0), 0u);
}

TEST_F(SoundTest, ResourceReadsTheArchiveEntryOfAFileOnDisk)
{
    ASSERT_TRUE(StartManager());
    // The disk copy and the archive entry differ in length, so the sample
    // tells which one was read.
    WriteWav("sounds/chime.wav", Constant(3000, 5000));
    const std::string packed = (m_Folder / "packed.wav").string();
    WriteWav(packed, Constant(1234, 5000));
    const std::string command = "/usr/bin/python3 -c \"import sys, zipfile; "
                                "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED); "
                                "z.write(sys.argv[2], 'sounds/chime.wav'); z.close()\" data.dat " +
                                packed;
    ASSERT_EQ(std::system(command.c_str()), 0);
    Qmv2::FileArchive::CreateFromCommand("data.dat", "zip");
    ASSERT_NE(Qmv2::s_DefaultLoadFlags, 0u);

    SmartPtr<ResourceSound> resource = Resource("sounds/chime.wav", "zip");
    resource->Load();
    Qmv2::FileArchive::ReleaseInstance();
    ASSERT_TRUE(resource->IsLoaded()) << resource->ToString();
    EXPECT_EQ(OSND_Sample_GetLength(resource->GetSound()->GetSample()), 1234);
}

TEST_F(SoundTest, ResourceErrorsTellAMissingFileFromARefusedOne)
{
    ASSERT_TRUE(StartManager());
    SmartPtr<ResourceSound> missing = Resource("sounds/none.wav");
    missing->Load();
    EXPECT_FALSE(missing->IsLoaded());
    EXPECT_EQ(missing->GetErrorCode(), ResourceObject::kErrorFileNotFound);
    // The content exists but holds no sample: playing it is silent.
    ASSERT_NE(missing->GetSound(), nullptr);
    EXPECT_EQ(missing->GetSound()->Play(1.0f, 0.0f, 1.0f, false), -1);

    std::ofstream("sounds/bad.wav") << "not a sound file at all";
    SmartPtr<ResourceSound> refused = Resource("sounds/bad.wav", "file");
    refused->Load();
    EXPECT_FALSE(refused->IsLoaded());
    EXPECT_EQ(refused->GetErrorCode(), ResourceObject::kErrorUnspecified);
    EXPECT_NE(refused->ToString().find("Error: Unspecified. [0]"), std::string::npos);
}

TEST_F(SoundTest, ResourceFactorsDefaultToOne)
{
    SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("SOUND_plain", "Sound"));
    node->AddChild(new Qmv2::PropertyValue("panning", "String", "-0.25"));
    SmartPtr<ResourceSound> resource(new ResourceSound(node.Get()));
    EXPECT_FLOAT_EQ(resource->GetVolume(), 1.0f);
    EXPECT_FLOAT_EQ(resource->GetPanning(), -0.25f);
    EXPECT_FLOAT_EQ(resource->GetPitch(), 1.0f);
}

}  // namespace

}  // namespace sound_test
