#include "sound/src/system/system_error.h"

#include "sound/src/system/system_thread.h"

namespace {
// Kept in this file alone: a thread_local member read from inline code in
// every file goes through gcc's per-file access wrappers, which its
// undefined-behaviour checks report as stores to a null pointer.
thread_local int tOwnError = 0;
}  // namespace

int OsndErrorCode::load() const { return tOwnError; }

OsndErrorCode &OsndErrorCode::operator=(int code) {
  tOwnError = code;
  last_.store(code);
  return *this;
}

void OsndErrorCode::ClearOwn() { tOwnError = 0; }

void OsndErrorCode::SetOwn(int code) { tOwnError = code; }

OsndErrorState gOsndError;

bool Osnd_OnInitThread() { return SystemThread_CurrentId() == gOsndError.initThread; }

void Osnd_ResetError() {
  if (Osnd_OnInitThread()) gOsndError.lastError = 0;
}

void Osnd_SetError(int code) { gOsndError.lastError = code; }
