// Random engine calls from application threads and from inside every kind of
// callback (open-complete, song-loaded, end, sync, title, DSP unit, a song's
// row and instrument), with the engine closed and started again now and then,
// on either no-sound output. A callback acts on its own stream or song while
// threads use, close or free it too; it also makes, now and then, a call its
// kind may not make, which must be refused; no callback may come while the
// engine is closed, and each of the application's closes has a callback that
// tries to close and start the engine beside it. Sample banks whose entries
// bring sync points play as looping sentences while threads and callbacks add
// and delete sync points of every stream. A run lasts until every kind of
// event it checks has been seen, however slowly a busy machine lets it
// advance (a cap fails it naming what was not seen); a stall, in which no
// application thread moves on for a minute, aborts it with the step each
// thread and each kind of callback is at; at the end no engine thread and no
// engine memory is left.
// QMV_TORTURE_SEED and QMV_TORTURE_MS vary or lengthen a run (the time is
// its least; QMV_TORTURE_CAP_MS is its most). A seed fixes
// what each application thread, and each kind of callback, picks from one
// call to the next, not how the threads interleave: a run cannot be replayed
// exactly, but a seed that failed makes the same kinds of calls again.
#include "HttpTestServerSupport.h"
#include "MpegFrameSupport.h"
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "TrackerWriterSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_memory.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace callback_torture_test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum Kind { kStream, kSample, kUnit, kSong, kMidi, kKinds };
const char *const kKindNames[] = {"stream", "sample", "unit", "song", "MIDI song"};
enum Fired { kOpened, kLoaded, kEnd, kSync, kTitle, kUnitCall, kRow, kInstrument, kFiredKinds };
const char *const kFiredNames[] = {"open-complete", "song-loaded", "end",      "sync",
                                   "title",         "DSP unit",    "song row", "instrument"};
// Where a call is made from: what it may call depends on it.
enum Where { kApp, kCallbackThread, kStreamer, kMixer };

// An object of the registry. A thread takes it to act on it alone, but a
// callback acts on its own stream or song without taking it, beside any
// thread that took it.
struct Held {
  void *p;
  bool taken, closing;  // by a thread, to close or free it
  bool dead;            // closed or freed by its callback: the taker drops it
  bool freedByCallback; // a song whose loaded callback's free has returned
  int calls;            // its callbacks running now
  uint8_t gone;         // a song's callbacks that removed themselves (bits of kRow, kInstrument)
  std::thread::id taker;
};

// A MIDI song of one note.
const unsigned char kOneNote[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0,
                                  0, 13, 0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};

struct Rng {
  std::mutex lock;
  std::mt19937 draws;
};

// What one party is doing, for the watchdog's report: the step it is at, how
// many steps it has made and when it made the last one; and its longest
// step, which tells how long a starved step took in a run that passed.
struct Party {
  std::atomic<const char *> step{"-"}, longestStep{"-"};
  std::atomic<long> steps{0};
  std::atomic<int64_t> at{0}, longestMs{0};
  // An application thread's longest turn, from one call (or restart) to the
  // next, waits for the application lock included.
  int64_t longestTurnMs = 0;
  bool longestTurnRestarted = false;
};
// The application threads, the main thread, then each kind of callback.
constexpr int kMainParty = 4, kCallbackParties = 5, kParties = kCallbackParties + int(kFiredKinds);
const char *const kAppPartyNames[] = {"thread 0", "thread 1", "thread 2", "updater", "main thread"};

int64_t NowMs() { return std::chrono::duration_cast<milliseconds>(Clock::now().time_since_epoch()).count(); }

struct Torture {
  unsigned seed = 0;
  bool realtime = true;
  std::string shortRaw, longRaw, station, titled, slow;
  std::vector<uint8_t> bank, syncBank, xm;
  std::vector<int16_t> level = std::vector<int16_t>(2048, 6000);
  // The application's calls take it shared, a restart of the engine alone.
  std::shared_mutex app;
  // The objects of each kind. Never held across an engine call.
  std::mutex lock;
  std::vector<Held> held[kKinds];
  unsigned generation = 0;  // a restart forgets the old engine's objects
  // Sync points added, for anyone to delete: a point's stream may have
  // dropped it since (a close frees its points; a bank's next entry brings
  // its own in place of those it had), which the deletion must notice.
  std::vector<OSND_SYNCPOINT *> points;
  // `shared`: own objects a callback closed or freed while a thread held or
  // had closed them; `beside`: closes it made during the application's.
  std::atomic<int> violations{0}, restarts{0}, refusals{0}, shared{0}, beside{0};
  std::atomic<long> fired[kFiredKinds] = {};
  std::atomic<long> calls[3] = {};
  // An application thread waits to restart; one closes the engine; it is
  // closed (no callback may come), as before the first start; the loaded
  // callback that waits for the application's close runs; it closed the
  // engine beside that close (refused).
  std::atomic<bool> restarting{false}, appClosing{false}, closed{true}, waiting{false}, metClose{false};
  Party parties[kParties];
  // When an application thread (or the main thread) last moved on: the
  // watchdog's measure of a stall.
  std::atomic<int64_t> lastMove{0};
  // The run has seen all it must (or reached its cap): the threads end.
  std::atomic<bool> stop{false};
  // The random sequences of the application threads, of the main thread
  // (where a callback's would be), then of each kind of callback.
  Rng rngs[8];
};
Torture *gT = nullptr;

// The sequence the calling thread draws from: an application thread's own,
// or, inside a callback, its kind's, which the threads running that kind of
// callback share.
thread_local Rng *tRng = nullptr;
int Pick(int n) {
  std::lock_guard<std::mutex> guard(tRng->lock);
  return int(tRng->draws() % unsigned(n));
}
struct Drawing {
  Rng *outer;
  explicit Drawing(int sequence) : outer(std::exchange(tRng, &gT->rngs[sequence])) {}
  ~Drawing() { tRng = outer; }
};

