// The system mixer volume through the ALSA mixer stand-in, against a
// PulseAudio server of the test's own with a null sink, reached through
// ALSA's pulse plugin and read back with amixer and pactl.
#include "PulseServerSupport.h"
#include "sound/include/osnd.h"
#include "sound/src/source/source_systemmixer.h"

#include "tests/SkipOutsideCi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace system_mixer_test {

namespace {

std::string Run(const std::string &command) {
  std::string text;
  if (FILE *p = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) text += buffer;
    pclose(p);
  }
  return text;
}

// The null sink's volume in PulseAudio's units (65536 = 100 %), -1 unread.
long SinkVolume() {
  const std::string text = Run("pactl get-sink-volume " + std::string(PulseServer::kSink));
  const size_t colon = text.find("front-left:");
  return colon == std::string::npos ? -1 : std::atol(text.c_str() + colon + 11);
}

// The element's value as amixer reports it on the pulse control device.
long MasterValue() {
  const std::string text = Run("amixer -D pulse sget Master");
  const size_t at = text.find("Front Left: Playback ");
  return at == std::string::npos ? -1 : std::atol(text.c_str() + at + 21);
}

}  // namespace

TEST(SystemMixer, VolumeMovesTheMappedElementOfTheSinkAndNothingElse) {
  PulseServer server;
  if (!server.Running()) {
    QMV_SKIP_OUTSIDE_CI("pulseaudio could not be started:\n" + server.Output());
  }
  setenv("QMV_MIXER_DEVICE", "pulse", 1);
  setenv("QMV_MIXER_SYNTH_ELEMENT", "Master", 1);
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(OsndSystemMixerWin32_DeviceCount(), 1);

  OsndSystemMixerWin32_SetVolume(OSND_SYSTEMMIXER_SYNTH, 255);
  EXPECT_EQ(SinkVolume(), 65536);
  EXPECT_EQ(MasterValue(), 65536);
  // 128 of 255 is 32896 of the control's 65535, 32897 of the element's 65536.
  OsndSystemMixerWin32_SetVolume(OSND_SYSTEMMIXER_SYNTH, 128);
  EXPECT_NEAR(SinkVolume(), 32897, 1);
  EXPECT_NEAR(MasterValue(), 32897, 1);
  // The compact-disc line maps to an element the device does not have.
  OsndSystemMixerWin32_SetVolume(OSND_SYSTEMMIXER_CD, 0);
  OsndSystemMixerWin32_SetVolume(7, 0);
  EXPECT_NEAR(SinkVolume(), 32897, 1);
  OsndSystemMixerWin32_SetVolume(OSND_SYSTEMMIXER_SYNTH, 0);
  EXPECT_EQ(SinkVolume(), 0);

  OSND_Close();
  EXPECT_EQ(OsndSystemMixerWin32_DeviceCount(), 0);
  unsetenv("QMV_MIXER_DEVICE");
  unsetenv("QMV_MIXER_SYNTH_ELEMENT");
}

TEST(SystemMixer, WithoutAMixerDeviceEveryCallDoesNothing) {
  setenv("QMV_MIXER_DEVICE", "qmv-no-such-device", 1);
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(OsndSystemMixerWin32_DeviceCount(), 0);
  OsndSystemMixerWin32_SetVolume(OSND_SYSTEMMIXER_SYNTH, 100);
  OSND_Close();
  unsetenv("QMV_MIXER_DEVICE");
}

}  // namespace system_mixer_test
