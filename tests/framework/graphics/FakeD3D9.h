// A recording stand-in for the Direct3D 9 library, registered as "d3d9.dll",
// so the renderer's logic runs without a display: every state call is logged,
// resources keep their bytes in memory, and failures can be injected.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d9/IDirect3D9.h"

namespace graphicstest {

struct FakeConfig {
    D3DCAPS9 caps{};
    bool createFails = false;         // Direct3DCreate9 answers null
    bool capsFail = false;
    bool deviceFails = false;
    bool identifierFails = false;
    HRESULT cooperative = D3D_OK;     // what TestCooperativeLevel answers
    HRESULT reset = D3D_OK;           // what Reset answers
    bool bufferLockFails = false;
    DWORD separateAlphaReadBack = FALSE;
};

// One logged device call: its name and up to three arguments.
struct FakeCall {
    std::string name;
    DWORD a = 0;
    DWORD b = 0;
    DWORD c = 0;
};

struct FakeState {
    FakeConfig config;
    std::vector<FakeCall> calls;
    int devicesCreated = 0;
    int resets = 0;
    int liveObjects = 0;
    IDirect3DDevice9* device = nullptr;

    std::vector<FakeCall> Named(const std::string& name) const;
    void ClearCalls() { calls.clear(); }
};

// Registers the fake under "d3d9.dll" with a fresh state and the default caps
// (1024 x 1024 textures, hardware T&L, separate alpha blending).
FakeState& InstallFakeD3D9();
FakeState& Fake();

}  // namespace graphicstest
