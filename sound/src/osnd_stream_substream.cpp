// Sub-streams of a stream: the entries of a sample-bank stream, chosen one at
// a time or played in turn from a sentence list.
#include "sound/src/format_osb.h"
#include "sound/src/osnd_cdda.h"
#include "sound/src/osnd_nonblocking.h"
#include "sound/src/osnd_stream.h"
#include "sound/src/osnd_string.h"

#include <algorithm>
#include <cstring>

namespace {

OsbBank *BankOf(OSND_STREAM *s) {
  return s->source == OSND_SOURCE_OSB ? static_cast<OsbBank *>(s->formatState) : nullptr;
}

unsigned Layout(unsigned mode) {
  return mode & (OSND_MODE_8BITS | OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_MULTICHANNEL |
                 OSND_MODE_IMA_ADPCM | OSND_MODE_UNSIGNED);
}

// An entry plays through the stream's buffers and read callback only when it
// is stored as the first entry is.
bool SameLayout(const OsbBank *bank, const OsbEntry &e) {
  OsbEntry first;
  FormatOsb_GetEntry(bank, 0, &first);
  return Layout(e.mode) == Layout(first.mode) && std::max(e.channels, 1) == std::max(first.channels, 1);
}

bool Selectable(OSND_STREAM *s, int index) {
  const OsbBank *bank = BankOf(s);
  OsbEntry e;
  return bank && FormatOsb_GetEntry(bank, index, &e) && SameLayout(bank, e) && e.frequency >= 1;
}

// A CD stream's sub-streams are the disc's tracks.
bool TrackSelectable(OSND_STREAM *s, int index) {
  auto *device = static_cast<CddaDevice *>(s->formatState);
  return device && index >= 0 && index < device->toc.count - 1;
}

// Opens the track (or, for a drive opened for its information only, takes
// its length) and starts it from its beginning.
bool SelectTrack(OSND_STREAM *s, int index, bool keepPlaying) {
  auto *device = static_cast<CddaDevice *>(s->formatState);
  const bool infoOnly = OsndCdda_IsInfoOnly(device);
  const uint32_t bytes = infoOnly ? OsndCdda_GetTrackLength(device, index) : OsndCdda_OpenTrack(device, index);
  if (!infoOnly && bytes == 0) return Osnd_Fail(OSND_ERR_FILE_BAD);
  s->dataLength = bytes;
  s->lengthPcm = bytes / 4;
  s->lengthMs = int((uint64_t(bytes) / 4 * 1000 + 999) / 44100);
  return infoOnly || OsndStream_SetPosition(s, 0, true, keepPlaying);
}

// Makes a sample-bank entry the stream's data and starts it from its beginning.
bool SelectEntry(OSND_STREAM *s, int index, bool keepPlaying) {
  OsbBank *bank = BankOf(s);
  OsbEntry e;
  FormatOsb_GetEntry(bank, index, &e);
  bank->current = index;
  s->dataStart = e.dataOffset;
  s->dataLength = e.storedBytes;
  s->lengthPcm = e.length;
  if (!s->sentence) s->lengthMs = int((uint64_t(e.length) * 1000 + 999) / uint64_t(e.frequency));
  s->sample->defFrequency = e.frequency;
  SystemString_CopyN(s->sample->name, e.name, 30);
  // An entry's own loop points, when it has them; a sentence plays whole entries.
  const bool loop = !s->sentence && e.loopEnd > e.loopStart && e.loopEnd < e.length;
  s->loopStart = loop ? e.loopStart : 0;
  s->loopEnd = loop ? e.loopEnd : 0;
  if (bank->syncCounts[index] > 0) {
    OsndStream_FreeSyncPoints(&s->sync);
    for (int k = 0; k < bank->syncCounts[index]; ++k)
      OsndStream_AddSyncPointNode(&s->sync, bank->syncs[index][k].position, bank->syncs[index][k].name);
  }
  return OsndStream_SetPosition(s, 0, true, keepPlaying);
}

}  // namespace