// The party the calling thread acts for: an application thread's own, or,
// inside a callback, its kind's (a callback made on an application thread,
// as the non-realtime output's mixing is, leaves that thread's step as it
// was: the call it made).
thread_local Party *tParty = nullptr;
void Step(const char *what) {
  if (!tParty) return;
  const int64_t now = NowMs(), took = tParty->at ? now - tParty->at : 0;
  // Racy between two callbacks of one kind, which only blurs a report.
  if (took > tParty->longestMs) tParty->longestMs = took, tParty->longestStep = tParty->step.load();
  tParty->step = what;
  ++tParty->steps;
  tParty->at = now;
  if (tParty < &gT->parties[kCallbackParties]) gT->lastMove = now;
}
struct Acting {
  Party *outer;
  Rng *outerRng;
  Acting(Fired fired, int sequence)
      : outer(std::exchange(tParty, &gT->parties[kCallbackParties + fired])),
        outerRng(std::exchange(tRng, &gT->rngs[sequence])) {}
  ~Acting() {
    Step("-");
    tParty = outer;
    tRng = outerRng;
  }
};

void Violation(const std::string &what) {
  if (++gT->violations <= 20) std::fprintf(stderr, "[torture seed %u] %s\n", gT->seed, what.c_str());
}

unsigned Generation() {
  std::lock_guard<std::mutex> guard(gT->lock);
  return gT->generation;
}

// Under the lock. The newest entry of an address is the live object: an
// older one is of an object its taker has just freed and not yet put, whose
// address the engine may have given out again meanwhile.
Held *Find(Kind kind, void *p) {
  for (auto h = gT->held[kind].rbegin(); h != gT->held[kind].rend(); ++h)
    if (h->p == p) return &*h;
  return nullptr;
}
void Erase(Kind kind, Held *h) { gT->held[kind].erase(gT->held[kind].begin() + (h - gT->held[kind].data())); }

// A new object of the engine of `generation`, taken by its maker when its
// callbacks may come before the maker is done with it.
void Add(Kind kind, void *p, unsigned generation, bool taken) {
  std::lock_guard<std::mutex> guard(gT->lock);
  if (!p || generation != gT->generation) return;
  // An object no thread holds is alive, so its address cannot be given out
  // again: the engine freed it without the registry knowing.
  for (const Held &h : gT->held[kind])
    if (h.p == p && !h.taken)
      Violation(std::string("a new ") + kKindNames[kind] + " has the address of one still listed");
  gT->held[kind].push_back({p, taken, false, false, false, 0, 0, std::this_thread::get_id()});
}
// A random object of a kind that no thread has taken, half the time one
// whose callback runs now when there is one.
void *Take(Kind kind, unsigned *generation, bool closing = false) {
  const int draw = Pick(1 << 20);
  std::lock_guard<std::mutex> guard(gT->lock);
  *generation = gT->generation;
  int untaken = 0, busy = 0;
  for (const Held &h : gT->held[kind]) untaken += !h.taken, busy += !h.taken && h.calls;
  const bool toBusy = busy && draw % 2;
  for (int k = untaken ? draw / 2 % (toBusy ? busy : untaken) : -1; Held &h : gT->held[kind])
    if (!h.taken && (h.calls || !toBusy) && k-- == 0)
      return h.taken = true, h.closing = closing, h.taker = std::this_thread::get_id(), h.p;
  return nullptr;
}
// Counts a callback of an object as running (by `step`).
void Running(Kind kind, void *p, int step) {
  std::lock_guard<std::mutex> guard(gT->lock);
  if (Held *h = p ? Find(kind, p) : nullptr) h->calls += step;
}
// Under the lock. The entry this thread took: a newer one of the same
// address is another object, made since this thread freed its own.
Held *TakenHere(Kind kind, void *p) {
  Held *h = nullptr;
  for (Held &entry : gT->held[kind])
    if (entry.p == p && entry.taken && entry.taker == std::this_thread::get_id()) h = &entry;
  return h;
}
// Ends a take: the object goes back, or out when it was closed or freed (by
// the taker, `gone`, or by its callback meanwhile) or when the engine it came
// from has been closed since.
void Put(Kind kind, void *p, unsigned generation, bool gone = false) {
  std::lock_guard<std::mutex> guard(gT->lock);
  if (!p || generation != gT->generation) return;
  Held *h = TakenHere(kind, p);
  // Only a restart drops an object while a thread holds it.
  if (!h) return Violation(std::string("a ") + kKindNames[kind] + " put back that this thread had not taken");
  // Either, never both: once erased, `h` points at the next object, which
  // another thread may have taken.
  if (gone || h->dead) Erase(kind, h);
  else h->taken = h->closing = false;
}
// The engine frees the record of a callback's own object once the callback
// has returned, so a callback that closed or freed it waits until no thread
// holds it taken (calls on it end without waiting for callbacks).
void WaitUntilDropped(Kind kind, void *p) {
  Step("waiting until no thread holds its own object");
  for (;; std::this_thread::sleep_for(std::chrono::microseconds(200))) {
    std::lock_guard<std::mutex> guard(gT->lock);
    if (!Find(kind, p)) return;
  }
}
// A callback closes its own stream, or frees its own song, which a thread may
// hold taken (to use, close or free it) or have closed or freed: the engine
// frees the record once this callback has returned, and only once. A call the
// thread makes on a song once this free has returned must fail.
void CloseOwn(Kind kind, void *own) {
  Step(kind == kSong ? "freeing its own song" : "closing its own stream");
  {
    std::lock_guard<std::mutex> guard(gT->lock);
    Held *h = Find(kind, own);
    gT->shared += !h || h->taken;
    if (h && h->taken) h->dead = true;
    if (h && !h->taken) Erase(kind, h);
  }
  if (kind == kSong) {
    Music_FreeSong(static_cast<MusicSong *>(own));
    std::lock_guard<std::mutex> guard(gT->lock);
    if (Held *h = Find(kind, own)) h->freedByCallback = true;
  } else if (!OSND_Stream_Close(static_cast<OSND_STREAM *>(own))) {
    Violation("a callback could not close its own stream");
  }
  WaitUntilDropped(kind, own);
}
// Takes every object of a kind to free it, once no callback holds one (the
// caller holds the application lock alone).
std::vector<void *> TakeAll(Kind kind) {
  Step("waiting until no callback holds an object, to free them all");
  for (;; std::this_thread::sleep_for(milliseconds(1))) {
    std::lock_guard<std::mutex> guard(gT->lock);
    std::vector<void *> all;
    for (Held &h : gT->held[kind]) all.push_back(h.taken ? nullptr : h.p);
    if (std::find(all.begin(), all.end(), nullptr) != all.end()) continue;
    for (Held &h : gT->held[kind]) h.taken = h.closing = true, h.taker = std::this_thread::get_id();
    return all;
  }
}

