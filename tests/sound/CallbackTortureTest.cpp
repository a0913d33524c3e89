// Random engine calls from application threads and from inside every kind of
// engine callback (open-complete, song-loaded, end, sync, metadata, DSP),
// with the engine closed and started again now and then, on either no-sound
// output. Callbacks make the calls their thread allows and, now and then, one
// it refuses; whatever breaks a callback rule is counted and reported at the
// end, and a hang aborts the process with what each thread was doing.
// QMV_TORTURE_SEED and QMV_TORTURE_MS replay a run.
#include "HttpTestServerSupport.h"
#include "MpegFrameSupport.h"
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_memory.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// The refusal code of calls a callback may not make; older headers lack it.
// Qualified lookup finds the header's own enumerator first when it has one.
namespace torture_fallback {
enum { OSND_ERR_CALLBACK = 21 };
}
using namespace torture_fallback;

namespace {

constexpr int kErrCallback = ::OSND_ERR_CALLBACK;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum Where { kApp, kCallbackThread, kStreamer, kMixer };
enum Fired { kOpenDone, kSongDone, kEnd, kSync, kMeta, kDsp, kFiredKinds };
const char *const kFiredNames[] = {"open-complete", "song-loaded", "end", "sync", "metadata", "dsp"};
enum Kind { kStream, kSample, kUnit, kSong };
enum Op {
  kOpenLocal, kOpenBackground, kOpenStation, kPlay, kStop, kSeek, kClose, kHooks, kSampleAlloc, kSamplePlay,
  kSampleStop, kSampleFree, kUnitCreate, kUnitFree, kUnitTweak, kSongLoad, kSongFree, kUpdate, kOps
};
const char *const kOpNames[] = {"open local", "open background", "open station", "stream play", "stream stop",
                                "stream seek", "stream close", "stream callbacks", "sample alloc", "sample play",
                                "sample stop", "sample free", "dsp create", "dsp free", "dsp tweak", "song load",
                                "song free", "update"};

struct Obj {
  Kind kind;
  void *p = nullptr;
  int id = 0;
  bool busy = false, station = false;
  int channel = -1;
};

struct Slot {  // an application thread as the watchdog sees it
  std::atomic<const char *> doing{"idle"};
  std::atomic<int64_t> progressMs{0}, calls{0};
  std::atomic<bool> watched{false};
};

int64_t NowMs() { return std::chrono::duration_cast<milliseconds>(Clock::now().time_since_epoch()).count(); }

thread_local bool tApp = false, tInUpdate = false;

struct Torture {
  unsigned seed = 0;
  bool realtime = true;
  std::string shortRaw, longRaw, plainUrl, icyUrl, slowUrl;
  std::vector<uint8_t> bank;
  std::vector<int16_t> level = std::vector<int16_t>(2048, 6000);
  // Ordinary application calls take it shared, a restart exclusively.
  std::shared_mutex appLock;
  std::atomic<bool> restartPending{false}, stop{false};
  // The registry of live objects; never held across an engine call.
  std::mutex lock;
  std::vector<Obj> objs;
  std::unordered_map<int, Clock::time_point> goneIds;
  std::unordered_map<void *, Clock::time_point> gonePtrs;
  unsigned gen = 0;  // odd while the engine closes and starts again
  int nextId = 1;
  bool songsFrozen = false;
  std::atomic<int> violations{0}, restarts{0}, refusals{0}, onCallbackThread{0}, rngSerial{0};
  std::atomic<long> fired[kFiredKinds] = {};
  std::atomic<long> opsIn[4] = {};
  Slot slots[5];  // 0..3 threads, 4 the final close
  std::atomic<const char *> callbackDoing[4] = {"-", "-", "-", "-"};
};
Torture *gT = nullptr;

// Each thread draws from its own generator, seeded from the run's seed.
std::mt19937 &Rng() {
  thread_local std::mt19937 rng;
  thread_local const Torture *seededFor = nullptr;
  if (seededFor != gT) {
    rng.seed(gT->seed * 7919u + unsigned(++gT->rngSerial));
    seededFor = gT;
  }
  return rng;
}
int Pick(int n) { return int(Rng()() % unsigned(n)); }

void Violation(const std::string &what) {
  if (++gT->violations <= 20) std::fprintf(stderr, "[torture seed %u] violation: %s\n", gT->seed, what.c_str());
}

// Registry. A creator reads the generation before it makes an object and adds
// it with that generation: one made across a restart is dropped, since the
// engine it came from freed it (or will).
// Objects are not made while the engine restarts.
bool Creatable(unsigned *gen, int *id) {
  std::lock_guard<std::mutex> g(gT->lock);
  *gen = gT->gen;
  *id = gT->nextId++;
  return !(gT->gen & 1);
}
bool Add(Obj o, unsigned madeGen) {
  std::lock_guard<std::mutex> g(gT->lock);
  if (o.kind != kSong && madeGen != gT->gen) return false;
  o.busy = true;  // the creator's until it puts it back
  gT->gonePtrs.erase(o.p);
  gT->objs.push_back(o);
  return true;
}
bool Take(Kind kind, Obj *out, void *p = nullptr, int id = 0) {
  std::lock_guard<std::mutex> g(gT->lock);
  if (kind == kSong && gT->songsFrozen) return false;
  std::vector<size_t> free;
  for (size_t i = 0; i < gT->objs.size(); ++i) {
    const Obj &o = gT->objs[i];
    if (o.kind == kind && !o.busy && (!p || o.p == p) && (!id || o.id == id)) free.push_back(i);
  }
  if (free.empty()) return false;
  Obj &o = gT->objs[free[size_t(Pick(int(free.size())))]];
  o.busy = true;
  *out = o;
  return true;
}
// Takes the object a callback is about (half the time), else any of the kind.
bool TakeOwnOrAny(Kind kind, Obj *out, void *ownP, int ownId) {
  return ((ownP || ownId) && Pick(2) && Take(kind, out, ownP, ownId)) || Take(kind, out);
}
void Put(const Obj &o, bool gone) {
  std::lock_guard<std::mutex> g(gT->lock);
  for (size_t i = 0; i < gT->objs.size(); ++i) {
    if (gT->objs[i].id != o.id) continue;
    if (gone) {
      gT->goneIds[o.id] = Clock::now();
      if (o.kind == kStream || o.kind == kSong) gT->gonePtrs[o.p] = Clock::now();
      gT->objs.erase(gT->objs.begin() + long(i));
    } else {
      gT->objs[i].busy = false;
      gT->objs[i].channel = o.channel;
    }
    return;  // not found: dropped by a restart
  }
}
// A callback of an object closed or freed before it: strictly for DSP units
// (freed under the mixer's lock), else once the close is well past, since a
// callback may have begun just before the close returned.
void CheckNotGone(int id, void *p, bool strict, const char *kind) {
  std::lock_guard<std::mutex> g(gT->lock);
  const auto late = [&](Clock::time_point when) { return strict || Clock::now() - when > milliseconds(500); };
  const auto byId = gT->goneIds.find(id);
  const auto byPtr = gT->gonePtrs.find(p);
  if ((id && byId != gT->goneIds.end() && late(byId->second)) || (p && byPtr != gT->gonePtrs.end() && late(byPtr->second)))
    Violation(std::string(kind) + " callback of an object already closed or freed");
}

void OnCallback(Fired fired, Where where, int id, void *p) {
  ++gT->fired[fired];
  gT->callbackDoing[where] = kFiredNames[fired];
  const bool right = where == kCallbackThread ? !tApp && !tInUpdate : gT->realtime ? !tApp : tInUpdate;
  if (!right)
    Violation(std::string(kFiredNames[fired]) + " callback " +
              (tApp ? (tInUpdate ? "inside OSND_Update" : "on an application thread outside OSND_Update")
                    : "on an engine thread"));
  CheckNotGone(id, p, fired == kDsp, kFiredNames[fired]);
}

bool EndCb(OSND_STREAM *, void *, int, void *user);
bool SyncCb(OSND_STREAM *, void *, int, void *user);
bool MetaCb(char *, char *, void *user);
void *DspCb(void *, void *buffer, int, void *user);
bool OpenDoneCb(OSND_STREAM *s, void *, int, void *);
void SongDoneCb(MusicSong *song, int);
void StartRepeater();

void SetHooks(OSND_STREAM *s, int id, bool station) {
  void *user = reinterpret_cast<void *>(intptr_t(id));
  OsndStream_SetEndCallback(s, EndCb, user);
  OsndStream_SetSyncCallback(s, SyncCb, user);
  OSND_Stream_AddSyncPoint(s, unsigned(Pick(2500)), "torture");
  if (station) OSND_Stream_Net_SetMetadataCallback(s, MetaCb, user);
}

void OpenStream(Op op, Where where) {
  unsigned gen;
  int id;
  if (!Creatable(&gen, &id)) return;
  // Stations open blocking from application threads only: a slow one would
  // hold a callback's thread for its whole answer.
  const int source = op == kOpenLocal ? Pick(2) : op == kOpenStation && where == kApp ? 2 + Pick(2) : Pick(5);
  const bool station = source >= 2;
  const std::string &name = source == 0 ? gT->shortRaw : source == 1 ? gT->longRaw
                          : source == 2 ? gT->plainUrl : source == 3 ? gT->icyUrl : gT->slowUrl;
  unsigned mode = station ? 0 : OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO;
  if (source == 1 && Pick(4) == 0) mode |= OSND_MODE_LOOP_NORMAL;
  if (op == kOpenBackground || (station && where != kApp)) mode |= OSND_MODE_NONBLOCKING;
  OSND_STREAM *s = OSND_Stream_Open(name.c_str(), mode, 0, 0);
  if (!s) return;
  Obj o{kStream, s, id, false, station};
  if (!Add(o, gen)) return;
  if (mode & OSND_MODE_NONBLOCKING) {
    OsndStream_SetOpenCallback(s, OpenDoneCb);
  } else {
    SetHooks(s, o.id, station);
    if (Pick(2)) OSND_Stream_Play(OSND_FREE, s);
  }
  Put(o, false);
}

void StreamOp(Op op, void *ownP, int ownId) {
  Obj o{kStream};
  if (!TakeOwnOrAny(kStream, &o, ownP, ownId)) return;
  auto *s = static_cast<OSND_STREAM *>(o.p);
  bool gone = false;
  if (op == kClose) {
    gone = OSND_Stream_Close(s);  // refused for a local file still opening: it stays
  } else if (OsndStream_IsReady(s)) {
    if (op == kPlay) OSND_Stream_Play(OSND_FREE, s);
    if (op == kStop) OSND_Stream_Stop(s);
    if (op == kSeek) OSND_Stream_SetPosition(s, unsigned(Pick(8000)) * 4);
    if (op == kHooks) SetHooks(s, o.id, o.station);
  }
  Put(o, gone);
}

void SampleOp(Op op) {
  Obj o{kSample};
  unsigned gen;
  if (op == kSampleAlloc && Creatable(&gen, &o.id)) {
    const unsigned loop = Pick(3) ? OSND_MODE_LOOP_OFF : OSND_MODE_LOOP_NORMAL;
    o.p = OSND_Sample_Alloc(-1, int(gT->level.size()), OSND_MODE_16BITS | loop, 44100, 255, 128, 255);
    if (o.p) OSND_Sample_Upload(static_cast<OSND_SAMPLE *>(o.p), gT->level.data(), OSND_MODE_16BITS);
    if (o.p && Add(o, gen)) Put(o, false);
  }
  if (op == kSampleAlloc) return;
  if (!Take(kSample, &o)) return;
  auto *s = static_cast<OSND_SAMPLE *>(o.p);
  if (op == kSamplePlay) {
    o.channel = OSND_PlaySound(OSND_FREE, s);
    OSND_SetVolume(o.channel, Pick(256));
    OSND_SetFrequency(o.channel, 11025 + Pick(44100));
    OSND_SetPan(o.channel, Pick(256));
  }
  if (op == kSampleStop && o.channel >= 0) OSND_StopSound(o.channel);
  if (op == kSampleFree) OSND_Sample_Free(s);
  Put(o, op == kSampleFree);
}

void UnitOp(Op op, int ownId) {
  Obj o{kUnit};
  unsigned gen;
  if (op == kUnitCreate && Creatable(&gen, &o.id)) {
    o.p = OSND_DSP_Create(DspCb, Pick(1000), reinterpret_cast<void *>(intptr_t(o.id)));
    if (o.p) OSND_DSP_SetActive(static_cast<OSND_DSPUNIT *>(o.p), true);
    if (o.p && Add(o, gen)) Put(o, false);
  }
  if (op == kUnitCreate) return;
  if (!TakeOwnOrAny(kUnit, &o, nullptr, ownId)) return;
  auto *u = static_cast<OSND_DSPUNIT *>(o.p);
  if (op == kUnitFree) OSND_DSP_Free(u);
  if (op == kUnitTweak && Pick(2)) OSND_DSP_SetActive(u, Pick(4) != 0);
  if (op == kUnitTweak) OSND_DSP_SetPriority(u, Pick(1000));
  Put(o, op == kUnitFree);
}

void SongOp(Op op, void *own) {
  Obj o{kSong};
  unsigned gen;
  if (op == kSongLoad) {
    MusicSong *song = Creatable(&gen, &o.id) ? Music_CreateSong() : nullptr;
    if (!song) return;
    song->loadDone = SongDoneCb;
    o.p = song;
    Add(o, gen);
    Music_LoadSong(song, reinterpret_cast<const char *>(gT->bank.data()), OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING,
                   0, int(gT->bank.size()), nullptr, 0);
    Put(o, false);
    return;
  }
  if (!TakeOwnOrAny(kSong, &o, own, 0)) return;
  Music_FreeSong(static_cast<MusicSong *>(o.p));
  Put(o, true);
}

// Frees every song (they outlive the engine), waiting a while for those a
// callback holds; false, with none freed, when one is still held.
bool FreeAllSongs() {
  std::vector<void *> songs;
  for (int waited = 0;; ++waited) {
    std::lock_guard<std::mutex> g(gT->lock);
    gT->songsFrozen = true;
    bool busy = false;
    for (const Obj &o : gT->objs) busy |= o.kind == kSong && o.busy;
    if (!busy) {
      for (size_t i = gT->objs.size(); i-- > 0;) {
        if (gT->objs[i].kind != kSong) continue;
        songs.push_back(gT->objs[i].p);
        gT->gonePtrs[gT->objs[i].p] = Clock::now();
        gT->objs.erase(gT->objs.begin() + long(i));
      }
      break;
    }
    if (waited == 2000) {
      gT->songsFrozen = false;
      return false;
    }
    std::this_thread::sleep_for(milliseconds(1));  // outside the lock: the guard ends first
  }
  for (void *song : songs) Music_FreeSong(static_cast<MusicSong *>(song));
  return true;
}

// Forgets every engine object; they are gone once the close has returned.
void ForgetEngineObjects(std::vector<Obj> *into) {
  std::lock_guard<std::mutex> g(gT->lock);
  ++gT->gen;
  for (size_t i = gT->objs.size(); i-- > 0;) {
    if (gT->objs[i].kind == kSong) continue;
    if (into) into->push_back(gT->objs[i]);
    gT->objs.erase(gT->objs.begin() + long(i));
  }
}

// The caller holds the application lock exclusively.
void Restart() {
  if (!FreeAllSongs()) return;
  std::vector<Obj> old;
  ForgetEngineObjects(&old);
  OSND_Close();
  {
    std::lock_guard<std::mutex> g(gT->lock);
    for (const Obj &o : old) {
      gT->goneIds[o.id] = Clock::now();
      if (o.kind == kStream) gT->gonePtrs[o.p] = Clock::now();
    }
  }
  const bool started = OSND_Init(44100, 32, 0);
  if (started) StartRepeater();
  ForgetEngineObjects(nullptr);  // whatever was made while it restarted
  {
    std::lock_guard<std::mutex> g(gT->lock);
    gT->songsFrozen = false;
  }
  ++gT->restarts;
  if (!started) Violation("OSND_Init failed on a restart, error " + std::to_string(OSND_GetError()));
}

// A callback restarts only if no application thread is inside the engine:
// waiting for the lock could wait for the application thread that waits for
// this callback.
void TryRestartFromCallback() {
  bool expected = false;
  if (gT->stop || !gT->restartPending.compare_exchange_strong(expected, true)) return;
  for (int tries = 0; tries < 20; ++tries) {
    if (gT->appLock.try_lock()) {
      Restart();
      gT->appLock.unlock();
      break;
    }
    std::this_thread::sleep_for(milliseconds(1));
  }
  gT->restartPending = false;
}

// A call the callback's thread may not make: it fails at once with the
// callback error and changes nothing.
void Forbidden(Where where) {
  const int pick = Pick(where == kMixer ? 5 : 3);
  gOsndError.lastError.ClearOwn();
  bool refused = true;
  const char *what = "OSND_Update";
  if (pick == 0) {
    what = "OSND_Init";
    refused = !OSND_Init(44100, 32, 0);
  } else if (pick == 1) {
    what = "OSND_Close";
    OSND_Close();  // refused: the code says so (a close that ran clears it)
  } else if (pick == 2) {
    OSND_Update();
  } else if (pick == 3) {
    what = "OSND_Stream_Open";
    refused = !OSND_Stream_Open(gT->shortRaw.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0);
  } else {
    what = "OSND_Stream_Stop";
    Obj o{kStream};
    if (!Take(kStream, &o)) return;
    const bool ready = OsndStream_IsReady(static_cast<OSND_STREAM *>(o.p));
    refused = !OSND_Stream_Stop(static_cast<OSND_STREAM *>(o.p)) || !ready;
    Put(o, false);
    if (!ready) return;
  }
  const int code = gOsndError.lastError.load();
  ++gT->refusals;
  if (!refused || code != kErrCallback)
    Violation(std::string(what) + (where == kMixer ? " in a DSP callback" : " in a streamer callback") +
              (refused ? " failed with error " + std::to_string(code) : " was not refused"));
}

void RandomOp(Where where, void *ownP, int ownId, Op op) {
  static const std::vector<Op> kMixerOps = {kSamplePlay, kSampleStop, kSampleFree, kUnitCreate, kUnitFree, kUnitTweak};
  if (where == kMixer) op = kMixerOps[size_t(Pick(int(kMixerOps.size())))];
  if (where != kApp && (op == kSongLoad || op == kUpdate)) op = kOpenBackground;
  // Played in real time, a stream reaches its end only if it is left alone
  // for a few hundred milliseconds.
  if (gT->realtime && (op == kStop || op == kSeek || op == kClose) && Pick(8)) op = kPlay;
  ++gT->opsIn[where];
  switch (op) {
    case kOpenLocal: case kOpenBackground: case kOpenStation: OpenStream(op, where); break;
    case kPlay: case kStop: case kSeek: case kClose: case kHooks: StreamOp(op, ownP, ownId); break;
    case kSampleAlloc: case kSamplePlay: case kSampleStop: case kSampleFree: SampleOp(op); break;
    case kUnitCreate: case kUnitFree: case kUnitTweak: UnitOp(op, where == kMixer ? ownId : 0); break;
    case kSongLoad: case kSongFree: SongOp(op, ownP); break;
    case kUpdate:
      tInUpdate = true;
      OSND_Update();
      tInUpdate = false;
      break;
    case kOps: break;
  }
}

void CallbackCalls(Where where, void *ownP, int ownId) {
  for (int n = Pick(3); n > 0; --n) RandomOp(where, ownP, ownId, Op(Pick(kOps)));
  if ((where == kStreamer || where == kMixer) && Pick(8) == 0) Forbidden(where);
}

bool StreamerCallback(Fired kind, void *user) {
  const int id = int(intptr_t(user));
  OnCallback(kind, kStreamer, id, nullptr);
  CallbackCalls(kStreamer, nullptr, id);
  gT->callbackDoing[kStreamer] = "-";
  return true;
}
bool EndCb(OSND_STREAM *, void *, int, void *user) { return StreamerCallback(kEnd, user); }
// A short stream outside the registry that plays again from its own end
// callback, so that ends come however busy the other threads keep theirs.
bool RepeatCb(OSND_STREAM *s, void *, int, void *) {
  StreamerCallback(kEnd, nullptr);
  OSND_Stream_Play(OSND_FREE, s);
  return true;
}
void StartRepeater() {
  OSND_STREAM *s = OSND_Stream_Open(gT->shortRaw.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0);
  if (!s) return;
  OsndStream_SetEndCallback(s, RepeatCb, nullptr);
  OSND_Stream_Play(OSND_FREE, s);
}
bool SyncCb(OSND_STREAM *, void *, int, void *user) { return StreamerCallback(kSync, user); }
bool MetaCb(char *, char *, void *user) { return StreamerCallback(kMeta, user); }

void *DspCb(void *, void *buffer, int, void *user) {
  const int id = int(intptr_t(user));
  OnCallback(kDsp, kMixer, id, nullptr);
  if (Pick(4) == 0) CallbackCalls(kMixer, nullptr, id);
  gT->callbackDoing[kMixer] = "-";
  return buffer;
}

// Open-complete and song-loaded callbacks share one thread, one at a time.
void CallbackThreadCalls(Fired kind, void *own) {
  OnCallback(kind, kCallbackThread, 0, own);
  if (gT->onCallbackThread.fetch_add(1) > 0) Violation("open-complete or song-loaded callbacks overlap");
  if (kind == kOpenDone && Pick(2)) {
    Obj o{kStream};
    if (Take(kStream, &o, own) && OsndStream_IsReady(static_cast<OSND_STREAM *>(own))) {
      SetHooks(static_cast<OSND_STREAM *>(own), o.id, o.station);
      OSND_Stream_Play(OSND_FREE, static_cast<OSND_STREAM *>(own));
    }
    if (o.p) Put(o, false);
  }
  CallbackCalls(kCallbackThread, own, 0);
  if (Pick(150) == 0) TryRestartFromCallback();
  --gT->onCallbackThread;
  gT->callbackDoing[kCallbackThread] = "-";
}
bool OpenDoneCb(OSND_STREAM *s, void *, int, void *) {
  CallbackThreadCalls(kOpenDone, s);
  return true;
}
void SongDoneCb(MusicSong *song, int) { CallbackThreadCalls(kSongDone, song); }

// An application thread: random calls, the engine calls on the non-realtime
// output (update), now and then a restart.
void AppThread(int index, bool updater, int64_t untilMs) {
  tApp = true;
  Slot &slot = gT->slots[index];
  slot.progressMs = NowMs();
  slot.watched = true;
  while (NowMs() < untilMs) {
    while (gT->restartPending) std::this_thread::sleep_for(milliseconds(1));
    if (!updater && Pick(1500) == 0) {
      bool expected = false;
      if (gT->restartPending.compare_exchange_strong(expected, true)) {
        slot.doing = "restart";
        std::unique_lock<std::shared_mutex> exclusive(gT->appLock);
        Restart();
        exclusive.unlock();
        gT->restartPending = false;
      }
    } else {
      std::shared_lock<std::shared_mutex> shared(gT->appLock);
      if (updater) {
        slot.doing = "update";
        tInUpdate = true;
        OSND_Update();
        tInUpdate = false;
      } else {
        const Op op = Op(Pick(kOps));
        slot.doing = kOpNames[op];
        RandomOp(kApp, nullptr, 0, op);
      }
    }
    ++slot.calls;
    slot.progressMs = NowMs();
    slot.doing = "between calls";
    if (updater || Pick(8) == 0) std::this_thread::sleep_for(milliseconds(1));
  }
  slot.watched = false;
}

[[noreturn]] void Dump(const char *why) {
  std::fprintf(stderr, "[torture] %s; seed %u (QMV_TORTURE_SEED=%u replays), %s output\n", why, gT->seed, gT->seed,
               gT->realtime ? "realtime" : "non-realtime");
  for (int i = 0; i < 5; ++i)
    if (gT->slots[i].progressMs != 0)
      std::fprintf(stderr, "  thread %d: %s, %lld ms since progress, %ld calls\n", i, gT->slots[i].doing.load(),
                 static_cast<long long>(NowMs() - gT->slots[i].progressMs), gT->slots[i].calls.load());
  const char *const where[] = {"application", "callback thread", "streamer", "mixer"};
  for (int i = 1; i < 4; ++i) std::fprintf(stderr, "  %s callback: %s\n", where[i], gT->callbackDoing[i].load());
  std::fflush(stderr);
  std::abort();
}

std::string WriteRamp(const std::string &name, int frames) {
  const std::string path = TestFile("torture", name);
  const std::vector<int16_t> data = StereoRamp(frames);
  if (FILE *f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data.data(), 2, data.size(), f);
    std::fclose(f);
  }
  return path;
}

