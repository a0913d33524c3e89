// Decoding whole files to 16-bit PCM from memory: the engine's MPEG decoder
// frame by frame, next to libmpg123 (its default decoder, chosen for the
// processor) on the same bytes. The bench's own files are 3-minute sox
// sources encoded once per run by lame and twolame, at 44.1 kHz stereo and
// 22.05 kHz mono; every .mp3 and .mp2 file in the folder QMV_MPEG_MUSIC names
// (bench/mpeg_music.sh makes one of real music) is decoded beside them.
//
// Each file is one pair of benchmarks, Ours/<file> and Mpg123/<file>; the
// engine's side also reports how far its samples are from libmpg123's
// (max_lsb, largest difference; off_share, the share not equal) and a hash
// of its PCM in the label, so that a change that should not move a sample
// can be checked on every file. QMV_MPEG_SYNTHESIS=baseline makes the
// engine use its baseline synthesis path instead of the widest.
#include "sound/src/format/mpeg/mpeg_decoder.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kFolder = "/tmp/qmv-mpeg-bench";

std::vector<uint8_t> ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  // Tags are the container's business, not the frame decoders': an ID3v2
  // tag in front (its size in 7-bit bytes) and an ID3v1 tag at the end go.
  if (bytes.size() >= 10 && std::memcmp(bytes.data(), "ID3", 3) == 0) {
    const size_t size = size_t(bytes[6] & 0x7F) << 21 | size_t(bytes[7] & 0x7F) << 14 |
                        size_t(bytes[8] & 0x7F) << 7 | size_t(bytes[9] & 0x7F);
    bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(bytes.size(), 10 + size)));
  }
  if (bytes.size() >= 128 && std::memcmp(&bytes[bytes.size() - 128], "TAG", 3) == 0) bytes.resize(bytes.size() - 128);
  return bytes;
}

// The bench's own file `name`, made when missing: chords with a little
// noise, enough content for real Huffman and allocation work in every subband.
std::string Synthetic(const std::string &name, bool mono) {
  const std::string out = kFolder + "/" + name;
  if (std::ifstream(out)) return out;
  std::system(("mkdir -p " + kFolder).c_str());
  const std::string wav = kFolder + (mono ? "/source-22k-mono.wav" : "/source.wav");
  if (!std::ifstream(wav))
    std::system(("sox -n -r " + std::string(mono ? "22050 -c 1" : "44100 -c 2") + " -b 16 " + wav +
                 " synth 180 sine 220 sine 330 sine 440 sine 660 sine 990 pinknoise gain -12 2>/dev/null")
                    .c_str());
  const bool layer3 = name.ends_with(".mp3");
  const std::string encoder = std::string(layer3 ? "lame --quiet " : "twolame --quiet ") +
                              (mono ? "-m m -b 64 " : "-b 192 ");
  std::system((encoder + wav + " " + out + " 2>/dev/null").c_str());
  return out;
}

// Every frame of the file through one decoder; returns the PCM bytes made.
// `keep` (may be null) gets the PCM.
size_t DecodeOurs(const std::vector<uint8_t> &file, MpegDecoder *d, uint8_t *pcm, std::vector<int16_t> *keep) {
  std::memset(d, 0, sizeof *d);
  d->previousLength = -1;
  size_t p = 0, total = 0;
  while (p + 4 <= file.size()) {
    int length = 0;
    if (!MpegDecoder_DecodeHeader(d, &file[p], nullptr, nullptr, &length) || p + 4 + size_t(length) > file.size()) {
      ++p;
      continue;
    }
    int written = 0;
    MpegDecoder_DecodeFrame(d, &file[p], 4 + length, pcm, &written);
    if (keep) keep->insert(keep->end(), reinterpret_cast<int16_t *>(pcm), reinterpret_cast<int16_t *>(pcm + written));
    total += size_t(written);
    p += 4 + size_t(length);
  }
  return total;
}