void Began(Fired fired);
void Callback(Fired fired, Where where, OSND_STREAM *own = nullptr, MusicSong *song = nullptr);
void SongCallback(MusicSong *song, Fired fired);
void *UnitCb(void *, void *buffer, int, void *);
bool EndCb(OSND_STREAM *s, void *, int, void *) { return Callback(kEnd, kStreamer, s), true; }
bool SyncCb(OSND_STREAM *s, void *, int, void *) { return Callback(kSync, kStreamer, s), true; }
bool TitleCb(char *, char *, void *s) { return Callback(kTitle, kStreamer, static_cast<OSND_STREAM *>(s)), true; }
bool OpenedCb(OSND_STREAM *s, void *, int, void *) { return Callback(kOpened, kCallbackThread, s), true; }
void LoadedCb(MusicSong *song, int) { Callback(kLoaded, kCallbackThread, nullptr, song); }
void RowCb(MusicSong *song, int) { SongCallback(song, kRow); }
void InstrumentCb(MusicSong *song, int) { SongCallback(song, kInstrument); }
void SetSongCallback(MusicSong *song, Fired which, bool on) {
  if (which == kRow) Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, on ? RowCb : nullptr, 1 + Pick(2));
  else Music_SetCallback(song, MUSIC_CALLBACK_INSTRUMENT, 1, on ? InstrumentCb : nullptr, 1);
}
// Set and removed by the threads, beside the song's own callbacks.
void OrderCb(MusicSong *, int) {
  if (gT->closed) Violation("order callback after the engine's close");
}

// A stream of the sync bank, once it is ready (its source is written by the open).
bool IsBank(OSND_STREAM *s) { return OsndStream_IsReady(s) && s->source == OSND_SOURCE_OSB; }
// The bank's entries in a random order, played round and round: each entry
// brings its own sync points in place of the stream's, on the streamer's
// thread, while others add and delete points of the stream.
void PlaySentence(OSND_STREAM *s) {
  int list[4];
  const int count = 2 + Pick(3);
  for (int k = 0; k < count; ++k) list[k] = Pick(3);
  if (OSND_Stream_SetSubStreamSentence(s, list, count)) OSND_Stream_Play(OSND_FREE, s);
}

void SetCallbacks(OSND_STREAM *s) {
  OsndStream_SetEndCallback(s, EndCb, nullptr);
  OsndStream_SetSyncCallback(s, SyncCb, nullptr);
  OSND_Stream_AddSyncPoint(s, unsigned(Pick(2500)), "point");
  OSND_Stream_Net_SetMetadataCallback(s, TitleCb, s);  // refused but for stations
  if (IsBank(s) && Pick(2)) PlaySentence(s);
}

// Adds a sync point to a stream (the caller's own, or one it takes), or
// deletes one added before, wherever it is called from: a failure may only
// say that the stream or the point is gone.
void EditSyncPoints(OSND_STREAM *own) {
  const int draw = Pick(1 << 20);
  gOsndError.lastError.ClearOwn();
  bool failed = false;
  if (draw % 2) {
    OSND_SYNCPOINT *point = nullptr;
    {
      std::lock_guard<std::mutex> guard(gT->lock);
      std::vector<OSND_SYNCPOINT *> &points = gT->points;
      if (points.empty()) return;
      std::swap(points[size_t(draw / 2) % points.size()], points.back());
      point = points.back();
      points.pop_back();
    }
    failed = !OSND_Stream_DeleteSyncPoint(point);
  } else {
    unsigned generation;
    const bool mine = own && draw / 2 % 2;
    auto *s = mine ? own : static_cast<OSND_STREAM *>(Take(kStream, &generation));
    if (!s) return;
    OSND_SYNCPOINT *point = OsndStream_IsReady(s) ? OSND_Stream_AddSyncPoint(s, unsigned(Pick(3000)), "edit") : nullptr;
    failed = !point && gOsndError.lastError.load() != OSND_ERR_NONE;
    if (point) {
      std::lock_guard<std::mutex> guard(gT->lock);
      gT->points.push_back(point);
      if (gT->points.size() > 64) gT->points.erase(gT->points.begin());
    }
    if (!mine) Put(kStream, s, generation);
  }
  if (failed && gOsndError.lastError.load() != OSND_ERR_INVALID_PARAM)
    Violation("a sync point's addition or removal failed with error " + std::to_string(gOsndError.lastError.load()));
}

void OpenStream(Where where) {
  const unsigned generation = Generation();
  const int source = Pick(6);
  const bool station = source >= 2 && source <= 4, bank = source == 5;
  const std::string &name = source == 0   ? gT->shortRaw
                            : source == 1 ? gT->longRaw
                            : source == 2 ? gT->station
                            : source == 3 ? gT->titled
                                          : gT->slow;
  unsigned mode = station ? 0 : OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO;
  if (source == 1 && Pick(4) == 0) mode |= OSND_MODE_LOOP_NORMAL;
  // A station opens in the background but from the application, whose
  // blocking open would hold up an engine thread for its server's answer.
  // The bank opens at once, from memory, to play its sentence.
  if (!bank && (Pick(2) || (station && where != kApp))) mode |= OSND_MODE_NONBLOCKING;
  OSND_STREAM *s = bank ? OSND_Stream_Open(reinterpret_cast<const char *>(gT->syncBank.data()),
                                           OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL, 0, int(gT->syncBank.size()))
                        : OSND_Stream_Open(name.c_str(), mode, 0, 0);
  Add(kStream, s, generation, true);
  if (!s) return;
  if (mode & OSND_MODE_NONBLOCKING) {
    OsndStream_SetOpenCallback(s, OpenedCb);
  } else {
    SetCallbacks(s);
    if (bank) PlaySentence(s);
    else if (Pick(2)) OSND_Stream_Play(OSND_FREE, s);
  }
  Put(kStream, s, generation);
}

