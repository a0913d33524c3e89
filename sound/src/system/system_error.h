// The engine's last-error code. Each thread reads and writes a code of its
// own, so that a loader on a background thread, which looks at the code to
// choose what to try next, is not misled by calls made meanwhile on other
// threads; every code set is also kept as the engine's last, which
// OSND_GetError reports. Calls on the thread that initialised the engine
// start by clearing both; calls on other threads leave the engine's last for
// that thread to read.
#pragma once

#include <atomic>
#include <cstdint>

class OsndErrorCode {
public:
  // The calling thread's own code.
  operator int() const { return load(); }
  int load() const;
  // Sets the calling thread's code and the engine's last.
  OsndErrorCode &operator=(int code);
  // The last code set on any thread.
  int Last() const { return last_.load(); }
  // Clears the calling thread's code alone, as a background thread does
  // before each piece of work so that no earlier work's code is read as its.
  void ClearOwn();
  // Sets the calling thread's code alone, the engine's last left as it is.
  void SetOwn(int code);

private:
  std::atomic<int> last_{0};
};

struct OsndErrorState {
  OsndErrorCode lastError;
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
