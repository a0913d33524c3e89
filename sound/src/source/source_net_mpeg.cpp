// MPEG audio (layer 3 frames) decoded straight from an internet stream's
// receive ring, with ICY metadata blocks taken out of the audio.
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/source/source_net.h"
#include "sound/src/system/system_memory.h"

#include <algorithm>
#include <cstring>

namespace {

// Layer 3 bit rates in kbit/s by [MPEG-2 or 2.5][index].
const int kLayer3Bitrates[2][16] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
                                    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

// Accepts a layer 3 header only; the frame's whole size comes back.
bool Layer3Header(MpegDecoder *probe, const uint8_t *bytes, int *rate, int *channels, int *frameSize) {
  if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0 || ((bytes[1] >> 1) & 3) != 1) return false;
  probe->layerLock = 0;
  int length = 0;
  if (!MpegDecoder_DecodeHeader(probe, bytes, rate, channels, &length)) return false;
  if (length + 4 > int(sizeof(OsndNetStream::frame))) return false;
  *frameSize = length + 4;
  return true;
}

void Silence(uint8_t *destination, int *bytes) {
  std::memset(destination, 0, size_t(std::max(*bytes, 0)));
}

// The value of an entry up to the character before the next ';' (the
// closing quote), or to the end of the block.
const char *EntryValue(const char *start, char *out, size_t size) {
  const char *end = std::strchr(start, ';');
  const char *stop = end ? end - 1 : start + std::strlen(start);
  if (!end && stop > start && stop[-1] == '\'') --stop;
  if (stop < start) stop = start;
  const size_t length = std::min(size_t(stop - start), size - 1);
  std::memcpy(out, start, length);
  out[length] = '\0';
  return end ? end : start + std::strlen(start);
}

}  // namespace

void FormatMpegNet_ParseBlock(OsndNetStream *record, const char *block) {
  char value[OSND_NET_BUFFER_BYTES];
  const char *searchFrom = block;
  if (const char *title = std::strstr(block, "StreamTitle='")) {
    searchFrom = EntryValue(title + 13, value, sizeof(value));
    if (char *dash = std::strstr(value, " - ")) {
      *dash = '\0';
      OsndStreamNet_CallMetadata(record, "ARTIST", value);
      OsndStreamNet_CallMetadata(record, "TITLE", dash + 3);
    } else {
      OsndStreamNet_CallMetadata(record, "ARTIST", value);
    }
  }
  if (const char *url = std::strstr(searchFrom, "StreamUrl='")) {
    EntryValue(url + 11, value, sizeof(value));
    OsndStreamNet_CallMetadata(record, "StreamUrl", value);
  }
}

int FormatMpegNet_ParseMetadata(OsndNetStream *r, uint8_t *destination, int bytes) {
  SystemNetSocket *s = r->socket;
  if (r->metaInterval <= 0) {
    const int got = std::max(0, SystemNetSocket_Read(s, destination, bytes));
    r->received += uint32_t(got);
    return got;
  }
  int taken = 0;
  while (taken < bytes) {
    if (r->metaToRead == 0 && r->metaLeft > 0) {
      const int got = SystemNetSocket_Read(s, destination ? destination + taken : nullptr,
                                           std::min(bytes - taken, r->metaLeft));
      if (got <= 0) break;
      taken += got;
      r->metaLeft -= got;
      r->received += uint32_t(got);
    } else if (r->metaToRead == 0) {
      uint8_t length = 0;
      if (SystemNetSocket_Read(s, &length, 1) <= 0) break;
      r->metaToRead = length * 16;
      r->metaRead = 0;
      std::memset(r->buffer, 0, size_t(r->bufferSize));
      if (r->metaToRead == 0) r->metaLeft = r->metaInterval;
    } else {
      const int got = SystemNetSocket_Read(s, r->buffer + r->metaRead, r->metaToRead - r->metaRead);
      if (got <= 0) break;
      r->metaRead += got;
      if (r->metaRead == r->metaToRead) {
        r->buffer[r->bufferSize - 1] = '\0';
        FormatMpegNet_ParseBlock(r, r->buffer);
        r->metaToRead = r->metaRead = 0;
        r->metaLeft = r->metaInterval;
      }
    }
  }
  return taken;
}

