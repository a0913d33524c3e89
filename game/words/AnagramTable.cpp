#include "game/words/AnagramTable.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierScale.h"
#include "framework/scene/ModifierVisible.h"
#include "game/words/LetterBall.h"

using namespace Qmv2;

namespace {

constexpr const char* kAnagramSection = "gamescene";
constexpr const char* kTileImage = "ANAGRAM_TILE";
constexpr const char* kLetterImage = "SMALL_LETTERS";
constexpr std::int32_t kMissedTileFrame = 1;
// Space between columns beyond the gap property and the widest word.
constexpr float kColumnPadding = 20.0f;
constexpr std::int32_t kMinColumns = 4;
constexpr std::int32_t kRowsPerColumn = 8;

Image* AnagramImage(const char* name)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    return resources != nullptr ? resources->GetImage(name, kAnagramSection) : nullptr;
}

std::int32_t Length(const std::string& word)
{
    return UTF8String(word).GetLength();
}

Modifier* AnagramChain(Modifier* modifier, Modifier* parent, GameNode* target)
{
    modifier->SetTarget(target);
    return Modifier::AttachTo(modifier, parent);
}

ModifierScale* AnagramScale(std::int32_t duration, float fromY, float toY)
{
    auto* scale = new ModifierScale(duration);
    scale->SetFrom(1.0f, fromY);
    scale->SetTo(1.0f, toY);
    return scale;
}

bool Contains(const AnagramTable::WordList& list, const std::string& word)
{
    return std::find(list.begin(), list.end(), word) != list.end();
}

}  // namespace

std::int32_t SmallLetterFrame(std::uint32_t c)
{
    const bool latin = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c < 0x7B && !latin) {
        return 0;
    }
    return LetterIndex(c) + 1;
}

// ---------------------------------------------------------------- Anagram

Anagram::Anagram(std::int32_t wordLength, float x, float y, bool horizontal)
    : Sprite(x, y, nullptr), length(std::max(wordLength, 0))
{
    float step = 0.0f;
    for (std::int32_t i = 0; i < length; ++i) {
        auto* letter = new Sprite(0.0f, 0.0f, AnagramImage(kLetterImage));
        letter->SetFrame(0);
        letter->SetVisible(false);
        if (i == 0) {
            step = horizontal ? letter->GetWidth() : letter->GetHeight();
        }
        const float tileX = horizontal ? static_cast<float>(i) * step : 0.0f;
        const float tileY = horizontal ? 0.0f : static_cast<float>(i) * step;
        auto* tile = new Sprite(tileX, tileY, AnagramImage(kTileImage));
        letter->SetPosition(tileX, tileY);
        AddChild(tile);
        AddChild(letter);
        tiles.PushBack(tile);
        letters.PushBack(letter);
    }
}

Anagram::~Anagram() = default;

void Anagram::Clear()
{
    word = UTF8String();
    for (Sprite* letter : letters) {
        letter->SetFrame(0);
    }
}

bool Anagram::HitTest(float x, float y)
{
    return std::any_of(letters.begin(), letters.end(), [&](Sprite* letter) { return letter->HitTest(x, y); });
}

void Anagram::Reveal(bool instant)
{
    AnimTree* tree = AnimTree::GetInstance();
    Utf8Iterator it(word);
    for (std::int32_t i = 0; i < length; ++i, Utf8Advance(it, 1)) {
        Sprite* tile = tiles[i];
        Sprite* letter = letters[i];
        const std::int32_t frame = SmallLetterFrame(it.codePoint);
        if (tree == nullptr) {
            // Nothing animates without the animation tree: show the end state.
            if (missed) {
                tile->SetFrame(kMissedTileFrame);
            }
            letter->SetFrame(frame);
            tile->SetScale(1.0f);
            letter->SetScale(1.0f);
            letter->SetVisible(true);
            continue;
        }
        Modifier* last = AnagramChain(new ModifierDelay(instant ? 0 : kTileStagger * i), tree, tile);
        last = AnagramChain(AnagramScale(kFlipTime, 1.0f, 0.0f), last, tile);
        if (missed) {
            last = AnagramChain(new ModifierFrame(kMissedTileFrame), last, tile);
        }
        last = AnagramChain(new ModifierFrame(frame), last, letter);
        AnagramChain(AnagramScale(kFlipTime, 0.0f, 1.0f), last, tile);
        last = AnagramChain(AnagramScale(kFlipTime, 0.0f, 1.0f), last, letter);
        AnagramChain(new ModifierVisible(1), last, letter);
    }
}

