// The DirectSound output heard through an OpenAL Soft loopback device.
#include "platform/dsound/AlDevice.h"
#include "platform/dsound/CaptureSource.h"
#include "platform/dsound/ComObject.h"
#include "platform/dsound/DSound.h"
#include "platform/dsound/DirectSoundLibrary.h"
#include "platform/win32/WinLibrary.h"
#include "sound/include/osnd.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/output/output_dsound_eax.h"
#include "sound/src/output/output_dsound.h"
#include "platform/dsound/EaxPropertySet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace output_d_sound_test {

namespace {

constexpr int kRate = 44100;

// Loops are whole periods (100 frames at 441 Hz), so that they join without a click.
std::vector<int16_t> Sine(int frames, double hz, double amplitude) {
  std::vector<int16_t> data(size_t(frames), 0);
  for (int i = 0; i < frames; ++i) data[size_t(i)] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * i / kRate)));
  return data;
}

struct Heard {
  std::vector<int16_t> frames;
  int Crossings(int side, size_t from = 0) const {
    int count = 0;
    for (size_t f = from + 1; f < frames.size() / 2; ++f)
      if ((frames[2 * f + side] >= 0) != (frames[2 * f - 2 + side] >= 0)) ++count;
    return count;
  }
  double Rms(int side, size_t from = 0) const {
    double sum = 0;
    size_t n = 0;
    for (size_t f = from; f < frames.size() / 2; ++f, ++n) sum += double(frames[2 * f + side]) * frames[2 * f + side];
    return n ? std::sqrt(sum / double(n)) : 0.0;
  }
};

double Decibels(double a, double b) { return 20.0 * std::log10(a / b); }

class DSoundOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::dsound::RegisterDirectSoundLibrary();
    platform::dsound::UseLoopbackDevice(kRate);
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_DSOUND));
    ASSERT_TRUE(OSND_Init(kRate, 8, 0)) << OSND_GetError();
  }
  void TearDown() override {
    OSND_Close();
    platform::dsound::UseLoopbackDevice(0);
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  }
  // Waits until the mixer thread has mixed every block behind the play
  // position, as it keeps up with a real device.
  void WaitForTheMixer() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < limit) {
      const unsigned position = OSND_GetCurrentPosition(OSND_PRIMARY) % gOsnd.primarySample->length;
      if (gOsnd.mixer->currentBlock == int(position) / gOsnd.blockLength) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "the mixer thread did not keep up";
  }
  // Renders in small steps; paced, each step waits for the engine's mixer
  // thread to fill the software ring behind the play position.
  Heard Render(int frames, bool paced = false) {
    Heard heard;
    heard.frames.resize(size_t(frames) * 2);
    constexpr int kStep = 256;
    for (int done = 0; done < frames; done += kStep) {
      const int n = std::min(kStep, frames - done);
      EXPECT_TRUE(platform::dsound::RenderLoopback(heard.frames.data() + 2 * done, n));
      if (paced) WaitForTheMixer();
    }
    return heard;
  }
  OSND_SAMPLE *Sample(const std::vector<int16_t> &data, unsigned placement, unsigned loop = OSND_MODE_LOOP_NORMAL) {
    OSND_SAMPLE *s = OSND_Sample_Alloc(-1, int(data.size()), placement | OSND_MODE_16BITS | OSND_MODE_MONO | loop,
                                       kRate, 255, 128, 255);
    EXPECT_NE(s, nullptr);
    if (s) {
      EXPECT_TRUE(OSND_Sample_Upload(s, data.data(), OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_SIGNED));
    }
    return s;
  }
};

}  // namespace

