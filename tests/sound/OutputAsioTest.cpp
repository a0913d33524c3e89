// The ASIO output through the JACK driver, against a dummy-driver JACK server
// of the test's own, read back by a JACK client of the test.
#include "ServerProcessSupport.h"
#include "platform/asio/JackAsioDriver.h"
#include "platform/dsound/ComObject.h"
#include "platform/win32/WinCom.h"
#include "platform/win32/WinRegistry.h"
#include "sound/include/osnd.h"
#include "sound/src/core/osnd_records.h"

#include "tests/SkipOutsideCi.h"

#include <gtest/gtest.h>

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace output_asio_test {


namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 4000;

// A JACK server on the dummy driver under a name no other run shares, without
// D-Bus or real-time scheduling; clients never start one of their own.
class JackServer {
 public:
  JackServer() : process("jack") {
    const std::string name = process.UniqueName();
    const std::string noBus = "unix:path=" + process.Folder() + "/no-bus";
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    process.Start({"jackd", "-n", name, "-r", "-d", "dummy", "-r", "44100", "-p", "256", "-C", "0", "-P", "2"},
                  {{"DBUS_SESSION_BUS_ADDRESS", noBus}, {"DBUS_SYSTEM_BUS_ADDRESS", noBus}, {"DISPLAY", ""}});
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    running = process.WaitUntil(
        [] {
          jack_status_t status{};
          jack_client_t *probe = jack_client_open("qmv-probe", JackNoStartServer, &status);
          if (probe) jack_client_close(probe);
          return probe != nullptr;
        },
        ServerProcess::kStartLimit);
  }
  ~JackServer() { unsetenv("JACK_DEFAULT_SERVER"); }
  std::string Output() const { return process.Output(); }

  ServerProcess process;
  bool running = false;
};

// How long a client keeps asking a server that answers but refuses it (a
// loaded server may still be tidying up after the client before, or too slow
// to answer in libjack's own time): as a program would, it asks again.
constexpr auto kConnectLimit = std::chrono::seconds(60);

// Records what reaches its two input ports.
class Reader {
 public:
  Reader() {
    const auto limit = std::chrono::steady_clock::now() + kConnectLimit;
    for (;;) {
      jack_status_t status{};
      client = jack_client_open("qmv-reader", JackNoStartServer, &status);
      if (client || std::chrono::steady_clock::now() >= limit) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!client) return;
    ports[0] = jack_port_register(client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    ports[1] = jack_port_register(client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &Reader::Process, this);
    jack_activate(client);
  }
  ~Reader() {
    if (!client) return;
    // The server ends the process thread at deactivation wherever it stands,
    // which inside the callback ends the program: the callback stops taking
    // frames, and the one in progress ends, first.
    closing = true;
    {
      std::lock_guard<std::mutex> wait(lock);
    }
    jack_client_close(client);
  }
  bool Connect() {
    return client && jack_connect(client, "Quorvel:out_1", "qmv-reader:in_1") == 0 &&
           jack_connect(client, "Quorvel:out_2", "qmv-reader:in_2") == 0;
  }
  // Appends what was heard since the last call to left and right (only the
  // new frames are copied, so the process callback never waits long).
  void Take(std::vector<float> *left, std::vector<float> *right) {
    std::lock_guard<std::mutex> hold(lock);
    left->insert(left->end(), heard[0].begin() + std::ptrdiff_t(left->size()), heard[0].end());
    right->insert(right->end(), heard[1].begin() + std::ptrdiff_t(right->size()), heard[1].end());
  }

 private:
  static int Process(jack_nframes_t frames, void *self) {
    auto *r = static_cast<Reader *>(self);
    if (r->closing) return 0;
    std::lock_guard<std::mutex> hold(r->lock);
    for (int side = 0; side < 2; ++side) {
      const auto *in = static_cast<const float *>(jack_port_get_buffer(r->ports[side], frames));
      r->heard[side].insert(r->heard[side].end(), in, in + frames);
    }
    return 0;
  }
  jack_client_t *client = nullptr;
  jack_port_t *ports[2] = {};
  std::atomic<bool> closing{false};
  std::mutex lock;
  std::vector<float> heard[2];
};

// Leaves the engine closed on the no-sound output whatever the test did.
struct EngineReset {
  ~EngineReset() {
    OSND_Close();
    OSND_SetDriver(0);
    OSND_SetMixer(OSND_MIXER_QUALITY_AUTODETECT);
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
    platform::asio::SetReportedSampleType(ASIOSTFloat32LSB);
  }
};

// Selects the device of the driver's first two outputs; false when the
// driver is not listed.
bool SelectFirstPair(const std::string &driver) {
  const std::string device = driver + ": Left = ASIO CH 0 Right = ASIO CH 1";
  bool listed = false;
  for (int i = 0; i < OSND_GetNumDrivers(); ++i) {
    if (device != gOsnd.driverNames[i]) continue;
    listed = true;
    OSND_SetDriver(i);
  }
  return listed;
}

int16_t Left(int i) { return int16_t(i * 7 - 20000); }
int16_t Right(int i) { return int16_t(15000 - i * 3); }

// Whether a heard value is one of the ramp's on that side.
bool OnRamp(double value, int16_t (*side)(int)) {
  for (int i = 0; i < kFrames; ++i)
    if (value == side(i)) return true;
  return false;
}

// The heard signal laid against the stereo ramp (each the ramp's 16-bit value
// over 32768), round its loop: the frames that follow it value for value, the
// longest such stretch, and the frames with a side that is neither silence
// nor one of the ramp's values. The first periods after a connection may be
// silent while JACK reorders its graph, and a client late for a period on a
// busy machine cuts the ramp there (silence, a period again, or one side of
// the buffer written before the other was), but every value that sounds is
// the ramp's own, and stretches longer than a period come whole.
struct RampMatch {
  size_t following = 0, longest = 0, stray = 0;
  bool Enough() const { return following >= 5000 && longest >= 4 * 256; }
};
RampMatch MatchRamp(const std::vector<float> &left, const std::vector<float> &right) {
  RampMatch match;
  for (size_t f = 0; f < left.size();) {
    const double l = double(left[f]) * 32768.0, r = double(right[f]) * 32768.0;
    int start = -1;
    for (int i = 0; i < kFrames && start < 0; ++i)
      if (l == Left(i) && r == Right(i)) start = i;
    if (start < 0) {
      match.stray += (l != 0 && !OnRamp(l, Left)) || (r != 0 && !OnRamp(r, Right));
      ++f;
      continue;
    }
    size_t run = 0;
    while (f < left.size() && double(left[f]) * 32768.0 == Left((start + int(run)) % kFrames) &&
           double(right[f]) * 32768.0 == Right((start + int(run)) % kFrames)) {
      ++run;
      ++f;
    }
    match.following += run;
    match.longest = std::max(match.longest, run);
  }
  return match;
}

// OSND_Init on a server that answers, asked again while the driver's client
// is refused (OSND_ERR_INIT) and the server still runs.
bool InitOn(JackServer &server, int *attempts) {
  const auto limit = std::chrono::steady_clock::now() + kConnectLimit;
  for (*attempts = 1;; ++*attempts) {
    if (OSND_Init(kRate, 4, 0)) return true;
    if (OSND_GetError() != OSND_ERR_INIT || !server.process.Alive() || std::chrono::steady_clock::now() >= limit)
      return false;
    OSND_Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// An ASIO driver that behaves as drivers on the original platform do: its own
// thread calls the buffer switch every 5 ms, and stop() returns only once the
// switch in progress has ended. A period may come while a stop is under way:
// the thread makes one last switch after the stop began. A stop that waits
// more than 30 s for it is counted as stuck (the wait then gives up, so that a
// deadlock fails the test instead of hanging it; a starved switch ends sooner).
class StrictAsioDriver final : public platform::dsound::ComObject<IASIO> {
 public:
  static constexpr GUID kClsid = {0x5d1e7c42, 0x9a0b, 0x4c3d, {0x8e, 0x2f, 0x51, 0x54, 0x52, 0x49, 0x43, 0x54}};
  static std::atomic<int> switches, stuckStops;
  static std::atomic<bool> present;  // an absent driver fails its init, as when unplugged

  void *Find(REFIID iid) override { return iid == IID_IUnknown || iid == kClsid ? static_cast<IASIO *>(this) : nullptr; }
  ASIOBool init(void *) override { return present ? ASIOTrue : ASIOFalse; }
  void getDriverName(char *name) override { std::snprintf(name, 32, "Strict"); }
  LONG getDriverVersion() override { return 1; }
  void getErrorMessage(char *text) override { text[0] = '\0'; }
  ASIOError start() override {
    std::lock_guard<std::mutex> hold(lock);
    if (thread.joinable()) return ASE_OK;
    running = true;
    finished = false;
    thread = std::thread([this] { Loop(); });
    return ASE_OK;
  }
  ASIOError stop() override {
    std::unique_lock<std::mutex> hold(lock);
    if (!thread.joinable()) return ASE_OK;
    running = false;
    changed.notify_all();
    if (!changed.wait_for(hold, std::chrono::seconds(30), [this] { return finished; })) ++stuckStops;
    return ASE_OK;
  }
  ASIOError getChannels(LONG *inputs, LONG *outputs) override {
    *inputs = 0;
    *outputs = 2;
    return ASE_OK;
  }
  ASIOError getLatencies(LONG *input, LONG *output) override {
    *input = 0;
    *output = kSize;
    return ASE_OK;
  }
  ASIOError getBufferSize(LONG *minimum, LONG *maximum, LONG *preferred, LONG *granularity) override {
    *minimum = *maximum = *preferred = kSize;
    *granularity = 0;
    return ASE_OK;
  }
  ASIOError canSampleRate(ASIOSampleRate rate) override { return rate == kRate ? ASE_OK : ASE_NoClock; }
  ASIOError getSampleRate(ASIOSampleRate *rate) override {
    *rate = kRate;
    return ASE_OK;
  }
  ASIOError setSampleRate(ASIOSampleRate rate) override { return canSampleRate(rate); }
  ASIOError getClockSources(void *, LONG *count) override {
    if (count) *count = 0;
    return ASE_OK;
  }
  ASIOError setClockSource(LONG) override { return ASE_OK; }
  ASIOError getSamplePosition(ASIOSamples *, ASIOTimeStamp *) override { return ASE_NotPresent; }
  ASIOError getChannelInfo(ASIOChannelInfo *info) override {
    info->isActive = ASIOTrue;
    info->channelGroup = 0;
    info->type = ASIOSTInt16LSB;
    std::snprintf(info->name, sizeof info->name, "out %d", int(info->channel) + 1);
    return ASE_OK;
  }
  ASIOError createBuffers(ASIOBufferInfo *infos, LONG count, LONG size, ASIOCallbacks *host) override {
    for (LONG i = 0; i < count; ++i)
      for (int h = 0; h < 2; ++h) infos[i].buffers[h] = infos[i].isInput ? nullptr : halves[infos[i].channelNum & 1][h];
    (void)size;
    callbacks = host;
    return ASE_OK;
  }
  ASIOError disposeBuffers() override {
    stop();
    if (thread.joinable()) thread.join();
    callbacks = nullptr;
    return ASE_OK;
  }
  ASIOError controlPanel() override { return ASE_NotPresent; }
  ASIOError future(LONG, void *) override { return ASE_InvalidParameter; }
  ASIOError outputReady() override { return ASE_NotPresent; }

 private:
  static constexpr LONG kSize = 256;
  ~StrictAsioDriver() override {
    if (thread.joinable()) thread.join();
  }
  void Loop() {
    for (int half = 0;; half ^= 1) {
      bool last;
      {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait_for(hold, std::chrono::milliseconds(5), [this] { return !running; });
        last = !running;
      }
      callbacks->bufferSwitch(half, ASIOTrue);
      ++switches;
      if (last) break;
    }
    std::lock_guard<std::mutex> hold(lock);
    finished = true;
    changed.notify_all();
  }

  std::mutex lock;
  std::condition_variable changed;
  std::thread thread;
  bool running = false, finished = true;
  ASIOCallbacks *callbacks = nullptr;
  int16_t halves[2][2][kSize] = {};
};

std::atomic<int> StrictAsioDriver::switches{0};
std::atomic<int> StrictAsioDriver::stuckStops{0};
std::atomic<bool> StrictAsioDriver::present{false};

}  // namespace

// The engine stops the driver while it holds the mixer's lock: a buffer switch
// waiting for that lock then must give up, or a driver whose stop waits for
// the switch in progress never returns.
TEST(AsioOutput, AStopEndsWhileABufferSwitchWaitsForTheMixer) {
  EngineReset reset;
  platform::AddInstalledRegistryValues(HKEY_LOCAL_MACHINE, "software\\asio\\Strict",
                                       {platform::RegistryValue{"clsid", REG_SZ, "{5D1E7C42-9A0B-4C3D-8E2F-515452494354}"},
                                        platform::RegistryValue{"description", REG_SZ, "Strict"}});
  platform::AddInstalledRegistryValues(HKEY_CLASSES_ROOT,
                                       "clsid\\{5D1E7C42-9A0B-4C3D-8E2F-515452494354}\\InprocServer32",
                                       {platform::RegistryValue{"", REG_SZ, "/proc/self/exe"}});
  // Registered for the rest of the run, it is present only in this test.
  StrictAsioDriver::present = true;
  struct Absent {
    ~Absent() { StrictAsioDriver::present = false; }
  } absent;
  platform::RegisterComClass(StrictAsioDriver::kClsid, [](REFIID iid, void **object) -> HRESULT {
    IASIO *driver = new StrictAsioDriver();
    const HRESULT result = driver->QueryInterface(iid, object);
    driver->Release();
    return result;
  });
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_ASIO));
  ASSERT_TRUE(SelectFirstPair("Strict"));
  for (int round = 0; round < 3; ++round) {
    StrictAsioDriver::switches = 0;
    StrictAsioDriver::stuckStops = 0;
    ASSERT_TRUE(OSND_Init(kRate, 4, 0)) << OSND_GetError();
    // Switches come every 5 ms; a starved driver thread only makes them later.
    for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         StrictAsioDriver::switches < 4 && std::chrono::steady_clock::now() < limit;)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(StrictAsioDriver::switches, 4);
    OSND_Close();
    EXPECT_EQ(StrictAsioDriver::stuckStops, 0) << "round " << round;
  }
}

