#include "platform/d3d9/Direct3D9Library.h"

#include "platform/d3d9/IDirect3D9.h"
#include "platform/win32/WinLibrary.h"

namespace platform::d3d9 {

void RegisterDirect3D9Library()
{
    platform::RegisterLibrary("d3d9.dll", {{"Direct3DCreate9", platform::EntryPoint(&Direct3DCreate9)}});
}

}  // namespace platform::d3d9
