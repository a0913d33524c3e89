// Song rendering: the same XM and IT songs rendered for 60 seconds to 44100 Hz
// 16-bit stereo by the engine (each quality mixer, stepped block by block on
// the non-realtime no-sound output) and by libxmp (xmp_play_buffer, linear
// interpolation), in the same run.
#include "TrackerWriterSupport.h"

#include "sound/include/osnd.h"
#include "sound/src/song/music_core.h"
#include "sound/src/output/output_nosound.h"

#include <benchmark/benchmark.h>
#include <xmp.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t(kRate) * 60;  // one minute of sound
constexpr int kBlockFrames = 1024;

// Eight channels of notes with envelopes, vibrato, slides and arpeggios over
// four patterns: every channel sounds most of the time.
TrackerSong Song() {
  TrackerSong s;
  s.channels = 8;
  s.orders = {0, 1, 2, 3};
  s.mixVolume = 48;
  TrackerSample saw;
  TrackerSample sine = SineSample(2048, 64, 9000, true);
  for (int i = 0; i < 2048; ++i) saw.pcm.push_back(int16_t((i % 100) * 160 - 8000));
  saw.sixteen = true;
  saw.loopLength = 2000;
  TrackerSample shortSine = SineSample(4000, 40, 70);
  for (TrackerSample *t : {&sine, &saw, &shortSine}) {
    TrackerInstrument ins;
    ins.samples.push_back(*t);
    ins.sampleMap.assign(120, 0);
    ins.volumeEnvelope.points = {{0, 64}, {6, 50}, {30, 40}, {60, 20}};
    ins.volumeEnvelope.sustain = 2;
    ins.fadeOut = 512;
    s.instruments.push_back(ins);
    s.itSamples.push_back(*t);
  }
  for (TrackerInstrument &ins : s.instruments) {
    // IT keyboards name samples 1-based; XM maps take the instrument's own slot 0.
    ins.newNoteAction = 2;
  }
  const int notes[8] = {37, 41, 44, 49, 53, 56, 61, 65};
  for (int p = 0; p < 4; ++p) {
    for (int r = 0; r < 64; ++r) {
      for (int c = 0; c < 8; ++c) {
        if ((r + c) % 4 != 0) continue;
        TrackerCell &cell = s.At(p, r, c);
        cell.note = notes[(c + r / 4 + p) % 8];
        cell.instrument = 1 + (c + p) % 3;
        cell.volume = 0;
        const int kind = (r / 4 + c) % 4;
        if (kind == 1) cell.effect = 4, cell.parameter = 0x46;   // vibrato (XM 4)
        if (kind == 2) cell.effect = 0xA, cell.parameter = 0x01;  // volume slide (XM A)
      }
    }
  }
  return s;
}

// The IT form of the same song: effect numbers and notes in IT's terms.
std::vector<uint8_t> ItBytes() {
  TrackerSong s = Song();
  for (size_t i = 0; i < s.instruments.size(); ++i) s.instruments[i].sampleMap.assign(120, int(i) + 1);
  for (TrackerPattern &p : s.patterns)
    for (TrackerCell &cell : p.cells) {
      if (cell.note) cell.note += 12;  // XM's C-4 is IT's C-5
      if (cell.effect == 4) cell.effect = 8;        // H
      else if (cell.effect == 0xA) cell.effect = 4;  // D
    }
  return s.It();
}

const std::vector<uint8_t> &Module(bool it) {
  static const std::vector<uint8_t> xm = Song().Xm(), itBytes = ItBytes();
  return it ? itBytes : xm;
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

void Engine(benchmark::State &state, int mixer, bool it) {
  Capture capture;
  OsndOutputNoSound_SetCaptureTap(Tap, &capture);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  if (!OSND_SetMixer(mixer) || !OSND_Init(kRate, 64, 0) || OSND_GetMixer() != mixer) {
    state.SkipWithError(("engine start failed, error " + std::to_string(OSND_GetError())).c_str());
  } else {
    const std::vector<uint8_t> &bytes = Module(it);
    for (auto _ : state) {
      state.PauseTiming();
      MusicSong *song = Music_CreateSong();
      const bool loaded = Music_LoadSong(song, reinterpret_cast<const char *>(bytes.data()),
                                         OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL, 0, int(bytes.size()), nullptr, 0);
      if (!loaded || !Music_PlaySong(song)) {
        state.SkipWithError("song not loaded");
        Music_FreeSong(song);
        break;
      }
      capture.frames = 0;
      capture.peak = 0;
      state.ResumeTiming();
      while (capture.frames < kFrames) OSND_Update();
      state.PauseTiming();
      if (capture.peak < 1000) state.SkipWithError("the song rendered silence");
      Music_FreeSong(song);
      state.ResumeTiming();
    }
  }
  OSND_Close();
  OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
}

void Libxmp(benchmark::State &state, bool it) {
  const std::vector<uint8_t> &bytes = Module(it);
  xmp_context c = xmp_create_context();
  if (xmp_load_module_from_memory(c, const_cast<uint8_t *>(bytes.data()), long(bytes.size())) != 0) {
    state.SkipWithError("libxmp did not load the song");
    xmp_free_context(c);
    return;
  }
  std::vector<int16_t> buffer(size_t(kBlockFrames) * 2);
  for (auto _ : state) {
    state.PauseTiming();
    xmp_start_player(c, kRate, 0);
    xmp_set_player(c, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    int32_t peak = 0;
    state.ResumeTiming();
    for (int64_t done = 0; done < kFrames; done += kBlockFrames) {
      xmp_play_buffer(c, buffer.data(), int(buffer.size() * sizeof(int16_t)), 0);
      peak = std::max<int32_t>(peak, std::abs(int32_t(buffer[100])));
    }
    state.PauseTiming();
    if (peak == 0) state.SkipWithError("libxmp rendered silence");
    xmp_end_player(c);
    state.ResumeTiming();
  }
  xmp_release_module(c);
  xmp_free_context(c);
}

void BM_XmEngineFpu(benchmark::State &s) { Engine(s, OSND_MIXER_QUALITY_FPU, false); }
void BM_XmEngineMmxP5(benchmark::State &s) { Engine(s, OSND_MIXER_QUALITY_MMXP5, false); }
void BM_XmEngineMmxP6(benchmark::State &s) { Engine(s, OSND_MIXER_QUALITY_MMXP6, false); }
void BM_XmLibxmp(benchmark::State &s) { Libxmp(s, false); }
void BM_ItEngineFpu(benchmark::State &s) { Engine(s, OSND_MIXER_QUALITY_FPU, true); }
void BM_ItEngineMmxP5(benchmark::State &s) { Engine(s, OSND_MIXER_QUALITY_MMXP5, true); }
void BM_ItEngineMmxP6(benchmark::State &s) { Engine(s, OSND_MIXER_QUALITY_MMXP6, true); }
void BM_ItLibxmp(benchmark::State &s) { Libxmp(s, true); }

}  // namespace

BENCHMARK(BM_XmEngineFpu)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmEngineMmxP5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmEngineMmxP6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmLibxmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItEngineFpu)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItEngineMmxP5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItEngineMmxP6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItLibxmp)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
