// Software mixer throughput: N looping 16-bit mono voices of varied pitch mixed
// to 44100 Hz 16-bit stereo, by each of the engine's quality mixers (stepped
// block by block on the non-realtime no-sound output) and by OpenAL Soft's
// loopback device doing the same work with its linear resampler. The counter
// voice_frames/s is voices x output frames mixed per second.
#include "sound/include/osnd.h"
#include "sound/src/mixer/mix_vector.h"
#include "sound/src/output/output_nosound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSampleFrames = 3 * kRate;  // three seconds
constexpr int kBlockFrames = 1024;        // the engine's block at 44100 Hz
constexpr int kVolume = 64;               // keeps 8 voices clear of clipping

// A deterministic, non-periodic-looking test tone: two partials and a little noise.
const std::vector<int16_t> &SampleData() {
  static const std::vector<int16_t> data = [] {
    std::vector<int16_t> d(kSampleFrames);
    uint32_t noise = 12345;
    for (int i = 0; i < kSampleFrames; ++i) {
      noise = noise * 1664525u + 1013904223u;
      const double t = double(i) / kRate;
      const double v = 12000.0 * std::sin(2 * M_PI * 220.0 * t) + 6000.0 * std::sin(2 * M_PI * 331.0 * t) +
                       double(int32_t(noise >> 16) - 32768) / 16.0;
      d[i] = int16_t(std::lrint(v));
    }
    return d;
  }();
  return data;
}

// Voice i plays at a pitch between 0.5 and 2.0 (golden-ratio spread) from its own offset.
double Pitch(int voice) { return 0.5 + 1.5 * std::fmod(voice * 0.6180339887, 1.0); }
int StartOffset(int voice) { return int((int64_t(voice) * 7919) % kSampleFrames); }

// The sample's data kinds: 16-bit mono (the tone above, as OpenAL Soft is
// given it), 8-bit mono, and 16- and 8-bit stereo (the right side the tone a
// second later).
enum Kind { kMono16, kMono8, kStereo16, kStereo8 };
const char *const kKindNames[] = {"16-bit mono", "8-bit mono", "16-bit stereo", "8-bit stereo"};

std::vector<uint8_t> KindData(int kind) {
  const std::vector<int16_t> &tone = SampleData();
  const bool stereo = kind == kStereo16 || kind == kStereo8, eight = kind == kMono8 || kind == kStereo8;
  std::vector<uint8_t> bytes;
  for (int i = 0; i < kSampleFrames; ++i)
    for (int side = 0; side < (stereo ? 2 : 1); ++side) {
      const int16_t v = tone[size_t((i + side * kRate) % kSampleFrames)];
      if (eight) {
        bytes.push_back(uint8_t(v >> 8));
      } else {
        bytes.push_back(uint8_t(uint16_t(v)));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
      }
    }
  return bytes;
}

struct Capture {
  int64_t frames = 0;
  int32_t peak = 0;
};

void Tap(const int16_t *frames, int count, void *user) {
  auto *c = static_cast<Capture *>(user);
  c->frames += count;
  for (int i = 0; i < 2 * count; i += 257) c->peak = std::max<int32_t>(c->peak, std::abs(int32_t(frames[i])));
}

void SetCounters(benchmark::State &state, int voices, int64_t frames) {
  state.counters["voice_frames/s"] =
      benchmark::Counter(double(frames) * voices, benchmark::Counter::kIsRate);
  state.counters["voices"] = voices;
}

