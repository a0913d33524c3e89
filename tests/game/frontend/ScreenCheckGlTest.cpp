// The screen check: every scene and dialog built from the shipped content at
// the moments a player reaches, drawn at 800x600 and measured as the player
// sees it. A frame fails on
// - two texts that overlap, or a text over a button or a letter ball, unless
//   one of them lies under a veil (a darkening dialog's backdrop, the paused
//   game's veil);
// - text under 14 px high;
// - text whose contrast with what is drawn behind it, measured on the frame
//   (relative luminance), is under 4.5:1, or 3:1 from 24 px up;
// - anything drawn across the window's edge, or a button cut by the edge of a
//   dialog drawn over it (again unless it lies under a veil);
// - panels, frames and boards (the scene's sprites named ..PANEL.., the
//   answer table's tiles) that overlap or come within 2 px of one another,
//   unless one lies whole on the other (the table on the panel behind it) or
//   both are pieces of one frame (PANEL_ siblings, joined edge to edge);
// - a pop-up (a word's comment, a trophy and its title) over any piece of an
//   answer of the board (the answer table's tiles and letters, the
//   crossword's cells and letters, Blitz's words), a letter ball or a button;
// - a value not centred under its caption in a bar of captions over values
//   (CAPTION_X or X_LABEL over the labels LABEL_X...), their letters' middles
//   more than 2 px apart (a clock drawn as minutes and seconds: the caption's
//   middle beyond the place where they meet and the middle of the whole).
// Texts are the labels and the texts the picture scripts draw into pictures
// (noted in build/content-texts by tools/content/textnotes.py). What is not
// seen is not measured: a text or piece covered where it meets another by a
// third thing drawn over both, or cut off by a clipping node. The exceptions,
// each where it is decided: text with an outline at least 1 px wide round its
// letters is measured against that outline, which stands between it and
// whatever lies behind; a picture's text is measured against the ring of
// pixels round it, or, where that falls short and the picture draws nothing
// but its text (a small letter over its tile), against what lies behind it;
// text under a veil is not measured; the caption of a
// disabled button and a label dimmed with the disabled switch it names are
// greyed on purpose; a hint letter's ghost (faint by design) while its round
// is played; one letter of two crossing words drawn twice in one place; a
// board letter inside the ball that fills its place. Every finding names the
// scene, the moment and the two things involved; QMV_SCREENCHECK_DIR=folder
// keeps every frame checked as a PNG there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/HighScoreTable.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Polygon.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/graphics/draw/iClippable.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ImageFrame.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/ClickableSprite.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/Label.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "game/frontend/DialogHighScore.h"
#include "game/frontend/DialogQuorvel2.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/Quorvel2ScoreEntry.h"
#include "game/frontend/TrophyScene.h"
#include "game/words/AnagramTable.h"
#include "game/words/BlitzScene.h"
#include "game/words/ClassicRack.h"
#include "game/words/CrisscrossScene.h"
#include "game/words/CrosswordRack.h"
#include "game/words/CrosswordTable.h"
#include "game/words/GameMode.h"
#include "game/words/GameScene.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"
#include "game/words/WordTree.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

namespace screen_check_gl_test {

using namespace Qmv2;
namespace fs = std::filesystem;

namespace {

constexpr float kWidth = 800.0f;
constexpr float kHeight = 600.0f;
constexpr float kSmallestText = 14.0f;
constexpr float kLargeText = 24.0f;
constexpr float kOutlineWidth = 1.0f;
constexpr float kCentred = 2.0f;   // px between a caption's and its value's middles
constexpr float kSurfaceGap = 2.0f;   // px at least between panels, frames and boards

struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

Rgb FromPixel(std::uint32_t argb)
{
    return {((argb >> 16) & 0xFFu) / 255.0f, ((argb >> 8) & 0xFFu) / 255.0f, (argb & 0xFFu) / 255.0f};
}

Rgb FromHex(const std::string& hex)
{
    return hex.size() == 7 && hex[0] == '#' ? FromPixel(static_cast<std::uint32_t>(std::stoul(hex.substr(1), nullptr, 16)))
                                            : Rgb{};
}

// Relative luminance of an sRGB colour.
float Luminance(const Rgb& c)
{
    const auto linear = [](float v) { return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f); };
    return 0.2126f * linear(c.r) + 0.7152f * linear(c.g) + 0.0722f * linear(c.b);
}

float Contrast(const Rgb& a, const Rgb& b)
{
    const float la = Luminance(a);
    const float lb = Luminance(b);
    return (std::max(la, lb) + 0.05f) / (std::min(la, lb) + 0.05f);
}

float Distance(const Rgb& a, const Rgb& b)
{
    return std::fabs(a.r - b.r) + std::fabs(a.g - b.g) + std::fabs(a.b - b.b);
}

// Overlapping by more than `fringe` pixels both ways: touching edges and
// anti-aliased fringes do not count.
bool Overlap(const NodeBounds& a, const NodeBounds& b, float fringe = 1.0f)
{
    return std::min(a.right, b.right) - std::max(a.left, b.left) > fringe &&
           std::min(a.bottom, b.bottom) - std::max(a.top, b.top) > fringe;
}

// A text's box holds the pixels it changes clearly (by this much of the
// three channels' sum): a soft shadow or an outline the colour of what lies
// behind it is not where the letters are.
constexpr float kClearInk = 0.3f;

bool Contains(const NodeBounds& outer, const NodeBounds& inner)
{
    return inner.left >= outer.left - 0.5f && inner.top >= outer.top - 0.5f && inner.right <= outer.right + 0.5f &&
           inner.bottom <= outer.bottom + 0.5f;
}

std::string Show(const NodeBounds& b)
{
    std::ostringstream out;
    out << "(" << std::lround(b.left) << "," << std::lround(b.top) << ")-(" << std::lround(b.right) << ","
        << std::lround(b.bottom) << ")";
    return out.str();
}

// A text the picture scripts drew into a frame of a picture.
struct NotedText {
    NodeBounds box;
    float size = 0.0f;
    Rgb fill;
    Rgb outline;
    float outlineWidth = 0.0f;
    float opacity = 1.0f;
    std::string text;
};

// What a font of fonts/fonts.txt is: its pixel size and, when its letters
// have one, the colour and width of their outline.
struct FontFacts {
    float size = 0.0f;
    bool outlined = false;
    Rgb outline;
};

// The screen check over one frame at a time; findings pile up.
class ScreenCheck {
public:
    ScreenCheck(Graphics& screen, std::function<graphicstest::Picture()> capture)
        : m_Screen(screen), m_Capture(std::move(capture))
    {
        ReadNotes();
        ReadFonts();
        ReadImages();
    }

    void Check(const std::string& scene, const std::string& state, GameNode* root)
    {
        ++m_Frames;
        const std::string where = scene + " / " + state;
        frontendtest::DrawScene(m_Screen, root, 0xFF000000u);
        const graphicstest::Picture shown = m_Capture();
        m_Root = root;
        m_Shown = &shown;
        if (const char* folder = std::getenv("QMV_SCREENCHECK_DIR")) {
            std::string name = scene + "-" + state;
            for (char& c : name) {
                c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
            }
            graphicstest::WritePng(std::string(folder) + "/" + name + ".png", shown);
        }
        m_Items.clear();
        m_Answers.clear();
        CollectAnswers(root);
        Walk(root, 1.0f, nullptr, {-1e9f, -1e9f, 1e9f, 1e9f});
        // The frame with every label hidden: what lies behind each text.
        std::vector<Label*> hidden;
        for (const Item& item : m_Items) {
            if (item.kind == Kind::kLabel) {
                hidden.push_back(static_cast<Label*>(item.node));
                item.node->SetVisible(false);
            }
        }
        frontendtest::DrawScene(m_Screen, root, 0xFF000000u);
        const graphicstest::Picture behind = m_Capture();
        for (Label* label : hidden) {
            label->SetVisible(true);
        }
        // A label whose neighbourhood holds another label's letters is
        // measured on a frame of its own, drawn with no other label.
        for (Item& item : m_Items) {
            if (item.kind != Kind::kLabel) {
                continue;
            }
            const NodeBounds around = Around(item);
            bool alone = true;
            for (const Item& other : m_Items) {
                alone = alone && (&other == &item || other.kind != Kind::kLabel || !Overlap(around, Around(other)));
            }
            if (alone) {
                MeasureLabel(item, shown, behind);
                continue;
            }
            for (Label* label : hidden) {
                label->SetVisible(label == item.node);
            }
            frontendtest::DrawScene(m_Screen, root, 0xFF000000u);
            MeasureLabel(item, m_Capture(), behind);
            for (Label* label : hidden) {
                label->SetVisible(true);
            }
        }
        for (Item& item : m_Items) {
            if (item.kind == Kind::kLabel || item.kind == Kind::kPictureText) {
                CheckText(where, item, shown);
            }
            if (item.kind != Kind::kVeil && item.drawn && CrossesTheEdge(item)) {
                Add(where, "outside the window", item, nullptr, Show(item.box));
            }
        }
        for (std::size_t i = 0; i < m_Items.size(); ++i) {
            for (std::size_t j = i + 1; j < m_Items.size(); ++j) {
                CheckPair(where, m_Items[i], m_Items[j]);
            }
        }
        for (const Item& item : m_Items) {
            CheckCaption(where, item);
        }
        for (const Item& item : m_Items) {
            if (item.popup && item.drawn) {
                CheckPopUp(where, item);
            }
        }
    }

