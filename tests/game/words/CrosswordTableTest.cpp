// The crossword board: where the first word stands, which crossings the grid
// allows, guessing into slots, and saves that come back whole or are refused
// whole.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/core/properties/PropertyXmlWriter.h"
#include "game/words/CrosswordTable.h"

namespace crossword_table_test {

using namespace Qmv2;

namespace {

SmartPtr<CrosswordTable> Table(const std::vector<std::string>& words)
{
    SmartPtr<CrosswordTable> table(new CrosswordTable(0.0f, 0.0f));
    for (const std::string& w : words) {
        table->words.PushBack(w);
        table->accepted.PushBack(w);
    }
    return table;
}

WordPlacement At(const std::string& word, int x, int y, bool horizontal)
{
    WordPlacement p;
    p.word = word;
    p.x = x;
    p.y = y;
    p.horizontal = horizontal;
    return p;
}

// A saved board passed through its XML text, as the player's file holds it.
SmartPtr<PropertyNode> ThroughXml(PropertyNode* saved)
{
    SmartPtr<PropertyNode> holder(new PropertyNode("DATA"));
    holder->AddChild(saved);
    const std::string text = PropertyXmlWriter::WriteDocument(*holder);
    SmartPtr<PropertyNode> back(new PropertyNode("DATA"));
    EXPECT_TRUE(PropertyXmlReader::ReadInto(*back, text.c_str(), true)) << text;
    return SmartPtr<PropertyNode>(back->GetNode("CROSSWORD_TABLE"));
}

}  // namespace

TEST(CrosswordTable, FirstWordIsCentredOnRowFive)
{
    for (const auto& [word, column] : std::vector<std::pair<std::string, int>>{
             {"letters", 5}, {"notebook", 5}, {"stone", 6}}) {
        auto table = Table({word});
        ASSERT_TRUE(table->Generate());
        ASSERT_EQ(table->GetPlacements().size(), 1u);
        const WordPlacement& p = *table->GetPlacements()[0];
        EXPECT_EQ(p.x, column) << word;
        EXPECT_EQ(p.y, 5);
        EXPECT_TRUE(p.horizontal);
        EXPECT_TRUE(table->GetCell(column - 1, 5).blocked);
        EXPECT_TRUE(table->GetCell(column + p.Length(), 5).blocked);
        EXPECT_EQ(table->GetCell(column, 5).letter, word[0]);
        EXPECT_EQ(table->GetSlots().size(), 1u);
    }
    // A word that cannot stand between the borders is refused, not written
    // past the grid.
    EXPECT_FALSE(Table({std::string(19, 'a')})->Generate());
    EXPECT_FALSE(Table({""})->Generate());
}

TEST(CrosswordTable, GeneratorCrossesWordsOrGivesUp)
{
    // Taken from the end: "stone" first, then each crosses a placed word.
    auto table = Table({"tones", "notes", "one", "stone"});
    ASSERT_TRUE(table->Generate());
    const auto& placed = table->GetPlacements();
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[0]->word, "stone");
    for (std::size_t i = 1; i < placed.size(); ++i) {
        ASSERT_FALSE(placed[i]->intersections.empty()) << placed[i]->word;
        for (const auto& [other, k] : placed[i]->intersections) {
            const WordPlacement& o = *placed[other];
            const int j = o.intersections.at(static_cast<int>(i));
            EXPECT_NE(placed[i]->horizontal, o.horizontal);
            EXPECT_EQ(placed[i]->CellX(k), o.CellX(j));
            EXPECT_EQ(placed[i]->CellY(k), o.CellY(j));
            EXPECT_EQ(placed[i]->word[k], o.word[j]);
        }
    }
    // No shared letter: every attempt fails, the first word stays.
    auto lonely = Table({"xyz", "stone"});
    EXPECT_FALSE(lonely->Generate());
    EXPECT_EQ(lonely->GetPlacements().size(), 1u);
}