void RunTorture(int output) {
  Torture t;
  gT = &t;
  const char *seedText = std::getenv("QMV_TORTURE_SEED"), *msText = std::getenv("QMV_TORTURE_MS");
  t.seed = seedText ? unsigned(std::strtoul(seedText, nullptr, 10)) : 20240611u;
#ifdef __SANITIZE_THREAD__
  const int defaultMs = 6000;  // the sanitizer runs the same calls several times slower
#else
  const int defaultMs = 2500;
#endif
  const int runMs = msText ? std::atoi(msText) : defaultMs;
  t.realtime = output == OSND_OUTPUT_NOSOUND;
  std::printf("[ torture  ] seed %u, %d ms (QMV_TORTURE_SEED, QMV_TORTURE_MS)\n", t.seed, runMs);
  std::fflush(stdout);
  t.shortRaw = WriteRamp("short.raw", 3000);
  t.longRaw = WriteRamp("long.raw", 30000);
  t.bank = Bank({Pcm16(400)});
  std::string mp3;
  for (int i = 0; i < 60; ++i) {
    const MpegBytes frame = Layer3Frame(Layer3Noise(uint32_t(i)));
    mp3.append(frame.begin(), frame.end());
  }
  const std::string icy = IcyBody(mp3, 2000, {"StreamTitle='Torture - One';", "", "StreamTitle='Two';StreamUrl='x';"});
  const int64_t baseline = SystemMemory_BytesInUse();
  {
    HttpTestServer server(
        [&](const std::string &request) {
          HttpReply r;
          const bool withTitles = request.find("/icy") != std::string::npos;
          r.head = withTitles ? OkHead({"icy-metaint:2000"}, "ICY 200 OK") : OkHead({"Content-Type: audio/mpeg"});
          r.body = withTitles ? icy : mp3;
          if (request.find("/slow") != std::string::npos) {  // its open is still buffering when closes come
            r.pauseAt = 0;
            r.pauseMs = 400;
            r.piece = 1024;
            r.dripMs = 15;
          }
          return r;
        },
        1 << 20, runMs + 60000);
    t.plainUrl = server.Url("/plain.mp3");
    t.icyUrl = server.Url("/icy");
    t.slowUrl = server.Url("/slow/icy");
    OsndOutputNoSound.mixerThread = 1;
    ASSERT_TRUE(OSND_SetOutput(output));
    ASSERT_TRUE(OSND_Init(44100, 32, 0)) << OSND_GetError();
    StartRepeater();
    const int64_t start = NowMs(), until = start + runMs;
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
      while (!finished) {
        std::this_thread::sleep_for(milliseconds(100));
        for (Slot &slot : t.slots)
          if (slot.watched && NowMs() - slot.progressMs > 15000) Dump("no progress for 15 s");
        if (NowMs() > until + 60000) Dump("the run took a minute longer than asked");
      }
    });
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
      if (i < 3 || !t.realtime) threads.emplace_back(AppThread, i, !t.realtime && i == 3, until);
    for (std::thread &thread : threads) thread.join();
    t.stop = true;
    {
      Slot &slot = t.slots[4];
      slot.progressMs = NowMs();
      slot.watched = true;
      std::unique_lock<std::shared_mutex> exclusive(t.appLock);
      slot.doing = "freeing the songs";
      EXPECT_TRUE(FreeAllSongs()) << "a song stayed held by a callback";
      ForgetEngineObjects(nullptr);
      slot.doing = "final OSND_Close";
      OSND_Close();
      slot.watched = false;
    }
    // Once closed, a background open or song load fails at once.
    EXPECT_EQ(OSND_Stream_Open(t.shortRaw.c_str(), OSND_MODE_NONBLOCKING | OSND_MODE_RAW, 0, 0), nullptr);
    EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
    MusicSong *song = Music_CreateSong();
    EXPECT_EQ(Music_LoadSong(song, reinterpret_cast<const char *>(t.bank.data()), OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING,
                             0, int(t.bank.size()), nullptr, 0), nullptr);
    Music_FreeSong(song);
    server.Stop();
    finished = true;
    watchdog.join();
  }
  EXPECT_EQ(EngineThreadCount(), 0) << "engine threads left running after the close";
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline) << "bytes the engine left allocated";
  for (int k = 0; k < kFiredKinds; ++k) EXPECT_GT(t.fired[k].load(), 0) << kFiredNames[k] << " callbacks never ran";
  for (int i = 0; i < 3; ++i) EXPECT_GT(t.slots[i].calls.load(), 50) << "thread " << i;
  EXPECT_GT(t.opsIn[kCallbackThread].load() + t.opsIn[kStreamer].load() + t.opsIn[kMixer].load(), 100);
  EXPECT_GT(t.refusals.load(), 0);
  EXPECT_EQ(t.violations.load(), 0) << "seed " << t.seed;
  std::printf("[ torture  ] calls %ld %ld %ld, %d restarts, %d refusals checked; callbacks:", t.slots[0].calls.load(),
              t.slots[1].calls.load(), t.slots[2].calls.load(), t.restarts.load(), t.refusals.load());
  for (int k = 0; k < kFiredKinds; ++k) std::printf(" %s %ld", kFiredNames[k], t.fired[k].load());
  std::printf("\n");
  RemoveTestFiles("torture");
  gT = nullptr;
}

}  // namespace

TEST(CallbackTorture, RandomCallsFromThreadsAndCallbacksRealtime) { RunTorture(OSND_OUTPUT_NOSOUND); }

TEST(CallbackTorture, RandomCallsFromThreadsAndCallbacksNonRealtime) {
  RunTorture(OSND_OUTPUT_NOSOUND_NONREALTIME);
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}