void EngineMix(benchmark::State &state, int mixer, MixVectorLevel level = MixVectorLevel::Avx2, int kind = kMono16) {
  const int voices = int(state.range(0));
  if (MixVector_Best() < level) {
    state.SkipWithError("the processor lacks these vector loops");
    return;
  }
  MixVector_Limit(level);
  Capture capture;
  OsndOutputNoSound_SetCaptureTap(Tap, &capture);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  if (!OSND_SetMixer(mixer) || !OSND_Init(kRate, voices, 0) || OSND_GetMixer() != mixer) {
    state.SkipWithError(("engine start failed, error " + std::to_string(OSND_GetError())).c_str());
    OSND_Close();
    OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
    return;
  }
  const std::vector<uint8_t> data = KindData(kind);
  const unsigned format = (kind == kMono8 || kind == kStereo8 ? OSND_MODE_8BITS : OSND_MODE_16BITS) |
                          (kind == kStereo16 || kind == kStereo8 ? OSND_MODE_STEREO : OSND_MODE_MONO);
  OSND_SAMPLE *sample = OSND_Sample_Alloc(-1, kSampleFrames, format | OSND_MODE_LOOP_NORMAL, kRate, kVolume, 128, 128);
  bool ok = sample && OSND_Sample_Upload(sample, data.data(), format | OSND_MODE_SIGNED);
  for (int v = 0; ok && v < voices; ++v) {
    const int h = OSND_PlaySoundEx(OSND_FREE, sample, nullptr, true);
    ok = h >= 0 && OSND_SetFrequency(h, int(std::lrint(kRate * Pitch(v)))) &&
         OSND_SetCurrentPosition(h, unsigned(StartOffset(v))) && OSND_SetVolume(h, kVolume) &&
         OSND_SetPan(h, 128) && OSND_SetPaused(h, false);
  }
  if (!ok) {
    state.SkipWithError(("voice set-up failed, error " + std::to_string(OSND_GetError())).c_str());
  } else {
    for (int i = 0; i < 8; ++i) OSND_Update();  // past the fade-in ramps
    if (capture.peak == 0) state.SkipWithError("the engine mixed silence");
    capture.frames = 0;
    for (auto _ : state) OSND_Update();
    if (OSND_GetChannelsPlaying() != voices) state.SkipWithError("a voice stopped");
    SetCounters(state, voices, capture.frames);
    state.SetLabel(kKindNames[kind]);
  }
  OSND_Close();
  OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
  MixVector_Limit(MixVectorLevel::Avx2);
}

// At the best vector level of the processor, as the engine runs; the Sse2
// forms hold the loops to SSE2 for the side-by-side figures.
void BM_EngineFpu(benchmark::State &state) { EngineMix(state, OSND_MIXER_QUALITY_FPU); }
void BM_EngineMmxP5(benchmark::State &state) { EngineMix(state, OSND_MIXER_QUALITY_MMXP5); }
void BM_EngineMmxP6(benchmark::State &state) { EngineMix(state, OSND_MIXER_QUALITY_MMXP6); }
void BM_EngineFpuSse2(benchmark::State &state) { EngineMix(state, OSND_MIXER_QUALITY_FPU, MixVectorLevel::Sse2); }
void BM_EngineMmxP5Sse2(benchmark::State &state) {
  EngineMix(state, OSND_MIXER_QUALITY_MMXP5, MixVectorLevel::Sse2);
}
void BM_EngineMmxP6Sse2(benchmark::State &state) {
  EngineMix(state, OSND_MIXER_QUALITY_MMXP6, MixVectorLevel::Sse2);
}

// The other data kinds (second argument), each vector level side by side.
template <int Mixer, MixVectorLevel Level>
void BM_EngineKind(benchmark::State &state) {
  EngineMix(state, Mixer, Level, int(state.range(1)));
}

