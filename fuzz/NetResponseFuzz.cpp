// An internet stream's server answer from arbitrary bytes: the status line
// and headers (redirects, tags, metadata interval, content kind), then the
// body through the reader the headers chose, opened and read as a playing
// stream reads it: the MPEG reader (frame search, metadata-aware reads, frame
// decoding) or the Ogg Vorbis one (comments reported as metadata). The bytes
// sit in a socket record's receive ring as if the socket thread had received
// them and the peer had closed; no network is used. The first byte picks a
// metadata interval when the headers set none, and the bytes before an Ogg
// Vorbis stream's first comment report.
#include "sound/include/osnd.h"
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/source/source_net.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/system/system_memory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
    gSystemNetSettings.receiveSize = 1 << 14;  // inputs of up to 16 KB: the frame search copies the ring each time
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
  if (!record->buffer || !record->path) {
    OsndStreamNet_FreeRecord(record);
    return 0;
  }
  std::strcpy(record->path, "/");
  OsndTag *tags = nullptr;
  const int result = OsndStreamNet_ReadHeaders(nullptr, record, &tags);
  if (tags) OsndTag_FreeList(&tags);
  OsndFormatInfo info{};
  bool opened = false;
  if (result == 0) {
    record->metadataCallback = [](char *, char *, void *) { return true; };
    if (record->metaInterval == 0) record->metaInterval = record->metaLeft = data[0] * 4;
    opened = (record->flags & OSND_NET_OGG) ? FormatOggVorbisNet_Open(record, &info) : FormatMpegNet_Open(record, &info);
  }
  // An Ogg Vorbis stream reports its comments after every so many bytes:
  // the first byte brings the first report within reach of a short input.
  if (opened && (record->flags & OSND_NET_OGG)) record->metaLeft = std::min(record->metaLeft, 1 + data[0] * 4);
  if (!opened) {
    OsndStreamNet_FreeRecord(record);  // frees the socket too: no socket thread runs here
    return 0;
  }
  // Read as the streamer reads a playing stream: up to 32 reads (frames),
  // enough for the reader's states; the decoders have targets of their own.
  static OSND_STREAM stream;
  stream.formatState = record;
  stream.channel = -1;
  static uint8_t pcm[MPEG_MAX_FRAME_OUTPUT + 8192];
  for (int i = 0; i < 32; ++i) {
    int bytes = info.decodeBlock > 0 ? info.decodeBlock : 4096;
    if (!info.callbacks.read(&stream, nullptr, 0, pcm, &bytes)) break;
  }
  info.callbacks.close(record);
  return 0;
}
