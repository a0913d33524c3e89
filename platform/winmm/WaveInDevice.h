// Wave input on an SDL capture device: captured bytes fill the added headers
// in order; each full header is returned (WHDR_DONE) and announced with WIM_DATA.
#pragma once

#include "platform/winmm/WaveDevice.h"

class WaveInDevice : public WaveDevice {
 public:
    static constexpr bool kCapture = true;

    static WaveInDevice* From(HWAVEIN handle);

    MMRESULT Start();
    MMRESULT Stop();

 protected:
    void Process(Uint8* stream, int bytes) override;

 private:
    using WaveDevice::WaveDevice;
};
