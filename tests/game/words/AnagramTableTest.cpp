// The answer table: which words get slots and where, how guesses fill them,
// the end-of-round reveal, the saved found words and the definition links.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/scene/AnimTree.h"
#include "game/words/AnagramTable.h"

namespace anagram_table_test {

using namespace Qmv2;

namespace {

using List = AnagramTable::WordList;

List Make(const std::vector<std::string>& words)
{
    List list;
    for (const std::string& w : words)
        list.PushBack(w);
    return list;
}

std::vector<std::string> Answers(const AnagramTable& table)
{
    return {table.GetAnswers().begin(), table.GetAnswers().end()};
}

// Slots per distinct column position, left to right.
std::vector<int> ColumnSizes(const AnagramTable& table)
{
    std::vector<std::pair<float, int>> columns;
    for (Anagram* slot : table.GetSlots()) {
        if (columns.empty() || columns.back().first != slot->GetX())
            columns.push_back({slot->GetX(), 0});
        ++columns.back().second;
    }
    std::vector<int> sizes;
    for (const auto& c : columns)
        sizes.push_back(c.second);
    return sizes;
}

// An animation tree of its own for the test, ticked by hand.
struct Animation {
    SmartPtr<AnimTree> tree{new AnimTree};
    Animation() { AnimTree::SetInstance(tree.Get()); }
    ~Animation() { AnimTree::SetInstance(nullptr); }
    void Run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            tree->Update(10);
            tree->Purge();
        }
    }
};

}  // namespace

TEST(AnagramTableTest, QuotaKeepsAbout48SlotsAndOrdersByLength)
{
    // 100 words: 40 of 5 letters, 58 of 4, one of 3 and one of 8.
    std::vector<std::string> words;
    for (int i = 0; i < 40; ++i)
        words.push_back("f" + std::string(1, 'a' + i % 26) + std::string(1, 'a' + i / 26) + "xx");
    for (int i = 0; i < 58; ++i)
        words.push_back("v" + std::string(1, 'a' + i % 26) + std::string(1, 'a' + i / 26) + "y");
    words.push_back("cat");
    words.push_back("absolute");
    words.push_back("ox"); // two letters: never a slot
    const List source = Make(words);
    SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    table->Build(&source, &source);
    std::vector<int> perLength(9, 0);
    for (const std::string& w : Answers(*table))
        ++perLength[w.size()];
    // 101 words: scale 48/101; 40 -> 19, 58 -> 27, and the single words keep one.
    EXPECT_EQ(perLength, (std::vector<int>{0, 0, 0, 1, 27, 19, 0, 0, 1}));
    const auto answers = Answers(*table);
    EXPECT_EQ(answers.front(), "cat");
    EXPECT_EQ(answers.back(), "absolute");
    EXPECT_TRUE(std::is_sorted(answers.begin(), answers.end(),
                               [](const std::string& a, const std::string& b) { return a.size() < b.size(); }));
    EXPECT_EQ(table->GetSlots().size(), answers.size());
    EXPECT_EQ(table->GetAccepted().GetCount(), source.GetCount());

    // Up to 7 letters the later source word stands first, 8-letter words keep
    // their order.
    const List small = Make({"one", "two", "three", "fours", "eightabc", "eightxyz"});
    table->Build(&small, &small);
    EXPECT_EQ(Answers(*table), (std::vector<std::string>{"two", "one", "fours", "three", "eightabc", "eightxyz"}));
}

TEST(AnagramTableTest, SlotsFillColumnsWithTheRemainderSpreadOut)
{
    SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    std::vector<std::string> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back("wo" + std::string(1, 'a' + i));
    const List tenList = Make(ten);
    table->Build(&tenList, &tenList);
    EXPECT_EQ(ColumnSizes(*table), (std::vector<int>{2, 3, 2, 3}));

    // Three words: no whole row per column, so every word opens a column and
    // even the first stands one column step (no tile image: 20 units) right.
    const List three = Make({"abc", "abd", "abe"});
    table->Build(&three, &three);
    ASSERT_EQ(table->GetSlots().size(), 3u);
    EXPECT_EQ(table->GetSlots()[0]->GetX(), 20.0f);
    EXPECT_EQ(ColumnSizes(*table), (std::vector<int>{1, 1, 1}));

    // The old slots leave the tree when a new round is built.
    Anagram* old = table->GetSlots()[0];
    SmartPtr<Anagram> keep(old);
    table->Build(&three, &three);
    EXPECT_TRUE(old->IsObsolete());
    EXPECT_NE(table->GetSlots()[0], old);
}