    const std::vector<std::string>& Findings() const { return m_Findings; }
    int Frames() const { return m_Frames; }
    int Texts() const { return m_TextsMeasured; }

private:
    // kPanel: a dialog's panel; kSurface: a scene's panel, frame piece or board.
    enum class Kind { kLabel, kPictureText, kButton, kBall, kPanel, kVeil, kSurface, kOther };
    struct Item {
        Kind kind = Kind::kOther;
        GameNode* node = nullptr;
        std::string name;
        NodeBounds box{};
        std::size_t order = 0;
        GameNode* dialog = nullptr;   // the dialog the node belongs to
        bool drawn = false;           // draws pixels of its own
        float size = 0.0f;            // text: height in pixels
        float contrast = 0.0f;        // text: measured contrast, 0 when not found
        bool outlined = false;
        std::string text;
        bool popup = false;    // a word's comment, a trophy or its title popping up
        bool answer = false;   // a piece of an answer of the board
    };

    static std::string NameOf(const GameNode& node)
    {
        return node.GetName().empty() ? std::string("(unnamed ") + node.GetType()->GetName() + ")" : node.GetName();
    }

    static float Alpha(GameNode* node)
    {
        auto* settings = InterfaceCast<GraphicsSettings>(node);
        return settings != nullptr ? settings->GetColor().a : 1.0f;
    }

    static float ScaleY(const GameNode& node)
    {
        const Matrix3x3 m = node.GetGlobalMatrix(nullptr, true);
        return std::sqrt(m.m01 * m.m01 + m.m11 * m.m11);
    }

    static NodeBounds OnScreen(const GameNode& node)
    {
        return node.GetParent() != nullptr ? node.GetBounds(node.GetParent()->GetGlobalMatrix(nullptr, true))
                                           : node.GetBounds(Matrix3x3());
    }

    // Every node drawn, in drawing order, as the renderer walks the tree;
    // what a clipping node cuts off its subtree is not drawn.
    void Walk(GameNode* node, float alpha, GameNode* dialog, NodeBounds clip)
    {
        if (!node->IsVisible() || node->IsObsolete() || node->IsSuspended()) {
            return;
        }
        alpha *= Alpha(node);
        if (alpha < 0.02f) {
            return;
        }
        auto* clippable = InterfaceCast<iClippable>(node);
        if (PolygonF* polygon = clippable != nullptr ? clippable->GetClipPolygon() : nullptr) {
            PolygonF cut(*polygon);
            if (node->GetParent() != nullptr) {
                cut.Transform(node->GetParent()->GetGlobalMatrix(nullptr, true));
            }
            const RectF r = cut.GetBounds();
            clip = {std::max(clip.left, r.x), std::max(clip.top, r.y), std::min(clip.right, r.x + r.width),
                    std::min(clip.bottom, r.y + r.height)};
        }
        m_Clip = clip;
        if (node->IsOfType(&Dialog::s_Type)) {
            dialog = node;
            // A dialog's backdrop darkens the whole window under it.
            if (static_cast<Dialog*>(node)->GetBackdropAlpha() > 0.0f) {
                Push(Kind::kVeil, node, dialog, {0.0f, 0.0f, kWidth, kHeight}, false);
            }
            Push(Kind::kPanel, node, dialog, OnScreen(*node), false);
        }
        if (node->GetName().find("VEIL") != std::string::npos) {
            Push(Kind::kVeil, node, dialog, OnScreen(*node), false);
        } else if (node->IsOfType(&Label::s_Type)) {
            auto* label = static_cast<Label*>(node);
            if (!label->GetText().IsEmpty() && label->GetFont() != nullptr) {
                Item& item = Push(Kind::kLabel, node, dialog, OnScreen(*node), true);
                item.text = label->GetText().GetString();
                const auto facts = m_Fonts.find(label->GetFont());
                if (facts != m_Fonts.end()) {
                    item.size = facts->second.size * ScaleY(*node);
                    item.outlined = facts->second.outlined;
                }
            }
        } else if (node->IsOfType(&LetterBall::s_Type)) {
            Push(Kind::kBall, node, dialog, OnScreen(*node), true);
        } else if (node->IsOfType(&AnagramTable::s_Type)) {
            // The board is where its tiles are.
            NodeBounds tiles{1e9f, 1e9f, -1e9f, -1e9f};
            for (const Anagram* slot : static_cast<AnagramTable*>(node)->GetSlots()) {
                for (std::int32_t i = 0; i < slot->GetLength(); ++i) {
                    const NodeBounds b = OnScreen(*slot->GetTile(i));
                    tiles = {std::min(tiles.left, b.left), std::min(tiles.top, b.top),
                             std::max(tiles.right, b.right), std::max(tiles.bottom, b.bottom)};
                }
            }
            if (tiles.left < tiles.right) {
                Push(Kind::kSurface, node, dialog, tiles, true).name = "the answer table";
            }
        } else if (node->IsOfType(&Sprite::s_Type)) {
            auto* sprite = static_cast<Sprite*>(node);
            const bool drawn = sprite->GetImageSet() != nullptr && sprite->GetImageFrame() != nullptr;
            const NodeBounds box = OnScreen(*node);
            const Kind kind = node->IsOfType(&Button::s_Type)                 ? Kind::kButton
                              : node->GetName().find("PANEL") != std::string::npos ? Kind::kSurface
                                                                                   : Kind::kOther;
            Push(kind, node, dialog, box, drawn);
            if (drawn) {
                AddPictureTexts(*sprite, box, dialog);
            }
        }
        for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            Walk(child, alpha, dialog, clip);
        }
    }

    Item& Push(Kind kind, GameNode* node, GameNode* dialog, const NodeBounds& box, bool drawn)
    {
        Item item;
        item.kind = kind;
        item.node = node;
        item.name = NameOf(*node);
        item.popup = kind != Kind::kPictureText && (item.name == "COMMENT_POPUP" || item.name.rfind("TROPHY_POPUP", 0) == 0);
        item.answer = kind != Kind::kPictureText && m_Answers.count(node) > 0;
        item.box = {std::max(box.left, m_Clip.left), std::max(box.top, m_Clip.top), std::min(box.right, m_Clip.right),
                    std::min(box.bottom, m_Clip.bottom)};
        // Cut off whole: nothing of it is drawn.
        drawn = drawn && item.box.left < item.box.right && item.box.top < item.box.bottom;
        item.order = m_Items.size();
        item.dialog = dialog;
        item.drawn = drawn;
        m_Items.push_back(item);
        return m_Items.back();
    }

