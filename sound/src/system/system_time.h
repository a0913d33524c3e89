// The engine's clocks, its sleep and the smoothed processor-usage meter.
#pragma once

#include <cstdint>

struct OsndCpuMeter {
  uint32_t start;
  uint32_t end;
  uint32_t previousEnd;
  uint32_t endCopy;
  float busy;
  float period;
};

uint32_t SystemTime_GetMicroseconds();
uint32_t SystemTime_GetMilliseconds();
void SystemTime_Sleep(int milliseconds);
void SystemTime_StartMeasure(OsndCpuMeter *meter);
float SystemTime_EndMeasure(OsndCpuMeter *meter, int weight);
// The meter's arithmetic for a given "now", so that it can be checked without a clock.
float SystemTime_EndMeasureAt(OsndCpuMeter *meter, int weight, uint32_t now);
