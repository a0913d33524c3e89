// The start-up test that the machine can run the game: a real display driver,
// the Direct3D 9 runtime, a hardware device with large enough textures and the
// needed formats, and a working render-to-texture path. The first failing test
// shows one message box; nothing the check makes outlives it.
#pragma once

#include <string>

#include "platform/d3d9/IDirect3D9.h"
#include "platform/win32/WinDisplay.h"
#include "platform/win32/WinTypes.h"

namespace Qmv2 {

class HardwareCheck {
public:
    // The source of display settings: EnumDisplaySettingsA, or a stand-in
    // with the same contract for tests.
    using DisplaySettingsFunction = BOOL (*)(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode);

    static constexpr DWORD kMinimumTextureSize = 1024;
    static constexpr DWORD kDisplayModesTried = 1000;
    // The target of the render-to-texture test, in pixels a side.
    static constexpr UINT kTestTargetSize = 1024;

    explicit HardwareCheck(DisplaySettingsFunction displaySettings = &EnumDisplaySettingsA);
    HardwareCheck(const HardwareCheck&) = delete;
    HardwareCheck& operator=(const HardwareCheck&) = delete;
    // Releases the test device, then the Direct3D object, then frees "d3d9.dll".
    virtual ~HardwareCheck();

    // True when every test passes; otherwise shows the message box of the
    // first test that failed and answers false.
    bool Run();

    // The "hardwarecheck" start-up command: makes a check, runs it, destroys it.
    static bool RunStartupCheck();

private:
    static bool HasRealDisplayDriver(const DEVMODEA& mode);
    bool LoadRuntime();
    bool CreateTestDevice();
    bool HasTrueColorMode();
    void SetTestStates();
    bool RenderToTexture();
    // Shows the message of `textKey` under the error caption; answers false.
    bool Fail(const std::string& textKey);

    D3DCAPS9 m_Caps{};
    IDirect3D9* m_Direct3D = nullptr;
    HMODULE m_Module = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    D3DDISPLAYMODE m_DisplayMode{};
    DisplaySettingsFunction m_DisplaySettings;
};

}  // namespace Qmv2
