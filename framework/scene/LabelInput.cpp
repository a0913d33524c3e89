#include "framework/scene/LabelInput.h"

#include <algorithm>
#include <cmath>

#include "framework/core/app/KeyCodes.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/Platform.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierBlink.h"

namespace Qmv2 {

namespace {

constexpr std::int32_t kKeyBackspace = 1;
constexpr std::int32_t kKeyDelete = 4;
constexpr std::int32_t kKeyShift = 6;
constexpr std::int32_t kKeyControl = 9;
constexpr std::int32_t kKeyEnd = 0x12;
constexpr std::int32_t kKeyHome = 0x13;
constexpr std::int32_t kKeyLeft = 0x14;
constexpr std::int32_t kKeyRight = 0x16;

// Where a double click's word ends.
const UTF8String kSeparators("\t., ");

bool ShiftHeld()
{
    return IsKeyDown(kKeyShift) != 0;
}

// Colour numbers without their alpha byte keep the colour's own alpha.
void TakeRGB(Color& color, std::uint32_t number)
{
    const Color rgb(number | 0xFF000000u);
    color = Color(color.a, rgb.r, rgb.g, rgb.b);
}

}  // namespace

LabelInput::LabelInput(PropertyNode* description) : Sprite(description)
{
    PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node != nullptr) {
        Load(*node);
        PropertyNode* labelNode = PropertyNode::AsNode(node->GetNode("label"));
        if (node->HasChild("label")) {
            BaseObject* object = ObjectFactory::GetInstance()->Create(labelNode->GetTypeWord(), labelNode);
            if (object != nullptr && object->IsOfType(&Label::s_Type)) {
                m_Label = static_cast<Label*>(object);
                m_Label->SetText(m_Text);
                m_Label->UpdateLayout();
                AddChild(m_Label.Get());
            } else {
                SmartPtr<BaseObject> discard(object);
            }
        }
    }
    m_LeftHeld = m_RightHeld = m_DeleteHeld = false;
    UpdateCursor();
}

LabelInput::~LabelInput()
{
    m_TextCursor.Set(false);
}

Interface* LabelInput::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    if (type == &iGuiMethod::s_Type) {
        return static_cast<iGuiMethod*>(this);
    }
    return Sprite::GetInterface(type);
}

void LabelInput::Load(const PropertyNode& node)
{
    auto number = [&node](const char* key) { return node.GetValue(key)->GetInt(); };
    auto real = [&node](const char* key) { return node.GetValue(key)->GetFloat(); };
    if (node.HasChild("width")) {
        SetWidth(real("width"));
    }
    if (node.HasChild("height")) {
        SetHeight(real("height"));
    }
    if (node.HasChild("maxlength")) {
        m_MaxLength = number("maxlength");
    }
    if (node.HasChild("text")) {
        m_Text = UTF8String(node.GetString("text"));
    }
    if (node.HasChild("cursorx")) {
        m_CursorX = real("cursorx");
    }
    if (node.HasChild("cursory")) {
        m_CursorY = real("cursory");
    }
    if (node.HasChild("maxwidth")) {
        m_MaxWidth = number("maxwidth");
    }
    if (node.HasChild("selcolor")) {
        TakeRGB(m_SelColor, static_cast<std::uint32_t>(number("selcolor")));
    }
    if (node.HasChild("selbordercolor")) {
        TakeRGB(m_SelBorderColor, static_cast<std::uint32_t>(number("selbordercolor")));
    }
    if (node.HasChild("selalpha")) {
        m_SelColor = Color(real("selalpha"), m_SelColor.r, m_SelColor.g, m_SelColor.b);
    }
    if (node.HasChild("selborderalpha")) {
        m_SelBorderColor = Color(real("selborderalpha"), m_SelBorderColor.r, m_SelBorderColor.g, m_SelBorderColor.b);
    }
    if (node.HasChild("topoffset")) {
        m_TopOffset = real("topoffset");
    }
    if (node.HasChild("bottomoffset")) {
        m_BottomOffset = real("bottomoffset");
    }
    if (node.HasChild("durationon")) {
        m_BlinkOn = number("durationon");
        m_BlinkOff = node.HasChild("durationoff") ? number("durationoff") : m_BlinkOn;
    } else if (node.HasChild("durationoff")) {
        m_BlinkOff = number("durationoff");
    }
    if (node.HasChild("cursorimage")) {
        ResourceManager* resources = ResourceManager::GetInstance();
        if (resources != nullptr) {
            SetCursorImage(resources->GetImage(node.GetString("cursorimage"), node.GetString("section")));
        }
    }
}

