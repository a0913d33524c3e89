// Test kinds for dialogs: a clickable widget that fires its bound method, a
// dialog that records its commands, a painter that rounds sizes up, and a
// game window of a fixed size.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/iInputListener.h"
#include "framework/core/object/iGuiMethod.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/scene/AbstractPainter.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/Sprite.h"

namespace scenetest {

class TestButton : public Qmv2::Sprite, public Qmv2::iInputListener, public Qmv2::iGuiMethod {
public:
    explicit TestButton(Qmv2::PropertyNode* description) : Sprite(description) {}

    Qmv2::Interface* GetInterface(const Qmv2::ClassType* type) override
    {
        if (type == &iInputListener::s_Type) {
            return static_cast<iInputListener*>(this);
        }
        if (type == &iGuiMethod::s_Type) {
            return static_cast<iGuiMethod*>(this);
        }
        return Sprite::GetInterface(type);
    }
    Qmv2::BaseObject* GetOwner() override { return this; }
    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override
    {
        if (!HitTest(data->x, data->y)) {
            return false;
        }
        Invoke(static_cast<Qmv2::BaseObject*>(this));
        return true;
    }
};

class RecordingDialog : public Qmv2::Dialog {
public:
    explicit RecordingDialog(Qmv2::PropertyNode* description) : Dialog(description) {}

    void OnButton(const Qmv2::UTF8String& command, Qmv2::BaseObject* parameter) override
    {
        commands.emplace_back(command.GetString(), parameter);
    }

    std::vector<std::pair<std::string, Qmv2::BaseObject*>> commands;
};

// Rounds every size up to a multiple of its "step".
class TestPainter : public Qmv2::AbstractPainter {
public:
    explicit TestPainter(Qmv2::PropertyNode* description)
        : AbstractPainter(description), m_Step(description->GetValue("step")->GetFloat())
    {
    }
    float AdjustWidth(float requested) override { return std::ceil(requested / m_Step) * m_Step; }
    float AdjustHeight(float requested) override { return std::ceil(requested / m_Step) * m_Step; }

private:
    float m_Step;
};

class FixedWindow : public Qmv2::GameWindow {
public:
    FixedWindow(std::int32_t width, std::int32_t height) { SetSize(width, height); }
    void Destroy() override {}
    void Show() override {}
    void Hide() override {}
    void SetFullscreen(bool) override {}
    void UpdateCursor() override {}
    Qmv2::WindowRect GetClientRect() override { return {0, 0, m_Width, m_Height}; }
    void DragAcceptFiles(bool) override {}
    bool CreateFullscreen() override { return true; }
    bool Create() override { return true; }
    void MoveWindow() override {}
    Qmv2::WindowRect AdjustWindowRect() override { return GetClientRect(); }
};

}  // namespace scenetest
