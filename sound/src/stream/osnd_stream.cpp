// Streams: opening from files and memory, playing on a channel through the
// streamer sample, stopping, closing, positions and seeking.
#include "sound/src/stream/osnd_stream.h"

#include "sound/src/channel/osnd_channel.h"
#include "sound/src/channel/osnd_dsp.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/format/format_aiff.h"
#include "sound/src/format/format_asf.h"
#include "sound/src/format/format_dshow.h"
#include "sound/src/format/format_oggvorbis.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/format/format_wav.h"
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

OsndStreamSystem gOsndStreams;
OsndStreamSources gOsndStreamSources{};

void OsndStream_SetSources(const OsndStreamSources &sources) { gOsndStreamSources = sources; }

namespace {

constexpr unsigned kAdpcm = OSND_MODE_IMA_ADPCM | OSND_MODE_VAG_ADPCM | OSND_MODE_GC_ADPCM;

template <typename T>
T *Fail(int code) {
  Osnd_SetError(code);
  return nullptr;
}

// A stream whose open failed: a record the caller handed in stays, marked
// failed (the application closes it); one made here is freed.
OSND_STREAM *OpenFailed(OSND_STREAM *s, bool handedIn, int code) {
  if (handedIn)
    OsndStream_MarkOpenFailed(s);
  else
    OSND_FREE_MEM(s);
  return Fail<OSND_STREAM>(code);
}

int FrameBytes(unsigned mode, int channels) {
  int bytes = (mode & OSND_MODE_16BITS) ? 2 : 1;
  if (mode & OSND_MODE_MULTICHANNEL)
    bytes *= std::max(1, channels);
  else if (mode & OSND_MODE_STEREO)
    bytes *= 2;
  return bytes;
}

// Reads compressed input and lets the format's decode step convert it.
bool DecodingRead(OSND_STREAM *s, uint8_t *input, int inputSize, uint8_t *destination, int *bytes) {
  const int64_t position = SystemFile_Tell(s->file);
  const int64_t end = int64_t(s->dataStart) + s->dataLength;
  const int want = int(std::min<int64_t>(inputSize, std::max<int64_t>(0, end - position)));
  const int got = want > 0 ? SystemFile_Read(input, 1, want, s->file) : 0;
  if (got <= 0) {
    *bytes = 0;
    return false;
  }
  FormatWav_DecodeBlock(s->formatState, input, got, destination, bytes);
  return position + got < end;
}

bool OggRead(OSND_STREAM *s, uint8_t *, int, uint8_t *destination, int *bytes) {
  return FormatOggVorbis_Read(s->formatState, destination, bytes);
}

typedef bool (*StreamReader)(OsndFormatInfo *);

// Readers in the order the stream opener tries them.
const StreamReader kReaders[] = {OsndFormatOsb_OpenStream, FormatWav_OpenStream,     OsndFormatAiff_OpenStream,
                                 FormatOggVorbis_OpenStream, OsndFormatMpeg_OpenStream, OsndFormatAsf_OpenStream};

void LinkStream(OSND_STREAM *s) {
  SystemThread_EnterCriticalSection(gOsndStreams.decodeLock);
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    if (!gOsndStreams.streams.next) OsndList_Init(&gOsndStreams.streams);
    if (s->link.next) OsndList_Unlink(&s->link);
    OsndList_Append(&gOsndStreams.streams, &s->link);
  }
  SystemThread_LeaveCriticalSection(gOsndStreams.decodeLock);
}

void UnlinkStream(OSND_STREAM *s) {
  SystemThread_EnterCriticalSection(gOsndStreams.decodeLock);
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    if (s->link.next) OsndList_Unlink(&s->link);
  }
  SystemThread_LeaveCriticalSection(gOsndStreams.decodeLock);
}

bool HasPrefix(const char *name, const char *prefix) {
  return SystemString_CompareNNoCase(name, prefix, int(SystemString_Length(prefix))) == 0 &&
         SystemString_Length(name) >= SystemString_Length(prefix);
}

// Text of a tag value with trailing blanks and zero bytes removed.
bool TagText(OsndTag *tags, const char *name, int type, bool skipEncoding, char *out) {
  const void *value = nullptr;
  int length = 0;
  if (!OsndTag_Find(tags, name, type, &value, &length) || !value) return false;
  const char *text = static_cast<const char *>(value);
  if (skipEncoding && length > 0) {
    ++text;
    --length;
  }
  length = std::min(length, 255);
  while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0')) --length;
  std::memcpy(out, text, size_t(length));
  out[length] = '\0';
  return length > 0;
}

void MakeTitle(OsndTag *tags, const char *fallback, char *title) {
  char artist[256] = {}, name[256] = {};
  if (!TagText(tags, "ARTIST", OSND_TAG_VORBIS, false, artist) && !TagText(tags, "TPE1", OSND_TAG_ID3V2, true, artist))
    TagText(tags, "ARTIST", -1, false, artist);
  if (!TagText(tags, "TITLE", OSND_TAG_VORBIS, false, name) && !TagText(tags, "TIT2", OSND_TAG_ID3V2, true, name))
    TagText(tags, "TITLE", -1, false, name);
  title[0] = '\0';
  SystemString_CopyN(title, artist, 255);
  title[255] = '\0';
  int length = int(SystemString_Length(title));
  if (name[0] && 255 - length > 3) {
    if (length > 0) {
      SystemString_Cat(title, " - ");
      length += 3;
    }
    SystemString_CatN(title, name, 255 - length);
  }
  if (!title[0] && fallback) {
    SystemString_CopyN(title, fallback, 255);
    title[255] = '\0';
  }
}

bool AllocRing(OsndPositionRing *ring, int count, int block) {
  ring->count = std::max(count, 1);
  ring->block = block;
  ring->write = 0;
  ring->entries = static_cast<OsndPositionEntry *>(OSND_ALLOC(int(sizeof(OsndPositionEntry)) * ring->count));
  return ring->entries != nullptr;
}

