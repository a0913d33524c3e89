// Stream refill: the decode procedure that fills a half of the streamer
// sample (loops, end countdown, positions), the prefill, the streamer pass
// and the streamer thread, and the delivery of the stream callbacks found due:
// sync points before each pass, ends and internet-stream titles after it.
#include "sound/src/channel/osnd_dsp.h"
#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_time.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

// A title waiting for the streamer; its strings follow it in one block.
struct OsndQueuedTitle {
  OsndQueuedTitle *next;
  // Where the internet stream's record keeps its callback, read just before
  // the title's call.
  OSND_METADATACALLBACK *callback;
  void **userData;
  char *name, *value;
};

namespace {

constexpr int kMaxEmptyReads = 64;

int OutputFrame(const OSND_STREAM *s) {
  int bytes = (s->mode & OSND_MODE_16BITS) ? 2 : 1;
  if (s->mode & OSND_MODE_MULTICHANNEL)
    bytes *= std::max(1, s->channels);
  else if (s->mode & OSND_MODE_STEREO)
    bytes *= 2;
  return bytes;
}

bool IsLooping(const OSND_STREAM *s) {
  return (s->mode & (OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI)) && s->loopsLeft != 0;
}

void Downmix(OSND_STREAM *s, uint8_t *data, int *bytes) {
  if (s->mode & OSND_MODE_16BITS) {
    auto *p = reinterpret_cast<int16_t *>(data);
    const int frames = *bytes / 4;
    for (int i = 0; i < frames; ++i) p[i] = int16_t((int(p[2 * i]) + int(p[2 * i + 1])) >> 1);
    *bytes = frames * 2;
  } else {
    auto *p = reinterpret_cast<int8_t *>(data);
    const int frames = *bytes / 2;
    for (int i = 0; i < frames; ++i) p[i] = int8_t((int(p[2 * i]) + int(p[2 * i + 1])) >> 1);
    *bytes = frames;
  }
}

void SignConvert(const OSND_STREAM *s, uint8_t *data, int bytes) {
  if (s->mode & OSND_MODE_16BITS)
    for (int i = 1; i < bytes; i += 2) data[i] ^= 0x80;
  else
    for (int i = 0; i < bytes; ++i) data[i] ^= 0x80;
}

// A decode that ran from the start to the end of an estimated source has
// counted its real length: the stream's lengths become that count.
void LearnLength(OSND_STREAM *s) {
  if (!s->lengthEstimated || !s->decodedFromStart || (s->file && s->file->error)) return;
  const int rate = std::max(s->sample->defFrequency, 1);
  std::atomic_ref<int>(s->lengthMs).store(int(std::min<int64_t>(int64_t(s->pcmWritten) * 1000 / rate, 0x7FFFFFFF)),
                                          std::memory_order_relaxed);
  s->lengthPcm = s->pcmWritten;
  if (s->loopEnd >= s->lengthPcm) s->loopEnd = s->lengthPcm > 0 ? s->lengthPcm - 1 : 0;
  if (s->loopStart > s->loopEnd) s->loopStart = s->loopEnd = 0;
  std::atomic_ref<bool>(s->lengthEstimated).store(false, std::memory_order_relaxed);
}

void StartCountdown(OSND_STREAM *s, int decoded, int asked) {
  if (s->mode & OSND_MODE_VAG_ADPCM) {
    s->endCountdown = 0;
    return;
  }
  const OSND_SAMPLE *sample = s->sample;
  const int64_t bufferMs = (int64_t(sample->length) * 1000 + 999) / std::max(sample->defFrequency, 1);
  int64_t ms = asked > 0 ? int64_t(decoded) * (bufferMs / 2) / asked : 0;
  if (!s->prefilling) ms += bufferMs / 2;
  // Software-mixed: the output's latency, which the sync scan's latency ring
  // also waits out, plus the block the scan runs in and the pass that
  // announces what it found, so that a point on the
  // last sample is still reported before the stop.
  if (gOsnd.primary && gOsnd.mixRate > 0)
    ms += (int64_t(gOsnd.bufferLengthSamples + 2 * gOsnd.blockLength) * 1000 + gOsnd.mixRate - 1) / gOsnd.mixRate;
  s->endCountdown = ms * 256;
}

unsigned ThreadProc(void *) {
  while (gOsndStreams.stopByte == 0) {
    OSND_PAUSE_POINT("streamer.pass");  // a test counts the streamer's passes here
    const uint32_t t0 = SystemTime_GetMilliseconds();
    SystemTime_Sleep(0);
    OsndStream_UpdatePass(10.0f);
    if (gOsndStreams.stopByte != 0) break;
    SystemTime_Sleep(10);
    const uint32_t dt = SystemTime_GetMilliseconds() - t0;
    if (!gOsnd.primary && dt > 0 && dt < 20) {
      gOsndStreams.passMs = float(dt);
      gOsndStreams.passSamples = int(dt * 48000 / 1000);
    }
  }
  gOsndStreams.usage = 0.0f;
  gOsndStreams.stopByte = 2;
  return 0;
}

void *SyncScanUnit(void *, void *buffer, int, void *) {
  OsndStream_SyncScan();
  return buffer;
}

// The stream this thread refills, under the stream-decode lock: a title a
// reader finds then waits for the streamer.
thread_local OSND_STREAM *tRefilling = nullptr;

// The refills and end countdowns of one pass, under the stream-decode lock;
// answers the processor usage of the streams' decoding.
float RefillPass(float milliseconds);

// Which callbacks a delivery makes: the sync points the mixer found passed,
// or the ends and titles the pass found.
enum Due { kSyncs, kEndsAndTitles };

bool HasDue(const OSND_STREAM *s, Due due) {
  return due == kSyncs ? s->pendingSyncCount > 0 : (s->endDue || s->titles);
}

// What one stream's delivery takes out of it, under the stream-list lock.
struct Delivery {
  OsndPendingSync syncs[OSND_PENDING_SYNCS];
  int syncCount = 0;
  bool endDue = false;
  OsndQueuedTitle *titles = nullptr;
};

// Signalled as a call of a callback slot ends, for the changes of that slot
// waiting under the stream-list lock. Never destroyed: a wait may outlast the
// statics at exit.
std::condition_variable_any &SlotCallEnded() {
  static auto *ended = new std::condition_variable_any;
  return *ended;
}

// The stream-list lock, for a wait on SlotCallEnded.
struct ListLock {
  void lock() { SystemThread_EnterCriticalSection(gOsndStreams.listLock); }
  void unlock() { SystemThread_LeaveCriticalSection(gOsndStreams.listLock); }
};

// Reads a callback's slot just before its call, under the stream-list lock
// that the slot's setter and the stream's close take, and marks the slot in
// call there: a callback cleared, or a stream closed, before then is not
// called (false), though the batch it belongs to was taken earlier; a change
// made after it waits for EndCall.
template <typename Read>
bool BeginCall(OSND_STREAM *s, OsndSlot slot, Read read) {
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    if (OsndStream_Closing(s) || !read()) return false;
    OSND_PAUSE_POINT("stream.callback.reading");  // the slot read, not yet marked in call
    s->slotInCall = slot;
    s->slotCaller = SystemThread_CurrentId();
    ++s->slotCalls;
  }
  OSND_PAUSE_POINT("stream.callback.read");
  return true;
}

