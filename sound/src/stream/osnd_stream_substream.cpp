// Sub-streams of a stream: the entries of a sample-bank stream, chosen one at
// a time or played in turn from a sentence list.
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>

namespace {

OsbBank *BankOf(OSND_STREAM *s) {
  return s->source == OSND_SOURCE_OSB ? static_cast<OsbBank *>(s->formatState) : nullptr;
}

constexpr unsigned kChannelBits = OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_MULTICHANNEL;

// How an entry's samples are stored: what the stream's read callback decodes.
unsigned Storage(unsigned mode) {
  return mode & (OSND_MODE_8BITS | OSND_MODE_16BITS | OSND_MODE_IMA_ADPCM | OSND_MODE_UNSIGNED);
}

int ChannelsOf(const OsbEntry &e) {
  if (e.mode & OSND_MODE_MULTICHANNEL) return std::clamp(e.channels, 1, OSND_MAX_SUBCHANNELS);
  return (e.mode & OSND_MODE_STEREO) ? 2 : 1;
}

bool SameChannels(const OsbEntry &a, const OsbEntry &b) {
  return (a.mode & kChannelBits) == (b.mode & kChannelBits) && ChannelsOf(a) == ChannelsOf(b);
}

// The entry's channel layout is that of the stream's buffers.
bool FitsBuffers(const OSND_STREAM *s, const OsbEntry &e) {
  return (s->sample->mode & kChannelBits) == (e.mode & kChannelBits) && s->sample->channels == ChannelsOf(e);
}

// Whether the stream's buffers may take the entry's channel layout: not for
// a stream mixed down to mono (its buffers follow the first entry's layout)
// nor for multichannel data on a hardware stream.
bool CanRelayout(const OSND_STREAM *s, const OsbEntry &e) {
  if (s->mode & OSND_MODE_FORCE_MONO) return false;
  return !((e.mode & OSND_MODE_MULTICHANNEL) && (s->mode & (OSND_MODE_HW3D | OSND_MODE_HW2D)));
}

// An entry plays through the stream's read callback when it is stored as the
// first entry is; one of another channel layout needs the buffers laid out
// anew (relayout), or, for a stream mixed down to mono, the first entry's.
bool Selectable(OSND_STREAM *s, int index, bool relayout) {
  const OsbBank *bank = BankOf(s);
  OsbEntry e, first;
  if (!bank || !FormatOsb_GetEntry(bank, index, &e) || e.frequency < 1) return false;
  FormatOsb_GetEntry(bank, 0, &first);
  if (Storage(e.mode) != Storage(first.mode)) return false;
  if (s->mode & OSND_MODE_FORCE_MONO) return SameChannels(e, first);
  return FitsBuffers(s, e) || (relayout && CanRelayout(s, e));
}

// Lays the stream's buffers out for the entry's channels: the input and
// decode buffers in proportion to the channel count, the mode's channel bits,
// the streamer sample prepared again by the output. Nothing changes on failure.
bool Relayout(OSND_STREAM *s, const OsbEntry &e) {
  const int from = std::max(s->channels, 1), to = ChannelsOf(e);
  const int inputSize = int(int64_t(s->inputSize) * to / from);
  const int decodeBlock = int(int64_t(s->decodeBlock) * to / from);
  auto *input = inputSize > 0 ? static_cast<uint8_t *>(OSND_ALLOC(inputSize)) : nullptr;
  auto *decode = decodeBlock > 0 ? static_cast<uint8_t *>(OSND_ALLOC(decodeBlock)) : nullptr;
  if ((inputSize > 0 && !input) || (decodeBlock > 0 && !decode)) {
    OSND_FREE_MEM(input);
    OSND_FREE_MEM(decode);
    return Osnd_Fail(OSND_ERR_MEMORY);
  }
  if (!OsndSample_Relayout(s->sample, e.mode, to)) {
    OSND_FREE_MEM(input);
    OSND_FREE_MEM(decode);
    return false;
  }
  OSND_FREE_MEM(s->input);
  OSND_FREE_MEM(s->decode);
  s->input = input;
  s->decode = decode;
  s->inputSize = inputSize;
  s->decodeBlock = decodeBlock;
  s->mode = (s->mode & ~kChannelBits) | (e.mode & kChannelBits);
  s->channels = to;
  s->blockAlign = ((e.mode & OSND_MODE_IMA_ADPCM) ? 36 : 16) * to;
  // Stereo and multichannel data play at full volume on both sides, as an
  // open of such an entry plays them.
  if (to > 1)
    s->sample->defPan = -1;
  else if (s->sample->defPan == -1)
    s->sample->defPan = 128;
  return true;
}

bool BankHasSyncPoints(const OsbBank *bank) {
  for (int i = 0; i < bank->count; ++i)
    if (bank->syncCounts[i] > 0) return true;
  return false;
}

// The time and sync-point calls read a stream's lengths and rate under the
// stream-list lock alone (they work inside a DSP unit's callback): a new
// entry or track writes them under it.
void SetLengths(OSND_STREAM *s, uint32_t pcm, int ms, int frequency) {
  SystemLockGuard guard(gOsndStreams.listLock);
  s->lengthPcm = pcm;
  s->lengthMs = ms;
  if (s->sample) s->sample->defFrequency = frequency;
}

// A CD stream's sub-streams are the disc's tracks.
bool TrackSelectable(OSND_STREAM *s, int index) {
  return index >= 0 && index < gOsndStreamSources.cdTrackCount(s->formatState);
}

// Opens the track (or, for a drive opened for its information only, takes
// its length) and starts it from its beginning.
bool SelectTrack(OSND_STREAM *s, int index, bool keepPlaying) {
  bool infoOnly = false;
  const uint32_t bytes = gOsndStreamSources.cdSelectTrack(s->formatState, index, &infoOnly);
  if (!infoOnly && bytes == 0) return Osnd_Fail(OSND_ERR_FILE_BAD);
  s->dataLength = bytes;
  SetLengths(s, bytes / 4, int((uint64_t(bytes) / 4 * 1000 + 999) / 44100), s->sample ? s->sample->defFrequency : 0);
  return infoOnly || OsndStream_SetPosition(s, 0, true, keepPlaying);
}

// Makes a sample-bank entry the stream's data and starts it from its beginning.
bool SelectEntry(OSND_STREAM *s, int index, bool keepPlaying) {
  OsbBank *bank = BankOf(s);
  OsbEntry e;
  FormatOsb_GetEntry(bank, index, &e);
  if (!FitsBuffers(s, e) && !Relayout(s, e)) return false;
  bank->current = index;
  s->dataStart = e.dataOffset;
  s->dataLength = e.storedBytes;
  SetLengths(s, e.length, s->sentence ? s->lengthMs : int((uint64_t(e.length) * 1000 + 999) / uint64_t(e.frequency)),
             e.frequency);
  SystemString_CopyN(s->sample->name, e.name, 30);
  // An entry's own loop points, when it has them; a sentence plays whole entries.
  const bool loop = !s->sentence && e.loopEnd > e.loopStart && e.loopEnd < e.length;
  s->loopStart = loop ? e.loopStart : 0;
  s->loopEnd = loop ? e.loopEnd : 0;
  // In a bank with sync points every entry brings its own, none included.
  if (BankHasSyncPoints(bank)) {
    OsndSyncList points;
    OsndStream_InitSyncPointList(&points);
    for (int k = 0; k < bank->syncCounts[index]; ++k)
      OsndStream_AddSyncPointNode(&points, bank->syncs[index][k].position, bank->syncs[index][k].name);
    OsndStream_ReplaceSyncPoints(s, &points);
  }
  return OsndStream_SetPosition(s, 0, true, keepPlaying);
}

}  // namespace

