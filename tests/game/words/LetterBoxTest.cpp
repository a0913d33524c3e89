// Letter boxes and the classic rack: where balls go, how they come out, the
// typed word, the shuffle (which always ends) and the hint letters.
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameNode.h"
#include "game/words/ClassicRack.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"

namespace letter_box_test {

using namespace Qmv2;

namespace {

// A box holding one ball per letter of `word`, placed one after another.
SmartPtr<LetterBox> Filled(const std::string& word, std::int32_t slots, bool fromRight)
{
    SmartPtr<LetterBox> box(new LetterBox(nullptr, slots, false, fromRight));
    for (char c : word)
        EXPECT_TRUE(box->PlaceBall(new LetterBall(static_cast<unsigned char>(c), false), false, -1, 1.0f));
    return box;
}

std::string Text(const LetterBox& box)
{
    return box.GetAllText().GetString();
}

}  // namespace

TEST(LetterBoxTest, BallsGoInAndComeOut)
{
    SmartPtr<LetterBox> rack = Filled("abcdefg", 7, true);
    EXPECT_EQ(Text(*rack), "gfedcba") << "filling from the right puts the first ball last";
    EXPECT_EQ(rack->GetBall(6)->GetLetter(), 'a');
    EXPECT_EQ(rack->GetBall(6)->GetX(), 6 * 69 + 34.5f);
    SmartPtr<LetterBall> spare(new LetterBall('x', false));
    EXPECT_FALSE(rack->PlaceBall(spare.Get(), false, -1, 1.0f)) << "no slot is free";

    // Letters are taken in either case, the first in slot order.
    LetterBall* d = rack->TakeBall('D');
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetLetter(), 'd');
    EXPECT_EQ(rack->TakeBall('d'), nullptr);
    EXPECT_EQ(rack->GetText().GetString(), "gfe") << "the text stops at the first empty slot";
    EXPECT_EQ(Text(*rack), "gfecba");

    // The typed word: explicit placements stay put when the last ball goes
    // back, unless forced.
    SmartPtr<LetterBox> typed(new LetterBox(nullptr, 5, false, false));
    SmartPtr<LetterBall> t(new LetterBall('t', false));
    SmartPtr<LetterBall> e(new LetterBall('e', false));
    SmartPtr<LetterBall> a(new LetterBall('a', false));
    ASSERT_TRUE(typed->PlaceBall(t.Get(), false, -1, 1.0f));
    ASSERT_TRUE(typed->PlaceBall(e.Get(), false, -1, 1.0f));
    ASSERT_TRUE(typed->PlaceBall(a.Get(), false, 4, 1.0f));
    EXPECT_FALSE(typed->PlaceBall(spare.Get(), false, 4, 1.0f)) << "a taken slot";
    EXPECT_FALSE(typed->PlaceBall(spare.Get(), false, 5, 1.0f)) << "no such slot";
    UTF8String pattern;
    EXPECT_TRUE(typed->GetPattern(pattern));
    EXPECT_EQ(pattern.GetString(), "****a");
    EXPECT_EQ(typed->GetText().GetString(), "te");
    EXPECT_EQ(typed->TakeLastBall(false), e.Get());
    EXPECT_EQ(typed->TakeLastBall(false), t.Get());
    EXPECT_EQ(typed->TakeLastBall(false), nullptr);
    EXPECT_EQ(typed->TakeLastBall(true), a.Get());
    EXPECT_FALSE(a->IsPlacedExplicitly());
    EXPECT_FALSE(typed->GetPattern(pattern));
}