void EndCall(OSND_STREAM *s) {
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    s->slotInCall = OSND_SLOT_NONE;
  }
  SlotCallEnded().notify_all();
}

// Makes the callbacks that are due, with no stream lock held, so that a
// callback may call any stream function and close any stream (its own
// included) or wait for a thread that needs those locks. The streams that
// have callbacks due are marked first; then each is found again in the list
// for its turn, so that one closed by an earlier callback is never visited,
// and is held while its callbacks run, so that a close frees its record only
// afterwards. A stream closed in one of its callbacks gets no more.
void DeliverDue(Due due) {
  OsndListNode *head = &gOsndStreams.streams;
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    if (!head->next) return;
    bool any = false;
    for (OsndListNode *n = head->next; n != head; n = n->next) {
      OSND_STREAM *s = OsndStream_FromLink(n);
      OSND_PAUSE_POINT("stream.due.marking");  // walking the list under its lock
      s->dueMark = HasDue(s, due);
      any = any || s->dueMark;
    }
    if (!any) return;
  }
  OsndCallbackScope scope(OSND_IN_STREAM_CALLBACK);
  for (;;) {
    OSND_STREAM *s = nullptr;
    Delivery d;
    {
      SystemLockGuard guard(gOsndStreams.listLock);
      for (OsndListNode *n = head->next; n != head && !s; n = n->next)
        if (OsndStream_FromLink(n)->dueMark) s = OsndStream_FromLink(n);
      if (!s) return;
      s->dueMark = 0;
      if (due == kSyncs) {
        d.syncCount = s->pendingSyncCount;
        std::memcpy(d.syncs, s->pendingSyncs, sizeof(OsndPendingSync) * size_t(d.syncCount));
        s->pendingSyncCount = 0;
      } else {
        d.endDue = std::exchange(s->endDue, 0);
        d.titles = std::exchange(s->titles, nullptr);
      }
      OsndStream_Hold(s);
    }
    OSND_PAUSE_POINT("stream.callbacks.taken");
    OSND_STREAMCALLBACK call = nullptr;
    OSND_METADATACALLBACK titleCall = nullptr;
    void *user = nullptr;
    const auto syncSlot = [&] {
      call = s->syncCallback;
      user = s->sync.userData;
      return call != nullptr;
    };
    for (int i = 0; i < d.syncCount && BeginCall(s, OSND_SLOT_SYNC, syncSlot); ++i) {
      call(s, d.syncs[i].name, int(d.syncs[i].offset), user);
      EndCall(s);
    }
    while (OsndQueuedTitle *title = d.titles) {
      d.titles = title->next;
      // The slot is in the internet stream's record, which a close releases.
      const auto titleSlot = [&] {
        titleCall = *title->callback;
        user = *title->userData;
        return titleCall != nullptr;
      };
      if (BeginCall(s, OSND_SLOT_TITLE, titleSlot)) {
        titleCall(title->name, title->value, user);
        EndCall(s);
      }
      OSND_FREE_MEM(title);
    }
    const auto endSlot = [&] {
      call = s->endCallback;
      user = s->endUserData;
      return call != nullptr;
    };
    if (d.endDue && BeginCall(s, OSND_SLOT_END, endSlot)) {
      call(s, nullptr, 0, user);
      EndCall(s);
    }
    OsndStream_LetGo(s);
  }
}

}  // namespace

