#include "sound/src/source/source_systemmixer.h"

#include "platform/mixer/WinMixer.h"
#include "sound/src/core/osnd_records.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxMixerDevices = 16;
constexpr DWORD kLineTypes[2] = {MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER};

struct SystemMixerDevice {
  HMIXER handle;
  MIXERCONTROLA control[2];
  bool hasControl[2];
  int lastVolume[2];
};

SystemMixerDevice gDevices[kMaxMixerDevices];
int gCount = 0;

bool FindControl(HMIXER handle, DWORD componentType, MIXERCONTROLA *control) {
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  line.dwComponentType = componentType;
  if (mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_HMIXER) != MMSYSERR_NOERROR)
    return false;
  MIXERLINECONTROLSA controls{};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof(MIXERCONTROLA);
  controls.pamxctrl = control;
  if (mixerGetLineControlsA(handle, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_HMIXER) !=
      MMSYSERR_NOERROR)
    return false;
  MIXERCONTROLDETAILS_UNSIGNED value{};
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = control->dwControlID;
  details.cChannels = 1;
  details.cbDetails = sizeof value;
  details.paDetails = &value;
  mixerGetControlDetailsA(handle, &details, MIXER_GETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_HMIXER);
  return true;
}

}  // namespace

void OsndSystemMixerWin32_Init() {
  OsndSystemMixerWin32_Close();
  const int devices = std::min<int>(int(mixerGetNumDevs()), kMaxMixerDevices);
  for (int d = 0; d < devices; ++d) {
    SystemMixerDevice &device = gDevices[gCount];
    device = SystemMixerDevice{};
    if (mixerOpen(&device.handle, UINT(d), 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) continue;
    for (int line = 0; line < 2; ++line) {
      device.hasControl[line] = FindControl(device.handle, kLineTypes[line], &device.control[line]);
      device.lastVolume[line] = -1;
    }
    ++gCount;
  }
}

void OsndSystemMixerWin32_SetVolume(int line, int volume) {
  if (line != OSND_SYSTEMMIXER_CD && line != OSND_SYSTEMMIXER_SYNTH) return;
  volume = std::clamp(volume, 0, 255);
  for (int d = 0; d < gCount; ++d) {
    SystemMixerDevice &device = gDevices[d];
    if (!device.hasControl[line]) continue;
    const MIXERCONTROLA &control = device.control[line];
    const int64_t minimum = control.Bounds.lMinimum, maximum = control.Bounds.lMaximum;
    auto *value = static_cast<MIXERCONTROLDETAILS_UNSIGNED *>(OSND_ALLOC(int(sizeof(MIXERCONTROLDETAILS_UNSIGNED))));
    if (!value) return;
    value->dwValue = DWORD(minimum + (maximum - minimum) * volume / 255);
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cbDetails = sizeof *value;
    details.paDetails = value;
    mixerSetControlDetails(device.handle, &details, MIXER_SETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_HMIXER);
    OSND_FREE_MEM(value);
    device.lastVolume[line] = volume;
  }
}

void OsndSystemMixerWin32_Close() {
  for (int d = 0; d < gCount; ++d) {
    if (gDevices[d].handle) mixerClose(gDevices[d].handle);
    gDevices[d].handle = nullptr;
  }
  gCount = 0;
}

int OsndSystemMixerWin32_DeviceCount() { return gCount; }
