#include "sound/src/mixer/mix_pass.h"

namespace {

unsigned LoopMode(const OsndChannel *c) { return c->mode & 7u; }

// The loop lengths that bring a position `over` past a loop's end back
// inside it: over / length + 1, without the division in the usual case of a
// position less than one length past.
int64_t WholeLoops(int64_t over, int64_t length) { return over < length ? 1 : over / length + 1; }

}  // namespace

MixPass MixPass_Plan(const OsndChannel *c, const OSND_SAMPLE *s, int64_t position, int64_t step,
                     int framesLeft) {
  const int64_t loopEnd = int64_t(s->loopStart) + s->loopLength;
  int64_t end;
  const bool backward = c->direction == OSND_DIR_BACKWARD;
  if (backward)
    end = LoopMode(c) == OSND_MODE_LOOP_OFF ? 0 : s->loopStart;
  else if (LoopMode(c) == OSND_MODE_LOOP_OFF || (position >> 32) >= loopEnd)
    end = s->length;  // a one-shot sample plays to the end of its data
  else
    end = loopEnd;
  // Distance and step in fixed point (distance 24.8, step 8.24), in 64 bits so
  // that long samples and large steps cannot overflow.
  // Rounded towards the end point's far side so that a position short of it
  // never reads as already there.
  const int64_t here = backward ? (position + 0xFFFFFF) >> 24 : position >> 24;
  const int64_t distance = backward ? here - (end << 8) : (end << 8) - here;
  if (distance <= 0) return {0, true};
  int64_t fixedStep = ((step >> 32) << 24) + ((step & 0xFFFFFFFFll) >> 8);
  if (fixedStep == 0) fixedStep = 0x17C6F8C >> 8;
  // Most passes of a long sample stop short of the end: then the frames left
  // are the pass, and the product (below 2^62) answers without a division.
  const int64_t reach = distance << 16;
  if (fixedStep < (int64_t(1) << 31) && reach > int64_t(framesLeft) * fixedStep) return {framesLeft, false};
  const int64_t frames = (reach + fixedStep - 1) / fixedStep;
  if (frames <= framesLeft) return {int(frames), true};
  return {framesLeft, false};
}

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

bool MixPass_Finish(OsndChannel *c, const OSND_SAMPLE *s, const MixPass &pass, int *stalls, int64_t *position) {
  if (pass.frames == 0 && ++*stalls > kMixPassMaxStalls) {
    MixPass_Stop(c);
    return false;
  }
  return !pass.endReached || MixPass_ResolveEnd(c, s, position);
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
