// Makes "dsound.dll" loadable by name: after this, LoadLibraryA("dsound.dll")
// succeeds and GetProcAddress answers the DirectSound entry points of this
// layer (output and capture).
#pragma once

namespace platform::dsound {

void RegisterDirectSoundLibrary();

}  // namespace platform::dsound