void OsndStream_CallTitle(OSND_METADATACALLBACK *callback, void **userData, const char *name, const char *value) {
  OSND_STREAM *s = tRefilling;
  if (!s) {
    if (*callback) (*callback)(const_cast<char *>(name), const_cast<char *>(value), *userData);
    return;
  }
  const size_t nameBytes = std::strlen(name) + 1, valueBytes = std::strlen(value) + 1;
  auto *title = static_cast<OsndQueuedTitle *>(OSND_ALLOC(int(sizeof(OsndQueuedTitle) + nameBytes + valueBytes)));
  if (!title) return;
  title->callback = callback;
  title->userData = userData;
  title->name = reinterpret_cast<char *>(title + 1);
  title->value = title->name + nameBytes;
  std::memcpy(title->name, name, nameBytes);
  std::memcpy(title->value, value, valueBytes);
  SystemLockGuard guard(gOsndStreams.listLock);
  OsndQueuedTitle **tail = &s->titles;
  while (*tail) tail = &(*tail)->next;
  *tail = title;
}

OsndSlotCall OsndStream_SlotCallUnderWay(OSND_STREAM *s, OsndSlot slot) {
  if (s->slotInCall != slot || s->slotCaller == SystemThread_CurrentId() ||
      tOsndInCallback == OSND_IN_UNIT_CALLBACK || tRefilling || !gOsndStreams.listLock)
    return {};
  OsndStream_Hold(s);
  return {s, s->slotCalls};
}