TEST(CrosswordTable, GridKeepsCrossingsApartAndWordsInside)
{
    auto table = Table({});
    // Empty grid: an 8-letter down word fits only from row 1; across, the
    // far end stays before column 18.
    EXPECT_TRUE(table->CanPlace(At("abcdefgh", 4, 1, false), CrosswordTable::kNoCrossing));
    EXPECT_FALSE(table->CanPlace(At("abcdefgh", 4, 2, false), CrosswordTable::kNoCrossing));
    EXPECT_FALSE(table->CanPlace(At("abcdefgh", 4, 0, false), CrosswordTable::kNoCrossing));
    EXPECT_TRUE(table->CanPlace(At("abcdefgh", 10, 3, true), CrosswordTable::kNoCrossing));
    EXPECT_FALSE(table->CanPlace(At("abcdefgh", 11, 3, true), CrosswordTable::kNoCrossing));

    table->Place(At("stone", 6, 5, true), CrosswordTable::kNoCrossing);
    // "note" down through the 'o' of "stone" (column 8).
    ASSERT_TRUE(table->CanPlace(At("note", 8, 4, false), 1));
    table->Place(At("note", 8, 4, false), 1);
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            EXPECT_TRUE(table->GetCell(8 + dx, 5 + dy).blocked);
    // The 'o' is a crossing already; 't' and 'n' lie next to it.
    EXPECT_FALSE(table->CanPlace(At("to", 8, 4, false), 1));
    EXPECT_FALSE(table->CanPlace(At("at", 7, 4, false), 1));
    EXPECT_FALSE(table->CanPlace(At("ant", 9, 4, false), 1));
    // The 'e' two cells on is free.
    EXPECT_TRUE(table->CanPlace(At("eel", 10, 5, false), 0));
    // A word may end next to a blocked cell, never next to a letter.
    EXPECT_TRUE(table->CanPlace(At("ab", 11, 6, false), CrosswordTable::kNoCrossing));
    EXPECT_FALSE(table->CanPlace(At("ab", 6, 3, false), CrosswordTable::kNoCrossing));
    EXPECT_FALSE(table->CanPlace(At("ab", 9, 7, true), CrosswordTable::kNoCrossing));
    EXPECT_EQ(table->GetSlots().size(), 2u);
}

TEST(CrosswordTable, GuessFillsTheChosenSlot)
{
    auto table = Table({"tones", "notes", "stone"});
    table->accepted.PushBack("onset");
    ASSERT_TRUE(table->Generate());
    bool outside = false;
    EXPECT_EQ(table->Guess(UTF8String("xxxxx"), 0, outside), CrosswordTable::kNotAWord);
    EXPECT_EQ(table->Guess(UTF8String("onset"), 7, outside), CrosswordTable::kWrongSlot);
    EXPECT_EQ(table->Guess(UTF8String("onset"), 1, outside), CrosswordTable::kShown);
    EXPECT_TRUE(outside);
    EXPECT_EQ(table->GetSlots()[1]->GetWord().GetString(), "onset");
    EXPECT_EQ(table->Guess(UTF8String("onset"), 2, outside), CrosswordTable::kFoundBefore);
    outside = false;
    EXPECT_EQ(table->Guess(UTF8String("stone"), 0, outside), CrosswordTable::kShown);
    EXPECT_FALSE(outside);

    EXPECT_EQ(table->FindMatch("*o*e*"), "tones");
    EXPECT_EQ(table->FindMatch("on***"), "");
    EXPECT_EQ(table->FindMatch("****"), "");
    table->ClearSlot(1);
    EXPECT_TRUE(table->GetSlots()[1]->GetWord().IsEmpty());
    EXPECT_EQ(table->GetFirstChild(), table->GetSlots()[1]);
    EXPECT_EQ(table->FindMatch("on***"), "onset");
}

