#include "platform/dmusic/DirectMusic.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace dmusic {

// Identifiers of the classes, interfaces and parameters this stand-in knows;
// callers compare them only with one another.
const GUID CLSID_DirectMusicPerformance = {0x51a40001, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 1}};
const GUID CLSID_DirectMusicLoader = {0x51a40002, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 2}};
const GUID CLSID_DirectMusicSegment = {0x51a40003, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 3}};
const GUID IID_IDirectMusicPerformance = {0x51a40004, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 4}};
const GUID IID_IDirectMusicLoader = {0x51a40005, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 5}};
const GUID IID_IDirectMusicSegment = {0x51a40006, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 6}};
const GUID GUID_PerfMasterVolume = {0x51a40007, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 7}};
const GUID GUID_StandardMIDIFile = {0x51a40008, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 8}};
const GUID GUID_Download = {0x51a40009, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 9}};
const GUID GUID_Unload = {0x51a4000a, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 10}};
const GUID GUID_NOTIFICATION_SEGMENT = {0x51a4000b, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 0, 11}};

namespace {

const GUID kSynthPort = {0x51a40100, 0x7c1e, 0x4d0a, {0x9a, 0x10, 0, 0, 0, 0, 1, 0}};
const GUID kNone = {};
constexpr size_t kMaxMidiBytes = 16u << 20;
constexpr int kSynthBlock = 64;  // frames FluidSynth renders between two steps of its file player

DirectMusicSynthSettings gSettings;
std::mutex gSettingsLock;

bool IsFile(const char *path) {
  struct stat info;
  return path && stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

void Quiet(int, const char *, void *) {}

std::string Narrow(const WCHAR *text, size_t limit) {
  std::string out;
  for (size_t i = 0; i < limit && text[i]; ++i) {
    const unsigned c = text[i];
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

uint32_t Big32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t Little32(const uint8_t *p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }

// The standard MIDI file inside the bytes (a RIFF MIDI file's "data" chunk),
// when its header and first track lie within them; empty otherwise.
// Kept out of line: inlined, it trips a false free-nonheap-object warning of g++ 12.
[[gnu::noinline]] std::vector<uint8_t> StandardMidi(const std::vector<uint8_t> &bytes) {
  const uint8_t *all = bytes.data();
  size_t start = 0, size = bytes.size();
  if (size >= 12 && std::memcmp(all, "RIFF", 4) == 0 && std::memcmp(all + 8, "RMID", 4) == 0) {
    bool found = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
      const uint32_t length = Little32(all + at + 4);
      if (std::memcmp(all + at, "data", 4) == 0) {
        start = at + 8;
        size = std::min<size_t>(length, bytes.size() - start);
        found = true;
        break;
      }
      at += 8 + size_t(length) + (length & 1);
    }
    if (!found) return {};
  }
  const uint8_t *p = all + start;
  if (size < 14 || std::memcmp(p, "MThd", 4) != 0) return {};
  const uint32_t header = Big32(p + 4);
  if (header < 6 || header > size - 8) return {};
  const size_t track = 8 + size_t(header);
  if (track + 8 > size || std::memcmp(p + track, "MTrk", 4) != 0) return {};
  return std::vector<uint8_t>(bytes.begin() + std::ptrdiff_t(start), bytes.begin() + std::ptrdiff_t(start + size));
}

class SynthPort final : public IDirectMusicPort {
 public:
  HRESULT Activate(BOOL active) override {
    std::lock_guard<std::mutex> guard(lock);
    if (!active || synth) return S_OK;
    const char *font = DirectMusicSynth_SoundFont();
    if (!font) return E_FAIL;
    DirectMusicSynthSettings wanted;
    {
      std::lock_guard<std::mutex> settingsGuard(gSettingsLock);
      wanted = gSettings;
    }
    settings = new_fluid_settings();
    if (!settings) return E_OUTOFMEMORY;
    fluid_settings_setnum(settings, "synth.sample-rate", double(wanted.rate));
    fluid_settings_setint(settings, "synth.reverb.active", wanted.reverb ? 1 : 0);
    fluid_settings_setint(settings, "synth.chorus.active", wanted.chorus ? 1 : 0);
    // The file player follows the rendered samples, not the wall clock: the
    // music keeps time with what the engine pulls.
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    synth = new_fluid_synth(settings);
    if (!synth || fluid_synth_sfload(synth, font, 1) == FLUID_FAILED) {
      if (synth) delete_fluid_synth(synth);
      delete_fluid_settings(settings);
      synth = nullptr;
      settings = nullptr;
      return E_FAIL;
    }
    return S_OK;
  }
  ULONG Release() override {
    const ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  void AddRef() { ++refs; }
  ~SynthPort() override {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }

  std::mutex lock;  // the synthesizer and the player of the performance using it
  fluid_settings_t *settings = nullptr;
  fluid_synth_t *synth = nullptr;
  std::atomic<ULONG> refs{1};
};

class Music final : public IDirectMusic {
 public:
  HRESULT EnumPort(DWORD index, DMUS_PORTCAPS *caps) override {
    if (!caps) return E_INVALIDARG;
    if (index > 0 || !DirectMusicSynth_SoundFont()) return S_FALSE;
    std::memset(caps, 0, sizeof(*caps));
    caps->dwSize = sizeof(*caps);
    caps->guidPort = kSynthPort;
    caps->dwClass = DMUS_PC_OUTPUTCLASS;
    caps->dwMaxChannelGroups = 1;
    caps->dwMaxVoices = 256;
    caps->dwMaxAudioChannels = 2;
    const char *name = "FluidSynth General MIDI";
    for (size_t i = 0; name[i]; ++i) caps->wszDescription[i] = WCHAR(name[i]);
    return S_OK;
  }
  HRESULT GetDefaultPort(GUID *port) override {
    if (!port) return E_INVALIDARG;
    *port = kSynthPort;
    return S_OK;
  }
  HRESULT CreatePort(REFCLSID port, DMUS_PORTPARAMS *, IDirectMusicPort **out, void *) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!(port == kSynthPort) && !(port == kNone)) return DMUS_E_NOT_FOUND;
    *out = new SynthPort();
    return S_OK;
  }
  ULONG Release() override {
    delete this;
    return 0;
  }
};

class Segment final : public IDirectMusicSegment {
 public:
  explicit Segment(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
  HRESULT SetParam(REFGUID type, DWORD, DWORD, MUSIC_TIME, void *) override {
    // The synthesizer holds the whole sound font: there is nothing to download.
    if (type == GUID_StandardMIDIFile || type == GUID_Download || type == GUID_Unload) return S_OK;
    return E_INVALIDARG;
  }
  HRESULT SetRepeats(DWORD count) override {
    repeats = count;
    return S_OK;
  }
  HRESULT SetStartPoint(MUSIC_TIME start) override {
    if (start < 0) return E_INVALIDARG;
    startPoint = start;
    return S_OK;
  }
  ULONG Release() override {
    const ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }

  std::vector<uint8_t> data;
  DWORD repeats = 0;
  MUSIC_TIME startPoint = 0;
  std::atomic<ULONG> refs{1};
};

class SegmentState final : public IDirectMusicSegmentState {
 public:
  explicit SegmentState(MUSIC_TIME start) : start(start) {}
  HRESULT GetStartTime(MUSIC_TIME *time) override {
    if (!time) return E_INVALIDARG;
    *time = start;
    return S_OK;
  }
  ULONG Release() override {
    delete this;
    return 0;
  }
  MUSIC_TIME start;
};

class Performance final : public IDirectMusicPerformance {
 public:
  HRESULT Init(IDirectMusic **music, void *, HWND) override {
    if (music) *music = new Music();
    return S_OK;
  }
  HRESULT AddPort(IDirectMusicPort *added) override {
    auto *synthPort = dynamic_cast<SynthPort *>(added);
    if (!synthPort) return E_INVALIDARG;
    synthPort->AddRef();
    std::lock_guard<std::mutex> guard(portLock);
    if (port) port->Release();
    port = synthPort;
    return S_OK;
  }
  HRESULT AssignPChannelBlock(DWORD, IDirectMusicPort *assigned, DWORD) override {
    return assigned == port ? S_OK : E_INVALIDARG;
  }
  HRESULT PlaySegment(IDirectMusicSegment *segment, DWORD, std::int64_t, IDirectMusicSegmentState **state) override {
    auto *seg = dynamic_cast<Segment *>(segment);
    SynthPort *p = Port();
    if (!seg || !p || !p->synth) return E_FAIL;
    std::lock_guard<std::mutex> guard(p->lock);
    StopLocked(p);
    player = new_fluid_player(p->synth);
    if (!player) return E_OUTOFMEMORY;
    // FluidSynth's player starts the next pass of a song inside the render
    // that ended the last one: a song of no length (or one its reader
    // refuses) would start pass after pass without end there. The first pass
    // is therefore played alone; the repeats are handed to the player by the
    // render once it has read the song and found that it lasts.
    // Repeats count the passes after the first (-1: without end).
    repeatsLeft = seg->repeats == DMUS_SEG_REPEAT_INFINITE ? -1 : int(std::min<DWORD>(seg->repeats, 0x7FFFFFFE));
    sincePlay = 0;
    if (fluid_player_add_mem(player, seg->data.data(), seg->data.size()) != FLUID_OK ||
        fluid_player_set_loop(player, 1) != FLUID_OK || (seg->startPoint > 0 && fluid_player_seek(player, seg->startPoint) != FLUID_OK) ||
        fluid_player_play(player) != FLUID_OK) {
      delete_fluid_player(player);
      player = nullptr;
      return E_FAIL;
    }
    if (state) *state = new SegmentState(MUSIC_TIME(rendered * 1000 / std::max(rate, 1)));
    return S_OK;
  }
  HRESULT Stop(IDirectMusicSegment *, IDirectMusicSegmentState *, MUSIC_TIME, DWORD) override {
    SynthPort *p = Port();
    if (!p) return S_OK;
    std::lock_guard<std::mutex> guard(p->lock);
    StopLocked(p);
    return S_OK;
  }
  HRESULT SetGlobalParam(REFGUID type, void *data, DWORD size) override {
    if (!(type == GUID_PerfMasterVolume) || !data || size != 4) return E_INVALIDARG;
    std::int32_t value;
    std::memcpy(&value, data, 4);
    gain = DirectMusicSynth_GainForVolume(value);
    SynthPort *p = Port();
    if (p && p->synth) {
      std::lock_guard<std::mutex> guard(p->lock);
      fluid_synth_set_gain(p->synth, gain);
    }
    return S_OK;
  }
  HRESULT AddNotificationType(REFGUID) override { return S_OK; }
  HRESULT SetNotificationHandle(HANDLE event, REFERENCE_TIME) override {
    notification = event;
    return S_OK;
  }
  HRESULT MusicToReferenceTime(MUSIC_TIME music, REFERENCE_TIME *reference) override {
    if (!reference) return E_INVALIDARG;
    *reference = REFERENCE_TIME(music) * 10000;  // music time counts milliseconds here
    return S_OK;
  }
  HRESULT CloseDown() override {
    Stop(nullptr, nullptr, 0, 0);
    std::lock_guard<std::mutex> guard(portLock);
    if (port) port->Release();
    port = nullptr;
    return S_OK;
  }
  ULONG Release() override {
    CloseDown();
    delete this;
    return 0;
  }

  void Render(std::int16_t *frames, int count) {
    SynthPort *p = Port();
    if (!p || !p->synth) {
      std::memset(frames, 0, size_t(count) * 4);
      return;
    }
    std::lock_guard<std::mutex> guard(p->lock);
    int done = 0;
    if (player && repeatsLeft != 0) {
      // The player takes its first step, which reads the song, at the start
      // of the first block the synthesizer renders after the play, and its
      // next step only at the next block: within one block's frames from the
      // play the song is read and cannot have ended yet. The synthesizer
      // keeps its own blocks, so the split write sounds as one would have.
      done = std::min(count, std::max(0, kSynthBlock - sincePlay));
      fluid_synth_write_s16(p->synth, done, frames, 0, 2, frames, 1, 2);
      sincePlay += done;
      if (sincePlay >= kSynthBlock) {
        if (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && fluid_player_get_total_ticks(player) > 0)
          fluid_player_set_loop(player, repeatsLeft);
        repeatsLeft = 0;
      }
    }
    fluid_synth_write_s16(p->synth, count - done, frames + 2 * done, 0, 2, frames + 2 * done, 1, 2);
    rendered += count;
    double hz = 44100.0;
    fluid_settings_getnum(p->settings, "synth.sample-rate", &hz);
    rate = int(std::lround(hz));
  }

 private:
  SynthPort *Port() {
    std::lock_guard<std::mutex> guard(portLock);
    return port;
  }
  void StopLocked(SynthPort *p) {
    if (player) {
      fluid_player_stop(player);
      delete_fluid_player(player);
      player = nullptr;
    }
    if (p->synth) fluid_synth_all_sounds_off(p->synth, -1);
  }

  std::mutex portLock;
  SynthPort *port = nullptr;
  fluid_player_t *player = nullptr;
  int repeatsLeft = 0;  // passes still to hand to the player once it has read the song
  int sincePlay = 0;    // frames rendered since the song started, up to one block
  float gain = 0.2f;
  HANDLE notification = nullptr;
  std::int64_t rendered = 0;
  int rate = 44100;
};

class Loader final : public IDirectMusicLoader {
 public:
  HRESULT GetObject(DMUS_OBJECTDESC *description, REFIID iid, void **object) override {
    if (!description || !object || !(iid == IID_IDirectMusicSegment) ||
        !(description->dwValidData & DMUS_OBJ_CLASS) || !(description->guidClass == CLSID_DirectMusicSegment))
      return E_INVALIDARG;
    *object = nullptr;
    std::vector<uint8_t> bytes;
    if (description->dwValidData & DMUS_OBJ_MEMORY) {
      if (!description->pbMemData || description->llMemLength <= 0 || size_t(description->llMemLength) > kMaxMidiBytes)
        return DMUS_E_LOADER_FAILEDOPEN;
      bytes.assign(description->pbMemData, description->pbMemData + description->llMemLength);
    } else if (description->dwValidData & DMUS_OBJ_FILENAME) {
      std::ifstream in(Narrow(description->wszFileName, MAX_PATH), std::ios::binary);
      if (!in) return DMUS_E_LOADER_FAILEDOPEN;
      bytes.assign(std::istreambuf_iterator<char>(in), {});
      if (bytes.size() > kMaxMidiBytes) return DMUS_E_LOADER_FAILEDOPEN;
    } else {
      return E_INVALIDARG;
    }
    std::vector<uint8_t> midi = StandardMidi(bytes);
    if (midi.empty()) return DMUS_E_LOADER_FAILEDOPEN;
    *object = static_cast<IDirectMusicSegment *>(new Segment(std::move(midi)));
    return S_OK;
  }
  HRESULT EnableCache(REFGUID, BOOL) override { return S_OK; }
  ULONG Release() override {
    delete this;
    return 0;
  }
};

}  // namespace

HRESULT CoCreateInstance(REFCLSID cls, void *, DWORD, REFIID iid, void **object) {
  if (!object) return E_INVALIDARG;
  *object = nullptr;
  if (cls == CLSID_DirectMusicPerformance && iid == IID_IDirectMusicPerformance) {
    fluid_set_log_function(FLUID_WARN, Quiet, nullptr);
    fluid_set_log_function(FLUID_INFO, Quiet, nullptr);
    fluid_set_log_function(FLUID_DBG, Quiet, nullptr);
    *object = static_cast<IDirectMusicPerformance *>(new Performance());
    return S_OK;
  }
  if (cls == CLSID_DirectMusicLoader && iid == IID_IDirectMusicLoader) {
    *object = static_cast<IDirectMusicLoader *>(new Loader());
    return S_OK;
  }
  return E_NOINTERFACE;
}

void DirectMusicSynth_Configure(const DirectMusicSynthSettings &settings) {
  std::lock_guard<std::mutex> guard(gSettingsLock);
  gSettings = settings;
}

DirectMusicSynthSettings DirectMusicSynth_Configuration() {
  std::lock_guard<std::mutex> guard(gSettingsLock);
  return gSettings;
}

HRESULT DirectMusicSynth_Render(IDirectMusicPerformance *performance, std::int16_t *frames, int count) {
  auto *p = dynamic_cast<Performance *>(performance);
  if (!p || !frames || count < 0) return E_INVALIDARG;
  p->Render(frames, count);
  return S_OK;
}

float DirectMusicSynth_GainForVolume(long hundredthsOfDecibel) {
  return float(0.2 * std::pow(10.0, double(hundredthsOfDecibel) / 2000.0));
}

const char *DirectMusicSynth_SoundFont() {
  const char *chosen = std::getenv("QMV_SOUNDFONT");
  if (chosen && chosen[0]) return IsFile(chosen) ? chosen : nullptr;
  static const char *const kFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                                       "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
  for (const char *font : kFonts)
    if (IsFile(font)) return font;
  return nullptr;
}

}  // namespace dmusic
