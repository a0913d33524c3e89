#include "sound/src/channel/osnd_dsp.h"

#include "sound/src/channel/software_channel.h"
#include "sound/src/system/system_thread.h"

namespace {

// Under the mixer's lock, before a unit leaves its place in the chain: a mix
// whose next unit it is goes on with the one after it.
void LeaveWalk(OSND_DSPUNIT *unit) {
  if (gOsnd.dspWalkNext == &unit->link) gOsnd.dspWalkNext = unit->link.next;
}

}  // namespace

// Units made while the engine was closed stay: they join the next engine's
// chain, which frees them at its close.
void OsndDsp_ResetChain() {
  if (!gOsnd.dspChain.next) OsndList_Init(&gOsnd.dspChain);
}

bool OsndDsp_IsInChain(OSND_DSPUNIT *unit) {
  if (!unit) return true;
  if (!gOsnd.dspChain.next) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  SystemLockGuard guard(Osnd_MixerLock());
  for (OsndListNode *n = gOsnd.dspChain.next; n != &gOsnd.dspChain; n = n->next)
    if (n == &unit->link) return true;
  return false;
}

// The chain is changed under the mixer's lock, which the mixer holds while it
// walks the chain, so a block never sees a half-linked unit.
void OsndDsp_Insert(OsndListNode *head, OSND_DSPUNIT *unit, int priority) {
  SystemLockGuard guard(Osnd_MixerLock());
  unit->priority = priority < 0 ? 0 : priority;
  LeaveWalk(unit);
  OsndList_Unlink(&unit->link);
  if (!head->next) return;
  OsndListNode *n = head->next;
  while (n != head && OsndDsp_FromLink(n)->priority <= unit->priority) n = n->next;
  OsndList_InsertBefore(n, &unit->link);
}

void OsndDsp_MakeChannelUnit(OSND_DSPUNIT *unit) {
  unit->callback = OsndDsp_SfxUnitProc;
  unit->userData = unit;
}

extern "C" {

OSND_DSPUNIT *OSND_DSP_Create(OSND_DSPCALLBACK callback, int priority, void *userData) {
  Osnd_ResetError();
  // Before the engine first starts there is no chain to join, and a unit
  // left out of it could never be freed.
  if (!gOsnd.dspChain.next) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  auto *unit = static_cast<OSND_DSPUNIT *>(OSND_ALLOC(int(sizeof(OSND_DSPUNIT))));
  if (!unit) return nullptr;
  unit->callback = callback;
  unit->userData = userData;
  OsndList_Init(&unit->link);
  OsndList_Init(&unit->channels);
  unit->active = false;
  OSND_DSP_SetPriority(unit, priority);
  return unit;
}

void OSND_DSP_SetPriority(OSND_DSPUNIT *unit, int priority) {
  Osnd_ResetError();
  if (unit) OsndDsp_Insert(&gOsnd.dspChain, unit, priority);
}

void OSND_DSP_SetActive(OSND_DSPUNIT *unit, bool active) {
  Osnd_ResetError();
  if (!unit) return;
  SystemLockGuard guard(Osnd_MixerLock());
  unit->active = active;
}

void OSND_DSP_Free(OSND_DSPUNIT *unit) {
  Osnd_ResetError();
  if (!unit) return;
  SystemLockGuard guard(Osnd_MixerLock());
  if (!OsndDsp_IsInChain(unit)) return;
  if (unit != gOsnd.unitSfx && gOsnd.unitSfx) {
    // Its channels go on playing in the main mix.
    while (!OsndList_IsEmpty(&unit->channels)) {
      OsndListNode *n = unit->channels.next;
      OsndList_Unlink(n);
      OsndList_Append(&gOsnd.unitSfx->channels, n);
      OsndChannel_FromLink(n)->unit = gOsnd.unitSfx;
    }
  } else if (unit != gOsnd.unitSfx) {
    while (!OsndList_IsEmpty(&unit->channels)) OsndList_Unlink(unit->channels.next);
  }
  if (unit == gOsnd.unitSfx) {
    // Channels of the main mix return to the idle list when it goes.
    while (!OsndList_IsEmpty(&unit->channels)) {
      OsndListNode *n = unit->channels.next;
      OsndList_Unlink(n);
      SoundSoftware_AppendIdle(OsndChannel_FromLink(n));
    }
    gOsnd.unitSfx = nullptr;
    if (gOsnd.defaultUnit == unit) gOsnd.defaultUnit = nullptr;
  }
  if (unit == gOsnd.unitClear) gOsnd.unitClear = nullptr;
  if (unit == gOsnd.unitMusic) gOsnd.unitMusic = nullptr;
  if (unit == gOsnd.unitClipCopy) gOsnd.unitClipCopy = nullptr;
  if (unit == gOsnd.unitLevels) gOsnd.unitLevels = nullptr;
  LeaveWalk(unit);
  OsndList_Unlink(&unit->link);
  OSND_FREE_MEM(unit);
}

}  // extern "C"

void *OsndDsp_ClearUnitProc(void *, void *buffer, int length, void *) {
  if (buffer && length && gOsnd.mixer) gOsnd.mixer->clear(buffer, length);
  return buffer;
}

void *OsndDsp_SfxUnitProc(void *, void *buffer, int length, void *userData) {
  auto *unit = static_cast<OSND_DSPUNIT *>(userData);
  if (unit && !OsndList_IsEmpty(&unit->channels) && gOsnd.mixer) {
    SystemLockGuard guard(gOsnd.mixer->lock);
    gOsnd.mixer->mix(buffer, &unit->channels, length, 0);
  }
  return buffer;
}

void *OsndDsp_ClipAndCopyUnitProc(void *, void *buffer, int length, void *) {
  OsndMixer *m = gOsnd.mixer;
  OSND_SAMPLE *primary = gOsnd.primarySample;
  if (!m || !primary) return buffer;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  const int offset = m->channels * gOsnd.blockLength * m->currentBlock * 2;
  if (OSND_Sample_Lock(primary, offset, m->channels * length * 2, &p1, &p2, &l1, &l2)) {
    m->clipCopy(static_cast<int16_t *>(p1), buffer, int(l1) / m->channels / 2);
    OSND_Sample_Unlock(primary, p1, p2, l1, l2);
  }
  return buffer;
}

void *OsndDsp_LevelsUnitProc(void *, void *buffer, int, void *) {
  if (!gOsnd.mixer || !gOsnd.channels) return buffer;
  const int block = gOsnd.mixer->currentBlock;
  for (int i = 0; i < gOsnd.softwareChannels; ++i) {
    OsndChannel *c = &gOsnd.channels[i];
    if (!c->levels) continue;
    int left = 0, right = 0;
    SoundSoftware_PeakLevels(c, &left, &right);
    c->levels[block * 2] = left;
    c->levels[block * 2 + 1] = right;
  }
  return buffer;
}