bool OsndStream_SetSubStreamEx(OSND_STREAM *s, int index, bool internal, bool keepPlaying) {
  if (!s) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!keepPlaying && !internal && !OsndStream_IsReady(s)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  const bool track = s->source == OSND_SOURCE_CD;
  if (!(track ? TrackSelectable(s, index) : Selectable(s, index))) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!keepPlaying) OsndStream_Stop(s, false);
  if (!internal && (s->mode & OSND_MODE_NONBLOCKING)) {
    // The open thread selects it; the stream is not ready until then.
    s->requestFlags |= OSND_REQUEST_SUBSTREAM;
    s->pendingSubStream = index;
    OsndStream_SetOpenState(s, false, false);
    OsndNonBlocking_Queue(&s->queue, s, 0);
    return true;
  }
  const bool lock = !internal && !OsndStream_OnStreamerThread();
  if (lock) SystemThread_EnterCriticalSection(gOsndStreams.decodeLock);
  if (!keepPlaying) {
    s->nextHalf = 0;
    s->decodeHeld = s->decodeOffset = s->decodeSkip = 0;
    s->needsRefill = 0;
    s->refillOnPlay = 0;
  }
  const bool ok = track ? SelectTrack(s, index, keepPlaying) : SelectEntry(s, index, keepPlaying);
  if (lock) SystemThread_LeaveCriticalSection(gOsndStreams.decodeLock);
  return ok;
}

bool OsndStream_NextSentenceEntry(OSND_STREAM *s) {
  if (!s->sentence || s->sentenceCount < 1) return false;
  if (++s->sentenceCurrent >= s->sentenceCount) {
    // Round again uses one loop of a looping stream.
    const bool looping = (s->mode & (OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI)) && s->loopsLeft != 0;
    if (!looping) {
      s->sentenceCurrent = s->sentenceCount;
      return false;
    }
    if (s->loopsLeft > 0) --s->loopsLeft;
    ++s->loopCounter;
    s->sentenceCurrent = 0;
  }
  return OsndStream_SetSubStreamEx(s, s->sentence[s->sentenceCurrent], true, true);
}

bool OSND_Stream_SetSubStream(OSND_STREAM *stream, int index) {
  if (Osnd_OnInitThread()) Osnd_ResetError();
  return OsndStream_SetSubStreamEx(stream, index, false, false);
}

bool OSND_Stream_SetSubStreamSentence(OSND_STREAM *stream, const int *list, int count) {
  if (Osnd_OnInitThread()) Osnd_ResetError();
  if (!stream || !OsndStream_IsReady(stream) || !BankOf(stream) || count < 0 || (count > 0 && !list))
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  for (int k = 0; k < count; ++k)
    if (!Selectable(stream, list[k])) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  int *copy = nullptr;
  if (count > 0) {
    copy = static_cast<int *>(OSND_ALLOC(count * int(sizeof(int))));
    if (!copy) return Osnd_Fail(OSND_ERR_MEMORY);
    std::memcpy(copy, list, size_t(count) * sizeof(int));
  }
  OsndStream_Stop(stream, false);
  const bool lock = !OsndStream_OnStreamerThread();
  if (lock) SystemThread_EnterCriticalSection(gOsndStreams.decodeLock);
  OSND_FREE_MEM(stream->sentence);
  stream->sentence = copy;
  stream->sentenceCount = count;
  stream->sentenceCurrent = 0;
  if (copy) {
    // The length of a sentence is the length of its entries together.
    const OsbBank *bank = BankOf(stream);
    uint64_t ms = 0;
    for (int k = 0; k < count; ++k) {
      OsbEntry e;
      FormatOsb_GetEntry(bank, copy[k], &e);
      ms += (uint64_t(e.length) * 1000 + 999) / uint64_t(e.frequency);
    }
    stream->lengthMs = int(std::min<uint64_t>(ms, 0x7FFFFFFF));
  }
  if (lock) SystemThread_LeaveCriticalSection(gOsndStreams.decodeLock);
  return OsndStream_SetSubStreamEx(stream, copy ? copy[0] : static_cast<OsbBank *>(stream->formatState)->current,
                                   false, false);
}