// A song loaded in the background, its callbacks set before it loads.
void LoadSong() {
  const unsigned generation = Generation();
  MusicSong *song = Music_CreateSong();
  Add(kSong, song, generation, true);
  song->loadDone = LoadedCb;
  SetSongCallback(song, kRow, true);
  SetSongCallback(song, kInstrument, true);
  const std::vector<uint8_t> &data = Pick(4) ? gT->xm : gT->bank;
  Music_LoadSong(song, reinterpret_cast<const char *>(data.data()),
                 OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING | OSND_MODE_LOOP_NORMAL, 0, int(data.size()), nullptr, 0);
  Put(kSong, song, generation);
}

// One random call of those `where` may make, on an object it takes or on
// the callback's own stream.
void RandomCall(Where where, OSND_STREAM *own = nullptr) {
  const int op = where == kMixer ? 9 + Pick(6) : Pick(where == kApp ? 18 : 15);
  static const char *const kOps[] = {
      "a stream's open",        "a stream's open",     "a stream's play",        "a stream's close",
      "a stream's stop",        "a stream's seek",     "a stream's callbacks",   "a sample's upload",
      "a sample's upload",      "a sample's play",     "a sample's free",        "a DSP unit's creation",
      "a DSP unit's free",      "a DSP unit's change", "sync points' change",    "a song's load",
      "a MIDI song's play or stop", "a song's free, play, stop or callback"};
  Step(kOps[op]);
  unsigned generation;
  if (op < 2) return OpenStream(where);
  if (op < 7) {
    // Played in real time a stream reaches its end only if left alone a while.
    if (gT->realtime && op >= 3 && op <= 5 && Pick(8)) return;
    const bool mine = own && Pick(2);
    auto *s = mine ? own : static_cast<OSND_STREAM *>(Take(kStream, &generation, op == 3));
    if (!s) return;
    if (op == 3 && mine) return CloseOwn(kStream, own);
    // A local file still opening in the background may not be closed yet.
    if (op == 3 && OSND_Stream_Close(s)) return Put(kStream, s, generation, true);
    if (op == 2 && OsndStream_IsReady(s)) OSND_Stream_Play(OSND_FREE, s);
    if (op == 4 && OsndStream_IsReady(s)) OSND_Stream_Stop(s);
    if (op == 5 && OsndStream_IsReady(s)) OSND_Stream_SetPosition(s, unsigned(Pick(8000)) * 4);
    if (op == 6 && OsndStream_IsReady(s)) SetCallbacks(s);
    if (!mine) Put(kStream, s, generation);
    return;
  }
  if (op == 7 || op == 8) {
    generation = Generation();
    const unsigned loop = Pick(3) ? OSND_MODE_LOOP_OFF : OSND_MODE_LOOP_NORMAL;
    OSND_SAMPLE *sample = OSND_Sample_Alloc(-1, int(gT->level.size()), OSND_MODE_16BITS | loop, 44100, 255, 128, 255);
    if (sample) OSND_Sample_Upload(sample, gT->level.data(), OSND_MODE_16BITS);
    return Add(kSample, sample, generation, false);
  }
  if (op <= 10) {
    auto *sample = static_cast<OSND_SAMPLE *>(Take(kSample, &generation));
    if (!sample) return;
    if (op == 10) return OSND_Sample_Free(sample), Put(kSample, sample, generation, true);
    const int channel = OSND_PlaySound(OSND_FREE, sample);
    OSND_SetFrequency(channel, 11025 + Pick(44100));
    if (Pick(2)) OSND_StopSound(channel);
    return Put(kSample, sample, generation);
  }
  if (op == 11) {
    generation = Generation();
    OSND_DSPUNIT *unit = OSND_DSP_Create(UnitCb, Pick(1000), nullptr);
    OSND_DSP_SetActive(unit, true);
    return Add(kUnit, unit, generation, false);
  }
  if (op <= 13) {
    auto *unit = static_cast<OSND_DSPUNIT *>(Take(kUnit, &generation));
    if (!unit) return;
    if (op == 12) return OSND_DSP_Free(unit), Put(kUnit, unit, generation, true);
    OSND_DSP_SetPriority(unit, Pick(1000));
    OSND_DSP_SetActive(unit, Pick(4) != 0);
    return Put(kUnit, unit, generation);
  }
  if (op == 14) return EditSyncPoints(own);
  // Songs are loaded, played and freed by the application (and their own
  // loaded callbacks): a restart frees them all first, since the engine's
  // close takes their samples.
  if (op == 15) return LoadSong();
  if (op == 16) {
    auto *midi = static_cast<MusicSong *>(Take(kMidi, &generation));
    if (midi) Pick(2) ? Music_PlaySong(midi) : Music_StopSong(midi);
    return Put(kMidi, midi, generation);
  }
  const int use = Pick(4);  // free it, play it, stop it or set its callbacks
  auto *song = static_cast<MusicSong *>(Take(kSong, &generation, use == 0));
  if (!song) return;
  if (use == 0) return Music_FreeSong(song), Put(kSong, song, generation, true);
  // Its loaded callback may free it meanwhile: a call made once that free
  // has returned fails as on any freed song. While the callback runs, the
  // thread now and then gives it a moment to do so.
  bool freed = false, first = true;
  for (auto until = Clock::now() + milliseconds(3 * Pick(2));; std::this_thread::yield(), first = false) {
    std::lock_guard<std::mutex> guard(gT->lock);
    Held *h = TakenHere(kSong, song);
    freed = h && h->freedByCallback;
    if (freed || !h || Clock::now() >= until || (first && !h->calls)) break;
  }
  if (Music_IsLoaded(song) || freed) {
    gOsndError.lastError.ClearOwn();
    const char *const what[] = {nullptr, "play", "stop", "order callback"};
    const bool worked = use == 1   ? Music_PlaySong(song)
                        : use == 2 ? Music_StopSong(song)
                                   : Music_SetCallback(song, MUSIC_CALLBACK_ORDER, 0, Pick(2) ? OrderCb : nullptr, 1);
    if (freed && (worked || gOsndError.lastError.load() != OSND_ERR_INVALID_PARAM))
      Violation(std::string("a song's ") + what[use] + " worked, or failed otherwise, after its loaded callback freed it");
  }
  Put(kSong, song, generation);
}