    // The texts noted for the sprite's frame, placed where the sprite draws
    // the frame; their contrast is measured at once on the drawn frame.
    void AddPictureTexts(Sprite& sprite, const NodeBounds& box, GameNode* dialog)
    {
        const auto file = m_ImageFiles.find(sprite.GetImageSet());
        if (file == m_ImageFiles.end()) {
            return;
        }
        const auto notes = m_Notes.find({file->second, sprite.GetFrame()});
        if (notes == m_Notes.end()) {
            return;
        }
        const ImageRect& pixels = sprite.GetImageFrame()->GetPixelRect();
        const float sx = (box.right - box.left) / static_cast<float>(pixels.width);
        const float sy = (box.bottom - box.top) / static_cast<float>(pixels.height);
        for (const NotedText& note : notes->second) {
            Item& item = Push(Kind::kPictureText, &sprite, dialog,
                              {box.left + note.box.left * sx, box.top + note.box.top * sy,
                               box.left + note.box.right * sx, box.top + note.box.bottom * sy},
                              false);
            item.name = NameOf(sprite) + " text \"" + note.text + "\"";
            item.text = note.text;
            item.size = note.size * sy;
            item.outlined = note.outlineWidth * sy >= kOutlineWidth;
            m_PictureNotes[m_Items.size() - 1] = note;
        }
    }

    // Where a label's letters may lie: its box and the glyphs' margins.
    static NodeBounds Around(const Item& item)
    {
        const float margin = static_cast<Label*>(item.node)->GetFont()->GetGlyphMargin() + 4.0f;
        return {item.box.left - margin, item.box.top - margin, item.box.right + margin, item.box.bottom + margin};
    }