// OpenAL Soft on a loopback device: same voices, format and block size; no
// effect sends, no HRTF, no output limiter; the linear resampler when offered.
class OpenAlLoopback {
 public:
  explicit OpenAlLoopback(int voices) {
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    render_ = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!open || !render_) {
      error_ = "ALC_SOFT_loopback missing";
      return;
    }
    device_ = open(nullptr);
    if (!device_) {
      error_ = "loopback device not opened";
      return;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                                 ALC_FREQUENCY, kRate, ALC_MONO_SOURCES, voices, ALC_STEREO_SOURCES, 0,
                                 ALC_MAX_AUXILIARY_SENDS, 0, ALC_HRTF_SOFT, ALC_FALSE,
                                 ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
    context_ = alcCreateContext(device_, attributes);
    if (!context_ || !alcMakeContextCurrent(context_)) {
      error_ = "context not created";
      return;
    }

    const std::vector<int16_t> &data = SampleData();
    alGenBuffers(1, &buffer_);
    alBufferData(buffer_, AL_FORMAT_MONO16, data.data(), ALsizei(data.size() * sizeof(int16_t)), kRate);
    const ALint resampler = LinearResampler();
    sources_.resize(size_t(voices));
    alGenSources(voices, sources_.data());
    if (alGetError() != AL_NO_ERROR) {
      error_ = "sources or buffer not created";
      return;
    }
    for (int v = 0; v < voices; ++v) {
      const ALuint s = sources_[size_t(v)];
      alSourcei(s, AL_BUFFER, ALint(buffer_));
      alSourcei(s, AL_LOOPING, AL_TRUE);
      alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);  // centred, like pan 128
      alSource3f(s, AL_POSITION, 0.0f, 0.0f, 0.0f);
      alSourcef(s, AL_PITCH, float(Pitch(v)));
      alSourcef(s, AL_GAIN, float(kVolume) / 255.0f);
      if (resampler >= 0) alSourcei(s, AL_SOURCE_RESAMPLER_SOFT, resampler);
      alSourcei(s, AL_SAMPLE_OFFSET, StartOffset(v));
    }
    alSourcePlayv(voices, sources_.data());
    if (alGetError() != AL_NO_ERROR) {
      error_ = "sources not started";
      return;
    }
  }

  ~OpenAlLoopback() {
    if (context_) {
      if (!sources_.empty()) alDeleteSources(ALsizei(sources_.size()), sources_.data());
      if (buffer_) alDeleteBuffers(1, &buffer_);
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(context_);
    }
    if (device_) alcCloseDevice(device_);
  }

  const char *error() const { return error_; }
  const char *resamplerName() const { return resamplerName_.c_str(); }
  void Render(int16_t *out, int frames) { render_(device_, out, frames); }

  int PlayingSources() const {
    int playing = 0;
    for (ALuint s : sources_) {
      ALint st = 0;
      alGetSourcei(s, AL_SOURCE_STATE, &st);
      playing += st == AL_PLAYING;
    }
    return playing;
  }

 private:
  ALint LinearResampler() {
    if (!alIsExtensionPresent("AL_SOFT_source_resampler")) {
      resamplerName_ = "default";
      return -1;
    }
    auto name = reinterpret_cast<LPALGETSTRINGISOFT>(alGetProcAddress("alGetStringiSOFT"));
    const ALint count = alGetInteger(AL_NUM_RESAMPLERS_SOFT);
    for (ALint i = 0; name && i < count; ++i) {
      const std::string n = name(AL_RESAMPLER_NAME_SOFT, i);
      if (n.find("inear") != std::string::npos) {
        resamplerName_ = n;
        return i;
      }
    }
    resamplerName_ = "default";
    return -1;
  }

  ALCdevice *device_ = nullptr;
  ALCcontext *context_ = nullptr;
  LPALCRENDERSAMPLESSOFT render_ = nullptr;
  ALuint buffer_ = 0;
  std::vector<ALuint> sources_;
  std::string resamplerName_ = "default";
  const char *error_ = nullptr;
};

void BM_OpenAlSoft(benchmark::State &state) {
  const int voices = int(state.range(0));
  OpenAlLoopback al(voices);
  if (al.error()) {
    state.SkipWithError(al.error());
    return;
  }
  std::vector<int16_t> out(2 * kBlockFrames);
  int32_t peak = 0;
  for (int i = 0; i < 8; ++i) {
    al.Render(out.data(), kBlockFrames);
    for (int16_t v : out) peak = std::max<int32_t>(peak, std::abs(int32_t(v)));
  }
  if (peak == 0) {
    state.SkipWithError("OpenAL Soft mixed silence");
    return;
  }
  int64_t frames = 0;
  for (auto _ : state) {
    al.Render(out.data(), kBlockFrames);
    benchmark::DoNotOptimize(out.data());
    frames += kBlockFrames;
  }
  if (al.PlayingSources() != voices) state.SkipWithError("a source stopped");
  state.SetLabel(std::string("resampler: ") + al.resamplerName());
  SetCounters(state, voices, frames);
}

void Voices(benchmark::internal::Benchmark *b) {
  for (int v : {1, 8, 32, 128, 512}) b->Arg(v);
  b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_EngineFpu)->Apply(Voices);
BENCHMARK(BM_EngineMmxP5)->Apply(Voices);
BENCHMARK(BM_EngineMmxP6)->Apply(Voices);
BENCHMARK(BM_EngineFpuSse2)->Apply(Voices);
BENCHMARK(BM_EngineMmxP5Sse2)->Apply(Voices);
BENCHMARK(BM_EngineMmxP6Sse2)->Apply(Voices);
BENCHMARK(BM_OpenAlSoft)->Apply(Voices);

void VoicesAndKinds(benchmark::internal::Benchmark *b) {
  for (int kind : {kMono8, kStereo16, kStereo8})
    for (int v : {32, 512}) b->Args({v, kind});
  b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_EngineKind<OSND_MIXER_QUALITY_FPU, MixVectorLevel::Avx2>)->Apply(VoicesAndKinds);
BENCHMARK(BM_EngineKind<OSND_MIXER_QUALITY_FPU, MixVectorLevel::Sse2>)->Apply(VoicesAndKinds);
BENCHMARK(BM_EngineKind<OSND_MIXER_QUALITY_MMXP6, MixVectorLevel::Avx2>)->Apply(VoicesAndKinds);
BENCHMARK(BM_EngineKind<OSND_MIXER_QUALITY_MMXP6, MixVectorLevel::Sse2>)->Apply(VoicesAndKinds);

BENCHMARK_MAIN();
