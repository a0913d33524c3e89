// A saved classic round goes through the property file's text and back, and
// a damaged or hostile one is refused with its reason.
#include <string>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/AnagramTable.h"
#include "game/words/ClassicRoundSave.h"

namespace classic_round_save_test {

using namespace Qmv2;

namespace {

// The "GAME" node after writing `save` as text and reading it back.
SmartPtr<PropertyStore> ThroughText(const ClassicRoundSave& save)
{
    return wordtest::ThroughText(save.ToNode());
}

}  // namespace

TEST(ClassicRoundSaveTest, ARoundComesBackWithItsFoundWords)
{
    WordTree words;
    wordtest::LoadWords(words, {"ate", "eat", "tea", "seat", "east", "teas", "sated", "stead", "ass"});
    AnagramTable::WordList answers;
    for (const char* w : {"ate", "eat", "tea", "seat", "east", "teas", "sated", "stead"})
        answers.PushBack(w);
    SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    table->Build(&answers, &answers);
    bool outside = false;
    table->Guess(UTF8String("tea"), outside);
    table->Guess(UTF8String("stead"), outside);

    ClassicRoundSave save;
    save.word = UTF8String("stead");
    save.round = 4;
    save.timeLeft = 7400;
    save.longestWord = true;
    save.score = 1340;
    save.day = 6670;
    save.passCount = 1;
    save.foundWords = table->Save();
    SmartPtr<PropertyStore> store = ThroughText(save);

    ClassicRoundSave back;
    std::string why;
    ASSERT_TRUE(ClassicRoundSave::Read(*store->GetNode("GAME"), words, false, back, why)) << why;
    EXPECT_EQ(back.word, UTF8String("stead"));
    EXPECT_EQ(back.round, 4);
    EXPECT_EQ(back.timeLeft, 7400);
    EXPECT_TRUE(back.longestWord);
    EXPECT_EQ(back.score, 1340);
    EXPECT_EQ(back.day, 6670);
    EXPECT_EQ(back.passCount, 1);
    EXPECT_EQ(back.CountdownMark(), 7000);

    SmartPtr<AnagramTable> restored(new AnagramTable(0.0f, 0.0f));
    restored->Build(&answers, &answers);
    EXPECT_EQ(restored->Load(back.foundWords.Get()), 2);
    EXPECT_TRUE(restored->IsShown(UTF8String("tea")));
    EXPECT_TRUE(restored->IsShown(UTF8String("stead")));
}

TEST(ClassicRoundSaveTest, DamagedSavesAreRefusedWithTheirReason)
{
    WordTree words;
    wordtest::LoadWords(words, {"stead", "sated", "steady"});
    struct Case {
        const char* key;
        std::string value;
        bool untimed;
        const char* reason;
    };
    const Case cases[] = {
        {"WORD", "tea", false, "WORD length"},
        {"WORD", "deats", false, "not in the word file"},
        {"WORD", "", false, "WORD length"},
        {"TIME", "120001", false, "TIME"},
        {"TIME", "-1", false, "TIME"},
        {"TIME", "12x", false, "not a number"},
        {"TIME", "99999999999", false, "not a number"},
        {"ROUND", "0", false, "ROUND"},
        {"ROUND", "", false, "ROUND"},
        {"FAILCOUNT", "3", false, "FAILCOUNT"},
        {"FAILCOUNT", "-1", false, "FAILCOUNT"},
        {"SCORE", "-5", false, "SCORE"},
    };
    for (const Case& c : cases) {
        ClassicRoundSave save;
        save.word = UTF8String("stead");
        save.round = 2;
        save.timeLeft = 60000;
        SmartPtr<PropertyStore> store = ThroughText(save);
        PropertyNode* game = store->GetNode("GAME");
        game->AddChild(new PropertyValue(c.key, "String", c.value));
        ClassicRoundSave out;
        out.round = 77;
        std::string why;
        EXPECT_FALSE(ClassicRoundSave::Read(*game, words, c.untimed, out, why)) << c.key << "=" << c.value;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.key << "=" << c.value << ": " << why;
        EXPECT_EQ(out.round, 77) << "a refused save leaves the round alone";
    }

    // Six letters are fine, and an untimed round's clock may run below 0.
    ClassicRoundSave save;
    save.word = UTF8String("steady");
    save.timeLeft = -4500;
    SmartPtr<PropertyStore> store = ThroughText(save);
    ClassicRoundSave out;
    std::string why;
    EXPECT_TRUE(ClassicRoundSave::Read(*store->GetNode("GAME"), words, true, out, why)) << why;
    EXPECT_EQ(out.timeLeft, -4500);
    EXPECT_EQ(out.CountdownMark(), 0);
    EXPECT_FALSE(ClassicRoundSave::Read(*store->GetNode("GAME"), words, false, out, why));
}

}  // namespace classic_round_save_test
