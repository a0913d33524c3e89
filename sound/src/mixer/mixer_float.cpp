#include "sound/src/mixer/mixer_float.h"

#include "sound/src/mixer/mix_pass.h"
#include "sound/src/mixer/mix_vector.h"
#include "sound/src/mixer/software_mixer.h"

#include <cmath>
#include <cstring>

namespace {

void *gTableAllocation = nullptr;
float *gTable8 = nullptr;
float gRampReciprocal = 1.0f / 128.0f;
constexpr float kTwoPowMinus31 = 4.656612873077392578125e-10f;

float Convert8(int8_t v) { return v >= 0 ? float(v) * 32767.0f / 127.0f : float(v) * 256.0f; }

struct Ramp {
  bool running;
  float left, right;          // ramp values on the 0..1 scale
  float stepLeft, stepRight;  // per frame
};

Ramp BeginRamp(OsndChannel *c) {
  const bool continues = c->rampSamplesLeft > 0 && c->leftGain == c->rampTargetLeft &&
                         c->rightGain == c->rampTargetRight;
  if (!continues) {
    c->rampSamplesLeft = 0;
    c->rampStepLeftF = c->rampStepRightF = 0.0f;
    c->rampTargetLeft = c->leftGain;
    c->rampTargetRight = c->rightGain;
    bool any = false;
    if (c->leftGain != (c->curVolLeft >> 8)) {
      c->rampStepLeftF = (float(c->leftGain) - float(c->curVolLeft) / 256.0f) / 255.0f * gRampReciprocal;
      any = true;
    }
    if (c->rightGain != (c->curVolRight >> 8)) {
      c->rampStepRightF = (float(c->rightGain) - float(c->curVolRight) / 256.0f) / 255.0f * gRampReciprocal;
      any = true;
    }
    if (any) c->rampSamplesLeft = gOsnd.rampLength;
  }
  Ramp r{};
  r.running = c->rampSamplesLeft > 0;
  if (!r.running) return r;  // the values below are read only while a ramp runs: no divisions otherwise
  r.left = float(c->curVolLeft) / 256.0f / 255.0f;
  r.right = float(c->curVolRight) / 256.0f / 255.0f;
  r.stepLeft = c->rampStepLeftF;
  r.stepRight = c->rampStepRightF;
  return r;
}

template <typename T>
float Read(const T *data, int64_t index) {
  if constexpr (sizeof(T) == 1)
    return gTable8[uint8_t(data[index])];
  else
    return float(data[index]);
}

float Interpolate(float s0, float s1, uint32_t fraction) {
  const float t = float(fraction >> 1) * kTwoPowMinus31;
  return s0 + (s1 - s0) * t;
}

// Mono data: per frame the volumes are the ramp values, which move by their steps.
template <typename T>
int64_t MixMono(float *out, const T *data, int64_t pos, int64_t step, bool backward, int frames,
                float left, float right, float stepLeft, float stepRight, bool surround, Ramp *reached) {
  const int64_t delta = backward ? -step : step;
  for (int i = 0; i < frames; ++i) {
    const int64_t whole = pos >> 32;
    const float v = Interpolate(Read(data, whole), Read(data, whole + 1), uint32_t(pos));
    if (surround)
      out[2 * i] -= v * left;
    else
      out[2 * i] += v * left;
    out[2 * i + 1] += v * right;
    left += stepLeft;
    right += stepRight;
    pos += delta;
  }
  reached->left = left;
  reached->right = right;
  return pos;
}

template <typename T>
int64_t MixStereo(float *out, const T *data, int64_t pos, int64_t step, bool backward, int frames,
                  float left, float right, bool surround) {
  const int64_t delta = backward ? -step : step;
  for (int i = 0; i < frames; ++i) {
    const int64_t whole = pos >> 32;
    const uint32_t fraction = uint32_t(pos);
    const float l = Interpolate(Read(data, 2 * whole), Read(data, 2 * whole + 2), fraction);
    const float r = Interpolate(Read(data, 2 * whole + 1), Read(data, 2 * whole + 3), fraction);
    if (surround)
      out[2 * i] -= l * left;
    else
      out[2 * i] += l * left;
    out[2 * i + 1] += r * right;
    pos += delta;
  }
  return pos;
}

void MixChannel(OsndChannel *c, float *out, int samples) {
  const OSND_SAMPLE *s = c->currentSample;
  if (!s || !c->data || (c->flags & OSND_CHANFLAG_PAUSED)) return;
  const bool sixteen = s->mode & OSND_MODE_16BITS;
  const bool stereo = (s->mode & OSND_MODE_STEREO) && !(s->mode & OSND_MODE_MULTICHANNEL);
  const bool surround = c->flags & OSND_CHANFLAG_SURROUND;
  int64_t pos = MixPass_Position(c);
  const int64_t step = MixPass_Step(c);
  int left = samples;
  int stalls = 0;
  const MixVectorLoops *const vector = MixVector_Loops();
  // The gains hold for the whole call: divided once, not on every pass.
  const float gainLeft = float(c->leftGain) / 255.0f, gainRight = float(c->rightGain) / 255.0f;
  while (left > 0) {
    MixPass pass = MixPass_Plan(c, s, pos, step, left);
    Ramp ramp = BeginRamp(c);
    if (ramp.running && c->rampSamplesLeft < pass.frames) {
      pass.frames = c->rampSamplesLeft;
      pass.endReached = false;
    }
    const bool backward = c->direction == OSND_DIR_BACKWARD;
    if (!ramp.running && c->leftGain == 0 && c->rightGain == 0) {
      pos = MixPass_Advance(c, pos, step, pass.frames);
    } else {
      // Stereo data takes no ramp. The vector loops mix the whole vector
      // blocks of a pass, the per-frame loop the last few frames.
      int done = 0;
      const bool ramped = ramp.running && !stereo;
      float vl = ramped ? ramp.left : gainLeft;
      float vr = ramped ? ramp.right : gainRight;
      const float sl = ramped ? ramp.stepLeft : 0.0f;
      const float sr = ramped ? ramp.stepRight : 0.0f;
      const int64_t delta = backward ? -step : step;
      if (vector) {
        done = vector->anyLength ? pass.frames : pass.frames / vector->frames * vector->frames;
        if (stereo)
          pos = (sixteen ? vector->floatStereo16 : vector->floatStereo8)(out, c->data, pos, delta, done, vl, vr,
                                                                           surround);
        else if (ramped)
          pos = (sixteen ? vector->floatRampMono16 : vector->floatRampMono8)(out, c->data, pos, delta, done, &vl,
                                                                               &vr, sl, sr, surround);
        else
          pos = (sixteen ? vector->floatMono16 : vector->floatMono8)(out, c->data, pos, delta, done, vl, vr,
                                                                       surround);
      }
      float *const rest = out + 2 * done;
      const int frames = pass.frames - done;
      if (stereo) {
        pos = sixteen ? MixStereo(rest, reinterpret_cast<const int16_t *>(c->data), pos, step, backward, frames,
                                  vl, vr, surround)
                      : MixStereo(rest, reinterpret_cast<const int8_t *>(c->data), pos, step, backward, frames,
                                  vl, vr, surround);
      } else {
        Ramp reached{};
        pos = sixteen ? MixMono(rest, reinterpret_cast<const int16_t *>(c->data), pos, step, backward, frames, vl,
                                vr, sl, sr, surround, &reached)
                      : MixMono(rest, reinterpret_cast<const int8_t *>(c->data), pos, step, backward, frames, vl,
                                vr, sl, sr, surround, &reached);
        if (ramp.running) {
          c->curVolLeft = int(reached.left * 255.0f * 256.0f);
          c->curVolRight = int(reached.right * 255.0f * 256.0f);
        }
      }
    }
    if (ramp.running) MixPass_CountRamp(c, pass.frames);
    left -= pass.frames;
    out += 2 * pass.frames;
    if (!MixPass_Finish(c, s, pass, &stalls, &pos)) return;
  }
  MixPass_Store(c, pos);
}

}  // namespace

