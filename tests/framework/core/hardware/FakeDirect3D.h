// A scripted stand-in for the Direct3D 9 library, registered as "d3d9.dll":
// it logs every call the hardware check makes, keeps count of live objects,
// and fails the n-th call of a chosen name on request.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/d3d9/IDirect3D9.h"

namespace hardwaretest {

struct FakeCall {
    std::string name;
    std::vector<DWORD> args;
};

struct FakeDirect3D {
    D3DCAPS9 caps{};
    D3DDISPLAYMODE displayMode{1280, 1024, 60, D3DFMT_X8R8G8B8};
    bool createAnswersNull = false;
    // The `failOccurrence`-th call (from 1) named `failOn` answers D3DERR_INVALIDCALL.
    std::string failOn;
    int failOccurrence = 1;

    std::vector<FakeCall> calls;
    int liveObjects = 0;
    D3DPRESENT_PARAMETERS presentParameters{};
    std::vector<BYTE> quadBytes;  // the vertex buffer's bytes when it was unlocked

    std::size_t Count(const std::string& name) const;
    // Position of the first call named `name` in the log, or -1.
    long IndexOf(const std::string& name) const;
    const FakeCall* First(const std::string& name) const;
};

// Registers the fake under "d3d9.dll" with a fresh state: 1024 x 1024
// textures, a 32-bit desktop mode. Without the entry point the library loads
// but offers no "Direct3DCreate9".
FakeDirect3D& InstallFakeDirect3D(bool withEntryPoint = true);
FakeDirect3D& Fake();

}  // namespace hardwaretest