// ----------------------------------------------------------- AnagramTable

AnagramTable::AnagramTable(PropertyNode* description) : Sprite(description)
{
    MakeLetterImage();
}

AnagramTable::AnagramTable(float x, float y) : Sprite(x, y, nullptr)
{
    MakeLetterImage();
}

AnagramTable::~AnagramTable() = default;

void AnagramTable::MakeLetterImage()
{
    letterImage = new Sprite(0.0f, 0.0f, AnagramImage(kLetterImage));
    letterImage->SetVisible(false);
    AddChild(letterImage);
}

void AnagramTable::Build(const WordList* answersSource, const WordList* acceptedSource)
{
    foundCount = 0;
    answers.Clear();
    accepted.Clear();

    std::array<std::int32_t, kMaxWordLength + 1> quota{};
    std::int32_t total = 0;
    if (answersSource != nullptr) {
        for (const std::string& word : *answersSource) {
            const std::int32_t n = Length(word);
            if (n >= 0 && n <= kMaxWordLength) {
                ++quota[n];
            }
        }
        total = answersSource->GetCount();
    }
    const float scale = total > kMaxSlots ? static_cast<float>(kMaxSlots) / static_cast<float>(total) : 1.0f;
    for (std::int32_t n = kMaxWordLength; n >= kMinWordLength; --n) {
        const float share = static_cast<float>(quota[n]) * scale;
        quota[n] = share > 0.0f && share < 1.0f ? 1 : static_cast<std::int32_t>(share);
    }

    // Shorter words first; within the lengths up to 7 the later source word
    // stands first, 8-letter words keep their source order.
    std::vector<std::string> taken;
    if (answersSource != nullptr) {
        for (const std::string& word : *answersSource) {
            const std::int32_t n = Length(word);
            if (n < kMinWordLength || n > kMaxWordLength || quota[n] <= 0) {
                continue;
            }
            --quota[n];
            auto at = n == kMaxWordLength ? taken.end()
                                          : std::find_if(taken.begin(), taken.end(),
                                                         [n](const std::string& w) { return Length(w) >= n; });
            taken.insert(at, word);
        }
    }
    if (acceptedSource != nullptr) {
        accepted = *acceptedSource;
    }
    for (std::string& word : taken) {
        answers.PushBack(std::move(word));
    }
    Layout();
}

void AnagramTable::Layout()
{
    for (Anagram* slot : slots) {
        slot->SetObsolete(true);
    }
    slots.clear();

    const std::int32_t n = answers.GetCount();
    const std::int32_t columns = std::max((n + kRowsPerColumn - 1) / kRowsPerColumn, kMinColumns);
    const float q = static_cast<float>(n) / static_cast<float>(columns);
    const std::int32_t perColumn = static_cast<std::int32_t>(std::floor(q));
    const float fraction = q - static_cast<float>(perColumn);

    const float tileW = letterImage->GetWidth();
    const float tileH = letterImage->GetHeight();
    BasicProperties* properties = BasicProperties::GetInstance();
    const float columnGap = properties != nullptr ? properties->GetFloat("ANAGRAM_ColumnGap") : 0.0f;
    width = 0.0f;
    height = 0.0f;

    float x = 0.0f;
    float y = 0.0f;
    std::int32_t rowsLeft = perColumn;
    float carry = fraction;
    std::int32_t widest = kMinWordLength;
    for (const std::string& word : answers) {
        if (rowsLeft <= 0) {
            carry += fraction;
            rowsLeft = perColumn;
            if (carry >= 0.999f) {
                rowsLeft += 1;
                carry = carry < 1.0f ? 0.0f : carry - 1.0f;
            }
            x += columnGap + static_cast<float>(widest) * tileW + kColumnPadding;
            y = 0.0f;
        }
        const std::int32_t length = Length(word);
        auto* slot = new Anagram(length, x, y, true);
        AddChild(slot);
        slots.push_back(slot);
        widest = std::max(widest, length);
        y += tileH;
        width = std::max(width, x + static_cast<float>(widest) * tileW);
        height = std::max(height, y);
        rowsLeft -= 1;
    }
}

