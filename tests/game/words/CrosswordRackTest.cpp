// The crossword rack: a fresh rack waits shuffled in its rack box; a
// restored one stands solved in its answer box in the played order, turned
// upright once for a word running down; solving keeps the typed word; the
// rack's pieces leave with it.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "game/words/CrosswordRack.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"

namespace crossword_rack_test {

using namespace Qmv2;

namespace {

std::string Text(const LetterBox& box)
{
    return box.GetAllText().GetString();
}

// Lets the balls' frame runs finish, then checks every answer ball's face.
void ExpectFaces(CrosswordRack& rack, std::int32_t frame)
{
    for (const auto& ball : rack.GetBalls()) {
        for (int step = 0; step < 20; ++step) {
            ball->TickTree(100);
        }
    }
    for (std::int32_t i = 0; i < rack.GetAnswerBox()->GetSlotCount(); ++i) {
        LetterBall* ball = rack.GetAnswerBox()->GetBall(i);
        ASSERT_NE(ball, nullptr);
        EXPECT_EQ(ball->GetFrame(), ball->GetBaseFrame() + frame);
        EXPECT_EQ(ball->GetLetterOverlay()->GetFrame(), ball->GetBaseFrame() + frame);
    }
}

}  // namespace

TEST(CrosswordRackTest, FreshRackWaitsShuffledInItsHiddenRackBox)
{
    for (int round = 0; round < 20; ++round) {
        CrosswordRack rack(nullptr, UTF8String("stared"), 5, 3, nullptr, true);
        EXPECT_FALSE(rack.solved);
        EXPECT_TRUE(rack.solvedText.IsEmpty());
        EXPECT_EQ(rack.GetIndex(), 3);
        ASSERT_EQ(rack.GetBalls().GetCount(), 6);
        LetterBox& rackBox = *rack.GetRackBox();
        LetterBox& answerBox = *rack.GetAnswerBox();
        EXPECT_EQ(rackBox.GetSlotCount(), 6);
        EXPECT_EQ(answerBox.GetSlotCount(), 5);
        EXPECT_FLOAT_EQ(rackBox.GetX(), 193.0f);
        EXPECT_FLOAT_EQ(rackBox.GetY(), 375.0f);
        EXPECT_FLOAT_EQ(answerBox.GetX(), 315.0f);
        EXPECT_FLOAT_EQ(answerBox.GetY(), 213.0f);
        EXPECT_FALSE(rackBox.IsVisible());
        EXPECT_TRUE(Text(answerBox).empty());
        // Placed from the right the balls would read "derats"; the shuffle
        // leaves neither that nor the letters themselves.
        const std::string waiting = Text(rackBox);
        EXPECT_EQ(waiting.size(), 6u);
        EXPECT_NE(waiting, "derats");
        EXPECT_NE(waiting, "stared");
        std::string sorted = waiting;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, "aderst");
    }
}

TEST(CrosswordRackTest, RestoredRackStandsSolvedInThePlayedOrder)
{
    // "x" is borne by no ball and is skipped; the second "e" is the second
    // ball with that letter.
    const UTF8String played("xtreed");
    CrosswordRack across(nullptr, UTF8String("deeters"), 5, 0, &played, true);
    EXPECT_TRUE(across.solved);
    EXPECT_EQ(across.solvedText.GetString(), "xtreed");
    EXPECT_EQ(Text(*across.GetAnswerBox()), "treed");
    // The balls left over keep their unshuffled places, filled from the right.
    EXPECT_EQ(Text(*across.GetRackBox()), "se");
    for (std::int32_t i = 0; i < 5; ++i) {
        LetterBall* ball = across.GetAnswerBox()->GetBall(i);
        ASSERT_NE(ball, nullptr);
        EXPECT_EQ(ball->GetFrame(), ball->GetBaseFrame() + CrosswordRack::kSolvedFrame);
        EXPECT_EQ(ball->GetLetterOverlay()->GetFrame(), ball->GetBaseFrame() + CrosswordRack::kSolvedFrame);
        EXPECT_EQ(ball->GetRotation(), 0.0f);
    }

    const UTF8String down("rest");
    CrosswordRack vertical(nullptr, UTF8String("stare"), 4, 1, &down, false);
    for (std::int32_t i = 0; i < 4; ++i) {
        LetterBall* ball = vertical.GetAnswerBox()->GetBall(i);
        ASSERT_NE(ball, nullptr);
        EXPECT_NEAR(ball->GetRotation(), -1.5707964f, 1e-6f) << "turned back once, not twice";
    }
    EXPECT_EQ(Text(*vertical.GetRackBox()), "a");
}

TEST(CrosswordRackTest, SolvingKeepsTheTypedWordAndReopeningDropsIt)
{
    CrosswordRack rack(nullptr, UTF8String("dates"), 4, 0, nullptr, true);
    rack.SetHint(UTF8String("sated"));
    EXPECT_EQ(rack.GetAnswerBox()->GetHintWord().GetString(), "sated");
    for (char c : std::string("eats")) {
        LetterBall* ball = rack.GetRackBox()->TakeBall(static_cast<unsigned char>(c));
        ASSERT_NE(ball, nullptr);
        ASSERT_TRUE(rack.GetAnswerBox()->PlaceBall(ball, false, -1, 1.0f));
    }
    rack.SetSolved(true);
    EXPECT_TRUE(rack.solved);
    EXPECT_EQ(rack.solvedText.GetString(), "eats");
    // The balls turn to their solved face.
    ExpectFaces(rack, CrosswordRack::kSolvedFrame);
    rack.SetSolved(false);
    EXPECT_FALSE(rack.solved);
    EXPECT_TRUE(rack.solvedText.IsEmpty());
    ExpectFaces(rack, CrosswordRack::kSettledFrame);
}

TEST(CrosswordRackTest, PiecesStayInTheTreeMarkedObsoleteWhenTheRackGoes)
{
    std::vector<SmartPtr<GameNode>> pieces;
    {
        CrosswordRack rack(nullptr, UTF8String("rates"), 5, 0, nullptr, true);
        for (const auto& ball : rack.GetBalls()) {
            pieces.emplace_back(ball.Get());
        }
        pieces.emplace_back(rack.GetRackBox());
        pieces.emplace_back(rack.GetAnswerBox());
        for (const auto& piece : pieces) {
            EXPECT_FALSE(piece->IsObsolete());
        }
    }
    ASSERT_EQ(pieces.size(), 7u);
    for (const auto& piece : pieces) {
        EXPECT_TRUE(piece->IsObsolete());
    }
}

}  // namespace crossword_rack_test
