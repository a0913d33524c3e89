#include "sound/src/mixer/mixer_mmx.h"

#include "sound/src/mixer/mix_pass.h"
#include "sound/src/mixer/mix_vector.h"

#include <cstring>

namespace {

int16_t Saturate(int32_t v) { return int16_t(v > 32767 ? 32767 : (v < -32768 ? -32768 : v)); }

// Sample loads. The family-5 form reads single bytes, the family-6 form whole
// words; both yield the same 16-bit values.
struct ByteLoads {
  static int32_t Load8(const uint8_t *p, int64_t i) { return int32_t(int8_t(p[i])) * 256; }
  static int32_t Load16(const uint8_t *p, int64_t i) {
    const uint8_t lo = p[2 * i], hi = p[2 * i + 1];
    return int32_t(int16_t(uint16_t(lo | (hi << 8))));
  }
};

struct WordLoads {
  static int32_t Load8(const uint8_t *p, int64_t i) {
    const uint16_t w = uint16_t(uint16_t(p[i]) << 8);  // the byte rotated into the high half
    return int32_t(int16_t(w));
  }
  static int32_t Load16(const uint8_t *p, int64_t i) {
    int16_t w;
    std::memcpy(&w, p + 2 * i, sizeof w);
    return w;
  }
};

int32_t Interpolate(int32_t s0, int32_t s1, uint32_t fraction) {
  const int32_t w1 = int32_t((fraction >> 16) >> 1);
  const int32_t w0 = 32768 - w1;
  return Saturate((s0 * w0 + s1 * w1) >> 15);
}

// (value x volume word) >> 16 with the volume word taken as unsigned.
int32_t Scale(int32_t value, int32_t volumeWord) {
  return int32_t((int64_t(value) * int64_t(uint16_t(volumeWord))) >> 16);
}

void Add(int16_t *out, int32_t value) { *out = Saturate(int32_t(*out) + value); }

template <typename Loads, bool Sixteen>
int32_t Load(const uint8_t *p, int64_t i) {
  if constexpr (Sixteen)
    return Loads::Load16(p, i);
  else
    return Loads::Load8(p, i);
}

template <typename Loads, bool Sixteen>
int64_t MixMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t step, bool backward, int frames,
                int32_t left, int32_t right, int32_t stepLeft, int32_t stepRight, int32_t *reachedLeft,
                int32_t *reachedRight) {
  const int64_t delta = backward ? -step : step;
  for (int i = 0; i < frames; ++i) {
    const int64_t whole = pos >> 32;
    const int32_t v = Interpolate(Load<Loads, Sixteen>(data, whole), Load<Loads, Sixteen>(data, whole + 1),
                                  uint32_t(pos));
    Add(&out[2 * i], Scale(v, left));
    Add(&out[2 * i + 1], Scale(v, right));
    left += stepLeft;
    right += stepRight;
    pos += delta;
  }
  *reachedLeft = left;
  *reachedRight = right;
  return pos;
}

template <typename Loads, bool Sixteen>
int64_t MixStereo(int16_t *out, const uint8_t *data, int64_t pos, int64_t step, bool backward, int frames,
                  int32_t left, int32_t right) {
  const int64_t delta = backward ? -step : step;
  for (int i = 0; i < frames; ++i) {
    const int64_t whole = pos >> 32;
    const uint32_t fraction = uint32_t(pos);
    const int32_t l = Interpolate(Load<Loads, Sixteen>(data, 2 * whole), Load<Loads, Sixteen>(data, 2 * whole + 2), fraction);
    const int32_t r = Interpolate(Load<Loads, Sixteen>(data, 2 * whole + 1), Load<Loads, Sixteen>(data, 2 * whole + 3), fraction);
    Add(&out[2 * i], Scale(l, left));
    Add(&out[2 * i + 1], Scale(r, right));
    pos += delta;
  }
  return pos;
}

// Starts a ramp where a target differs from the current volume, or goes on
// with the running one; answers whether a ramp runs.
bool BeginRamp(OsndChannel *c) {
  const bool continues = c->rampSamplesLeft > 0 && c->leftGain == c->rampTargetLeft &&
                         c->rightGain == c->rampTargetRight;
  if (continues) return true;
  c->rampSamplesLeft = 0;
  c->rampStepLeftI = c->rampStepRightI = 0;
  c->rampTargetLeft = c->leftGain;
  c->rampTargetRight = c->rightGain;
  const int length = gOsnd.rampLength > 0 ? gOsnd.rampLength : 1;
  bool any = false;
  if (c->leftGain != (c->curVolLeft >> 8)) {
    c->rampStepLeftI = ((c->leftGain - (c->curVolLeft >> 8)) * 256) / length;
    any = true;
  }
  if (c->rightGain != (c->curVolRight >> 8)) {
    c->rampStepRightI = ((c->rightGain - (c->curVolRight >> 8)) * 256) / length;
    any = true;
  }
  if (any) c->rampSamplesLeft = length;
  return any;
}

