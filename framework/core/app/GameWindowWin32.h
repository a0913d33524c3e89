// The game window on the Win32 windowing interface: window class, creation
// and re-creation, full-screen switch, cursor, and the window procedure that
// turns Windows messages into framework messages.
#pragma once

#include <string>

#include "framework/core/app/GameWindow.h"
#include "platform/win32/WinWindow.h"

namespace Qmv2 {

class GameWindowWin32 : public GameWindow {
public:
    QMV_CLASS_TYPE(GameWindowWin32, GameWindow)

    GameWindowWin32(const std::string& title, bool maximizeAllowed);
    ~GameWindowWin32() override;

    // Makes the window the singleton, sizes, centres, creates and shows it.
    static GameWindowWin32* CreateGameWindow(const std::string& title, std::int32_t width, std::int32_t height,
                                             bool maximizeAllowed);

    void Destroy() override;
    void Show() override;
    void Hide() override;
    void SetMinimized(bool minimized) override;
    void SetFullscreen(bool fullscreen) override;
    void SetTitle(const std::string& title) override;
    void UpdateCursor() override;
    WindowRect GetClientRect() override;
    void DragAcceptFiles(bool accept) override;
    void ApplyFullscreen(bool fullscreen) override { SetFullscreen(fullscreen); }
    void SetFullscreenFlag(bool fullscreen) override;
    bool CreateFullscreen() override { return Create(); }
    bool Create() override;
    void MoveWindow() override;
    WindowRect AdjustWindowRect() override;

    void CenterWindow();
    bool IsMouseInside();
    void ClampPoint(float& x, float& y) const;

    HWND GetHandle() const { return m_Handle; }
    DWORD GetStyle() const { return m_Style; }
    std::int32_t GetShownCursorKind() const { return m_CursorKind; }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void ComputeStyles();
    bool TranslateMouse(UINT message, WPARAM wParam, LPARAM lParam);
    bool TranslateKey(UINT message, WPARAM wParam, LPARAM lParam);
    // Answers true when the message is finished (the default procedure is not called).
    bool HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void SetActive(bool active);
    void RegisterSessionNotifications();
    void UnregisterSessionNotifications();

    std::int32_t m_CursorKind = 0;
    HCURSOR m_Cursor = nullptr;
    std::string m_ClassName;
    DWORD m_Style = 0;
    DWORD m_ExStyle = 0;
    HWND m_Handle = nullptr;
};

}  // namespace Qmv2
