// The user callbacks the engine makes from inside its own work, and the calls
// they may not make back. A stream callback (a stream's end, a sync point, an
// internet stream's title) runs on the streamer thread after its pass, or
// inside OSND_Update: it may not start, close or update the engine. A DSP unit's
// callback (and a song's row, order, Zxx and instrument callbacks, made from
// the music unit) runs under the mixer's lock, which comes after the
// stream-decode lock: every call that needs that lock is refused there where
// the lock is taken (OsndDecodeLock), and opens, closes and song loads and
// frees, which wait for engine threads, are refused at their start.
// Open-complete and song-loaded callbacks run on a thread of their own, in no
// such scope, and may call anything.
#pragma once

#include "sound/src/system/system_error.h"

#include "sound/include/osnd.h"

enum OsndCallbackKind { OSND_IN_NO_CALLBACK, OSND_IN_STREAM_CALLBACK, OSND_IN_UNIT_CALLBACK };

// The kind of callback the calling thread is inside.
inline thread_local int tOsndInCallback = OSND_IN_NO_CALLBACK;

// Marks the calling thread as inside a callback of `kind` for its lifetime.
// The codes that the callbacks' calls set (a refusal among them) are theirs:
// the thread's own code is given back at the end, so that a call that made
// callbacks on its own thread (OSND_Update on the non-realtime output)
// answers its own code, as when they run on an engine thread. The engine's
// last code keeps them, as ever.
class OsndCallbackScope {
 public:
  explicit OsndCallbackScope(int kind) : m_Outer(tOsndInCallback), m_Error(gOsndError.lastError.load()) {
    tOsndInCallback = kind;
  }
  ~OsndCallbackScope() {
    tOsndInCallback = m_Outer;
    gOsndError.lastError.SetOwn(m_Error);
  }
  OsndCallbackScope(const OsndCallbackScope &) = delete;
  OsndCallbackScope &operator=(const OsndCallbackScope &) = delete;

 private:
  int m_Outer;
  int m_Error;
};

// True, with OSND_ERR_CALLBACK set, when the calling thread is inside a
// callback that may not make an engine-wide call (start, close, update)...
inline bool Osnd_RefuseEngineCall() {
  if (tOsndInCallback == OSND_IN_NO_CALLBACK) return false;
  Osnd_SetError(OSND_ERR_CALLBACK);
  return true;
}

// ...or an open, a close, or a song load or free.
inline bool Osnd_RefuseStreamCall() {
  if (tOsndInCallback != OSND_IN_UNIT_CALLBACK) return false;
  Osnd_SetError(OSND_ERR_CALLBACK);
  return true;
}
