// Dealing a crossword round and saving it: the word count as rounds go by
// (a step of 0 or less never divides by zero), the words handed to the
// generator, the bounded deal, and a saved round that comes back whole or is
// refused whole.
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/CrisscrossRoundSave.h"
#include "game/words/CrosswordDealer.h"
#include "game/words/CrosswordTable.h"

namespace crisscross_round_test {

using namespace Qmv2;

namespace {

// "orange" makes no other word of six letters; "garden" makes three.
const std::vector<std::string> kWords = {"orange", "range", "anger", "organ", "groan", "nag", "ear", "ore",
                                         "one", "gear", "rage", "ogre", "ego", "garden", "danger", "ranged",
                                         "gander", "den", "end", "and", "era", "are", "age"};

struct Dealt {
    WordTree main;
    WordTree second;
    SmartPtr<CrosswordTable> table{new CrosswordTable(0.0f, 0.0f)};
    UTF8String source;
};

unsigned Counter()
{
    static unsigned next = 12345;
    next = next * 1103515245u + 12345u;
    return next >> 8;
}

// Deals from a draw that offers `offered` in turn, then repeats the last.
void Deal(Dealt& d, std::vector<std::string> offered, std::int32_t round = 1)
{
    wordtest::LoadWords(d.main, kWords);
    wordtest::LoadWords(d.second, kWords);
    std::size_t i = 0;
    CrosswordDealer::Sources sources;
    sources.draw = [offered, i]() mutable { return UTF8String(offered[std::min(i++, offered.size() - 1)]); };
    sources.shuffleRandom = Counter;
    sources.countRandom = Counter;
    d.source = CrosswordDealer::Deal(*d.table, d.main, d.second, sources, round, 0.5f);
}

SmartPtr<PropertyStore> ThroughText(const CrisscrossRoundSave& save)
{
    return wordtest::ThroughText(save.ToNode());
}

std::string Reversed(const std::string& s)
{
    return std::string(s.rbegin(), s.rend());
}

// The saved round of a dealt board with its first word solved.
CrisscrossRoundSave SaveOf(Dealt& d)
{
    CrisscrossRoundSave save;
    save.round = 3;
    save.time = 0;
    save.score = 250;
    save.word = d.source;
    for (const auto& p : d.table->GetPlacements()) {
        CrisscrossRoundSave::Rack rack;
        rack.source = UTF8String(p->word);
        rack.hint = UTF8String(p->word);
        rack.length = p->Length();
        rack.scored = save.racks.empty();
        rack.played = save.racks.empty() ? UTF8String(p->word) : UTF8String();
        if (save.racks.empty())
            d.table->ShowWord(0, rack.played, true);
        save.racks.push_back(rack);
    }
    save.table = d.table->Save();
    return save;
}

}  // namespace

TEST(CrosswordDealerTest, WordCountGrowsWithTheRoundsAndNeverDividesByZero)
{
    // Round 1 visits 4 to 7 entries whatever the step.
    for (float step : {0.0f, 0.5f, 3.0f, -7.0f}) {
        std::set<std::int32_t> seen;
        for (std::uint32_t r = 0; r < 64; ++r)
            seen.insert(CrosswordDealer::WordCount(1, step, r));
        EXPECT_EQ(seen, (std::set<std::int32_t>{4, 5, 6, 7})) << step;
    }
    // Round 5 at 0.5: k = 6, so 4..9; later rounds are held to 10.
    std::set<std::int32_t> round5;
    for (std::uint32_t r = 0; r < 64; ++r)
        round5.insert(CrosswordDealer::WordCount(5, 0.5f, r));
    EXPECT_EQ(round5, (std::set<std::int32_t>{4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(CrosswordDealer::WordCount(1000, 2.0f, 0xFFFFFFFFu) <= 10, true);
    // A step that drives k to 0 or below, or makes no sense, gives 4.
    for (float step : {-0.75f, -1.0f, -1.0e30f, std::numeric_limits<float>::quiet_NaN(),
                       -std::numeric_limits<float>::infinity()})
        for (std::uint32_t r : {0u, 1u, 7u, 0xFFFFFFFFu})
            EXPECT_EQ(CrosswordDealer::WordCount(9, step, r), 4) << step;
    EXPECT_LE(CrosswordDealer::WordCount(INT32_MAX, std::numeric_limits<float>::infinity(), 0xFFFFFFFFu), 10);
}

TEST(CrosswordDealerTest, VisitedSourceWordCountsAndComesLast)
{
    CrosswordTable::WordList shuffled;
    for (const char* w : {"rage", "orange", "ear", "ogre", "nag"})
        shuffled.PushBack(w);
    EXPECT_EQ(CrosswordDealer::ChooseWords(shuffled, "orange", 3),
              (std::vector<std::string>{"rage", "ear", "orange"}));
    EXPECT_EQ(CrosswordDealer::ChooseWords(shuffled, "orange", 10),
              (std::vector<std::string>{"rage", "ear", "ogre", "nag", "orange"}));
    EXPECT_EQ(CrosswordDealer::ChooseWords(shuffled, "orange", 0), (std::vector<std::string>{"orange"}));
}

TEST(CrosswordDealerTest, DealSkipsSourcesWithSeveralFullWordsAndLaysOutTheRest)
{
    Dealt d;
    Deal(d, {"garden", "danger", "orange"});
    EXPECT_EQ(d.source.GetString(), "orange");
    const auto& placements = d.table->GetPlacements();
    ASSERT_GE(placements.size(), 2u);
    EXPECT_LE(placements.size(), 8u);
    EXPECT_EQ(placements[0]->word, "orange") << "the source word stands first";
    EXPECT_EQ(d.table->words[d.table->words.GetCount() - 1], "orange");
    const std::set<std::string> accepted(d.table->accepted.begin(), d.table->accepted.end());
    for (const auto& p : placements) {
        EXPECT_TRUE(wordtest::CanMake(p->word, "orange")) << p->word;
        EXPECT_TRUE(accepted.count(p->word)) << p->word;
    }
}

TEST(CrosswordDealerTest, DealEndsWhenNoDrawMakesACrossword)
{
    // Only words with several full-length anagrams, or none in the tree.
    Dealt d;
    Deal(d, {"danger", "zzzzzz", "garden"});
    EXPECT_EQ(d.source.GetString(), "danger") << "the first word long enough";
    ASSERT_EQ(d.table->GetPlacements().size(), 1u);
    EXPECT_EQ(d.table->GetPlacements()[0]->word, "danger");
    EXPECT_EQ(d.table->accepted.GetCount() > 0, true);
}

TEST(CrisscrossRoundSaveTest, ARoundComesBackWithItsRacksAndBoard)
{
    Dealt d;
    Deal(d, {"orange"}, 3);
    const CrisscrossRoundSave save = SaveOf(d);
    SmartPtr<PropertyStore> store = ThroughText(save);

    SmartPtr<CrosswordTable> board(new CrosswordTable(0.0f, 0.0f));
    CrisscrossRoundSave back;
    std::string why;
    ASSERT_TRUE(CrisscrossRoundSave::Read(*store->GetNode("GAME"), d.main, *board, back, why)) << why;
    EXPECT_EQ(back.round, 3);
    EXPECT_EQ(back.score, 250);
    EXPECT_EQ(back.word.GetString(), "orange");
    ASSERT_EQ(back.racks.size(), save.racks.size());
    for (std::size_t i = 0; i < back.racks.size(); ++i) {
        EXPECT_EQ(back.racks[i].source, save.racks[i].source);
        EXPECT_EQ(back.racks[i].hint, save.racks[i].hint);
        EXPECT_EQ(back.racks[i].played, save.racks[i].played);
        EXPECT_EQ(back.racks[i].length, save.racks[i].length);
        EXPECT_EQ(back.racks[i].scored, save.racks[i].scored);
    }
    ASSERT_EQ(board->GetPlacements().size(), d.table->GetPlacements().size());
    for (std::size_t i = 0; i < board->GetPlacements().size(); ++i) {
        const WordPlacement& a = *board->GetPlacements()[i];
        const WordPlacement& b = *d.table->GetPlacements()[i];
        EXPECT_EQ(std::tie(a.word, a.x, a.y, a.horizontal, a.intersections),
                  std::tie(b.word, b.x, b.y, b.horizontal, b.intersections));
    }
}

TEST(CrisscrossRoundSaveTest, ADamagedSaveIsRefusedWhole)
{
    Dealt d;
    Deal(d, {"orange"});
    ASSERT_GE(d.table->GetPlacements().size(), 2u);
    const std::string good = ThroughText(SaveOf(d))->ToXml();
    const std::string second = d.table->GetPlacements()[1]->word;
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    // The solved word the board shows (its first slot), written as `to`.
    const auto shownAs = [&](const std::string& to) {
        std::string text = good;
        const std::string from = "id=\"WORD\">orange<";
        const std::size_t at = text.find(from, text.find("\"ANAGRAM\""));
        EXPECT_NE(at, std::string::npos);
        return at == std::string::npos ? text : text.replace(at, from.size(), "id=\"WORD\">" + to + "<");
    };
    std::vector<std::pair<std::string, std::string>> damaged = {
        {"round not a number", replaced("ROUND=\"3\"", "ROUND=\"3x\"")},
        {"round 0", replaced("ROUND=\"3\"", "ROUND=\"0\"")},
        {"negative score", replaced("SCORE=\"250\"", "SCORE=\"-1\"")},
        {"two full-length words", replaced("id=\"WORD\">orange<", "id=\"WORD\">garden<")},
        {"a rack too many", replaced("<Vector id=\"CROSS_LIST\">",
                                     "<Vector id=\"CROSS_LIST\"><Node id=\"CROSS_INFO\"><String id=\"SOURCE\">ear</String>"
                                     "<String id=\"HINT\">ear</String><Integer id=\"LENGTH\" value=\"3\" /></Node>")},
        {"no placements", replaced("<Vector id=\"PLACEMENT_LIST\">", "<Vector id=\"PLACEMENT_LIST_GONE\">")},
        {"length off", replaced("LENGTH=\"6\"", "LENGTH=\"7\"")},
        {"word in play off the board", replaced("CURRENT=\"0\"", "CURRENT=\"9\"")},
        {"played with foreign letters", replaced("id=\"PLAYED\">orange<", "id=\"PLAYED\">orangx<")},
        {"crossing letter out of range", replaced("\"LETTER_INDEX\">", "\"LETTER_INDEX\">9")},
        {"crossing word out of range", replaced("\"WORD_INDEX\">", "\"WORD_INDEX\">4")},
        {"hint not the board's word", replaced("id=\"HINT\">" + second + "<", "id=\"HINT\">" + Reversed(second) + "<")},
        // A save must come back from the file the game writes again, which
        // cannot hold a control character.
        {"shown word with a control character", shownAs("orang\x0e")},
        {"shown word of foreign letters", shownAs("orangx")},
    };
    damaged.insert(damaged.begin(), {"", good});
    for (const auto& [what, text] : damaged) {
        SmartPtr<PropertyStore> store(new PropertyStore());
        ASSERT_TRUE(PropertyXmlReader::ReadInto(*store, text.c_str(), false)) << what;
        SmartPtr<CrosswordTable> board(new CrosswordTable(0.0f, 0.0f));
        CrisscrossRoundSave back;
        std::string why;
        // The first text is the sound one, which must pass.
        EXPECT_EQ(CrisscrossRoundSave::Read(*store->GetNode("GAME"), d.main, *board, back, why), what.empty())
            << what;
        EXPECT_EQ(why.empty(), what.empty()) << what << ": " << why;
        // A refused save leaves no board behind.
        EXPECT_EQ(board->GetPlacements().empty(), !what.empty()) << what;
    }
}

}  // namespace crisscross_round_test
