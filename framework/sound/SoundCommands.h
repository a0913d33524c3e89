// Hands the application the sound layer's part of start-up and shutdown: its
// type records in the class index, the resource kinds "Sound" and "Stream" in the object factory, the
// "soundmanager" start-up command, the sound manager's place in the frame and
// its release in the shutdown order. Call once before Run.
#pragma once

namespace Qmv2 {

void RegisterSoundCommands();

}  // namespace Qmv2
