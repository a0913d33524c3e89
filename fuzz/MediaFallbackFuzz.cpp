// The media player fallback on arbitrary bytes: a file that no reader of the
// engine takes is opened by name as a stream, which renders it through the
// media player graph on FFmpeg (its length read, or found by decoding the
// whole file), seeks it and closes it. The same bytes then go through that
// graph's FFmpeg reader from memory, decoded as the graph's audio device
// pulls them, with a seek to the middle. No audio device is opened. The file
// is written under /dev/shm.
#include "fuzz/FuzzStreamEngine.h"
#include "platform/media/MemoryStream.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Decodes up to `limit` buffers; the bytes decoded.
std::uint64_t Decode(wmf::IWMSyncReader *reader, int limit) {
  std::uint64_t bytes = 0;
  for (int i = 0; i < limit; ++i) {
    wmf::INSSBuffer *buffer = nullptr;
    if (FAILED(reader->GetNextSample(WORD(1), &buffer, nullptr, nullptr, nullptr, nullptr, nullptr)) || !buffer) break;
    BYTE *pcm = nullptr;
    DWORD length = 0;
    buffer->GetBufferAndLength(&pcm, &length);
    bytes += length;
    buffer->Release();
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = "/dev/shm/qmv-fuzz-media-" + std::to_string(getpid());
  static const bool ready = StartFuzzStreamEngine();
  if (!ready || size == 0 || size > (1u << 20)) return 0;

  if (std::FILE *f = std::fopen(path.c_str(), "wb")) {
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) == 0 && written) {
      if (OSND_STREAM *stream = OSND_Stream_Open(path.c_str(), 0, 0, 0)) {
        OSND_Stream_SetPosition(stream, stream->lengthPcm / 2);
        OSND_Stream_Close(stream);
      }
    }
    std::remove(path.c_str());
  }

  wmf::IWMSyncReader *reader = nullptr;
  if (FAILED(wmf::CreateAnyFormatReader(&reader)) || !reader) return 0;
  auto *stream = new wmf::MemoryStream(data, size);
  const HRESULT opened = reader->OpenStream(stream);
  stream->Release();
  if (SUCCEEDED(opened)) {
    wmf::IWMOutputMediaProps *props = nullptr;
    if (SUCCEEDED(reader->GetOutputFormat(0, 0, &props))) {
      DWORD bytes = 0;
      props->GetMediaType(nullptr, &bytes);
      std::vector<uint8_t> type(std::max<DWORD>(bytes, sizeof(wmf::WM_MEDIA_TYPE)));
      props->GetMediaType(reinterpret_cast<wmf::WM_MEDIA_TYPE *>(type.data()), &bytes);
      props->Release();
    }
    const std::uint64_t decoded = Decode(reader, 256);
    // Back to about the middle of what was decoded, taken as 16-bit stereo at
    // 8 kHz (the range is in 100 ns units).
    reader->SetRange(decoded * 10000000 / (2 * 32000), 0);
    Decode(reader, 16);
  }
  reader->Release();
  return 0;
}