bool FormatMpegNet_FindFrame(OsndNetStream *r, int *channels, int *rate, int *frameSize) {
  uint8_t *start, *end, *write, *read;
  if (!r->probe || !SystemNetSocket_Lock(r->socket, &start, &end, &write, &read)) return false;
  const int ringSize = int(end - start);
  auto *audio = static_cast<uint8_t *>(OSND_ALLOC(std::max(ringSize, 1)));
  int count = 0;
  if (audio) {
    // The audio bytes in the ring, in order, with metadata blocks stepped over
    // from where the metadata-aware reader stands.
    int metaLeft = r->metaLeft, skip = r->metaToRead - r->metaRead;
    for (uint8_t *p = read; p != write;) {
      if (r->metaInterval > 0 && skip > 0) {
        --skip;
      } else if (r->metaInterval > 0 && metaLeft == 0) {
        skip = *p * 16;
        metaLeft = r->metaInterval;
      } else {
        audio[count++] = *p;
        if (r->metaInterval > 0) --metaLeft;
      }
      if (++p == end) p = start;
    }
  }
  SystemNetSocket_Unlock(r->socket);
  int found = -1;
  for (int i = 0; i + 4 <= count && found < 0; ++i) {
    int size = 0, nextSize = 0, a = 0, b = 0;
    if (!Layer3Header(r->probe, audio + i, rate, channels, &size)) continue;
    if (i + size + 4 > count || !Layer3Header(r->probe, audio + i + size, &a, &b, &nextSize)) continue;
    // The first header decides the stream's format.
    Layer3Header(r->probe, audio + i, rate, channels, frameSize);
    found = i;
  }
  OSND_FREE_MEM(audio);
  if (found < 0) return false;
  return FormatMpegNet_ParseMetadata(r, nullptr, found) == found;
}