bool CloseDshow(void *state) {
  FormatDshow_Close(static_cast<DshowStream *>(state));
  return true;
}

DshowStream *DshowOf(OSND_STREAM *s) {
  return s->source == OSND_SOURCE_DSHOW ? static_cast<DshowStream *>(s->formatState) : nullptr;
}

// A stream's data size: `bytes` bytes hold `frames` sample frames of one
// channel, and a sample holds `channels` of them.
struct DataSize {
  int64_t bytes = 1, frames = 1, channels = 1;
};

DataSize DataSizeOf(const OSND_STREAM *s) {
  DataSize size;
  if (s->mode & OSND_MODE_VAG_ADPCM)
    size.bytes = 16, size.frames = 28;
  else if (s->mode & OSND_MODE_IMA_ADPCM)
    size.bytes = 36, size.frames = 64;
  else if (s->mode & OSND_MODE_GC_ADPCM)
    size.bytes = 8, size.frames = 14;
  else if (s->mode & OSND_MODE_16BITS)
    size.bytes = 2;
  if (s->mode & OSND_MODE_MULTICHANNEL)
    size.channels = std::max(1, s->channels);
  else if (s->mode & OSND_MODE_STEREO)
    size.channels = 2;
  return size;
}

}  // namespace

int OsndStream_BytesToSamples(const OSND_STREAM *s, int bytes) {
  const DataSize size = DataSizeOf(s);
  return int(int64_t(bytes) * size.frames / size.bytes / size.channels);
}

int OsndStream_SamplesToBytes(const OSND_STREAM *s, int samples) {
  const DataSize size = DataSizeOf(s);
  return int(int64_t(samples) * size.bytes / size.frames * size.channels);
}

OSND_STREAM *OsndStream_Create(OSND_STREAM *reuse, OsndStreamFillProc fill, int bufferBytes, unsigned mode, int rate,
                               void *userData, int channels) {
  OSND_STREAM *s = reuse;
  if (!s) {
    s = static_cast<OSND_STREAM *>(OSND_ALLOC(int(sizeof(OSND_STREAM))));
    if (!s) return Fail<OSND_STREAM>(OSND_ERR_MEMORY);
    s->pendingSubStream = -1;
  }
  s->mode = mode;
  s->channels = channels;
  OSND_SAMPLE *sample = nullptr;
  if (bufferBytes != -1) {
    const int samples = OsndStream_BytesToSamples(s, bufferBytes) * 2;
    sample = OsndSample_Create(-2, samples, mode | OSND_MODE_ONE_INSTANCE, rate, 255,
                               (mode & OSND_MODE_STEREO) ? -1 : 128, 255, channels);
    if (!sample || samples < 2) {
      if (sample) OsndSample_Destroy(sample);
      return OpenFailed(s, reuse != nullptr, OSND_ERR_MEMORY);
    }
    SystemString_Copy(sample->name, "Streamer Sample");
    sample->mode = (sample->mode & ~(OSND_MODE_LOOP_OFF | OSND_MODE_LOOP_BIDI)) | OSND_MODE_LOOP_NORMAL;
    OSND_Sample_SetLoopPoints(sample, 0, samples - 1);
  }

  s->cpuUsage = 0.0f;
  s->callbacks = OsndStreamCallbacks{};
  s->callbacks.fill = fill;
  s->sample = sample;
  s->lengthMs = 0;
  s->lengthPcm = 0;
  s->pcmWritten = 0;
  s->dataStart = 0;
  s->dataLength = 0;
  s->blockAlign = 4;
  s->nextHalf = 0;
  s->channel = -1;
  // Not the close mark (`life`): a close of a background record may have begun.
  s->playing = s->ended = s->seeking = s->needsRefill = s->prefilling = 0;
  OsndStream_SetOpenState(s, false, false);
  s->refillOnPlay = 1;
  s->userData = userData;
  s->loopCount = s->loopsLeft = -1;
  s->endCountdown = -1;
  s->loopCounter = s->lastLoopSeen = 0;
  for (int &c : s->extraChannels) c = -1;
  OsndStream_InitSyncPointList(&s->sync);
  OsndList_Init(&s->dspUnits);
  // A record opened in the background keeps its queue node, which the open
  // queue owns (a close reads it under the queue's lock).
  if (!reuse) {
    s->queue.next = s->queue.prev = &s->queue;
    s->queue.object = nullptr;
    s->queue.kind = 0;
  }
  // Linked once the open has filled it (OsndStream_Link): the streamer and the
  // mixer's sync scan never see a record that is still being opened.
  return s;
}

