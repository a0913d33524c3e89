#include "framework/scene/ToolTipLabel.h"

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/draw/Graphics.h"

namespace Qmv2 {

namespace {

// Only the red, green and blue of a colour number: the box is always opaque.
Color OpaqueColor(const PropertyNode& node, const char* key)
{
    return Color(static_cast<std::uint32_t>(node.GetValue(key)->GetInt()) | 0xFF000000u);
}

}  // namespace

ToolTipLabel::ToolTipLabel(PropertyNode* description) : Label(description)
{
    m_MaxWidth = GetLabelWidth();
    if (const PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr) {
        if (node->HasChild("backgroundcolor")) {
            m_Background = OpaqueColor(*node, "backgroundcolor");
        }
        if (node->HasChild("bordercolor")) {
            m_Border = OpaqueColor(*node, "bordercolor");
        }
        if (node->HasChild("padding")) {
            m_Padding = node->GetValue("padding")->GetFloat();
        }
        if (node->HasChild("maxwidth")) {
            m_MaxWidth = node->GetValue("maxwidth")->GetFloat();
        }
    }
    if (GetLabelWidth() > 0.0f && m_MaxWidth != 0.0f) {
        SetWrapStyle(kWordWrap);
    }
}

void ToolTipLabel::SetTooltip(const UTF8String& text)
{
    if (m_MaxWidth > 0.0f) {
        SetWrapStyle(kWordWrap);
        SetLabelWidth(m_MaxWidth);
    }
    SetText(text);
    if (m_MaxWidth > 0.0f) {
        UpdateLayout();
        SetLabelWidth(GetTextBounds()[2]);
        UpdateLayout();
    }
}

void ToolTipLabel::Render(Graphics& graphics)
{
    UpdateLayout();
    graphics.Reset();
    graphics.SetAlpha(GetColor().a);
    Matrix3x3 move;
    move.m02 = GameNode::GetX();
    move.m12 = GameNode::GetY();
    graphics.PushMatrix(move);
    const float w = GetWidth();
    const float h = GetHeight();
    const float p = m_Padding;
    graphics.SetRGB(m_Border);
    graphics.DrawRect(RectF{-p, -p, w + 2.0f * p, h + 2.0f * p});
    graphics.SetRGB(m_Background);
    graphics.DrawRect(RectF{1.0f - p, 1.0f - p, w + 2.0f * p - 2.0f, h + 2.0f * p - 2.0f});
    graphics.PopMatrix();
    Label::Render(graphics);
}

}  // namespace Qmv2
