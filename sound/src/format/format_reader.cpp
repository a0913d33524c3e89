#include "sound/src/format/format_reader.h"

#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>
#include <vector>

bool OsndStream_PcmRead(OSND_STREAM *s, uint8_t *, int, uint8_t *destination, int *bytes) {
  const int64_t position = SystemFile_Tell(s->file);
  const int64_t end = int64_t(s->dataStart) + s->dataLength;
  const int64_t available = std::max<int64_t>(0, end - position);
  int want = int(std::min<int64_t>(*bytes, available));
  int got;
  if (s->mode & OSND_MODE_16BITS) {
    got = SystemFile_Read(destination, 2, want / 2, s->file);
  } else {
    got = SystemFile_Read(destination, 1, want, s->file);
  }
  *bytes = std::max(got, 0);
  return got > 0 && position + got < end;
}

namespace {

void InitNode(OsndSyncPoint *node, const char *name, uint32_t offset) {
  node->offset = offset;
  node->id = 0;
  SystemString_CopyN(node->name, name, 255);
  node->name[255] = '\0';
}

}  // namespace

bool OsndStream_InitSyncPointList(OsndSyncList *list) {
  if (!list) return false;
  InitNode(&list->head, "head", 0);
  InitNode(&list->tail, "tail", 0xFFFFFFFFu);
  list->head.next = &list->tail;
  list->head.prev = &list->tail;
  list->tail.next = &list->head;
  list->tail.prev = &list->head;
  list->cursor = &list->head;
  return true;
}

OsndSyncPoint *OsndStream_AddSyncPointNode(OsndSyncList *list, uint32_t offset, const char *name) {
  auto *point = static_cast<OsndSyncPoint *>(OSND_ALLOC(int(sizeof(OsndSyncPoint))));
  if (!point) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return nullptr;
  }
  InitNode(point, name ? name : "", offset);
  OsndSyncPoint *at = list->head.next;
  while (at != &list->tail && at->offset < offset) at = at->next;
  // Equal offsets keep the order they were added in.
  while (at != &list->tail && at->offset == offset) at = at->next;
  point->next = at;
  point->prev = at->prev;
  at->prev->next = point;
  at->prev = point;
  return point;
}

void OsndStream_FreeSyncPoints(OsndSyncList *list) {
  if (!list || !list->head.next) return;
  OsndSyncPoint *p = list->head.next;
  while (p != &list->tail) {
    OsndSyncPoint *next = p->next;
    OSND_FREE_MEM(p);
    // Where a test stops a free with the list half freed.
    OSND_PAUSE_POINT("sync.list.one-freed");
    p = next;
  }
  list->head.next = &list->tail;
  list->tail.prev = &list->head;
  list->cursor = &list->head;
}

void OsndStream_SwapSyncPoints(OsndSyncList *a, OsndSyncList *b) {
  OsndSyncPoint *aFirst = a->head.next, *aLast = a->tail.prev;
  OsndSyncPoint *bFirst = b->head.next, *bLast = b->tail.prev;
  const auto link = [](OsndSyncList *list, OsndSyncPoint *first, OsndSyncPoint *last, const OsndSyncList *from) {
    const bool empty = first == &from->tail;
    list->head.next = empty ? &list->tail : first;
    list->tail.prev = empty ? &list->head : last;
    list->head.next->prev = &list->head;
    list->tail.prev->next = &list->tail;
    list->cursor = &list->head;
  };
  link(a, bFirst, bLast, b);
  link(b, aFirst, aLast, a);
}

OsndSyncPoint *OsndStream_GetSyncPoint(OsndSyncList *list, int index) {
  if (!list || index < 1) return nullptr;
  OsndSyncPoint *p = &list->head;
  for (int i = 0; i < index; ++i) {
    p = p->next;
    if (p == &list->head) return nullptr;
  }
  return p;
}

OSND_SAMPLE *OsndFormat_AllocSample(int index, int frames, unsigned streamMode, unsigned requestedMode, int rate) {
  const bool stereo = streamMode & OSND_MODE_STEREO;
  unsigned mode = streamMode;
  if ((requestedMode & OSND_MODE_FORCE_MONO) && stereo) mode &= ~OSND_MODE_HW3D;
  return OSND_Sample_Alloc(index, frames, mode, rate, 255, stereo ? -1 : 128, 255);
}

unsigned OsndFormat_FillSample(uint8_t *out, unsigned bytes, bool (*read)(void *state, uint8_t *out, int *bytes),
                               void *state) {
  unsigned done = 0;
  while (done < bytes) {
    int got = int(bytes - done);
    if (!read(state, out + done, &got) || got <= 0) break;
    done += unsigned(got);
  }
  if (done < bytes) std::memset(out + done, 0, bytes - done);
  return done;
}

OSND_SAMPLE *OsndFormat_DecodeSample(int index, uint32_t claimedBytes, int frameBytes, int readBytes,
                                     unsigned streamMode, unsigned requestedMode, int rate,
                                     bool (*read)(void *state, uint8_t *out, int *bytes), void *state) {
  std::vector<uint8_t> pcm;
  while (pcm.size() < claimedBytes) {
    const size_t done = pcm.size();
    const size_t want = std::min<size_t>(claimedBytes - done, size_t(std::max(readBytes, 1 << 16)));
    pcm.resize(done + want);
    int got = int(want);
    const bool more = read(state, pcm.data() + done, &got);
    pcm.resize(done + size_t(std::clamp(got, 0, int(want))));
    if (!more || got <= 0) break;
  }
  const int frames = int(pcm.size() / size_t(std::max(frameBytes, 1)));
  if (frames < 1) return Osnd_Fail(OSND_ERR_FILE_BAD), nullptr;
  OSND_SAMPLE *sample = OsndFormat_AllocSample(index, frames, streamMode, requestedMode, rate);
  if (!sample) return nullptr;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (OSND_Sample_Lock(sample, 0, frames * frameBytes, &p1, &p2, &l1, &l2) && p1) {
    std::memcpy(p1, pcm.data(), std::min<size_t>(l1, pcm.size()));
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
  }
  return sample;
}

OSND_SAMPLE *OsndFormat_LoadedSample(OSND_SAMPLE *sample, const char *name) {
  if (name) {
    SystemString_CopyN(sample->name, name, 255);
    sample->name[255] = '\0';
  }
  gOsndError.lastError = OSND_ERR_NONE;
  return sample;
}
