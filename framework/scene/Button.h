// The push button: a sprite whose frames show its state (normal, over,
// pressed, disabled), that follows the mouse and its fire keys, plays a
// sound per state, shows the hand cursor while pointed at or held, and fires
// its bound method when released on it. Input reaches it through the input
// handler's walk of the game tree.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/app/iInputListener.h"
#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/core/object/iGuiMethod.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/iHitMask.h"

struct luaL_Reg;

namespace Qmv2 {

class Button : public Sprite, public iInputListener, public iGuiMethod, public iHitMask {
    QMV_INDEXED_TYPE(Button)

    enum StateFlag : std::uint32_t { kOver = 1, kPressed = 2, kDisabled = 4, kChecked = 8 };

    // The sprite from the node, then "hitmask", "hitmaskthreshold",
    // "enabled", the state sounds, "soundsection" and "firekey".
    explicit Button(PropertyNode* description);
    ~Button() override;

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    // Inside the outline, and on a solid pixel when the hit mask is on.
    bool HitTest(float x, float y) override;
    // Replaces a different image and shows the current state's frame.
    void SetImage(Image* image) override;
    ImageFrame* GetMaskSource(float threshold) override;

    // Keeps the hand cursor in step with "active" and shows the state's frame.
    virtual void UpdateState();
    virtual bool IsKindAccepted(std::int32_t kind) const { return kind >= 3; }
    virtual void SetEnabled(bool enabled) { SetStateFlag(kDisabled, !enabled); }
    // Sets or clears the flag; only a change refreshes the state.
    virtual void SetStateFlag(std::uint32_t flag, bool on);

    bool IsEnabled() const { return (m_State & kDisabled) == 0; }
    bool HasState(std::uint32_t flag) const { return (m_State & flag) != 0; }
    std::uint32_t GetState() const { return m_State; }
    // Not disabled, and over or pressed.
    bool IsActive() const { return IsEnabled() && (m_State & (kOver | kPressed)) != 0; }
    // The frame of the current button state: disabled 3, pressed and over 2,
    // pressed or over 1, else 0; clamped to the image's frames.
    std::int32_t StateFrame() const;
    const std::vector<KeyStroke>& GetFireKeys() const { return m_FireKeys; }
    // The fire keys of a "firekey" text: pieces between commas, blanks
    // removed; "#hex" is a character code, else the first character.
    void SetFireKeys(const std::string& text);
    // A sound name for a state ("click", "over", "disabled", "on", "off") or
    // "section"; an empty name removes it.
    void SetSound(const std::string& state, const std::string& name);
    // Plays the state's sound from the sound section; nothing without either.
    void PlayStateSound(const std::string& state);
    // Calls the bound method with the button.
    void Fire() { Invoke(static_cast<BaseObject*>(this)); }

    bool OnKeyDown(KeyboardMessageData* data) override;
    bool OnKeyUp(KeyboardMessageData* data) override;
    bool OnChar(KeyboardMessageData* data) override;
    bool OnMouseMove(MouseMessageData* data) override;
    bool OnLeftButtonDown(MouseMessageData* data) override;
    bool OnLeftButtonUp(MouseMessageData* data) override;
    void ResetInputState() override;

    static const luaL_Reg s_ScriptMethods[];

protected:
    // Whether a key stroke is one of the fire keys (same key code and text).
    bool IsFireKey(const KeyStroke& key) const;
    // The key-up and character handler: fires once per keystroke.
    bool OnFireKeyRelease(KeyboardMessageData* data, bool character);
    void ReadButtonProperties(const PropertyNode& node);

private:
    MouseCursorCounter m_Cursor{2};
    std::uint32_t m_State = 0;
    std::unordered_map<std::string, std::string> m_Sounds;
    std::vector<KeyStroke> m_FireKeys;
    // A fire key went down and its character already fired this keystroke.
    bool m_KeyHeld = false;
    bool m_KeyFired = false;
};

}  // namespace Qmv2
