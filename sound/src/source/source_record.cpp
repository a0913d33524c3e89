#include "sound/src/source/source_record.h"

#include "sound/src/output/output_nosound.h"
#include "sound/src/system/system_pause.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

struct RecordState {
  // Read by a free on any thread; set by a start or stop under `lock`.
  std::atomic<OSND_SAMPLE *> sample{nullptr};
  std::atomic<int> writePosition{0};
  bool loop = false;
  int bufferLength = 0;  // samples of the device's record buffer
  // One start or stop at a time: the stop joins the record thread, which
  // never takes it.
  std::mutex lock;
};

RecordState gRecord;

unsigned Scale(const OSND_SAMPLE *s) {
  unsigned scale = 1;
  if (s->mode & OSND_MODE_16BITS) scale *= 2;
  if (s->mode & OSND_MODE_STEREO) scale *= 2;
  return scale;
}

// With the record lock held: the record thread has ended when it returns.
void StopLocked() {
  gOsnd.output->recordStop();
  gOsnd.recording = false;
  gRecord.sample = nullptr;  // the record threads have ended: nothing holds it now
}

}  // namespace

int OsndRecord_WritePosition() { return gRecord.writePosition; }

void OsndRecord_CopyToSample(int devicePosition, int length) {
  OSND_SAMPLE *s = gRecord.sample;
  if (!s || length <= 0 || !gOsnd.output || !gOsnd.recording) return;
  const int write = gRecord.writePosition;
  // A recording that does not loop keeps what it took first: what would pass
  // the end is not written over the sample's start.
  if (!gRecord.loop) length = std::min(length, int(s->length) - write);
  if (length <= 0) {
    gOsnd.recording = false;
    return;
  }
  const unsigned scale = Scale(s);
  void *d1 = nullptr, *d2 = nullptr;
  unsigned dl1 = 0, dl2 = 0;
  if (!gOsnd.output->recordLock(unsigned(devicePosition) * scale, unsigned(length) * scale, &d1, &d2, &dl1, &dl2))
    return;
  void *s1 = nullptr, *s2 = nullptr;
  unsigned sl1 = 0, sl2 = 0;
  if (!OSND_Sample_Lock(s, int(unsigned(write) * scale), int(unsigned(length) * scale), &s1, &s2, &sl1, &sl2)) {
    gOsnd.output->recordUnlock(d1, d2, dl1, dl2);
    return;
  }
  OSND_PAUSE_POINT("record.copy.taken");
  // Copies the device's one or two parts into the sample's one or two parts in order.
  const uint8_t *from[2] = {static_cast<const uint8_t *>(d1), static_cast<const uint8_t *>(d2)};
  const unsigned fromBytes[2] = {d1 ? dl1 : 0, d2 ? dl2 : 0};
  uint8_t *to[2] = {static_cast<uint8_t *>(s1), static_cast<uint8_t *>(s2)};
  const unsigned toBytes[2] = {s1 ? sl1 : 0, s2 ? sl2 : 0};
  unsigned fi = 0, fo = 0, ti = 0, to_ = 0;
  while (fi < 2 && ti < 2) {
    if (fo >= fromBytes[fi]) {
      ++fi;
      fo = 0;
      continue;
    }
    if (to_ >= toBytes[ti]) {
      ++ti;
      to_ = 0;
      continue;
    }
    const unsigned n = std::min(fromBytes[fi] - fo, toBytes[ti] - to_);
    std::memcpy(to[ti] + to_, from[fi] + fo, n);
    fo += n;
    to_ += n;
  }
  gOsnd.output->recordUnlock(d1, d2, dl1, dl2);
  OSND_Sample_Unlock(s, s1, s2, sl1, sl2);
  int next = write + length;
  if (!s2 && next < int(s->length)) {
    gRecord.writePosition = next;
    return;
  }
  if (gRecord.loop) {
    next -= int(s->length);
    gRecord.writePosition = next;
  } else {
    gRecord.writePosition = next;
    gOsnd.recording = false;
  }
}

bool OsndRecord_Stop() {
  Osnd_ResetError();
  if (!gOsnd.initialised) return false;
  SystemWaitingLock<std::mutex> guard(gRecord.lock, "record.lock.waiting");
  StopLocked();
  return true;
}

void OsndRecord_StopInto(const OSND_SAMPLE *sample) {
  if (!sample || gRecord.sample != sample) return;  // the common case takes no lock
  // The look and the stop in one step under the record lock: a start into
  // another sample between them would be the recording stopped.
  SystemWaitingLock<std::mutex> guard(gRecord.lock, "record.lock.waiting");
  if (!gOsnd.initialised || gRecord.sample != sample) return;
  OSND_PAUSE_POINT("record.stop.checked");
  StopLocked();
}

void OsndRecord_Forget() {
  gOsnd.recording = false;
  gRecord.sample = nullptr;
}

extern "C" bool OSND_Record_Stop() { return OsndRecord_Stop(); }

extern "C" bool OSND_Record_StartSample(int driver, OSND_SAMPLE *sample, bool loop) {
  Osnd_ResetError();
  if (!gOsnd.initialised || !gOsnd.output) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  if (!sample || sample->length == 0 || (sample->mode & OSND_MODE_MULTICHANNEL))
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  SystemWaitingLock<std::mutex> guard(gRecord.lock, "record.lock.waiting");
  gOsnd.output->recordStop();
  gOsnd.recording = false;
  gOsnd.numRecordDrivers = 0;
  gOsnd.output->recordEnumerate();
  if (driver < 0 || driver >= std::max(gOsnd.numRecordDrivers, 1)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  gOsnd.recordDriver = driver;
  if (!gOsnd.output->recordInit(driver)) return false;
  gRecord.sample = sample;
  gRecord.writePosition = 0;
  gRecord.loop = loop;
  gRecord.bufferLength = int(sample->length);
  gOsnd.recording = true;
  OsndOutput_SetRecordSink(OsndRecord_CopyToSample);
  if (!gOsnd.output->recordStart(int(sample->length), sample->mode, sample->defFrequency)) {
    gOsnd.recording = false;
    gOsnd.output->recordStop();
    if (gOsndError.lastError == OSND_ERR_NONE) Osnd_SetError(OSND_ERR_PLAY);
    return false;
  }
  return true;
}
