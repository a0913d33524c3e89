#include "sound/src/system/system_error.h"

#include "sound/src/system/system_thread.h"

thread_local int OsndErrorCode::own_ = 0;

OsndErrorState gOsndError;

bool Osnd_OnInitThread() { return SystemThread_CurrentId() == gOsndError.initThread; }

void Osnd_ResetError() {
  if (Osnd_OnInitThread()) gOsndError.lastError = 0;
}

void Osnd_SetError(int code) { gOsndError.lastError = code; }