// A ball sent back before its first move has landed (a word typed and
// submitted at once) lands in the box it was sent back to, at its slot.
TEST(LetterBoxTest, ABallSentBackMidMoveLandsInItsNewBox)
{
    AnimTree::SetInstance(new AnimTree());
    SmartPtr<LetterBox> rack = Filled("ab", 2, false);
    SmartPtr<LetterBox> answer(new LetterBox(nullptr, 2, false, false));
    answer->SetPosition(0.0f, -82.0f);
    LetterBall* a = rack->TakeBall('a');
    ASSERT_TRUE(answer->PlaceBall(a, true, -1, 1.0f));
    AnimTree::GetInstance()->Update(50);
    ASSERT_EQ(a->GetParent(), rack.Get()) << "still on its way";
    ASSERT_EQ(answer->TakeLastBall(false), a);
    ASSERT_TRUE(rack->PlaceBall(a, true, -1, 1.0f));
    for (int i = 0; i < 10; ++i) {
        AnimTree::GetInstance()->Update(50);
    }
    EXPECT_EQ(a->GetParent(), rack.Get());
    EXPECT_EQ(a->GetX(), LetterBox::SlotCentre(0));
    EXPECT_EQ(a->GetY(), LetterBox::kSlotCentre);
    AnimTree::ReleaseInstance();
}

// A ball that shows its letter keeps showing it on its way to the typed word
// and on its way back to the rack, and flies above both rows' slots: no
// blank or hidden ball flies between them. The rack is drawn after the typed
// word, as in the classic scene, so a ball flies as the rack's child.
TEST(LetterBoxTest, ABallKeepsItsLetterAndStaysInSightOnTheWayThereAndBack)
{
    AnimTree::SetInstance(new AnimTree());
    SmartPtr<GameNode> scene(new GameNode("scene"));
    SmartPtr<LetterBox> answer(new LetterBox(nullptr, 2, false, false));
    SmartPtr<LetterBox> rack = Filled("ab", 2, false);
    scene->AddChild(answer.Get());
    scene->AddChild(rack.Get());
    answer->SetPosition(0.0f, -82.0f);
    EXPECT_TRUE(rack->DrawnAfter(answer.Get()));
    EXPECT_FALSE(answer->DrawnAfter(rack.Get()));
    LetterBall* a = rack->TakeBall('a');
    a->ShowOverlay();   // rolled in
    for (LetterBox* to : {answer.Get(), rack.Get()}) {
        if (to == rack.Get()) {
            ASSERT_EQ(answer->TakeLastBall(false), a);
        }
        const float fromY = a->GetGlobalMatrix(nullptr, false).Map(a->GetPosition()).y;
        ASSERT_TRUE(to->PlaceBall(a, true, -1, 1.0f));
        EXPECT_FLOAT_EQ(a->GetGlobalMatrix(nullptr, false).Map(a->GetPosition()).y, fromY) << "no jump";
        for (int i = 0; i < 6; ++i) {
            EXPECT_TRUE(a->GetLetterOverlay()->IsVisible()) << "after " << i * 50 << " ms";
            if (i > 0 && i < 4) {
                EXPECT_EQ(a->GetParent(), rack.Get()) << "in flight after " << i * 50 << " ms, drawn last";
            }
            AnimTree::GetInstance()->Update(50);
        }
        EXPECT_EQ(a->GetParent(), to);
        EXPECT_EQ(a->GetX(), LetterBox::SlotCentre(0));
        EXPECT_TRUE(a->GetLetterOverlay()->IsVisible());
    }
    AnimTree::ReleaseInstance();
}

TEST(LetterBoxTest, ShufflesChangeTheOrderAndAlwaysEnd)
{
    SmartPtr<LetterBox> same = Filled("aa", 2, false);
    same->Mivel(UTF8String(""), false);
    EXPECT_EQ(Text(*same), "aa");
    SmartPtr<LetterBox> single = Filled("q", 3, false);
    single->Mivel(UTF8String(""), false);
    EXPECT_EQ(Text(*single), "q");

    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::srand(seed);
        SmartPtr<LetterBox> two = Filled("ab", 2, false);
        two->Mivel(UTF8String("xy"), false);
        EXPECT_EQ(Text(*two), "ba");
        // Every other order of a two-letter word is the word itself: the
        // shuffle must still end, with the only different order.
        SmartPtr<LetterBox> stuck = Filled("ab", 2, false);
        stuck->Mivel(UTF8String("ba"), false);
        EXPECT_EQ(Text(*stuck), "ba");

        SmartPtr<LetterBox> rack = Filled("trace", 6, true);
        const std::string before = Text(*rack);
        rack->Mivel(UTF8String("crate"), false);
        const std::string after = Text(*rack);
        EXPECT_NE(after, before);
        EXPECT_NE(after, "crate");
        EXPECT_EQ(std::multiset<char>(after.begin(), after.end()), std::multiset<char>(before.begin(), before.end()));
        for (std::int32_t i = 0; i < 6; ++i) {
            if (LetterBall* ball = rack->GetBall(i)) {
                EXPECT_EQ(ball->GetX(), LetterBox::SlotCentre(i)) << "balls stand at their new slots";
            }
        }
    }
}