void OsndStream_WaitForSlotCall(const OsndSlotCall &call) {
  OSND_STREAM *s = call.stream;
  if (!s) return;
  // A change that found a call of its slot under way, about to wait for it.
  OSND_PAUSE_POINT("stream.slot.waiting");
  {
    ListLock lock;
    std::unique_lock<ListLock> guard(lock);
    // Ended, or followed by a later call, which read the slot as changed.
    const auto ended = [&] { return s->slotInCall == OSND_SLOT_NONE || s->slotCalls != call.call; };
    SlotCallEnded().wait(guard, ended);
  }
  OsndStream_LetGo(s);
}

void OsndStream_CloseInSlotCall(OSND_STREAM *s) {
  if (s->slotInCall == OSND_SLOT_NONE || s->slotCaller != SystemThread_CurrentId()) return;
  s->slotInCall = OSND_SLOT_NONE;
  SlotCallEnded().notify_all();
}

void OsndStream_DropTitles(OSND_STREAM *s) {
  OsndQueuedTitle *titles;
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    titles = std::exchange(s->titles, nullptr);
  }
  while (titles) OSND_FREE_MEM(std::exchange(titles, titles->next));
}

void OsndStream_RecordPosition(OSND_STREAM *s, uint32_t samples) {
  if (s->mode & OSND_MODE_VAG_ADPCM) return;
  OsndPositionRing &ring = s->ring;
  if (ring.entries && ring.block > 0) {
    // The mixer's sync scan reads the entries of the half the channel plays
    // under its lock: a refill that runs late may be writing that half.
    SystemLockGuard mixing(Osnd_MixerLock());
    const uint32_t start = s->fillPosition, end = start + samples;
    uint32_t k = (start + uint32_t(ring.block) - 1) / uint32_t(ring.block);
    for (; k * uint32_t(ring.block) < end; ++k) {
      if (int(k) >= ring.count) break;
      ring.entries[k] = OsndPositionEntry{s->pcmWritten + (k * uint32_t(ring.block) - start), s->loopCounter};
      ring.write = int(k);
    }
  }
  s->fillPosition += samples;
  s->pcmWritten += samples;
}

OsndPositionEntry OsndStream_GetPcmPosition(OSND_STREAM *s, bool fromLatency) {
  if (fromLatency && s->latency.entries && s->latency.count > 0) return s->latency.entries[s->latency.write];
  if (!s->ring.entries || s->ring.block <= 0) return OsndPositionEntry{0, s->loopCounter};
  uint32_t position = 0;
  if (s->channel != -1 && s->playing) position = OSND_GetCurrentPosition(s->channel);
  const int index = std::min(int(position / uint32_t(s->ring.block)), s->ring.count - 1);
  // The entry of the half the channel plays, which the streamer is not refilling.
  OsndPositionEntry result = s->ring.entries[index];
  result.pcm += position % uint32_t(s->ring.block);
  return result;
}

