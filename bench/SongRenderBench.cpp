// Song rendering: the same XM and IT songs rendered for 60 seconds to 44100 Hz
// 16-bit stereo by the engine (each quality mixer, stepped block by block on
// the non-realtime no-sound output) and by libxmp (xmp_play_buffer, linear
// interpolation), in the same run.
//
// QMV_SONG_DIR names a folder of MOD, S3M, XM and IT files rendered beside the
// generated songs. With QMV_SONG_HASHES set to a file, the program renders
// every song with every quality mixer at every vector level instead, and writes
// one line per render: song, mixer, level and the FNV-1a hash of the 16-bit
// frames.
#include "TrackerWriterSupport.h"

#include "sound/include/osnd.h"
#include "sound/src/mixer/mix_vector.h"
#include "sound/src/song/music_core.h"
#include "sound/src/output/output_nosound.h"

#include <benchmark/benchmark.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
  bool hashing = false;
  uint64_t hash = 14695981039346656037ull;
};

void Tap(const int16_t *frames, int count, void *user) {
  auto *c = static_cast<Capture *>(user);
  // The frames of the last block past the minute are left out of the hash.
  const int64_t wanted = std::min<int64_t>(count, std::max<int64_t>(kFrames - c->frames, 0));
  if (c->hashing)
    for (int64_t i = 0; i < 2 * wanted; ++i) c->hash = (c->hash ^ uint16_t(frames[i])) * 1099511628211ull;
  c->frames += count;
  for (int i = 0; i < 2 * count; i += 257) c->peak = std::max<int32_t>(c->peak, std::abs(int32_t(frames[i])));
}

// The real songs of QMV_SONG_DIR, by file name.
struct SongFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<SongFile> SongFiles() {
  std::vector<SongFile> songs;
  const char *dir = std::getenv("QMV_SONG_DIR");
  if (!dir || !*dir) return songs;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(dir, error)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    SongFile song{entry.path().filename().string(),
                  std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
    if (!song.bytes.empty()) songs.push_back(std::move(song));
  }
  if (error) std::fprintf(stderr, "QMV_SONG_DIR %s: %s\n", dir, error.message().c_str());
  std::sort(songs.begin(), songs.end(), [](const SongFile &a, const SongFile &b) { return a.name < b.name; });
  return songs;
}

// Loads the song and starts it; null (with the song freed) where it does not load.
MusicSong *StartSong(const std::vector<uint8_t> &bytes) {
  MusicSong *song = Music_CreateSong();
  const bool loaded = Music_LoadSong(song, reinterpret_cast<const char *>(bytes.data()),
                                     OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL, 0, int(bytes.size()), nullptr, 0);
  if (loaded && Music_PlaySong(song)) return song;
  Music_FreeSong(song);
  return nullptr;
}

bool StartEngine(int mixer) {
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  return OSND_SetMixer(mixer) && OSND_Init(kRate, 64, 0) && OSND_GetMixer() == mixer;
}

void Engine(benchmark::State &state, int mixer, const std::vector<uint8_t> &bytes) {
  Capture capture;
  OsndOutputNoSound_SetCaptureTap(Tap, &capture);
  if (!StartEngine(mixer)) {
    state.SkipWithError(("engine start failed, error " + std::to_string(OSND_GetError())).c_str());
  } else {
    for (auto _ : state) {
      state.PauseTiming();
      MusicSong *song = StartSong(bytes);
      if (!song) {
        state.SkipWithError("song not loaded");
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

void Libxmp(benchmark::State &state, const std::vector<uint8_t> &bytes) {
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

// Renders every song with every mixer at every vector level and writes the hashes.
int WriteHashes(const char *path, const std::vector<SongFile> &songs) {
  FILE *out = std::fopen(path, "w");
  if (!out) {
    std::perror(path);
    return 1;
  }
  const int mixers[] = {OSND_MIXER_QUALITY_FPU, OSND_MIXER_QUALITY_MMXP5, OSND_MIXER_QUALITY_MMXP6};
  const char *mixerNames[] = {"fpu", "mmxp5", "mmxp6"};
  const MixVectorLevel levels[] = {MixVectorLevel::Avx2, MixVectorLevel::Sse2, MixVectorLevel::Off};
  const char *levelNames[] = {"avx2", "sse2", "off"};
  int failures = 0;
  for (const SongFile &file : songs)
    for (int m = 0; m < 3; ++m)
      for (int l = 0; l < 3; ++l) {
        if (levels[l] > MixVector_Best()) continue;
        MixVector_Limit(levels[l]);
        Capture capture;
        capture.hashing = true;
        OsndOutputNoSound_SetCaptureTap(Tap, &capture);
        MusicSong *song = StartEngine(mixers[m]) ? StartSong(file.bytes) : nullptr;
        if (song) {
          while (capture.frames < kFrames) OSND_Update();
          Music_FreeSong(song);
          std::fprintf(out, "%s %s %s %016llx\n", file.name.c_str(), mixerNames[m], levelNames[l],
                       static_cast<unsigned long long>(capture.hash));
        } else {
          std::fprintf(stderr, "%s did not play with the %s mixer\n", file.name.c_str(), mixerNames[m]);
          ++failures;
        }
        OSND_Close();
        OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
      }
  MixVector_Limit(MixVectorLevel::Avx2);
  std::fclose(out);
  return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<SongFile> songs = SongFiles();
  if (const char *hashes = std::getenv("QMV_SONG_HASHES")) {
    songs.insert(songs.begin(), {{"generated.it", Module(true)}, {"generated.xm", Module(false)}});
    return WriteHashes(hashes, songs);
  }
  const struct {
    const char *name;
    int mixer;
  } mixers[] = {{"EngineFpu", OSND_MIXER_QUALITY_FPU},
                {"EngineMmxP5", OSND_MIXER_QUALITY_MMXP5},
                {"EngineMmxP6", OSND_MIXER_QUALITY_MMXP6}};
  auto add = [&](const std::string &song, const std::vector<uint8_t> *bytes) {
    for (const auto &m : mixers) {
      const int mixer = m.mixer;
      benchmark::RegisterBenchmark(("BM_" + song + m.name).c_str(),
                                   [mixer, bytes](benchmark::State &s) { Engine(s, mixer, *bytes); })
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(("BM_" + song + "Libxmp").c_str(),
                                 [bytes](benchmark::State &s) { Libxmp(s, *bytes); })
        ->Unit(benchmark::kMillisecond);
  };
  add("Xm", &Module(false));
  add("It", &Module(true));
  for (const SongFile &song : songs) add("Song/" + song.name + "/", &song.bytes);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
