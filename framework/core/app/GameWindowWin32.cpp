#include "framework/core/app/GameWindowWin32.h"

#include <vector>

#include "framework/core/app/KeyCodes.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/core/util/Platform.h"
#include "platform/win32/WinDragDrop.h"
#include "platform/win32/WinInput.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinLibrary.h"

namespace Qmv2 {

namespace {

constexpr std::int32_t kKeyShift = 6;
constexpr std::int32_t kKeyControl = 9;
constexpr std::int32_t kKeyAlt = 12;
constexpr std::int32_t kKeyEscape = 16;
constexpr std::int32_t kKeyLeftWindows = 27;
constexpr std::int32_t kKeyRightWindows = 28;

HCURSOR SystemCursor(std::int32_t kind)
{
    switch (kind) {
    case 1:
    case 2: return LoadCursorA(nullptr, IDC_HAND);
    case 3: return LoadCursorA(nullptr, IDC_IBEAM);
    case 4: return LoadCursorA(nullptr, IDC_WAIT);
    case 5: return LoadCursorA(nullptr, IDC_APPSTARTING);
    case 6: return LoadCursorA(nullptr, IDC_HELP);
    case 7: return nullptr;
    default: return LoadCursorA(nullptr, IDC_ARROW);
    }
}

std::uint32_t ButtonMask(WPARAM wParam)
{
    std::uint32_t mask = 0;
    mask |= (wParam & MK_LBUTTON) != 0 ? MouseMessageData::kLeftButton : 0;
    mask |= (wParam & MK_RBUTTON) != 0 ? MouseMessageData::kRightButton : 0;
    mask |= (wParam & MK_MBUTTON) != 0 ? MouseMessageData::kMiddleButton : 0;
    mask |= (wParam & MK_SHIFT) != 0 ? MouseMessageData::kShift : 0;
    mask |= (wParam & MK_CONTROL) != 0 ? MouseMessageData::kControl : 0;
    return mask;
}

using SessionFunction = BOOL (*)(HWND, DWORD);
using SessionUnregisterFunction = BOOL (*)(HWND);

}  // namespace

GameWindowWin32::GameWindowWin32(const std::string& title, bool maximizeAllowed) : m_ClassName(title)
{
    m_MaximizeAllowed = maximizeAllowed;
    m_Cursor = LoadCursorA(nullptr, IDC_ARROW);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = &GameWindowWin32::WindowProc;
    windowClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(1));
    windowClass.hCursor = m_Cursor;
    windowClass.lpszClassName = m_ClassName.c_str();
    RegisterClassExA(&windowClass);
    GameWindow::SetTitle(title);
    ComputeStyles();
}

GameWindowWin32::~GameWindowWin32()
{
    Destroy();
    UnregisterClassA(m_ClassName.c_str(), nullptr);
}

GameWindowWin32* GameWindowWin32::CreateGameWindow(const std::string& title, std::int32_t width,
                                                   std::int32_t height, bool maximizeAllowed)
{
    auto* window = new GameWindowWin32(title, maximizeAllowed);
    GameWindow::SetInstance(window);
    window->SetSize(width, height);
    window->SetFullscreenFlag(false);
    window->CenterWindow();
    window->Create();
    window->Show();
    return window;
}

void GameWindowWin32::ComputeStyles()
{
    m_ExStyle = 0;
    if (m_Fullscreen) {
        m_Style = static_cast<DWORD>(WS_POPUP);
    } else {
        m_Style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | (m_MaximizeAllowed ? WS_MAXIMIZEBOX : 0);
    }
}

void GameWindowWin32::SetFullscreenFlag(bool fullscreen)
{
    GameWindow::SetFullscreenFlag(fullscreen);
    ComputeStyles();
}