bool FormatMpegNet_Open(OsndNetStream *r, OsndFormatInfo *info) {
  r->decoder = FormatMpeg_CreateDecoder();
  r->probe = static_cast<MpegDecoder *>(OSND_ALLOC(int(sizeof(MpegDecoder))));
  if (!r->decoder || !r->probe) {
    OSND_FREE_MEM(r->decoder);
    r->decoder = nullptr;
    return Osnd_Fail(OSND_ERR_MEMORY);
  }
  int channels = 0, rate = 0, frameSize = 0;
  if (!FormatMpegNet_FindFrame(r, &channels, &rate, &frameSize)) {
    OSND_FREE_MEM(r->decoder);
    r->decoder = nullptr;
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  const int decodedFrame = (r->probe->lsf ? 576 : 1152) * 2 * channels;
  r->frameRate = rate;
  r->frameChannels = channels;
  const bool known = (r->flags & OSND_NET_HTTP) && r->contentLength > 0;
  info->dataLength = known ? r->contentLength : 0x7FFFFFFFu;
  info->decodedLength =
      known ? uint32_t(std::min<uint64_t>((uint64_t(r->contentLength) * decodedFrame + frameSize / 2) / frameSize,
                                          0x7FFFFFFF))
            : 0x7FFFFFFFu;
  info->lengthMs = known ? 0 : 0x7FFFFFFF;
  unsigned mode = info->mode & ~(OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_UNSIGNED);
  info->mode = mode | OSND_MODE_16BITS | OSND_MODE_SIGNED | (channels == 1 ? OSND_MODE_MONO : OSND_MODE_STEREO);
  info->rate = rate;
  info->channels = channels;
  info->blockSize = 1;
  info->inputSize = 5000;
  info->decodeBlock = MPEG_MAX_FRAME_OUTPUT;
  info->callbacks.read = OsndStreamRead_MpegNet;
  info->callbacks.close = FormatMpegNet_Close;
  info->callbacks.reset = FormatMpegNet_Reset;
  // A live stream starts mid-way: its first frames lean on data never sent.
  r->silentFrames = known ? 0 : 3;
  MpegDecoder_Reset(r->decoder);
  return true;
}

bool OsndStreamRead_MpegNet(OSND_STREAM *stream, uint8_t *, int, uint8_t *destination, int *bytes) {
  auto *r = static_cast<OsndNetStream *>(stream->formatState);
  SystemNetSocket *s = r->socket;
  if ((r->flags & OSND_NET_HTTP) && r->contentLength > 0 && r->received >= r->contentLength) {
    r->status = OSND_NET_PLAYING;
    *bytes = 0;
    return false;
  }
  unsigned flags = s->flags;
  if (flags & SYSTEMNET_ERROR) {
    r->status = OSND_NET_ERROR;
    *bytes = 0;
    return false;
  }
  // A socket that has ended still plays what its ring holds.
  if ((flags & SYSTEMNET_BUFFERING) && SystemNetSocket_Drained(s)) {
    *bytes = 0;
    return false;
  }
  if ((flags & SYSTEMNET_BUFFERING) && !(flags & SYSTEMNET_END_OF_DATA)) {
    Silence(destination, bytes);
    r->status = OSND_NET_BUFFERING;
    return true;
  }
  r->status = OSND_NET_PLAYING;
  // Too few bytes so far: silence now, the partial frame is kept; a socket
  // that has ended and has nothing left ends the stream.
  auto waitMore = [&] {
    if (SystemNetSocket_Drained(s)) {
      *bytes = 0;
      return false;
    }
    Silence(destination, bytes);
    return true;
  };
  for (int attempt = 0; r->frameSize == 0; ++attempt) {
    r->headerHeld += FormatMpegNet_ParseMetadata(r, r->frame + r->headerHeld, 4 - r->headerHeld);
    if (r->headerHeld < 4) return waitMore();
    int rate = 0, channels = 0, size = 0;
    // The header read first, or the one the search below stepped to, starts
    // the frame.
    if (Layer3Header(r->probe, r->frame, &rate, &channels, &size)) {
      r->frameSize = size;
      r->frameHeld = 4;
      break;
    }
    r->headerHeld = 0;
    // Looked at before the search: bytes that come with the close after the
    // search has looked at the ring may hold the frame it did not find.
    const bool closed = s->flags & SYSTEMNET_END_OF_DATA;
    if (attempt > 0 || !FormatMpegNet_FindFrame(r, &channels, &rate, &size)) {
      // Once the peer has closed, bytes in which no frame is found never
      // become one: the stream ends there, rather than play silence while
      // the reader drops them four at a time.
      if (closed) {
        *bytes = 0;
        return false;
      }
      if (s->flags & SYSTEMNET_BUFFERING || !SystemNetSocket_Drained(s)) {
        Silence(destination, bytes);
        return true;
      }
      *bytes = 0;
      return false;
    }
  }
  r->frameHeld += FormatMpegNet_ParseMetadata(r, r->frame + r->frameHeld, r->frameSize - r->frameHeld);
  if (r->frameHeld < r->frameSize) return waitMore();

  const uint8_t *h = r->frame;
  const int lsf = (h[1] & 0x08) ? 0 : 1;
  r->bitrate = kLayer3Bitrates[lsf][(h[2] >> 4) & 15];
  int rate = 0, channels = 0, size = 0;
  Layer3Header(r->probe, r->frame, &rate, &channels, &size);
  if (r->dataCallback) r->dataCallback(r->frame, r->frameSize, r->dataUserData);
  int written = 0;
  auto *decoder = static_cast<MpegDecoder *>(r->decoder);
  MpegDecoder_DecodeFrame(decoder, r->frame, r->frameSize, destination, &written);
  const int decodedFrame = std::min((lsf ? 576 : 1152) * 2 * r->frameChannels, *bytes);
  if (written <= 0 || r->silentFrames > 0 || channels != r->frameChannels) {
    // A frame that does not decode keeps its time as silence; a change of
    // channel count mid-stream cannot be played on the stream's sample.
    written = decodedFrame;
    std::memset(destination, 0, size_t(written));
    if (r->silentFrames > 0) --r->silentFrames;
  }
  if (stream->channel != -1 && rate > 0 && OSND_GetFrequency(stream->channel) != rate)
    OSND_SetFrequency(stream->channel, rate);
  r->headerHeld = r->frameHeld = r->frameSize = 0;
  *bytes = std::min(written, *bytes);
  return true;
}

bool FormatMpegNet_Close(void *state) {
  auto *r = static_cast<OsndNetStream *>(state);
  if (!r) return false;
  OSND_FREE_MEM(r->decoder);
  r->decoder = nullptr;
  OsndStreamNet_FreeRecord(r);
  return true;
}

bool FormatMpegNet_Reset(void *state) {
  auto *r = static_cast<OsndNetStream *>(state);
  return r && MpegDecoder_Reset(r->decoder);
}