TEST(LetterBoxTest, HintLettersShowOneByOne)
{
    SmartPtr<LetterBox> box(new LetterBox(nullptr, 3, false, false));
    box->SetHintWord(UTF8String("cab"));
    std::uint32_t letter = 0;
    EXPECT_FALSE(box->GetNextHintLetter(letter));
    EXPECT_EQ(box->ShowHint(), 0);
    EXPECT_TRUE(box->GetNextHintLetter(letter));
    EXPECT_EQ(letter, 'c');
    ASSERT_TRUE(box->PlaceBall(new LetterBall('c', false), false, -1, 1.0f));
    EXPECT_FALSE(box->GetNextHintLetter(letter)) << "the next empty slot shows no hint yet";
    EXPECT_EQ(box->ShowHint(), 1);
    EXPECT_EQ(box->ShowHint(), 2);
    EXPECT_EQ(box->ShowHint(), -1);
    EXPECT_EQ(box->ShowHintAt(3), -1);
    // Without a sheet every frame is held to frame 0.
    EXPECT_EQ(box->GetHintLetter(1)->GetFrame(), 0);
    EXPECT_EQ(box->GetHighlight()->GetFrame(), 0);

    EXPECT_TRUE(box->ContainsPoint(0.0f, 0.0f));
    EXPECT_TRUE(box->ContainsPoint(207.0f, 68.9f));
    EXPECT_FALSE(box->ContainsPoint(207.1f, 10.0f));
    EXPECT_FALSE(box->ContainsPoint(10.0f, 69.0f));
}

TEST(ClassicRackTest, BuildsTheRowsAroundTheCentre)
{
    AnagramTable::WordList answers;
    for (const char* w : {"eat", "tea", "ate", "seat", "teas", "eats", "sate"})
        answers.PushBack(w);
    std::vector<LetterBox*> boxes;
    std::vector<LetterBall*> balls;
    AnagramTable* table = nullptr;
    {
        ClassicRack rack(nullptr, UTF8String("sateen"), &answers, &answers, 0, false, false);
        ASSERT_EQ(rack.GetBalls().GetCount(), 6);
        for (LetterBox* box : {rack.GetAnswerBox(), rack.GetRackBox()}) {
            EXPECT_EQ(box->GetSlotCount(), 6);
            EXPECT_EQ(box->GetX(), 193.0f);
            EXPECT_EQ(box->GetWidth(), 414.0f);
            boxes.push_back(box);
            box->AddRef();
        }
        EXPECT_EQ(rack.GetAnswerBox()->GetY(), 213.0f);
        EXPECT_EQ(rack.GetRackBox()->GetY(), 295.0f);
        EXPECT_EQ(rack.GetRackBox()->GetAllText().GetString(), "neetas") << "reversed before the shuffle";
        EXPECT_TRUE(rack.GetAnswerBox()->GetAllText().IsEmpty());
        EXPECT_EQ(rack.GetTable()->GetSlots().size(), 7u);
        EXPECT_EQ(rack.GetTable()->GetY(), 15.0f);
        table = rack.GetTable();
        table->AddRef();
        for (const auto& ball : rack.GetBalls()) {
            balls.push_back(ball.Get());
            ball->AddRef();
        }
    }
    // The rack's pieces leave the scene with it.
    EXPECT_TRUE(table->IsObsolete());
    table->Release();
    for (LetterBox* box : boxes) {
        EXPECT_TRUE(box->IsObsolete());
        box->Release();
    }
    for (LetterBall* ball : balls) {
        EXPECT_TRUE(ball->IsObsolete());
        ball->Release();
    }
}

}  // namespace letter_box_test
