#include "sound/src/system/system_time.h"

#include "sound/src/system/system_thread.h"

#include <chrono>
#include <thread>

uint32_t SystemTime_GetMicroseconds() {
  using namespace std::chrono;
  const auto us = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
  return uint32_t(uint64_t(us));
}

uint32_t SystemTime_GetMilliseconds() { return SystemTime_GetMicroseconds() / 1000; }

void SystemTime_Sleep(int milliseconds) {
  if (SystemThread_NonRealtime()) return;
  if (milliseconds <= 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SystemTime_StartMeasure(OsndCpuMeter *meter) { meter->start = SystemTime_GetMicroseconds(); }

float SystemTime_EndMeasureAt(OsndCpuMeter *meter, int weight, uint32_t now) {
  const float f = float(weight) / 100.0f;
  meter->end = meter->endCopy = now;
  const uint32_t period = now >= meter->previousEnd ? now - meter->previousEnd : 0;
  meter->period = meter->period * f + float(period);
  meter->busy = meter->busy * f;
  if (now > meter->start) {
    const float denominator = meter->period * (1.0f - f);
    if (denominator > 0.0f) meter->busy += 100.0f * float(now - meter->start) / denominator;
  }
  meter->previousEnd = now;
  return (1.0f - f) * meter->busy;
}

float SystemTime_EndMeasure(OsndCpuMeter *meter, int weight) {
  return SystemTime_EndMeasureAt(meter, weight, SystemTime_GetMicroseconds());
}