    // The label's letters: the pixels the label changes, their box, and the
    // contrast of the letters' own colour with what lies behind them.
    void MeasureLabel(Item& item, const graphicstest::Picture& shown, const graphicstest::Picture& behind)
    {
        auto* label = static_cast<Label*>(item.node);
        const NodeBounds around = Around(item);
        const int x0 = std::max(0, static_cast<int>(std::floor(around.left)));
        const int y0 = std::max(0, static_cast<int>(std::floor(around.top)));
        const int x1 = std::min(shown.width, static_cast<int>(std::ceil(around.right)));
        const int y1 = std::min(shown.height, static_cast<int>(std::ceil(around.bottom)));
        NodeBounds ink{1e9f, 1e9f, -1e9f, -1e9f};
        std::vector<std::pair<float, float>> pixels;   // (difference, contrast)
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const Rgb s = FromPixel(shown.At(x, y));
                const Rgb b = FromPixel(behind.At(x, y));
                const float difference = Distance(s, b);
                if (difference < 0.1f) {
                    continue;
                }
                if (difference >= kClearInk) {
                    ink = {std::min(ink.left, float(x)), std::min(ink.top, float(y)),
                           std::max(ink.right, x + 1.0f), std::max(ink.bottom, y + 1.0f)};
                }
                pixels.emplace_back(difference, Contrast(s, b));
            }
        }
        if (pixels.empty()) {
            item.drawn = false;   // drawn over by something else, or nothing to see
            return;
        }
        if (ink.left < ink.right) {
            item.box = ink;
        }
        if (item.outlined) {
            // Measured against the outline's colour: the face's pixels are
            // those that differ most from the outline.
            const Rgb outline = m_Fonts.at(label->GetFont()).outline;
            std::vector<float> faces;
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    if (Distance(FromPixel(shown.At(x, y)), FromPixel(behind.At(x, y))) >= 0.1f) {
                        faces.push_back(Contrast(FromPixel(shown.At(x, y)), outline));
                    }
                }
            }
            std::sort(faces.begin(), faces.end());
            item.contrast = faces[faces.size() * 9 / 10];
        } else {
            // The letters' cores: the fiftieth of the pixels that differ most
            // from what lies behind them, the pixels the letters cover whole
            // (thin strokes leave most pixels partly covered).
            std::sort(pixels.begin(), pixels.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
            const std::size_t cores = std::max<std::size_t>(1, pixels.size() / 50);
            std::vector<float> contrasts;
            for (std::size_t i = 0; i < cores; ++i) {
                contrasts.push_back(pixels[i].second);
            }
            std::sort(contrasts.begin(), contrasts.end());
            item.contrast = contrasts[contrasts.size() / 2];
        }
    }

    // A text drawn into a picture: what lies behind it is the ring of pixels
    // round its box; its letters are the pixels nearest the colour they are
    // drawn in.
    float MeasurePictureText(const Item& item, const NotedText& note, const graphicstest::Picture& shown) const
    {
        const int x0 = static_cast<int>(std::floor(item.box.left));
        const int y0 = static_cast<int>(std::floor(item.box.top));
        const int x1 = static_cast<int>(std::ceil(item.box.right));
        const int y1 = static_cast<int>(std::ceil(item.box.bottom));
        const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < shown.width && y < shown.height; };
        // The commonest colour of the ring (in steps of 1/16 a channel): a
        // tile's outline that the ring crosses beside a wide letter does
        // not count.
        std::map<std::uint32_t, std::pair<int, std::uint32_t>> ring;
        for (int y = y0 - 2; y < y1 + 2; ++y) {
            for (int x = x0 - 2; x < x1 + 2; ++x) {
                const bool far = x < x0 - 1 || x >= x1 + 1 || y < y0 - 1 || y >= y1 + 1;
                if (far && inside(x, y)) {
                    const std::uint32_t pixel = shown.At(x, y);
                    auto& bin = ring[pixel & 0xF0F0F0u];
                    ++bin.first;
                    bin.second = pixel;
                }
            }
        }
        if (ring.empty()) {
            return 0.0f;
        }
        const auto commonest = std::max_element(ring.begin(), ring.end(), [](const auto& x, const auto& y) {
            return x.second.first < y.second.first;
        });
        const Rgb back = FromPixel(commonest->second.second);
        const Rgb against = item.outlined ? note.outline : back;
        const float a = note.opacity;
        const Rgb face{note.fill.r * a + back.r * (1 - a), note.fill.g * a + back.g * (1 - a),
                       note.fill.b * a + back.b * (1 - a)};
        std::vector<std::pair<float, float>> pixels;   // (distance to the face colour, contrast)
        for (int y = std::max(0, y0); y < std::min(shown.height, y1); ++y) {
            for (int x = std::max(0, x0); x < std::min(shown.width, x1); ++x) {
                const Rgb c = FromPixel(shown.At(x, y));
                pixels.emplace_back(Distance(c, face), Contrast(c, against));
            }
        }
        return Cores(pixels);
    }

    // The text of a picture that draws nothing beyond its text's box and the
    // letters' soft edge round it, measured pixel by pixel against the frame
    // drawn without the picture; -1 for a picture that draws more, 0 when
    // the picture changes nothing where its text is (something covers it).
    float MeasureOverWhatLiesBehind(const Item& item, const NotedText& note)
    {
        item.node->SetVisible(false);
        frontendtest::DrawScene(m_Screen, m_Root, 0xFF000000u);
        const graphicstest::Picture without = m_Capture();
        item.node->SetVisible(true);
        const graphicstest::Picture& shown = *m_Shown;
        const auto changed = [&](int x, int y) {
            return Distance(FromPixel(shown.At(x, y)), FromPixel(without.At(x, y))) >= 0.1f;
        };
        const int x0 = std::max(0, static_cast<int>(std::floor(item.box.left)));
        const int y0 = std::max(0, static_cast<int>(std::floor(item.box.top)));
        const int x1 = std::min(shown.width, static_cast<int>(std::ceil(item.box.right)));
        const int y1 = std::min(shown.height, static_cast<int>(std::ceil(item.box.bottom)));
        constexpr int kSoftEdge = 3;
        const NodeBounds picture = OnScreen(*item.node);
        for (int y = std::max(0, static_cast<int>(std::floor(picture.top)));
             y < std::min(shown.height, static_cast<int>(std::ceil(picture.bottom))); ++y) {
            for (int x = std::max(0, static_cast<int>(std::floor(picture.left)));
                 x < std::min(shown.width, static_cast<int>(std::ceil(picture.right))); ++x) {
                const bool near = x >= x0 - kSoftEdge && x < x1 + kSoftEdge && y >= y0 - kSoftEdge && y < y1 + kSoftEdge;
                if (!near && changed(x, y)) {
                    return -1.0f;
                }
            }
        }
        std::vector<std::pair<float, float>> pixels;   // (distance to the face colour, contrast)
        bool seen = false;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const Rgb c = FromPixel(shown.At(x, y));
                const Rgb back = FromPixel(without.At(x, y));
                const float a = note.opacity;
                const Rgb face{note.fill.r * a + back.r * (1 - a), note.fill.g * a + back.g * (1 - a),
                               note.fill.b * a + back.b * (1 - a)};
                seen = seen || changed(x, y);
                pixels.emplace_back(Distance(c, face), Contrast(c, back));
            }
        }
        return seen ? Cores(pixels) : 0.0f;
    }

    // The contrast of the letters' cores: the twentieth of the pixels nearest
    // the face colour; 0 when none is near it (something covers the letters).
    static float Cores(std::vector<std::pair<float, float>>& pixels)
    {
        std::sort(pixels.begin(), pixels.end());
        if (pixels.empty() || pixels.front().first > 0.3f) {
            return 0.0f;
        }
        const std::size_t cores = std::max<std::size_t>(1, pixels.size() / 20);
        return pixels[cores / 2].second;
    }

    void CheckText(const std::string& where, Item& item, const graphicstest::Picture& shown)
    {
        if (!item.drawn && item.kind == Kind::kLabel) {
            return;
        }
        // Text under a veil is not meant to be read while the veil is up.
        for (const Item& veil : m_Items) {
            if (veil.kind == Kind::kVeil && veil.order > item.order && Overlap(veil.box, item.box)) {
                return;
            }
        }
        if (item.kind == Kind::kPictureText) {
            // A disabled button's caption is greyed on purpose: it is not
            // there to be read but to say that the button does nothing now.
            if (item.node->IsOfType(&Button::s_Type) && !static_cast<Button*>(item.node)->IsEnabled()) {
                return;
            }
            const NotedText& note = m_PictureNotes.at(item.order);
            item.contrast = MeasurePictureText(item, note, shown);
            if (item.contrast == 0.0f) {
                return;
            }
            // The ring round a letter that fills its tile, the table drawn
            // smaller, can fall on the tile's outline: a picture that draws
            // nothing but its text is measured against what lies behind it.
            if (item.contrast < (item.size >= kLargeText ? 3.0f : 4.5f) && !item.outlined) {
                if (const float behind = MeasureOverWhatLiesBehind(item, note); behind >= 0.0f) {
                    item.contrast = behind;
                }
            }
        }
        // A label dimmed with the disabled switch or button it names (LABEL_X
        // beside SWITCH_X) says that the control does nothing now.
        if (item.kind == Kind::kLabel && item.name.rfind("LABEL_", 0) == 0 && item.dialog != nullptr) {
            for (const char* kind : {"SWITCH_", "BUTTON_"}) {
                GameNode* control = item.dialog->FindChild(kind + item.name.substr(6), true);
                if (control != nullptr && control->IsOfType(&Button::s_Type) &&
                    !static_cast<Button*>(control)->IsEnabled()) {
                    return;
                }
            }
        }
        // A hint's ghost while the round is played: the letter to type,
        // faint by design where the player types it. Letters shown once the
        // round is over are there to be read.
        if (item.name.rfind("HINT_LETTER", 0) == 0 &&
            std::fabs(Alpha(item.node) - LetterBox::kHintAlpha) < 0.01f && Playing(*item.node)) {
            return;
        }
        ++m_TextsMeasured;
        if (item.size > 0.0f && item.size < kSmallestText - 0.25f) {
            Add(where, "text under 14 px", item, nullptr, std::to_string(item.size).substr(0, 4) + " px");
        }
        const float needed = item.size >= kLargeText ? 3.0f : 4.5f;
        if (item.contrast < needed) {
            std::ostringstream detail;
            detail.precision(3);
            detail << item.contrast << ":1 at " << std::lround(item.size) << " px"
                   << (item.outlined ? " against its outline" : "");
            Add(where, "contrast below " + std::string(needed == 3.0f ? "3:1" : "4.5:1"), item, nullptr, detail.str());
        }
    }

    // Whether one of the two (the lower one at least) lies under a veil.
    // Whether the node belongs to a playing scene whose round is being played.
    static bool Playing(const GameNode& node)
    {
        for (const GameNode* n = &node; n != nullptr; n = n->GetParent()) {
            if (n->IsOfType(&GameScene::s_Type)) {
                return static_cast<const GameScene*>(n)->GetGameState() == GameScene::kPlaying;
            }
        }
        return false;
    }

    bool Veiled(const Item& a, const Item& b) const
    {
        const Item& lower = a.order < b.order ? a : b;
        for (const Item& item : m_Items) {
            if (item.kind == Kind::kVeil && item.order > lower.order && Overlap(item.box, lower.box)) {
                return true;
            }
        }
        return false;
    }

    // Whether the item is drawn across the window's edge: its box reaches past
    // an edge and it shows in the window's outermost two pixels along that
    // edge (what runs on past the edge passes through them; a picture whose
    // clear margin alone reaches past draws nothing there).
    bool CrossesTheEdge(const Item& item)
    {
        const NodeBounds& b = item.box;
        constexpr float kStrip = 2.0f;
        return (b.left < -0.5f && Seen(item, Meet(b, {0.0f, 0.0f, kStrip, kHeight}))) ||
               (b.top < -0.5f && Seen(item, Meet(b, {0.0f, 0.0f, kWidth, kStrip}))) ||
               (b.right > kWidth + 0.5f && Seen(item, Meet(b, {kWidth - kStrip, 0.0f, kWidth, kHeight}))) ||
               (b.bottom > kHeight + 0.5f && Seen(item, Meet(b, {0.0f, kHeight - kStrip, kWidth, kHeight})));
    }

    static NodeBounds Meet(const NodeBounds& a, const NodeBounds& b)
    {
        return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    }

    // Whether anything of the item shows in the region of the window: drawn
    // without it, the frame differs there. A piece covered whole by something
    // else drawn after it (the frame round the crossword board) is not seen;
    // `besides`, the other one of an overlapping pair, is left out of both
    // frames, so that it does not hide what it overlaps.
    bool Seen(const Item& item, const NodeBounds& region, const Item* besides = nullptr)
    {
        const int x0 = std::max(0, static_cast<int>(std::floor(region.left)));
        const int y0 = std::max(0, static_cast<int>(std::floor(region.top)));
        const int x1 = std::min(m_Shown->width, static_cast<int>(std::ceil(region.right)));
        const int y1 = std::min(m_Shown->height, static_cast<int>(std::ceil(region.bottom)));
        if (x0 >= x1 || y0 >= y1) {
            return false;
        }
        GameNode* other = besides != nullptr && besides->node != item.node ? besides->node : nullptr;
        const bool otherShown = other != nullptr && other->IsVisible();
        if (otherShown) {
            other->SetVisible(false);
        }
        frontendtest::DrawScene(m_Screen, m_Root, 0xFF000000u);
        const graphicstest::Picture with = m_Capture();
        item.node->SetVisible(false);
        frontendtest::DrawScene(m_Screen, m_Root, 0xFF000000u);
        const graphicstest::Picture without = m_Capture();
        item.node->SetVisible(true);
        if (otherShown) {
            other->SetVisible(true);
        }
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                if (Distance(FromPixel(without.At(x, y)), FromPixel(with.At(x, y))) >= 0.1f) {
                    return true;
                }
            }
        }
        return false;
    }

    // Whether a dialog's panel drawn between the two hides where they meet:
    // the one below is out of sight there.
    bool Hidden(const Item& a, const Item& b) const
    {
        const Item& lower = a.order < b.order ? a : b;
        const Item& upper = a.order < b.order ? b : a;
        const NodeBounds meet{std::max(a.box.left, b.box.left), std::max(a.box.top, b.box.top),
                              std::min(a.box.right, b.box.right), std::min(a.box.bottom, b.box.bottom)};
        for (const Item& panel : m_Items) {
            if (panel.kind == Kind::kPanel && panel.order > lower.order && panel.order <= upper.order &&
                lower.dialog != panel.node && Contains(panel.box, meet)) {
                return true;
            }
        }
        // A letter of the board where a ball fills its place, under or over
        // the ball's own letter.
        const Item* letter = a.kind == Kind::kPictureText ? &a : b.kind == Kind::kPictureText ? &b : nullptr;
        const Item* ball = a.kind == Kind::kBall ? &a : b.kind == Kind::kBall ? &b : nullptr;
        return letter != nullptr && ball != nullptr && Contains(ball->box, letter->box);
    }

    static bool Related(const GameNode* a, const GameNode* b)
    {
        for (const GameNode* n = a; n != nullptr; n = n->GetParent()) {
            if (n == b) {
                return true;
            }
        }
        for (const GameNode* n = b; n != nullptr; n = n->GetParent()) {
            if (n == a) {
                return true;
            }
        }
        return false;
    }

    void CheckPair(const std::string& where, const Item& a, const Item& b)
    {
        const auto text = [](const Item& i) {
            return (i.kind == Kind::kLabel && i.drawn) || i.kind == Kind::kPictureText;
        };
        // A button that draws nothing is a place to click (a tab over the
        // picture of the tabs), not something that covers a text.
        const auto solid = [](const Item& i) { return (i.kind == Kind::kButton && i.drawn) || i.kind == Kind::kBall; };
        // A node and its parts belong together, but two texts of one picture
        // are still two texts.
        const bool texts = a.kind == Kind::kPictureText && b.kind == Kind::kPictureText;
        if ((Related(a.node, b.node) && !texts) || Veiled(a, b)) {
            return;
        }
        // The same letter of two crossing words, drawn twice in one place.
        if (a.kind == Kind::kPictureText && b.kind == Kind::kPictureText && a.text == b.text &&
            Contains(a.box, b.box) && Contains(b.box, a.box)) {
            return;
        }
        if ((text(a) && (text(b) || solid(b))) || (solid(a) && text(b))) {
            if (Overlap(a.box, b.box) && !Hidden(a, b) && Seen(a.order < b.order ? a : b, Meet(a.box, b.box), a.order < b.order ? &b : &a)) {
                Add(where, "overlap", a, &b, Show(a.box) + " and " + Show(b.box));
            }
        }
        if (a.kind == Kind::kSurface && b.kind == Kind::kSurface) {
            CheckSurfaces(where, a, b);
        }
        // A button under a dialog's panel whose edge cuts it.
        const Item* button = a.kind == Kind::kButton && b.kind == Kind::kPanel   ? &a
                             : b.kind == Kind::kButton && a.kind == Kind::kPanel ? &b
                                                                                 : nullptr;
        const Item* panel = button == &a ? &b : &a;
        if (button != nullptr && panel->order > button->order && button->dialog != panel->node &&
            Overlap(button->box, panel->box) && !Contains(panel->box, button->box)) {
            Add(where, "button cut by a panel's edge", *button, panel, Show(button->box) + " and " + Show(panel->box));
        }
    }

    // The pieces of the answers on the board of a playing scene: the answer
    // table's tiles and letters, the crossword's cells and letters (not the
    // highlight round the word in play), Blitz's words, in the column and in
    // play.
    void CollectAnswers(GameNode* root)
    {
        const auto all = [this](const auto& self, GameNode* node, const GameNode* besides) -> void {
            for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
                if (child != besides) {
                    m_Answers.insert(child);
                    self(self, child, besides);
                }
            }
        };
        if (auto* crossword = dynamic_cast<CrisscrossScene*>(root)) {
            if (crossword->GetBoard() != nullptr) {
                all(all, crossword->GetBoard(), crossword->GetHighlight());
            }
        } else if (auto* blitz = dynamic_cast<BlitzScene*>(root)) {
            for (const auto& rack : blitz->GetRacks()) {
                all(all, rack->GetRackBox(), nullptr);
                for (const auto& ball : rack->GetBalls()) {
                    m_Answers.insert(ball.Get());
                }
            }
        } else if (auto* classic = dynamic_cast<GameScene*>(root); classic != nullptr && classic->GetRack() != nullptr) {
            all(all, classic->GetRack()->GetTable(), nullptr);
        }
    }

    // A pop-up hides the answers it lies over where it shows: drawn without
    // it, the frame differs there.
    void CheckPopUp(const std::string& where, const Item& popup)
    {
        std::vector<const Item*> under;
        for (const Item& item : m_Items) {
            const bool kept = item.answer || item.kind == Kind::kBall || item.kind == Kind::kButton;
            if (kept && item.drawn && item.order < popup.order && Overlap(item.box, popup.box) &&
                !Veiled(item, popup)) {
                under.push_back(&item);
            }
        }
        if (under.empty()) {
            return;
        }
        popup.node->SetVisible(false);
        frontendtest::DrawScene(m_Screen, m_Root, 0xFF000000u);
        const graphicstest::Picture without = m_Capture();
        popup.node->SetVisible(true);
        std::vector<const Item*> hidden;
        for (const Item* piece : under) {
            const NodeBounds meet = Meet(piece->box, popup.box);
            bool changed = false;
            for (int y = std::max(0, static_cast<int>(std::floor(meet.top)));
                 y < std::min(without.height, static_cast<int>(std::ceil(meet.bottom))) && !changed; ++y) {
                for (int x = std::max(0, static_cast<int>(std::floor(meet.left)));
                     x < std::min(without.width, static_cast<int>(std::ceil(meet.right))) && !changed; ++x) {
                    changed = Distance(FromPixel(without.At(x, y)), FromPixel(m_Shown->At(x, y))) >= 0.1f;
                }
            }
            if (changed) {
                hidden.push_back(piece);
            }
        }
        if (!hidden.empty()) {
            Add(where, "a pop-up over an answer of the board, a letter or a button", popup, hidden.front(),
                Show(popup.box) + " over " + std::to_string(hidden.size()) + " pieces, the first at " +
                    Show(hidden.front()->box));
        }
    }

    // Two panels, frames or boards keep apart, unless one lies whole on the
    // other or both are pieces of one frame.
    void CheckSurfaces(const std::string& where, const Item& a, const Item& b)
    {
        const auto piece = [](const Item& i) { return i.node->GetName().rfind("PANEL_", 0) == 0; };
        const bool oneFrame = piece(a) && piece(b) && a.node->GetParent() == b.node->GetParent();
        if (!a.drawn || !b.drawn || oneFrame || Contains(a.box, b.box) || Contains(b.box, a.box)) {
            return;
        }
        if (Overlap(a.box, b.box, -kSurfaceGap)) {
            Add(where, "panels, frames or boards overlapping or closer than 2 px", a, &b,
                Show(a.box) + " and " + Show(b.box));
        }
    }

    static std::string Upper(std::string name)
    {
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
        return name;
    }

    // What a caption names, upper-cased: X of CAPTION_X or X_LABEL; empty
    // when the label is no caption.
    static std::string CaptionOf(const Item& item)
    {
        const std::string name = Upper(item.name);
        if (name.rfind("CAPTION_", 0) == 0) {
            return name.substr(8);
        }
        const std::string suffix = "_LABEL";
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return name.substr(0, name.size() - suffix.size());
        }
        return std::string();
    }

    // A caption over its value in a bar: the value's letters stand centred
    // under the caption's. The value is what its sibling labels named
    // LABEL_X... draw below the caption's middle, taken as one. A value drawn
    // in parts (a clock's minutes and seconds) keeps the place where its
    // parts meet while their digits change width: the caption is centred
    // when its middle lies between that place and the middle of the whole.
    void CheckCaption(const std::string& where, const Item& caption)
    {
        const std::string key = CaptionOf(caption);
        if (caption.kind != Kind::kLabel || !caption.drawn || key.empty()) {
            return;
        }
        Item value;
        std::vector<NodeBounds> parts;
        for (const Item& item : m_Items) {
            const std::string name = Upper(item.name);
            if (item.kind != Kind::kLabel || !item.drawn || item.node->GetParent() != caption.node->GetParent() ||
                name.rfind("LABEL_" + key, 0) != 0 || item.box.top < (caption.box.top + caption.box.bottom) / 2.0f) {
                continue;
            }
            value.kind = Kind::kLabel;
            value.name += (value.name.empty() ? "" : "+") + item.name;
            value.text += item.text;
            parts.push_back(item.box);
        }
        if (parts.empty()) {
            return;
        }
        std::sort(parts.begin(), parts.end(), [](const NodeBounds& a, const NodeBounds& b) { return a.left < b.left; });
        value.box = parts.front();
        for (const NodeBounds& part : parts) {
            value.box = {std::min(value.box.left, part.left), std::min(value.box.top, part.top),
                         std::max(value.box.right, part.right), std::max(value.box.bottom, part.bottom)};
        }
        // Under a veil or a dialog drawn over them, their letters are not all
        // to be seen.
        for (const Item& item : m_Items) {
            if ((item.kind == Kind::kVeil || item.kind == Kind::kPanel) && item.order > caption.order &&
                (Overlap(item.box, caption.box) || Overlap(item.box, value.box))) {
                return;
            }
        }
        const float middle = (caption.box.left + caption.box.right) / 2.0f;
        const float whole = (value.box.left + value.box.right) / 2.0f;
        const float meet = parts.size() > 1 ? (parts[0].right + parts[1].left) / 2.0f : whole;
        if (middle < std::min(whole, meet) - kCentred || middle > std::max(whole, meet) + kCentred) {
            std::ostringstream detail;
            detail << Show(caption.box) << " and " << Show(value.box) << ", middles at " << middle << " and " << whole;
            if (parts.size() > 1) {
                detail << " (its parts meet at " << meet << ")";
            }
            Add(where, "value not centred under its caption", caption, &value, detail.str());
        }
    }

    void Add(const std::string& where, const std::string& rule, const Item& a, const Item* b,
             const std::string& detail)
    {
        std::string line = where + ": " + rule + ": " + a.name;
        if (!a.text.empty() && a.kind == Kind::kLabel) {
            line += " \"" + a.text.substr(0, 40) + "\"";
        }
        if (b != nullptr) {
            line += " and " + b->name;
            if (!b->text.empty() && b->kind == Kind::kLabel) {
                line += " \"" + b->text.substr(0, 40) + "\"";
            }
        }
        line += " " + detail;
        if (m_Seen.insert(line).second) {
            m_Findings.push_back(line);
        }
    }

    // build/content-texts/*.txt: the texts the picture scripts drew.
    void ReadNotes()
    {
        const fs::path folder = fs::path(QMV_BINARY_DIR) / "content-texts";
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                std::vector<std::string> fields;
                std::stringstream split(line);
                std::string field;
                while (std::getline(split, field, '\t')) {
                    fields.push_back(field);
                }
                if (fields.size() < 12) {
                    ADD_FAILURE() << "a text note of " << fields.size() << " fields: " << line;
                    continue;
                }
                NotedText note;
                note.box = {std::stof(fields[2]), std::stof(fields[3]), std::stof(fields[4]), std::stof(fields[5])};
                note.size = std::stof(fields[6]);
                note.fill = FromHex(fields[7]);
                note.outline = FromHex(fields[8]);
                note.outlineWidth = fields[8] == "none" ? 0.0f : std::stof(fields[9]);
                note.opacity = std::stof(fields[10]);
                note.text = fields[11];
                m_Notes[{fs::path(fields[0]).replace_extension().string(), std::stoi(fields[1])}].push_back(note);
            }
        }
        ASSERT_FALSE(m_Notes.empty()) << "no picture texts noted in " << folder;
    }

    // fonts/fonts.txt: each font's size and outline, by its resource.
    void ReadFonts()
    {
        std::ifstream in(std::string(QMV_SOURCE_DIR) + "/content/fonts/fonts.txt");
        std::string line;
        std::string name;
        std::map<std::string, FontFacts> facts;
        std::vector<std::pair<std::string, std::string>> layers;   // font, layer line
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            if (line[0] == '[') {
                name = line.substr(1, line.find(']') - 1);
            } else if (line.rfind("size", 0) == 0) {
                facts[name].size = std::stof(line.substr(line.find('=') + 1));
            } else if (line.rfind("layer", 0) == 0) {
                layers.emplace_back(name, line);
            }
        }
        // The layer right under the face is the outline when it has a
        // stroke and no offset.
        for (std::size_t i = 0; i + 1 < layers.size(); ++i) {
            const std::string& layer = layers[i].second;
            if (layers[i + 1].first != layers[i].first || layers[i + 1].second.find("face") == std::string::npos ||
                layer.find("offset=") != std::string::npos || layer.find("stroke=") == std::string::npos) {
                continue;
            }
            const float stroke = std::stof(layer.substr(layer.find("stroke=") + 7));
            const std::string colour = layer.substr(layer.find("color=#") + 7, 8);
            FontFacts& f = facts[layers[i].first];
            f.outlined = stroke >= kOutlineWidth;
            f.outline = FromPixel(static_cast<std::uint32_t>(std::stoul(colour, nullptr, 16)));
        }
        ResourceManager* resources = ResourceManager::GetInstance();
        for (const auto& [font, fact] : facts) {
            std::string id = "FONT_" + font;
            std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::toupper(c); });
            ResourceObject* resource = resources->GetResource(id, "default");
            if (resource != nullptr && resource->GetContent() != nullptr) {
                m_Fonts[resource->GetContent()] = fact;
            }
        }
        ASSERT_FALSE(m_Fonts.empty());
    }

    // properties/resources.xml: the file of each image resource.
    void ReadImages()
    {
        std::ifstream in("properties/resources.xml");
        std::string line;
        std::string section;
        ResourceManager* resources = ResourceManager::GetInstance();
        const auto attribute = [](const std::string& text, const std::string& key) {
            const std::size_t at = text.find(" " + key + "=\"");
            if (at == std::string::npos) {
                return std::string();
            }
            const std::size_t start = at + key.size() + 3;
            return text.substr(start, text.find('"', start) - start);
        };
        while (std::getline(in, line)) {
            if (line.find("<Node name=") != std::string::npos) {
                section = attribute(line, "name");
            } else if (line.find("<Image ") != std::string::npos) {
                ResourceObject* resource = resources->GetResource(attribute(line, "id"), section);
                if (resource != nullptr) {
                    m_Resources.emplace_back(resource, (fs::absolute(attribute(line, "file"))).replace_extension().string());
                }
            }
        }
        ASSERT_FALSE(m_Resources.empty());
    }

