#include "platform/dsound/DirectSoundLibrary.h"

#include "platform/dsound/DSound.h"
#include "platform/win32/WinLibrary.h"

namespace platform::dsound {

void RegisterDirectSoundLibrary()
{
    platform::RegisterLibrary("dsound.dll", {
        {"DirectSoundCreate8", platform::EntryPoint(&DirectSoundCreate8)},
        {"DirectSoundEnumerateA", platform::EntryPoint(&DirectSoundEnumerateA)},
        {"DirectSoundCaptureCreate8", platform::EntryPoint(&DirectSoundCaptureCreate8)},
        {"DirectSoundCaptureEnumerateA", platform::EntryPoint(&DirectSoundCaptureEnumerateA)},
    });
}

}  // namespace platform::dsound
