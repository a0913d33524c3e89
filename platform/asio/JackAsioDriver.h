// An audio driver of the ASIO kind on a JACK server: two output channels,
// JACK's period as the buffer size and its rate as the only sample rate. The
// driver's buffer switch runs inside JACK's process callback: the host fills
// one buffer half, which goes out in the same period. JACK carries floats of
// ±1.0: integer types are scaled to their full range, and the float types,
// which the host writes unscaled (±32768), are scaled by 1/32768.
#pragma once

#include "platform/asio/Asio.h"

namespace platform::asio {

// Lists the driver as "JACK" under HKEY_LOCAL_MACHINE "software\asio", with
// its class entries under HKEY_CLASSES_ROOT, and makes its class creatable.
void RegisterJackAsioDriver();

// The driver's class identifier.
extern const GUID CLSID_JackAsioDriver;

// Test hook: the sample type the driver reports for its channels (default
// ASIOSTFloat32LSB) and the JACK client name it opens with.
void SetReportedSampleType(ASIOSampleType type);
void SetClientName(const char* name);

// Bytes one sample of a type takes in a buffer half (0 for unknown types).
int SampleBytes(ASIOSampleType type);
// The value one sample of a type stands for, on JACK's ±1.0 scale.
float SampleToFloat(ASIOSampleType type, const unsigned char* bytes);

}  // namespace platform::asio