bool OsndStream_Decode(OSND_STREAM *s, void *destination, int bytes, void *) {
  auto *out = static_cast<uint8_t *>(destination);
  const int asked = bytes;
  const int frame = OutputFrame(s);
  const bool downmix = s->mode & OSND_MODE_FORCE_MONO;
  int written = 0, emptyReads = 0, lastLoopAt = -1;
  while (written < bytes) {
    int want = bytes - written;
    bool cutAtLoop = false;
    if (IsLooping(s) && (s->loopStart || s->loopEnd) && !(s->mode & OSND_MODE_VAG_ADPCM) &&
        s->pcmWritten <= s->loopEnd) {
      const int64_t left = (int64_t(s->loopEnd) + 1 - s->pcmWritten) * frame;
      if (left <= want) {
        want = int(left);
        cutAtLoop = true;
      }
    }
    int produced = 0;
    if (want > 0) {
      if (s->decodeHeld == 0 && !s->sourceEnded) {
        if (s->decodeBlock == 0 || (want >= s->decodeBlock && !downmix && s->decodeSkip == 0)) {
          produced = want;
          if (!s->callbacks.read(s, s->input, s->inputSize, out + written, &produced)) s->sourceEnded = true;
          produced = std::clamp(produced, 0, want);
        } else {
          int got = s->decodeBlock;
          if (!s->callbacks.read(s, s->input, s->inputSize, s->decode, &got)) s->sourceEnded = true;
          got = std::clamp(got, 0, s->decodeBlock);
          if (downmix) Downmix(s, s->decode, &got);
          s->decodeHeld = got;
          s->decodeOffset = 0;
        }
      }
      if (s->decodeHeld > 0) {
        const int skip = std::min(s->decodeSkip, s->decodeHeld);
        s->decodeOffset += skip;
        s->decodeHeld -= skip;
        s->decodeSkip -= skip;
        produced = std::min(want, s->decodeHeld);
        std::memcpy(out + written, s->decode + s->decodeOffset, size_t(produced));
        s->decodeOffset += produced;
        s->decodeHeld -= produced;
      }
      if (produced > 0) {
        if (s->mode & OSND_MODE_UNSIGNED) SignConvert(s, out + written, produced);
        OsndStream_RecordPosition(s, uint32_t(produced / frame));
        written += produced;
        emptyReads = 0;
      } else if (!s->sourceEnded && ++emptyReads > kMaxEmptyReads) {
        s->sourceEnded = true;  // a source that keeps producing nothing has ended
      }
    }
    const bool atLoopEnd = cutAtLoop && s->pcmWritten > s->loopEnd;
    const bool exhausted = s->sourceEnded && s->decodeHeld == 0;
    if (!atLoopEnd && !exhausted) continue;
    if (exhausted && !atLoopEnd) LearnLength(s);
    const bool fileError = s->file && s->file->error;
    // A loop that gave no sound since the last loop back would spin for ever.
    const bool emptyLoop = lastLoopAt == written;
    if (s->sentence) {
      // A sentence goes on with its next entry; its loops are rounds of the list.
      if (!fileError && !emptyLoop && OsndStream_NextSentenceEntry(s)) {
        lastLoopAt = written;
        continue;
      }
    } else if (IsLooping(s) && !fileError && !emptyLoop) {
      lastLoopAt = written;
      if (s->loopStart)
        OsndStream_Seek(s, 2, s->loopStart, false);
      else
        OsndStream_Seek(s, 0, 0, false);
      if (s->loopsLeft > 0) --s->loopsLeft;
      ++s->loopCounter;
      continue;
    }
    std::memset(out + written, 0, size_t(bytes - written));
    StartCountdown(s, written, asked);
    OsndStream_RecordPosition(s, uint32_t((bytes - written) / frame));
    written = bytes;
  }
  return true;
}

void OsndStream_FillHalf(OSND_STREAM *s) {
  struct Restore {
    OSND_STREAM *outer;
    ~Restore() { tRefilling = outer; }
  } restore{std::exchange(tRefilling, s)};
  OSND_SAMPLE *sample = s->sample;
  const int half = int(sample->length / 2);
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (!OSND_Sample_Lock(sample, OsndStream_SamplesToBytes(s, s->nextHalf * half), OsndStream_SamplesToBytes(s, half),
                        &p1, &p2, &l1, &l2))
    return;
  s->fillPosition = uint32_t(s->nextHalf * half);
  // Decoded aside, then copied in under the mixer's lock: a pass that runs
  // late refills the half the mixer may already be reading into.
  thread_local std::vector<uint8_t> decoded;
  decoded.resize(l1);
  void *out = decoded.data();
  if (s->endCountdown == -1) {
    if (s->callbacks.fill && !s->callbacks.fill(s, out, int(l1), s->userData)) s->ended = 1;
  } else {
    std::memset(out, 0, l1);
    OsndStream_RecordPosition(s, uint32_t(half));
  }
  void *current = out;
  for (OsndListNode *n = s->dspUnits.next; n && n != &s->dspUnits; n = n->next) {
    OSND_DSPUNIT *unit = OsndDsp_FromLink(n);
    if (unit->active && unit->callback) current = unit->callback(out, current, half, unit->userData);
  }
  {
    SystemLockGuard mixing(Osnd_MixerLock());
    std::memcpy(p1, current ? current : out, l1);
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
  }
  s->nextHalf = 1 - s->nextHalf;
}

