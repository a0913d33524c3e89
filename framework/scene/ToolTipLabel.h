// The label a tooltip shows its text in: drawn on a filled box with a
// one-pixel frame, wrapped at its maximum width and shrunk to the text.
#pragma once

#include "framework/core/util/Color.h"
#include "framework/scene/Label.h"

namespace Qmv2 {

class ToolTipLabel : public Label {
    QMV_INDEXED_TYPE(ToolTipLabel)

    // The label's keys, then "backgroundcolor", "bordercolor" (their alpha
    // stays opaque), "padding" and "maxwidth".
    explicit ToolTipLabel(PropertyNode* description);

    // Shows `text`, wrapped at the maximum width with the box hugging it.
    void SetTooltip(const UTF8String& text) override;
    // The frame and box behind the label's text, then the text.
    void Render(Graphics& graphics) override;

    float GetPadding() const { return m_Padding; }
    float GetMaxWidth() const { return m_MaxWidth; }

private:
    Color m_Background{1.0f, 1.0f, 1.0f, 225.0f / 255.0f};
    Color m_Border{1.0f, 0.0f, 0.0f, 0.0f};
    float m_Padding = 3.0f;
    float m_MaxWidth = 0.0f;
};

}  // namespace Qmv2
