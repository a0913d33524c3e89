// Wave output on an SDL playback device: plays the written headers in order,
// reading each live from the caller's memory; a header marked as a loop is
// played dwLoops times. The byte position is kept in 64 bits.
#pragma once

#include "platform/winmm/WaveDevice.h"

#include <cstdint>

class WaveOutDevice : public WaveDevice {
 public:
    static constexpr bool kCapture = false;

    static WaveOutDevice* From(HWAVEOUT handle);

    MMRESULT Write(WAVEHDR* header);
    // Bytes played since the open or the last reset. Read under the device's
    // lock: a caller that writes behind this position then knows the device is
    // done with what it overwrites, and its writes reach the device's next read.
    uint64_t BytesPlayed();

 protected:
    void Process(Uint8* stream, int bytes) override;
    void OnReset() override;

 private:
    using WaveDevice::WaveDevice;

    DWORD m_Offset = 0;      // in the front header
    DWORD m_LoopsLeft = 0;   // of the front header
    bool m_FrontStarted = false;
    uint64_t m_BytesPlayed = 0;
};