TEST(CrosswordTable, SaveAndLoadGiveTheSameBoard)
{
    auto table = Table({"tones", "notes", "one", "stone"});
    ASSERT_TRUE(table->Generate());
    bool outside = false;
    ASSERT_EQ(table->Guess(UTF8String("stone"), 0, outside), CrosswordTable::kShown);
    ASSERT_EQ(table->Guess(UTF8String("one"), 2, outside), CrosswordTable::kWrongSlot);

    const auto saved = ThroughXml(table->Save());
    ASSERT_TRUE(saved);
    SmartPtr<CrosswordTable> restored(new CrosswordTable(0.0f, 0.0f));
    ASSERT_TRUE(restored->Load(saved.Get()));
    const auto& a = table->GetPlacements();
    const auto& b = restored->GetPlacements();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->word, b[i]->word);
        EXPECT_EQ(a[i]->x, b[i]->x);
        EXPECT_EQ(a[i]->y, b[i]->y);
        EXPECT_EQ(a[i]->horizontal, b[i]->horizontal);
        EXPECT_EQ(a[i]->intersections, b[i]->intersections);
        EXPECT_EQ(a[i]->Length(), restored->GetSlots()[i]->GetLength());
        EXPECT_EQ(table->GetSlots()[i]->GetWord(), restored->GetSlots()[i]->GetWord());
    }
    EXPECT_EQ(restored->GetSlots()[0]->GetWord().GetString(), "stone");
}

TEST(CrosswordTable, DamagedSavesAreRefusedWhole)
{
    auto table = Table({"tones", "notes", "stone"});
    ASSERT_TRUE(table->Generate());
    bool outside = false;
    ASSERT_EQ(table->Guess(UTF8String("stone"), 0, outside), CrosswordTable::kShown);

    using Damage = std::function<void(PropertyNode&)>;
    auto placement = [](PropertyNode& root, int i) {
        return PropertyNode::AsNode(root.GetVector("PLACEMENT_LIST")->GetItem(i));
    };
    auto set = [](PropertyNode* node, const std::string& name, const std::string& text) {
        node->RemoveChild(name);
        node->AddChild(new PropertyValue(name, "String", text));
    };
    auto crossing = [&](PropertyNode& root, int i) {
        return PropertyNode::AsNode(placement(root, i)->GetVector("INTERSECTION_LIST")->GetItem(0));
    };
    const std::vector<std::pair<const char*, Damage>> damages = {
        {"no placements", [](PropertyNode& r) { r.RemoveChild("PLACEMENT_LIST"); }},
        {"slot index past the end",
         [&](PropertyNode& r) { set(PropertyNode::AsNode(r.GetVector("ANAGRAM_LIST")->GetItem(0)), "INDEX", "3"); }},
        {"negative slot index",
         [&](PropertyNode& r) { set(PropertyNode::AsNode(r.GetVector("ANAGRAM_LIST")->GetItem(0)), "INDEX", "-1"); }},
        {"shown word of another length",
         [&](PropertyNode& r) { set(PropertyNode::AsNode(r.GetVector("ANAGRAM_LIST")->GetItem(0)), "WORD", "ston"); }},
        {"crossing word index out of range", [&](PropertyNode& r) { set(crossing(r, 1), "WORD_INDEX", "9"); }},
        {"crossing letter index out of range", [&](PropertyNode& r) { set(crossing(r, 1), "LETTER_INDEX", "5"); }},
        {"crossing on itself", [&](PropertyNode& r) { set(crossing(r, 1), "WORD_INDEX", "1"); }},
        {"crossings that do not meet", [&](PropertyNode& r) { set(placement(r, 1), "X", "2"); }},
        {"word off the grid", [&](PropertyNode& r) { set(placement(r, 0), "X", "15"); }},
        {"unreadable row", [&](PropertyNode& r) { set(placement(r, 0), "Y", "5x"); }},
        {"empty word", [&](PropertyNode& r) { set(placement(r, 0), "WORD", ""); }},
    };
    for (const auto& [what, damage] : damages) {
        SmartPtr<PropertyNode> saved(table->Save());
        damage(*saved);
        SmartPtr<CrosswordTable> restored(new CrosswordTable(0.0f, 0.0f));
        EXPECT_FALSE(restored->Load(saved.Get())) << what;
        EXPECT_TRUE(restored->GetPlacements().empty()) << what;
        EXPECT_TRUE(restored->GetSlots().empty()) << what;
    }
    SmartPtr<CrosswordTable> restored(new CrosswordTable(0.0f, 0.0f));
    EXPECT_FALSE(restored->Load(nullptr));
}

}  // namespace crossword_table_test
