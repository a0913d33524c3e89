// Hooks for tests of the code above this layer. A GL device is never lost,
// so these make it report what a real device reports, on demand.
#pragma once

#include "platform/d3d9/D3D9Types.h"

#include <functional>

struct IDirect3DDevice9;

namespace platform::d3d9 {

// Makes the device lost: the next `lostReports` calls of TestCooperativeLevel
// answer D3DERR_DEVICELOST, later ones D3DERR_DEVICENOTRESET, and Present
// answers D3DERR_DEVICELOST, until Reset succeeds. False for a device that
// this layer did not make.
bool SimulateDeviceLoss(IDirect3DDevice9* device, unsigned lostReports);

// What a device has done since it was made: windows shown (a copy of the back
// buffer and a swap), of those the ones shown straight from the window's own
// back buffer, which held the picture, presents that showed nothing new because
// nothing changed, and draws and clears carried out into the back buffer.
struct FrameCounts {
    unsigned long presents = 0;
    unsigned long shownInPlace = 0;
    unsigned long unchanged = 0;
    unsigned long backBufferDraws = 0;
};
bool GetFrameCounts(IDirect3DDevice9* device, FrameCounts* counts);

// Draws every frame whole (true) or only what changed (false), as
// QMV_FULL_REDRAW chooses when the device is made. False for a device that
// this layer did not make.
bool SetFullRedraw(IDirect3DDevice9* device, bool full);

// Lets a test change the capabilities that GetDeviceCaps answers (a smaller
// texture limit, power-of-two textures required, ...). Empty restores them.
void SetCapsFilter(std::function<void(D3DCAPS9&)> filter);

}  // namespace platform::d3d9