OSND_STREAM *OsndStream_Open(OSND_STREAM *reuse, const char *name, unsigned mode, int offset, int length) {
  if (mode & OSND_MODE_2D) mode &= ~OSND_MODE_HW3D;
  if (mode & OSND_MODE_16BITS) mode &= ~OSND_MODE_8BITS;
  if (mode & OSND_MODE_STEREO) mode &= ~(OSND_MODE_MONO | OSND_MODE_MULTICHANNEL);
  if (!name) return Fail<OSND_STREAM>(OSND_ERR_INVALID_PARAM);

  char title[256] = {};
  OsndTag *tags = nullptr;
  OsndSyncList sync;
  OsndStream_InitSyncPointList(&sync);
  const int kind = SystemFile_KindForMode(mode);
  const bool memory = mode & OSND_MODE_MEMORY;
  auto cleanup = [&](SystemFileHandle *file, OsndFormatInfo *info, int code) -> OSND_STREAM * {
    if (info && info->callbacks.close && info->state) info->callbacks.close(info->state);
    if (file) SystemFile_Close(file);
    OsndStream_FreeSyncPoints(&sync);
    if (tags) OsndTag_FreeList(&tags);
    if (reuse) OsndStream_MarkOpenFailed(reuse);
    return Fail<OSND_STREAM>(code);
  };

  const bool internet = !memory && (HasPrefix(name, "http://") || HasPrefix(name, "http:\\\\"));
  // A drive letter and a colon, alone or with options after a star, is a CD drive.
  const bool letter = (name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z');
  const bool drive = !memory && !internet && letter && name[1] == ':' && (name[2] == '\0' || name[2] == '*');

  const char *path = name;
  if (kind == SYSTEMFILE_BUFFERED && HasPrefix(path, "file://")) path += 7;
  SystemFileHandle *file = nullptr;
  if (!internet && !drive) {
    file = SystemFile_Open(path, kind, length);
    if (!file) return cleanup(nullptr, nullptr, OSND_ERR_FILE_NOT_FOUND);
    if (offset > 0) SystemFile_SetStartOffset(file, offset);
    if (length > 0 && !memory) SystemFile_SetEndOffset(file, int64_t(std::max(offset, 0)) + length - 1);
  }
  if (file && !(mode & OSND_MODE_NO_TAGS)) {
    OsndTag_ReadTags(file, &tags);
    SystemFile_SetStartOffset(file, file->startOffset + std::max<int64_t>(0, SystemFile_Tell(file)));
    SystemFile_Seek(file, 0, SEEK_SET);
  }

  OsndFormatInfo info{};
  info.file = file;
  info.mode = mode;
  info.syncPoints = &sync;
  info.tags = &tags;
  int inputSize = 0, decodeBlock = 0;
  if (drive) {
    // A drive always opens: what went wrong is told by its "CD_ERROR" tag.
    info.mode = mode;
    gOsndStreamSources.cdOpen(name, &info);
    mode = info.mode;
    inputSize = info.inputSize;
    decodeBlock = info.decodeBlock;
  } else if (internet) {
    info.mode = mode;
    if (!gOsndStreamSources.netOpen(reuse, name, &info)) {
      const int code = gOsndError.lastError == OSND_ERR_NONE ? OSND_ERR_FILE_FORMAT : int(gOsndError.lastError);
      return cleanup(nullptr, nullptr, code);
    }
    mode = info.mode;
    inputSize = info.inputSize;
    decodeBlock = info.decodeBlock;
  } else if (!(mode & OSND_MODE_RAW)) {
    bool found = false;
    for (StreamReader reader : kReaders) {
      gOsndError.lastError = OSND_ERR_FILE_FORMAT;
      SystemFile_Seek(file, 0, SEEK_SET);
      info.mode = mode;
      info.callbacks = OsndStreamCallbacks{};
      info.inputSize = info.decodeBlock = 0;
      info.lengthEstimated = false;
      if (reader(&info)) {
        found = true;
        break;
      }
      if (gOsndError.lastError != OSND_ERR_FILE_FORMAT) break;
    }
    if (!found) {
      const int code = gOsndError.lastError == OSND_ERR_NONE ? OSND_ERR_FILE_FORMAT : int(gOsndError.lastError);
      if (code != OSND_ERR_FILE_FORMAT || memory || (mode & OSND_MODE_INTERNET)) return cleanup(file, nullptr, code);
      // Last, the system's media player: it reads the file by its name and
      // plays it on a media channel of its own.
      char media[260];
      SystemString_CopyN(media, path, sizeof media - 1);
      media[sizeof media - 1] = '\0';
      DshowStream *player = nullptr;
      uint32_t bytes = 0;
      int ms = 0;
      gOsndError.lastError = OSND_ERR_NONE;
      const bool rendered = FormatDshow_Open(file, media, &bytes, &ms, &player);
      SystemFile_Close(file);
      if (!rendered) return cleanup(nullptr, nullptr, gOsndError.lastError ? int(gOsndError.lastError) : OSND_ERR_FILE_FORMAT);
      OSND_STREAM *s = OsndStream_Create(reuse, nullptr, -1, mode, 44100, nullptr, 2);
      if (!s) {
        FormatDshow_Close(player);
        return cleanup(nullptr, nullptr, OSND_ERR_MEMORY);
      }
      s->source = OSND_SOURCE_DSHOW;
      s->formatState = player;
      s->callbacks.close = CloseDshow;
      s->dataLength = bytes;
      s->lengthMs = ms;
      s->lengthPcm = uint32_t(int64_t(ms) * 44100 / 1000);
      s->tags = tags;
      SystemString_CopyN(s->name, name, 255);
      s->name[255] = '\0';
      s->refillOnPlay = 0;
      OsndStream_FreeSyncPoints(&sync);
      OsndStream_Link(s);
      return s;
    }
    mode = info.mode;
    if (info.callbacks.read) {
      inputSize = info.inputSize;
      decodeBlock = info.decodeBlock;
    } else if (info.source == OSND_SOURCE_WAV && info.state) {
      // Compressed WAV data goes through an input buffer of whole blocks.
      inputSize = std::max(info.blockSize, 1);
      while (inputSize < 2048) inputSize *= 2;
      const uint64_t pcm = info.dataLength ? uint64_t(inputSize) * info.decodedLength / info.dataLength : 0;
      decodeBlock = int((pcm + 1) * 3 / 2);
      info.callbacks.read = DecodingRead;
    } else if (info.source == OSND_SOURCE_WAV) {
      info.callbacks.read = OsndStream_PcmRead;
    } else {
      info.callbacks.read = OggRead;
    }
  } else {
    const int64_t end = file->endOffset >= 0 ? std::min(file->endOffset + 1, file->length) : file->length;
    info.dataLength = uint32_t(std::max<int64_t>(0, end - file->startOffset));
    info.decodedLength = info.dataLength;
    info.dataOffset = 0;
    info.rate = 44100;
    info.channels = (mode & OSND_MODE_STEREO) ? 2 : 1;
    info.blockSize = FrameBytes(mode, 1);
    info.source = OSND_SOURCE_PCM;
    info.callbacks.read = OsndStream_PcmRead;
    if (!(mode & (OSND_MODE_8BITS | OSND_MODE_16BITS))) mode |= OSND_MODE_8BITS;
    if (!(mode & (OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_MULTICHANNEL))) mode |= OSND_MODE_MONO;
  }
  int channels = (mode & OSND_MODE_STEREO) ? 2 : (mode & OSND_MODE_MULTICHANNEL) ? std::max(info.channels, 1) : 1;

  // Mix-down and hardware rules.
  if (mode & OSND_MODE_MONO) mode &= ~OSND_MODE_FORCE_MONO;
  if ((mode & OSND_MODE_HW3D) && (mode & OSND_MODE_STEREO) && !(mode & OSND_MODE_FORCE_MONO))
    return cleanup(file, &info, OSND_ERR_INVALID_PARAM);
  bool downmix = false;
  if (mode & OSND_MODE_FORCE_MONO) {
    if (mode & kAdpcm) return cleanup(file, &info, OSND_ERR_INVALID_PARAM);
    if (inputSize == 0) {
      inputSize = 4096;
      decodeBlock = 40960;
      info.blockSize = (mode & OSND_MODE_16BITS) ? 4 : 2;
    }
    downmix = true;
    mode = (mode & ~OSND_MODE_STEREO) | OSND_MODE_MONO;
    channels = 1;
  }
  if (info.rate <= 0) return cleanup(file, &info, OSND_ERR_FILE_BAD);

  const int block = gOsnd.blockLength > 0 ? gOsnd.blockLength : gOsndStreams.passSamples;
  // Sized in 64 bits and capped, so that no rate a file claims can overflow
  // the size or make the stream reserve gigabytes.
  constexpr int64_t kMaxBufferBytes = 32 << 20;
  const int bufferFrame = FrameBytes(mode, channels);
  int64_t wanted = int64_t(gOsndStreams.bufferMs) * info.rate / 1000;
  wanted = std::min(std::max<int64_t>(wanted, block), kMaxBufferBytes / bufferFrame);
  const int samples = int(std::max<int64_t>(wanted / block * block, block));
  const int bufferBytes = samples * bufferFrame;

  OSND_STREAM *s = OsndStream_Create(reuse, OsndStream_Decode, bufferBytes, mode, info.rate, nullptr, channels);
  if (!s) return cleanup(file, &info, OSND_ERR_INVALID_PARAM);

  const int ringBlock = block;
  bool ringsOk = AllocRing(&s->ring, int(s->sample->length) / ringBlock, ringBlock);
  if (ringsOk && gOsnd.primary && gOsnd.blockLength > 0)
    ringsOk = AllocRing(&s->latency, gOsnd.bufferLengthSamples / gOsnd.blockLength, gOsnd.blockLength);
  s->file = file;
  s->source = info.source;
  s->formatState = info.state;
  s->callbacks.read = info.callbacks.read;
  s->callbacks.reset = info.callbacks.reset;
  s->callbacks.close = info.callbacks.close;
  info.state = nullptr;  // the stream owns it now
  s->dataLength = info.dataLength;
  s->dataStart = info.source == OSND_SOURCE_OGG ? 0 : info.dataOffset;
  s->lengthMs = info.lengthMs;
  s->blockAlign = std::max(info.blockSize, 1);
  s->loopStart = info.loopStart;
  s->loopEnd = info.loopEnd;
  OsndStream_ReplaceSyncPoints(s, &sync);
  OSND_PAUSE_POINT("stream.open.filling");
  s->tags = tags;
  tags = nullptr;
  s->inputSize = inputSize;
  s->decodeBlock = decodeBlock;
  s->mode = mode | (downmix ? OSND_MODE_FORCE_MONO : 0);
  if (inputSize > 0) s->input = static_cast<uint8_t *>(OSND_ALLOC(inputSize));
  if (decodeBlock > 0) s->decode = static_cast<uint8_t *>(OSND_ALLOC(decodeBlock));
  if (!ringsOk || (inputSize > 0 && !s->input) || (decodeBlock > 0 && !s->decode)) {
    // A background record belongs to the application, which closes it later.
    OsndStream_Release(s);
    return OpenFailed(s, reuse != nullptr, OSND_ERR_MEMORY);
  }

  MakeTitle(s->tags, memory ? nullptr : name, title);
  SystemString_CopyN(s->sample->name, title, 255);
  s->sample->name[255] = '\0';

  const int frame = FrameBytes(downmix ? (mode | OSND_MODE_STEREO) & ~OSND_MODE_MONO : mode, channels);
  if (info.source == OSND_SOURCE_OGG)
    s->lengthPcm = info.decodedLength;
  else
    s->lengthPcm = info.decodedLength / uint32_t(std::max(frame, 1));
  if (s->lengthMs <= 0) s->lengthMs = int((int64_t(s->lengthPcm) * 1000 + 999) / info.rate);
  s->lengthEstimated = info.lengthEstimated;
  // Loop points come from the file: an end past the sound is cut to its last
  // sample (once the sound's length is known), and a start after the end
  // leaves the whole sound as the loop.
  if (!s->lengthEstimated && s->loopEnd >= s->lengthPcm) s->loopEnd = s->lengthPcm > 0 ? s->lengthPcm - 1 : 0;
  if (s->loopStart > s->loopEnd) s->loopStart = s->loopEnd = 0;

  s->refillOnPlay = 1;
  OsndStream_SetPosition(s, 0, true, false);
  s->seeking = 0;
  s->needsRefill = 0;
  s->refillOnPlay = 0;
  OsndStream_Link(s);
  return s;
}

bool OsndStream_Stop(OSND_STREAM *s) {
  if (!gOsnd.initialised) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  if (!s || !OsndStream_IsReady(s)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // Playing is read under the lock every play and stop holds to write it.
  OsndDecodeLock decode;
  if (!decode) return false;
  if (DshowStream *player = DshowOf(s)) {
    if (player->channel) player->channel->ops.stop(player->channel);
    s->playing = 0;
    s->channel = -1;
    return true;
  }
  if (!s->playing) return true;
  const int channel = s->channel;
  // The channel is stopped outside the list lock: stopping takes the mixer's
  // lock, which the mixer holds while its sync scan takes the list lock.
  if (channel != -1 && OSND_GetCurrentSample(channel) == s->sample) OSND_StopSound(channel);
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    s->playing = 0;
    s->cpuUsage = 0.0f;
    s->decodeHeld = s->decodeOffset = 0;
    s->channel = -1;
    for (int &c : s->extraChannels) c = -1;
    s->needsRefill = 1;
    s->endCountdown = -1;
  }
  return true;
}

bool OsndStream_Seek(OSND_STREAM *s, int unit, uint32_t value, bool resetCursor) {
  const int frequency = s->sample ? std::max(s->sample->defFrequency, 1) : 44100;
  const uint64_t pcmLength = std::max<uint32_t>(s->lengthPcm, 1);
  const uint64_t dataLength = s->dataLength;
  uint64_t samples;
  if (unit == 0)
    samples = dataLength ? uint64_t(value) * pcmLength / dataLength : 0;
  else if (unit == 1)
    samples = uint64_t(value) * uint64_t(frequency) / 1000;
  else
    samples = value;
  // Beyond the data: its start, as for bytes (an estimated length may end
  // before the data does).
  if (samples >= pcmLength && !s->lengthEstimated) samples = 0;
  s->decodedFromStart = samples == 0;
  s->decodeHeld = s->decodeOffset = s->decodeSkip = 0;
  s->sourceEnded = false;
  if (DshowStream *player = DshowOf(s)) {
    // The media player seeks in time, or in samples when asked in samples.
    const bool ok = unit == 2 ? FormatDshow_SeekSamples(player, value)
                              : FormatDshow_SeekMs(player, uint32_t(samples * 1000 / uint64_t(frequency)));
    if (!ok) return false;
  } else if (s->source == OSND_SOURCE_OGG) {
    // Byte positions of an Ogg stream are positions in the file; the library
    // reads ahead, so they are taken in proportion and sought by sample.
    uint32_t reached = uint32_t(samples);
    if (!FormatOggVorbis_Seek(s->formatState, true, int64_t(samples), !resetCursor, &reached)) return false;
    samples = reached;
  } else if (s->source == OSND_SOURCE_ASF) {
    const int ms = int(samples * 1000 / uint64_t(frequency));
    FormatAsf_SetPosition(s->formatState, ms);
    // The reader starts at the millisecond: the samples before the one asked for are skipped.
    const uint64_t reached = uint64_t(ms) * uint64_t(frequency) / 1000;
    const int frame = FrameBytes(s->mode & OSND_MODE_FORCE_MONO ? (s->mode | OSND_MODE_STEREO) & ~OSND_MODE_MONO
                                                                : s->mode,
                                 s->channels);
    s->decodeSkip = int((samples - reached) * uint64_t(frame));
    if (s->mode & OSND_MODE_FORCE_MONO) s->decodeSkip /= 2;
  } else if (s->source == OSND_SOURCE_CD) {
    // Sectors are the drive's unit: the samples before the one asked for are skipped.
    uint32_t reached = 0;
    if (!gOsndStreamSources.cdSeek(s->formatState, samples, &reached)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
    s->decodeSkip = int(samples * 4 - reached);
  } else if (s->source == OSND_SOURCE_NET) {
    // A network stream plays as it arrives: it has no other position to go to.
    if (samples != 0) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  } else {
    uint64_t bytes = unit == 0 ? value : samples * dataLength / pcmLength;
    bytes = bytes / uint64_t(s->blockAlign) * uint64_t(s->blockAlign);
    if (bytes >= dataLength) bytes = 0;
    const uint64_t alignedSamples = dataLength ? bytes * pcmLength / dataLength : 0;
    if (samples > alignedSamples) {
      const int frame = FrameBytes(s->mode & OSND_MODE_FORCE_MONO ? (s->mode | OSND_MODE_STEREO) & ~OSND_MODE_MONO
                                                                  : s->mode,
                                   s->channels);
      s->decodeSkip = int((samples - alignedSamples) * uint64_t(frame));
      if (s->mode & OSND_MODE_FORCE_MONO) s->decodeSkip /= 2;
    } else {
      samples = alignedSamples;
    }
    SystemFile_Seek(s->file, int64_t(bytes) + s->dataStart, SEEK_SET);
  }
  s->pcmWritten = uint32_t(samples);
  if (resetCursor) OsndStream_ResetSyncCursor(s, s->pcmWritten);
  return true;
}

bool OsndStream_SetPosition(OSND_STREAM *s, unsigned position, bool internal, bool noRefill) {
  if (!s || (!internal && !OsndStream_IsReady(s))) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // The seek and the prefill after it run under the stream-decode lock, which
  // the streamer holds while it refills: no refill meets a half-changed stream.
  OsndDecodeLock decode(!internal);
  if (!decode) return false;
  if (!internal && OsndStream_Closing(s)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (position != 0 && position >= s->dataLength) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  bool paused = false;
  if (!noRefill) {
    if (s->channel != -1) {
      paused = OSND_GetPaused(s->channel);
      OSND_SetPaused(s->channel, true);
    }
    s->seeking = 1;
  }
  if (!noRefill) {
    // Playing goes on from the new position with the whole loop count: loops
    // the discarded buffer had used up are not lost.
    s->loopsLeft = s->loopCount;
    s->loopCounter = 0;
  }
  const bool ok = OsndStream_Seek(s, 0, position, !noRefill);
  if (!noRefill) {
    OsndStream_Prefill(s);
    s->seeking = 0;
    if (s->channel != -1) OSND_SetPaused(s->channel, paused);
    s->needsRefill = 0;
  }
  return ok;
}

void OsndStream_Link(OSND_STREAM *s) { LinkStream(s); }

namespace {

// What a stream's release frees, taken out of its record.
struct ReleasedParts {
  bool (*close)(void *) = nullptr;
  void *formatState = nullptr;
  SystemFileHandle *file = nullptr;
  OsndSyncList sync;
  OSND_SAMPLE *sample = nullptr;
  void *buffers[4] = {};
  OsndTag *tags = nullptr;
};

}  // namespace

void OsndStream_Release(OSND_STREAM *s) {
  OSND_PAUSE_POINT("stream.release.begun");
  ReleasedParts parts;
  OsndStream_InitSyncPointList(&parts.sync);
  {
    SystemLockGuard decode(gOsndStreams.decodeLock);
    SystemLockGuard list(gOsndStreams.listLock);
    parts.close = s->callbacks.close;
    parts.formatState = std::exchange(s->formatState, nullptr);
    parts.file = std::exchange(s->file, nullptr);
    OsndStream_ExchangeSyncPoints(s, &parts.sync);
    parts.sample = std::exchange(s->sample, nullptr);
    parts.buffers[0] = std::exchange(s->input, nullptr);
    parts.buffers[1] = std::exchange(s->decode, nullptr);
    parts.buffers[2] = std::exchange(s->ring.entries, nullptr);
    parts.buffers[3] = std::exchange(s->latency.entries, nullptr);
    s->ring.count = s->latency.count = 0;
    parts.tags = std::exchange(s->tags, nullptr);
    OSND_FREE_MEM(std::exchange(s->sentence, nullptr));
    s->sentenceCount = 0;
    // Taken out, not yet freed: a call that held the stream before the mark
    // and reads it under either lock (a time read, under the list lock
    // alone, looks at no mark) finds it whole or emptied, never freed.
    OSND_PAUSE_POINT("stream.release.taken");
  }
  if (parts.close && parts.formatState) parts.close(parts.formatState);
  if (parts.file) SystemFile_Close(parts.file);
  OsndStream_FreeSyncPoints(&parts.sync);
  if (parts.sample) OSND_Sample_Free(parts.sample);
  for (void *buffer : parts.buffers) OSND_FREE_MEM(buffer);
  if (parts.tags) OsndTag_FreeList(&parts.tags);
  OsndStream_DropTitles(s);
}

void OsndStream_Hold(OSND_STREAM *s) { OsndLifetime_Hold(&s->life); }

void OsndStream_LetGo(OSND_STREAM *s) {
  if (OsndLifetime_LetGo(&s->life)) OSND_FREE_MEM(s);
}

bool OsndStream_Closing(OSND_STREAM *s) { return OsndLifetime_Closing(&s->life); }

OsndStreamCall::OsndStreamCall(OSND_STREAM *s) : m_Stream(nullptr) {
  if (!s || !OsndLifetime_HoldOpen(&s->life)) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return;
  }
  m_Stream = s;
  // Held, not yet locked: a close that begins now must still wait for this
  // call, or see it fail at the lock.
  OSND_PAUSE_POINT("stream.call.held");
}

OsndStreamCall::~OsndStreamCall() {
  m_Decode.reset();
  if (m_Stream) OsndStream_LetGo(m_Stream);
}

bool OsndStreamCall::LockDecodeIfOpen() {
  if (!m_Decode.emplace()) return false;
  if (OsndStream_Closing(m_Stream)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // Locked and open: a close that begins now releases nothing before the
  // call has ended.
  OSND_PAUSE_POINT("stream.call.locked");
  return true;
}

OsndDecodeLock::OsndDecodeLock(bool wanted) {
  if (!wanted) return;
  if (tOsndInCallback == OSND_IN_UNIT_CALLBACK) {
    Osnd_SetError(OSND_ERR_CALLBACK);
    m_Refused = true;
    return;
  }
  SystemThread_EnterCriticalSection(gOsndStreams.decodeLock);
  m_Taken = true;
}

OsndDecodeLock::~OsndDecodeLock() {
  if (m_Taken) SystemThread_LeaveCriticalSection(gOsndStreams.decodeLock);
}

// The streamer reads the callbacks under the stream-list lock just before
// each call; a change waits for a call read before it, outside that lock.
namespace {

// Changes a slot as every stream call acts on a stream: holding the record,
// and under the stream-list lock, where the close clears the end slot, only
// while the stream's close has not begun (false, OSND_ERR_INVALID_PARAM, and
// nothing changed, once it has). Then waits, outside the lock, for a call of
// that slot read before the change.
template <typename Change>
bool ChangeSlot(OSND_STREAM *s, OsndSlot slot, Change change) {
  OsndSlotCall underWay;
  {
    OsndStreamCall call(s);
    if (!call) return false;
    SystemLockGuard guard(gOsndStreams.listLock);
    if (OsndStream_Closing(s)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
    change();
    underWay = OsndStream_SlotCallUnderWay(s, slot);
  }
  OsndStream_WaitForSlotCall(underWay);
  return true;
}

}  // namespace

bool OsndStream_SetEndCallback(OSND_STREAM *s, OSND_STREAMCALLBACK callback, void *userData) {
  return ChangeSlot(s, OSND_SLOT_END, [&] {
    s->endCallback = callback;
    s->endUserData = userData;
  });
}

bool OsndStream_SetSyncCallback(OSND_STREAM *s, OSND_STREAMCALLBACK callback, void *userData) {
  return ChangeSlot(s, OSND_SLOT_SYNC, [&] {
    s->syncCallback = callback;
    s->sync.userData = userData;
  });
}

void OsndStream_SetOpenCallback(OSND_STREAM *s, OSND_STREAMCALLBACK callback) {
  if (s) std::atomic_ref<OSND_STREAMCALLBACK>(s->openCallback).store(callback, std::memory_order_release);
}

OSND_STREAMCALLBACK OsndStream_GetOpenCallback(OSND_STREAM *s) {
  return std::atomic_ref<OSND_STREAMCALLBACK>(s->openCallback).load(std::memory_order_acquire);
}

bool OsndStream_SetLoopCount(OSND_STREAM *s, int count) {
  OsndStreamCall call(s);
  if (!call || !call.LockDecodeIfOpen()) return false;
  s->loopCount = s->loopsLeft = count < -1 ? -1 : count;
  // The buffer prefilled before the count was known may already hold a loop
  // back (a loop shorter than half the buffer): a stream that is not playing
  // decodes it again from where it starts, with the new count.
  if (OsndStream_IsReady(s) && !s->playing && s->ring.entries && s->file) {
    s->loopCounter = 0;
    if (OsndStream_Seek(s, 2, s->ring.entries[0].pcm, true)) OsndStream_Prefill(s);
  }
  return true;
}

extern "C" {

OSND_STREAM *OSND_Stream_Open(const char *nameOrData, unsigned int mode, int offset, int length) {
  Osnd_ResetError();
  if (Osnd_RefuseStreamCall()) return nullptr;
  if (!gOsnd.initialised) return Fail<OSND_STREAM>(OSND_ERR_UNINITIALISED);
  if (!(mode & OSND_MODE_NONBLOCKING)) {
    OSND_STREAM *s = OsndStream_Open(nullptr, nameOrData, mode, offset, length);
    if (s) OsndStream_MarkReady(s);
    return s;
  }
  if (!nameOrData) return Fail<OSND_STREAM>(OSND_ERR_INVALID_PARAM);
  // The record keeps the name in 256 bytes for the open thread: a longer one
  // is refused, since a cut name would open another file.
  if (!(mode & OSND_MODE_MEMORY) && std::strlen(nameOrData) >= sizeof(OSND_STREAM::name))
    return Fail<OSND_STREAM>(OSND_ERR_INVALID_PARAM);
  if (!OsndNonBlocking_StartThread()) return nullptr;  // it says why
  auto *s = static_cast<OSND_STREAM *>(OSND_ALLOC(int(sizeof(OSND_STREAM))));
  if (!s) return Fail<OSND_STREAM>(OSND_ERR_MEMORY);
  if (mode & OSND_MODE_MEMORY) {
    s->memory = nameOrData;
  } else {
    SystemString_CopyN(s->name, nameOrData, 255);
    s->name[255] = '\0';
  }
  s->mode = mode;
  s->offset = offset;
  s->length = length;
  s->channel = -1;
  s->requestFlags = OSND_REQUEST_OPEN;
  s->pendingSubStream = -1;
  OsndStream_InitSyncPointList(&s->sync);
  s->queue.next = s->queue.prev = &s->queue;
  // Never refused: no one else has the record yet, so no close of it has begun.
  static_cast<void>(OsndNonBlocking_Queue(s));
  return s;
}

int OSND_Stream_Play(int channel, OSND_STREAM *stream) { return OSND_Stream_PlayEx(channel, stream, nullptr, false); }

int OSND_Stream_PlayEx(int channel, OSND_STREAM *s, OSND_DSPUNIT *dsp, bool startPaused) {
  Osnd_ResetError();
  if (!s) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return 0;
  }
  OsndStreamCall call(s);
  if (!call) return -1;
  // A record still opening in the background is not touched beyond its state.
  if (!OsndStream_IsReady(s)) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return -1;
  }
  if (!gOsnd.initialised || gOsndStreams.stopByte == 1) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return -1;
  }
  if (!call.LockDecodeIfOpen()) return -1;
  if (DshowStream *player = DshowOf(s)) {
    // The media player plays by itself: its channel says whether it still does.
    s->playing = s->channel != -1 && OSND_IsPlaying(s->channel);
    if (s->playing) return s->channel;
    const int handle = FormatDshow_Play(player, startPaused);
    if (handle > -1) {
      s->channel = handle;
      s->playing = 1;
      s->ended = 0;
    }
    return handle;
  }
  if (s->prefilling || !s->sample) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return -1;
  }
  if (dsp && !OsndDsp_IsInChain(dsp)) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return 0;
  }
  if (s->playing) {
    // Its channel was taken from it: it plays there again while its handle
    // still names that channel. A stale handle (the channel stopped since)
    // may name an index another sound took: its own index is taken back only
    // while free, else a channel as a new play takes one. Asked and taken
    // under the mixer's lock, so that no sound starts there in between.
    SystemLockGuard mixing(Osnd_MixerLock());
    if (s->channel != -1 && OSND_GetCurrentSample(s->channel) != s->sample) {
      const int index = s->channel & 0xFFF;
      const bool takeBack = Osnd_GetChannel(s->channel) || !OSND_IsPlaying(index);
      OSND_PAUSE_POINT("stream.replay.looked");
      const int again = OSND_PlaySound(takeBack ? index : channel, s->sample);
      // No channel: the old handle may name another sound by now, so it is
      // not answered; the record keeps it, and a later play tries again.
      if (again < 0) return -1;
      SystemLockGuard guard(gOsndStreams.listLock);  // the mixer's sync scan reads it
      s->channel = again;
    }
    return s->channel;
  }
  s->ended = 0;
  s->cpuUsage = 0.0f;
  if (s->refillOnPlay || s->needsRefill) {
    s->loopsLeft = s->loopCount;
    s->loopCounter = s->lastLoopSeen = 0;
    // A sentence plays again from its first entry.
    if (s->needsRefill && s->sentence && s->sentenceCount > 0 && s->sentenceCurrent != 0) {
      s->sentenceCurrent = 0;
      OsndStream_SetSubStreamEx(s, s->sentence[0], true, true);
    }
    if (s->refillOnPlay)
      OsndStream_Prefill(s);
    else
      OsndStream_SetPosition(s, 0, true, false);
  }
  // Otherwise the prefilled buffer plays as decoded: the loops it already
  // holds are counted.
  const int requests[16] = {channel, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  const int count = (s->mode & OSND_MODE_MULTICHANNEL) ? std::clamp(s->sample->channels, 1, 16) : 1;
  const int handle = Osnd_PlaySoundCore(requests, count, s->sample, dsp, true);
  if (handle < 0) {
    s->needsRefill = 1;
    Osnd_SetError(OSND_ERR_PLAY);
    return -1;
  }
  {
    // Playing from here on for the mixer's sync scan, with everything prepared.
    SystemLockGuard guard(gOsndStreams.listLock);
    s->channel = handle;
    s->playing = 1;
  }
  s->needsRefill = 1;
  OSND_SetPaused(handle, startPaused);
  return handle;
}

bool OSND_Stream_Stop(OSND_STREAM *stream) {
  Osnd_ResetError();
  // What the stop changes, the close releases: the mark is checked under
  // the lock both take.
  OsndStreamCall call(stream);
  return call && call.LockDecodeIfOpen() && OsndStream_Stop(stream);
}

bool OSND_Stream_Close(OSND_STREAM *s) {
  Osnd_ResetError();
  // It waits for the open threads, which may need the mixer's lock that a
  // unit's callback holds: refused there before anything is marked.
  if (Osnd_RefuseStreamCall()) return false;
  if (!s) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // Read once, the state may move on before the take-back looks again under
  // the queue lock: a selection ends, another close takes it back or marks.
  const bool opened = OsndStream_IsReady(s) || OsndStream_OpenFailed(s) || OsndStream_Closing(s);
  OSND_PAUSE_POINT("stream.close.read");
  // Not ready: an opened stream's own background sub-stream selection still
  // queued is taken back (the stream is closed on the entry it had); one the
  // open thread took is waited for once the close is marked, below; one not
  // yet queued is refused the queue by the mark. Only an open still queued
  // or under way takes the path below.
  if (!opened && !OsndNonBlocking_TakeBackSelection(s)) {
    // An internet stream still queued never opens; one opening is asked to
    // give up, and the stop returns once its open has ended. Either is then
    // freed here like any failed open (or closed like any opened stream when
    // the open ended before it saw the stop).
    if (s->memory || !(HasPrefix(s->name, "http://") || HasPrefix(s->name, "http:\\\\")))
      return Osnd_Fail(OSND_ERR_INVALID_PARAM);
    if (OsndNonBlocking_Unqueue(&s->queue))
      OsndStream_MarkOpenFailed(s);
    else if (!gOsndStreamSources.netStop(s))
      return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  }
  {
    // Made by the callback being called, first or not, it ends the waits for
    // that call.
    SystemLockGuard list(gOsndStreams.listLock);
    OsndStream_CloseInSlotCall(s);
  }
  // A second close, from another thread or from a callback of the stream,
  // returns at once: the first one frees it.
  if (!OsndLifetime_BeginClose(&s->life)) return true;
  OSND_PAUSE_POINT("stream.close.marked");
  // A sub-stream selection still queued is dropped; one under way, or a
  // failed background open still finishing, is waited for; an open-complete
  // callback that has not begun is not made.
  OsndNonBlocking_Unqueue(&s->queue);
  OsndNonBlocking_WaitUntilDone(s);
  OSND_PAUSE_POINT("stream.close.dequeued");
  {
    // Calls under way on other threads end first; the ones after see the mark.
    SystemLockGuard decode(gOsndStreams.decodeLock);
    // Its state is settled here: nothing of it is queued or under way, and a
    // selection asked for beside the close has ended under this lock.
    if (OsndStream_IsReady(s)) OsndStream_Stop(s);
    UnlinkStream(s);
    {
      SystemLockGuard list(gOsndStreams.listLock);
      s->endCallback = nullptr;
      s->endUserData = nullptr;
    }
    if (s->playing && s->channel != -1) OSND_StopSound(s->channel);
  }
  OsndStream_Release(s);
  OsndStream_LetGo(s);  // the close's own hold: the record goes with the last one
  return true;
}

bool OSND_Stream_SetPosition(OSND_STREAM *stream, unsigned int position) {
  Osnd_ResetError();
  OsndStreamCall call(stream);
  return call && OsndStream_SetPosition(stream, position, false, false);
}

// The file's position moves as the streamer reads it under the stream-decode
// lock: read under that lock (and so refused inside a DSP unit's callback).
int OSND_Stream_GetPosition(OSND_STREAM *s) {
  Osnd_ResetError();
  OsndStreamCall call(s);
  if (!call || !call.LockDecodeIfOpen()) return 0;
  if (OsndStream_IsReady(s) && DshowOf(s)) {
    // The media player knows its time only: the bytes in proportion.
    const int64_t ms = FormatDshow_GetPositionMs(DshowOf(s));
    return s->lengthMs > 0 ? int(std::min<int64_t>(ms * s->dataLength / s->lengthMs, s->dataLength)) : 0;
  }
  // A record still opening in the background is the open thread's to fill.
  if (!OsndStream_IsReady(s) || !s->file) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return 0;
  }
  return int(std::max<int64_t>(0, SystemFile_Tell(s->file) - s->dataStart));
}

int OSND_Stream_GetTime(OSND_STREAM *s) {
  Osnd_ResetError();
  OsndStreamCall call(s);
  if (!call) return 0;
  OsndStreamReadLocks locks;
  if (OsndStream_IsReady(s) && DshowOf(s)) return FormatDshow_GetPositionMs(DshowOf(s));
  // As for the position: nothing of a record still opening is read.
  if (!OsndStream_IsReady(s) || !s->sample || !s->ring.entries) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return 0;
  }
  const OsndPositionEntry now = OsndStream_GetPcmPosition(s, false);
  const int64_t ms = int64_t(now.pcm) * 1000 / std::max(s->sample->defFrequency, 1);
  // An estimated length may end before the sound does: it bounds nothing.
  if (std::atomic_ref<bool>(s->lengthEstimated).load(std::memory_order_relaxed)) return int(std::min<int64_t>(ms, 0x7FFFFFFF));
  return int(std::min<int64_t>(ms, std::atomic_ref<int>(s->lengthMs).load(std::memory_order_relaxed)));
}

}  // extern "C"