TEST_F(DSoundOutput, HardwareChannelsPlayAtPitchWithTheTableLevels) {
  EXPECT_EQ(gOsnd.hardware2dChannels, 32);
  EXPECT_STREQ(gOsnd.driverNames[0], "Primary Sound Driver");
  OSND_SAMPLE *s = Sample(Sine(4400, 441.0, 16000.0), OSND_MODE_HW2D);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, gOsnd.softwareChannels) << "played on a hardware channel";
  OSND_SetPan(h, 0);  // hard left: the right side is silenced
  Heard full = Render(kRate / 2);
  EXPECT_NEAR(full.Crossings(0, 2048), 441 - 2048 * 882 / kRate, 2);  // 441 Hz: 882 crossings a second
  EXPECT_NEAR(full.Rms(0, 2048), 16000.0 / std::sqrt(2.0), 16000.0 * 0.01);
  EXPECT_LT(full.Rms(1, 2048), 1.0);

  OSND_SetVolume(h, 128);  // the table's -9.97 dB
  OSND_SetPan(h, 64);      // the right side loses the table's entry 128: another -9.97 dB
  OSND_SetFrequency(h, 22050);
  Heard half = Render(kRate / 2);
  EXPECT_NEAR(half.Crossings(0, 4096), (kRate / 2 - 4096) * 441 / kRate, 2);
  EXPECT_NEAR(Decibels(half.Rms(0, 4096), full.Rms(0, 2048)), -9.97, 0.1);
  EXPECT_NEAR(Decibels(half.Rms(1, 4096), full.Rms(0, 2048)), -19.94, 0.1);
  EXPECT_EQ(OSND_GetCurrentSample(h & 0xFFF), s);
}

TEST_F(DSoundOutput, SoftwareMixAndHardwareChannelAgreeHardLeft) {
  const std::vector<int16_t> tone = Sine(4400, 441.0, 16000.0);
  OSND_SAMPLE *hardware = Sample(tone, OSND_MODE_HW2D);
  OSND_SAMPLE *software = Sample(tone, 0);
  const int hw = OSND_PlaySound(OSND_FREE, hardware);
  OSND_SetPan(hw, 0);
  Heard alone = Render(kRate / 4, true);
  OSND_StopSound(hw);
  const int sw = OSND_PlaySound(OSND_FREE, software);
  ASSERT_LT(sw & 0xFFF, gOsnd.softwareChannels);
  OSND_SetPan(sw, 0);
  Render(8192, true);  // the ring carries the new sound from its next lap on
  Heard mixed = Render(kRate / 4, true);
  EXPECT_NEAR(Decibels(mixed.Rms(0, 1024), alone.Rms(0, 1024)), 0.0, 0.5);
  EXPECT_LT(mixed.Rms(1, 1024), 1.0);
  EXPECT_NEAR(mixed.Crossings(0, 1024), alone.Crossings(0, 1024), 2);
}

TEST_F(DSoundOutput, OneShotsEndLoopsGoOnAndStopSilences) {
  OSND_SAMPLE *once = Sample(Sine(2205, 441.0, 12000.0), OSND_MODE_HW2D, OSND_MODE_LOOP_OFF);
  const int h = OSND_PlaySound(OSND_FREE, once);
  ASSERT_TRUE(OSND_IsPlaying(h));
  Heard heard = Render(4410);
  EXPECT_GT(heard.Rms(0, 0) , 1000.0);
  Heard after = Render(2048);
  EXPECT_LT(after.Rms(0), 1.0);  // the device's dither only
  EXPECT_FALSE(OSND_IsPlaying(h));

  OSND_SAMPLE *loop = Sample(Sine(400, 441.0, 12000.0), OSND_MODE_HW2D);
  const int l = OSND_PlaySound(OSND_FREE, loop);
  Render(10000);
  EXPECT_TRUE(OSND_IsPlaying(l));
  const unsigned position = OSND_GetCurrentPosition(l);
  EXPECT_LT(position, 400u);
  ASSERT_TRUE(OSND_SetPaused(l, true));
  EXPECT_LT(Render(1024).Rms(0), 1.0);
  EXPECT_TRUE(OSND_IsPlaying(l));  // paused counts as playing
  ASSERT_TRUE(OSND_SetPaused(l, false));
  EXPECT_GT(Render(2048).Rms(0, 1024), 1000.0);
  ASSERT_TRUE(OSND_StopSound(l));
  EXPECT_LT(Render(1024).Rms(0), 1.0);
}