public:
    // Images load with their scene: the files of those loaded so far.
    void LearnImages()
    {
        for (const auto& [resource, file] : m_Resources) {
            if (Image* image = resource->GetFirstImage()) {
                m_ImageFiles[image] = file;
            }
        }
    }

private:
    Graphics& m_Screen;
    std::function<graphicstest::Picture()> m_Capture;
    std::map<std::pair<std::string, std::int32_t>, std::vector<NotedText>> m_Notes;
    std::map<const BaseObject*, FontFacts> m_Fonts;
    std::vector<std::pair<ResourceObject*, std::string>> m_Resources;
    std::map<const BaseObject*, std::string> m_ImageFiles;
    std::vector<Item> m_Items;
    std::set<const GameNode*> m_Answers;
    NodeBounds m_Clip{};
    GameNode* m_Root = nullptr;
    const graphicstest::Picture* m_Shown = nullptr;
    std::map<std::size_t, NotedText> m_PictureNotes;
    std::vector<std::string> m_Findings;
    std::set<std::string> m_Seen;
    int m_Frames = 0;
    int m_TextsMeasured = 0;
};

class ScreenCheckGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    ScreenCheckGlTest() : ShippedSceneGlTest("screen check") {}

    void SetUp() override
    {
        // The same rounds every run, so that a finding comes back to be seen.
        setenv("QMV_RANDOM_SEED", "35", 1);
        ShippedSceneGlTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Ann()->SetSeed(35);
        check = std::make_unique<ScreenCheck>(*screen_, [this] { return Capture(); });
    }
    void TearDown() override
    {
        unsetenv("QMV_RANDOM_SEED");
        check.reset();
        HighScoreManager::ReleaseInstance();
        ShippedSceneGlTest::TearDown();
    }

    void Check(const std::string& scene, const std::string& state, GameNode* root)
    {
        check->LearnImages();
        check->Check(scene, state, root);
    }

    // Every finding, one a line, and the count of frames and texts measured.
    void Report()
    {
        ASSERT_GT(check->Frames(), 0);
        ASSERT_GT(check->Texts(), 0);
        std::string all;
        for (const std::string& finding : check->Findings()) {
            all += finding + "\n";
        }
        EXPECT_TRUE(check->Findings().empty()) << check->Findings().size() << " findings in " << check->Frames()
                                               << " frames:\n"
                                               << all;
    }

    static Quorvel2Player* Ann() { return static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer()); }

    // The scene made and entered as a new game: a round kept from the scene
    // before is not played again.
    template <typename T>
    static T* Enter(const char* key)
    {
        for (const char* mode : {"CLASSIC_UNTIMED", "CLASSIC_TIMED", "WORD_OF_THE_DAY", "BLITZ", "CROSSWORD"}) {
            fs::remove(PlayerManager::GetInstance()->GetSaveGameFile(SaveGameName(mode), PlayerName("Ann")));
        }
        Scene* made = SceneManager::GetInstance()->CreateScene(key, std::string());
        if (made == nullptr || !made->IsOfType(&T::s_Type)) {
            return nullptr;
        }
        made->Show();
        made->Activate();
        return static_cast<T*>(made);
    }

    static void Run(Scene* scene, std::int32_t ms)
    {
        for (std::int32_t t = 0; t < ms; t += 50) {
            AnimTree::UpdateTree(scene->GetAnimations(), 50u);
            AnimTree::GetInstance()->Update(50u);
            scene->Update(50);
            scene->TickTree(50);
        }
    }

    static Dialog* ShowDialog(Scene* scene, const std::string& key)
    {
        return frontendtest::ShowSettled(scene, scene->GetDialog(key, std::string()));
    }

    // The word typed key by key, then Enter.
    static void Type(GameScene& scene, const std::string& word)
    {
        for (char c : word) {
            KeyboardMessageData key(static_cast<unsigned char>(c), 0);
            scene.OnKeyDown(&key);
        }
        KeyboardMessageData enter(0, 5);
        scene.OnKeyDown(&enter);
    }

    // A word of the scene's word file with `length` letters.
    static const UTF8String& WordOf(GameScene& scene, std::int32_t length)
    {
        static UTF8String word;
        word = UTF8String();
        for (int draw = 0; draw < 100000 && word.GetLength() != length; ++draw) {
            word = scene.GetWordTree()->RandomWord();
        }
        return word;
    }

    // A refused word's pop-up (`refused`, the scene's code for it), then a
    // trophy's, each at the height of its show.
    void CheckPopUps(const std::string& name, GameScene* scene, std::int32_t refused)
    {
        scene->ShowPopup(refused);
        Run(scene, 450);
        Check(name, "a refused word's pop-up", scene);
        scene->ShowTrophyPopup(0);
        Run(scene, 600);
        Check(name, "a trophy's pop-up", scene);
    }

    // Every dialog a playing scene opens, over the scene, and those opened
    // from the in-game menu over the menu.
    void CheckDialogs(const std::string& name, Scene* scene, const std::vector<std::string>& keys)
    {
        for (const std::string& key : keys) {
            Dialog* dialog = ShowDialog(scene, key);
            ASSERT_NE(dialog, nullptr) << key;
            Check(name, key + " over the scene", scene);
            scene->CloseDialog(dialog);
            scene->PurgeTree();
        }
        Dialog* menu = ShowDialog(scene, "DIALOG_MENU");
        ASSERT_NE(menu, nullptr);
        for (const char* key : {"DIALOG_SETTINGS", "DIALOG_HELP"}) {
            auto* over = static_cast<DialogQuorvel2*>(menu)->OpenOver(key);
            ASSERT_NE(over, nullptr) << key;
            for (int i = 0; i < 30; ++i) {
                over->TickTree(100);
            }
            Check(name, std::string(key) + " over DIALOG_MENU", scene);
            if (std::string(key) == "DIALOG_SETTINGS") {
                auto* credits = static_cast<DialogQuorvel2*>(over)->OpenOver("DIALOG_CREDITS");
                ASSERT_NE(credits, nullptr);
                for (int i = 0; i < 30; ++i) {
                    credits->TickTree(100);
                }
                Check(name, "DIALOG_CREDITS over DIALOG_SETTINGS", scene);
                scene->CloseDialog(credits);
            }
            scene->CloseDialog(over);
            scene->PurgeTree();
        }
        scene->CloseDialog(menu);
        scene->PurgeTree();
    }

    std::unique_ptr<ScreenCheck> check;
};

}  // namespace

