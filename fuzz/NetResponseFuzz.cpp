// An internet stream's server answer from arbitrary bytes: the status line
// and headers (redirects, tags, metadata interval, content kind), then the
// body through the metadata-aware reader and the MPEG frame search, the way
// a live stream's first seconds are read. The bytes sit in a socket record's
// receive ring as if the socket thread had received them and the peer had
// closed; no network is used. The first byte picks a metadata interval when
// the headers set none.
#include "sound/include/osnd.h"
#include "sound/src/format_mpeg.h"
#include "sound/src/osnd_stream_net.h"
#include "sound/src/osnd_tag.h"
#include "sound/src/system_memory.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
    gSystemNetSettings.receiveSize = 1 << 17;
    gSystemNetSettings.lineIdleMs = 0;
    return OSND_Init(8000, 4, 0);
  }();
  if (!ready || size < 1 || size >= size_t(gSystemNetSettings.receiveSize)) return 0;
  SystemNetSocket *socket = SystemNetSocket_Create(winsock::INVALID_SOCKET);
  auto *record = static_cast<OsndNetStream *>(OSND_ALLOC(int(sizeof(OsndNetStream))));
  if (!socket || !record) {
    SystemNetSocket_Free(socket);
    OSND_FREE_MEM(record);
    return 0;
  }
  std::memcpy(socket->receiveStart, data + 1, size - 1);
  socket->receiveWrite = socket->receiveStart + (size - 1);
  socket->flags |= SYSTEMNET_END_OF_DATA;
  new (&record->status) std::atomic<int>(OSND_NET_CONNECTING);
  record->socket = socket;
  record->buffer = static_cast<char *>(OSND_ALLOC(OSND_NET_BUFFER_BYTES));
  record->bufferSize = OSND_NET_BUFFER_BYTES;
  record->path = static_cast<char *>(OSND_ALLOC(2));
  record->probe = static_cast<MpegDecoder *>(OSND_ALLOC(int(sizeof(MpegDecoder))));
  if (record->buffer && record->path && record->probe) {
    std::strcpy(record->path, "/");
    OsndTag *tags = nullptr;
    const int result = OsndStreamNet_ReadHeaders(nullptr, record, &tags);
    if (tags) OsndTag_FreeList(&tags);
    if (result == 0) {
      if (record->metaInterval == 0) record->metaInterval = record->metaLeft = data[0] * 4;
      int channels = 0, rate = 0, frameSize = 0;
      FormatMpegNet_FindFrame(record, &channels, &rate, &frameSize);
      uint8_t audio[1500];
      for (int i = 0; i < 256 && FormatMpegNet_ParseMetadata(record, (i & 1) ? audio : nullptr, 1 + i * 7) > 0; ++i) {
      }
    }
  }
  OsndStreamNet_FreeRecord(record);  // frees the socket too: no socket thread runs here
  return 0;
}
