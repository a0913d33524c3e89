// Pass planning shared by the mix loops: where the next pass of a channel ends
// (sample end, loop end or loop start), and what happens when it gets there.
#pragma once

#include "sound/src/core/osnd_records.h"

struct MixPass {
  int frames;       // output frames of this pass
  bool endReached;  // the pass ends at the end point
};

// The 32.32 position as a signed 64-bit value (a backward pass may step below 0).
inline int64_t MixPass_Position(const OsndChannel *c) {
  return int64_t((uint64_t(c->posWhole) << 32) | c->posFrac);
}
inline int64_t MixPass_Step(const OsndChannel *c) {
  return int64_t((uint64_t(c->stepWhole) << 32) | c->stepFrac);
}
inline void MixPass_Store(OsndChannel *c, int64_t position) {
  c->posWhole = uint32_t(uint64_t(position) >> 32);
  c->posFrac = uint32_t(uint64_t(position));
}

// Frames until the end point (rounded up), capped to the frames left. Inline:
// songs of short loops plan many short passes.
inline MixPass MixPass_Plan(const OsndChannel *c, const OSND_SAMPLE *s, int64_t position, int64_t step,
                            int framesLeft) {
  const int64_t loopEnd = int64_t(s->loopStart) + s->loopLength;
  int64_t end;
  const bool backward = c->direction == OSND_DIR_BACKWARD;
  if (backward)
    end = (c->mode & 7u) == OSND_MODE_LOOP_OFF ? 0 : s->loopStart;
  else if ((c->mode & 7u) == OSND_MODE_LOOP_OFF || (position >> 32) >= loopEnd)
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

// Applies the loop rule at the end point. False when the channel has stopped
// (one-shot end): its sample is cleared and its position is 0.
bool MixPass_ResolveEnd(OsndChannel *c, const OSND_SAMPLE *s, int64_t *position);

// Stops a channel inside the mix: no sample, position 0.
void MixPass_Stop(OsndChannel *c);
// Passes of no frames in a row after which a channel is stopped rather than
// mixed for ever (a loop whose points leave nothing to play).
constexpr int kMixPassMaxStalls = 16;
// Ends a pass: stops the channel after too many passes in a row of no frames,
// and applies the loop rule when the pass reached the end point. False when
// the channel is stopped.
inline bool MixPass_Finish(OsndChannel *c, const OSND_SAMPLE *s, const MixPass &pass, int *stalls,
                           int64_t *position) {
  if (pass.frames == 0 && ++*stalls > kMixPassMaxStalls) {
    MixPass_Stop(c);
    return false;
  }
  return !pass.endReached || MixPass_ResolveEnd(c, s, position);
}

// Counts a ramp down by the frames of a pass; at its end the current volumes
// are exactly the targets and the steps are cleared.
void MixPass_CountRamp(OsndChannel *c, int frames);

// Moves a position by frames steps in the channel's direction.
inline int64_t MixPass_Advance(const OsndChannel *c, int64_t position, int64_t step, int frames) {
  const int64_t delta = step * frames;
  return c->direction == OSND_DIR_BACKWARD ? position - delta : position + delta;
}
