// Makes "d3d9.dll" loadable by name: after this, LoadLibraryA("d3d9.dll") succeeds
// and GetProcAddress(module, "Direct3DCreate9") answers this layer's entry point.
// The program calls it once at start, before anything loads the library.
#pragma once

namespace platform::d3d9 {

void RegisterDirect3D9Library();

}  // namespace platform::d3d9