bool OsndStream_SetSubStreamEx(OSND_STREAM *s, int index, bool internal, bool keepPlaying) {
  if (!s) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!keepPlaying && !internal && !OsndStream_IsReady(s)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  const bool track = s->source == OSND_SOURCE_CD;
  // A stream that keeps playing (a sentence going on) keeps its buffers' layout.
  if (!(track ? TrackSelectable(s, index) : Selectable(s, index, !keepPlaying)))
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!keepPlaying) OsndStream_Stop(s);
  if (!internal && (s->mode & OSND_MODE_NONBLOCKING)) {
    // The open thread selects it; the stream is not ready until then.
    s->requestFlags |= OSND_REQUEST_SUBSTREAM;
    s->pendingSubStream = index;
    OsndStream_SetOpenState(s, false, false);
    // Not ready and not yet queued: a close now finds neither node nor worker.
    OSND_PAUSE_POINT("stream.selection.queueing");
    if (OsndNonBlocking_Queue(s)) return true;
    // A close began beside it (a callback's selection as the application
    // closes): nothing is queued, and the stream is ready again, as it was.
    s->requestFlags &= ~unsigned(OSND_REQUEST_SUBSTREAM);
    s->pendingSubStream = -1;
    OsndStream_MarkReady(s);
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  }
  OsndDecodeLock decode(!internal);
  if (!decode) return false;
  if (!keepPlaying) {
    s->nextHalf = 0;
    s->decodeHeld = s->decodeOffset = s->decodeSkip = 0;
    s->needsRefill = 0;
    s->refillOnPlay = 0;
  }
  return track ? SelectTrack(s, index, keepPlaying) : SelectEntry(s, index, keepPlaying);
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
  // The selection reads the stream's bank or drive: under the decode lock, as
  // its close releases them, and never for a stream being closed.
  OsndStreamCall call(stream);
  if (!call || !call.LockDecodeIfOpen()) return false;
  return OsndStream_SetSubStreamEx(stream, index, false, false);
}