TEST_F(DSoundOutput, PositionalChannelsArePlacedByTheListener) {
  OSND_SAMPLE *s = Sample(Sine(4400, 441.0, 16000.0), OSND_MODE_HW3D);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h & 0xFFF, gOsnd.hw3dRange.first);
  ASSERT_LE(h & 0xFFF, gOsnd.hw3dRange.last);
  EXPECT_FALSE(OSND_SetPan(h, 0));  // a positional channel has no pan
  const float right[3] = {4, 0, 0};
  ASSERT_TRUE(OSND_3D_SetAttributes(h, right, nullptr));
  OSND_Update();
  Heard heard = Render(8192);
  EXPECT_GT(heard.Rms(1, 2048), 2.0 * heard.Rms(0, 2048));
  const float farther[3] = {0, 0, 40};
  ASSERT_TRUE(OSND_3D_SetAttributes(h, farther, nullptr));
  Heard far = Render(8192);
  EXPECT_LT(far.Rms(0, 2048) + far.Rms(1, 2048), (heard.Rms(0, 2048) + heard.Rms(1, 2048)) / 4);
}

namespace {


HRESULT ManyDevices(LPDSENUMCALLBACKA callback, void *context) {
  for (int i = 0; i < 70; ++i) {
    GUID guid{DWORD(i), 0, 0, {}};
    const std::string name = "device " + std::to_string(i);
    callback(&guid, name.c_str(), "", context);
  }
  return DS_OK;
}

HRESULT NoObject(const GUID *, IDirectSound8 **object, IUnknown *) {
  *object = nullptr;
  return DSERR_NODRIVER;
}

}  // namespace

TEST(DSoundOutputDoubles, DeviceListStopsAt64AndAFailedCreateFailsInit) {
  platform::RegisterLibrary("dsound.dll", {{"DirectSoundEnumerateA", platform::EntryPoint(&ManyDevices)},
                                           {"DirectSoundCreate8", platform::EntryPoint(&NoObject)}});
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_DSOUND));
  EXPECT_EQ(OSND_GetNumDrivers(), 64);
  EXPECT_STREQ(gOsnd.driverNames[63], "device 63");
  EXPECT_FALSE(OSND_Init(kRate, 8, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INIT);
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  platform::dsound::RegisterDirectSoundLibrary();
}

namespace {

// The stand-in's device behind an older interface: it keeps the first
// secondary buffer made on it (with a reference of its own) and, as a device
// whose hardware 3D buffers are used up by their making, can report one free
// hardware 3D buffer fewer for every buffer made.
struct OldDeviceLog {
  bool buffersTakeHardware = false;
  int made = 0;
  DSBUFFERDESC first{};
  WAVEFORMATEX firstFormat{};
  IDirectSoundBuffer *firstBuffer = nullptr;
};
OldDeviceLog gOldDevice;

class OldDevice final : public platform::dsound::ComObject<IDirectSound8> {
 public:
  explicit OldDevice(IDirectSound8 *inner) : m_Inner(inner) {}
  ~OldDevice() override { m_Inner->Release(); }
  void *Find(REFIID iid) override { return iid == IID_IUnknown ? static_cast<IDirectSound8 *>(this) : nullptr; }
  HRESULT CreateSoundBuffer(const DSBUFFERDESC *d, IDirectSoundBuffer **buffer, IUnknown *outer) override {
    const HRESULT result = m_Inner->CreateSoundBuffer(d, buffer, outer);
    if (SUCCEEDED(result) && !(d->dwFlags & DSBCAPS_PRIMARYBUFFER) && gOldDevice.made++ == 0) {
      gOldDevice.first = *d;
      gOldDevice.firstFormat = *d->lpwfxFormat;
      gOldDevice.firstBuffer = *buffer;
      gOldDevice.firstBuffer->AddRef();
    }
    return result;
  }
  HRESULT GetCaps(DSCAPS *caps) override {
    const HRESULT result = m_Inner->GetCaps(caps);
    if (gOldDevice.buffersTakeHardware)
      caps->dwFreeHw3DStreamingBuffers -= std::min(caps->dwFreeHw3DStreamingBuffers, DWORD(gOldDevice.made));
    return result;
  }
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer *original, IDirectSoundBuffer **duplicate) override {
    return m_Inner->DuplicateSoundBuffer(original, duplicate);
  }
  HRESULT SetCooperativeLevel(HWND window, DWORD level) override { return m_Inner->SetCooperativeLevel(window, level); }
  HRESULT SetSpeakerConfig(DWORD config) override { return m_Inner->SetSpeakerConfig(config); }

