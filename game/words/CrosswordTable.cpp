#include "game/words/CrosswordTable.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Random.h"

using namespace Qmv2;

namespace {

constexpr const char* kCrosswordSection = "gamescene";
// Letters go only into columns 1..18 and rows 1..9; the outer cells take
// the blocked marks of the words' ends and crossings.
constexpr std::int32_t kFirstLetterColumn = 1;
constexpr std::int32_t kLastLetterColumn = 18;
constexpr std::int32_t kFirstLetterRow = 1;
constexpr std::int32_t kLastLetterRow = 9;
// A crossing word must end before these so that its far end stays inside.
constexpr std::int32_t kLastCrossingColumn = 17;
constexpr std::int32_t kLastCrossingRow = 8;
constexpr std::int32_t kFirstRow = 5;
// No real board comes near this; a save claiming more is not a board.
constexpr std::int32_t kMaxPlacements = 64;

Sprite* HiddenImage(const char* name)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    auto* sprite = new Sprite(0.0f, 0.0f, resources != nullptr ? resources->GetImage(name, kCrosswordSection) : nullptr);
    sprite->SetVisible(false);
    return sprite;
}

bool CrosswordContains(const CrosswordTable::WordList& list, const std::string& word)
{
    return std::find(list.begin(), list.end(), word) != list.end();
}

// A whole decimal integer, nothing else.
bool ParseInt(const PropertyNode& node, const char* name, std::int32_t& out)
{
    const std::string& text = node.GetValue(name)->GetText();
    if (text.empty() || text.size() > 9) {
        return false;
    }
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    for (std::size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9') {
            return false;
        }
    }
    out = std::atoi(text.c_str());
    return true;
}

PropertyNode* ItemNode(const PropertyVector* list, std::int32_t i)
{
    AbstractProperty* item = list->GetItem(i);
    return item != nullptr && item->IsOfType(&PropertyNode::s_Type) ? static_cast<PropertyNode*>(item) : nullptr;
}

std::string IntText(std::int32_t value)
{
    return std::to_string(value);
}

}  // namespace

CrosswordTable::CrosswordTable(PropertyNode* description) : Sprite(description)
{
    MakeImages();
}

CrosswordTable::CrosswordTable(float x, float y) : Sprite(x, y, nullptr)
{
    MakeImages();
}

void CrosswordTable::MakeImages()
{
    letterImage = HiddenImage("SMALL_LETTERS");
    unguessedImage = HiddenImage("SMALL_LETTERS_UNGUESSED");
    AddChild(letterImage);
    AddChild(unguessedImage);
}

CrosswordTable::~CrosswordTable() = default;

Interface* CrosswordTable::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    return Sprite::GetInterface(type);
}

float CrosswordTable::GetCellWidth() const
{
    return letterImage->GetWidth();
}

float CrosswordTable::GetCellHeight() const
{
    return letterImage->GetHeight();
}

void CrosswordTable::Reset()
{
    for (Anagram* slot : slots) {
        slot->SetObsolete(true);
    }
    slots.clear();
    placements.clear();
    cells.fill(Cell{});
}

bool CrosswordTable::Generate()
{
    Reset();
    std::vector<std::string> left(words.begin(), words.end());
    if (left.empty()) {
        return true;
    }

    auto first = SmartPtr<WordPlacement>(new WordPlacement);
    first->word = left.back();
    left.pop_back();
    const std::int32_t n = first->Length();
    first->x = (kLastLetterColumn - n) / 2;
    first->y = kFirstRow;
    first->horizontal = true;
    // A word that does not fit between the borders cannot start a board.
    if (n == 0 || first->x < kFirstLetterColumn || first->x + n - 1 > kLastLetterColumn) {
        return false;
    }
    Place(*first, kNoCrossing);
    placements.push_back(first);

    while (!left.empty()) {
        const std::string candidate = std::move(left.back());
        left.pop_back();
        bool placed = false;
        for (std::int32_t attempt = 0; attempt < kAttempts && !placed; ++attempt) {
            placed = TryCross(candidate);
        }
        if (!placed) {
            return false;
        }
    }
    return true;
}

