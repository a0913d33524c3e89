#include "SoundTestSupport.h"

namespace {

void Tap(const int16_t *frames, int count, void *user) {
  auto *out = static_cast<std::vector<int16_t> *>(user);
  out->insert(out->end(), frames, frames + 2 * count);
}

}  // namespace

bool CapturedEngine::Start(int mixer, int rate, int channels, unsigned flags) {
  OsndOutputNoSound_SetCaptureTap(Tap, &captured);
  SoundSoftware_OverrideCpu(1, mixer != OSND_MIXER_QUALITY_FPU, mixer == OSND_MIXER_QUALITY_MMXP6);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  OSND_SetMixer(OSND_MIXER_QUALITY_AUTODETECT);
  if (!OSND_Init(rate, channels, flags)) return false;
  captured.clear();  // Init mixes one block of its own
  return OSND_GetMixer() == mixer;
}

void CapturedEngine::TearDown() {
  OSND_Close();
  OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
  SoundSoftware_OverrideCpu(-1, -1, -1);
}

void CapturedEngine::Step(int blocks) {
  for (int i = 0; i < blocks; ++i) OSND_Update();
}

OSND_SAMPLE *CapturedEngine::MonoSample16(const std::vector<int16_t> &data, unsigned loopMode) {
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, int(data.size()), OSND_MODE_16BITS | OSND_MODE_MONO | loopMode,
                                     44100, 255, 128, 128);
  if (s) OSND_Sample_Upload(s, data.data(), OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_SIGNED);
  return s;
}

OSND_SAMPLE *CapturedEngine::StereoSample16(const std::vector<int16_t> &interleaved, unsigned loopMode) {
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, int(interleaved.size() / 2),
                                     OSND_MODE_16BITS | OSND_MODE_STEREO | loopMode, 44100, 255, 128, 128);
  if (s) OSND_Sample_Upload(s, interleaved.data(), OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_SIGNED);
  return s;
}