TEST(AsioOutput, EverySampleTypeReachesJackExactly) {
  JackServer server;
  if (!server.running) {
    QMV_SKIP_OUTSIDE_CI("jackd could not be started:\n" + server.Output());
  }
  EngineReset reset;
  platform::asio::RegisterJackAsioDriver();
  platform::asio::SetClientName("Quorvel");
  std::vector<int16_t> ramp(size_t(kFrames) * 2);
  for (int i = 0; i < kFrames; ++i) {
    ramp[2 * size_t(i)] = Left(i);
    ramp[2 * size_t(i) + 1] = Right(i);
  }
  const ASIOSampleType exact[] = {ASIOSTInt16MSB, ASIOSTInt24MSB,   ASIOSTInt32MSB,   ASIOSTFloat32MSB,
                                  ASIOSTFloat64MSB, ASIOSTInt16LSB, ASIOSTInt24LSB, ASIOSTInt32LSB,
                                  ASIOSTFloat32LSB, ASIOSTFloat64LSB};
  const ASIOSampleType silent[] = {ASIOSTInt32MSB16, ASIOSTInt32LSB24};
  std::vector<ASIOSampleType> types(std::begin(exact), std::end(exact));
  types.insert(types.end(), std::begin(silent), std::end(silent));
  for (ASIOSampleType type : types) {
    SCOPED_TRACE("sample type " + std::to_string(type));
    platform::asio::SetReportedSampleType(type);
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_ASIO));
    ASSERT_TRUE(OSND_SetMixer(OSND_MIXER_QUALITY_FPU));  // the mixer that keeps 16-bit values whole
    ASSERT_GE(OSND_GetNumDrivers(), 1);
    ASSERT_TRUE(SelectFirstPair("JACK"));
    int attempts = 0;
    ASSERT_TRUE(InitOn(server, &attempts)) << OSND_GetError() << " after " << attempts << " attempts";
    EXPECT_EQ(gOsnd.blockLength, 256);
    OSND_SAMPLE *s = OSND_Sample_Alloc(-1, kFrames, OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_LOOP_NORMAL,
                                       kRate, 255, -1, 255);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(OSND_Sample_Upload(s, ramp.data(), OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_SIGNED));
    Reader reader;
    ASSERT_TRUE(reader.Connect());
    ASSERT_GE(OSND_PlaySound(OSND_FREE, s), 0);
    // Listens for a quarter of a second at least, and on until more than the
    // ramp's length has been heard following it, four periods of it in one
    // stretch, or a value that is not the ramp's: on a busy machine a client
    // that misses a JACK period cuts the ramp where it happens, so this may
    // take many seconds (the limit only catches a server that stopped).
    const bool isSilent = std::find(std::begin(silent), std::end(silent), type) != std::end(silent);
    std::vector<float> left, right;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      reader.Take(&left, &right);
      if (left.size() < size_t(kRate) / 4) continue;
      if (isSilent) break;
      const RampMatch heard = MatchRamp(left, right);
      if (heard.Enough() || heard.stray > 0) break;
    }
    OSND_Close();
    reader.Take(&left, &right);
    ASSERT_GE(left.size(), size_t(kRate) / 4);
    if (isSilent) {
      EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0.0f);
      EXPECT_EQ(*std::min_element(right.begin(), right.end()), 0.0f);
    } else {
      const RampMatch match = MatchRamp(left, right);
      EXPECT_GE(match.following, 5000u) << "the ramp, value for value and round its loop";
      EXPECT_GE(match.longest, 4u * 256) << "periods of the ramp one after another";
      EXPECT_EQ(match.stray, 0u) << "frames heard that are not the ramp's, of " << left.size();
    }
  }
  platform::asio::SetReportedSampleType(ASIOSTFloat32LSB);
  OSND_SetDriver(0);
  OSND_SetMixer(OSND_MIXER_QUALITY_AUTODETECT);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

