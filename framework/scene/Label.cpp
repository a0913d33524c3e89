#include "framework/scene/Label.h"

#include <cmath>

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/Graphics.h"

namespace Qmv2 {

Label::Label(Font* font, float x, float y, float width, float height) : Sprite(x, y, nullptr), m_Font(font)
{
    // The label sizes itself to its text; its rendered image must not.
    SetFitSizeToImage(false);
    SetSize(width, height);
}

void Label::SetText(const UTF8String& text)
{
    std::string bytes = text.GetString();
    ReplaceAll(bytes, "\\n", "\n");
    if (bytes != m_Text.GetString()) {
        m_Text = UTF8String(bytes);
        m_Changed = true;
    }
}

void Label::SetColor(const Color& color, std::int32_t index)
{
    if (index < 0 || index >= kMaxColorSlots) {
        return;
    }
    while (m_Colors.GetCount() <= index) {
        m_Colors.PushBack(Color(1.0f, 0.0f, 0.0f, 0.0f));
    }
    Color& entry = m_Colors[index];
    if (entry.a != color.a || entry.r != color.r || entry.g != color.g || entry.b != color.b) {
        entry.r = color.r;
        entry.g = color.g;
        entry.b = color.b;
        entry.dirty = true;
        m_Changed = true;
    }
}

float Label::GetLineHeight() const
{
    return m_LineHeight < 0.0f && m_Font ? m_Font->GetLineHeight() : m_LineHeight;
}

void Label::Update()
{
    if (!m_Changed) {
        return;
    }
    m_Changed = false;
    if (!m_Font) {
        SetImage(static_cast<Image*>(nullptr));
        SetSize(0.0f, 0.0f);
        return;
    }
    const float width = std::ceil(m_Font->Measure(m_Text, 0.0f, FontCharPositions::kImageRight, 0, Font::kToEnd));
    const float height = m_Text.IsEmpty() ? 0.0f : std::ceil(m_Font->GetCellHeight());
    SetSize(width, height);
    RenderText(width, height);
}

void Label::RenderText(float width, float height)
{
    SetImage(static_cast<Image*>(nullptr));
    if (width < 1.0f || height < 1.0f) {
        return;
    }
    SmartPtr<Image> image(Image::CreateRenderTarget(static_cast<std::int32_t>(width),
                                                    static_cast<std::int32_t>(height), true));
    // Without a drawable frame (no renderer) a drawing object would draw
    // onto the screen instead.
    if (image->GetFirstFrame() == nullptr) {
        return;
    }
    SetImage(image.Get());
    SmartPtr<Graphics> graphics(image->CreateGraphics());
    if (graphics->GetTarget() == nullptr || !graphics->Begin()) {
        return;
    }
    // A transparent clear in the text's own colour keeps glyph edges from
    // fringing towards black when the image is filtered.
    const Color clear = m_Font->HasFixedColors() || m_Colors.IsEmpty() ? m_Font->GetLayerColor() : m_Colors[0];
    graphics->SetRGB(clear);
    graphics->SetAlpha(0.0f);
    graphics->ClearTarget();
    graphics->SetBlendMode(6);
    graphics->SetAlpha(1.0f);
    FontTextBlock block;
    block.lines.PushBack(FontTextLine{m_Text, 0.0f, 0.0f});
    for (const Color& color : m_Colors) {
        block.colors.PushBack(color);
    }
    m_Font->Draw(*graphics, block);
    graphics->End();
}

}  // namespace Qmv2
