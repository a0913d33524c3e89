#include "sound/src/mixer/mix_pass.h"

namespace {

unsigned LoopMode(const OsndChannel *c) { return c->mode & 7u; }

// The loop lengths that bring a position `over` past a loop's end back
// inside it: over / length + 1, without the division in the usual case of a
// position less than one length past.
int64_t WholeLoops(int64_t over, int64_t length) { return over < length ? 1 : over / length + 1; }

}  // namespace

bool MixPass_ResolveEnd(OsndChannel *c, const OSND_SAMPLE *s, int64_t *position) {
  const int64_t loopStart = int64_t(s->loopStart) << 32;
  const int64_t loopEnd = (int64_t(s->loopStart) + s->loopLength) << 32;
  const unsigned mode = LoopMode(c);
  if (s->loopLength > 0 && mode == OSND_MODE_LOOP_NORMAL) {
    // Wrap by whole loop lengths; a backward pass wraps from the loop start to its end.
    const int64_t length = int64_t(s->loopLength) << 32;
    if (*position >= loopEnd) *position -= WholeLoops(*position - loopEnd, length) * length;
    if (c->direction == OSND_DIR_BACKWARD && *position <= loopStart)
      *position += WholeLoops(loopStart - *position, length) * length;
    return true;
  }
  if (s->loopLength > 0 && mode == OSND_MODE_LOOP_BIDI) {
    // Turn at the end that was reached, then keep turning while outside the loop.
    int64_t p = *position;
    if (c->direction == OSND_DIR_FORWARD) {
      p = 2 * loopEnd - p - 1;
      c->direction = OSND_DIR_BACKWARD;
    } else {
      p = 2 * loopStart - p - 1;
      c->direction = OSND_DIR_FORWARD;
    }
    for (int turns = 0; turns < (1 << 20); ++turns) {
      if (p < loopStart) {
        p = 2 * loopStart - p - 1;
        c->direction = OSND_DIR_FORWARD;
      } else if (p >= loopEnd) {
        p = 2 * loopEnd - p - 1;
        c->direction = OSND_DIR_BACKWARD;
      } else {
        *position = p;
        return true;
      }
    }
  }
  // One-shot end, or a position no loop rule can bring back.
  MixPass_Stop(c);
  *position = 0;
  return false;
}

void MixPass_Stop(OsndChannel *c) {
  c->posWhole = c->posFrac = 0;
  c->currentSample = nullptr;
}

void MixPass_CountRamp(OsndChannel *c, int frames) {
  c->rampSamplesLeft -= frames;
  if (c->rampSamplesLeft > 0) return;
  c->rampSamplesLeft = 0;
  c->rampStepLeftF = c->rampStepRightF = 0.0f;
  c->rampStepLeftI = c->rampStepRightI = 0;
  c->curVolLeft = c->leftGain * 256;
  c->curVolRight = c->rightGain * 256;
}