 private:
  IDirectSound8 *m_Inner;
};

HRESULT OldCreate(const GUID *guid, IDirectSound8 **object, IUnknown *outer) {
  IDirectSound8 *inner = nullptr;
  const HRESULT result = DirectSoundCreate8(guid, &inner, outer);
  *object = SUCCEEDED(result) ? new OldDevice(inner) : nullptr;
  return result;
}

// Starts the engine on the older interface and tells what the device saw
// before the mix buffer: the first secondary buffer's layout, whether the
// engine let go of it by the end of the start, and whether hardware 3D stayed.
std::string StartOnOldInterface(bool buffersTakeHardware) {
  gOldDevice = OldDeviceLog{};
  gOldDevice.buffersTakeHardware = buffersTakeHardware;
  if (!OSND_Init(kRate, 8, 0)) return "init failed, error " + std::to_string(OSND_GetError());
  const DSBUFFERDESC &d = gOldDevice.first;
  const WAVEFORMATEX &f = gOldDevice.firstFormat;
  const bool released = gOldDevice.firstBuffer && gOldDevice.firstBuffer->Release() == 0;
  char line[256];
  std::snprintf(line, sizeof line, "%u bytes %d ch %d bit %u Hz%s%s, hardware 3D %s (%d channels), error %d",
                unsigned(d.dwBufferBytes), f.nChannels, f.wBitsPerSample, unsigned(f.nSamplesPerSec),
                (d.dwFlags & DSBCAPS_CTRL3D) ? " 3D" : "", released ? " released" : " kept",
                OsndOutputDSound.hardware3d ? "on" : "off", gOsnd.hardware3dChannels, OSND_GetError());
  OSND_Close();
  return line;
}

}  // namespace

// Before interface version 8 the engine makes one hardware 3D buffer of its
// own at the start and keeps hardware 3D only when the device's count of free
// hardware 3D buffers does not move. The interface version is worked out once
// per process, so the older library is loaded in a process of its own.
TEST(DSoundOutputDeathTest, BeforeVersion8AHardwareBufferIsTriedAndADeviceWhoseFreeCountMovesLosesHardware3D) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        platform::RegisterLibrary("dsound.dll",
                                  {{"DirectSoundCreate", platform::EntryPoint(&OldCreate)},
                                   {"DirectSoundEnumerateA", platform::EntryPoint(&DirectSoundEnumerateA)}});
        platform::dsound::UseLoopbackDevice(kRate);
        OSND_SetOutput(OSND_OUTPUT_DSOUND);
        const std::string steady = StartOnOldInterface(false);
        const std::string moving = StartOnOldInterface(true);
        std::fprintf(stderr, "version %d\nsteady: %s\nmoving: %s\n", OutputDSound_DirectXVersion(), steady.c_str(),
                     moving.c_str());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "version 3\n"
      "steady: 512 bytes 1 ch 16 bit 44100 Hz 3D released, hardware 3D on \\([1-9][0-9]* channels\\), error 0\n"
      "moving: 512 bytes 1 ch 16 bit 44100 Hz 3D released, hardware 3D off \\(0 channels\\), error 0\n");
}

// From version 8 on no such buffer is made: the first one is the mix buffer.
TEST(DSoundOutputDoubles, FromVersion8NoHardwareBufferIsTried) {
  platform::RegisterLibrary("dsound.dll", {{"DirectSoundCreate8", platform::EntryPoint(&OldCreate)},
                                           {"DirectSoundEnumerateA", platform::EntryPoint(&DirectSoundEnumerateA)}});
  platform::dsound::UseLoopbackDevice(kRate);
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_DSOUND));
  const std::string started = StartOnOldInterface(true);
  EXPECT_GE(OutputDSound_DirectXVersion(), 8);
  EXPECT_EQ(started.find("512 bytes"), std::string::npos) << started;
  EXPECT_NE(started.find("hardware 3D on"), std::string::npos) << started;
  platform::dsound::UseLoopbackDevice(0);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  platform::dsound::RegisterDirectSoundLibrary();
}