// The rows of the answer table's tallest column.
std::int32_t Rows(const AnagramTable& table)
{
    std::map<float, std::int32_t> columns;
    std::int32_t rows = 0;
    for (const Anagram* slot : table.GetSlots()) {
        rows = std::max(rows, ++columns[slot->GetX()]);
    }
    return rows;
}

// The classic scene in its three modes and every round length: dealt, with
// a refused word's and a trophy's pop-ups, with the clock running out, won,
// given up with its missed words revealed, and under each of its dialogs.
// Each mode also deals the fullest board: eight rows of answers, the longest
// of eight letters (the day's list keeps five words of each length).
TEST_F(ScreenCheckGlTest, TheClassicScene)
{
    struct Deal {
        std::int32_t mode;
        std::int32_t length;
        const char* word;   // null: a word drawn at random, or the day's
    };
    std::vector<Deal> deals;
    for (std::int32_t mode : {GameMode::kUntimed, GameMode::kTimed, GameMode::kWordOfTheDay}) {
        for (std::int32_t length = 5; length <= 8; ++length) {
            if (mode != GameMode::kWordOfTheDay || length == 8) {   // the day's word is the same whatever the setting
                deals.push_back({mode, length, nullptr});
            }
        }
    }
    for (std::int32_t mode : {GameMode::kUntimed, GameMode::kTimed, GameMode::kWordOfTheDay}) {
        deals.push_back({mode, 8, mode == GameMode::kWordOfTheDay ? "triangle" : "scenario"});
    }
    for (const Deal& deal : deals) {
        const std::int32_t mode = deal.mode;
        const std::int32_t length = deal.length;
        GameMode::Set(mode);
        Ann()->SetMaxLength(length);
        auto* scene = Enter<GameScene>("SCENE_GAME");
        ASSERT_NE(scene, nullptr);
        // A round of a source word of `length` letters (the game draws
        // the length at random up to the player's longest).
        const UTF8String fullest(deal.word != nullptr ? deal.word : "");
        const UTF8String* word = deal.word != nullptr ? &fullest : nullptr;
        if (word != nullptr) {
            scene->StartRound(1, word);
        } else if (mode != GameMode::kWordOfTheDay) {
            word = &WordOf(*scene, length);
            scene->StartRound(1, word);
        }
        Run(scene, 3000);
        const std::int32_t dealt = scene->GetRack()->GetSourceWord().GetLength();
        if (mode != GameMode::kWordOfTheDay) {
            ASSERT_EQ(dealt, length);
        }
        std::string name = "classic " + scene->GetModeName() + " " + std::to_string(dealt) + " letters";
        if (deal.word != nullptr) {
            // Every trophy held already: none fades over the full board when
            // it is won (a trophy's pop-up is shown on its own below).
            for (std::int32_t trophy = 0; trophy < Quorvel2Player::kAchievementCount; ++trophy) {
                Ann()->SetAchievement(trophy, 1);
            }
            ASSERT_EQ(dealt, 8);
            ASSERT_EQ(Rows(*scene->GetRack()->GetTable()), 8) << deal.word;
            name += ", eight rows";
        }
        Check(name, "dealt", scene);
        CheckPopUps(name, scene, 0);
        if (deal.word != nullptr) {
            // A word of the seventh row found, then typed again.
            const std::string found = scene->GetRack()->GetTable()->GetAnswers()[6];
            Type(*scene, found);
            Run(scene, 3000);
            Type(*scene, found);
            Run(scene, 450);
            // A quick player already types the next word under it.
            for (char c : std::string(found, 0, 2)) {
                KeyboardMessageData key(static_cast<unsigned char>(c), 0);
                scene->OnKeyDown(&key);
            }
            Run(scene, 300);
            Check(name, "a found word typed again, its pop-up", scene);
        }
        Run(scene, 6000);
        if (mode != GameMode::kUntimed) {
            for (int frame = 0; frame < 4000 && scene->GetTimeLeft() > 8000; ++frame) {
                Run(scene, 50);
            }
            Check(name, "the clock running out", scene);
        }
        if (deal.word == nullptr && (length == 8 || mode != GameMode::kUntimed)) {
            CheckDialogs(name, scene, {"DIALOG_PAUSE", "DIALOG_TUTORIAL", "DIALOG_PASSROUND", "DIALOG_NEXTROUND",
                                       "DIALOG_CONGRATS", "DIALOG_ENDGAME", "DIALOG_YESNO"});
        }
        // Won: every answer typed.
        const AnagramTable::WordList answers = scene->GetRack()->GetTable()->GetAnswers();
        for (std::int32_t i = 0; i < answers.GetCount(); ++i) {
            Type(*scene, answers[i]);
            Run(scene, 100);
        }
        Run(scene, 1500);
        Check(name, "round won", scene);
        scene->Deactivate();

        // Given up: the words not found are shown.
        auto* again = Enter<GameScene>("SCENE_GAME");
        ASSERT_NE(again, nullptr);
        if (deal.word != nullptr) {
            again->StartRound(1, &fullest);
        } else if (mode != GameMode::kWordOfTheDay) {
            again->StartRound(1, &WordOf(*again, length));
        }
        Run(again, 3000);
        again->EndGameSequence(true);
        Run(again, 2500);
        Check(name, "given up, the missed words shown", again);
        again->Deactivate();
    }
    Report();
}

