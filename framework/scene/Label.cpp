#include "framework/scene/Label.h"

#include <algorithm>
#include <cmath>

#include <lua.hpp>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/script/Lua.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/LabelLineBreaker.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/SpriteAnimation.h"

namespace Qmv2 {

namespace {

constexpr std::uint32_t kEllipsis = 0x2026;

// Pad direction per named anchor kind, top-left to bottom-right.
constexpr float kPadX[9] = {-1, 0, 1, -1, 0, 1, -1, 0, 1};
constexpr float kPadY[9] = {-1, -1, -1, 0, 0, 0, 1, 1, 1};

Label* CheckLabel(lua_State* state)
{
    return static_cast<Label*>(Lua::CheckObject(state, 1, &Label::s_Type, "not a Label"));
}

int ScriptText(lua_State* state)
{
    Label* label = CheckLabel(state);
    if (lua_gettop(state) != 1) {
        return luaL_argerror(state, 2, "too many arguments");
    }
    lua_pushstring(state, label->GetText().c_str());
    return 1;
}

int ScriptSetText(lua_State* state)
{
    Label* label = CheckLabel(state);
    if (lua_gettop(state) != 2) {
        return luaL_argerror(state, 3, "too many arguments");
    }
    label->SetText(UTF8String(luaL_checkstring(state, 2)));
    return 1;
}

// "left" -> 0, "center" -> 1, ...; a word not in the list gives -1.
std::int32_t WordIndex(const std::string& word, std::initializer_list<const char*> words)
{
    std::int32_t index = 0;
    for (const char* candidate : words) {
        if (word == candidate) {
            return index;
        }
        ++index;
    }
    return -1;
}

bool SameColor(const Color& a, const Color& b)
{
    return a.a == b.a && a.r == b.r && a.g == b.g && a.b == b.b;
}

}  // namespace

const luaL_Reg Label::s_ScriptMethods[] = {
    {"text", ScriptText},
    {"setText", ScriptSetText},
    {nullptr, nullptr},
};

Label::Label(PropertyNode* description) : Sprite(description)
{
    Init();
    if (const PropertyNode* node = PropertyNode::AsNode(description)) {
        Load(*node);
    }
}

Label::Label(Font* font, float x, float y, float width, float height)
    : Sprite(x, y, width, height), m_Font(font)
{
    // Labels made this way are words placed by styled text, which positions
    // the glyph images themselves, padding included.
    m_PadStyle = kPadNone;
    Init();
}

Label::~Label() = default;

void Label::Init()
{
    // The label sizes itself to its text; its rendered image must not.
    SetFitSizeToImage(false);
    m_LabelWidth = GetWidth();
    m_LabelHeight = GetHeight();
    m_Dirty = true;
    SetScriptClass("Label.lua", "qmv.Label", "qmv.Sprite", "Label", s_ScriptMethods);
}

void Label::Load(const PropertyNode& node)
{
    if (node.HasChild("font") && node.HasChild("section")) {
        ResourceManager* resources = ResourceManager::GetInstance();
        ResourceObject* resource =
            resources != nullptr ? resources->GetResource(node.GetString("font"), node.GetString("section")) : nullptr;
        BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
        if (content != nullptr && content->IsOfType(&Font::s_Type)) {
            SetFont(static_cast<Font*>(content));
        }
    }
    for (std::int32_t index = 0; node.HasChild("color" + std::to_string(index)); ++index) {
        const auto argb = static_cast<std::uint32_t>(ParseColor(node.GetString("color" + std::to_string(index))));
        SetColor(Color(argb), index);
    }
    if (node.HasChild("wrapstyle")) {
        SetWrapStyle(WordIndex(node.GetString("wrapstyle"), {"autowidth", "wordwrap", "truncate"}));
    }
    if (node.HasChild("padstyle")) {
        SetPadStyle(WordIndex(node.GetString("padstyle"), {"offset", "none"}));
    }
    if (node.HasChild("alignh")) {
        SetAlignH(WordIndex(node.GetString("alignh"), {"left", "center", "right"}));
    }
    if (node.HasChild("autofitheight")) {
        const std::string value = node.GetString("autofitheight");
        SetAutoFitHeight(!value.empty() && value != "false");
    }
    if (node.HasChild("lineheight")) {
        SetOwnLineHeight(node.GetValue("lineheight")->GetFloat());
    }
    if (node.HasChild("charspacing")) {
        SetCharSpacing(node.GetValue("charspacing")->GetFloat());
    }
    const std::string textId = node.HasChild("textid") ? node.GetString("textid") : std::string();
    BasicProperties* texts = BasicProperties::GetInstance();
    if (!textId.empty() && texts != nullptr) {
        SetText(UTF8String(texts->GetString(textId)));
    } else if (node.HasChild("text") && !node.GetString("text").empty()) {
        SetText(UTF8String(node.GetString("text")));
    } else if (node.HasChild("value")) {
        SetText(UTF8String(node.GetString("value")));
    }
}

std::string Label::ToString() const
{
    return Sprite::ToString() + "\"" + m_Text.GetString() + "\"; ";
}

std::string Label::ToShortString() const
{
    return GameNode::ToShortString() + "\"" + m_Text.GetString() + "\"; ";
}

void Label::SetAnchor(std::int32_t kind)
{
    if (kind == GetAnchor().kind) {
        return;
    }
    Sprite::SetAnchor(kind);
    Invalidate();
}

void Label::SetAnchorPoint(const AnchorPoint& anchor)
{
    const AnchorPoint& current = GetAnchor();
    if (anchor.kind == current.kind &&
        (anchor.kind != AnchorPoint::Free ||
         (anchor.offset.x == current.offset.x && anchor.offset.y == current.offset.y))) {
        return;
    }
    Sprite::SetAnchorPoint(anchor);
    Invalidate();
}

void Label::SetAnchorXY(float x, float y)
{
    const AnchorPoint& current = GetAnchor();
    if (current.kind == AnchorPoint::Free && current.offset.x == x && current.offset.y == y) {
        return;
    }
    Sprite::SetAnchorXY(x, y);
    Invalidate();
}

void Label::SetAlignH(std::int32_t align)
{
    if (align != m_AlignH) {
        m_AlignH = align;
        Invalidate();
    }
}

void Label::SetWrapStyle(std::int32_t style)
{
    if (style != m_WrapStyle) {
        m_WrapStyle = style;
        Invalidate();
    }
}

void Label::SetPadStyle(std::int32_t style)
{
    if (style != m_PadStyle) {
        m_PadStyle = style;
        Invalidate();
    }
}

Modifier* Label::Animate(lua_State* state, std::int32_t duration)
{
    const int table = lua_gettop(state);
    Lua::PushRawField(state, table, "text");
    const int textType = lua_type(state, -1);
    lua_pop(state, 1);
    // Raised before the sprite's step is built, so nothing is half added.
    if (textType != LUA_TNIL && textType != LUA_TSTRING && textType != LUA_TNUMBER) {
        luaL_error(state, "bad field 'text' (string expected, got %s)", lua_typename(state, textType));
    }
    Modifier* last = Sprite::Animate(state, duration);
    if (textType == LUA_TNIL) {
        return last;
    }
    Lua::PushRawField(state, table, "text");
    // lua_tostring turns a number into its string form.
    UTF8String text(lua_tostring(state, -1));
    lua_pop(state, 1);
    return SpriteAnimation::AddAnimationStep(
        new ModifierMethodParamRef<Label, UTF8String>(this, &Label::SetText, std::move(text)), this, duration);
}

void Label::SetText(const UTF8String& text)
{
    std::string bytes = text.GetString();
    ReplaceAll(bytes, "\\n", "\n");
    if (bytes != m_Text.GetString()) {
        m_Text = UTF8String(bytes);
        Invalidate();
    }
}

void Label::SetLabelWidth(float width)
{
    if (width != GetLabelWidth()) {
        m_LabelWidth = width;
        Invalidate();
    }
}

void Label::SetLabelHeight(float height)
{
    if (height != GetLabelHeight()) {
        m_LabelHeight = height;
        Invalidate();
    }
}

void Label::SetFont(Font* font)
{
    m_Font = font;
    Invalidate();
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
    if (!SameColor(entry, color)) {
        entry.r = color.r;
        entry.g = color.g;
        entry.b = color.b;
        entry.dirty = true;
        Invalidate();
    }
}

void Label::SetCharSpacing(float spacing)
{
    if (spacing != m_CharSpacing) {
        m_CharSpacing = spacing;
        Invalidate();
    }
}

void Label::SetAutoFitHeight(bool fit)
{
    if (fit != m_AutoFitHeight) {
        m_AutoFitHeight = fit;
        Invalidate();
    }
}

void Label::SetRenderToImage(bool render)
{
    if (render != m_RenderToImage) {
        m_RenderToImage = render;
        Invalidate();
    }
}

void Label::SetOwnLineHeight(float height)
{
    if (height != m_LineHeight) {
        m_LineHeight = height;
        Invalidate();
    }
}

float Label::GetLineHeight() const
{
    return m_LineHeight < 0.0f && m_Font ? m_Font->GetLineHeight() : m_LineHeight;
}

float Label::GetTextWidth(const UTF8String& text, std::int32_t start, std::int32_t count) const
{
    if (!m_Font) {
        return 0.0f;
    }
    return m_Font->Measure(text, m_CharSpacing, FontCharPositions::kImageRight, start,
                           count < 0 ? Font::kToEnd : count);
}

Color Label::GetClearColor() const
{
    if (m_Font) {
        return m_Font->HasFixedColors() || m_Colors.IsEmpty() ? m_Font->GetLayerColor() : m_Colors[0];
    }
    return m_Colors.IsEmpty() ? Color(1.0f, 0.0f, 0.0f, 0.0f) : m_Colors[0];
}

UTF8String Label::Ellipsis() const
{
    return m_Font && m_Font->HasChar(kEllipsis) ? UTF8String::FromCodePoint(kEllipsis) : UTF8String("...");
}

void Label::RemoveImage()
{
    SetImage(static_cast<Image*>(nullptr));
}

void Label::UpdateLayout()
{
    if (!m_Dirty) {
        return;
    }
    if (!m_Font) {
        m_Lines.Clear();
        RemoveImage();
        std::fill(std::begin(m_TextBounds), std::end(m_TextBounds), 0.0f);
        GraphicsSettings::MarkDirty();
        m_Dirty = false;
        return;
    }
    BuildLines();
    if (m_WrapStyle != kAutoWidth && m_LabelWidth <= 0.0f) {
        // A box without width shows nothing, neither drawn directly nor as
        // an image.
        m_Lines.Clear();
        RemoveImage();
        m_Dirty = false;
        return;
    }
    m_Dirty = !RenderToImage();
}

void Label::BuildLines()
{
    m_Lines.Clear();
    const LabelLineBreaker breaker([this](const UTF8String& text) { return GetTextWidth(text, 0, -1); },
                                   m_LabelWidth, Ellipsis());
    for (const UTF8String& text : breaker.Break(m_Text, m_WrapStyle)) {
        FontLine line;
        line.text = text;
        m_Lines.PushBack(line);
    }
    PlaceLines();
}

void Label::PlaceLines()
{
    const float advance = GetLineHeight();
    const auto count = static_cast<float>(m_Lines.GetCount());
    const float textHeight = m_Font->GetCellHeight() + (count - 1.0f) * advance;
    float widest = 0.0f;
    float y = 0.0f;
    for (FontLine& line : m_Lines) {
        line.width = GetTextWidth(line.text, 0, -1);
        line.position.y = y;
        widest = std::max(widest, line.width);
        y += advance;
    }
    const bool round = GetAnchor().rounding;
    for (FontLine& line : m_Lines) {
        float x = 0.0f;
        if (m_AlignH == kCenter) {
            x = (widest - line.width) * 0.5f;
        } else if (m_AlignH == kRight) {
            x = widest - line.width;
        }
        line.position.x = round ? std::floor(x) : x;
        if (round) {
            line.position.y = std::floor(line.position.y);
        }
    }
    m_TextBounds[2] = widest;
    m_TextBounds[3] = textHeight;
    const std::int32_t kind = GetAnchor().kind;
    if (m_PadStyle == kPadOffset && kind >= 0 && kind < 9) {
        const float padding = m_Font->GetGlyphMargin();
        m_TextBounds[0] = padding * kPadX[kind];
        m_TextBounds[1] = padding * kPadY[kind];
    } else {
        m_TextBounds[0] = 0.0f;
        m_TextBounds[1] = 0.0f;
    }
    GraphicsSettings::MarkDirty();
}

bool Label::RenderToImage()
{
    float width = m_TextBounds[2];
    float height = m_TextBounds[3];
    if (m_WrapStyle != kAutoWidth) {
        width = std::min(width, m_LabelWidth);
    }
    if (!m_AutoFitHeight) {
        height = std::min(height, m_LabelHeight);
    }
    if (width <= 0.0f || height <= 0.0f) {
        RemoveImage();
        return false;
    }
    width = std::ceil(std::min(width, kMaxRenderedSize));
    height = std::ceil(std::min(height, kMaxRenderedSize));
    // The size follows the text in both modes, so layouts and hit tests see
    // it also where no image can be made.
    SetSize(width, height);
    if (!m_RenderToImage) {
        return true;
    }
    SmartPtr<Image> image(Image::CreateRenderTarget(static_cast<std::int32_t>(width),
                                                    static_cast<std::int32_t>(height), true));
    SetImage(image.Get());
    // Without a drawable frame (no renderer) a drawing object would draw
    // onto the screen instead.
    if (image->GetFirstFrame() == nullptr) {
        return false;
    }
    SmartPtr<Graphics> graphics(image->CreateGraphics());
    if (graphics->GetTarget() == nullptr || !graphics->Begin()) {
        return false;
    }
    // A transparent clear in the text's own colour keeps glyph edges from
    // fringing when the image is filtered.
    graphics->SetRGB(GetClearColor());
    graphics->SetAlpha(0.0f);
    graphics->ClearTarget();
    graphics->SetBlendMode(6);
    graphics->SetAlpha(1.0f);
    // The label's alpha is applied when the image is drawn; kept out of the
    // image, it counts once and a later change of it needs no new image.
    const Color& color = GetColor();
    graphics->PushRGB(color.r, color.g, color.b);
    m_Font->Draw(*graphics, TextBlock());
    graphics->PopColor();
    return graphics->End();
}

FontTextBlock Label::TextBlock() const
{
    FontTextBlock block;
    for (const FontLine& line : m_Lines) {
        block.lines.PushBack(FontTextLine{line.text, line.position.x, line.position.y});
    }
    for (const Color& color : m_Colors) {
        block.colors.PushBack(color);
    }
    block.extraSpacing = m_CharSpacing;
    return block;
}

void Label::Render(Graphics& graphics)
{
    UpdateLayout();
    if (m_RenderToImage) {
        Sprite::Render(graphics);
        return;
    }
    if (!m_Font || m_Lines.IsEmpty()) {
        return;
    }
    // The copied settings carry the label's alpha; the font's layers set
    // their own colours, which the label's tints. Its alpha counts once.
    graphics.CopyFrom(*this);
    const Color& color = GetColor();
    graphics.PushRGB(color.r, color.g, color.b);
    m_Font->Draw(graphics, TextBlock());
    graphics.PopColor();
}

}  // namespace Qmv2