// A call a callback may not make fails at once with the callback error (read
// on this thread: other threads set errors of their own), or, on a stream
// that another party is closing, `beside`, fails as any call does then.
void Refused(bool failed, const char *what, bool beside = false) {
  const bool refused = failed && gOsndError.lastError.load() == OSND_ERR_CALLBACK;
  gT->refusals += refused;
  if (!refused && !(failed && beside)) Violation(std::string(what) + " not refused in a callback");
}

// The application's close is under way. Once it has begun (a background open
// fails then), a close or a start from this callback is refused; false when
// it had not begun.
bool CloseBeside() {
  const unsigned generation = Generation(), mode = OSND_MODE_RAW | OSND_MODE_NONBLOCKING;
  OSND_STREAM *s = OSND_Stream_Open(gT->shortRaw.c_str(), mode, 0, 0);
  if (s || gOsndError.lastError.load() != OSND_ERR_UNINITIALISED) return Add(kStream, s, generation, false), false;
  ++gT->beside;
  OSND_Close(), Refused(true, "OSND_Close beside the application's");
  if (Pick(2)) return true;
  Refused(!OSND_Init(44100, 32, 0), "OSND_Init beside the application's close");
  if ((s = OSND_Stream_Open(gT->shortRaw.c_str(), mode, 0, 0)) || gOsndError.lastError.load() != OSND_ERR_UNINITIALISED)
    Violation("a background open while the engine closes");
  Add(kStream, s, generation, false);
  return true;
}

// In the mixer (a unit's or a song's callback) no call may change a stream,
// read its file position (the streamer moves it), load or free a song, or
// start or stop the MIDI song; a stream's time may be read there and its sync
// points set.
void ForbiddenCall(Where where) {
  const int pick = Pick(where == kMixer ? 17 : 3);
  const Kind kind = pick < 4 ? kKinds : pick < 13 ? kStream : kMidi;
  unsigned generation;
  void *const p = kind == kKinds ? nullptr : Take(kind, &generation);
  auto *s = static_cast<OSND_STREAM *>(p);
  auto *midi = static_cast<MusicSong *>(p);
  if (kind != kKinds && (!p || (kind == kStream && !OsndStream_IsReady(s)))) return Put(kind, p, generation);
  auto works = [](const char *what) {
    if (gOsndError.lastError.load() == OSND_ERR_CALLBACK) Violation(std::string(what) + " refused in the mixer");
  };
  bool failed = true, gone = false;
  const char *what = nullptr;
  gOsndError.lastError.ClearOwn();
  if (pick == 0) failed = !OSND_Init(44100, 32, 0), what = "OSND_Init";
  if (pick == 1) OSND_Close(), what = "OSND_Close";
  if (pick == 2) OSND_Update(), what = "OSND_Update";
  if (pick == 3) failed = !OSND_Stream_Open(gT->shortRaw.c_str(), OSND_MODE_NONBLOCKING, 0, 0), what = "an open";
  if (pick == 4) OSND_Stream_GetTime(s), works("a stream's time");
  if (pick == 4) failed = OSND_Stream_GetPosition(s) == 0, what = "a stream's file position";
  OSND_SYNCPOINT *point = pick == 5 ? OSND_Stream_AddSyncPoint(s, 100, "mixer") : nullptr;
  if (pick == 5) works("a sync point's addition");
  if (point) OSND_Stream_DeleteSyncPoint(point), works("a sync point's removal");
  if (pick == 6) failed = OSND_Stream_Play(OSND_FREE, s) < 0, what = "a stream's play";
  if (pick == 7) failed = !OSND_Stream_Stop(s), what = "a stream's stop";
  if (pick == 8) failed = !OSND_Stream_SetPosition(s, 0), what = "a stream's seek";
  if (pick == 9) failed = !(gone = OSND_Stream_Close(s)), what = "a stream's close";
  if (pick == 10) failed = !OSND_Stream_SetSubStream(s, 0), what = "a sub-stream's choice";
  if (pick == 11) failed = !OsndStream_SetLoopCount(s, 2), what = "a stream's loop count";
  if (pick == 12) failed = !OSND_Stream_Net_SetMetadataCallback(s, TitleCb, s), what = "a title callback";
  if (pick == 13) failed = !Music_PlaySong(midi), what = "a MIDI song's start";
  if (pick == 14) failed = !Music_StopSong(midi), what = "a MIDI song's stop";
  if (pick == 15) failed = !Music_LoadSong(midi, gT->shortRaw.c_str(), 0, 0, 0, nullptr, 0), what = "a song's load";
  if (pick == 16) Music_FreeSong(midi), gone = !(failed = gOsndError.lastError.load() == OSND_ERR_CALLBACK);
  if (pick == 16) what = "a song's free";
  bool beside = false;  // its own callback closes it (marked first)
  if (kind == kStream) {
    std::lock_guard<std::mutex> guard(gT->lock);
    Held *h = Find(kStream, s);
    beside = h && h->dead;
  }
  if (what) Refused(failed, what, beside);
  if (p) Put(kind, p, generation, gone);
}

// Frees every song; the caller holds the application lock alone.
void FreeSongs() {
  const unsigned generation = Generation();
  for (Kind kind : {kSong, kMidi}) {
    for (void *song : TakeAll(kind)) {
      Music_FreeSong(static_cast<MusicSong *>(song));
      Put(kind, song, generation, true);
    }
  }
}

// Before the application's close: a song whose loaded callback, once it
// runs, waits for the close to begin and then closes and starts the engine
// beside it, so that every close of the application meets those refusals.
MusicSong *LoadCloseWaiter() {
  gT->waiting = gT->metClose = false;
  MusicSong *song = Music_CreateSong();
  // Each wait is for one step of the closing thread, which nothing holds up:
  // the minute only ends a wait that would otherwise never end.
  song->loadDone = [](MusicSong *, int) {
    Acting acting(kLoaded, 4 + kCallbackThread);
    Began(kLoaded);
    Step("waiting for the application's close");
    gT->waiting = true;
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (!gT->appClosing && Clock::now() < until) std::this_thread::sleep_for(milliseconds(1));
    Step("closing the engine beside the application's close");
    bool met = false;
    while (gT->appClosing && !(met = CloseBeside()) && Clock::now() < until) std::this_thread::sleep_for(milliseconds(1));
    gT->metClose = met;
  };
  const unsigned mode = OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING;
  if (!Music_LoadSong(song, reinterpret_cast<const char *>(gT->bank.data()), mode, 0, int(gT->bank.size()), nullptr, 0))
    return Violation("the song that waits for the close did not load"), song;
  Step("restart: waiting for the loaded callback that meets the close");
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (!gT->waiting && Clock::now() < until) std::this_thread::sleep_for(milliseconds(1));
  if (!gT->waiting) Violation("the loaded callback that meets the close did not come within a minute");
  return song;
}

