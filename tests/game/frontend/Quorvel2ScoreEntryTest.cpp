#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/CoreClasses.h"
#include "framework/core/data/HighScoreTable.h"
#include "game/frontend/FrontendClasses.h"
#include "game/frontend/Quorvel2ScoreEntry.h"

namespace quorvel2_score_entry_test {

using Qmv2::HighScoreEntry;
using Qmv2::HighScoreTable;
using Qmv2::PropertyNode;
using Qmv2::SmartPtr;

namespace {

std::vector<std::string> Names(const HighScoreTable& table)
{
    std::vector<std::string> names;
    for (const SmartPtr<HighScoreEntry>& entry : table.GetEntries()) {
        names.push_back(entry->GetName());
    }
    return names;
}

// The table written into a node and made back from it, as the manager does.
SmartPtr<HighScoreTable> ThroughNode(const HighScoreTable& table)
{
    SmartPtr<PropertyNode> node(new PropertyNode("timed", "HighScoreTable"));
    table.Write(node.Get());
    return SmartPtr<HighScoreTable>(new HighScoreTable(node.Get()));
}

class ScoreEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Qmv2::RegisterCoreClasses();
        RegisterFrontendClasses();
    }
};

}  // namespace

TEST_F(ScoreEntryTest, ModeTimeAndExtraSurviveATableRoundTrip)
{
    SmartPtr<HighScoreTable> table(new HighScoreTable);
    table->AddEntry(new Quorvel2ScoreEntry("Ann & <Co>", 1500, 3, 93250, "crisscross \"7\""));
    table->AddEntry(new Quorvel2ScoreEntry("Bob", 900, 4, -5, ""));

    SmartPtr<PropertyNode> written(new PropertyNode);
    table->GetEntries()[0]->Write(written.Get());
    EXPECT_EQ(written->GetTypeWord(), "Quorvel2Score");
    std::vector<std::string> keys;
    for (const auto& child : written->GetChildren()) {
        keys.push_back(child->GetName());
        EXPECT_EQ(child->GetTypeWord(), "") << child->GetName() << " is written untyped";
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"scorevalue", "playername", "isprefilledscore", "mode", "time", "extra"}));

    SmartPtr<HighScoreTable> back = ThroughNode(*table);
    ASSERT_EQ(back->GetCount(), 2);
    ASSERT_TRUE(back->GetEntries()[0]->IsOfType(&Quorvel2ScoreEntry::s_Type));
    ASSERT_TRUE(back->GetEntries()[1]->IsOfType(&Quorvel2ScoreEntry::s_Type));
    const auto* ann = static_cast<const Quorvel2ScoreEntry*>(back->GetEntries()[0].Get());
    const auto* bob = static_cast<const Quorvel2ScoreEntry*>(back->GetEntries()[1].Get());
    EXPECT_EQ(ann->GetName(), "Ann & <Co>");
    EXPECT_EQ(ann->GetScore(), 1500);
    EXPECT_EQ(ann->GetMode(), 3);
    EXPECT_EQ(ann->GetTime(), 93250);
    EXPECT_EQ(ann->GetExtra(), "crisscross \"7\"");
    EXPECT_EQ(bob->GetMode(), 4);
    EXPECT_EQ(bob->GetTime(), -5);
    EXPECT_EQ(bob->GetExtra(), "");
}

TEST_F(ScoreEntryTest, MissingOrMistypedKeysReadAsZeroAndEmpty)
{
    SmartPtr<PropertyNode> node(new PropertyNode("", "Quorvel2Score"));
    node->AddChild(new Qmv2::PropertyValue("playername", "Dee", true));
    node->AddChild(new Qmv2::PropertyValue("scorevalue", 77));
    node->AddChild(new PropertyNode("mode", "Node"));  // a node, not a value
    node->AddChild(new Qmv2::PropertyValue("time", "soon", true));
    SmartPtr<Quorvel2ScoreEntry> entry(new Quorvel2ScoreEntry(node.Get()));
    EXPECT_EQ(entry->GetName(), "Dee");
    EXPECT_EQ(entry->GetScore(), 77);
    EXPECT_EQ(entry->GetMode(), 0);
    EXPECT_EQ(entry->GetTime(), 0);
    EXPECT_EQ(entry->GetExtra(), "");

    SmartPtr<Quorvel2ScoreEntry> fromNothing(new Quorvel2ScoreEntry(static_cast<PropertyNode*>(nullptr)));
    EXPECT_EQ(fromNothing->GetScore(), 0);
    EXPECT_EQ(fromNothing->GetExtra(), "");
}

TEST_F(ScoreEntryTest, MixedTablesOrderByScoreAloneWithTiesAboveOlderEntries)
{
    SmartPtr<HighScoreTable> table(new HighScoreTable);
    table->SetMaxEntries(4);
    table->AddEntry(new HighScoreEntry("plain 500", 500));
    table->AddEntry(new Quorvel2ScoreEntry("game 700", 700, 0, 1, ""));
    EXPECT_EQ(table->AddEntry(new Quorvel2ScoreEntry("game 500", 500, 1, 99999, "long")), 1)
        << "an equal score goes above the older entry, whatever its kind or time";
    table->AddEntry(new HighScoreEntry("plain 600", 600));
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"game 700", "plain 600", "game 500", "plain 500"}));
    EXPECT_EQ(table->AddEntry(new Quorvel2ScoreEntry("game 100", 100, 2, 0, "")), -1);

    SmartPtr<HighScoreTable> back = ThroughNode(*table);
    EXPECT_EQ(Names(*back), Names(*table)) << "the stored order is the table's order";
    EXPECT_FALSE(back->GetEntries()[1]->IsOfType(&Quorvel2ScoreEntry::s_Type));
    EXPECT_TRUE(back->GetEntries()[2]->IsOfType(&Quorvel2ScoreEntry::s_Type));
}

}  // namespace quorvel2_score_entry_test