TEST(AnagramTableTest, GuessesFillSlotsOnceAndReportOtherWords)
{
    const List answers = Make({"ate", "eat", "tea"});
    const List accepted = Make({"ate", "eat", "tea", "eta", "tae"});
    SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    table->Build(&answers, &accepted);

    bool outside = false;
    EXPECT_EQ(table->Guess(UTF8String("tea"), outside), AnagramTable::kPlaced);
    EXPECT_FALSE(outside);
    EXPECT_EQ(table->Guess(UTF8String("tea"), outside), AnagramTable::kFoundBefore);
    EXPECT_EQ(table->Guess(UTF8String("eta"), outside), AnagramTable::kPlaced);
    EXPECT_TRUE(outside) << "a word only the second list holds is flagged";
    outside = false;
    EXPECT_EQ(table->Guess(UTF8String("ate"), outside), AnagramTable::kPlaced);
    EXPECT_EQ(table->Guess(UTF8String("tae"), outside), AnagramTable::kNoFreeSlot);
    EXPECT_TRUE(outside);
    EXPECT_EQ(table->GetFoundCount(), 3);
    EXPECT_TRUE(table->IsComplete());

    // Not a word of the round: nothing changes.
    SmartPtr<AnagramTable> other(new AnagramTable(0.0f, 0.0f));
    other->Build(&answers, &accepted);
    outside = false;
    EXPECT_EQ(other->Guess(UTF8String("tee"), outside), AnagramTable::kNotAWord);
    EXPECT_EQ(other->Guess(UTF8String("at"), outside), AnagramTable::kNotAWord);
    EXPECT_FALSE(outside);
    EXPECT_EQ(other->GetFoundCount(), 0);
    EXPECT_FALSE(other->IsShown(UTF8String("tee")));

    // The end of a round turns the missed answers over, one per empty slot.
    EXPECT_EQ(other->Guess(UTF8String("eat"), outside), AnagramTable::kPlaced);
    other->RevealAll();
    std::set<std::string> shown;
    for (Anagram* slot : other->GetSlots()) {
        shown.insert(slot->GetWord().GetString());
        EXPECT_EQ(slot->IsMissed(), slot->GetWord() != UTF8String("eat"));
    }
    EXPECT_EQ(shown, (std::set<std::string>{"ate", "eat", "tea"}));
    EXPECT_FALSE(other->HasSlotOfLength(4));
    EXPECT_TRUE(other->HasSlotOfLength(3));
}

TEST(AnagramTableTest, SavedWordsComeBackAtOnce)
{
    Animation animation;
    const List answers = Make({"ate", "eat", "tea", "seat", "east"});
    SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    table->Build(&answers, &answers);
    bool outside = false;
    ASSERT_EQ(table->Guess(UTF8String("seat"), outside), AnagramTable::kPlaced);
    ASSERT_EQ(table->Guess(UTF8String("tea"), outside), AnagramTable::kPlaced);

    // A found word turns over one tile per 100 ms.
    Anagram* seat = nullptr;
    for (Anagram* slot : table->GetSlots())
        if (slot->GetWord() == UTF8String("seat"))
            seat = slot;
    ASSERT_NE(seat, nullptr);
    animation.Run(320);
    EXPECT_TRUE(seat->GetLetter(0)->IsVisible());
    EXPECT_FALSE(seat->GetLetter(3)->IsVisible());
    animation.Run(400);
    EXPECT_TRUE(seat->GetLetter(3)->IsVisible());
    EXPECT_EQ(seat->GetLetter(0)->GetFrame(), SmallLetterFrame('s'));

    SmartPtr<PropertyVector> saved(table->Save());
    ASSERT_EQ(saved->GetCount(), 2);
    EXPECT_EQ(saved->GetItem(0)->GetName(), "ANAGRAM");

    // A damaged save: a duplicate, an empty item, a word too long for any slot.
    auto* duplicate = new PropertyNode("ANAGRAM");
    duplicate->AddChild(new PropertyValue("WORD", "String", std::string("seat")));
    saved->AddItem(duplicate);
    saved->AddItem(new PropertyNode("ANAGRAM"));
    auto* tooLong = new PropertyNode("ANAGRAM");
    tooLong->AddChild(new PropertyValue("WORD", "String", std::string("seated")));
    saved->AddItem(tooLong);

    SmartPtr<AnagramTable> restored(new AnagramTable(0.0f, 0.0f));
    restored->Build(&answers, &answers);
    EXPECT_EQ(restored->Load(saved.Get()), 2);
    EXPECT_EQ(restored->GetFoundCount(), 0) << "the scene counts restored words itself";
    EXPECT_TRUE(restored->IsShown(UTF8String("seat")));
    EXPECT_TRUE(restored->IsShown(UTF8String("tea")));
    int filled = 0;
    for (Anagram* slot : restored->GetSlots())
        filled += !slot->GetWord().IsEmpty();
    EXPECT_EQ(filled, 2);
    animation.Run(320);
    for (Anagram* slot : restored->GetSlots()) {
        if (!slot->GetWord().IsEmpty()) {
            for (int i = 0; i < slot->GetLength(); ++i) {
                EXPECT_TRUE(slot->GetLetter(i)->IsVisible()) << slot->GetWord().GetString() << " " << i;
            }
        }
    }
}

TEST(AnagramTableTest, LetterFramesAndDefinitionAddresses)
{
    EXPECT_EQ(SmallLetterFrame('a'), 1);
    EXPECT_EQ(SmallLetterFrame('Z'), 26);
    EXPECT_EQ(SmallLetterFrame('\''), 0);
    EXPECT_EQ(SmallLetterFrame(0xE9), 37); // é
    EXPECT_EQ(SmallLetterFrame(0xDF), 57); // ß
    EXPECT_EQ(SmallLetterFrame(0x4E00), 1);

    EXPECT_EQ(AnagramTable::DefinitionAddress("https://words.example/define?q=", "tea"),
              "https://words.example/define?q=tea");
    EXPECT_EQ(AnagramTable::DefinitionAddress("http://x/", "o'clock é&rm -rf"),
              "http://x/o%27clock%20%C3%A9%26rm%20-rf");
    EXPECT_EQ(AnagramTable::DefinitionAddress("file:///etc/", "passwd"), "");
    EXPECT_EQ(AnagramTable::DefinitionAddress("javascript:alert(1)//", "x"), "");
    EXPECT_EQ(AnagramTable::DefinitionAddress("", "tea"), "");
}

}  // namespace anagram_table_test
