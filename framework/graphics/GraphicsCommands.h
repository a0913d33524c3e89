// Hands the application the graphics layer's part of start-up and shutdown:
// its type records in the class index,
// the resource kinds "Image", "Mask" and "Font" in the object factory, the
// "renderer", "imagemanager" and "particlemanager" start-up commands, the
// image manager's place in the frame, and the release
// of the particle manager, the image manager and the renderer in the
// shutdown order. Call once before Run.
#pragma once

namespace Qmv2 {

void RegisterGraphicsCommands();

}  // namespace Qmv2
