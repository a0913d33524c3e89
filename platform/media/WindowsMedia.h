// The Windows Media Format runtime's synchronous reader as the sound engine's
// Windows Media reader uses it, on FFmpeg. The reader reads through the
// caller's IStream (never a file name), so memory files and the engine's own
// file layer play too; it delivers the first audio stream as interleaved
// 16-bit PCM at the stream's own rate and channel count.
#pragma once

#include "platform/win32/WinTypes.h"
#include "platform/winmm/WinMM.h"

#include <cstdint>

namespace wmf {

using QWORD = std::uint64_t;

struct STATSTG {
  char *pwcsName;
  DWORD type;
  std::uint64_t cbSize;
  std::uint8_t reserved[56];
};
#define STGTY_STREAM 2u
#define STATFLAG_NONAME 1u
#define STREAM_SEEK_SET 0u
#define STREAM_SEEK_CUR 1u
#define STREAM_SEEK_END 2u

extern const GUID IID_IUnknown;
extern const GUID IID_IStream;
extern const GUID IID_IWMProfile;
extern const GUID IID_IWMHeaderInfo;
extern const GUID WMMEDIATYPE_Audio;
extern const GUID WMMEDIATYPE_Video;
extern const GUID WMFORMAT_WaveFormatEx;

struct IStream {
  virtual HRESULT QueryInterface(REFIID iid, void **object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual HRESULT Read(void *buffer, ULONG bytes, ULONG *read) = 0;
  virtual HRESULT Write(const void *buffer, ULONG bytes, ULONG *written) = 0;
  virtual HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t *position) = 0;
  virtual HRESULT SetSize(std::uint64_t size) = 0;
  virtual HRESULT CopyTo(IStream *to, std::uint64_t bytes, std::uint64_t *read, std::uint64_t *written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(std::uint64_t offset, std::uint64_t bytes, DWORD type) = 0;
  virtual HRESULT UnlockRegion(std::uint64_t offset, std::uint64_t bytes, DWORD type) = 0;
  virtual HRESULT Stat(STATSTG *stat, DWORD flags) = 0;
  virtual HRESULT Clone(IStream **copy) = 0;

 protected:
  virtual ~IStream() = default;
};

using ::WAVEFORMATEX;

struct WM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  void *pUnk;
  ULONG cbFormat;
  BYTE *pbFormat;  // points into the same buffer, after the record
};

enum WMT_STREAM_SELECTION { WMT_OFF = 0, WMT_CLEANPOINT_ONLY = 1, WMT_ON = 2 };
enum WMT_ATTR_DATATYPE { WMT_TYPE_DWORD = 0, WMT_TYPE_STRING = 1, WMT_TYPE_BINARY = 2, WMT_TYPE_BOOL = 3,
                         WMT_TYPE_QWORD = 4, WMT_TYPE_WORD = 5, WMT_TYPE_GUID = 6 };
#define NS_E_NO_MORE_SAMPLES (static_cast<HRESULT>(0xC00D0BCFu))
#define ASF_E_NOTFOUND (static_cast<HRESULT>(0xC00D07F0u))

struct INSSBuffer {
  virtual HRESULT GetBufferAndLength(BYTE **buffer, DWORD *length) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~INSSBuffer() = default;
};

struct IWMStreamConfig {
  virtual HRESULT GetStreamType(GUID *type) = 0;
  virtual HRESULT GetStreamNumber(WORD *number) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IWMStreamConfig() = default;
};

struct IWMProfile {
  virtual HRESULT GetStreamCount(DWORD *count) = 0;
  virtual HRESULT GetStream(DWORD index, IWMStreamConfig **config) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IWMProfile() = default;
};

struct IWMOutputMediaProps {
  // A null type asks for the size only.
  virtual HRESULT GetMediaType(WM_MEDIA_TYPE *type, DWORD *size) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IWMOutputMediaProps() = default;
};

struct IWMHeaderInfo {
  // "Duration" (a QWORD in 100 ns units) is the attribute offered.
  virtual HRESULT GetAttributeByName(WORD *stream, const WCHAR *name, WMT_ATTR_DATATYPE *type, BYTE *value,
                                     WORD *length) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IWMHeaderInfo() = default;
};

struct IWMSyncReader {
  virtual HRESULT QueryInterface(REFIID iid, void **object) = 0;
  virtual HRESULT OpenStream(IStream *stream) = 0;
  virtual HRESULT SetRange(QWORD start, std::int64_t duration) = 0;
  virtual HRESULT SetStreamsSelected(WORD count, WORD *numbers, WMT_STREAM_SELECTION *selections) = 0;
  virtual HRESULT SetReadStreamSamples(WORD number, BOOL compressed) = 0;
  virtual HRESULT GetOutputCount(DWORD *count) = 0;
  virtual HRESULT GetOutputFormat(DWORD output, DWORD format, IWMOutputMediaProps **props) = 0;
  virtual HRESULT GetNextSample(WORD number, INSSBuffer **sample, QWORD *time, QWORD *duration, DWORD *flags,
                                DWORD *output, WORD *streamNumber) = 0;
  virtual HRESULT Close() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IWMSyncReader() = default;
};

HRESULT WMCreateSyncReader(void *unknown, DWORD rights, IWMSyncReader **reader);

// The same reader for any container and codec FFmpeg knows (not only ASF):
// the media player's graph decodes through it, so both share one decoder.
HRESULT CreateAnyFormatReader(IWMSyncReader **reader);

}  // namespace wmf
