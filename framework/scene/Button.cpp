#include "framework/scene/Button.h"

#include <algorithm>
#include <cstdlib>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/image/Image.h"
#include "framework/sound/Sound.h"

namespace Qmv2 {

Button::Button(PropertyNode* description) : Sprite(description)
{
    PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node != nullptr) {
        iHitMask::Load(*node);
        ReadButtonProperties(*node);
    }
    UpdateState();
    SetScriptClass("Button.lua", "qmv.Button", "qmv.Sprite", "Button", s_ScriptMethods);
}

Button::~Button()
{
    m_Cursor.Set(false);
}

Interface* Button::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    if (type == &iGuiMethod::s_Type) {
        return static_cast<iGuiMethod*>(this);
    }
    if (type == &iHitMask::s_Type) {
        return static_cast<iHitMask*>(this);
    }
    return Sprite::GetInterface(type);
}

void Button::ReadButtonProperties(const PropertyNode& node)
{
    if (node.HasChild("enabled")) {
        SetEnabled(node.GetValue("enabled")->GetBool());
    }
    if (node.HasChild("clicksound")) {
        SetSound("click", node.GetString("clicksound"));
    }
    if (node.HasChild("oversound")) {
        SetSound("over", node.GetString("oversound"));
    }
    if (node.HasChild("disabledsound")) {
        SetSound("disabled", node.GetString("disabledsound"));
    }
    if (node.HasChild("soundsection")) {
        SetSound("section", node.GetString("soundsection"));
    }
    if (node.HasChild("firekey")) {
        SetFireKeys(node.GetString("firekey"));
    }
}

void Button::SetSound(const std::string& state, const std::string& name)
{
    if (name.empty()) {
        m_Sounds.erase(state);
    } else {
        m_Sounds[state] = name;
    }
}

void Button::SetFireKeys(const std::string& text)
{
    std::string compact = text;
    compact.erase(std::remove(compact.begin(), compact.end(), ' '), compact.end());
    std::size_t start = 0;
    while (start <= compact.size()) {
        std::size_t end = compact.find(',', start);
        if (end == std::string::npos) {
            end = compact.size();
        }
        const std::string piece = compact.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) {
            continue;
        }
        std::uint32_t code = 0;
        if (piece[0] == '#') {
            code = static_cast<std::uint32_t>(std::strtoul(piece.c_str() + 1, nullptr, 16));
        } else {
            code = UTF8String(piece).GetCodePointAt(0);
        }
        if (code == 0) {
            continue;
        }
        m_FireKeys.emplace_back(code, 0);
    }
}

bool Button::HitTest(float x, float y)
{
    if (!Sprite::HitTest(x, y)) {
        return false;
    }
    if (!IsMaskEnabled()) {
        return true;
    }
    return iHitMask::HitTest(GlobalToLocal(x, y));
}

ImageFrame* Button::GetMaskSource(float)
{
    return GetImageSet() != nullptr ? GetImageSet()->GetFirstFrame() : nullptr;
}

void Button::SetImage(Image* image)
{
    if (image == GetImageSet()) {
        return;
    }
    Sprite::SetImage(image);
    UpdateState();
}

std::int32_t Button::StateFrame() const
{
    std::int32_t frame = 0;
    if ((m_State & kDisabled) != 0) {
        frame = 3;
    } else if ((m_State & kPressed) != 0 && (m_State & kOver) != 0) {
        frame = 2;
    } else if ((m_State & (kPressed | kOver)) != 0) {
        frame = 1;
    }
    if (Image* image = GetImageSet()) {
        frame = std::min(frame, std::max(image->GetFrameCount(), 1) - 1);
    }
    return frame;
}

void Button::UpdateState()
{
    m_Cursor.Set(IsActive());
    SetFrame(StateFrame());
}

void Button::SetStateFlag(std::uint32_t flag, bool on)
{
    if (HasState(flag) == on) {
        return;
    }
    m_State = on ? (m_State | flag) : (m_State & ~flag);
    UpdateState();
}

