// A saved Blitz game goes through the property file's text and back, and a
// damaged or hostile one is refused with its reason.
#include <string>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/BlitzRules.h"
#include "game/words/BlitzSave.h"

namespace blitz_save_test {

using namespace Qmv2;

namespace {

SmartPtr<PropertyStore> ThroughText(const BlitzSave& save, std::string* text = nullptr)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->AddChild(save.ToNode());
    const std::string xml = store->ToXml();
    if (text != nullptr)
        *text = xml;
    SmartPtr<PropertyStore> reread(new PropertyStore());
    EXPECT_TRUE(PropertyXmlReader::ReadInto(*reread, xml.c_str(), false)) << xml;
    return reread;
}

BlitzSave ThreeWords()
{
    BlitzSave save;
    save.round = 3;
    save.timeLeft = 41250;
    save.score = 2760;
    save.words = {{UTF8String("stead"), true}, {UTF8String("dearest"), false}, {UTF8String("steady"), false}};
    return save;
}

}  // namespace

TEST(BlitzSaveTest, AGameComesBackWordForWord)
{
    WordTree words;
    wordtest::LoadWords(words, {"stead", "sated", "steady", "dearest", "stared", "ready"});
    std::string text;
    SmartPtr<PropertyStore> store = ThroughText(ThreeWords(), &text);
    // The file holds the game under the names and kinds another reader expects.
    for (const char* part : {"<DATA id=\"GAME\" ROUND=\"3\" TIME=\"41250\" SCORE=\"2760\">",
                             "<Vector id=\"GAME_LIST\">", "<Node id=\"GAME_DATA\">",
                             "<String id=\"WORD\">dearest</String>", "<Boolean id=\"COMPLETED\">true<"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;

    BlitzSave back;
    std::string why;
    ASSERT_TRUE(BlitzSave::Read(*store->GetNode("GAME"), words, back, why)) << why;
    EXPECT_EQ(back.round, 3);
    EXPECT_EQ(back.timeLeft, 41250);
    EXPECT_EQ(back.score, 2760);
    EXPECT_EQ(BlitzRules::CountdownMark(back.timeLeft), 10000);
    ASSERT_EQ(back.words.size(), 3u);
    const BlitzSave original = ThreeWords();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.words[i].word, original.words[i].word) << i;
        EXPECT_EQ(back.words[i].completed, original.words[i].completed) << i;
    }

    // Numbers may also be written in hexadecimal, as every property file's.
    PropertyNode* game = store->GetNode("GAME");
    game->AddChild(new PropertyValue("TIME", "Integer", "#1CE8"));
    game->AddChild(new PropertyValue("SCORE", "Integer", "0x10"));
    ASSERT_TRUE(BlitzSave::Read(*game, words, back, why)) << why;
    EXPECT_EQ(back.timeLeft, 7400);
    EXPECT_EQ(BlitzRules::CountdownMark(back.timeLeft), 7000);
    EXPECT_EQ(back.score, 16);
}

TEST(BlitzSaveTest, DamagedSavesAreRefusedWithTheirReason)
{
    WordTree words;
    wordtest::LoadWords(words, {"stead", "sated", "steady", "dearest", "stared", "ready", "tea"});
    struct Case {
        const char* key;
        std::string value;
        const char* reason;
    };
    const Case cases[] = {
        {"ROUND", "", "ROUND"},        {"ROUND", "0", "ROUND"},          {"ROUND", "1000001", "ROUND"},
        {"ROUND", "2x", "not a number"}, {"ROUND", "#", "not a number"}, {"TIME", "0", "TIME"},
        {"TIME", "-20", "TIME"},       {"TIME", "80301", "TIME"},        {"TIME", "99999999999", "not a number"},
        {"SCORE", "-1", "SCORE"},      {"SCORE", "0xZZ", "not a number"},
    };
    for (const Case& c : cases) {
        SmartPtr<PropertyStore> store = ThroughText(ThreeWords());
        PropertyNode* game = store->GetNode("GAME");
        game->AddChild(new PropertyValue(c.key, "String", c.value));
        BlitzSave out;
        out.round = 77;
        std::string why;
        EXPECT_FALSE(BlitzSave::Read(*game, words, out, why)) << c.key << "=" << c.value;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.key << "=" << c.value << ": " << why;
        EXPECT_EQ(out.round, 77) << "a refused save leaves the game alone";
    }

    // Word lists: empty, too long, a word too short, unknown, or nothing left to find.
    const auto withWords = [](std::vector<BlitzSave::Word> list) {
        BlitzSave save = ThreeWords();
        save.words = std::move(list);
        return save;
    };
    struct ListCase {
        BlitzSave save;
        const char* reason;
    };
    std::vector<BlitzSave::Word> eleven(11, {UTF8String("stead"), false});
    const ListCase lists[] = {
        {withWords({}), "GAME_LIST count"},
        {withWords(eleven), "GAME_LIST count"},
        {withWords({{UTF8String("stead"), false}, {UTF8String("tea"), false}}), "word 2 length"},
        {withWords({{UTF8String("deats"), false}}), "word 1 deats is not in the word file"},
        {withWords({{UTF8String("stead"), true}, {UTF8String("ready"), true}}), "already found"},
    };
    for (const ListCase& c : lists) {
        SmartPtr<PropertyStore> store = ThroughText(c.save);
        BlitzSave out;
        std::string why;
        EXPECT_FALSE(BlitzSave::Read(*store->GetNode("GAME"), words, out, why)) << c.reason;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }

    // A list that is no vector, or items that are no nodes, read as nothing.
    SmartPtr<PropertyStore> store = ThroughText(ThreeWords());
    PropertyNode* game = store->GetNode("GAME");
    game->AddChild(new PropertyValue("GAME_LIST", "String", "stead"));
    BlitzSave out;
    std::string why;
    EXPECT_FALSE(BlitzSave::Read(*game, words, out, why));
    EXPECT_NE(why.find("GAME_LIST count 0"), std::string::npos) << why;
    auto* strange = new PropertyVector("GAME_LIST");
    strange->AddItem(new PropertyValue("GAME_DATA", "String", "stead"));
    game->AddChild(strange);
    EXPECT_FALSE(BlitzSave::Read(*game, words, out, why));
    EXPECT_NE(why.find("word 1 length 0"), std::string::npos) << why;
}

}  // namespace blitz_save_test