WindowRect GameWindowWin32::AdjustWindowRect()
{
    RECT rect{m_X, m_Y, m_X + m_Width, m_Y + m_Height};
    AdjustWindowRectEx(&rect, m_Style, FALSE, m_ExStyle);
    return WindowRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool GameWindowWin32::Create()
{
    const WindowRect outer = AdjustWindowRect();
    HWND parent = m_Fullscreen ? nullptr : GetDesktopWindow();
    m_Handle = CreateWindowExA(m_ExStyle, m_ClassName.c_str(), m_Title.c_str(), m_Style, outer.x, outer.y,
                               outer.width, outer.height, parent, nullptr, nullptr, nullptr);
    SetTitle(m_Title);
    RegisterSessionNotifications();
    return m_Handle != nullptr;
}

void GameWindowWin32::Destroy()
{
    if (m_Handle != nullptr) {
        HWND handle = m_Handle;
        m_Handle = nullptr;
        DestroyWindow(handle);
    }
}

void GameWindowWin32::Show()
{
    if (m_Handle != nullptr) {
        ShowWindow(m_Handle, SW_SHOWDEFAULT);
    }
}

void GameWindowWin32::Hide()
{
    if (m_Handle != nullptr) {
        ShowWindow(m_Handle, SW_HIDE);
    }
}

void GameWindowWin32::SetMinimized(bool minimized)
{
    if (minimized == m_Minimized) {
        return;
    }
    GameWindow::SetMinimized(minimized);
    if (m_Handle != nullptr) {
        ShowWindow(m_Handle, minimized ? SW_MINIMIZE : SW_RESTORE);
    }
}

void GameWindowWin32::SetFullscreen(bool fullscreen)
{
    if (fullscreen == m_Fullscreen) {
        return;
    }
    SetFullscreenFlag(fullscreen);
    Destroy();
    if (fullscreen) {
        if (!CreateFullscreen()) {
            SetFullscreenFlag(false);
            Create();
        }
    } else {
        Create();
    }
    Show();
    Post(Message::kFullscreenChanged, new TemplateMessageData<bool>(fullscreen));
}

void GameWindowWin32::SetTitle(const std::string& title)
{
    GameWindow::SetTitle(title);
    if (m_Handle != nullptr) {
        // The stand-in's wide calls take UTF-16 text.
        const std::u16string wide = Utf8ToWide(title);
        SetWindowTextW(m_Handle, reinterpret_cast<LPCWSTR>(wide.c_str()));
    }
}

void GameWindowWin32::UpdateCursor()
{
    const std::int32_t kind = MouseCursorCounter::GetShownKind();
    if (kind != m_CursorKind) {
        m_CursorKind = kind;
        m_Cursor = SystemCursor(kind);
    }
    SetCursor(IsMouseInside() ? m_Cursor : LoadCursorA(nullptr, IDC_ARROW));
}

WindowRect GameWindowWin32::GetClientRect()
{
    if (m_Handle == nullptr) {
        return WindowRect{m_X, m_Y, m_Width, m_Height};
    }
    RECT rect{};
    ::GetClientRect(m_Handle, &rect);
    return WindowRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void GameWindowWin32::DragAcceptFiles(bool accept)
{
    if (m_Handle != nullptr) {
        ::DragAcceptFiles(m_Handle, accept ? TRUE : FALSE);
    }
}

void GameWindowWin32::MoveWindow()
{
    if (m_Handle != nullptr) {
        const WindowRect outer = AdjustWindowRect();
        ::MoveWindow(m_Handle, outer.x, outer.y, outer.width, outer.height, TRUE);
    }
}

void GameWindowWin32::CenterWindow()
{
    const WindowRect outer = AdjustWindowRect();
    m_X = (GetSystemMetrics(SM_CXSCREEN) - outer.width) / 2 + (m_X - outer.x);
    m_Y = (GetSystemMetrics(SM_CYSCREEN) - outer.height) / 2 + (m_Y - outer.y);
    MoveWindow();
}

bool GameWindowWin32::IsMouseInside()
{
    if (m_Handle == nullptr) {
        return false;
    }
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(m_Handle, &point);
    return point.x >= 0 && point.x < m_Width && point.y >= 0 && point.y < m_Height;
}

void GameWindowWin32::ClampPoint(float& x, float& y) const
{
    if (x > 60000.0f || x < 0.0f) {
        x = -1.0f;
    } else if (x >= static_cast<float>(m_Width)) {
        x = static_cast<float>(m_Width);
    }
    if (y > 60000.0f || y < 0.0f) {
        y = -1.0f;
    } else if (y >= static_cast<float>(m_Height)) {
        y = static_cast<float>(m_Height);
    }
}

void GameWindowWin32::RegisterSessionNotifications()
{
    if (HMODULE library = LoadLibraryA("wtsapi32.dll")) {
        if (auto function = reinterpret_cast<SessionFunction>(GetProcAddress(library, "WTSRegisterSessionNotification"))) {
            function(m_Handle, NOTIFY_FOR_ALL_SESSIONS);
        }
        FreeLibrary(library);
    }
}

void GameWindowWin32::UnregisterSessionNotifications()
{
    if (HMODULE library = LoadLibraryA("wtsapi32.dll")) {
        if (auto function = reinterpret_cast<SessionUnregisterFunction>(
                GetProcAddress(library, "WTSUnRegisterSessionNotification"))) {
            function(m_Handle);
        }
        FreeLibrary(library);
    }
}

LRESULT CALLBACK GameWindowWin32::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* window = static_cast<GameWindowWin32*>(GameWindow::GetInstance());
    if (window == nullptr || !window->IsOfType(&GameWindowWin32::s_Type)) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    // The window may be released by a listener (a quit that shuts down); keep it for this message.
    SmartPtr<GameWindow> keep(window);
    if (!window->TranslateMouse(message, wParam, lParam)) {
        window->TranslateKey(message, wParam, lParam);
    }
    if (window->HandleMessage(hwnd, message, wParam, lParam)) {
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool GameWindowWin32::TranslateMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::uint32_t id = 0;
    bool doubleClick = false;
    int capture = 0;  // 1 take, -1 release
    switch (message) {
    case WM_MOUSEMOVE: id = Message::kMouseMove; break;
    case WM_LBUTTONDOWN: id = Message::kLeftButtonDown; capture = 1; break;
    case WM_LBUTTONUP: id = Message::kLeftButtonUp; capture = -1; break;
    case WM_LBUTTONDBLCLK: id = Message::kLeftButtonDown; doubleClick = true; break;
    case WM_RBUTTONDOWN: id = Message::kRightButtonDown; capture = 1; break;
    case WM_RBUTTONUP: id = Message::kRightButtonUp; capture = -1; break;
    case WM_RBUTTONDBLCLK: id = Message::kRightButtonDown; doubleClick = true; break;
    case WM_MBUTTONDOWN: id = Message::kMiddleButtonDown; capture = 1; break;
    case WM_MBUTTONUP: id = Message::kMiddleButtonUp; capture = -1; break;
    case WM_MBUTTONDBLCLK: id = Message::kMiddleButtonDown; doubleClick = true; break;
    default: return false;
    }
    if (capture > 0) {
        SetCapture(m_Handle);
    } else if (capture < 0) {
        ReleaseCapture();
    }
    float x = static_cast<float>(LOWORD(lParam));
    float y = static_cast<float>(HIWORD(lParam));
    ClampPoint(x, y);
    Post(id, new MouseMessageData(x, y, ButtonMask(wParam), doubleClick));
    return true;
}

bool GameWindowWin32::TranslateKey(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR || message == WM_SYSCHAR || message == WM_UNICHAR) {
        if (message == WM_UNICHAR && wParam == UNICODE_NOCHAR) {
            return true;
        }
        // Characters arrive as UTF-16 units; taking only the low byte would
        // turn every character above U+00FF into an unrelated one.
        Post(Message::kChar, new KeyboardMessageData(static_cast<std::uint32_t>(wParam & 0xFFFF), 0));
        return true;
    }
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
    if (!down && !up) {
        return false;
    }
    const int virtualKey = static_cast<int>(wParam);
    std::int32_t code = Platform::TranslateVirtualKey(virtualKey);
    std::uint32_t character = 0;
    if (code == 0) {
        const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
        const bool digit = virtualKey >= '0' && virtualKey <= '9';
        if (!letter && !digit) {
            return true;
        }
        character = static_cast<std::uint32_t>(virtualKey);
    } else {
        character = Platform::KeyCodeCharacter(code);
    }
    const std::int32_t extended = static_cast<std::int32_t>((static_cast<DWORD>(lParam) >> 24) & 1);
    std::int32_t location = 0;
    std::int32_t variant = code;
    if (code == kKeyShift || code == kKeyControl || code == kKeyAlt) {
        location = 1 + extended;
        variant = code + 1 + extended;
    } else if (code == kKeyLeftWindows || code == kKeyRightWindows) {
        location = 1 + extended;
        variant = code;
        code = kKeyCodeWindowsKey;
    }
    const bool repeat = LOWORD(lParam) != 0;
    if (down) {
        if (code == kKeyEscape) {
            SetFullscreen(false);
        }
        if (character == 'P' && (GetKeyState(VK_CONTROL) & 0x8000) != 0) {
            Post(Message::kCtrlP);
        }
    }
    Post(down ? Message::kKeyDown : Message::kKeyUp,
         new KeyboardMessageData(character, code, repeat, location, variant));
    return true;
}

void GameWindowWin32::SetActive(bool active)
{
    if (active == m_Active) {
        return;
    }
    m_Active = active;
    // Losing the focus is no minimise, in full screen either: the window may
    // still be on the screen, and one that stops drawing shows black wherever
    // the server asks it to paint again. Drawing pauses only for a minimise
    // or an unmap (WM_SIZE).
    Post(Message::kActivationChanged, new TemplateMessageData<bool>(active));
}

bool GameWindowWin32::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_CLOSE:
        Post(Message::kQuit);
        return false;
    case WM_DESTROY:
        UnregisterSessionNotifications();
        return false;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && m_Minimized) {
            m_Minimized = false;
            Post(Message::kMinimizedChanged, new TemplateMessageData<bool>(false));
        } else if (wParam == SIZE_MINIMIZED && !m_Minimized) {
            m_Minimized = true;
            Post(Message::kMinimizedChanged, new TemplateMessageData<bool>(true));
        } else if (wParam == SIZE_MAXIMIZED) {
            SetFullscreen(true);
            return true;
        }
        return false;
    case WM_ACTIVATE:
    case WM_NCACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            SetActive(false);
        } else if (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE) {
            SetActive(true);
        }
        return false;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
        ReleaseCapture();
        return false;
    case WM_SETCURSOR:
        SetCursor(IsMouseInside() ? m_Cursor : LoadCursorA(nullptr, IDC_ARROW));
        return true;
    case WM_DISPLAYCHANGE:
        if (!m_Fullscreen) {
            const WindowRect client = GetClientRect();
            if (client.width != m_Width || client.height != m_Height) {
                Destroy();
                Create();
                Show();
                Post(Message::kFullscreenChanged, new TemplateMessageData<bool>(m_Fullscreen));
            }
        }
        return false;
    case WM_NCLBUTTONDOWN:
        Post(Message::kFrameClick);
        return false;
    case WM_MOUSEWHEEL:
        Post(Message::kMouseWheel,
             new ScrollMessageData(static_cast<float>(static_cast<SHORT>(HIWORD(wParam))) / 120.0f));
        return false;
    case WM_DROPFILES: {
        auto drop = reinterpret_cast<HDROP>(wParam);
        POINT point{};
        DragQueryPoint(drop, &point);
        float x = static_cast<float>(point.x);
        float y = static_cast<float>(point.y);
        ClampPoint(x, y);
        GFVector<std::string> files;
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileA(drop, i, nullptr, 0);
            std::vector<char> buffer(length + 2, '\0');
            DragQueryFileA(drop, i, buffer.data(), length + 2);
            files.PushBack(std::string(buffer.data()));
        }
        DragFinish(drop);
        Post(Message::kFilesDropped, new DragDropMessageData(files, Point_t<float>(x, y)));
        return false;
    }
    case WM_POWERBROADCAST:
        if (m_Fullscreen) {
            if (wParam == PBT_APMSUSPEND || wParam == PBT_APMSTANDBY) {
                SetMinimized(true);
            } else if (wParam == PBT_APMRESUMECRITICAL || wParam == PBT_APMRESUMESUSPEND ||
                       wParam == PBT_APMRESUMESTANDBY || wParam == PBT_APMRESUMEAUTOMATIC) {
                SetMinimized(false);
            }
        }
        return false;
    case WM_WTSSESSION_CHANGE:
        if (wParam == WTS_SESSION_LOGON) {
            Post(Message::kSessionLogon);
        } else if (wParam == WTS_SESSION_LOGOFF) {
            Post(Message::kSessionLogoff);
            SetMinimized(true);
        } else if (wParam == WTS_SESSION_LOCK) {
            Post(Message::kSessionLock);
            SetMinimized(true);
        } else if (wParam == WTS_SESSION_UNLOCK) {
            Post(Message::kSessionUnlock);
        }
        return false;
    default:
        return false;
    }
}

}  // namespace Qmv2
