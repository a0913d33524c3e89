#include "SoundTestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

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
  // 2D, so that the update pass leaves the pan a test sets alone.
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, int(data.size()), OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_2D | loopMode,
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

std::vector<int16_t> StereoRamp(int frames) {
  std::vector<int16_t> data(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    data[2 * size_t(i)] = int16_t(i * 7 - 30000);
    data[2 * size_t(i) + 1] = int16_t(20000 - i * 3);
  }
  return data;
}

bool WriteRawRamp(const std::string &path, int frames) {
  const std::vector<int16_t> data = StereoRamp(frames);
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(data.data(), 2, data.size(), f) == data.size();
  return std::fclose(f) == 0 && written;
}

size_t CapturedEngine::Find(const std::vector<int16_t> &frames, size_t from) const {
  for (size_t f = from; f + 1 < captured.size() / 2; ++f)
    if (Left(f) == frames[0] && Right(f) == frames[1] && Left(f + 1) == frames[2]) return f;
  return size_t(-1);
}

size_t CapturedEngine::Mismatches(size_t at, const std::vector<int16_t> &frames) const {
  const size_t count = frames.size() / 2;
  if (at == size_t(-1) || captured.size() / 2 < at + count) return count;
  size_t differing = 0;
  for (size_t f = 0; f < count; ++f)
    if (Left(at + f) != frames[2 * f] || Right(at + f) != frames[2 * f + 1]) ++differing;
  return differing;
}

namespace {
std::filesystem::path TestFolder(const std::string &suite) {
  return std::filesystem::path(QMV_BINARY_DIR) / "test-home" / (suite + "-" + std::to_string(getpid()));
}
}  // namespace

std::string TestFile(const std::string &suite, const std::string &name) {
  const std::filesystem::path folder = TestFolder(suite);
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

void RemoveTestFiles(const std::string &suite) { std::filesystem::remove_all(TestFolder(suite)); }

bool RunQuiet(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool RunShell(const std::string &command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

std::vector<uint8_t> ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void NonRealtimeEngine::SetUp() {
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
}

void NonRealtimeEngine::TearDown() {
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

std::vector<int16_t> ReadPcm(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<int16_t> pcm(bytes.size() / 2);
  std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
  return pcm;
}

Watchdog::Watchdog(int seconds, std::string what)
    : m_Thread([this, seconds, what = std::move(what)] {
        std::unique_lock<std::mutex> lock(m_Lock);
        if (m_Done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_Ended; })) return;
        std::fprintf(stderr, "Hung for %d s: %s\n", seconds, what.c_str());
        std::abort();
      }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Ended = true;
  }
  m_Done.notify_all();
  m_Thread.join();
}

int EngineThreadCount() {
  int count = 0;
  for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    count += name.rfind("ZIVE", 0) == 0;
  }
  return count;
}

int EngineThreadsAfterClose(int milliseconds) {
  PollUntil([] { return EngineThreadCount() == 0; }, milliseconds);
  return EngineThreadCount();
}
