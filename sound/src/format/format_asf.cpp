#include "sound/src/format/format_asf.h"

#include "platform/media/WindowsMedia.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <atomic>
#include <cstring>

using namespace wmf;

namespace {

constexpr uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// A read-only stream over an engine file handle (not owned), so that the
// runtime reads memory files and the engine's own file layer too.
class CROStream final : public IStream {
 public:
  explicit CROStream(SystemFileHandle *file) : m_File(file) {}
  HRESULT QueryInterface(REFIID iid, void **object) override {
    if (!object) return E_INVALIDARG;
    if (iid == IID_IUnknown || iid == IID_IStream) {
      AddRef();
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++m_Refs; }
  ULONG Release() override {
    const ULONG left = --m_Refs;
    if (left == 0) {
      delete this;
      return 0;
    }
    return 2989;  // the count itself is not told
  }
  HRESULT Read(void *buffer, ULONG bytes, ULONG *read) override {
    const int got = SystemFile_Read(buffer, 1, int(std::min<ULONG>(bytes, 0x7FFFFFFF)), m_File);
    if (got < 0) return S_FALSE;
    if (read) *read = ULONG(got);
    return S_OK;
  }
  HRESULT Write(const void *, ULONG, ULONG *) override { return E_NOTIMPL; }
  HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t *position) override {
    if (origin > 2) return E_INVALIDARG;
    SystemFile_Seek(m_File, move, int(origin));
    if (position) *position = std::uint64_t(std::max<int64_t>(0, SystemFile_Tell(m_File)));
    return S_OK;
  }
  HRESULT SetSize(std::uint64_t) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream *, std::uint64_t, std::uint64_t *, std::uint64_t *) override { return E_NOTIMPL; }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(std::uint64_t, std::uint64_t, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG *stat, DWORD flags) override {
    if (!stat || flags != STATFLAG_NONAME) return E_INVALIDARG;
    std::memset(stat, 0, sizeof(*stat));
    stat->type = STGTY_STREAM;
    const int64_t at = SystemFile_Tell(m_File);
    SystemFile_Seek(m_File, 0, SEEK_END);
    stat->cbSize = std::uint64_t(std::max<int64_t>(0, SystemFile_Tell(m_File)));
    SystemFile_Seek(m_File, at, SEEK_SET);
    return S_OK;
  }
  HRESULT Clone(IStream **) override { return E_NOTIMPL; }

 private:
  ~CROStream() override = default;
  SystemFileHandle *m_File;
  std::atomic<ULONG> m_Refs{1};
};

}  // namespace

struct FormatAsfRecord {
  IWMSyncReader *reader;
  CROStream *stream;
  WORD audio;
  WORD video;
  QWORD lastTime;
};

namespace {

struct AsfOpen {
  unsigned mode;
  int rate;
  uint32_t decodedLength;
  FormatAsfRecord *record;
  int frameBytes;
  int blockSize;
  int lengthMs;
};

bool Open(SystemFileHandle *file, unsigned mode, AsfOpen *out) {
  if (!file) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  uint8_t id[16];
  SystemFile_Seek(file, 0, SEEK_SET);
  if (SystemFile_Read(id, 1, 16, file) != 16 || std::memcmp(id, kAsfHeader, 16) != 0)
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  auto *r = static_cast<FormatAsfRecord *>(OSND_ALLOC(int(sizeof(FormatAsfRecord))));
  if (!r) return Osnd_Fail(OSND_ERR_MEMORY);
  SystemFile_Seek(file, 0, SEEK_SET);
  if (FAILED(WMCreateSyncReader(nullptr, 0, &r->reader)) || !r->reader) {
    OSND_FREE_MEM(r);
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  r->stream = new CROStream(file);
  auto fail = [&](int code) {
    FormatAsf_Close(r);
    return Osnd_Fail(code);
  };
  if (FAILED(r->reader->OpenStream(r->stream))) return fail(OSND_ERR_FILE_FORMAT);
  void *object = nullptr;
  if (SUCCEEDED(r->reader->QueryInterface(IID_IWMProfile, &object)) && object) {
    auto *profile = static_cast<IWMProfile *>(object);
    DWORD count = 0;
    profile->GetStreamCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      IWMStreamConfig *config = nullptr;
      if (FAILED(profile->GetStream(i, &config)) || !config) continue;
      GUID type{};
      WORD number = 0;
      config->GetStreamType(&type);
      config->GetStreamNumber(&number);
      if (type == WMMEDIATYPE_Audio && r->audio == 0) r->audio = number;
      if (type == WMMEDIATYPE_Video && r->video == 0) r->video = number;
      config->Release();
    }
    profile->Release();
  }
  if (r->audio == 0) return fail(OSND_ERR_FILE_FORMAT);
  r->reader->SetRange(0, 0);
  WORD numbers[1] = {r->audio};
  WMT_STREAM_SELECTION selections[1] = {WMT_ON};
  r->reader->SetStreamsSelected(1, numbers, selections);
  r->reader->SetReadStreamSamples(r->audio, FALSE);

  DWORD outputs = 0;
  r->reader->GetOutputCount(&outputs);
  ULONG largest = 0;
  int rate = 0, channels = 0;
  for (DWORD i = 0; i < outputs; ++i) {
    IWMOutputMediaProps *props = nullptr;
    if (FAILED(r->reader->GetOutputFormat(i, 0, &props)) || !props) continue;
    DWORD size = 0;
    props->GetMediaType(nullptr, &size);
    auto *type = static_cast<WM_MEDIA_TYPE *>(OSND_ALLOC(int(std::max<DWORD>(size, sizeof(WM_MEDIA_TYPE)))));
    if (!type) {
      props->Release();
      return fail(OSND_ERR_MEMORY);
    }
    const bool got = SUCCEEDED(props->GetMediaType(type, &size));
    props->Release();
    if (got) {
      largest = std::max(largest, type->lSampleSize);
      if (type->formattype == WMFORMAT_WaveFormatEx && type->pbFormat && type->cbFormat >= sizeof(WAVEFORMATEX)) {
        WAVEFORMATEX format;
        std::memcpy(&format, type->pbFormat, sizeof(format));
        if (format.wBitsPerSample != 16 || format.nChannels > 2 || format.nChannels < 1) {
          OSND_FREE_MEM(type);
          return fail(OSND_ERR_FILE_FORMAT);
        }
        channels = format.nChannels;
        rate = int(format.nSamplesPerSec);
      }
    }
    OSND_FREE_MEM(type);
  }
  if (rate <= 0 || channels <= 0) return fail(OSND_ERR_FILE_FORMAT);
  if (FAILED(r->reader->QueryInterface(IID_IWMHeaderInfo, &object)) || !object) return fail(OSND_ERR_FILE_FORMAT);
  auto *header = static_cast<IWMHeaderInfo *>(object);
  WORD stream = 0, length = 0;
  WMT_ATTR_DATATYPE type;
  QWORD duration = 0;
  bool known = SUCCEEDED(header->GetAttributeByName(&stream, u"Duration", &type, nullptr, &length)) && length == 8;
  known = known && SUCCEEDED(header->GetAttributeByName(&stream, u"Duration", &type,
                                                        reinterpret_cast<BYTE *>(&duration), &length));
  header->Release();
  if (!known) return fail(OSND_ERR_FILE_FORMAT);

  mode &= ~(OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_UNSIGNED);
  mode |= OSND_MODE_16BITS | OSND_MODE_SIGNED | (channels == 1 ? OSND_MODE_MONO : OSND_MODE_STEREO);
  const uint64_t samples = uint64_t(rate) * (duration / 10000) / 1000;
  out->mode = mode;
  out->rate = rate;
  out->decodedLength = uint32_t(std::min<uint64_t>(samples * 2 * uint64_t(channels), 0x7FFFFFFF));
  out->record = r;
  out->frameBytes = 2 * channels;
  out->blockSize = largest ? int(std::min<ULONG>(largest, 0x100000)) : 0x10000;
  out->lengthMs = int(std::min<QWORD>(duration / 10000, 0x7FFFFFFF));
  return true;
}

bool AsfStreamRead(OSND_STREAM *stream, uint8_t *, int, uint8_t *destination, int *bytes) {
  return FormatAsf_Read(stream->formatState, destination, bytes);
}

}  // namespace

