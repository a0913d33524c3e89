// A stage for widget tests: a game tree under an input handler that listens
// to a game window (the handler joins the window's listeners itself), fed with the Windows messages the platform layer posts
// (mouse, keys with their lParam bits, characters), pumped through the
// message queue and the window procedure as the running program does; and
// images whose pixels can be read, for hit masks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/render/ImageData.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/SceneClasses.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinMessages.h"

namespace scenetest {

// A bound method that counts its calls in the int its target points to.
inline void CountCall(void* counter, void*)
{
    ++*static_cast<int*>(counter);
}

// Pixels in memory, 32 bits each with alpha in the fourth byte.
class PixelImageData : public Qmv2::ImageData {
public:
    PixelImageData(std::int32_t width, std::int32_t height)
        : ImageData(width, height, width, height, true), m_Pixels(static_cast<std::size_t>(width * height) * 4, 0)
    {
        m_Pitch = width * 4;
    }
    void* GetBits() override { return IsLocked() ? m_Pixels.data() : nullptr; }
    void SetAlpha(std::int32_t x, std::int32_t y, std::uint8_t alpha)
    {
        m_Pixels[static_cast<std::size_t>(y * m_Pitch + x * 4 + 3)] = alpha;
    }

protected:
    bool DoLock(bool) override { return true; }
    bool DoUnlock() override { return true; }

private:
    std::vector<std::uint8_t> m_Pixels;
};

// `count` frames side by side, each width x height, with the alpha that
// `alpha(x, y)` gives for the frame's own coordinates.
inline Qmv2::SmartPtr<Qmv2::Image> MakePixelImage(std::int32_t count, std::int32_t width, std::int32_t height,
                                                  const std::function<std::uint8_t(int, int)>& alpha)
{
    Qmv2::SmartPtr<PixelImageData> data(new PixelImageData(width * count, height));
    for (int frame = 0; frame < count; ++frame) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                data->SetAlpha(frame * width + x, y, alpha(x, y));
            }
        }
    }
    return Qmv2::SmartPtr<Qmv2::Image>(new Qmv2::Image(data.Get(), count, count));
}

// A property node from XML text: `<Button name="B" width="40" .../>`.
inline Qmv2::SmartPtr<Qmv2::PropertyNode> ParseNode(const std::string& xml)
{
    Qmv2::SmartPtr<Qmv2::PropertyNode> holder(new Qmv2::PropertyNode("holder"));
    if (!Qmv2::PropertyXmlReader::ReadInto(*holder, ("<holder>" + xml + "</holder>").c_str(), true)) {
        return nullptr;
    }
    for (const auto& child : holder->GetChildren()) {
        if (Qmv2::PropertyNode* node = Qmv2::PropertyNode::AsNode(child.Get())) {
            return Qmv2::SmartPtr<Qmv2::PropertyNode>(node);
        }
    }
    return nullptr;
}

// An object made by the factory from XML text, as a property file makes it.
template <typename T>
Qmv2::SmartPtr<T> MakeWidget(const std::string& xml)
{
    Qmv2::SmartPtr<Qmv2::PropertyNode> node = ParseNode(xml);
    if (node == nullptr) {
        return nullptr;
    }
    Qmv2::BaseObject* object = Qmv2::ObjectFactory::GetInstance()->Create(node->GetTypeWord(), node.Get());
    if (object == nullptr || !object->IsOfType(&T::s_Type)) {
        Qmv2::SmartPtr<Qmv2::BaseObject> discard(object);
        return nullptr;
    }
    return Qmv2::SmartPtr<T>(static_cast<T*>(object));
}

class WidgetStage {
public:
    WidgetStage()
    {
        Qmv2::RegisterSceneClasses();
        window = new Qmv2::GameWindowWin32("Widget test", true);
        Qmv2::GameWindow::SetInstance(window);
        window->SetSize(800, 600);
        root = new Qmv2::GameNode("root");
        handler = new Qmv2::InputHandler(root.Get());
        Qmv2::InputHandler::SetInstance(handler.Get());
        handler->SetRunning(true);
        Pump();
    }
    ~WidgetStage()
    {
        // Let go of held keys so that the next test starts with none.
        for (int key : {VK_SHIFT, VK_CONTROL, VK_LEFT, VK_RIGHT, VK_DELETE}) {
            if ((GetKeyState(key) & 0x8000) != 0) {
                Post(WM_KEYUP, static_cast<WPARAM>(key), KeyUpBits());
            }
        }
        Pump();
        root->DetachAndReleaseChildren();
        Qmv2::InputHandler::ReleaseInstance();
        handler = nullptr;
        root = nullptr;
        window->Destroy();
        Qmv2::GameWindow::ReleaseInstance();
    }
    WidgetStage(const WidgetStage&) = delete;
    WidgetStage& operator=(const WidgetStage&) = delete;

    static LPARAM KeyDownBits(bool repeat = false) { return repeat ? LPARAM(0x40000001) : LPARAM(1); }
    static LPARAM KeyUpBits() { return LPARAM(0xC0000001); }

    void Post(UINT message, WPARAM wParam, LPARAM lParam) { PostMessageA(nullptr, message, wParam, lParam); }
    // Takes every queued message as the program's loop does (key messages
    // bring their characters), hands it to the window procedure, then lets
    // the input handler deliver the frame's input.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            TranslateMessage(&msg);
            Qmv2::GameWindowWin32::WindowProc(window->GetHandle(), msg.message, msg.wParam, msg.lParam);
        }
        handler->Execute(16);
    }

    void Move(int x, int y, bool leftHeld = false)
    {
        Post(WM_MOUSEMOVE, leftHeld ? MK_LBUTTON : 0, MAKELPARAM(x, y));
        Pump();
    }
    void Press(int x, int y, WPARAM extra = 0)
    {
        Post(WM_LBUTTONDOWN, MK_LBUTTON | extra, MAKELPARAM(x, y));
        Pump();
    }
    void DoubleClick(int x, int y)
    {
        Post(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        Pump();
    }
    void Release(int x, int y, WPARAM extra = 0)
    {
        Post(WM_LBUTTONUP, extra, MAKELPARAM(x, y));
        Pump();
    }
    void Click(int x, int y)
    {
        Move(x, y);
        Press(x, y);
        Release(x, y);
    }
    void KeyDown(int virtualKey, bool repeat = false)
    {
        Post(WM_KEYDOWN, static_cast<WPARAM>(virtualKey), KeyDownBits(repeat));
        Pump();
    }
    void KeyUp(int virtualKey)
    {
        Post(WM_KEYUP, static_cast<WPARAM>(virtualKey), KeyUpBits());
        Pump();
    }
    // A whole keystroke: down (with its character), then up.
    void Stroke(int virtualKey)
    {
        KeyDown(virtualKey);
        KeyUp(virtualKey);
    }
    // A character without a key of its own (as an input method sends it).
    void Char(char16_t unit)
    {
        Post(WM_CHAR, static_cast<WPARAM>(unit), 1);
        Pump();
    }
    // A stroke with Ctrl or Shift held.
    void WithKey(int modifier, int virtualKey)
    {
        KeyDown(modifier);
        Stroke(virtualKey);
        KeyUp(modifier);
    }

    Qmv2::GameWindowWin32* window = nullptr;
    Qmv2::SmartPtr<Qmv2::GameNode> root;
    Qmv2::SmartPtr<Qmv2::InputHandler> handler;
};

}  // namespace scenetest