float MixerFpu_Table8(int8_t value) { return gTable8 ? gTable8[uint8_t(value)] : Convert8(value); }

bool MixerFpu_Init() {
  MixerFpu_Free();
  gTableAllocation = OSND_ALLOC(1040);
  if (!gTableAllocation) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  gTable8 = reinterpret_cast<float *>((reinterpret_cast<uintptr_t>(gTableAllocation) + 15) & ~uintptr_t(15));
  for (int i = 0; i < 256; ++i) gTable8[i] = Convert8(int8_t(uint8_t(i)));
  OsndMixer &fpu = gOsndMixers[OSND_MIXER_QUALITY_FPU];
  if (gOsnd.cpuHasMmx) fpu.clear = MixerFpu_ClearMmx;
  if (gOsnd.cpuIsP6) fpu.clipCopy = MixerFpu_ClipCopyP6;
  gOsnd.rampLength = gOsnd.mixRate * 128 / 44100;
  if (gOsnd.rampLength < 1) gOsnd.rampLength = 1;
  gRampReciprocal = 1.0f / float(gOsnd.rampLength);
  return true;
}

void MixerFpu_Free() {
  OSND_FREE_MEM(gTableAllocation);
  gTableAllocation = nullptr;
  gTable8 = nullptr;
}

void MixerFpu_Clear(void *buffer, int samples) {
  if (samples <= 0 || !buffer) return;
  float *p = static_cast<float *>(buffer);
  for (int i = 0; i < samples * 2; ++i) p[i] = 0.0f;
}