bool FormatAsf_Read(void *state, uint8_t *destination, int *bytes) {
  auto *r = static_cast<FormatAsfRecord *>(state);
  INSSBuffer *sample = nullptr;
  QWORD time = 0, duration = 0;
  DWORD flags = 0, output = 0;
  WORD number = 0;
  if (!r || FAILED(r->reader->GetNextSample(r->audio, &sample, &time, &duration, &flags, &output, &number)) || !sample) {
    *bytes = 0;
    return false;
  }
  r->lastTime = time;
  BYTE *data = nullptr;
  DWORD length = 0;
  sample->GetBufferAndLength(&data, &length);
  const int n = std::min(int(length), std::max(*bytes, 0));
  std::memcpy(destination, data, size_t(n));
  *bytes = n;
  sample->Release();
  return true;
}

int FormatAsf_SetPosition(void *state, int ms) {
  auto *r = static_cast<FormatAsfRecord *>(state);
  if (r) r->reader->SetRange(QWORD(std::max(ms, 0)) * 10000, 0);
  return ms;
}

bool FormatAsf_Close(void *state) {
  auto *r = static_cast<FormatAsfRecord *>(state);
  if (!r) return true;
  if (r->reader) {
    r->reader->Close();
    r->reader->Release();
  }
  if (r->stream) r->stream->Release();
  OSND_FREE_MEM(r);
  return true;
}

bool OsndFormatAsf_OpenStream(OsndFormatInfo *info) {
  AsfOpen open{};
  if (!Open(info->file, info->mode, &open)) return false;
  info->mode = open.mode;
  info->rate = open.rate;
  info->channels = (open.mode & OSND_MODE_STEREO) ? 2 : 1;
  info->dataLength = open.decodedLength;
  info->decodedLength = open.decodedLength;
  info->dataOffset = 0;
  info->state = open.record;
  info->blockSize = open.frameBytes;
  info->lengthMs = open.lengthMs;
  info->source = OSND_SOURCE_ASF;
  info->callbacks.read = AsfStreamRead;
  info->callbacks.close = FormatAsf_Close;
  info->callbacks.reset = nullptr;
  // A runtime sample may hold more than is asked for: reads go through a
  // decode block as large as the largest sample.
  info->decodeBlock = open.blockSize;
  return true;
}

OSND_SAMPLE *OsndFormatAsf_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  AsfOpen open{};
  if (!Open(file, mode, &open)) {
    Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return nullptr;
  }
  FormatAsf_SetPosition(open.record, 0);
  OSND_SAMPLE *sample = OsndFormat_DecodeSample(index, open.decodedLength, open.frameBytes, open.blockSize, open.mode,
                                                mode, open.rate, FormatAsf_Read, open.record);
  if (!sample) {
    FormatAsf_Close(open.record);
    return nullptr;
  }
  FormatAsf_Close(open.record);
  return OsndFormat_LoadedSample(sample, name);
}
