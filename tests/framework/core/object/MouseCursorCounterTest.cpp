#include <gtest/gtest.h>

#include <memory>

#include "framework/core/object/MouseCursorCounter.h"

namespace mouse_cursor_counter_test {

namespace {

using Qmv2::MouseCursorCounter;

class MouseCursorCounterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int kind = 0; kind < MouseCursorCounter::kKindCount; ++kind) {
            ASSERT_EQ(MouseCursorCounter::GetCount(kind), 0) << "kind " << kind;
        }
    }
};

TEST_F(MouseCursorCounterTest, SetCountsOnceWhileOn)
{
    MouseCursorCounter hand(2);
    EXPECT_FALSE(hand.IsCounted());
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 0);
    hand.Set(true);
    hand.Set(true);
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 1);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 2);
    hand.Set(false);
    hand.Set(false);
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 0);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 0);
}

TEST_F(MouseCursorCounterTest, TwoCountersOfOneKindAndDestruction)
{
    auto first = std::make_unique<MouseCursorCounter>(3, true);
    MouseCursorCounter second(3);
    second.Set(true);
    EXPECT_EQ(MouseCursorCounter::GetCount(3), 2);
    first.reset();
    EXPECT_EQ(MouseCursorCounter::GetCount(3), 1);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 3);
    second.Set(false);
}

TEST_F(MouseCursorCounterTest, HighestCountedKindIsShown)
{
    MouseCursorCounter starting(5, true);
    MouseCursorCounter help(6);
    MouseCursorCounter hand(1, true);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 5);
    help.Set(true);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 6);
    help.Set(false);
    starting.Set(false);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 1);
}

TEST_F(MouseCursorCounterTest, KindsOutsideTheTableNeverCount)
{
    MouseCursorCounter below(0, true);
    MouseCursorCounter above(8, true);
    MouseCursorCounter negative(-3, true);
    EXPECT_FALSE(below.IsCounted());
    EXPECT_FALSE(above.IsCounted());
    EXPECT_FALSE(negative.IsCounted());
    EXPECT_EQ(MouseCursorCounter::GetCount(0), 0);
    EXPECT_EQ(MouseCursorCounter::GetCount(8), 0);
    EXPECT_EQ(MouseCursorCounter::GetShownKind(), 0);
}

TEST_F(MouseCursorCounterTest, CopiesKeepTheCountsBalanced)
{
    {
        MouseCursorCounter wait(4, true);
        MouseCursorCounter copy(wait);
        EXPECT_TRUE(copy.IsCounted());
        EXPECT_EQ(MouseCursorCounter::GetCount(4), 2);
        MouseCursorCounter help(6, true);
        help = wait;
        EXPECT_EQ(help.GetKind(), 4);
        EXPECT_EQ(MouseCursorCounter::GetCount(6), 0);
        EXPECT_EQ(MouseCursorCounter::GetCount(4), 3);
    }
    EXPECT_EQ(MouseCursorCounter::GetCount(4), 0);
}

}  // namespace

}  // namespace mouse_cursor_counter_test