size_t DecodeMpg123(const std::vector<uint8_t> &file, std::vector<int16_t> *keep) {
  mpg123_handle *h = mpg123_new(nullptr, nullptr);
  mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0.0);
  mpg123_open_feed(h);
  mpg123_feed(h, file.data(), file.size());
  size_t bytes = 0;
  off_t frame = 0;
  unsigned char *audio = nullptr;
  size_t got = 0;
  for (;;) {
    const int result = mpg123_decode_frame(h, &frame, &audio, &got);
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    bytes += got;
    if (keep) keep->insert(keep->end(), reinterpret_cast<int16_t *>(audio), reinterpret_cast<int16_t *>(audio + got));
    benchmark::DoNotOptimize(audio);
  }
  mpg123_delete(h);
  return bytes;
}

struct DecoderDeleter {
  void operator()(MpegDecoder *d) const { std::free(d); }
};

void Ours(benchmark::State &state, const std::string &path) {
  const std::vector<uint8_t> file = ReadFile(path);
  std::unique_ptr<MpegDecoder, DecoderDeleter> d(static_cast<MpegDecoder *>(std::calloc(1, sizeof(MpegDecoder))));
  std::vector<uint8_t> pcm(MPEG_MAX_FRAME_OUTPUT);
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = DecodeOurs(file, d.get(), pcm.data(), nullptr);
    benchmark::DoNotOptimize(pcm.data());
  }
  state.counters["pcm_MB"] = double(bytes) / 1e6;

  // Untimed: the whole PCM against libmpg123's, and its hash (FNV-1a).
  std::vector<int16_t> ours, theirs;
  DecodeOurs(file, d.get(), pcm.data(), &ours);
  DecodeMpg123(file, &theirs);
  int largest = ours.size() == theirs.size() ? 0 : 65536;
  size_t off = 0;
  for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
    const int difference = std::abs(int(ours[i]) - int(theirs[i]));
    largest = std::max(largest, difference);
    off += difference != 0;
  }
  uint64_t hash = 14695981039346656037ull;
  for (const int16_t sample : ours) {
    const auto u = uint16_t(sample);
    hash = (hash ^ (u & 0xFF)) * 1099511628211ull;
    hash = (hash ^ (u >> 8)) * 1099511628211ull;
  }
  state.counters["max_lsb"] = largest;
  state.counters["off_share"] = ours.empty() ? 0.0 : double(off) / double(ours.size());
  char label[32];
  std::snprintf(label, sizeof label, "pcm %016llx", static_cast<unsigned long long>(hash));
  state.SetLabel(label);
}

void Mpg123(benchmark::State &state, const std::string &path) {
  const std::vector<uint8_t> file = ReadFile(path);
  size_t bytes = 0;
  for (auto _ : state) bytes = DecodeMpg123(file, nullptr);
  state.counters["pcm_MB"] = double(bytes) / 1e6;
}

void Register(const std::string &path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const auto minimum = [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); };
  benchmark::RegisterBenchmark(("Ours/" + name).c_str(), Ours, path)
      ->Unit(benchmark::kMillisecond)
      ->ComputeStatistics("min", minimum);
  benchmark::RegisterBenchmark(("Mpg123/" + name).c_str(), Mpg123, path)
      ->Unit(benchmark::kMillisecond)
      ->ComputeStatistics("min", minimum);
}

}  // namespace

int main(int argc, char **argv) {
  MpegDecoder_InitTables();
  mpg123_init();
  // QMV_MPEG_SYNTHESIS=baseline: the baseline synthesis path instead of the widest.
  if (const char *path = std::getenv("QMV_MPEG_SYNTHESIS"); path && std::string(path) == "baseline")
    MpegDecoder_UseWideSynthesis(false);
  Register(Synthetic("music.mp3", false));
  Register(Synthetic("music.mp2", false));
  Register(Synthetic("music-22k-mono.mp3", true));
  Register(Synthetic("music-22k-mono.mp2", true));
  if (const char *folder = std::getenv("QMV_MPEG_MUSIC")) {
    std::vector<std::string> found;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension == ".mp3" || extension == ".mp2") found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    for (const std::string &path : found) Register(path);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
