#include "sound/src/output/output_sample.h"

#include <algorithm>

unsigned OutputSample_Bytes(const OSND_SAMPLE *s) {
  unsigned bytes = s->length;
  if (s->mode & OSND_MODE_16BITS) bytes *= 2;
  if (s->mode & OSND_MODE_STEREO) bytes *= 2;
  return bytes;
}

bool OutputSample_Lock(OSND_SAMPLE *s, unsigned offset, unsigned length, void **p1, void **p2, unsigned *l1,
                       unsigned *l2) {
  *p1 = *p2 = nullptr;
  *l1 = *l2 = 0;
  const unsigned size = OutputSample_Bytes(s);
  if (!s->driverData || size == 0) return false;
  auto *data = static_cast<uint8_t *>(s->driverData);
  offset %= size;
  length = std::min(length, size);
  *p1 = data + offset;
  if (offset + length <= size) {
    *l1 = length;
  } else {
    *l1 = size - offset;
    *p2 = data;
    *l2 = offset + length - size;
  }
  return true;
}

namespace {

bool Unlock(OSND_SAMPLE *, void *, void *, unsigned, unsigned) { return true; }

}  // namespace

void OutputSample_SetOps(OSND_SAMPLE *s, bool (*create)(OSND_SAMPLE *), void (*release)(OSND_SAMPLE *)) {
  s->ops.create = create;
  s->ops.release = release;
  s->ops.upload = nullptr;
  s->ops.lock = OutputSample_Lock;
  s->ops.unlock = Unlock;
}
