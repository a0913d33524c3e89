// Decoding a whole 3-minute stereo 44.1 kHz file (192 kbit/s) to 16-bit PCM
// from memory: the engine's MPEG decoder frame by frame, next to libmpg123
// (its default decoder, chosen for the processor) on the same bytes. The
// files are made once per run with sox and lame / twolame.
#include "sound/src/format/mpeg/mpeg_decoder.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kFolder = "/tmp/qmv-mpeg-bench";

std::vector<uint8_t> Encoded(int layer) {
  const std::string wav = kFolder + "/source.wav";
  const std::string out = kFolder + (layer == 3 ? "/music.mp3" : "/music.mp2");
  if (!std::ifstream(out)) {
    std::system(("mkdir -p " + kFolder).c_str());
    // Chords with a little noise: enough content for real Huffman and
    // allocation work in every subband.
    if (!std::ifstream(wav))
      std::system(("sox -n -r 44100 -c 2 -b 16 " + wav +
                   " synth 180 sine 220 sine 330 sine 440 sine 660 sine 990 pinknoise gain -12 2>/dev/null")
                      .c_str());
    const std::string encoder = layer == 3 ? "lame --quiet -b 192 " : "twolame --quiet -b 192 ";
    std::system((encoder + wav + " " + out + " 2>/dev/null").c_str());
  }
  std::ifstream in(out, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

const std::vector<uint8_t> &File(int layer) {
  static const std::vector<uint8_t> l2 = Encoded(2), l3 = Encoded(3);
  return layer == 3 ? l3 : l2;
}

// Every frame of the file through one decoder; returns the PCM bytes made.
size_t DecodeOurs(const std::vector<uint8_t> &file, MpegDecoder *d, uint8_t *pcm) {
  size_t p = 0, total = 0;
  while (p + 4 <= file.size()) {
    int length = 0;
    if (!MpegDecoder_DecodeHeader(d, &file[p], nullptr, nullptr, &length) || p + 4 + size_t(length) > file.size()) {
      ++p;
      continue;
    }
    int written = 0;
    MpegDecoder_DecodeFrame(d, &file[p], 4 + length, pcm, &written);
    total += size_t(written);
    p += 4 + size_t(length);
  }
  return total;
}

void Ours(benchmark::State &state, int layer) {
  const std::vector<uint8_t> &file = File(layer);
  MpegDecoder_InitTables();
  auto *d = static_cast<MpegDecoder *>(std::calloc(1, sizeof(MpegDecoder)));
  std::vector<uint8_t> pcm(MPEG_MAX_FRAME_OUTPUT);
  size_t bytes = 0;
  for (auto _ : state) {
    std::memset(d, 0, sizeof *d);
    d->previousLength = -1;
    bytes = DecodeOurs(file, d, pcm.data());
    benchmark::DoNotOptimize(pcm.data());
  }
  state.counters["pcm_MB"] = double(bytes) / 1e6;
  std::free(d);
}

void Mpg123(benchmark::State &state, int layer) {
  const std::vector<uint8_t> &file = File(layer);
  mpg123_init();
  size_t bytes = 0;
  for (auto _ : state) {
    mpg123_handle *h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0.0);
    mpg123_open_feed(h);
    mpg123_feed(h, file.data(), file.size());
    bytes = 0;
    off_t frame = 0;
    unsigned char *audio = nullptr;
    size_t got = 0;
    for (;;) {
      const int result = mpg123_decode_frame(h, &frame, &audio, &got);
      if (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
        bytes += got;
        benchmark::DoNotOptimize(audio);
      } else {
        break;
      }
    }
    state.SetLabel(mpg123_current_decoder(h));
    mpg123_delete(h);
  }
  state.counters["pcm_MB"] = double(bytes) / 1e6;
}

void BM_OursLayer3(benchmark::State &state) { Ours(state, 3); }
void BM_Mpg123Layer3(benchmark::State &state) { Mpg123(state, 3); }
void BM_OursLayer2(benchmark::State &state) { Ours(state, 2); }
void BM_Mpg123Layer2(benchmark::State &state) { Mpg123(state, 2); }

}  // namespace

BENCHMARK(BM_OursLayer3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpg123Layer3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursLayer2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpg123Layer2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
