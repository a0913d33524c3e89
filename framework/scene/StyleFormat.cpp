#include "framework/scene/StyleFormat.h"

#include <cstdio>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/scene/LabelStyle.h"

namespace Qmv2 {

namespace {

// "%i": decimal, hexadecimal after "0x", octal after a leading "0".
bool ReadInt(const std::string& text, std::int32_t& value)
{
    int read = 0;
    if (std::sscanf(text.c_str(), "%i", &read) != 1) {
        return false;
    }
    value = read;
    return true;
}

// An opening tag (index 0) pushes the current value and sets the index of
// `word` in `words`, or leaves it for a word outside the list (the push
// still happens); a closing tag restores the top of the stack, if any.
std::int32_t ApplyStacked(std::int32_t index, const std::string& word, GFVector<std::int32_t>& stack,
                          std::int32_t value, std::initializer_list<const char*> words)
{
    if (index == 1) {
        if (!stack.IsEmpty()) {
            value = stack[stack.GetCount() - 1];
            stack.Erase(stack.end() - 1, stack.end());
        }
        return value;
    }
    stack.PushBack(value);
    std::int32_t position = 0;
    for (const char* candidate : words) {
        if (word == candidate) {
            return position;
        }
        ++position;
    }
    return value;
}

// Cuts at the first `parts - 1` commas; missing parts are empty.
std::vector<std::string> CutArgument(const std::string& argument, std::size_t parts)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (pieces.size() + 1 < parts) {
        const std::size_t comma = argument.find(',', start);
        if (comma == std::string::npos) {
            break;
        }
        pieces.push_back(argument.substr(start, comma - start));
        start = comma + 1;
    }
    pieces.push_back(start <= argument.size() ? argument.substr(start) : std::string());
    pieces.resize(parts);
    return pieces;
}

Color ReadTagColor(std::string text)
{
    const Color black(1.0f, 0.0f, 0.0f, 0.0f);
    if (text.empty()) {
        return black;
    }
    if (text[0] == '#') {
        text.erase(0, 1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.erase(0, 2);
    }
    unsigned value = 0;
    if (std::sscanf(text.c_str(), "%x", &value) != 1) {
        return black;
    }
    Color color(value);
    color.a = 1.0f;
    color.dirty = true;
    return color;
}

}  // namespace

FormatNewLine::FormatNewLine()
{
    AddTagName("br");
}

void FormatNewLine::Apply(std::int32_t, std::string, LabelStyle& style)
{
    style.FinishLine();
}

FormatColor::FormatColor()
{
    AddTagName("color");
    AddTagName("/color");
}

void FormatColor::Apply(std::int32_t index, std::string argument, LabelStyle& style)
{
    auto& stack = style.GetColorStack();
    if (index == 1) {
        if (!stack.IsEmpty()) {
            stack.Erase(stack.end() - 1, stack.end());
        }
        return;
    }
    std::int32_t slot = 0;
    const std::size_t comma = argument.find(',');
    if (comma != std::string::npos) {
        int read = 0;
        if (std::sscanf(argument.c_str() + comma + 1, "%d", &read) == 1) {
            slot = read;
        }
        argument.erase(comma);
    }
    stack.PushBack({ReadTagColor(argument), slot});
}

FormatFont::FormatFont()
{
    AddTagName("font");
    AddTagName("/font");
}

void FormatFont::Apply(std::int32_t index, std::string argument, LabelStyle& style)
{
    auto& stack = style.GetFontStack();
    if (index == 1) {
        if (!stack.IsEmpty()) {
            style.SetFont(stack[stack.GetCount() - 1].Get());
            stack.Erase(stack.end() - 1, stack.end());
        }
        return;
    }
    const std::vector<std::string> parts = CutArgument(argument, 2);
    stack.PushBack(SmartPtr<Font>(style.GetFont()));
    Font* font = nullptr;
    if (ResourceManager* manager = ResourceManager::GetInstance()) {
        ResourceObject* resource = manager->GetResource(parts[0], parts[1]);
        BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
        if (content != nullptr && content->IsOfType(&Font::s_Type)) {
            font = static_cast<Font*>(content);
        }
    }
    style.SetFont(font);
}

FormatImage::FormatImage()
{
    AddTagName("image");
}

void FormatImage::Apply(std::int32_t, std::string argument, LabelStyle& style)
{
    const std::vector<std::string> parts = CutArgument(argument, 4);
    ResourceManager* manager = ResourceManager::GetInstance();
    Image* image = manager != nullptr ? manager->GetImage(parts[0], parts[1]) : nullptr;
    SmartPtr<Sprite> sprite(new Sprite(style.GetPenX(), style.GetPenY(), image));
    const std::string& placement = parts[2];
    const std::string& flow = parts[3];
    if (placement == "left") {
        sprite->SetX(0.0f);
    } else if (placement == "center") {
        sprite->SetX((style.GetWidth() - sprite->GetWidth()) * 0.5f);
    } else if (placement == "right") {
        sprite->SetX(style.GetWidth() - sprite->GetWidth());
    }
    if (flow == "none") {
        if (style.GetPenX() != 0.0f) {
            style.FinishLine();
        }
        sprite->SetY(style.GetPenY());
        style.SetPenY(style.GetPenY() + sprite->GetHeight());
    } else if (flow == "single") {
        if (style.GetLineHeight() < sprite->GetHeight()) {
            style.SetLineHeight(sprite->GetHeight());
        }
    }
    style.GetImages().PushBack(sprite);
    if (style.GetHeight() < sprite->GetHeight()) {
        style.SetHeight(sprite->GetHeight());
    }
}

FormatWrapStyle::FormatWrapStyle()
{
    AddTagName("wrapstyle");
    AddTagName("/wrapstyle");
}

void FormatWrapStyle::Apply(std::int32_t index, std::string argument, LabelStyle& style)
{
    style.SetWrapStyle(ApplyStacked(index, argument, style.GetWrapStyleStack(), style.GetWrapStyle(), {"autowidth", "wordwrap", "truncate"}));
}

FormatAlignV::FormatAlignV()
{
    AddTagName("alignv");
    AddTagName("/alignv");
}

void FormatAlignV::Apply(std::int32_t index, std::string argument, LabelStyle& style)
{
    style.SetAlignV(ApplyStacked(index, argument, style.GetAlignVStack(), style.GetAlignV(), {"top", "center", "baseline", "bottom"}));
}

FormatAlignH::FormatAlignH()
{
    AddTagName("alignh");
    AddTagName("/alignh");
}

void FormatAlignH::Apply(std::int32_t index, std::string argument, LabelStyle& style)
{
    style.SetAlignH(ApplyStacked(index, argument, style.GetAlignHStack(), style.GetAlignH(), {"left", "center", "right"}));
}

FormatTab::FormatTab()
{
    AddTagName("tabs");
    AddTagName("tab");
}

void FormatTab::Apply(std::int32_t index, std::string argument, LabelStyle& style)
{
    GFVector<std::int32_t>& stops = style.GetTabStops();
    if (index == 0) {
        stops.Clear();
        GFVector<std::string> fields;
        SplitString(argument, ",", fields);
        for (const std::string& field : fields) {
            std::int32_t stop = 0;
            if (ReadInt(field, stop)) {
                stops.PushBack(stop);
            }
        }
        return;
    }
    if (argument.empty()) {
        for (std::int32_t stop : stops) {
            if (static_cast<float>(stop) >= style.GetPenX()) {
                if (style.GetPenX() < static_cast<float>(stop)) {
                    style.SetPenX(static_cast<float>(stop));
                }
                return;
            }
        }
        return;
    }
    std::int32_t n = 0;
    if (ReadInt(argument, n) && n >= 1 && n <= stops.GetCount()) {
        style.SetPenX(static_cast<float>(stops[n - 1]));
    }
}

FormatWidth::FormatWidth()
{
    AddTagName("width");
}

void FormatWidth::Apply(std::int32_t, std::string argument, LabelStyle& style)
{
    std::int32_t width = 0;
    if (ReadInt(argument, width) && width >= 0) {
        style.SetWidth(static_cast<float>(width));
    }
}

}  // namespace Qmv2