void MixerFpu_ClearMmx(void *buffer, int samples) {
  if (samples <= 0 || !buffer) return;
  std::memset(buffer, 0, size_t(samples) * 2 * sizeof(float));
}

void MixerFpu_Mix(void *buffer, OsndListNode *channels, int samples, int) {
  if (samples <= 0 || !buffer || !gTable8) return;
  for (OsndListNode *n = channels->next; n != channels;) {
    OsndListNode *next = n->next;
    MixChannel(OsndChannel_FromLink(n), static_cast<float *>(buffer), samples);
    n = next;
  }
}

static float ClampToSixteenBits(float x) {
  if (!(x >= -32768.0f)) return -32768.0f;
  return x > 32767.0f ? 32767.0f : x;
}

// The whole vector blocks of a clip copy go through the vector loop where
// there is one; answers the samples (two a frame) it wrote.
static int VectorClipCopy(int16_t *destination, const float *p, int frames) {
  const MixVectorLoops *vector = MixVector_Loops();
  if (!vector) return 0;
  const int blocks = frames / vector->frames * vector->frames;
  vector->floatClipCopy(destination, p, blocks);
  return blocks * 2;
}

// Clamped first, then rounded to nearest with ties to even (by adding 1.5 * 2^52
// in double precision and keeping the low 32 bits).
void MixerFpu_ClipCopy(int16_t *destination, const void *buffer, int samples) {
  if (samples <= 0 || !buffer || !destination) return;
  const float *p = static_cast<const float *>(buffer);
  int i = VectorClipCopy(destination, p, samples);
  for (; i < samples * 2; ++i) {
    const double shifted = double(ClampToSixteenBits(p[i])) + 6755399441055744.0;
    uint64_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    destination[i] = int16_t(int32_t(uint32_t(bits)));
  }
}

void MixerFpu_ClipCopyP6(int16_t *destination, const void *buffer, int samples) {
  if (samples <= 0 || !buffer || !destination) return;
  const float *p = static_cast<const float *>(buffer);
  int i = VectorClipCopy(destination, p, samples);
  for (; i < samples * 2; ++i) destination[i] = int16_t(std::lrint(double(ClampToSixteenBits(p[i]))));
}