// Closes the engine, from the application (the caller holds the application
// lock alone) or from a callback; the engine may be closed already.
void CloseEngine(bool fromCallback) {
  MusicSong *waiter = fromCallback || gT->closed ? nullptr : LoadCloseWaiter();
  gT->appClosing = !fromCallback;
  Step(fromCallback ? "restart from a callback: the engine's close" : "restart: the engine's close");
  OSND_Close();
  gT->closed = true;
  gT->appClosing = false;
  if (waiter && !gT->metClose) Violation("the application's close met no close from the waiting callback");
  if (waiter) Music_FreeSong(waiter);
  // The close freed every other object, made before or by callbacks during it.
  std::lock_guard<std::mutex> guard(gT->lock);
  ++gT->generation;
  for (Kind kind : {kStream, kSample, kUnit}) gT->held[kind].clear();
  gT->points.clear();
}

// Frees every song, then closes the engine and starts it again; the caller
// holds the application lock alone. A callback now and then leaves the engine
// closed and the songs loaded, one of which has just loaded, for a thread to
// free them and start it: no song-loaded callback may come meanwhile.
void Restart(bool fromCallback = false) {
  const bool leave = fromCallback && Pick(2);
  Step(fromCallback ? "restart from a callback: freeing the songs" : "restart: freeing the songs");
  if (!leave) FreeSongs();
  if (leave) LoadSong(), std::this_thread::sleep_for(milliseconds(60));
  CloseEngine(fromCallback);
  if (leave) return;
  gT->closed = false;
  Step(fromCallback ? "restart from a callback: the engine's start" : "restart: the engine's start");
  if (!OSND_Init(44100, 32, 0)) Violation("a restart failed with error " + std::to_string(OSND_GetError()));
  // A short stream outside the registry plays again from its own end
  // callback, so that ends come however busy the others are kept.
  if (OSND_STREAM *s = OSND_Stream_Open(gT->shortRaw.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0)) {
    OsndStream_SetEndCallback(s, [](OSND_STREAM *again, void *, int, void *) {
      Callback(kEnd, kStreamer);
      OSND_Stream_Play(OSND_FREE, again);
      return true;
    }, nullptr);
    OSND_Stream_Play(OSND_FREE, s);
  }
  MusicSong *midi = Music_CreateSong();
  if (Music_LoadSong(midi, reinterpret_cast<const char *>(kOneNote), OSND_MODE_MEMORY, 0, sizeof kOneNote, nullptr, 0)) {
    Add(kMidi, midi, Generation(), false);
  } else {
    Violation("the MIDI song did not load: error " + std::to_string(OSND_GetError()));
    Music_FreeSong(midi);
  }
  ++gT->restarts;
}

// Every callback: none may come once the engine's close has returned.
void Began(Fired fired) {
  ++gT->fired[fired];
  if (gT->closed) Violation(std::string(kFiredNames[fired]) + " callback after the engine's close");
}

void Callback(Fired fired, Where where, OSND_STREAM *own, MusicSong *song) {
  Acting acting(fired, 4 + where);
  Began(fired);
  Step("begun");
  if (where == kCallbackThread && gT->appClosing && Pick(2)) CloseBeside();
  const Kind kind = song ? kSong : kStream;
  void *const mine = song ? static_cast<void *>(song) : own;
  Running(kind, mine, 1);
  // Its callbacks set once it has opened, while a thread may act on it too.
  if (fired == kOpened && OsndStream_IsReady(own)) SetCallbacks(own);
  for (int n = Pick(3); n > 0; --n) RandomCall(where, own);
  if (song && Music_IsLoaded(song) && Pick(2)) Music_PlaySong(song);
  const bool close = mine && Pick(4) == 0;
  // Closed or freed as soon as a thread takes it, if one does so soon.
  if (close) Step("waiting a moment for a thread to take its own object");
  for (auto until = Clock::now() + milliseconds(3 * close); Clock::now() < until; std::this_thread::yield()) {
    std::lock_guard<std::mutex> guard(gT->lock);
    if (Held *h = Find(kind, mine); !h || h->taken) break;
  }
  Running(kind, mine, -1);  // before a free, after which a new song may have its address
  if (close) CloseOwn(kind, mine);
  if (where != kCallbackThread && Pick(where == kMixer ? 2 : 8) == 0) ForbiddenCall(where);
  // Only once no application thread is inside the engine, as the threads
  // hold back: waiting for them without bound could wait for one that waits
  // for this callback.
  if (where == kCallbackThread && Pick(150) == 0 && !gT->restarting.exchange(true)) {
    Step("restart from a callback: trying for the application lock alone");
    bool alone = false;
    for (int tries = 0; tries < 100 && !(alone = gT->app.try_lock()); ++tries)
      std::this_thread::sleep_for(milliseconds(1));
    if (alone) Restart(true), gT->app.unlock();
    gT->restarting = false;
  }
}

// A song's row or instrument callback, in the mixer, with rows coming several
// to a mixed block: it removes itself now and then, after which it must not
// be called again, or sets itself again; and it sets the other again when
// that one has removed itself.
void SongCallback(MusicSong *song, Fired fired) {
  Acting acting(fired, 4 + kMixer);
  Step("setting the song's callbacks");
  const Fired other = Fired(kRow + kInstrument - fired);
  const uint8_t self = uint8_t(1 << (fired - kRow)), others = uint8_t(3 - self);
  const int choice = Pick(8);
  uint8_t gone = 0;
  bool known = false;
  {
    std::lock_guard<std::mutex> guard(gT->lock);
    if (Held *h = Find(kSong, song)) {
      known = true;
      gone = h->gone;
      if (choice == 0) h->gone |= self;
      if (choice < 3) h->gone &= uint8_t(~others);
    }
  }
  if (gone & self) Violation(std::string(kFiredNames[fired]) + " callback called after it removed itself");
  if (known && choice < 2) SetSongCallback(song, fired, choice == 1);
  if (known && choice < 3 && (gone & others)) SetSongCallback(song, other, true);
  Pick(4) == 0 ? Callback(fired, kMixer) : Began(fired);
}
void *UnitCb(void *, void *buffer, int, void *) {
  Drawing rng(4 + kMixer);
  Pick(4) == 0 ? Callback(kUnitCall, kMixer) : Began(kUnitCall);
  return buffer;
}

