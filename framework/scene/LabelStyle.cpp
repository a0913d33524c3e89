#include "framework/scene/LabelStyle.h"

#include <algorithm>
#include <cmath>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/text/CodePoints.h"
#include "framework/scene/StyleParser.h"

namespace Qmv2 {

namespace {

const char* const kWrapWords[] = {"autowidth", "wordwrap", "truncate"};
const char* const kAlignHWords[] = {"left", "center", "right"};

// Flowing a word round images ends after this many passes whatever the
// metrics, so degenerate sizes cannot hang the layout.
constexpr int kMaxFlowPasses = 1000;

bool Overlaps(float x0, float y0, float w0, float h0, float x1, float y1, float w1, float h1)
{
    return x0 < x1 + w1 && x1 < x0 + w0 && y0 < y1 + h1 && y1 < y0 + h0;
}

Font* FindFont(const std::string& name, const std::string& section)
{
    ResourceManager* manager = ResourceManager::GetInstance();
    ResourceObject* resource = manager != nullptr ? manager->GetResource(name, section) : nullptr;
    BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
    return content != nullptr && content->IsOfType(&Font::s_Type) ? static_cast<Font*>(content) : nullptr;
}

}  // namespace

LabelStyle::LabelStyle(PropertyNode* description) : Sprite(description)
{
    // The text box keeps its own size; the image it renders into follows it.
    SetFitSizeToImage(false);
    if (description != nullptr) {
        Load(*description);
    }
}

LabelStyle::~LabelStyle() = default;

void LabelStyle::Load(const PropertyNode& description)
{
    if (description.HasChild("font") && description.HasChild("section")) {
        m_Font = FindFont(description.GetString("font"), description.GetString("section"));
    }
    if (description.HasChild("wrapstyle")) {
        m_WrapStyle = description.GetEnum("wrapstyle", kWrapWords, 3, -1);
    }
    if (description.HasChild("alignh")) {
        m_AlignH = description.GetEnum("alignh", kAlignHWords, 3, -1);
    }
    if (description.HasChild("autofitheight")) {
        const std::string value = description.GetString("autofitheight");
        m_AutoFit = !value.empty() && value != "false";
    }
    if (description.HasChild("text")) {
        SetText(description.GetString("text"));
    } else if (description.HasChild("value")) {
        SetText(description.GetString("value"));
    } else if (description.HasChild("textid")) {
        BasicProperties* strings = BasicProperties::GetInstance();
        SetText(strings != nullptr ? strings->GetString(description.GetString("textid")) : std::string());
    }
}

void LabelStyle::SetText(const UTF8String& text)
{
    m_Images.Clear();
    std::string bytes = text.GetString();
    ReplaceAll(bytes, "\\n", "\n");
    if (bytes == m_Text.GetString()) {
        return;
    }
    m_Text = UTF8String(bytes);
    UpdateText();
}

void LabelStyle::UpdateText()
{
    Layout();
    Render();
}

bool LabelStyle::IsLineBreak(std::uint32_t code)
{
    return code == 10 || code == 13 || code == 0x2028 || code == 0x2029;
}

bool LabelStyle::IsSpace(std::uint32_t code)
{
    return code == 9 || code == 32 || code == 0xA0 || (code >= 0x2000 && code <= 0x200B) || code == 0x202F ||
           code == 0x205F || code == 0x3000;
}

float LabelStyle::WordLineHeight(const Label& word)
{
    return word.GetLineHeight();
}

void LabelStyle::Layout()
{
    ++m_LayoutCount;
    SmartPtr<StyleParser> parser(new StyleParser);
    m_PenX = m_PenY = m_LineHeight = 0.0f;
    m_ReadIndex = m_WordStart = 0;
    m_PendingLineHeight = 0.0f;
    m_LineRightEnd = 0.0f;
    m_LineClosed = false;
    for (SmartPtr<TextLine>& line : m_Lines) {
        line->GetWords().Clear();
    }
    m_Lines.Clear();
    m_CurrentLine = new TextLine;
    m_Codes = CodePoints(m_Text);

    const auto length = [this] { return static_cast<std::int32_t>(m_Codes.size()); };
    while (m_ReadIndex < length()) {
        const std::uint32_t c = m_Codes[m_ReadIndex];
        if (IsLineBreak(c)) {
            PlaceWord();
            FinishLine();
        } else if (IsSpace(c)) {
            PlaceWord();
            if (m_PenX != 0.0f && m_Font) {
                m_PenX += m_Font->Measure(" ", 0.0f, FontCharPositions::kAdvanceRight, 0, Font::kToEnd) -
                          2.0f * m_Font->GetGlyphMargin();
            }
        } else if (c == '[') {
            if (m_ReadIndex > 0 && m_Codes[m_ReadIndex - 1] == '\\') {
                // An escaped bracket is text: the backslash leaves the stored
                // text and the scan goes on after the bracket.
                const std::int32_t offset = m_Text.GetByteOffset(m_ReadIndex - 1);
                std::string bytes = m_Text.GetString();
                bytes.erase(static_cast<std::size_t>(offset), 1);
                m_Text = UTF8String(bytes);
                m_Codes.erase(m_Codes.begin() + (m_ReadIndex - 1));
                continue;
            }
            PlaceWord();
            while (m_ReadIndex < length() && m_Codes[m_ReadIndex] != ']' && m_Codes[m_ReadIndex] != '=') {
                ++m_ReadIndex;
            }
            const UTF8String name = m_Text.SubString(m_WordStart, m_ReadIndex - m_WordStart);
            UTF8String argument;
            if (m_ReadIndex < length() && m_Codes[m_ReadIndex] == '=') {
                const std::int32_t start = m_ReadIndex + 1;
                ++m_ReadIndex;
                while (m_ReadIndex < length() && m_Codes[m_ReadIndex] != ']') {
                    ++m_ReadIndex;
                }
                argument = m_Text.SubString(start, m_ReadIndex - start);
            }
            m_WordStart = m_ReadIndex + 1;
            parser->Apply(name.GetString(), argument.GetString(), *this);
        }
        ++m_ReadIndex;
    }
    PlaceWord();
    FinishLine();

    if (m_AutoFit && GetWidth() < m_LineRightEnd) {
        SetWidth(m_LineRightEnd);
    }
    SetHeight(std::max(GetHeight(), m_PenY + (m_Font ? m_Font->GetCellHeight() : 0.0f)));
    if (GetHeight() == 0.0f) {
        SetHeight(1.0f);
    }
    if (GetWidth() == 0.0f) {
        SetWidth(1.0f);
    }
    m_CurrentLine.Reset();
    m_Codes.clear();
}

void LabelStyle::Truncate(Label& word, float width)
{
    if (m_LineClosed || m_LineRightEnd >= width) {
        word.SetText(UTF8String());
        return;
    }
    word.SetText(word.GetText().SubString(0, 1) + "...");
    word.Update();
    if (m_PenX + word.GetWidth() > width) {
        word.SetText(UTF8String());
        GFVector<SmartPtr<Label>>& words = m_CurrentLine->GetWords();
        if (!words.IsEmpty()) {
            Label& previous = *words[words.GetCount() - 1];
            const UTF8String text = previous.GetText();
            const std::int32_t n = text.GetLength();
            previous.SetText(n > 3 ? text.SubString(0, n - 3) + "..." : text.SubString(0, 1) + "...");
            previous.Update();
            m_LineRightEnd = previous.GetX() + previous.GetWidth();
        }
    }
    m_LineClosed = true;
}

bool LabelStyle::FlowAroundImages(Label& word)
{
    for (const SmartPtr<Sprite>& image : m_Images) {
        if (!Overlaps(word.GetX(), word.GetY(), word.GetWidth(), word.GetHeight(), image->GetX(), image->GetY(),
                      image->GetWidth(), image->GetHeight())) {
            continue;
        }
        m_PenX = image->GetX() + image->GetWidth() + 1.0f;
        word.SetX(std::floor(m_PenX));
        if (m_WrapStyle == kWordWrap && GetWidth() < m_PenX + word.GetWidth()) {
            if (m_PenX != 0.0f && word.GetWidth() <= GetWidth()) {
                m_PendingLineHeight = WordLineHeight(word);
                FinishLine();
                word.SetX(std::floor(m_PenX));
                word.SetY(std::floor(m_PenY));
            } else {
                word.SetText(UTF8String());
                word.Update();
            }
        }
        return true;
    }
    return false;
}

void LabelStyle::PlaceWord()
{
    if (m_ReadIndex <= m_WordStart) {
        m_WordStart = m_ReadIndex + 1;
        return;
    }
    SmartPtr<Label> word(new Label(m_Font.Get(), m_PenX, m_PenY, 0.0f, 0.0f));
    word->SetText(m_Text.SubString(m_WordStart, m_ReadIndex - m_WordStart));
    word->SetVerticalAlign(m_AlignV);
    word->SetDrawFlag(1);
    word->SetChanged(true);
    if (!m_ColorStack.IsEmpty()) {
        const std::pair<Color, std::int32_t>& top = m_ColorStack[m_ColorStack.GetCount() - 1];
        word->SetColor(top.first, top.second);
    }
    word->Update();

    const float width = GetWidth();
    switch (m_WrapStyle) {
    case kWordWrap:
        if (m_PenX + word->GetWidth() <= width) {
            break;
        }
        if (m_PenX != 0.0f && word->GetWidth() <= width) {
            m_PendingLineHeight = WordLineHeight(*word);
            FinishLine();
            word->SetX(std::floor(m_PenX));
            word->SetY(std::floor(m_PenY));
        } else {
            word->SetText(UTF8String());
        }
        break;
    case kTruncate:
        m_PendingLineHeight = WordLineHeight(*word);
        if (m_LineClosed || m_PenX + word->GetWidth() > width) {
            Truncate(*word, width);
        }
        break;
    default:
        m_PendingLineHeight = WordLineHeight(*word);
        break;
    }

    word->Update();
    for (int pass = 0; pass < kMaxFlowPasses && FlowAroundImages(*word); ++pass) {
        word->Update();
    }

    if (!word->GetText().IsEmpty()) {
        word->Update();
        m_CurrentLine->GetWords().PushBack(word);
        m_LineRightEnd = m_PenX + word->GetWidth();
        if (m_LineHeight < WordLineHeight(*word)) {
            m_LineHeight = WordLineHeight(*word);
        }
        m_PenX += word->GetWidth();
    }
    m_WordStart = m_ReadIndex + 1;
}

void LabelStyle::MoveWordsOfLine(TextLine& line, float dx)
{
    for (SmartPtr<Label>& word : line.GetWords()) {
        word->SetX(std::floor(word->GetX() + dx));
    }
}

void LabelStyle::FinishLine()
{
    TextLine& line = *m_CurrentLine;
    float baseline = 0.0f;
    float gap = 0.0f;
    bool haveBaseline = false;
    for (SmartPtr<Label>& word : line.GetWords()) {
        if (Font* font = word->GetFont(); font != nullptr && (!haveBaseline || font->GetBaseline() > baseline)) {
            baseline = font->GetBaseline();
            gap = m_LineHeight - WordLineHeight(*word);
            haveBaseline = true;
        }
    }
    for (SmartPtr<Label>& word : line.GetWords()) {
        Font* font = word->GetFont();
        if (font == nullptr) {
            continue;
        }
        const float y = word->GetY();
        switch (word->GetVerticalAlign()) {
        case kMiddle: word->SetY(std::floor(y + m_LineHeight - font->GetCellHeight() * 0.5f)); break;
        case kBaseline: word->SetY(std::floor(y + gap + baseline - font->GetBaseline())); break;
        case kBottom: word->SetY(std::floor(y + m_LineHeight - font->GetCellHeight())); break;
        default: break;
        }
    }

    // Room left at the end of the line, less the images that stand in it;
    // each image counts once, so a narrow band cannot keep the scan going.
    float room = GetWidth() - m_LineRightEnd;
    std::vector<bool> counted(static_cast<std::size_t>(m_Images.GetCount()), false);
    for (bool again = true; again;) {
        again = false;
        for (std::int32_t i = 0; i < m_Images.GetCount(); ++i) {
            const Sprite& image = *m_Images[i];
            if (counted[i] || !Overlaps(m_LineRightEnd, m_PenY, room, m_LineHeight, image.GetX(), image.GetY(),
                                        image.GetWidth(), image.GetHeight())) {
                continue;
            }
            counted[i] = true;
            room = std::max(0.0f, room - image.GetWidth());
            again = true;
        }
    }
    if (m_AlignH == kCenter) {
        MoveWordsOfLine(line, room * 0.5f);
    } else if (m_AlignH == kRight && room > 0.0f) {
        MoveWordsOfLine(line, room);
    }
    m_Lines.PushBack(m_CurrentLine);

    if (m_LineHeight == 0.0f && m_Font) {
        m_PenY += m_Font->GetLineHeight();
    } else {
        m_PenY += m_LineHeight;
    }
    m_PenX = 0.0f;
    m_LineHeight = m_PendingLineHeight;
    m_CurrentLine = new TextLine;
    if (m_AutoFit) {
        if (GetHeight() < m_PenY) {
            SetHeight(m_PenY);
        }
        if (GetWidth() < m_LineRightEnd) {
            SetWidth(m_LineRightEnd);
        }
    }
    m_LineRightEnd = 0.0f;
    m_LineClosed = false;
}

void LabelStyle::Render()
{
    const auto side = [](float value) {
        return static_cast<std::int32_t>(std::clamp(value, 1.0f, static_cast<float>(kMaxTextureSide)));
    };
    SmartPtr<Image> image(Image::CreateRenderTarget(side(GetWidth()), side(GetHeight()), true));
    SetImage(image.Get());
    // Without a drawable frame (no renderer) a drawing object would draw
    // onto the screen instead.
    if (image->GetFirstFrame() == nullptr) {
        return;
    }
    SmartPtr<Graphics> graphics(image->CreateGraphics());
    if (graphics->GetTarget() == nullptr || !graphics->Begin()) {
        return;
    }
    graphics->SetAlpha(0.0f);
    graphics->SetRGB(Color(1.0f, 0.0f, 0.0f, 0.0f));
    graphics->ClearTarget();
    graphics->SetBlendMode(5);
    for (const SmartPtr<TextLine>& line : m_Lines) {
        for (const SmartPtr<Label>& word : line->GetWords()) {
            Color color(1.0f, 0.0f, 0.0f, 0.0f);
            Font* font = word->GetFont();
            if (font != nullptr && (font->HasFixedColors() || word->GetColors().IsEmpty())) {
                color = font->GetLayerColor();
            } else if (!word->GetColors().IsEmpty()) {
                color = word->GetColors()[0];
            }
            graphics->SetRGB(color);
            graphics->DrawRect({word->GetX(), word->GetY(), word->GetWidth(), word->GetHeight()});
        }
    }
    for (const SmartPtr<TextLine>& line : m_Lines) {
        for (const SmartPtr<Label>& word : line->GetWords()) {
            word->Update();
            graphics->CopyFrom(*word);
            graphics->DrawImage();
        }
    }
    for (const SmartPtr<Sprite>& sprite : m_Images) {
        graphics->CopyFrom(*sprite);
        graphics->DrawImage();
    }
    graphics->End();
}

}  // namespace Qmv2
