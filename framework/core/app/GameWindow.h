// The game's one window, platform-neutral part: size, title, state flags and
// the message handler through which every window event reaches the framework.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/app/MessageHandler.h"
#include "framework/core/app/iMessageListener.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

struct WindowRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class GameWindow : public BaseObject, public iInstance<GameWindow>, public iMessageListener {
public:
    QMV_CLASS_TYPE(GameWindow, BaseObject)

    GameWindow();
    ~GameWindow() override;

    // Closes the platform window and keeps the object; the last release
    // deletes the object, whose destructor closes what is still open.
    virtual void Destroy() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetMinimized(bool minimized);
    virtual void SetFullscreen(bool fullscreen) = 0;
    virtual void SetTitle(const std::string& title) { m_Title = title; }
    virtual void UpdateCursor() = 0;
    virtual WindowRect GetClientRect() = 0;
    virtual void DragAcceptFiles(bool accept) = 0;
    virtual void ApplyFullscreen(bool) {}
    virtual void SetFullscreenFlag(bool fullscreen) { m_Fullscreen = fullscreen; }
    virtual bool CreateFullscreen() = 0;
    virtual bool Create() = 0;
    virtual void MoveWindow() = 0;
    virtual WindowRect AdjustWindowRect() = 0;

    void OnMessage(const Message& message) override;
    BaseObject* GetOwner() override { return this; }

    // Posts to the window's handler.
    void Post(std::uint32_t id, MessageData* data = nullptr) { m_MessageHandler.Post(Message(id, data)); }
    MessageHandler& GetMessageHandler() { return m_MessageHandler; }

    std::int32_t GetX() const { return m_X; }
    std::int32_t GetY() const { return m_Y; }
    std::int32_t GetWidth() const { return m_Width; }
    std::int32_t GetHeight() const { return m_Height; }
    void SetSize(std::int32_t width, std::int32_t height)
    {
        m_Width = width;
        m_Height = height;
    }
    const std::string& GetTitle() const { return m_Title; }
    bool IsFullscreen() const { return m_Fullscreen; }
    bool IsMaximizeAllowed() const { return m_MaximizeAllowed; }
    bool IsActive() const { return m_Active; }
    bool IsMinimized() const { return m_Minimized; }

protected:
    std::int32_t m_X = 0;
    std::int32_t m_Y = 0;
    std::int32_t m_Width = 0;
    std::int32_t m_Height = 0;
    std::string m_Title = "<untitled>";
    bool m_Fullscreen = false;
    bool m_MaximizeAllowed = true;
    bool m_Active = true;
    bool m_Minimized = false;
    MessageHandler m_MessageHandler{true};
};

}  // namespace Qmv2
