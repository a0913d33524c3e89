// Hand-offs between the engine's device threads and the application's: each
// test stops one party at the step between its check and its act (a named
// pause point) while the other acts. The record thread's copy beside a free
// of the sample it writes into.
#include "SoundTestSupport.h"
#include "WinMMRecordingSupport.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using std::chrono::milliseconds;

// Makes `act` on another thread while a party stands at `point`, then lets
// that party go; true when the act waited for it.
bool WaitsForTheParty(SystemPausePoint &point, const std::function<void()> &act) {
  std::atomic<bool> done{false};
  std::thread other([&] {
    act();
    done = true;
  });
  std::this_thread::sleep_for(milliseconds(100));
  const bool waited = !done;
  point.Release();
  other.join();
  return waited;
}

class CaptureHandOff : public WinMMRecording {};

// The record thread holds the sample's memory for its copy when another
// thread frees the sample, with no stop: the free waits for the copy and
// ends the recording before the memory goes.
TEST_F(CaptureHandOff, AFreeOfTheSampleBeingRecordedIntoWaitsForTheCopyAndStopsIt) {
  OSND_SAMPLE *s = RecordSample(3000);
  ASSERT_NE(s, nullptr);
  SystemPausePoint taken("record.copy.taken");
  ASSERT_TRUE(OSND_Record_StartSample(0, s, true)) << OSND_GetError();
  ASSERT_TRUE(taken.WaitReached());
  EXPECT_TRUE(WaitsForTheParty(taken, [&] { OSND_Sample_Free(s); }))
      << "the free went on beside the record thread's copy";
  EXPECT_FALSE(gOsnd.recording.load());
}

}  // namespace