TEST(AsioOutput, WithoutAServerNothingIsListedAndInitFails) {
  EngineReset reset;
  setenv("JACK_DEFAULT_SERVER", "qmv-no-such-server", 1);
  platform::asio::RegisterJackAsioDriver();
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_ASIO));
  for (int i = 0; i < OSND_GetNumDrivers(); ++i) EXPECT_NE(std::strncmp(gOsnd.driverNames[i], "JACK", 4), 0);
  EXPECT_FALSE(OSND_Init(kRate, 4, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INIT);
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  unsetenv("JACK_DEFAULT_SERVER");
}

namespace {

// A driver of the test's own: a number of outputs, 256-frame buffers at 44100 Hz.
class FakeDriver final : public IASIO {
 public:
  explicit FakeDriver(LONG outputs) : m_Outputs(outputs) {}
  HRESULT QueryInterface(REFIID, void **object) override {
    *object = static_cast<IASIO *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_References; }
  ULONG Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }
  ASIOBool init(void *) override { return ASIOTrue; }
  void getDriverName(char *name) override { std::snprintf(name, 32, "Fake"); }
  LONG getDriverVersion() override { return 1; }
  void getErrorMessage(char *text) override { text[0] = 0; }
  ASIOError start() override { return ASE_OK; }
  ASIOError stop() override { return ASE_OK; }
  ASIOError getChannels(LONG *inputs, LONG *outputs) override {
    *inputs = 0;
    *outputs = m_Outputs;
    return ASE_OK;
  }
  ASIOError getLatencies(LONG *, LONG *) override { return ASE_OK; }
  ASIOError getBufferSize(LONG *a, LONG *b, LONG *c, LONG *d) override {
    *a = *b = *c = 256;
    *d = 0;
    return ASE_OK;
  }
  ASIOError canSampleRate(ASIOSampleRate) override { return ASE_OK; }
  ASIOError getSampleRate(ASIOSampleRate *rate) override {
    *rate = 44100;
    return ASE_OK;
  }
  ASIOError setSampleRate(ASIOSampleRate) override { return ASE_OK; }
  ASIOError getClockSources(void *, LONG *) override { return ASE_OK; }
  ASIOError setClockSource(LONG) override { return ASE_OK; }
  ASIOError getSamplePosition(ASIOSamples *, ASIOTimeStamp *) override { return ASE_OK; }
  ASIOError getChannelInfo(ASIOChannelInfo *) override { return ASE_OK; }
  ASIOError createBuffers(ASIOBufferInfo *, LONG, LONG, ASIOCallbacks *) override { return ASE_OK; }
  ASIOError disposeBuffers() override { return ASE_OK; }
  ASIOError controlPanel() override { return ASE_OK; }
  ASIOError future(LONG, void *) override { return ASE_OK; }
  ASIOError outputReady() override { return ASE_OK; }

