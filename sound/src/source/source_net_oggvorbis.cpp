// Ogg Vorbis decoded straight from an internet stream's receive ring; the
// stream's comments go to the metadata callback as the stream goes on.
#include "sound/src/source/source_net.h"
#include "sound/src/system/system_memory.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace {

size_t SocketRead(void *buffer, size_t size, size_t count, void *source) {
  auto *r = static_cast<OsndNetStream *>(source);
  if (size == 0 || count == 0) return 0;
  const int want = int(std::min<size_t>(size * count, 0x7FFFFFFF));
  const int got = std::max(0, SystemNetSocket_Read(r->socket, buffer, want));
  r->received += uint32_t(got);
  if (got > 0 && r->dataCallback) r->dataCallback(buffer, got, r->dataUserData);
  if (got > 0 && r->metaInterval > 0) {
    r->metaLeft -= got;
    // Reported after the decode step, outside the library's own call.
    if (r->metaLeft <= 0) r->metaToRead = 1;
  }
  return size_t(got) / size;
}

long SocketTell(void *source) { return long(static_cast<OsndNetStream *>(source)->received); }

const ov_callbacks kNetCallbacks = {SocketRead, nullptr, nullptr, SocketTell};

void ReportComments(OsndNetStream *r) {
  r->metaToRead = 0;
  r->metaLeft = r->metaInterval;
  vorbis_comment *comments = ov_comment(static_cast<OggVorbis_File *>(r->decoder), -1);
  if (!comments) return;
  for (int i = 0; i < comments->comments; ++i) {
    const char *entry = comments->user_comments[i];
    const int length = comments->comment_lengths[i];
    if (!entry || length <= 0) continue;
    const char *equals = static_cast<const char *>(std::memchr(entry, '=', size_t(length)));
    if (!equals) continue;
    char name[256];
    const size_t nameLength = std::min<size_t>(size_t(equals - entry), sizeof(name) - 1);
    std::memcpy(name, entry, nameLength);
    name[nameLength] = '\0';
    OsndStreamNet_CallMetadata(r, name, equals + 1);
  }
}

}  // namespace

bool FormatOggVorbisNet_Open(OsndNetStream *r, OsndFormatInfo *info) {
  auto *vf = static_cast<OggVorbis_File *>(OSND_ALLOC(int(sizeof(OggVorbis_File))));
  if (!vf) return Osnd_Fail(OSND_ERR_MEMORY);
  if (ov_open_callbacks(r, vf, nullptr, 0, kNetCallbacks) < 0) {
    OSND_FREE_MEM(vf);
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  vorbis_info *vi = ov_info(vf, -1);
  if (!vi || vi->channels < 1 || vi->channels > 2 || vi->rate < 1 || vi->rate > 0x7FFFFFFF) {
    ov_clear(vf);
    OSND_FREE_MEM(vf);
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  r->decoder = vf;
  r->metaInterval = OSND_NET_OGG_REPORT_BYTES;
  r->metaLeft = r->metaInterval;
  unsigned mode = info->mode & ~(OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_UNSIGNED);
  info->mode = mode | OSND_MODE_16BITS | OSND_MODE_SIGNED | (vi->channels == 1 ? OSND_MODE_MONO : OSND_MODE_STEREO);
  info->rate = int(vi->rate);
  info->channels = vi->channels;
  info->dataLength = 0x7FFFFFFFu;
  info->decodedLength = 0x7FFFFFFFu;
  info->lengthMs = 0x7FFFFFFF;
  info->blockSize = 1;
  info->callbacks.read = OsndStreamRead_OggNet;
  info->callbacks.close = FormatOggVorbisNet_Close;
  info->callbacks.reset = nullptr;
  return true;
}

bool OsndStreamRead_OggNet(OSND_STREAM *stream, uint8_t *, int, uint8_t *destination, int *bytes) {
  auto *r = static_cast<OsndNetStream *>(stream->formatState);
  SystemNetSocket *s = r->socket;
  const int want = std::max(*bytes, 0);
  if (s->flags & SYSTEMNET_ERROR) {
    r->status = OSND_NET_ERROR;
    *bytes = 0;
    return false;
  }
  auto *vf = static_cast<OggVorbis_File *>(r->decoder);
  long got;
  int section = 0, holes = 0;
  do {
    got = ov_read(vf, reinterpret_cast<char *>(destination), want, 0, 2, 1, &section);
  } while (got == OV_HOLE && ++holes < 64);
  if (r->metaToRead) ReportComments(r);
  const bool drained = SystemNetSocket_Drained(s);
  // The library reads ahead: the stream has ended at its length only once
  // what it took in has been decoded.
  if (got <= 0 && (r->flags & OSND_NET_HTTP) && r->contentLength > 0 && r->received >= r->contentLength) {
    r->status = OSND_NET_PLAYING;
    *bytes = 0;
    return false;
  }
  if (got <= 0) {
    // The end of the Vorbis data so far (or data it cannot use) is silence
    // while more may follow; a socket that has ended gives two more silent
    // buffers and then the end.
    if (drained && r->oggSilentAfterEnd >= 2) {
      *bytes = 0;
      return false;
    }
    if (drained) ++r->oggSilentAfterEnd;
    std::memset(destination, 0, size_t(want));
    if (!drained) r->status = OSND_NET_BUFFERING;
    *bytes = want;
    return true;
  }
  // Sound decoded from bytes already received is played even when the ring
  // has just run dry: replacing it with silence would lose it for good.
  if (s->flags & SYSTEMNET_BUFFERING) {
    r->status = OSND_NET_BUFFERING;
    *bytes = int(got);
    return true;
  }
  const long rate = ov_bitrate_instant(vf);
  if (rate != -1 && rate != OV_EINVAL && rate > 0) r->bitrate = int(rate / 1024);
  r->status = OSND_NET_PLAYING;
  *bytes = int(got);
  return got > 0;
}

bool FormatOggVorbisNet_Close(void *state) {
  auto *r = static_cast<OsndNetStream *>(state);
  if (!r) return false;
  if (r->decoder) {
    ov_clear(static_cast<OggVorbis_File *>(r->decoder));
    OSND_FREE_MEM(r->decoder);
  }
  r->decoder = nullptr;
  OsndStreamNet_FreeRecord(r);
  return true;
}