void LabelInput::SetCursorImage(Image* image)
{
    if (m_CursorSprite != nullptr) {
        m_CursorSprite->SetObsolete(true);
        m_CursorSprite->RemoveFromParent();
        m_CursorSprite = nullptr;
    }
    m_Blink = nullptr;
    if (image == nullptr) {
        return;
    }
    m_CursorSprite = new Sprite(0.0f, 0.0f, image);
    AddChild(m_CursorSprite.Get());
    // Shown for the on time, hidden for the off time, without fades.
    m_Blink = new ModifierBlink(0, 0.0f, 1.0f, 0, m_BlinkOn, m_BlinkOff);
    m_CursorSprite->RemoveAllModifiers();
    m_CursorSprite->AddModifier(m_Blink.Get());
    UpdateCursor();
}

iGuiMethod* LabelInput::GetEndMethod(std::int32_t key)
{
    switch (key) {
    case kEndTab: return &m_EndMethods[0];
    case kEndEnter: return &m_EndMethods[1];
    case kEndEscape: return &m_EndMethods[2];
    default: return nullptr;
    }
}

bool LabelInput::HitTest(float x, float y)
{
    if (Sprite::HitTest(x, y)) {
        return true;
    }
    return m_Label != nullptr && m_Label->HitTest(x, y);
}

void LabelInput::SetFocus(bool focused)
{
    m_Focused = focused;
    UpdateCursor();
}

void LabelInput::UpdateCursor()
{
    if (m_CursorSprite != nullptr) {
        m_CursorSprite->SetSuspended(!m_Focused);
        m_CursorSprite->SetVisible(m_Focused);
    }
    if (!m_Focused) {
        m_Cursor = std::clamp(m_Cursor, 0, m_Text.GetLength());
        CollapseSelection();
    }
    UpdateCursorPos();
}

void LabelInput::CollapseSelection()
{
    m_SelStart = m_SelEnd = m_Cursor;
    m_MouseSelecting = false;
    UpdateSelectionX();
}

void LabelInput::UpdateSelectionX()
{
    m_SelStartX = TextWidth(m_SelStart);
    m_SelEndX = TextWidth(m_SelEnd);
}

void LabelInput::UpdateCursorPos()
{
    if (m_CursorSprite == nullptr || m_Label == nullptr) {
        return;
    }
    m_Label->UpdateLayout();
    const float labelX = m_Label->GetX();
    m_CursorSprite->SetPosition(labelX + TextWidth(m_Cursor) + m_CursorX, m_Label->GetY() + m_CursorY);
}

float LabelInput::TextWidth(std::int32_t count) const
{
    if (m_Label == nullptr || count <= 0) {
        return 0.0f;
    }
    return m_Label->GetTextWidth(m_Text, 0, count);
}

std::int32_t LabelInput::CharIndexAt(float x) const
{
    const float labelX = m_Label != nullptr ? m_Label->GetX() : 0.0f;
    const float local = x - GetGlobalX() - labelX;
    const std::int32_t length = m_Text.GetLength();
    if (length == 0 || local <= 0.0f) {
        return 0;
    }
    float previous = 0.0f;
    for (std::int32_t i = 1; i <= length; ++i) {
        const float width = TextWidth(i);
        if (width > local) {
            return (local - previous < width - local) ? i - 1 : i;
        }
        previous = width;
    }
    return length;
}