bool OSND_Stream_SetSubStreamSentence(OSND_STREAM *stream, const int *list, int count) {
  if (Osnd_OnInitThread()) Osnd_ResetError();
  OsndStreamCall call(stream);
  if (!call || !call.LockDecodeIfOpen()) return false;
  if (!OsndStream_IsReady(stream) || !BankOf(stream) || count < 0 || (count > 0 && !list))
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // The entries play one after another through the same buffers: all of the
  // first one's channel layout, which the buffers take when it is selected.
  const OsbBank *bank = BankOf(stream);
  OsbEntry lead{}, entry{};
  if (count > 0) FormatOsb_GetEntry(bank, list[0], &lead);
  for (int k = 0; k < count; ++k)
    if (!Selectable(stream, list[k], true) || !FormatOsb_GetEntry(bank, list[k], &entry) || !SameChannels(entry, lead))
      return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  int *copy = nullptr;
  if (count > 0) {
    copy = static_cast<int *>(OSND_ALLOC(count * int(sizeof(int))));
    if (!copy) return Osnd_Fail(OSND_ERR_MEMORY);
    std::memcpy(copy, list, size_t(count) * sizeof(int));
  }
  OsndStream_Stop(stream);
  OSND_FREE_MEM(stream->sentence);
  stream->sentence = copy;
  stream->sentenceCount = count;
  stream->sentenceCurrent = 0;
  if (copy) {
    // The length of a sentence is the length of its entries together.
    uint64_t ms = 0;
    for (int k = 0; k < count; ++k) {
      OsbEntry e;
      FormatOsb_GetEntry(bank, copy[k], &e);
      ms += (uint64_t(e.length) * 1000 + 999) / uint64_t(e.frequency);
    }
    SetLengths(stream, stream->lengthPcm, int(std::min<uint64_t>(ms, 0x7FFFFFFF)),
               stream->sample ? stream->sample->defFrequency : 0);
  }
  return OsndStream_SetSubStreamEx(stream, copy ? copy[0] : static_cast<OsbBank *>(stream->formatState)->current,
                                   false, false);
}