template <typename Loads>
void MixChannel(OsndChannel *c, int16_t *out, int samples) {
  const OSND_SAMPLE *s = c->currentSample;
  if (!s || !c->data || (c->flags & OSND_CHANFLAG_PAUSED)) return;
  const bool sixteen = s->mode & OSND_MODE_16BITS;
  const bool stereo = (s->mode & OSND_MODE_STEREO) && !(s->mode & OSND_MODE_MULTICHANNEL);
  int left = samples;
  int64_t pos = MixPass_Position(c);
  int stalls = 0;
  const MixVectorLoops *const vector = MixVector_Loops();
  while (left > 0) {
    // The integer mixers work with 16-bit fractions; the channel keeps the cut values.
    pos &= ~int64_t(0xFFFF);
    c->stepFrac &= 0xFFFF0000u;
    const int64_t step = MixPass_Step(c);
    MixPass pass = MixPass_Plan(c, s, pos, step, left);
    const bool ramp = BeginRamp(c);
    if (ramp && c->rampSamplesLeft < pass.frames) {
      pass.frames = c->rampSamplesLeft;
      pass.endReached = false;
    }
    const bool backward = c->direction == OSND_DIR_BACKWARD;
    if (!ramp && c->leftGain == 0 && c->rightGain == 0) {
      pos = MixPass_Advance(c, pos, step, pass.frames);
    } else {
      // Stereo data takes no ramp. The vector loops mix the whole vector
      // blocks of a pass, the per-frame loop the last few frames.
      int done = 0;
      const bool ramped = ramp && !stereo;
      int32_t vl = ramped ? c->curVolLeft : c->leftGain * 256;
      int32_t vr = ramped ? c->curVolRight : c->rightGain * 256;
      const int32_t sl = ramped ? c->rampStepLeftI : 0, sr = ramped ? c->rampStepRightI : 0;
      const int64_t delta = backward ? -step : step;
      if (vector) {
        done = vector->anyLength ? pass.frames : pass.frames / vector->frames * vector->frames;
        if (stereo)
          pos = (sixteen ? vector->intStereo16 : vector->intStereo8)(out, c->data, pos, delta, done, vl, vr);
        else if (ramped)
          pos = (sixteen ? vector->intRampMono16 : vector->intRampMono8)(out, c->data, pos, delta, done, &vl, &vr,
                                                                           sl, sr);
        else
          pos = (sixteen ? vector->intMono16 : vector->intMono8)(out, c->data, pos, delta, done, vl, vr);
      }
      int16_t *const rest = out + 2 * done;
      const int frames = pass.frames - done;
      if (stereo) {
        pos = sixteen ? MixStereo<Loads, true>(rest, c->data, pos, step, backward, frames, vl, vr)
                      : MixStereo<Loads, false>(rest, c->data, pos, step, backward, frames, vl, vr);
      } else {
        int32_t reachedLeft = 0, reachedRight = 0;
        pos = sixteen ? MixMono<Loads, true>(rest, c->data, pos, step, backward, frames, vl, vr, sl, sr,
                                             &reachedLeft, &reachedRight)
                      : MixMono<Loads, false>(rest, c->data, pos, step, backward, frames, vl, vr, sl, sr,
                                              &reachedLeft, &reachedRight);
        if (ramp) {
          c->curVolLeft = reachedLeft;
          c->curVolRight = reachedRight;
        }
      }
    }
    if (ramp) MixPass_CountRamp(c, pass.frames);
    left -= pass.frames;
    out += 2 * pass.frames;
    if (!MixPass_Finish(c, s, pass, &stalls, &pos)) return;
  }
  MixPass_Store(c, pos);
}

template <typename Loads>
void Mix(void *buffer, OsndListNode *channels, int samples) {
  if (samples <= 0 || !buffer) return;
  for (OsndListNode *n = channels->next; n != channels;) {
    OsndListNode *next = n->next;
    MixChannel<Loads>(OsndChannel_FromLink(n), static_cast<int16_t *>(buffer), samples);
    n = next;
  }
}

}  // namespace

void MixerMmx_Clear(void *buffer, int samples) {
  if (samples <= 0 || !buffer) return;
  std::memset(buffer, 0, size_t(samples) * 2 * sizeof(int16_t));
}

void MixerMmx_MixP5(void *buffer, OsndListNode *channels, int samples, int) {
  Mix<ByteLoads>(buffer, channels, samples);
}

void MixerMmx_MixP6(void *buffer, OsndListNode *channels, int samples, int) {
  Mix<WordLoads>(buffer, channels, samples);
}

void MixerMmx_ClipCopy(int16_t *destination, const void *buffer, int samples) {
  if (samples <= 0 || !buffer || !destination) return;
  std::memcpy(destination, buffer, size_t(samples) * 2 * sizeof(int16_t));
}