void OsndStream_Prefill(OSND_STREAM *s) {
  if (!s->sample) return;  // a source that plays by itself has nothing to prefill
  s->prefilling = 1;
  if (s->channel != -1 && OSND_GetCurrentSample(s->channel) == s->sample) OSND_SetCurrentPosition(s->channel, 0);
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (OSND_Sample_Lock(s->sample, 0, OsndStream_SamplesToBytes(s, int(s->sample->length)), &p1, &p2, &l1, &l2)) {
    if (p1) std::memset(p1, 0, l1);
    if (p2) std::memset(p2, 0, l2);
    OSND_Sample_Unlock(s->sample, p1, p2, l1, l2);
  }
  if (s->callbacks.reset && s->formatState) s->callbacks.reset(s->formatState);
  s->endCountdown = -1;
  s->nextHalf = 0;
  s->decodeHeld = s->decodeOffset = 0;
  s->ring.write = 0;
  {
    SystemLockGuard guard(gOsndStreams.listLock);  // the mixer's scan writes these too
    s->latency.write = 0;
    s->pendingSyncCount = 0;
  }
  OsndStream_FillHalf(s);
  if (s->ring.entries) {
    SystemLockGuard guard(gOsndStreams.listLock);
    s->lastLoopSeen = s->ring.entries[0].loop;
    for (int i = 0; i < s->latency.count && s->latency.entries; ++i) s->latency.entries[i] = s->ring.entries[0];
  }
  s->prefilling = 0;
}

void OsndStream_UpdatePass(float milliseconds) {
  // Points the mixer passed since the last pass are announced first, so that
  // those heard just before a stream's end are not lost by its stop.
  DeliverDue(kSyncs);
  float usage = 0.0f;
  {
    // The refills hold the stream-decode lock, on the streamer thread as in
    // OSND_Update: the open threads link records into the list under it.
    SystemLockGuard guard(gOsndStreams.decodeLock);
    OsndListNode *head = &gOsndStreams.streams;
    if (!head->next) return;
    usage = RefillPass(milliseconds);
    if (!gOsndStreams.syncUnit) OsndStream_SyncScan();
  }
  DeliverDue(kEndsAndTitles);
  if (!gOsndStreams.syncUnit) DeliverDue(kSyncs);
  gOsndStreams.usage = usage;
}

namespace {

float RefillPass(float milliseconds) {
  OsndListNode *head = &gOsndStreams.streams;
  float usage = 0.0f;
  for (OsndListNode *n = head->next; n != head;) {
    OsndListNode *next = n->next;
    OSND_STREAM *s = OsndStream_FromLink(n);
    const bool ours = s->channel != -1 && OSND_GetCurrentSample(s->channel) == s->sample;
    if (s->callbacks.fill && !s->seeking && ours && s->sample->length >= 2) {
      const uint32_t half = s->sample->length / 2;
      const int playingHalf = std::min(int(OSND_GetCurrentPosition(s->channel) / half), 1);
      if (OSND_GetFrequency(s->channel) >= 1 && playingHalf != s->nextHalf) {
        SystemTime_StartMeasure(&s->decodeMeter);
        OsndStream_FillHalf(s);
        s->cpuUsage = SystemTime_EndMeasure(&s->decodeMeter, 80);
      }
    }
    const bool paused = s->channel == -1 || OSND_GetPaused(s->channel);
    if (!s->playing || paused) s->cpuUsage = 0.0f;
    usage += s->cpuUsage;
    if (s->endCountdown >= 0 && !paused) {
      s->endCountdown -= int64_t(milliseconds * 256.0f);
      if (s->endCountdown < 1) {
        s->endCountdown = 0;
        s->ended = 1;
      }
    }
    if (s->ended) {
      // Its end callback comes after the pass.
      const bool wasPlaying = s->playing;
      OsndStream_Stop(s);
      SystemLockGuard list(gOsndStreams.listLock);
      if (wasPlaying && s->endCallback) s->endDue = 1;
    }
    n = next;
  }
  return usage;
}

}  // namespace