bool LabelInput::CanType(std::uint32_t code) const
{
    // Control characters never enter the text, whatever the font holds.
    if (code < 0x20 || code == 0x7F) {
        return false;
    }
    Font* font = m_Label != nullptr ? m_Label->GetFont() : nullptr;
    if (font != nullptr && !font->HasChar(code)) {
        return false;
    }
    return m_Allowed.IsEmpty() || m_Allowed.Find(code) >= 0;
}

UTF8String LabelInput::FilterText(const UTF8String& text) const
{
    UTF8String kept;
    for (Utf8Iterator it(text); it.codePoint != 0; Utf8Advance(it, 1)) {
        if (CanType(it.codePoint)) {
            kept.AppendChar(it.codePoint);
        }
    }
    return kept;
}

void LabelInput::SetText(const UTF8String& text)
{
    UTF8String kept = FilterText(text);
    if (m_MaxWidth > 0 && m_Label != nullptr) {
        while (!kept.IsEmpty() && m_Label->GetTextWidth(kept, 0, -1) > static_cast<float>(m_MaxWidth)) {
            kept.Erase(kept.GetLength() - 1, 1);
        }
    }
    if (m_Label != nullptr) {
        m_Label->SetText(kept);
        m_Label->UpdateLayout();
    }
    if (kept != m_Text) {
        m_Text = kept;
        SmartPtr<BaseObject> hold(static_cast<BaseObject*>(this));
        Invoke(static_cast<BaseObject*>(this));
    }
    m_Cursor = std::clamp(m_Cursor, 0, m_Text.GetLength());
    m_SelStart = std::clamp(m_SelStart, 0, m_Text.GetLength());
    m_SelEnd = std::clamp(m_SelEnd, m_SelStart, m_Text.GetLength());
    UpdateSelectionX();
    UpdateCursorPos();
}

UTF8String LabelInput::GetSelectedText() const
{
    return m_Text.SubString(m_SelStart, m_SelEnd - m_SelStart);
}

bool LabelInput::IsFull(const UTF8String& letter) const
{
    if (m_MaxLength > 0 && m_Text.GetLength() + letter.GetLength() > m_MaxLength) {
        return true;
    }
    return m_MaxWidth > 0 && m_Label != nullptr &&
           m_Label->GetTextWidth(UTF8String(m_Text.GetString() + letter.GetString()), 0, -1) >
               static_cast<float>(m_MaxWidth);
}

void LabelInput::InsertText(const UTF8String& text)
{
    UTF8String candidate = m_Text;
    const UTF8String typed = FilterText(text);
    const std::int32_t length = candidate.GetLength();
    std::int32_t at = m_Cursor;
    if (m_SelStart != m_SelEnd) {
        const std::int32_t start = std::max(m_SelStart, 0);
        const std::int32_t end = std::min(m_SelEnd, length);
        if (start < end && start < length && end > 0) {
            candidate.Erase(start, end - start);
        }
        at = start;
    }
    if (at < candidate.GetLength()) {
        candidate = UTF8String(candidate.SubString(0, at).GetString() + typed.GetString() +
                               candidate.SubString(at, candidate.GetLength() - at).GetString());
    } else {
        candidate = UTF8String(candidate.GetString() + typed.GetString());
    }
    if (m_MaxLength > 0 && candidate.GetLength() > m_MaxLength) {
        return;
    }
    if (m_MaxWidth > 0 && m_Label != nullptr &&
        m_Label->GetTextWidth(candidate, 0, -1) > static_cast<float>(m_MaxWidth)) {
        return;
    }
    m_Cursor = at;
    SetText(candidate);
    m_Cursor = std::clamp(at + typed.GetLength(), 0, m_Text.GetLength());
    CollapseSelection();
    UpdateCursorPos();
}