void AppThread(int index, bool updater) {
  tRng = &gT->rngs[index];
  tParty = &gT->parties[index];
  Party &me = gT->parties[index];
  for (int64_t turn = NowMs(); !gT->stop;) {
    // The others hold back while one waits to restart, which it would not
    // get its turn to otherwise.
    Step("holding back while another thread restarts");
    while (gT->restarting) std::this_thread::sleep_for(milliseconds(1));
    const bool restart = (!updater && Pick(1500) == 0) || gT->closed;
    const bool restarts = restart && !gT->restarting.exchange(true);
    if (restarts) {
      Step("restart: waiting for the application lock alone");
      std::unique_lock<std::shared_mutex> alone(gT->app);
      Restart();
      gT->restarting = false;
    } else {
      Step("waiting for the application lock");
      std::shared_lock<std::shared_mutex> shared(gT->app);
      // A second thread updates too, beside the updater of the non-realtime output.
      const bool update = updater || (index == 2 && Pick(20) == 0);
      if (gT->closed) continue;  // left closed by a callback: restarted above
      if (update) Step("OSND_Update"), OSND_Update();
      else RandomCall(kApp);
    }
    Step("between calls");
    const int64_t now = NowMs(), took = now - std::exchange(turn, now);
    if (took > me.longestTurnMs) me.longestTurnMs = took, me.longestTurnRestarted = restarts;
    if (!updater) ++gT->calls[index];
    if (updater || Pick(8) == 0) std::this_thread::sleep_for(milliseconds(1));
  }
  Step("ended");
  tParty = nullptr;
}

const long kCallsEach = 50;  // calls each application thread makes at the least

// What the run has not yet seen of what it checks, or "". The application's
// last close, of an engine started for it if a callback left it closed, meets
// a callback's close beside it whatever came before, so a close beside one is
// not waited for here.
std::string Unseen() {
  std::string unseen;
  auto add = [&](const std::string &what) { unseen += (unseen.empty() ? "" : "; ") + what; };
  for (int k = 0; k < kFiredKinds; ++k)
    if (gT->fired[k] == 0) add(std::string(kFiredNames[k]) + " callbacks");
  for (int i = 0; i < 3; ++i)
    if (gT->calls[i] <= kCallsEach)
      add("calls of thread " + std::to_string(i) + " (" + std::to_string(gT->calls[i].load()) + " of more than " +
          std::to_string(kCallsEach) + ")");
  if (gT->refusals == 0) add("a refusal of a call a callback may not make");
  if (gT->shared == 0) add("a callback's close or free of its own object beside a thread");
  return unseen;
}

// What each party is doing, when the run has stalled.
void ReportStall(int64_t stalledMs) {
  const int64_t now = NowMs();
  const std::string unseen = Unseen();
  std::fprintf(stderr,
               "[torture] stalled: no application thread moved on for %lld s (a starved run moves on, however "
               "slowly: this is a hang); seed %u (QMV_TORTURE_SEED repeats its picks), %s output\n",
               static_cast<long long>(stalledMs / 1000), gT->seed, gT->realtime ? "real-time" : "non-realtime");
  for (int k = 0; k < kParties; ++k) {
    const Party &party = gT->parties[k];
    const std::string name = k < kCallbackParties ? kAppPartyNames[k]
                                                  : std::string(kFiredNames[k - kCallbackParties]) + " callback";
    std::fprintf(stderr, "  %-22s at \"%s\", %ld steps", name.c_str(), party.step.load(), party.steps.load());
    if (party.at) std::fprintf(stderr, ", the last %.1f s ago", double(now - party.at) / 1000);
    if (k < 3) std::fprintf(stderr, ", %ld calls", gT->calls[k].load());
    if (k >= kCallbackParties) std::fprintf(stderr, ", %ld called", gT->fired[k - kCallbackParties].load());
    std::fprintf(stderr, "\n");
  }
  std::fprintf(stderr, "  %d restarts, %d refusals, %d shared, %d beside; not yet seen: %s\n", gT->restarts.load(),
               gT->refusals.load(), gT->shared.load(), gT->beside.load(), unseen.empty() ? "nothing" : unseen.c_str());
}

std::string RawFile(const std::string &name, int frames) {
  const std::string path = TestFile("torture", name);
  EXPECT_TRUE(WriteRawRamp(path, frames));
  return path;
}