namespace {

// Capture that yields a counting signal, 64 frames each time it is asked.
class CountingSource : public platform::dsound::CaptureSource {
 public:
  explicit CountingSource(std::atomic<int> *produced) : m_Produced(produced) {}
  bool Start() override { return true; }
  void Stop() override {}
  int Available() override { return *m_Produced < 30000 ? 64 : 0; }
  void Read(void *frames, int count) override {
    auto *out = static_cast<int16_t *>(frames);
    for (int i = 0; i < count; ++i) out[i] = int16_t((*m_Produced)++);
  }

 private:
  std::atomic<int> *m_Produced;
};

std::atomic<int> gProduced;

bool WaitFor(const std::function<bool()> &done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

TEST_F(DSoundOutput, CaptureFillsTheRecordSampleOnceOrRoundAndRound) {
  platform::dsound::SetCaptureSourceFactory(
      [](const std::string &, int rate, int channels, int bits) -> std::unique_ptr<platform::dsound::CaptureSource> {
        if (rate != kRate || channels != 1 || bits != 16) return nullptr;
        return std::make_unique<CountingSource>(&gProduced);
      },
      {"counting capture"});
  constexpr int kLength = 3000;
  OSND_SAMPLE *once = OSND_Sample_Alloc(-1, kLength, OSND_MODE_16BITS | OSND_MODE_MONO, kRate, 255, 128, 255);
  ASSERT_NE(once, nullptr);
  gProduced = 0;
  ASSERT_TRUE(OSND_Record_StartSample(0, once, false)) << OSND_GetError();
  EXPECT_STREQ(gOsnd.recordDriverNames[1], "counting capture");
  ASSERT_TRUE(WaitFor([] { return !gOsnd.recording; })) << "recording stops at the sample's end";
  void *p1, *p2;
  unsigned l1, l2;
  ASSERT_TRUE(OSND_Sample_Lock(once, 0, kLength * 2, &p1, &p2, &l1, &l2));
  const auto *data = static_cast<const int16_t *>(p1);
  int wrong = 0;
  for (int i = 0; i < kLength; ++i) wrong += data[i] != i;
  EXPECT_EQ(wrong, 0) << "the sample holds the first " << kLength << " captured frames";
  OSND_Sample_Unlock(once, p1, p2, l1, l2);
  EXPECT_TRUE(OSND_Record_Stop());

  OSND_SAMPLE *round = OSND_Sample_Alloc(-1, kLength, OSND_MODE_16BITS | OSND_MODE_MONO, kRate, 255, 128, 255);
  gProduced = 0;
  ASSERT_TRUE(OSND_Record_StartSample(0, round, true));
  ASSERT_TRUE(WaitFor([] { return gProduced >= 30000; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(gOsnd.recording) << "a looping recording goes on";
  EXPECT_TRUE(OSND_Record_Stop());
  ASSERT_TRUE(OSND_Sample_Lock(round, 0, kLength * 2, &p1, &p2, &l1, &l2));
  data = static_cast<const int16_t *>(p1);
  wrong = 0;
  for (int i = 0; i < kLength; ++i) wrong += data[i] % kLength != i || data[i] < 30000 - 2 * kLength;
  EXPECT_EQ(wrong, 0) << "every sample holds the frame of its place from the last laps";
  OSND_Sample_Unlock(round, p1, p2, l1, l2);
  platform::dsound::SetCaptureSourceFactory(nullptr, {});
}

namespace {

// Seconds for the level to fall by 60 dB, from the slope of the level
// between two stretches of the heard tail.
double DecaySeconds(const Heard &heard, double from, double to) {
  auto level = [&](double at) {
    const size_t start = size_t(at * kRate);
    double sum = 0;
    for (size_t f = start; f < start + kRate / 20; ++f)
      for (int side = 0; side < 2; ++side) sum += double(heard.frames[2 * f + side]) * heard.frames[2 * f + side];
    return 10.0 * std::log10(sum + 1e-9);
  };
  const double fall = level(from) - level(to);
  return fall > 0 ? 60.0 * (to - from) / fall : 1e9;
}

}  // namespace

TEST_F(DSoundOutput, ReverbTakesTheEaxRecordsAndItsTailLastsTheDecayTime) {
  ASSERT_EQ(OsndEax_Version(), 3);
  EXPECT_EQ(OsndEax_SupportMask(3), (1u << 26) - 1) << "every EAX 3.0 listener property, 0 to 25";
  OsndReverbProperties read{};
  ASSERT_TRUE(OsndOutputDSound.getReverb(reinterpret_cast<int32_t *>(&read)));
  EXPECT_EQ(read.room, -10000) << "silent until set";

  OsndReverbProperties set{};
  set.environmentSize = 7.5f;
  set.environmentDiffusion = 1.0f;
  set.decayHFRatio = set.decayLFRatio = 1.0f;
  set.reflections = -10000;
  set.reflectionsDelay = 0.01f;
  set.reverbDelay = 0.02f;
  set.echoTime = 0.25f;
  set.modulationTime = 0.25f;
  set.hfReference = 5000.0f;
  set.lfReference = 250.0f;
  set.diffusion = 0.5f;  // not part of what EAX 3.0 carries
  set.density = 0.25f;
  set.flags = 0x1f;
  for (float decay : {1.0f, 0.4f}) {
    SCOPED_TRACE(decay);
    set.decayTime = decay;
    ASSERT_TRUE(OsndOutputDSound.setReverb(reinterpret_cast<const int32_t *>(&set)));
    read = OsndReverbProperties{};
    read.diffusion = 7.0f;
    ASSERT_TRUE(OsndOutputDSound.getReverb(reinterpret_cast<int32_t *>(&read)));
    EXPECT_EQ(std::memcmp(&read, &set, offsetof(OsndReverbProperties, diffusion)), 0) << "the record comes back";
    EXPECT_EQ(read.flags, set.flags);
    EXPECT_EQ(read.diffusion, 7.0f) << "diffusion and density are left alone";

    std::vector<int16_t> impulse(kRate, 0);
    impulse[0] = 30000;
    impulse[1] = -30000;
    OSND_SAMPLE *s = Sample(impulse, OSND_MODE_HW3D, OSND_MODE_LOOP_OFF);
    const int h = OSND_PlaySoundEx(OSND_FREE, s, nullptr, true);
    ASSERT_GE(h, 0);
    const float ahead[3] = {0, 0, 1};
    OSND_3D_SetAttributes(h, ahead, nullptr);
    OsndReverbChannelProperties wet{};
    wet.direct = -10000;  // only the reverb is heard
    ASSERT_TRUE(OsndEax_SetChannelReverb(&gOsnd.channels[h & 0xFFF], &wet));
    OSND_SetPaused(h, false);
    Heard tail = Render(kRate * 3 / 2);
    EXPECT_GT(tail.Rms(0, 0), 1.0) << "the reverb is heard";
    EXPECT_NEAR(DecaySeconds(tail, 0.1, 0.1 + decay / 2), decay, decay * 0.35);
    OSND_StopSound(h);
    OSND_Sample_Free(s);
  }
}

TEST(DSoundReverbChain, AnUnansweredPropertyEndsTheQuestions) {
  std::vector<ULONG> asked;
  platform::dsound::SetEaxSupportHook([&asked](const GUID &set, ULONG id) {
    if (set == platform::dsound::DSPROPSETID_EAX30_ListenerProperties) return id != 0;
    if (set == platform::dsound::DSPROPSETID_EAX20_ListenerProperties) asked.push_back(id);
    return id != 4;
  });
  platform::dsound::RegisterDirectSoundLibrary();
  platform::dsound::UseLoopbackDevice(kRate);
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_DSOUND));
  ASSERT_TRUE(OSND_Init(kRate, 8, 0));
  EXPECT_EQ(OsndEax_Version(), 2);
  uint32_t expected = 0;
  for (ULONG id : {0, 1, 11, 12, 13, 2, 3, 5, 6, 7, 8, 9, 10, 14}) expected |= 1u << id;
  EXPECT_EQ(OsndEax_SupportMask(2), expected);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 15u), 0) << "15 is asked only when 4 answers";
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 4u), 1);
  OSND_Close();
  platform::dsound::SetEaxSupportHook(nullptr);
  platform::dsound::UseLoopbackDevice(0);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