Anagram* AnagramTable::FreeSlot(std::int32_t length) const
{
    for (Anagram* slot : slots) {
        if (slot->GetLength() == length && slot->GetWord().IsEmpty()) {
            return slot;
        }
    }
    return nullptr;
}

std::int32_t AnagramTable::Guess(const UTF8String& typed, bool& notAnAnswer)
{
    const std::string& word = typed.GetString();
    if (!Contains(accepted, word)) {
        return kNotAWord;
    }
    if (IsShown(typed)) {
        return kFoundBefore;
    }
    if (!Contains(answers, word)) {
        notAnAnswer = true;
    }
    Anagram* slot = FreeSlot(typed.GetLength());
    if (slot == nullptr) {
        return kNoFreeSlot;
    }
    slot->SetWord(typed);
    slot->Reveal(false);
    ++foundCount;
    return kPlaced;
}

void AnagramTable::RevealAll()
{
    for (Anagram* slot : slots) {
        if (!slot->GetWord().IsEmpty()) {
            continue;
        }
        for (const std::string& word : answers) {
            const UTF8String candidate(word);
            if (candidate.GetLength() == slot->GetLength() && !IsShown(candidate)) {
                slot->SetMissed(true);
                slot->SetWord(candidate);
                slot->Reveal(false);
                break;
            }
        }
    }
}

bool AnagramTable::IsComplete() const
{
    return std::none_of(slots.begin(), slots.end(), [](Anagram* slot) { return slot->GetWord().IsEmpty(); });
}

bool AnagramTable::HasSlotOfLength(std::int32_t n) const
{
    return std::any_of(slots.begin(), slots.end(), [n](Anagram* slot) { return slot->GetLength() == n; });
}

bool AnagramTable::IsShown(const UTF8String& word) const
{
    return std::any_of(slots.begin(), slots.end(), [&](Anagram* slot) { return slot->GetWord() == word; });
}

std::string AnagramTable::DefinitionAddress(const std::string& base, const std::string& word)
{
    if (base.rfind("http://", 0) != 0 && base.rfind("https://", 0) != 0) {
        return std::string();
    }
    static const char* const kHex = "0123456789ABCDEF";
    std::string address = base;
    for (const unsigned char c : word) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            address += static_cast<char>(c);
        } else {
            address += '%';
            address += kHex[c >> 4];
            address += kHex[c & 0x0F];
        }
    }
    return address;
}

bool AnagramTable::OpenDefinition(float x, float y, bool open)
{
    for (Anagram* slot : slots) {
        if (slot->GetWord().IsEmpty() || !slot->HitTest(x, y)) {
            continue;
        }
        if (open) {
            BasicProperties* properties = BasicProperties::GetInstance();
            const std::string address =
                DefinitionAddress(properties != nullptr ? properties->GetString("BASE_URL") : std::string(),
                                  slot->GetWord().GetString());
            if (!address.empty()) {
                OpenURL(address);
            }
        }
        return true;
    }
    return false;
}

PropertyVector* AnagramTable::Save() const
{
    auto* list = new PropertyVector("WORD_LIST");
    for (Anagram* slot : slots) {
        if (slot->GetWord().IsEmpty()) {
            continue;
        }
        auto* item = new PropertyNode("ANAGRAM");
        item->AddChild(new PropertyValue("WORD", "String", slot->GetWord().GetString()));
        list->AddItem(item);
    }
    return list;
}

std::int32_t AnagramTable::Load(const PropertyVector* saved)
{
    std::int32_t placed = 0;
    if (saved == nullptr) {
        return placed;
    }
    for (std::int32_t i = 0; i < saved->GetCount(); ++i) {
        const UTF8String word(PropertyNode::AsNode(saved->GetItem(i))->GetString("WORD"));
        if (word.IsEmpty() || IsShown(word)) {
            continue;
        }
        Anagram* slot = FreeSlot(word.GetLength());
        if (slot == nullptr) {
            continue;
        }
        slot->SetWord(word);
        slot->Reveal(true);
        ++placed;
    }
    return placed;
}