bool CrosswordTable::TryCross(const std::string& candidate)
{
    static Rand fallback;
    Rand& random = Random::GetInstance() != nullptr ? static_cast<Rand&>(*Random::GetInstance()) : fallback;
    const std::int32_t count = static_cast<std::int32_t>(placements.size());
    const std::int32_t index = random.Range(0, count);
    if (index < 0 || index >= count) {
        return false;
    }
    const WordPlacement& across = *placements[index];

    std::vector<std::int32_t> positions;
    for (const char letter : candidate) {
        for (std::int32_t j = 0; j < across.Length(); ++j) {
            if (across.word[j] == letter && !GetCell(across.CellX(j), across.CellY(j)).blocked) {
                positions.push_back(j);
            }
        }
    }
    // The C library's generator, as the rest of the dealing uses it.
    for (std::size_t i = positions.size(); i > 1; --i) {
        std::swap(positions[i - 1], positions[static_cast<std::size_t>(std::rand()) % i]);
    }

    while (!positions.empty()) {
        const std::int32_t j = positions.back();
        positions.pop_back();
        for (std::int32_t k = 0; k < static_cast<std::int32_t>(candidate.size()); ++k) {
            if (candidate[k] != across.word[j]) {
                continue;
            }
            auto placement = SmartPtr<WordPlacement>(new WordPlacement);
            placement->word = candidate;
            placement->horizontal = !across.horizontal;
            placement->x = across.horizontal ? across.x + j : across.x - k;
            placement->y = across.horizontal ? across.y - k : across.y + j;
            if (!CanPlace(*placement, k)) {
                continue;
            }
            Place(*placement, k);
            const std::int32_t added = static_cast<std::int32_t>(placements.size());
            placement->intersections[index] = k;
            placements[index]->intersections[added] = j;
            placements.push_back(placement);
            return true;
        }
    }
    return false;
}

bool CrosswordTable::CanPlace(const WordPlacement& p, std::int32_t k) const
{
    const std::int32_t n = p.Length();
    if (p.x < kFirstLetterColumn || p.x > kLastLetterColumn || p.y < kFirstLetterRow || p.y > kLastLetterRow) {
        return false;
    }
    if (p.horizontal ? p.x + n - 1 > kLastCrossingColumn : p.y + n - 1 > kLastCrossingRow) {
        return false;
    }
    for (std::int32_t c = -1; c <= n; ++c) {
        if (c == k) {
            continue;
        }
        const Cell& cell = GetCell(p.CellX(c), p.CellY(c));
        if (cell.letter != 0 || (c >= 0 && c < n && cell.blocked)) {
            return false;
        }
    }
    return true;
}

void CrosswordTable::Place(const WordPlacement& p, std::int32_t k)
{
    const std::int32_t n = p.Length();
    for (std::int32_t c = -1; c <= n; ++c) {
        const std::int32_t cx = p.CellX(c);
        const std::int32_t cy = p.CellY(c);
        if (c == -1 || c == n) {
            At(cx, cy).blocked = true;
            continue;
        }
        At(cx, cy).letter = static_cast<signed char>(p.word[c]);
        if (c == k) {
            for (std::int32_t dx = -1; dx <= 1; ++dx) {
                for (std::int32_t dy = -1; dy <= 1; ++dy) {
                    At(cx + dx, cy + dy).blocked = true;
                }
            }
        }
    }
    MakeSlot(p);
}

void CrosswordTable::MakeSlot(const WordPlacement& p)
{
    auto* slot = new Anagram(p.Length(), static_cast<float>(p.x) * GetCellWidth(),
                             static_cast<float>(p.y) * GetCellHeight(), p.horizontal);
    AddChild(slot);
    slots.push_back(slot);
}

bool CrosswordTable::IsShown(const UTF8String& word) const
{
    return std::any_of(slots.begin(), slots.end(), [&](Anagram* slot) { return slot->GetWord() == word; });
}

std::int32_t CrosswordTable::Guess(const UTF8String& word, std::int32_t slotIndex, bool& notInWords)
{
    if (!CrosswordContains(accepted, word.GetString())) {
        return kNotAWord;
    }
    if (IsShown(word)) {
        return kFoundBefore;
    }
    if (slotIndex < 0 || slotIndex >= static_cast<std::int32_t>(slots.size()) ||
        slots[slotIndex]->GetLength() != word.GetLength()) {
        return kWrongSlot;
    }
    if (!CrosswordContains(words, word.GetString())) {
        notInWords = true;
    }
    ShowWord(slotIndex, word, false);
    return kShown;
}

bool CrosswordTable::ShowWord(std::int32_t slotIndex, const UTF8String& word, bool instant)
{
    if (slotIndex < 0 || slotIndex >= static_cast<std::int32_t>(slots.size())) {
        return false;
    }
    Anagram* slot = slots[slotIndex];
    if (slot->GetLength() != word.GetLength()) {
        return false;
    }
    slot->SetWord(word);
    AddChild(slot);
    slot->Reveal(instant);
    return true;
}

std::string CrosswordTable::FindMatch(const std::string& pattern) const
{
    for (const std::string& word : accepted) {
        if (word.size() != pattern.size() || IsShown(UTF8String(word))) {
            continue;
        }
        bool match = true;
        for (std::size_t i = 0; i < word.size() && match; ++i) {
            match = pattern[i] == '*' || pattern[i] == word[i];
        }
        if (match) {
            return word;
        }
    }
    return std::string();
}

void CrosswordTable::ClearSlot(std::int32_t index)
{
    if (index < 0 || index >= static_cast<std::int32_t>(slots.size())) {
        return;
    }
    Anagram* slot = slots[index];
    slot->Clear();
    if (GetFirstChild() != slot) {
        slot->InsertBefore(GetFirstChild());
    }
}