TEST_F(DSoundOutput, EffectsOfAChannelAreHeardAndTakenOff) {
  std::vector<int16_t> click(kRate, 0);
  click[0] = 30000;
  click[1] = 30000;
  OSND_SAMPLE *s = Sample(click, OSND_MODE_HW2D | OSND_MODE_ENABLE_FX, OSND_MODE_LOOP_OFF);
  const int h = OSND_PlaySoundEx(OSND_FREE, s, nullptr, true);
  ASSERT_GE(h, 0);
  OsndChannel *c = &gOsnd.channels[h & 0xFFF];
  ASSERT_EQ(OutputDSound_EnableEffect(c, 3), 0);  // echo, all wet: only the echo is heard
  DSFXEchoRecord echo{100, 0, 100, 100, 0};
  ASSERT_TRUE(OutputDSound_SetEffectParameters(c, (0u << 24) | (3u << 16), &echo));
  // A second effect that replaces the sound goes beside it; a third finds no send.
  EXPECT_EQ(OutputDSound_EnableEffect(c, 5), 1);
  EXPECT_EQ(OutputDSound_EnableEffect(c, 2), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_OUTPUT_FORMAT);
  ASSERT_TRUE(OutputDSound_DisableEffects(c));
  ASSERT_EQ(OutputDSound_EnableEffect(c, 3), 0);
  ASSERT_TRUE(OutputDSound_SetEffectParameters(c, (0u << 24) | (3u << 16), &echo));
  EXPECT_FALSE(OutputDSound_SetEffectParameters(c, (0u << 24) | (9u << 16), &echo)) << "no such type";
  OSND_SetPaused(h, false);
  Heard heard = Render(kRate / 4);
  size_t first = 0;
  while (first < heard.frames.size() / 2 && std::abs(heard.frames[2 * first]) < 1000) ++first;
  EXPECT_NEAR(double(first), kRate / 10.0, 128.0) << "the click comes back 100 ms later, and not before";

  ASSERT_TRUE(OutputDSound_DisableEffects(c));
  OSND_StopSound(h);
  const int again = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(again, 0);
  Heard dry = Render(1024);
  EXPECT_GT(std::abs(dry.frames[0]) + std::abs(dry.frames[2]), 20000) << "without effects the click is heard at once";
}