 private:
  ~FakeDriver() override = default;
  std::atomic<ULONG> m_References{1};
  LONG m_Outputs;
};

void InstallFake(int index, LONG outputs) {
  char key[32], clsidText[64], name[32];
  std::snprintf(key, sizeof key, "software\\asio\\Fake %02d", index);
  std::snprintf(name, sizeof name, "Fake %02d", index);
  std::snprintf(clsidText, sizeof clsidText, "{0FA4E000-0000-4000-8000-0000000000%02X}", index);
  platform::AddInstalledRegistryValues(HKEY_LOCAL_MACHINE, key,
                                       {platform::RegistryValue{"clsid", REG_SZ, clsidText},
                                        platform::RegistryValue{"description", REG_SZ, name}});
  platform::AddInstalledRegistryValues(HKEY_CLASSES_ROOT, std::string("clsid\\") + clsidText + "\\InprocServer32",
                                       {platform::RegistryValue{"", REG_SZ, "/bin/sh"}});
  CLSID clsid{};
  WCHAR wide[64];
  for (int i = 0; i < 64; ++i) wide[i] = WCHAR(clsidText[i]);
  ASSERT_EQ(CLSIDFromString(wide, &clsid), S_OK);
  platform::RegisterComClass(clsid, [outputs](REFIID iid, void **object) -> HRESULT {
    IASIO *driver = new FakeDriver(outputs);
    const HRESULT result = driver->QueryInterface(iid, object);
    driver->Release();
    return result;
  });
}

}  // namespace

TEST(AsioOutput, DevicesArePairsOfOutputsOfTheFirstTenDrivers) {
  EngineReset reset;
  for (int i = 0; i < 12; ++i) InstallFake(i, i == 3 ? 1 : i == 5 ? 4 : 2);
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_ASIO));
  std::vector<std::string> names;
  for (int i = 0; i < OSND_GetNumDrivers(); ++i)
    if (std::strncmp(gOsnd.driverNames[i], "Fake", 4) == 0) names.push_back(gOsnd.driverNames[i]);
  // Drivers 0..9: one device each, none with a single output, three with four; 10 and 11 none.
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(names[0], "Fake 00: Left = ASIO CH 0 Right = ASIO CH 1");
  EXPECT_EQ(names[3], "Fake 04: Left = ASIO CH 0 Right = ASIO CH 1");
  EXPECT_EQ(names[6], "Fake 05: Left = ASIO CH 2 Right = ASIO CH 3");
  EXPECT_EQ(names[10], "Fake 09: Left = ASIO CH 0 Right = ASIO CH 1");
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

}  // namespace output_asio_test
