// The one-line text entry: a sprite that owns a label showing its text, a
// blinking cursor sprite and a selection drawn behind the label. It takes
// focus on a click and edits by typed characters, the arrow, Home, End,
// Backspace and Delete keys (Shift extends the selection), the mouse (drag
// and double click select) and Ctrl+A, C, V and X. Limits: a number of code
// points, a width in pixels, the characters the font has and an optional
// set of allowed characters. Changes fire the entry's own method; Enter,
// Escape and Tab end editing and fire their own methods.
#pragma once

#include <cstdint>

#include "framework/core/app/iInputListener.h"
#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iGuiMethod.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

class Label;
class ModifierBlink;

class LabelInput : public Sprite, public iInputListener, public iGuiMethod {
    QMV_INDEXED_TYPE(LabelInput)

    // The framework key codes that end editing, each with its own method.
    enum EndKey : std::int32_t { kEndTab = 2, kEndEnter = 5, kEndEscape = 0x10 };
    // Pasted text beyond this many code points is cut off before it is inserted.
    static constexpr std::int32_t kMaxPaste = 1024;

    explicit LabelInput(PropertyNode* description);
    ~LabelInput() override;

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }
    // The sprite's own area, or else the label's.
    bool HitTest(float x, float y) override;
    // The sprite, then the selection behind the label's text.
    void Render(Graphics& graphics) override;

    // Filters the text, shortens it to the maximum width and shows it; a
    // change fires the entry's method.
    void SetText(const UTF8String& text);
    const UTF8String& GetText() const { return m_Text; }
    // Inserts at the cursor or over the selection; a result over a limit is
    // refused whole.
    void InsertText(const UTF8String& text);
    // Removes the selection, or the code point before (backward) or after the cursor.
    void DeleteChar(bool backward);
    // The code points the font can draw and the allowed characters hold.
    UTF8String FilterText(const UTF8String& text) const;
    void SetAllowedCharacters(const UTF8String& allowed) { m_Allowed = allowed; }
    void SetMaxLength(std::int32_t length) { m_MaxLength = length; }
    void SetMaxWidth(std::int32_t width) { m_MaxWidth = width; }
    // Whether the text has no room left for `letter`, by its length or by
    // its width.
    bool IsFull(const UTF8String& letter) const;
    // A new cursor sprite with its blink; null removes both.
    void SetCursorImage(Image* image);
    void SetFocus(bool focused);
    // The method fired when editing ends by `key` (kEndTab, kEndEnter, kEndEscape).
    iGuiMethod* GetEndMethod(std::int32_t key);

    // Moves the cursor; with `extend` the selection follows it, else with
    // `collapse` the selection collapses onto it.
    void MoveCursor(std::int32_t index, bool extend, bool collapse);
    // The pixel width of the first `count` code points.
    float TextWidth(std::int32_t count) const;
    // The code-point boundary nearest a screen x.
    std::int32_t CharIndexAt(float x) const;

    bool IsFocused() const { return m_Focused; }
    std::int32_t GetCursor() const { return m_Cursor; }
    std::int32_t GetSelectionStart() const { return m_SelStart; }
    std::int32_t GetSelectionEnd() const { return m_SelEnd; }
    UTF8String GetSelectedText() const;
    Label* GetLabel() const { return m_Label.Get(); }
    Sprite* GetCursorSprite() const { return m_CursorSprite.Get(); }

    bool OnKeyDown(KeyboardMessageData* data) override;
    bool OnKeyUp(KeyboardMessageData* data) override;
    bool OnChar(KeyboardMessageData* data) override;
    bool OnMouseMove(MouseMessageData* data) override;
    bool OnLeftButtonDown(MouseMessageData* data) override;
    bool OnLeftButtonUp(MouseMessageData* data) override;
    void ResetInputState() override;

private:
    void Load(const PropertyNode& node);
    void UpdateCursor();
    void UpdateCursorPos();
    void UpdateSelectionX();
    void CollapseSelection();
    bool CanType(std::uint32_t code) const;
    void EndEditing(std::int32_t key);
    void SelectWordAt(std::int32_t index);

    UTF8String m_Text;
    UTF8String m_Allowed;
    bool m_Focused = false;
    bool m_LeftHeld = false;
    bool m_RightHeld = false;
    bool m_DeleteHeld = false;
    bool m_MouseSelecting = false;
    bool m_WordSelected = false;
    std::int32_t m_SelStart = 0;
    std::int32_t m_SelEnd = 0;
    float m_SelStartX = 0.0f;
    float m_SelEndX = 0.0f;
    float m_TopOffset = 0.0f;
    float m_BottomOffset = 0.0f;
    Color m_SelColor{0.5f, 1.0f, 0.0f, 1.0f};
    Color m_SelBorderColor{1.0f, 0.0f, 0.0f, 0.0f};
    std::int32_t m_MaxLength = -1;
    std::int32_t m_Cursor = 0;
    SmartPtr<Sprite> m_CursorSprite;
    float m_CursorX = 0.0f;
    float m_CursorY = 0.0f;
    std::int32_t m_BlinkOn = 500;
    std::int32_t m_BlinkOff = 500;
    std::int32_t m_MaxWidth = -1;
    iGuiMethod m_EndMethods[3];
    SmartPtr<Label> m_Label;
    SmartPtr<ModifierBlink> m_Blink;
    MouseCursorCounter m_TextCursor{3};
};

}  // namespace Qmv2
