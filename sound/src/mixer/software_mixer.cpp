#include "sound/src/mixer/software_mixer.h"

#include "sound/src/channel/osnd_dsp.h"
#include "sound/src/channel/osnd_dsp_fft.h"
#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/mixer/mixer_float.h"
#include "sound/src/mixer/mixer_mmx.h"
#include "sound/src/system/system_thread.h"
#include "sound/src/system/system_time.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

OsndMixer gOsndMixers[14] = {
    {"OSND_MIXER_AUTODETECT", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_BLENDMODE", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_MMXP5", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_MMXP6", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_QUALITY_AUTODETECT", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_QUALITY_FPU", MixerFpu_Init, MixerFpu_Free, MixerFpu_Clear, MixerFpu_Mix, MixerFpu_ClipCopy, 32, 2, nullptr, nullptr, 0, 7, nullptr},
    {"OSND_MIXER_QUALITY_MMXP5", nullptr, nullptr, MixerMmx_Clear, MixerMmx_MixP5, MixerMmx_ClipCopy, 16, 2, nullptr, nullptr, 0, 3, nullptr},
    {"OSND_MIXER_QUALITY_MMXP6", nullptr, nullptr, MixerMmx_Clear, MixerMmx_MixP6, MixerMmx_ClipCopy, 16, 2, nullptr, nullptr, 0, 3, nullptr},
    {"OSND_MIXER_MONO", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_QUALITY_MONO", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_C", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_QUALITY_C", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_QUALITY_C_CUBIC", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
    {"OSND_MIXER_QUALITY_C_SPLINE", nullptr, nullptr, nullptr, nullptr, nullptr, 16, 2, nullptr, nullptr, 0, 0, nullptr},
};

namespace {

int gCpuOverride[3] = {-1, -1, -1};

bool CpuidLeaf1(unsigned *eax, unsigned *edx) {
#if defined(__i386__) || defined(__x86_64__)
  unsigned ebx = 0, ecx = 0;
  return __get_cpuid(1, eax, &ebx, &ecx, edx) != 0;
#else
  (void)eax;
  (void)edx;
  return false;
#endif
}

unsigned MixerThreadProc(void *) {
  gOsnd.mixerThreadEnded = false;
  if (!gOsnd.primary || !gOsnd.primarySample || gOsnd.blockLength <= 0) {
    gOsnd.mixerThreadEnded = true;
    return 0;
  }
  OsndMixer *m = gOsnd.mixer;
  m->currentBlock = 0;
  const int blocks = int(gOsnd.primarySample->length) / gOsnd.blockLength;
  while (!gOsnd.mixerStopRequest) {
    const unsigned position = OSND_GetCurrentPosition(OSND_PRIMARY);
    const int playing = int(position % gOsnd.primarySample->length) / gOsnd.blockLength;
    while (m->currentBlock != playing && !gOsnd.mixerStopRequest) {
      SystemTime_StartMeasure(&gOsnd.cpuMeter);
      SoundSoftware_MixBlock(m->currentBlock * gOsnd.blockLength, gOsnd.blockLength);
      if (++m->currentBlock >= blocks) m->currentBlock = 0;
      gOsnd.cpuUsage = SystemTime_EndMeasure(&gOsnd.cpuMeter, 90);
    }
    SystemTime_Sleep(10);
  }
  gOsnd.mixerThreadEnded = true;
  return 0;
}

}  // namespace

void SoundSoftware_OverrideCpu(int hasCpuid, int hasMmx, int isP6) {
  gCpuOverride[0] = hasCpuid;
  gCpuOverride[1] = hasMmx;
  gCpuOverride[2] = isP6;
}

bool Osnd_CpuHasCpuid() {
  if (gCpuOverride[0] >= 0) return gCpuOverride[0] != 0;
#if defined(__i386__) || defined(__x86_64__)
  return __get_cpuid_max(0, nullptr) >= 1;
#else
  return false;
#endif
}

bool Osnd_CpuHasMmx() {
  if (gCpuOverride[1] >= 0) return gCpuOverride[1] != 0;
  unsigned eax = 0, edx = 0;
  return CpuidLeaf1(&eax, &edx) && (edx & (1u << 23));
}

bool Osnd_CpuIsP6() {
  if (gCpuOverride[2] >= 0) return gCpuOverride[2] != 0;
  unsigned eax = 0, edx = 0;
  return CpuidLeaf1(&eax, &edx) && ((eax >> 8) & 0xF) >= 6;
}

namespace {
OSND_DSPCALLBACK gMusicUnitProc = nullptr;
}  // namespace

void SoundSoftware_SetMusicUnitProc(OSND_DSPCALLBACK proc) { gMusicUnitProc = proc; }

bool SoundSoftware_Init() {
  if (gOsnd.softwareChannels <= 0) return true;
  gOsnd.cpuHasCpuid = Osnd_CpuHasCpuid();
  gOsnd.cpuHasMmx = gOsnd.cpuHasCpuid && Osnd_CpuHasMmx();
  gOsnd.cpuIsP6 = gOsnd.cpuHasCpuid && Osnd_CpuIsP6();

  int type = gOsnd.mixerType;
  if (type == OSND_MIXER_AUTODETECT) type = OSND_MIXER_MMXP6;
  if (type == OSND_MIXER_QUALITY_AUTODETECT) type = OSND_MIXER_QUALITY_MMXP6;
  if (type == OSND_MIXER_MMXP6 && !gOsnd.cpuIsP6) type = OSND_MIXER_MMXP5;
  if ((type == OSND_MIXER_MMXP5 || type == OSND_MIXER_MMXP6) && !gOsnd.cpuHasMmx) type = OSND_MIXER_BLENDMODE;
  if (type == OSND_MIXER_QUALITY_MMXP6 && !gOsnd.cpuIsP6) type = OSND_MIXER_QUALITY_MMXP5;
  if ((type == OSND_MIXER_QUALITY_MMXP5 || type == OSND_MIXER_QUALITY_MMXP6) && !gOsnd.cpuHasMmx)
    type = OSND_MIXER_QUALITY_FPU;
  gOsnd.mixerType = type;
  OsndMixer *m = &gOsndMixers[type];
  gOsnd.mixer = m;
  if (!m->mix || !m->clear || !m->clipCopy) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  if (m->init && !m->init()) return false;

  gOsnd.rampLength = gOsnd.mixRate * 128 / 44100;
  if (gOsnd.rampLength < 1) gOsnd.rampLength = 1;
  if (gOsnd.blockLength <= 0) {
    int block = gOsnd.mixRate * 25 / 1000;
    block = block / 256 * 256;
    gOsnd.blockLength = block < 256 ? 256 : block;
  }
  gOsnd.blockLengthMsF = float(gOsnd.blockLength) * 1000.0f / float(gOsnd.mixRate);
  if (gOsnd.outputType != OSND_OUTPUT_ASIO) {
    int samples = int(int64_t(gOsnd.bufferLengthMs) * gOsnd.mixRate / 1000);
    samples = samples / gOsnd.blockLength * gOsnd.blockLength;
    if (samples < 2 * gOsnd.blockLength) samples = 2 * gOsnd.blockLength;
    gOsnd.bufferLengthSamples = samples;
    gOsnd.bufferLengthMs = int(int64_t(samples) * 1000 / gOsnd.mixRate);
  }

  const int bytes = gOsnd.bufferLengthSamples * m->channels * m->bits / 8 + 256;
  m->rawBuffer = OSND_ALLOC(bytes);
  if (!m->rawBuffer) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  m->buffer = reinterpret_cast<void *>((reinterpret_cast<uintptr_t>(m->rawBuffer) + 15) & ~uintptr_t(15));
  // Made on the non-realtime output too: OSND_Update mixes there on the
  // caller's thread, while other threads (the caller's own, and the engine's
  // open threads making open-complete callbacks) play, stop and free sounds.
  // Uncontended, it costs a lock per block to a program of one thread.
  m->lock = SystemThread_CreateCriticalSection(true);
  m->currentBlock = 0;

  gOsnd.unitClear = OSND_DSP_Create(OsndDsp_ClearUnitProc, 0, nullptr);
  if (gOsnd.initFlags & OSND_INIT_LEVEL_METER)
    gOsnd.unitLevels = OSND_DSP_Create(OsndDsp_LevelsUnitProc, 0, nullptr);
  gOsnd.unitSfx = OSND_DSP_Create(OsndDsp_SfxUnitProc, 100, nullptr);
  gOsnd.unitMusic = OSND_DSP_Create(gMusicUnitProc, 200, nullptr);
  gOsnd.unitClipCopy = OSND_DSP_Create(OsndDsp_ClipAndCopyUnitProc, 1000, nullptr);
  if (!gOsnd.unitClear || !gOsnd.unitSfx || !gOsnd.unitMusic || !gOsnd.unitClipCopy ||
      ((gOsnd.initFlags & OSND_INIT_LEVEL_METER) && !gOsnd.unitLevels)) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  gOsnd.unitSfx->userData = gOsnd.unitSfx;
  gOsnd.defaultUnit = gOsnd.unitSfx;
  for (OSND_DSPUNIT *u : {gOsnd.unitClear, gOsnd.unitLevels, gOsnd.unitSfx, gOsnd.unitMusic, gOsnd.unitClipCopy})
    OSND_DSP_SetActive(u, true);

  OsndList_Init(&gOsnd.idleChannels);
  return true;
}

bool SoundSoftware_StartThread() {
  gOsnd.mixerStopRequest = false;
  if (gOsnd.output && gOsnd.output->mixerThread) {
    gOsnd.mixerThreadEnded = false;
    gOsnd.mixerThread = SystemThread_Create("ZIVE Software mixer thread",
                                            MixerThreadProc, nullptr, 3, 0);
  }
  return true;
}

void SoundSoftware_MixBlock(int offset, int length) {
  if (!gOsnd.primary || !gOsnd.primary->currentSample || !gOsnd.mixer) return;
  OsndMixer *m = gOsnd.mixer;
  // The chain is walked under the mixer's lock; chain edits take the same lock.
  SystemLockGuard guard(m->lock);
  gOsnd.mixingInProgress = true;
  void *blockStart = static_cast<uint8_t *>(m->buffer) + size_t(offset) * (m->bits / 8) * m->channels;
  void *buffer = blockStart;
  OsndListNode *head = &gOsnd.dspChain;
  // A callback may free or move any unit, itself included: the chain's edits
  // keep the walk's next unit one that is still in the chain. Stream calls
  // are refused inside, as they would take the stream lock under this one.
  OsndCallbackScope scope(OSND_IN_UNIT_CALLBACK);
  for (OsndListNode *n = head->next; n && n != head; n = gOsnd.dspWalkNext) {
    OSND_DSPUNIT *u = OsndDsp_FromLink(n);
    gOsnd.dspWalkNext = n->next;
    if (u->active && u->callback) buffer = u->callback(blockStart, buffer, length, u->userData);
  }
  gOsnd.dspWalkNext = nullptr;
  gOsnd.mixingInProgress = false;
}

void SoundSoftware_StopThread() {
  gOsnd.mixerStopRequest = true;
  if (gOsnd.mixerThread) {
    // Joined, not abandoned: the thread runs the DSP chain, whose units read
    // the channels, the streams and the mix buffer.
    SystemThread_CloseThread(gOsnd.mixerThread);
    gOsnd.mixerThread = nullptr;
  }
  gOsnd.mixerThreadEnded = true;
}

void SoundSoftware_Close() {
  SoundSoftware_StopThread();
  if (gOsnd.fftUnit) {
    OsndDspFft_Free(static_cast<OsndDspFft *>(gOsnd.fftUnit));
    gOsnd.fftUnit = nullptr;
  }
  if (gOsnd.dspChain.next) {
    while (!OsndList_IsEmpty(&gOsnd.dspChain)) OSND_DSP_Free(OsndDsp_FromLink(gOsnd.dspChain.next));
  }
  if (gOsnd.idleChannels.next) OsndList_Init(&gOsnd.idleChannels);
  if (OsndMixer *m = gOsnd.mixer) {
    SystemThread_DeleteCriticalSection(m->lock);
    m->lock = nullptr;
    if (m->free) m->free();
    OSND_FREE_MEM(m->rawBuffer);
    m->rawBuffer = m->buffer = nullptr;
    gOsnd.mixer = nullptr;
  }
  gOsnd.blockLength = 0;
}
