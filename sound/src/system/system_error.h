// The engine's last-error code. Calls on the thread that initialised the
// engine start by clearing it; calls on other threads leave it for that
// thread to read.
#pragma once

#include <atomic>
#include <cstdint>

struct OsndErrorState {
  std::atomic<int> lastError{0};
  uint64_t initThread = 0;  // the thread that called OSND_Init
};

extern OsndErrorState gOsndError;

void Osnd_ResetError();
void Osnd_SetError(int code);
// Sets the error and answers false, for the failure paths of calls that answer success.
inline bool Osnd_Fail(int code) {
  Osnd_SetError(code);
  return false;
}
bool Osnd_OnInitThread();