// Blitz at every word length: dealt, a word found with its pop-up, the clock
// running out, and under each of its dialogs.
TEST_F(ScreenCheckGlTest, TheBlitzScene)
{
    GameMode::Set(GameMode::kBlitz);
    for (std::int32_t length = 5; length <= 8; ++length) {
        Ann()->SetMaxLength(length);
        auto* scene = Enter<BlitzScene>("SCENE_BLITZ");
        ASSERT_NE(scene, nullptr);
        scene->StartRound(30, nullptr);
        Run(scene, 3000);
        const std::string name = "blitz " + std::to_string(length) + " letters";
        Check(name, "dealt", scene);
        Type(*scene, scene->GetRacks()[0]->GetSourceWord().GetString());
        Run(scene, 300);
        Check(name, "a word found with its pop-up", scene);
        scene->ShowTrophyPopup(0);
        Run(scene, 600);
        Check(name, "a trophy's pop-up", scene);
        for (int frame = 0; frame < 4000 && scene->GetTimeLeft() > 8000; ++frame) {
            Run(scene, 50);
        }
        Check(name, "the clock running out", scene);
        if (length == 8) {
            CheckDialogs(name, scene, {"DIALOG_TUTORIAL", "DIALOG_ENDGAME", "DIALOG_CONGRATS", "DIALOG_YESNO"});
        }
        scene->Deactivate();
    }
    Report();
}