// What a writer puts in a playing buffer is heard from its Unlock on, whole:
// the engine's mixer thread writes its ring while the device streams it.
TEST(DSoundBuffer, WrittenBytesAreHeardOnlyOnceUnlocked) {
  platform::dsound::UseLoopbackDevice(kRate);
  IDirectSound8 *sound = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &sound, nullptr), DS_OK);
  ASSERT_EQ(sound->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
  constexpr int kFrames = kRate / 10;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = kRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = kRate * 4;
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_GETCURRENTPOSITION2;
  description.dwBufferBytes = kFrames * 4;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer *buffer = nullptr;
  ASSERT_EQ(sound->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

  void *part1 = nullptr, *part2 = nullptr;
  DWORD bytes1 = 0, bytes2 = 0;
  ASSERT_EQ(buffer->Lock(0, 0, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER), DS_OK);
  ASSERT_EQ(bytes1, DWORD(kFrames * 4));
  auto *samples = static_cast<int16_t *>(part1);
  std::fill(samples, samples + 2 * kFrames, int16_t(8000));
  // OpenAL Soft may dither its 16-bit output by a step.
  auto heardOnly = [](const std::vector<int16_t> &heard, size_t from, int level) {
    for (size_t i = from; i < heard.size(); ++i)
      if (std::abs(heard[i] - level) > 1) return false;
    return true;
  };
  std::vector<int16_t> lap(2 * kFrames);
  ASSERT_TRUE(platform::dsound::RenderLoopback(lap.data(), kFrames));
  EXPECT_TRUE(heardOnly(lap, 0, 0)) << "a lap while the buffer is locked plays what was there";

  EXPECT_EQ(buffer->Unlock(part1, bytes1, nullptr, 0), DS_OK);
  std::vector<int16_t> laps(4 * kFrames);
  ASSERT_TRUE(platform::dsound::RenderLoopback(laps.data(), 2 * kFrames));
  size_t change = 0;
  while (change < laps.size() && std::abs(laps[change]) <= 1) ++change;
  EXPECT_LT(change, size_t(2 * kFrames)) << "heard within the first lap after the unlock";
  EXPECT_TRUE(heardOnly(laps, change, 8000)) << "and from there on, whole";

  const int16_t outside = 0;
  EXPECT_EQ(buffer->Unlock(const_cast<int16_t *>(&outside), 2, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Unlock(part1, bytes1 + 4, nullptr, 0), DSERR_INVALIDPARAM);
  buffer->Release();
  sound->Release();
  platform::dsound::UseLoopbackDevice(0);
}

TEST(DSoundCaps, TheDeviceAnswersWithItsSourcesAndItsEffects) {
  platform::dsound::RegisterDirectSoundLibrary();
  platform::dsound::UseLoopbackDevice(kRate);
  // The device's own figures: OpenAL's sources, fewer free while one plays.
  IDirectSound8 *object = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &object, nullptr), DS_OK);
  ASSERT_EQ(object->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(object->GetCaps(&caps), DS_OK);
  EXPECT_GT(caps.dwMaxHwMixingAllBuffers, 32u) << "OpenAL's sources, not a fixed count";
  EXPECT_EQ(caps.dwFreeHwMixingAllBuffers, caps.dwMaxHwMixingAllBuffers);
  EXPECT_EQ(caps.dwMaxHw3DAllBuffers, 32u);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
  description.dwBufferBytes = 4096;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer *buffer = nullptr;
  ASSERT_EQ(object->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ASSERT_EQ(object->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwFreeHwMixingAllBuffers, caps.dwMaxHwMixingAllBuffers - 1);
  EXPECT_EQ(caps.dwFreeHw3DStreamingBuffers, 31u) << "a positional buffer holds one of the 3D sources";
  buffer->Release();
  object->Release();

  // The engine's capabilities slot: hardware 3D, then EAX 3.0, else 2.0, on
  // an object of its own that it closes again.
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_DSOUND));
  unsigned bits = 99;
  ASSERT_TRUE(OsndOutputDSound.getCaps(&bits, 0)) << OSND_GetError();
  EXPECT_EQ(bits, 1u | 16u);
  EXPECT_EQ(OutputDSound_Object(), nullptr);
  platform::dsound::SetEaxSupportHook(
      [](const GUID &set, ULONG) { return set != platform::dsound::DSPROPSETID_EAX30_ListenerProperties; });
  ASSERT_TRUE(OsndOutputDSound.getCaps(&bits, 0));
  EXPECT_EQ(bits, 1u | 2u);
  platform::dsound::SetEaxSupportHook([](const GUID &, ULONG) { return false; });
  ASSERT_TRUE(OsndOutputDSound.getCaps(&bits, 0));
  EXPECT_EQ(bits, 1u);
  platform::dsound::SetEaxSupportHook(nullptr);
  // A running driver is not asked: its object would be closed under it.
  ASSERT_TRUE(OSND_Init(kRate, 8, 0));
  EXPECT_FALSE(OsndOutputDSound.getCaps(&bits, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_NE(OutputDSound_Object(), nullptr);
  OSND_Close();
  platform::dsound::UseLoopbackDevice(0);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

TEST_F(DSoundOutput, AResumeThatFindsNoVoiceLeftIsOutOfMemory) {
  OSND_SAMPLE *s = Sample(Sine(100, 441, 8000), OSND_MODE_HW2D);
  ASSERT_NE(s, nullptr);
  const int channel = OSND_PlaySoundEx(OSND_FREE, s, nullptr, true);
  ASSERT_GE(channel, 0) << OSND_GetError();
  // Buffers of the test's own take every source the device has.
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
  description.dwBufferBytes = 4096;
  description.lpwfxFormat = &format;
  std::vector<IDirectSoundBuffer *> taken;
  for (int i = 0; i < 4096; ++i) {
    IDirectSoundBuffer *b = nullptr;
    ASSERT_EQ(OutputDSound_Object()->CreateSoundBuffer(&description, &b, nullptr), DS_OK);
    if (b->Play(0, 0, DSBPLAY_LOOPING) != DS_OK) {
      b->Release();
      break;
    }
    taken.push_back(b);
  }
  ASSERT_LT(taken.size(), 4096u) << "the device's sources ran out";
  EXPECT_FALSE(OSND_SetPaused(channel, false));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_MEMORY);
  for (IDirectSoundBuffer *b : taken) b->Release();
}

}  // namespace output_d_sound_test