void LabelInput::DeleteChar(bool backward)
{
    if (m_Text.IsEmpty()) {
        return;
    }
    if (m_SelStart == m_SelEnd) {
        m_SelStart = backward ? m_Cursor - 1 : m_Cursor;
        m_SelEnd = m_SelStart + 1;
    }
    const std::int32_t length = m_Text.GetLength();
    const std::int32_t start = std::max(m_SelStart, 0);
    const std::int32_t end = std::min(m_SelEnd, length);
    UTF8String candidate = m_Text;
    if (start < end && start < length && end > 0) {
        candidate.Erase(start, end - start);
    }
    m_Cursor = std::clamp(start, 0, candidate.GetLength());
    SetText(candidate);
    CollapseSelection();
    UpdateCursorPos();
}

void LabelInput::MoveCursor(std::int32_t index, bool extend, bool collapse)
{
    const std::int32_t old = m_Cursor;
    m_Cursor = std::clamp(index, 0, m_Text.GetLength());
    if (!extend) {
        if (collapse) {
            CollapseSelection();
        }
        UpdateCursorPos();
        return;
    }
    if ((old == m_SelEnd && m_Cursor > old) || old != m_SelStart) {
        m_SelEnd = m_Cursor;
    } else {
        m_SelStart = m_Cursor;
    }
    if (m_SelStart > m_SelEnd) {
        std::swap(m_SelStart, m_SelEnd);
    }
    UpdateSelectionX();
    UpdateCursorPos();
}

void LabelInput::EndEditing(std::int32_t key)
{
    m_Focused = false;
    UpdateCursor();
    if (key == kEndEscape) {
        m_TextCursor.Set(false);
    }
    SmartPtr<BaseObject> hold(static_cast<BaseObject*>(this));
    GetEndMethod(key)->Invoke(static_cast<BaseObject*>(this));
}

bool LabelInput::OnKeyDown(KeyboardMessageData* data)
{
    if (data == nullptr || !m_Focused) {
        return false;
    }
    switch (data->m_KeyCode) {
    case kKeyLeft: m_LeftHeld = true; break;
    case kKeyRight: m_RightHeld = true; break;
    case kKeyDelete: m_DeleteHeld = true; break;
    default: break;
    }
    if (IsKeyDown(kKeyControl) != 0) {
        switch (data->m_Character) {
        case 'A':
            m_SelStart = 0;
            m_SelEnd = m_Text.GetLength();
            m_Cursor = m_SelEnd;
            UpdateSelectionX();
            UpdateCursorPos();
            break;
        case 'C':
            SetClipboardText((m_SelStart != m_SelEnd ? GetSelectedText() : m_Text).GetString());
            break;
        case 'V':
            InsertText(UTF8String(GetClipboardText()).SubString(0, kMaxPaste));
            break;
        case 'X':
            if (m_SelStart == m_SelEnd) {
                m_SelStart = 0;
                m_SelEnd = m_Text.GetLength();
            }
            SetClipboardText(GetSelectedText().GetString());
            InsertText(UTF8String());
            break;
        default: break;
        }
    }
    if (m_LeftHeld) {
        MoveCursor(m_Cursor - 1, ShiftHeld(), true);
    } else if (m_RightHeld) {
        MoveCursor(m_Cursor + 1, ShiftHeld(), true);
    } else if (m_DeleteHeld) {
        DeleteChar(false);
    }
    return m_Focused;
}

bool LabelInput::OnKeyUp(KeyboardMessageData* data)
{
    if (data == nullptr || !m_Focused) {
        return false;
    }
    switch (data->m_KeyCode) {
    case kKeyBackspace: DeleteChar(true); return false;
    case kEndTab:
    case kEndEnter:
    case kEndEscape: EndEditing(data->m_KeyCode); return true;
    case kKeyDelete: m_DeleteHeld = false; return true;
    case kKeyLeft: m_LeftHeld = false; return true;
    case kKeyRight: m_RightHeld = false; return true;
    case kKeyEnd: MoveCursor(m_Text.GetLength(), ShiftHeld(), true); return true;
    case kKeyHome: MoveCursor(0, ShiftHeld(), true); return true;
    default: return false;
    }
}