PropertyNode* CrosswordTable::Save() const
{
    auto* root = new PropertyNode("CROSSWORD_TABLE");
    auto* shown = new PropertyVector("ANAGRAM_LIST");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i]->GetWord().IsEmpty()) {
            continue;
        }
        auto* item = new PropertyNode("ANAGRAM");
        item->AddChild(new PropertyValue("WORD", "String", slots[i]->GetWord().GetString()));
        item->AddChild(new PropertyValue("INDEX", "Integer", IntText(static_cast<std::int32_t>(i))));
        shown->AddItem(item);
    }
    root->AddChild(shown);

    auto* list = new PropertyVector("PLACEMENT_LIST");
    for (const SmartPtr<WordPlacement>& p : placements) {
        auto* item = new PropertyNode("PLACEMENT");
        item->AddChild(new PropertyValue("WORD", "String", p->word));
        item->AddChild(new PropertyValue("X", "Integer", IntText(p->x)));
        item->AddChild(new PropertyValue("Y", "Integer", IntText(p->y)));
        item->AddBoolean("HORIZONTAL", p->horizontal);
        auto* crossings = new PropertyVector("INTERSECTION_LIST");
        for (const auto& [other, letter] : p->intersections) {
            auto* crossing = new PropertyNode("INTERSECTION");
            crossing->AddChild(new PropertyValue("WORD_INDEX", "Integer", IntText(other)));
            crossing->AddChild(new PropertyValue("LETTER_INDEX", "Integer", IntText(letter)));
            crossings->AddItem(crossing);
        }
        item->AddChild(crossings);
        list->AddItem(item);
    }
    root->AddChild(list);
    return root;
}

bool CrosswordTable::Load(const PropertyNode* saved)
{
    Reset();
    if (saved == nullptr) {
        return false;
    }
    const PropertyVector* list = saved->GetVector("PLACEMENT_LIST");
    const std::int32_t count = list->GetCount();
    if (count <= 0 || count > kMaxPlacements) {
        return false;
    }

    std::vector<SmartPtr<WordPlacement>> loaded;
    for (std::int32_t i = 0; i < count; ++i) {
        const PropertyNode* item = ItemNode(list, i);
        if (item == nullptr) {
            return false;
        }
        auto p = SmartPtr<WordPlacement>(new WordPlacement);
        p->word = item->GetString("WORD");
        p->horizontal = item->GetValue("HORIZONTAL")->GetText() != "false";
        const std::int32_t n = p->Length();
        if (n == 0 || UTF8String(p->word).GetLength() != n || !ParseInt(*item, "X", p->x) ||
            !ParseInt(*item, "Y", p->y)) {
            return false;
        }
        // Every letter on the letter area of the grid.
        if (p->CellX(0) < kFirstLetterColumn || p->CellY(0) < kFirstLetterRow ||
            p->CellX(n - 1) > kLastLetterColumn || p->CellY(n - 1) > kLastLetterRow) {
            return false;
        }
        const PropertyVector* crossings = item->GetVector("INTERSECTION_LIST");
        for (std::int32_t c = 0; c < crossings->GetCount(); ++c) {
            const PropertyNode* crossing = ItemNode(crossings, c);
            std::int32_t other = 0;
            std::int32_t letter = 0;
            if (crossing == nullptr || !ParseInt(*crossing, "WORD_INDEX", other) ||
                !ParseInt(*crossing, "LETTER_INDEX", letter) || other < 0 || other >= count || other == i ||
                letter < 0 || letter >= n || !p->intersections.emplace(other, letter).second) {
                return false;
            }
        }
        loaded.push_back(p);
    }
    // Each crossing is recorded by both words, on one cell, with one letter.
    for (std::int32_t i = 0; i < count; ++i) {
        const WordPlacement& a = *loaded[i];
        for (const auto& [other, k] : a.intersections) {
            const WordPlacement& b = *loaded[other];
            const auto back = b.intersections.find(i);
            if (back == b.intersections.end()) {
                return false;
            }
            const std::int32_t j = back->second;
            if (a.CellX(k) != b.CellX(j) || a.CellY(k) != b.CellY(j) || a.word[k] != b.word[j]) {
                return false;
            }
        }
    }

    const PropertyVector* shown = saved->GetVector("ANAGRAM_LIST");
    std::vector<std::pair<std::int32_t, UTF8String>> fills;
    std::set<std::string> seen;
    for (std::int32_t i = 0; i < shown->GetCount(); ++i) {
        const PropertyNode* item = ItemNode(shown, i);
        std::int32_t index = 0;
        if (item == nullptr || !ParseInt(*item, "INDEX", index) || index < 0 || index >= count) {
            return false;
        }
        UTF8String word(item->GetString("WORD"));
        if (word.GetLength() != loaded[index]->Length() || !seen.insert(word.GetString()).second) {
            return false;
        }
        fills.emplace_back(index, std::move(word));
    }

    placements = std::move(loaded);
    for (const SmartPtr<WordPlacement>& p : placements) {
        MakeSlot(*p);
    }
    for (const auto& [index, word] : fills) {
        ShowWord(index, word, true);
    }
    return true;
}
