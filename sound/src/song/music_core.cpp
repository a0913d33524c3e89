#include "sound/src/song/music_core.h"

#include "sound/src/channel/osnd_dsp.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

const int kMusicPeriodTable[MUSIC_NOTES + 1] = {
    0,     27392, 25856, 24384, 23040, 21696, 20480, 19328, 18240, 17216, 16256, 15360, 14496, 13696, 12928,
    12192, 11520, 10848, 10240, 9664,  9120,  8608,  8128,  7680,  7248,  6848,  6464,  6096,  5760,  5424,
    5120,  4832,  4560,  4304,  4064,  3840,  3624,  3424,  3232,  3048,  2880,  2712,  2560,  2416,  2280,
    2152,  2032,  1920,  1812,  1712,  1616,  1524,  1440,  1356,  1280,  1208,  1140,  1076,  1016,  960,
    906,   856,   808,   762,   720,   678,   640,   604,   570,   538,   508,   480,   453,   428,   404,
    381,   360,   339,   320,   302,   285,   269,   254,   240,   226,   214,   202,   190,   180,   170,
    160,   151,   143,   135,   127,   120,   113,   107,   101,   95,    90,    85,    80,    75,    71,
    67,    63,    60,    56,    53,    50,    47,    45,    42,    40,    37,    35,    33,    31,    30,
    28,    26,    25,    23,    22,    21,    20,    18,    17,    16,    15,    15,    14};

