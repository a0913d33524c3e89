// The handlers of the mark-up tags of styled text. Each knows a few tag
// names; the index of the matched name tells it which one it got. Handlers
// act on the style being laid out and keep no state of their own.
#pragma once

#include <cstdint>
#include <string>

#include "framework/scene/SceneRecords.h"
#include "framework/core/object/GFVector.h"

namespace Qmv2 {

class LabelStyle;

class StyleFormat : public BaseObject {
    QMV_INDEXED_TYPE(StyleFormat)

    virtual void Apply(std::int32_t index, std::string argument, LabelStyle& style) = 0;

    void AddTagName(const std::string& name) { m_Names.PushBack(name); }
    const GFVector<std::string>& GetTagNames() const { return m_Names; }

private:
    GFVector<std::string> m_Names;
};

// "br": finishes the current line.
class FormatNewLine : public StyleFormat {
    QMV_INDEXED_TYPE(FormatNewLine)
    FormatNewLine();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "color" (colour, optional slot) and "/color".
class FormatColor : public StyleFormat {
    QMV_INDEXED_TYPE(FormatColor)
    FormatColor();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "font" (name, section) and "/font".
class FormatFont : public StyleFormat {
    QMV_INDEXED_TYPE(FormatFont)
    FormatFont();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "image" (name, section, placement, flow).
class FormatImage : public StyleFormat {
    QMV_INDEXED_TYPE(FormatImage)
    FormatImage();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "wrapstyle" and "/wrapstyle".
class FormatWrapStyle : public StyleFormat {
    QMV_INDEXED_TYPE(FormatWrapStyle)
    FormatWrapStyle();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "alignv" and "/alignv".
class FormatAlignV : public StyleFormat {
    QMV_INDEXED_TYPE(FormatAlignV)
    FormatAlignV();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "alignh" and "/alignh".
class FormatAlignH : public StyleFormat {
    QMV_INDEXED_TYPE(FormatAlignH)
    FormatAlignH();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "tabs" (stops) and "tab" (next stop, or stop n).
class FormatTab : public StyleFormat {
    QMV_INDEXED_TYPE(FormatTab)
    FormatTab();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

// "width": the style's width.
class FormatWidth : public StyleFormat {
    QMV_INDEXED_TYPE(FormatWidth)
    FormatWidth();
    void Apply(std::int32_t index, std::string argument, LabelStyle& style) override;
};

}  // namespace Qmv2
