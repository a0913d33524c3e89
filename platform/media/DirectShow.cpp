#include "platform/media/DirectShow.h"

#include "platform/media/WindowsMedia.h"
#include "platform/win32/WinCom.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace dshow {

const GUID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
const GUID IID_IBasicAudio = {0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID IID_IVideoWindow = {0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID TIME_FORMAT_MEDIA_TIME = {0x7B785574, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
const GUID TIME_FORMAT_SAMPLE = {0x7B785572, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};

namespace {

// The file the graph renders, handed to the shared reader as a stream.
class FileStream final : public wmf::IStream {
 public:
  explicit FileStream(std::FILE *file) : file(file) {}
  HRESULT QueryInterface(REFIID, void **object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override {
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
  }
  HRESULT Read(void *buffer, ULONG bytes, ULONG *read) override {
    const size_t got = std::fread(buffer, 1, bytes, file);
    if (read) *read = ULONG(got);
    return got == bytes ? S_OK : S_FALSE;
  }
  HRESULT Write(const void *, ULONG, ULONG *) override { return E_NOTIMPL; }
  HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t *position) override {
    const int whence = origin == STREAM_SEEK_CUR ? SEEK_CUR : origin == STREAM_SEEK_END ? SEEK_END : SEEK_SET;
    if (fseeko(file, off_t(move), whence) != 0) return E_FAIL;
    if (position) *position = std::uint64_t(ftello(file));
    return S_OK;
  }
  HRESULT SetSize(std::uint64_t) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream *, std::uint64_t, std::uint64_t *, std::uint64_t *) override { return E_NOTIMPL; }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(wmf::STATSTG *stat, DWORD) override {
    if (!stat) return E_INVALIDARG;
    std::memset(stat, 0, sizeof(*stat));
    const off_t here = ftello(file);
    if (fseeko(file, 0, SEEK_END) != 0) return E_FAIL;
    stat->cbSize = std::uint64_t(ftello(file));
    stat->type = STGTY_STREAM;
    return fseeko(file, here, SEEK_SET) == 0 ? S_OK : E_FAIL;
  }
  HRESULT Clone(IStream **) override { return E_NOTIMPL; }

 private:
  ~FileStream() override { std::fclose(file); }
  std::FILE *file;
  std::atomic<ULONG> references{1};
};

// Hundredths of a decibel to a linear gain; -10000 is silence.
float Gain(long hundredths) { return hundredths <= -10000 ? 0.0f : float(std::pow(10.0, double(hundredths) / 2000.0)); }

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaSeeking,
                          public IBasicAudio,
                          public IVideoWindow {
 public:
  HRESULT QueryInterface(REFIID iid, void **object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IGraphBuilder)
      *object = static_cast<IGraphBuilder *>(this);
    else if (iid == IID_IMediaControl)
      *object = static_cast<IMediaControl *>(this);
    else if (iid == IID_IMediaSeeking)
      *object = static_cast<IMediaSeeking *>(this);
    else if (iid == IID_IBasicAudio)
      *object = static_cast<IBasicAudio *>(this);
    else if (iid == IID_IVideoWindow)
      *object = static_cast<IVideoWindow *>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override {
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
  }

  HRESULT RenderFile(const WCHAR *name, const WCHAR *) override {
    if (!name) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock);
    if (reader) return E_UNEXPECTED;  // one file per graph
    // The engine hands a Windows path: its back-slashes are this system's
    // separators. Names are kept to the single-byte range they came from.
    std::string path;
    for (const WCHAR *c = name; *c; ++c) path += *c == u'\\' ? '/' : char(*c);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return VFW_E_CANNOT_RENDER;
    auto *stream = new FileStream(file);
    wmf::IWMSyncReader *made = nullptr;
    wmf::CreateAnyFormatReader(&made);
    const HRESULT opened = made->OpenStream(stream);
    stream->Release();  // the reader keeps its own reference
    if (FAILED(opened) || !ReadFormat(made)) {
      made->Release();
      return VFW_E_CANNOT_RENDER;
    }
    reader = made;
    return S_OK;
  }

  HRESULT Run() override {
    if (!reader) return E_UNEXPECTED;
    if (!device && !OpenDevice()) return VFW_E_NO_AUDIO_HARDWARE;
    SDL_PauseAudioDevice(device, 0);
    return S_OK;
  }
  HRESULT Pause() override {
    if (!reader) return E_UNEXPECTED;
    if (device) SDL_PauseAudioDevice(device, 1);
    return S_OK;
  }
  HRESULT Stop() override {
    if (!reader) return E_UNEXPECTED;
    if (device) SDL_PauseAudioDevice(device, 1);
    return S_OK;
  }

  HRESULT SetTimeFormat(const GUID *format) override {
    if (!format) return E_POINTER;
    if (*format != TIME_FORMAT_MEDIA_TIME && *format != TIME_FORMAT_SAMPLE) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(lock);
    samplesFormat = *format == TIME_FORMAT_SAMPLE;
    return S_OK;
  }
  HRESULT GetCurrentPosition(LONGLONG *current) override {
    if (!current) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock);
    if (!reader) return E_UNEXPECTED;
    *current = ToFormat(played);
    return S_OK;
  }
  HRESULT GetStopPosition(LONGLONG *stop) override {
    if (!stop) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock);
    if (!reader) return E_UNEXPECTED;
    *stop = ToFormat(lengthFrames);
    return S_OK;
  }
  HRESULT GetPositions(LONGLONG *current, LONGLONG *stop) override {
    std::lock_guard<std::mutex> hold(lock);
    if (!reader) return E_UNEXPECTED;
    if (current) *current = ToFormat(played);
    if (stop) *stop = ToFormat(lengthFrames);
    return S_OK;
  }
  HRESULT SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *, DWORD stopFlags) override {
    if (stopFlags != AM_SEEKING_NoPositioning) return E_NOTIMPL;
    if (currentFlags == AM_SEEKING_NoPositioning) return S_OK;
    if (currentFlags != AM_SEEKING_AbsolutePositioning || !current) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(lock);
    if (!reader) return E_UNEXPECTED;
    if (*current < 0) return E_INVALIDARG;
    const std::int64_t frame = std::min(FromFormat(*current), lengthFrames);
    if (FAILED(reader->SetRange(wmf::QWORD(frame) * 10000000 / wmf::QWORD(rate), 0))) return E_FAIL;
    pending.clear();
    pendingAt = 0;
    ended = false;
    played = frame;
    return S_OK;
  }

  HRESULT put_Volume(long value) override {
    if (value < -10000 || value > 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(lock);
    volume = value;
    return S_OK;
  }
  HRESULT get_Volume(long *value) override {
    if (!value) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock);
    *value = volume;
    return S_OK;
  }
  HRESULT put_Balance(long value) override {
    if (value < -10000 || value > 10000) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(lock);
    balance = value;
    return S_OK;
  }
  HRESULT get_Balance(long *value) override {
    if (!value) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock);
    *value = balance;
    return S_OK;
  }

  HRESULT put_AutoShow(long) override { return S_OK; }  // audio only: there is never a window

 private:
  ~FilterGraph() override {
    if (device) {
      SDL_CloseAudioDevice(device);
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (reader) reader->Release();
  }

  bool ReadFormat(wmf::IWMSyncReader *made) {
    wmf::IWMOutputMediaProps *props = nullptr;
    if (FAILED(made->GetOutputFormat(0, 0, &props))) return false;
    DWORD size = 0;
    props->GetMediaType(nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    auto *type = reinterpret_cast<wmf::WM_MEDIA_TYPE *>(bytes.data());
    const bool ok = SUCCEEDED(props->GetMediaType(type, &size));
    props->Release();
    if (!ok) return false;
    const auto *format = reinterpret_cast<const WAVEFORMATEX *>(type->pbFormat);
    channels = format->nChannels;
    rate = int(format->nSamplesPerSec);
    if (channels < 1 || channels > 8 || rate < 1) return false;
    // The length from the container, else by decoding to the end once.
    wmf::IWMHeaderInfo *header = nullptr;
    std::int64_t duration = -1;
    if (SUCCEEDED(made->QueryInterface(wmf::IID_IWMHeaderInfo, reinterpret_cast<void **>(&header)))) {
      wmf::QWORD value = 0;
      WORD length = 8, stream = 0;
      wmf::WMT_ATTR_DATATYPE kind{};
      if (SUCCEEDED(header->GetAttributeByName(&stream, u"Duration", &kind, reinterpret_cast<BYTE *>(&value), &length)))
        duration = std::int64_t(value);
      header->Release();
    }
    if (duration > 0) {
      lengthFrames = duration * rate / 10000000;
    } else {
      wmf::INSSBuffer *buffer = nullptr;
      lengthFrames = 0;
      while (SUCCEEDED(made->GetNextSample(WORD(1), &buffer, nullptr, nullptr, nullptr, nullptr, nullptr)) && buffer) {
        BYTE *data = nullptr;
        DWORD bytesIn = 0;
        buffer->GetBufferAndLength(&data, &bytesIn);
        lengthFrames += bytesIn / (2 * DWORD(channels));
        buffer->Release();
        buffer = nullptr;
      }
      made->SetRange(0, 0);
    }
    return true;
  }

  bool OpenDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = Uint8(channels);
    want.samples = 1024;
    want.callback = [](void *self, Uint8 *out, int bytes) { static_cast<FilterGraph *>(self)->Fill(out, bytes); };
    want.userdata = this;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts to what the device takes
    if (device == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    return true;
  }

  // The device's pull: decoded sound at the volume and balance set, silence
  // once the file has ended.
  void Fill(Uint8 *out, int bytes) {
    std::lock_guard<std::mutex> hold(lock);
    auto *samples = reinterpret_cast<std::int16_t *>(out);
    const int frames = bytes / (2 * channels);
    const float level = Gain(volume);
    const float left = level * (balance > 0 ? Gain(-balance) : 1.0f);
    const float right = level * (balance < 0 ? Gain(balance) : 1.0f);
    int done = 0;
    while (done < frames) {
      if (pendingAt >= pending.size() && !Decode()) break;
      const size_t take = std::min(size_t(frames - done) * size_t(channels), pending.size() - pendingAt);
      for (size_t i = 0; i < take; ++i) {
        const size_t channel = (pendingAt + i) % size_t(channels);
        const float gain = channels != 2 ? level : channel == 0 ? left : right;
        const float v = std::nearbyint(float(pending[pendingAt + i]) * gain);
        samples[size_t(done) * size_t(channels) + i] = std::int16_t(std::clamp(v, -32768.0f, 32767.0f));
      }
      pendingAt += take;
      done += int(take / size_t(channels));
    }
    played = std::min(played + done, lengthFrames);
    if (done < frames) {
      std::memset(samples + size_t(done) * size_t(channels), 0, size_t(frames - done) * 2 * size_t(channels));
      played = lengthFrames;  // past the end: the graph has played it all
    }
  }

  bool Decode() {
    pending.clear();
    pendingAt = 0;
    if (ended) return false;
    wmf::INSSBuffer *buffer = nullptr;
    if (FAILED(reader->GetNextSample(WORD(1), &buffer, nullptr, nullptr, nullptr, nullptr, nullptr)) || !buffer) {
      ended = true;
      return false;
    }
    BYTE *data = nullptr;
    DWORD length = 0;
    buffer->GetBufferAndLength(&data, &length);
    pending.resize(length / 2);
    std::memcpy(pending.data(), data, pending.size() * 2);
    buffer->Release();
    return true;
  }

  LONGLONG ToFormat(std::int64_t frames) const { return samplesFormat ? frames : frames * 10000000 / rate; }
  std::int64_t FromFormat(LONGLONG value) const { return samplesFormat ? value : value * rate / 10000000; }

  std::atomic<ULONG> references{1};
  std::mutex lock;
  wmf::IWMSyncReader *reader = nullptr;
  SDL_AudioDeviceID device = 0;
  int channels = 0, rate = 0;
  std::int64_t lengthFrames = 0, played = 0;
  std::vector<std::int16_t> pending;
  size_t pendingAt = 0;
  bool ended = false, samplesFormat = false;
  long volume = 0, balance = 0;
};

}  // namespace

HRESULT CoCreateInstance(REFCLSID cls, void *outer, DWORD, REFIID iid, void **object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (cls != CLSID_FilterGraph) return REGDB_E_CLASSNOTREG;
  auto *graph = new FilterGraph();
  const HRESULT r = static_cast<IGraphBuilder *>(graph)->QueryInterface(iid, object);
  static_cast<IGraphBuilder *>(graph)->Release();
  return r;
}

}  // namespace dshow