const uint8_t kMusicSineTable[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                                     224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                                     212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

namespace {
MusicFormats gFormats{};
}  // namespace

void Music_SetFormats(const MusicFormats &formats) { gFormats = formats; }

namespace {

constexpr int kFinetuneSpeeds[16] = {8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757,
                                     7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280};
constexpr int kMaxVoices = 4096 + OSND_EXTRA_CHANNELS;

OsndListNode gSongs{nullptr, nullptr};
MusicVoice gVoices[kMaxVoices];
MusicVoice gDummyVoice;
OSND_SAMPLE gInvalidSample;

OsndListNode *Songs() {
  if (!gSongs.next) OsndList_Init(&gSongs);
  return &gSongs;
}

MusicSong *SongFromLink(OsndListNode *n) { return reinterpret_cast<MusicSong *>(n); }

// A song call keeps the song for its length: outside the mixer's lock it
// holds the song, and one asked for once the free has begun fails. Inside a
// DSP unit's callback (a song's row, order, Zxx or instrument callback
// included) the thread holds the mixer's lock throughout, and the song's
// release takes that lock before it frees anything: there the call looks at
// the free mark under it instead, and takes no hold, so that the release is
// never the mixer's to make.
class SongCall {
 public:
  explicit SongCall(MusicSong *song) {
    if (Osnd_OnInitThread()) Osnd_ResetError();
    if (!song) {
      Osnd_SetError(OSND_ERR_INVALID_PARAM);
      return;
    }
    m_Held = tOsndInCallback != OSND_IN_UNIT_CALLBACK;
    if (m_Held ? !OsndLifetime_HoldOpen(&song->life) : OsndLifetime_Closing(&song->life)) {
      m_Held = false;
      Osnd_SetError(OSND_ERR_INVALID_PARAM);
      return;
    }
    m_Song = song;
    OSND_PAUSE_POINT("song.call.held");
  }
  ~SongCall() {
    if (m_Held) Music_LetGoSong(m_Song);
  }
  SongCall(const SongCall &) = delete;
  SongCall &operator=(const SongCall &) = delete;
  explicit operator bool() const { return m_Song != nullptr; }
  // A call that needs the song loaded.
  bool Loaded() const { return m_Song && (Music_IsLoaded(m_Song) || Osnd_Fail(OSND_ERR_INVALID_PARAM)); }

 private:
  MusicSong *m_Song = nullptr;
  bool m_Held = false;
};

void ResetVoice(MusicVoice *v) {
  v->background = 0;
  v->volumeEnvelope = MusicEnvelopeState{0, 0, 64 << 16, 64, 0, 0};
  v->panEnvelope = MusicEnvelopeState{0, 0, 128 << 16, 128, 0, 0};
  v->pitchEnvelope = MusicEnvelopeState{};
  v->fading = 0;
  v->fadeOut = 1024;
}

// A free software channel (neither reserved, stopping nor playing).
OsndChannel *TakeFreeChannel() {
  if (!gOsnd.initialised || !gOsnd.channels) return nullptr;
  const OsndChannelRange &r = gOsnd.swRange;
  for (int i = r.first; i <= r.last && i < gOsnd.channelCount && i < kMaxVoices; ++i) {
    OsndChannel *c = &gOsnd.channels[i];
    if (c->flags & (OSND_CHANFLAG_RESERVED | OSND_CHANFLAG_STOPPING)) continue;
    if (!c->ops.isPlaying(c)) return c;
  }
  return nullptr;
}

void AttachToSong(MusicSong *song, OsndChannel *c) {
  OsndList_Unlink(&c->link);
  OsndList_Append(&song->channels, &c->link);
  c->flags |= OSND_CHANFLAG_KEEPLIST;
  c->unit = gOsnd.unitMusic;
}

// Makes the slot's due calls. The function may remove its own callback (or
// set another): the slot is read again after each call, and a callback that
// is no longer the slot's is not visited again. None is made once the song's
// free has begun (a callback's own calls on the song fail from then on).
void FireDue(MusicSong *song, MusicCallback *const *slot) {
  for (int guard = 0; guard < MUSIC_CALLBACK_RING && !OsndLifetime_Closing(&song->life); ++guard) {
    MusicCallback *cb = *slot;
    if (!cb || !cb->function) return;
    MusicCallbackEntry &e = cb->ring[cb->read];
    if (e.due < 0.0f || e.due > song->clock) return;
    const int parameter = e.parameter;
    e.due = -1.0f;
    cb->read = (cb->read + 1) % MUSIC_CALLBACK_RING;
    cb->function(song, parameter);
  }
}

void FireAllDue(MusicSong *song) {
  FireDue(song, &song->rowCallback);
  FireDue(song, &song->orderCallback);
  FireDue(song, &song->zxxCallback);
  if (song->instrumentCallbackSet)
    for (MusicCallback *const &cb : song->instrumentCallbacks) FireDue(song, &cb);
}

void FreeCallback(MusicCallback *&cb) {
  OSND_FREE_MEM(cb);
  cb = nullptr;
}

}  // namespace

int Music_Sine256(int position) {
  static const struct Table {
    int8_t values[256];
    Table() {
      for (int i = 0; i < 256; ++i) values[i] = int8_t(std::lround(64.0 * std::sin(2.0 * M_PI * i / 256.0)));
    }
  } kTable;
  return kTable.values[position & 255];
}

int Music_FinetuneToSpeed(int finetune) {
  return finetune >= 0 && finetune < 16 ? kFinetuneSpeeds[finetune] : 8363;
}

int Music_NotePeriod(int note, int cSpeed) {
  note = std::clamp(note, 1, MUSIC_NOTES);
  if (cSpeed <= 0) cSpeed = 8363;
  return int(uint32_t(kMusicPeriodTable[note]) * 8363u / uint32_t(cSpeed));
}

int Music_PeriodToFrequency(int period) { return 14317056 / std::max(1, period); }

MusicSong *Music_CreateSong() {
  auto *song = static_cast<MusicSong *>(OSND_ALLOC(int(sizeof(MusicSong))));
  if (!song) return nullptr;
  std::memset(song, 0, sizeof(MusicSong));
  OsndList_Init(&song->channels);
  song->masterVolume = 256;
  song->globalVolume = 64;
  song->speedMultiplier = 1.0f;
  song->panSeparation = 1.0f;
  song->nextRow = song->nextOrder = -1;
  SystemLockGuard guard(Osnd_MixerLock());
  OsndList_Append(Songs(), &song->link);
  return song;
}

namespace {

// Stops the song and frees what it holds, the record last: made by whichever
// party lets go of a freed song last. Every step that frees takes the mixer's
// lock first (the stop, the unlink), so that a call under that lock ends
// before anything goes.
void ReleaseSong(MusicSong *song) {
  if (Music_IsLoaded(song)) Music_StopPlaying(song);
  {
    SystemLockGuard guard(Osnd_MixerLock());
    OsndList_Unlink(&song->link);
  }
  if (song->patterns) {
    for (int i = 0; i < song->patternsAllocated; ++i) OSND_FREE_MEM(song->patterns[i].cells);
    OSND_FREE_MEM(song->patterns);
  }
  if (song->samples) {
    // As any freed sample: no channel, a stopped one included, keeps naming it.
    for (int i = 0; i < song->sampleCount; ++i) OSND_Sample_Free(song->samples[i]);
    OSND_FREE_MEM(song->samples);
  }
  if (song->midi) gFormats.midiFree(song);
  OSND_FREE_MEM(song->songChannels);
  OSND_FREE_MEM(song->instruments);
  OSND_FREE_MEM(song->sampleInfo);
  FreeCallback(song->rowCallback);
  FreeCallback(song->orderCallback);
  FreeCallback(song->zxxCallback);
  for (MusicCallback *&cb : song->instrumentCallbacks) FreeCallback(cb);
  OSND_FREE_MEM(song);
}

}  // namespace

void Music_LetGoSong(MusicSong *song) {
  if (OsndLifetime_LetGo(&song->life)) ReleaseSong(song);
}

void Music_FreeSong(MusicSong *song) {
  if (!song || Osnd_RefuseStreamCall()) return;
  // The first free wins; another (the application's beside the song's loaded
  // callback, or that callback's beside the application's) returns at once.
  if (!OsndLifetime_BeginClose(&song->life)) return;
  OSND_PAUSE_POINT("song.free.marked");
  // A song still waiting in the background queue leaves it; one being
  // loaded is waited for; a loaded callback that has not begun is not made.
  OsndNonBlocking_Unqueue(&song->queueNode);
  OsndNonBlocking_WaitUntilDone(song);
  // Silent from the free's return though another party may hold the song
  // still: its voices stop now, and the music unit starts no note for a song
  // whose free has begun. A MIDI song's synthesizer stops now too; what its
  // stream had rendered ahead is still mixed (its reverb tail would follow a
  // flush of it, so the buffer plays out as it was).
  if (Music_IsLoaded(song)) Music_StopPlaying(song);
  Music_LetGoSong(song);
}

bool Music_IsLoaded(const MusicSong *song) { return __atomic_load_n(&song->loaded, __ATOMIC_ACQUIRE) != 0; }

bool Music_LoadFailed(const MusicSong *song) { return __atomic_load_n(&song->loadFailed, __ATOMIC_ACQUIRE) != 0; }

void Music_LoadQueued(MusicSong *song) {
  const char *source = (song->pendingMode & OSND_MODE_MEMORY) ? song->pendingMemory : song->pendingName;
  if (!Music_LoadSong(song, source, song->pendingMode & ~OSND_MODE_NONBLOCKING, song->pendingOffset,
                      song->pendingLength, song->pendingList, song->pendingListCount))
    Music_MarkLoadFailed(song);
}

void Music_MarkLoadFailed(MusicSong *song) { __atomic_store_n(&song->loadFailed, uint8_t(1), __ATOMIC_RELEASE); }

MusicSong *Music_LoadSong(MusicSong *song, const char *nameOrData, unsigned mode, int offset, int length,
                          const int *sampleList, int sampleListCount) {
  if (Osnd_OnInitThread()) Osnd_ResetError();
  if (Osnd_RefuseStreamCall()) return nullptr;
  if (!gOsnd.initialised) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  SongCall call(song);
  if (!call || !nameOrData || Music_IsLoaded(song)) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  if (mode & OSND_MODE_NONBLOCKING) {
    if (!OsndNonBlocking_StartThread()) return nullptr;
    song->pendingMemory = nameOrData;
    if (!(mode & OSND_MODE_MEMORY)) SystemString_CopyN(song->pendingName, nameOrData, 255);
    song->pendingMode = mode;
    song->pendingOffset = offset;
    song->pendingLength = length;
    song->pendingList = sampleList;
    song->pendingListCount = sampleListCount;
    const bool failedBefore = Music_LoadFailed(song);
    __atomic_store_n(&song->loadFailed, uint8_t(0), __ATOMIC_RELEASE);
    const bool taken = OsndNonBlocking_QueueWork(
        &song->queueNode, song,
        OsndQueueWork{[](void *queued) { Music_LoadQueued(static_cast<MusicSong *>(queued)); },
                      [](void *queued) {
                        // A song whose free began before its turn gets no callback.
                        auto *loaded = static_cast<MusicSong *>(queued);
                        if (!OsndLifetime_Closing(&loaded->life) && loaded->loadDone) loaded->loadDone(loaded, 0);
                      },
                      [](void *queued) { Music_MarkLoadFailed(static_cast<MusicSong *>(queued)); }, &song->life,
                      [](void *queued) { Music_LetGoSong(static_cast<MusicSong *>(queued)); }});
    if (taken) return song;
    // Its free began beside it (a loaded callback's retry as the application
    // frees the song): nothing is queued, and the song is left as it was.
    if (failedBefore) Music_MarkLoadFailed(song);
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  SystemFileHandle *file = SystemFile_Open(nameOrData, SystemFile_KindForMode(mode), length);
  if (!file) {
    Osnd_SetError(OSND_ERR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (offset > 0) SystemFile_SetStartOffset(file, offset);
  if (length > 0) SystemFile_SetEndOffset(file, int64_t(offset > 0 ? offset : 0) + length - 1);

  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  // The next loader is tried only on a song the failed one left untouched: a
  // loader that made something and then answered "not this format" ends the
  // chain as a damaged file rather than hand a half-made song on.
  auto untried = [song] {
    if (gOsndError.lastError != OSND_ERR_FILE_FORMAT) return false;
    if (!song->songChannels && !song->patterns && !song->samples && !song->instruments && !song->sampleInfo)
      return true;
    Osnd_SetError(OSND_ERR_FILE_BAD);
    return false;
  };
  bool ok = false;
  auto rewind = [file] { SystemFile_Seek(file, 0, SEEK_SET); };
  const MusicLoadRequest request{mode, sampleList, sampleListCount, nameOrData};
  for (int i = 0; i < gFormats.loaderCount && !ok && untried(); ++i) {
    if (i > 0) rewind();
    ok = gFormats.loaders[i](song, file, request);
  }
  const int error = gOsndError.lastError;
  SystemFile_Close(file);

  if (ok && song->type != MUSIC_TYPE_SAMPLEBANK && song->samples)
    for (int i = 0; i < song->sampleCount; ++i)
      if (song->samples[i]) song->samples[i]->songSample = 1;
  if (ok && (mode & (OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_OFF))) song->looping = (mode >> 1) & 1;
  Osnd_SetError(ok ? OSND_ERR_NONE : error);
  if (ok) __atomic_store_n(&song->loaded, uint8_t(1), __ATOMIC_RELEASE);
  return ok ? song : nullptr;
}

bool Music_PlaySong(MusicSong *song) {
  SongCall call(song);
  if (!call.Loaded()) return false;
  // A MIDI song's start links and plays the synthesizer's stream, which takes
  // the stream-decode lock: it is taken first, in the engine's one order (and
  // refused inside a DSP unit's callback, under the mixer's lock).
  OsndDecodeLock decode(song->type == MUSIC_TYPE_MIDI);
  if (!decode) return false;
  SystemLockGuard guard(Osnd_MixerLock());
  // A play that held the song before its free began looks at the mark under
  // the lock the free's stop takes: it ends before that stop or starts nothing.
  if (OsndLifetime_Closing(&song->life)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  song->order = 0;
  song->row = 0;
  song->tick = 0;
  song->nextOrder = -1;
  song->nextRow = -1;
  song->patternDelay = 0;
  song->finished = 0;
  song->clock = 0.0f;
  song->samplesLeft = 0;
  song->speed = song->defaultSpeed;
  Music_SetTempo(song, song->defaultTempo);
  song->playing = 1;
  if (song->startHook) song->startHook(song);
  return true;
}

bool Music_StopSong(MusicSong *song) {
  SongCall call(song);
  if (!call.Loaded()) return false;
  // A MIDI song's stop waits for the synthesizer's stream between two of its
  // refills: refused inside a DSP unit's callback.
  OsndDecodeLock decode(song->type == MUSIC_TYPE_MIDI);
  if (!decode) return false;
  Music_StopPlaying(song);
  return true;
}

void Music_StopPlaying(MusicSong *song) {
  if (song->type == MUSIC_TYPE_MIDI) {
    // Between two refills of the synthesizer's stream, and with the song's
    // playing mark written under the mixer's lock that the music unit reads
    // it under.
    SystemLockGuard decode(gOsndStreams.decodeLock);
    SystemLockGuard guard(Osnd_MixerLock());
    gFormats.midiStop(song);
    return;
  }
  // Under the mixer's lock rather than waiting for a busy flag: the lock is
  // recursive, so a song that stops itself from its tick does not wait forever.
  SystemLockGuard guard(Osnd_MixerLock());
  // A bank song's sound is on the shared bank channel, not on voices; the
  // music unit's ticks choose that channel's song under the same lock.
  if (song->type == MUSIC_TYPE_SAMPLEBANK) gFormats.bankStop(song);
  // Its owner looked at: no tick gives the channel to this song before the stop ends.
  OSND_PAUSE_POINT("song.stop.bank-checked");
  song->playing = 0;
  song->finished = 1;
  if (!song->songChannels) return;
  for (int i = 0; i < song->channelCount; ++i) {
    MusicChannel *ch = &song->songChannels[i];
    for (OsndListNode *n = ch->voices.next; n && n != &ch->voices;) {
      MusicVoice *v = MusicVoice_FromLink(n);
      if (gOsnd.initialised && gOsnd.channels) OSND_StopSound(v->index);
      MusicVoice *at = Music_FreeVoice(v);
      n = at ? at->link.next : ch->voices.next;
    }
  }
}

void Music_StopAllSongs() {
  // A MIDI song's stop takes the stream-decode lock: first, in the engine's
  // one order.
  SystemLockGuard decode(gOsndStreams.decodeLock);
  SystemLockGuard guard(Osnd_MixerLock());
  OsndListNode *head = Songs();
  for (OsndListNode *n = head->next; n != head; n = n->next) {
    MusicSong *song = SongFromLink(n);
    if (Music_IsLoaded(song)) Music_StopPlaying(song);
  }
}

void Music_ReleaseSample(OSND_SAMPLE *sample) {
  if (!sample) return;
  SystemLockGuard guard(Osnd_MixerLock());
  OsndListNode *head = Songs();
  for (OsndListNode *n = head->next; n != head; n = n->next) {
    MusicSong *song = SongFromLink(n);
    // A song still loading on the open thread owns its samples alone.
    if (!Music_IsLoaded(song) || !song->samples) continue;
    for (int i = 0; i < song->sampleCount; ++i)
      if (song->samples[i] == sample) song->samples[i] = nullptr;
  }
  // A retrigger starts the voice's last sample again.
  for (MusicVoice &v : gVoices)
    if (v.sampleToPlay == sample) v.sampleToPlay = nullptr;
}

void Music_ReapplyTempo() {
  OsndListNode *head = Songs();
  for (OsndListNode *n = head->next; n != head; n = n->next) {
    MusicSong *song = SongFromLink(n);
    if (song->tempo > 0) Music_SetTempo(song, song->tempo);
  }
}

int Music_SetLooping(MusicSong *song, bool looping) {
  SongCall call(song);
  if (!call.Loaded()) return -1;
  song->looping = looping ? 1 : 0;
  return 1;
}

void Music_SetTempo(MusicSong *song, int bpm) {
  if (!song) return;
  if (bpm < 1) bpm = 1;
  song->tempo = bpm;
  const double hz = double(bpm) * 2.0 / 5.0 * double(song->speedMultiplier);
  if (hz < 0.01) return;
  song->samplesPerTick = int(std::lround(double(gOsnd.mixRate) / hz));
}

bool Music_SetCallback(MusicSong *song, int type, int number, MusicCallbackFunction function, int step) {
  SongCall call(song);
  if (!call) return false;
  MusicCallback **slot = nullptr;
  switch (type) {
    case MUSIC_CALLBACK_ROW: slot = &song->rowCallback; break;
    case MUSIC_CALLBACK_ORDER: slot = &song->orderCallback; break;
    case MUSIC_CALLBACK_ZXX: slot = &song->zxxCallback; break;
    case MUSIC_CALLBACK_INSTRUMENT:
      if (number < 0 || number > 255) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
      slot = &song->instrumentCallbacks[number];
      break;
    default: return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  }
  SystemLockGuard guard(Osnd_MixerLock());
  if (!function) {
    FreeCallback(*slot);
    return true;
  }
  if (!*slot) {
    *slot = static_cast<MusicCallback *>(OSND_ALLOC(int(sizeof(MusicCallback))));
    if (!*slot) return false;
    std::memset(*slot, 0, sizeof(MusicCallback));
    for (MusicCallbackEntry &e : (*slot)->ring) e.due = -1.0f;
  }
  (*slot)->function = function;
  if (type == MUSIC_CALLBACK_INSTRUMENT) song->instrumentCallbackSet = true;
  (*slot)->step = step < 1 ? 1 : step;
  return true;
}

void Music_QueueCallback(MusicSong *song, int type, int parameter) {
  if (!song) return;
  MusicCallback *cb = nullptr;
  switch (type) {
    case MUSIC_CALLBACK_ROW:
      cb = song->rowCallback;
      if (cb && song->row % cb->step != 0) return;
      break;
    case MUSIC_CALLBACK_ORDER:
      cb = song->orderCallback;
      if (cb && song->order % cb->step != 0) return;
      break;
    case MUSIC_CALLBACK_ZXX: cb = song->zxxCallback; break;
    case MUSIC_CALLBACK_INSTRUMENT:
      if (parameter >= 0 && parameter < 256) cb = song->instrumentCallbacks[parameter];
      break;
    default: return;
  }
  if (!cb || !cb->function) return;
  if (gOsnd.initFlags & 0x80u) {
    cb->function(song, parameter);
    return;
  }
  // Due when the row is heard: one output buffer later than it is mixed.
  MusicCallbackEntry &e = cb->ring[cb->write];
  // A full ring overwrites its oldest entry, which is then no longer the next to fire.
  if (cb->write == cb->read && e.due >= 0.0f) cb->read = (cb->read + 1) % MUSIC_CALLBACK_RING;
  e.parameter = uint8_t(parameter);
  e.due = float(gOsnd.bufferLengthMs) + song->clock - gOsnd.blockLengthMsF;
  cb->write = (cb->write + 1) % MUSIC_CALLBACK_RING;
}

bool Music_ReadWholeFile(SystemFileHandle *file, std::vector<uint8_t> &out, int minimum) {
  if (SystemFile_Seek(file, 0, SEEK_END) < 0) return false;
  const int64_t size = SystemFile_Tell(file);
  if (size < minimum || size > INT32_MAX) return false;
  out.resize(size_t(size));
  SystemFile_Seek(file, 0, SEEK_SET);
  const int got = SystemFile_Read(out.data(), 1, int(size), file);
  if (got < minimum) return false;
  out.resize(size_t(got));
  return true;
}

bool Music_AllocPatterns(MusicSong *song, int count) {
  if (count < 1) count = 1;
  song->patterns = static_cast<MusicPattern *>(OSND_ALLOC(count * int(sizeof(MusicPattern))));
  if (!song->patterns) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  std::memset(song->patterns, 0, size_t(count) * sizeof(MusicPattern));
  song->patternsAllocated = count;
  return true;
}

bool Music_AllocPattern(MusicSong *song, int index, int rows) {
  if (index < 0 || index >= song->patternsAllocated || rows < 1 || song->channelCount < 1) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  MusicPattern &p = song->patterns[index];
  OSND_FREE_MEM(p.cells);
  const int cells = rows * song->channelCount;
  p.cells = static_cast<MusicNote *>(OSND_ALLOC(cells * int(sizeof(MusicNote))));
  if (!p.cells) {
    p.rows = 0;
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  std::memset(p.cells, 0, size_t(cells) * sizeof(MusicNote));
  p.rows = rows;
  return true;
}

void Music_EmptyPattern(MusicSong *song, int index, int rows) {
  if (index < 0 || index >= song->patternsAllocated) return;
  OSND_FREE_MEM(song->patterns[index].cells);
  song->patterns[index].cells = nullptr;
  song->patterns[index].rows = rows;
}

bool Music_AllocChannels(MusicSong *song, int count) {
  song->songChannels = static_cast<MusicChannel *>(OSND_ALLOC(count * int(sizeof(MusicChannel))));
  if (!song->songChannels) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  std::memset(song->songChannels, 0, size_t(count) * sizeof(MusicChannel));
  for (int i = 0; i < count; ++i) {
    OsndList_Init(&song->songChannels[i].voices);
    song->songChannels[i].defaultPan = i < MUSIC_PAN_CHANNELS ? song->defaultPan[i] : 128;
  }
  song->channelCount = count;
  return true;
}

MusicVoice *Music_AllocVoice(MusicSong *song, MusicChannel *channel, OSND_SAMPLE *) {
  if (!song || !channel) return nullptr;
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = TakeFreeChannel();
  if (!c) return nullptr;
  MusicVoice *v = &gVoices[c->index];
  std::memset(v, 0, sizeof(MusicVoice));
  v->channel = c;
  v->index = c->index;
  v->handle = c->index;
  OsndList_InsertBefore(channel->voices.next, &v->link);
  OSND_SetReserved(c->index, true);
  AttachToSong(song, c);
  ResetVoice(v);
  return v;
}

MusicVoice *Music_FreeVoice(MusicVoice *voice) {
  if (!voice || voice == &gDummyVoice) return voice;
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = voice->channel;
  if (c && gOsnd.channels && c->ops.isPlaying(c)) return voice;
  if (c && gOsnd.channels) {
    c->flags &= ~(OSND_CHANFLAG_RESERVED | OSND_CHANFLAG_KEEPLIST);
    SoundSoftware_AppendIdle(c);
  }
  voice->flags = 0;
  MusicVoice *before = MusicVoice_FromLink(voice->link.prev);
  OsndList_Unlink(&voice->link);
  voice->channel = nullptr;
  return before;
}

OSND_SAMPLE *Music_InvalidSample() {
  if (!gInvalidSample.name[0]) {
    SystemString_CopyN(gInvalidSample.name, "Invalid Sample", 255);
    gInvalidSample.defFrequency = 8363;
    gInvalidSample.index = -2;
  }
  return &gInvalidSample;
}

MusicVoice *Music_DummyVoice() {
  if (!gDummyVoice.link.next) OsndList_Init(&gDummyVoice.link);
  gDummyVoice.channel = nullptr;
  gDummyVoice.index = -1;
  return &gDummyVoice;
}

MusicVoice *Music_FirstVoice(MusicChannel *channel) {
  if (channel->voices.next && channel->voices.next != &channel->voices)
    return MusicVoice_FromLink(channel->voices.next);
  return Music_DummyVoice();
}

OSND_SAMPLE *Music_ChannelSample(MusicSong *song, const MusicChannel *channel) {
  if (channel->instrument < song->sampleCount && song->samples[channel->instrument])
    return song->samples[channel->instrument];
  return Music_InvalidSample();
}

MusicVoice *Music_BeginRow(MusicSong *song, MusicChannel *channel, const MusicNote &cell, int tremoloEffect) {
  if (cell.instrument > 0) {
    channel->instrument = uint8_t(cell.instrument - 1);
    Music_QueueCallback(song, MUSIC_CALLBACK_INSTRUMENT, cell.instrument);
  }
  MusicVoice *v = Music_FirstVoice(channel);
  channel->keptVolume = v->volume;
  channel->keptPeriod = v->period;
  if (channel->previousEffect == tremoloEffect && cell.effect != tremoloEffect)
    v->volume = std::clamp(v->volume + v->volumeDelta, 0, 64);
  channel->previousEffect = cell.effect;
  v->volumeDelta = 0;
  v->flags = 0;
  return v;
}

MusicVoice *Music_VoiceForNote(MusicSong *song, MusicChannel *channel, MusicVoice *voice, OSND_SAMPLE *sample) {
  if (voice != Music_DummyVoice()) return voice;
  MusicVoice *fresh = Music_AllocVoice(song, channel, sample);
  MusicVoice *v = fresh ? fresh : Music_DummyVoice();
  v->volumeDelta = 0;
  v->flags = 0;
  return v;
}

namespace {

int ModVolume(MusicSong *song, const MusicChannel *, const MusicVoice *v) {
  const int volume = std::clamp(v->volume + v->volumeDelta, 0, 64);
  const int global = std::clamp(song->globalVolume, 0, 64);
  return (volume * song->masterVolume * global) >> 13;
}

int ModPan(MusicSong *, const MusicChannel *, const MusicVoice *v) { return v->pan; }

int ModFrequency(MusicSong *, const MusicChannel *, const MusicVoice *v) { return Music_PeriodToFrequency(v->period + v->periodDelta); }

const MusicVoiceLaw kModLaw{ModVolume, ModPan, ModFrequency};

}  // namespace

void Music_ApplyVoices(MusicSong *song, MusicChannel *channel, const MusicVoiceLaw *law) {
  if (!law) law = &kModLaw;
  for (OsndListNode *n = channel->voices.next; n && n != &channel->voices; n = n->next) {
    MusicVoice *v = MusicVoice_FromLink(n);
    if (!v->channel) continue;
    if (v->period + v->periodDelta == 0) v->flags &= ~MUSIC_FLAG_FREQUENCY;
    if (v->volume + v->volumeDelta < song->thinningVolume && OSND_GetChannelsPlaying() > song->thinningCount)
      v->flags = MUSIC_FLAG_STOP;
    if (v->flags & MUSIC_FLAG_TRIGGER) {
      OSND_SAMPLE *s = v->sampleToPlay;
      // A sample without data (an empty slot, the invalid sample) silences the voice.
      if (!s || !s->data || s->length == 0) {
        v->flags = MUSIC_FLAG_STOP;
      } else {
        AttachToSong(song, v->channel);
        const int handle = OSND_PlaySound(v->index, s);
        if (handle >= 0) v->handle = handle;
      }
    }
    if (v->flags & MUSIC_FLAG_VOLUME) OSND_SetVolumeAbsolute(v->handle, std::clamp(law->volume(song, channel, v), 0, 255));
    if (v->flags & MUSIC_FLAG_PAN) {
      const float pan = (float(law->pan(song, channel, v)) - 128.0f) * song->panSeparation + 128.0f;
      Osnd_SetPanUnscaled(v->handle, std::clamp(int(std::lround(pan)), 0, 255));
    }
    // A started sound takes its sample's default rate; the voice's period
    // must follow it, or a retrigger would play at the wrong pitch.
    if ((v->flags & MUSIC_FLAG_TRIGGER) && v->period + v->periodDelta > 0) v->flags |= MUSIC_FLAG_FREQUENCY;
    if (v->flags & MUSIC_FLAG_FREQUENCY) OSND_SetFrequency(v->handle, law->frequency(song, channel, v));
    if (v->flags & MUSIC_FLAG_STOP) {
      OSND_StopSound(v->handle);
      v->channel->startOffset = 0;
      AttachToSong(song, v->channel);  // the voice keeps its engine channel
    }
  }
}

void Music_RowTick(MusicSong *song, int rowsPerPattern, MusicRowFunction rowUpdate) {
  if (song->nextOrder >= 0) {
    song->order = std::clamp(song->nextOrder, 0, MUSIC_ORDERS - 1);
    song->nextOrder = -1;
    Music_QueueCallback(song, MUSIC_CALLBACK_ORDER, song->order);
  }
  if (song->nextRow >= 0) {
    song->row = song->nextRow;
    song->nextRow = -1;
    Music_QueueCallback(song, MUSIC_CALLBACK_ROW, song->row);
  }
  song->jumped = false;
  rowUpdate(song);
  Music_NextPosition(song, rowsPerPattern > 0 ? rowsPerPattern : Music_PatternRows(song, song->order));
}

int Music_PatternRows(const MusicSong *song, int order) {
  const int pattern = song->orders[std::clamp(order, 0, MUSIC_ORDERS - 1)];
  return pattern < song->patternsAllocated && song->patterns[pattern].rows > 0 ? song->patterns[pattern].rows : 64;
}

void Music_NextPosition(MusicSong *song, int rowsInPattern) {
  if (song->nextRow < 0) {
    song->nextRow = song->row + 1;
    if (song->nextRow >= rowsInPattern) {
      if (song->nextOrder < 0) song->nextOrder = song->order + 1;
      song->nextRow = 0;
    }
  }
  if (song->nextOrder >= song->orderCount) {
    song->nextOrder = song->restartOrder;
    song->finished = 1;
  }
}

void Music_CommonTick(MusicSong *song, int rowsPerPattern, MusicRowFunction rowUpdate,
                      MusicRowFunction tickEffects) {
  if (song->tick != 0) {
    tickEffects(song);
  } else if (!song->finished || song->looping) {
    Music_RowTick(song, rowsPerPattern, rowUpdate);
  } else {
    Music_StopPlaying(song);
    return;
  }
  if (song->speed != 0) {
    if (++song->tick >= song->speed + song->patternDelay) {
      song->tick = 0;
      song->patternDelay = 0;
    }
  } else {
    song->finished = 1;
    song->tick = -1;
  }
}

void Music_TickEffects(MusicSong *song, MusicTickEffect effect) {
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    MusicVoice *v = Music_FirstVoice(ch);
    v->volumeDelta = 0;
    v->periodDelta = 0;
    v->flags = 0;
    effect(song, ch, v, *Music_CurrentCell(song, c));
    Music_ApplyVoices(song, ch);
  }
}

void Music_PositionJump(MusicSong *song, int order) {
  song->nextOrder = order;
  song->nextRow = 0;
  song->jumped = true;
  if (song->nextOrder >= song->orderCount) {
    song->nextOrder = 0;
    song->finished = 1;
  }
}

void Music_PatternBreak(MusicSong *song, int parameter) {
  song->nextRow = (parameter >> 4) * 10 + (parameter & 15);
  if (song->nextRow > 63) song->nextRow = 0;
  if (!song->jumped) song->nextOrder = song->order + 1;
  if (song->nextOrder >= song->orderCount) {
    song->finished = 1;
    song->nextOrder = 0;
  }
}

void Music_PatternLoop(MusicSong *song, MusicChannel *channel, int y) {
  if (y == 0) {
    channel->loopRow = song->row;
  } else if (channel->loopCounter > 0) {
    if (--channel->loopCounter > 0) song->nextRow = channel->loopRow;
  } else {
    channel->loopCounter = y;
    song->nextRow = channel->loopRow;
  }
}

// The music DSP unit: steps every playing song tick by tick and mixes its
// engine channels between the ticks.
void *OsndDsp_MusicUnitProc(void *, void *buffer, int length, void *) {
  OsndMixer *m = gOsnd.mixer;
  if (!m || !buffer || length <= 0) return buffer;
  SystemLockGuard guard(m->lock);
  const size_t frameBytes = size_t(m->bits / 8) * size_t(m->channels);
  const float msPerSample = 1000.0f / float(gOsnd.mixRate > 0 ? gOsnd.mixRate : 44100);
  OsndListNode *head = Songs();
  for (OsndListNode *n = head->next; n != head; n = n->next) {
    MusicSong *song = SongFromLink(n);
    // A song whose free has begun is silent at once and makes no callback,
    // though its release waits for the last party that holds it.
    if (!song->playing || song->paused || song->speedMultiplier == 0.0f || !song->tickCallback ||
        OsndLifetime_Closing(&song->life))
      continue;
    FireAllDue(song);
    int done = 0;
    while (done < length) {
      if (song->samplesLeft <= 0) {
        if (song->playing) song->tickCallback(song);
        song->samplesLeft = std::max(1, song->samplesPerTick);
      }
      const int count = std::min(song->samplesLeft, length - done);
      if (!OsndList_IsEmpty(&song->channels))
        m->mix(static_cast<uint8_t *>(buffer) + size_t(done) * frameBytes, &song->channels, count, 0);
      song->samplesLeft -= count;
      song->clock += float(count) * msPerSample;
      done += count;
    }
  }
  return buffer;
}
