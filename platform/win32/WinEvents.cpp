#include "platform/win32/WinEvents.h"

#include "platform/win32/EventTranslator.h"
#include "platform/win32/MessageQueue.h"
#include "platform/win32/WinDisplay.h"
#include "platform/win32/WinInput.h"
#include "platform/win32/WinTime.h"
#include "platform/win32/WindowDirectory.h"
#include "platform/win32/WindowTable.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

std::mutex g_eventsLock;
std::atomic<bool> g_started{false};
std::thread::id g_eventThread;

bool LookUpTarget(std::uint32_t windowId, EventTarget& target)
{
    WindowInfo info;
    WindowTable& table = WindowTable::Instance();
    if (windowId == 0 ? !table.FindFirst(info) : !table.FindBySdlId(windowId, info)) {
        return false;
    }
    target.hwnd = info.hwnd;
    target.classStyle = info.windowClass.style;
    target.acceptsFiles = (info.exStyle & WS_EX_ACCEPTFILES) != 0;
    target.logicalWidth = info.width;
    target.logicalHeight = info.height;
    if (info.sdl != nullptr) {
        SDL_GetWindowSize(info.sdl, &target.windowWidth, &target.windowHeight);
        SDL_GetWindowPosition(info.sdl, &target.screenX, &target.screenY);
    }
    return true;
}

EventTranslator& Translator()
{
    static EventTranslator translator(LookUpTarget);
    return translator;
}

// Translates one event and posts its messages to the threads of their windows.
void Deliver(SDL_Event& event)
{
    std::vector<MSG> messages;
    {
        std::lock_guard<std::mutex> hold(g_eventsLock);
        Translator().Translate(event, messages);
    }
    if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT) {
        SDL_free(event.drop.file);
    }
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    for (MSG& msg : messages) {
        msg.time = timeGetTime();
        msg.pt = cursor;
        WindowInfo info;
        if (!WindowTable::Instance().Find(msg.hwnd, info)) {
            continue;
        }
        if (auto queue = MessageQueue::ForThread(info.owner)) {
            queue->Post(msg);
        }
    }
}

bool IsFocusEvent(const SDL_Event& event, Uint8 which)
{
    return event.type == SDL_WINDOWEVENT && event.window.event == which;
}

// A window's focus lost and found again at once is kept from it: window
// managers move the focus away and back while they put up a new or a
// full-screen window, and a game told so would mute and pause behind its menu
// for nothing. A loss not followed by the same window's regain within this
// time is told then.
constexpr Uint32 kFocusRegainGrace = 100;

struct HeldFocusLoss {
    bool held = false;
    SDL_Event event{};
    Uint32 since = 0;
};
HeldFocusLoss g_heldLoss;  // the event thread's only

void DeliverHeldLoss()
{
    if (g_heldLoss.held) {
        g_heldLoss.held = false;
        Deliver(g_heldLoss.event);
    }
}

}  // namespace

bool StartVideo()
{
    std::lock_guard<std::mutex> hold(g_eventsLock);
    if (g_started) {
        return true;
    }
    // The program decides itself what closing its last window or losing focus in full screen means.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (!platform::StartVideoSubsystem()) {
        std::fprintf(stderr, "No display: %s\n", SDL_GetError());
        return false;
    }
    SDL_StartTextInput();
    g_eventThread = std::this_thread::get_id();
    g_started = true;
    return true;
}

bool IsEventThread()
{
    return g_started && std::this_thread::get_id() == g_eventThread;
}

void PumpEvents()
{
    if (!IsEventThread()) {
        return;
    }
    // Another instance asking for our window to come forward.
    for (const auto& [hwnd, request] : WindowDirectory::Shared().Receive()) {
        if (request == WindowDirectory::Request::Restore) {
            ShowWindow(hwnd, SW_RESTORE);
        } else {
            SetForegroundWindow(hwnd);
        }
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (IsFocusEvent(event, SDL_WINDOWEVENT_FOCUS_LOST)) {
            DeliverHeldLoss();  // another window's, told before this one is held
            g_heldLoss = {true, event, SDL_GetTicks()};
            continue;
        }
        if (g_heldLoss.held && IsFocusEvent(event, SDL_WINDOWEVENT_FOCUS_GAINED) &&
            event.window.windowID == g_heldLoss.event.window.windowID) {
            g_heldLoss.held = false;  // never away: neither is told
            continue;
        }
        if (IsFocusEvent(event, SDL_WINDOWEVENT_FOCUS_GAINED)) {
            DeliverHeldLoss();  // focus moved to another window: the loss comes first
        }
        Deliver(event);
    }
    if (g_heldLoss.held && SDL_GetTicks() - g_heldLoss.since >= kFocusRegainGrace) {
        DeliverHeldLoss();
    }
}

KeyState AsyncKeys()
{
    std::lock_guard<std::mutex> hold(g_eventsLock);
    return Translator().Keys();
}

KeyState& MessageKeys()
{
    thread_local KeyState keys;
    return keys;
}

}  // namespace platform