void Button::PlayStateSound(const std::string& state)
{
    auto name = m_Sounds.find(state);
    auto section = m_Sounds.find("section");
    ResourceManager* resources = ResourceManager::GetInstance();
    if (name == m_Sounds.end() || section == m_Sounds.end() || resources == nullptr) {
        return;
    }
    ResourceObject* resource = resources->GetResource(name->second, section->second);
    BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
    if (content != nullptr && content->IsOfType(&Sound::s_Type)) {
        static_cast<Sound*>(content)->Play(1.0f, 0.0f, 1.0f, false);
    }
}

bool Button::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    const bool leftHeld = (data->m_Buttons & MouseMessageData::kLeftButton) != 0;
    bool hit = false;
    if (HasState(kPressed) || !leftHeld) {
        hit = HitTest(data->x, data->y);
        if (hit && !HasState(kOver) && IsEnabled()) {
            PlayStateSound("over");
        }
    }
    SetStateFlag(kOver, hit);
    return false;
}

bool Button::OnLeftButtonDown(MouseMessageData* data)
{
    if (data == nullptr || !HitTest(data->x, data->y)) {
        return false;
    }
    bool handled = false;
    if (IsEnabled()) {
        PlayStateSound("click");
        SetStateFlag(kPressed, true);
        handled = true;
    } else {
        PlayStateSound("disabled");
    }
    SetStateFlag(kOver, true);
    return handled;
}

bool Button::OnLeftButtonUp(MouseMessageData* data)
{
    const bool hit = data != nullptr && HitTest(data->x, data->y);
    if (hit && IsEnabled() && HasState(kPressed)) {
        // The bound method may release the dialog that holds the button.
        SmartPtr<BaseObject> hold(this);
        Fire();
        SetStateFlag(kOver, false);
        SetStateFlag(kPressed, false);
        return true;
    }
    SetStateFlag(kOver, hit);
    SetStateFlag(kPressed, false);
    return false;
}

void Button::ResetInputState()
{
    SetStateFlag(kOver, false);
    SetStateFlag(kPressed, false);
    m_Cursor.Set(false);
    m_KeyHeld = false;
    m_KeyFired = false;
}

bool Button::IsFireKey(const KeyStroke& key) const
{
    return std::any_of(m_FireKeys.begin(), m_FireKeys.end(), [&key](const KeyStroke& fire) {
        return fire.m_KeyCode == key.m_KeyCode && fire.m_Text == key.m_Text;
    });
}

bool Button::OnKeyDown(KeyboardMessageData* data)
{
    if (data == nullptr || !IsEnabled() || !IsFireKey(*data)) {
        return false;
    }
    if (!m_KeyHeld) {
        m_KeyFired = false;
    }
    m_KeyHeld = true;
    SetStateFlag(kPressed, true);
    return true;
}

// A letter key brings a key-down, its character and a key-up that all match
// the same fire key; the keystroke fires once, on whichever comes first of
// the character and the key-up. A character without a key-down of its own
// (a blank, Enter: their keys carry key codes) fires by itself.
bool Button::OnFireKeyRelease(KeyboardMessageData* data, bool character)
{
    if (data == nullptr || !IsEnabled() || !IsFireKey(*data)) {
        return false;
    }
    SmartPtr<BaseObject> hold(this);
    if (!(m_KeyHeld && m_KeyFired)) {
        Fire();
    }
    if (character && m_KeyHeld) {
        m_KeyFired = true;
        return true;
    }
    m_KeyHeld = false;
    m_KeyFired = false;
    SetStateFlag(kPressed, false);
    return true;
}

bool Button::OnKeyUp(KeyboardMessageData* data)
{
    return OnFireKeyRelease(data, false);
}

bool Button::OnChar(KeyboardMessageData* data)
{
    return OnFireKeyRelease(data, true);
}

}  // namespace Qmv2