bool LabelInput::OnChar(KeyboardMessageData* data)
{
    if (data == nullptr || !m_Focused) {
        return false;
    }
    if (CanType(data->m_Character)) {
        InsertText(UTF8String::FromCodePoint(data->m_Character));
    }
    return m_Focused;
}

void LabelInput::SelectWordAt(std::int32_t index)
{
    const std::int32_t length = m_Text.GetLength();
    const std::int32_t before = index > 0 ? m_Text.FindLastOf(kSeparators, index - 1) : -1;
    const std::int32_t after = m_Text.FindFirstOf(kSeparators, index);
    m_SelStart = before + 1;
    m_SelEnd = after + 1;
    if (m_SelEnd > 0) {
        const std::uint32_t last = m_Text.GetCodePointAt(m_Text.GetByteOffset(m_SelEnd - 1));
        if (last == '.' || last == ',') {
            --m_SelEnd;
        }
    }
    if (after < 0 || m_SelEnd > length) {
        m_SelEnd = length;
    }
    m_SelStart = std::min(m_SelStart, m_SelEnd);
    UpdateSelectionX();
    m_Cursor = std::clamp(m_SelEnd, 0, length);
    UpdateCursorPos();
    m_WordSelected = true;
}

bool LabelInput::OnLeftButtonDown(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    m_WordSelected = false;
    if (!HitTest(data->x, data->y)) {
        m_Focused = false;
        UpdateCursor();
    } else {
        m_Focused = true;
        UpdateCursor();
        if (data->m_DoubleClick) {
            SelectWordAt(CharIndexAt(data->x));
        } else {
            MoveCursor(CharIndexAt(data->x), (data->m_Buttons & MouseMessageData::kShift) != 0 || ShiftHeld(), true);
            m_MouseSelecting = true;
        }
    }
    m_TextCursor.Set(m_Focused);
    return false;
}

bool LabelInput::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    if (m_Focused && m_MouseSelecting) {
        MoveCursor(CharIndexAt(data->x), true, true);
    }
    m_TextCursor.Set((m_Focused && m_MouseSelecting) || HitTest(data->x, data->y));
    return false;
}

bool LabelInput::OnLeftButtonUp(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    if (m_Focused) {
        if (!m_MouseSelecting) {
            if (!HitTest(data->x, data->y)) {
                m_Focused = false;
                UpdateCursor();
            }
        } else if (!m_WordSelected) {
            MoveCursor(CharIndexAt(data->x), true, true);
        }
    }
    m_MouseSelecting = false;
    return false;
}

void LabelInput::ResetInputState()
{
    m_TextCursor.Set(false);
}

void LabelInput::Render(Graphics& graphics)
{
    Sprite::Render(graphics);
    if (m_SelStart == m_SelEnd || m_Label == nullptr) {
        return;
    }
    const float* bounds = m_Label->GetTextBounds();
    const float x = m_SelStartX - bounds[0];
    const float y = m_TopOffset - bounds[1];
    const float width = m_SelEndX - m_SelStartX;
    const float height = bounds[3] - (m_TopOffset + m_BottomOffset);
    graphics.Reset();
    graphics.PushMatrix(GetLocalMatrix());
    graphics.PushMatrix(m_Label->GetLocalMatrix());
    // A one-pixel outline around the selection, then its fill.
    graphics.SetColor(m_SelBorderColor);
    graphics.DrawRect(RectF{x - 1.0f, y - 1.0f, width + 2.0f, 1.0f});
    graphics.DrawRect(RectF{x - 1.0f, y + height, width + 2.0f, 1.0f});
    graphics.DrawRect(RectF{x - 1.0f, y, 1.0f, height});
    graphics.DrawRect(RectF{x + width, y, 1.0f, height});
    graphics.SetColor(m_SelColor);
    graphics.DrawRect(RectF{x, y, width, height});
    graphics.PopMatrix();
    graphics.PopMatrix();
}

}  // namespace Qmv2