// Crisscross at every longest word: dealt, a word found, a refused word's
// and a trophy's pop-ups over the board at rest, given up with the missed
// letters revealed, and under its dialogs.
TEST_F(ScreenCheckGlTest, TheCrisscrossScene)
{
    GameMode::Set(GameMode::kCrisscross);
    for (std::int32_t length = 5; length <= 8; ++length) {
        Ann()->SetMaxLength(length);
        auto* scene = Enter<CrisscrossScene>("SCENE_CRISSCROSS");
        ASSERT_NE(scene, nullptr);
        Run(scene, 5000);
        const std::string name = "crisscross " + std::to_string(length) + " letters";
        Check(name, "dealt", scene);
        Type(*scene, scene->GetTable()->GetPlacements()[0]->word);
        Run(scene, 300);
        Check(name, "a word found", scene);
        for (int frame = 0; frame < 100 && scene->IsBusy(); ++frame) {
            Run(scene, 50);
        }
        CheckPopUps(name, scene, 9);
        Run(scene, 3000);
        scene->Zoom();
        Run(scene, 1000);
        Check(name, "zoomed in", scene);
        scene->Zoom();
        Run(scene, 1000);
        if (length == 8) {
            CheckDialogs(name, scene, {"DIALOG_TUTORIAL", "DIALOG_ENDGAME", "DIALOG_YESNO"});
        }
        scene->PassOrGiveUp();
        for (int frame = 0; frame < 400 && !scene->IsDialogOpen(); ++frame) {
            Run(scene, 50);
        }
        for (GameNode* child = scene->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            if (child->IsOfType(&Dialog::s_Type)) {
                child->SetVisible(false);
            }
        }
        Check(name, "given up, the missed letters revealed", scene);
        scene->Deactivate();
    }
    Report();
}

// The menu with its dialogs (one over another too), the trophy room with
// trophies won, and the high-score table of each mode showing a new entry
// through its whole blink.
TEST_F(ScreenCheckGlTest, TheMenuTheTrophyRoomAndTheHighScores)
{
    auto* menu = Enter<Scene>("SCENE_SELECTION");
    ASSERT_NE(menu, nullptr);
    Run(menu, 2000);
    Check("menu", "shown", menu);
    for (const char* key : {"DIALOG_NEWPLAYER", "DIALOG_PLAYERSELECT", "DIALOG_SETTINGS", "DIALOG_HELP"}) {
        Dialog* dialog = ShowDialog(menu, key);
        if (dialog == nullptr) {
            continue;
        }
        Check("menu", std::string(key) + " over the scene", menu);
        if (std::string(key) == "DIALOG_SETTINGS") {
            auto* credits = static_cast<DialogQuorvel2*>(dialog)->OpenOver("DIALOG_CREDITS");
            ASSERT_NE(credits, nullptr);
            for (int i = 0; i < 30; ++i) {
                credits->TickTree(100);
            }
            Check("menu", "DIALOG_CREDITS over DIALOG_SETTINGS", menu);
            menu->CloseDialog(credits);
        }
        menu->CloseDialog(dialog);
        menu->PurgeTree();
    }
    HighScoreManager::SetInstance(new HighScoreManager("1"));
    for (std::int32_t mode : {GameMode::kUntimed, GameMode::kTimed, GameMode::kWordOfTheDay, GameMode::kBlitz,
                              GameMode::kCrisscross}) {
        GameMode::Set(mode);
        const std::string table = DialogHighScore::TableName(mode);
        HighScoreTable* scores = DialogHighScore::GetTable(table);
        ASSERT_NE(scores, nullptr);
        const std::string extra = mode == GameMode::kWordOfTheDay ? "2026-12-08" : "4";
        const std::int32_t at = scores->AddEntry(new Quorvel2ScoreEntry("Ann", 5500, mode, 0, extra));
        ASSERT_GE(at, 0);
        scores->SetLastScore(at);
        Dialog* dialog = ShowDialog(menu, "DIALOG_HIGHSCORES");
        ASSERT_NE(dialog, nullptr);
        // The new entry blinks: every step of the blink.
        for (int step = 0; step < 8; ++step) {
            Check("menu", "DIALOG_HIGHSCORES " + table + " with a new entry, blink step " + std::to_string(step), menu);
            dialog->TickTree(100);
        }
        menu->CloseDialog(dialog);
        menu->PurgeTree();
    }
    GameMode::Set(GameMode::kTimed);
    menu->Deactivate();

    for (std::int32_t won = 0; won < 16; won += 3) {
        Ann()->SetAchievement(won, 1);
    }
    auto* room = Enter<TrophyScene>("SCENE_TROPHY");
    ASSERT_NE(room, nullptr);
    Run(room, 2000);
    Check("trophy room", "trophies won", room);
    Report();
}

}  // namespace screen_check_gl_test
