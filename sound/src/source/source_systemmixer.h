// The system mixer's volume for the compact-disc and synthesizer lines, so
// that sound played outside the engine's own mix follows the song volume.
#pragma once

constexpr int OSND_SYSTEMMIXER_CD = 0;
constexpr int OSND_SYSTEMMIXER_SYNTH = 1;

// Opens every mixer device and finds the two lines' volume controls.
void OsndSystemMixerWin32_Init();
// Sets a line (0 compact disc, 1 synthesizer) to a volume of 0..255 on every device.
void OsndSystemMixerWin32_SetVolume(int line, int volume);
void OsndSystemMixerWin32_Close();
// Devices opened by the last Init.
int OsndSystemMixerWin32_DeviceCount();
