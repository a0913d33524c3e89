// Device listing and identifiers shared by output and capture: each listed
// device is known by a base identifier with its index in Data1; the default
// device comes first, without an identifier.
#pragma once

#include "platform/dsound/DSound.h"

#include <string>
#include <vector>

namespace platform::dsound {

// The device name for an identifier (empty for none, the default device);
// false for an identifier that names no listed device.
bool DeviceName(const GUID* guid, const GUID& base, const std::vector<std::string>& names, std::string* name);
HRESULT ListDevices(const std::vector<std::string>& names, const GUID& base, const char* defaultName,
                    LPDSENUMCALLBACKA callback, void* context);

}  // namespace platform::dsound