bool OsndStream_StartThread() {
  if (!gOsndStreams.streams.next) OsndList_Init(&gOsndStreams.streams);
  gOsndStreams.stopByte = 0;
  // Everything the streamer and the mixer's sync scan read exists before
  // either of them can run: the locks first, then the sync unit.
  // The non-realtime output needs them too: OSND_Update's pass walks the list
  // that the background open threads link records into.
  OsndStream_CreateLocks(true);
  if (!gOsnd.primary) {
    gOsndStreams.passMs = 10.0f;
    gOsndStreams.passSamples = 256;
  } else {
    gOsndStreams.passMs = gOsnd.blockLengthMsF;
    gOsndStreams.syncUnit = OSND_DSP_Create(SyncScanUnit, 0, nullptr);
    if (gOsndStreams.syncUnit) OSND_DSP_SetActive(gOsndStreams.syncUnit, true);
  }
  if (!(gOsnd.initFlags & OSND_INIT_NONREALTIME) && !gOsndStreams.thread) {
    gOsndStreams.thread = SystemThread_Create("ZIVE Streamer thread", ThreadProc, nullptr, 2, 0);
    if (!gOsndStreams.thread) return false;
  }
  return true;
}

// The engine's locks are taken in one order wherever several are held: the
// stream-decode lock, then the mixer's, then the stream-list lock; the CD
// command lock last. The queue lock of the background opens is held around
// none of them.
void OsndStream_CreateLocks(bool evenNonRealtime) {
  if (!gOsndStreams.decodeLock) gOsndStreams.decodeLock = SystemThread_CreateCriticalSection(evenNonRealtime);
  if (!gOsndStreams.listLock) gOsndStreams.listLock = SystemThread_CreateCriticalSection(evenNonRealtime);
}

void OsndStream_StopThread() {
  gOsndStreams.stopByte = 1;
  if (gOsndStreams.thread) {
    // Joined, not abandoned: the thread walks the streams that are freed after it.
    SystemThread_CloseThread(gOsndStreams.thread);
    gOsndStreams.thread = nullptr;
  }
  gOsndStreams.stopByte = 2;
}

void OsndStream_CloseAll() {
  // No record may still be opening in the background while streams are freed.
  OsndNonBlocking_Shutdown();
  OsndListNode *head = &gOsndStreams.streams;
  if (!head->next) return;
  while (!OsndList_IsEmpty(head)) {
    OSND_STREAM *s = OsndStream_FromLink(head->next);
    if (!OsndStream_IsReady(s) && !OsndStream_OpenFailed(s)) OsndStream_MarkOpenFailed(s);  // closed all the same
    // A stream whose close has begun elsewhere is that close's to free.
    if (OsndStream_Closing(s) || !OSND_Stream_Close(s)) OsndList_Unlink(&s->link);
  }
}

void OsndStream_Shutdown() {
  OsndStream_StopThread();
  if (gOsndStreams.syncUnit) {
    OSND_DSP_Free(gOsndStreams.syncUnit);
    gOsndStreams.syncUnit = nullptr;
  }
  OsndListNode *head = &gOsndStreams.streams;
  if (head->next)
    for (OsndListNode *n = head->next; n != head; n = n->next) OsndStream_Stop(OsndStream_FromLink(n));
  SystemThread_DeleteCriticalSection(gOsndStreams.decodeLock);
  SystemThread_DeleteCriticalSection(gOsndStreams.listLock);
  gOsndStreams.decodeLock = gOsndStreams.listLock = nullptr;
}