void RunTorture(int output) {
  Torture t;
  gT = &t;
  const char *seed = std::getenv("QMV_TORTURE_SEED"), *ms = std::getenv("QMV_TORTURE_MS"),
             *cap = std::getenv("QMV_TORTURE_CAP_MS");
  t.seed = seed ? unsigned(std::strtoul(seed, nullptr, 10)) : 20240611u;
#ifdef __SANITIZE_THREAD__
  const int runMs = ms ? std::atoi(ms) : 6000;  // the sanitizer makes each call several times slower
#else
  const int runMs = ms ? std::atoi(ms) : 2500;
#endif
  // The time is the least a run lasts: it goes on until it has seen every
  // event it checks, which a starved run reaches later, up to this cap.
  const int capMs = cap ? std::atoi(cap) : std::max(120000, 2 * runMs);
  const int64_t stallMs = 60000;  // no application thread moving on for this long is a hang
  for (unsigned i = 0; i < 8; ++i) t.rngs[i].draws.seed(t.seed * 7919u + i);
  tRng = &t.rngs[4];
  t.realtime = output == OSND_OUTPUT_NOSOUND;
  std::printf("[ torture  ] seed %u, %d ms at the least, %d at the most (QMV_TORTURE_SEED, QMV_TORTURE_MS, "
              "QMV_TORTURE_CAP_MS)\n", t.seed, runMs, capMs);
  t.shortRaw = RawFile("short.raw", 3000);
  t.longRaw = RawFile("long.raw", 30000);
  t.bank = Bank({Pcm16(400)});
  // Entries of one layout, short so that a sentence moves on often, each
  // with sync points of its own.
  std::vector<Entry> entries(3, Pcm16(1500));
  for (uint32_t k = 0; k < 3; ++k) entries[k].sync = {{100 + 300 * k, "entry"}, {1200, "late"}};
  t.syncBank = Bank(entries);
  TrackerSong song;  // rows shorter than half a mixed block, each with a note of instrument 1
  song.channels = song.speed = 1;
  song.tempo = 255;
  song.instruments.resize(1);
  song.instruments[0].samples = {SineSample(64, 16, 3000)};
  song.instruments[0].sampleMap.assign(96, 0);
  song.patterns = {{8, std::vector<TrackerCell>(8, TrackerCell{49, 1, 0, 0, 0})}};
  t.xm = song.Xm();
  std::string mp3;
  for (uint32_t i = 0; i < 60; ++i) {
    const MpegBytes frame = Layer3Frame(Layer3Noise(i));
    mp3.append(frame.begin(), frame.end());
  }
  const std::string titled = IcyBody(mp3, 2000, {"StreamTitle='One';", "", "StreamTitle='Two';StreamUrl='x';"});
  const int64_t baseline = SystemMemory_BytesInUse();
  HttpTestServer server(
      [&](const std::string &request) {
        HttpReply r;
        const bool titles = request.find("/titled") != std::string::npos;
        r.head = titles ? OkHead({"icy-metaint:2000"}, "ICY 200 OK") : OkHead({"Content-Type: audio/mpeg"});
        r.body = titles ? titled : mp3;
        if (request.find("/slow") != std::string::npos) {  // still opening when closes come
          r.pauseAt = 0;
          r.pauseMs = 400;
          r.dripMs = 15;
        }
        return r;
      },
      1 << 20, capMs + 60000);
  t.station = server.Url("/station");
  t.titled = server.Url("/titled");
  t.slow = server.Url("/slow/titled");
  OsndOutputNoSound.mixerThread = 1;
  ASSERT_TRUE(OSND_SetOutput(output));
  tParty = &t.parties[kMainParty];
  t.lastMove = NowMs();
  // A stall, not a slow run, aborts: the report names the step each party is
  // at, and a debugger attached meanwhile shows the locks.
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    for (; !finished; std::this_thread::sleep_for(milliseconds(100))) {
      if (const int64_t still = NowMs() - t.lastMove; still >= stallMs) ReportStall(still), std::abort();
    }
  });
  Restart();
  const int64_t start = NowMs();
  std::vector<std::thread> threads;
  for (int i = 0; i < (t.realtime ? 3 : 4); ++i) threads.emplace_back(AppThread, i, i == 3);
  Step("watching the run");
  std::string unseen;
  for (; NowMs() - start < capMs; std::this_thread::sleep_for(milliseconds(20)))
    if (NowMs() - start >= runMs && (unseen = Unseen()).empty()) break;
  const int64_t ranMs = NowMs() - start;
  t.stop = true;
  unseen = Unseen();  // its counts only grow: what the run saw stays seen
  Step("waiting for the application threads to end");
  for (std::thread &thread : threads) thread.join();
  {
    Step("the last frees and close");
    std::unique_lock<std::shared_mutex> alone(t.app);
    // A callback may have left the engine closed, for a thread that has ended
    // since to start it: started here, so that the last close is one of an
    // open engine, which a waiting callback's close and start meet.
    if (t.closed) Restart();
    FreeSongs();
    CloseEngine(false);
    Step("closed");
  }
  finished = true;
  watchdog.join();
  tParty = nullptr;
  EXPECT_EQ(unseen, "") << "not seen in " << ranMs << " ms, the cap (QMV_TORTURE_CAP_MS)";
  // Once closed, a background open fails at once.
  EXPECT_EQ(OSND_Stream_Open(t.shortRaw.c_str(), OSND_MODE_NONBLOCKING | OSND_MODE_RAW, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  EXPECT_EQ(EngineThreadsAfterClose(), 0);
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline) << "bytes the engine left allocated";
  for (int k = 0; k < kFiredKinds; ++k) EXPECT_GT(t.fired[k].load(), 0) << kFiredNames[k] << " callbacks never ran";
  for (int i = 0; i < 3; ++i) EXPECT_GT(t.calls[i].load(), kCallsEach) << "calls of thread " << i;
  EXPECT_GT(t.refusals.load(), 0);
  EXPECT_GT(t.beside.load(), 0) << "no callback closed or started the engine beside the application's close";
  EXPECT_GT(t.shared.load(), 0) << "no callback closed or freed its own object beside a thread";
  EXPECT_EQ(t.violations.load(), 0) << "seed " << t.seed;
  std::printf("[ torture  ] %lld ms; calls %ld %ld %ld, %d restarts, %d refusals, %d shared, %d beside; callbacks:",
              static_cast<long long>(ranMs), t.calls[0].load(), t.calls[1].load(), t.calls[2].load(),
              t.restarts.load(), t.refusals.load(), t.shared.load(), t.beside.load());
  for (int k = 0; k < kFiredKinds; ++k) std::printf(" %s %ld", kFiredNames[k], t.fired[k].load());
  std::printf("\n[ torture  ] longest steps:");
  for (int k = 0; k < kMainParty; ++k)
    if (t.parties[k].steps)
      std::printf(" %s %lld ms (%s);", kAppPartyNames[k], static_cast<long long>(t.parties[k].longestMs.load()),
                  t.parties[k].longestStep.load());
  std::printf("\n[ torture  ] longest turns:");
  for (int k = 0; k < kMainParty; ++k)
    if (t.parties[k].steps)
      std::printf(" %s %lld ms (%s);", kAppPartyNames[k], static_cast<long long>(t.parties[k].longestTurnMs),
                  t.parties[k].longestTurnRestarted ? "a restart" : "a call");
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

}  // namespace callback_torture_test
