#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/Sprite.h"
#include "game/words/LetterBall.h"
#include "game/words/ModifierLetterballContainer.h"
#include "game/words/ModifierSimpleAlpha.h"

namespace letter_ball_test {

using namespace Qmv2;

namespace {

struct Log {
    std::vector<std::string> calls;
    void A() { calls.push_back("A"); }
    void B() { calls.push_back("B"); }
    void C() { calls.push_back("C"); }
    void D() { calls.push_back("D"); }
};

Modifier* Under(Modifier* parent, Modifier* child)
{
    return Modifier::AttachTo(child, parent);
}

void Tick(GameNode& node, int times, std::int32_t dt)
{
    for (int i = 0; i < times; ++i) {
        node.TickTree(dt);
    }
}

}  // namespace

TEST(LetterBallTest, LettersPickTheirFramesInBothSheets)
{
    struct Case {
        std::uint32_t letter;
        std::int32_t index;
    };
    for (const Case c : {Case{'e', 4}, Case{'E', 4}, Case{'z', 25}, Case{201, 36}, Case{233, 36}, Case{217, 50},
                         Case{253, 54}, Case{223, 56}, Case{140, 56}, Case{216, 0}, Case{'1', 0}, Case{0x4E00, 0}}) {
        EXPECT_EQ(LetterIndex(c.letter), c.index) << c.letter;
    }
    SmartPtr<LetterBall> e(new LetterBall('e', true));
    EXPECT_EQ(e->GetFrame(), 68);
    EXPECT_EQ(e->GetLetterOverlay()->GetFrame(), 79);
    EXPECT_FALSE(e->GetLetterOverlay()->IsVisible());
    EXPECT_FALSE(e->GetSheen()->IsVisible());
    SmartPtr<LetterBall> accented(new LetterBall(201, false));
    EXPECT_EQ(accented->GetFrame(), 612);
}

TEST(LetterBallTest, SelectingTurnsFiveFramesAndBack)
{
    SmartPtr<LetterBall> ball(new LetterBall('b', false));
    ball->SetFrame(ball->GetBaseFrame() + 11);
    ball->SetSelected(true);
    Tick(*ball, 3, 60);
    EXPECT_EQ(ball->GetFrame(), 17 + 11 + 3);   // midway through the turn
    Tick(*ball, 4, 60);
    EXPECT_EQ(ball->GetFrame(), 17 + 16);
    EXPECT_EQ(ball->GetLetterOverlay()->GetFrame(), 17 + 16);
    ball->SetSelected(false);
    Tick(*ball, 7, 60);
    EXPECT_EQ(ball->GetFrame(), 17 + 11);
    EXPECT_EQ(ball->GetLetterOverlay()->GetFrame(), 17 + 11);
    EXPECT_TRUE(ball->GetModifiers().empty());
}

TEST(LetterBallTest, LoadAnimationWaitsThenRollsInTwelveFrames)
{
    SmartPtr<LetterBall> ball(new LetterBall('c', true));
    ball->PlayLoadAnimation(120, false);
    Tick(*ball, 1, 60);
    EXPECT_EQ(ball->GetFrame(), 34);    // still waiting
    Tick(*ball, 20, 60);
    EXPECT_EQ(ball->GetFrame(), 34 + 11);
    EXPECT_TRUE(ball->GetModifiers().empty());
}

// Callbacks that hang under the first of two side-by-side steps must run too:
// the walk covers the whole group, each step before what waits under it.
TEST(LetterBallTest, FinishingTheGroupCompletesEveryStepInTreeOrder)
{
    Log log;
    SmartPtr<AnimTree> tree(new AnimTree());
    auto* group = new ModifierLetterballContainer("LB_ANIM");
    EXPECT_TRUE(group->GetRemoveWhenEmpty());
    Under(tree.Get(), group);
    Modifier* a = Under(group, new ModifierMethod<Log>(&log, &Log::A));
    Under(Under(a, new ModifierMethod<Log>(&log, &Log::B)), new ModifierMethod<Log>(&log, &Log::C));
    Modifier* d = Under(group, new ModifierMethod<Log>(&log, &Log::D));
    Under(d, new ModifierMethod<Log>(&log, &Log::A))->SetCancelled(true);
    group->Finish();
    EXPECT_EQ(log.calls, (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_TRUE(group->GetState() & Modifier::kFinished);
    // Nothing runs twice once the tree moves on.
    tree->Update(16);
    tree->Purge();
    EXPECT_EQ(log.calls.size(), 4u);
    EXPECT_EQ(tree->GetFirstChild(), nullptr);
}

TEST(LetterBallTest, MovesIntoANewParentAndStaysOnScreen)
{
    SmartPtr<AnimTree> tree(new AnimTree());
    SmartPtr<GameNode> root(new GameNode("root"));
    auto* rack = new GameNode("rack");
    auto* box = new GameNode("box");
    root->AddChild(rack);
    root->AddChild(box);
    rack->SetPosition(100.0f, 50.0f);
    box->SetPosition(300.0f, 400.0f);
    auto* ball = new LetterBall('q', true);
    rack->AddChild(ball);
    ball->SetPosition(10.0f, 20.0f);

    // A move without a new parent, cut short by the next move.
    ball->MoveTo(tree.Get(), 60.0f, 20.0f, nullptr, 1.0f);
    tree->Update(50);
    EXPECT_GT(ball->GetX(), 10.0f);
    EXPECT_LT(ball->GetX(), 60.0f);
    ball->MoveTo(tree.Get(), 340.0f, 420.0f, box, 0.5f);
    EXPECT_FLOAT_EQ(ball->GetX(), 60.0f);    // the first move jumped to its end
    EXPECT_TRUE(ball->GetLetterOverlay()->IsVisible());
    ASSERT_NE(ball->GetMove(), nullptr);
    EXPECT_EQ(ball->GetMove()->GetName(), "LB_ANIM");
    ball->GetLetterOverlay()->SetVisible(false);
    tree->Update(100);
    EXPECT_LT(ball->GetScaleX(), 1.0f);
    EXPECT_GT(ball->GetScaleX(), 0.5f);
    EXPECT_EQ(ball->GetParent(), rack);

    // Finished early, the move still lands the ball in the box, where it
    // shows at full size at the same place on screen, letter showing.
    ball->FinishMove();
    EXPECT_EQ(ball->GetParent(), box);
    EXPECT_FLOAT_EQ(ball->GetX(), 140.0f);
    EXPECT_FLOAT_EQ(ball->GetY(), 70.0f);
    EXPECT_FLOAT_EQ(ball->GetScaleX(), 1.0f);
    EXPECT_TRUE(ball->GetLetterOverlay()->IsVisible());
    EXPECT_EQ(ball->GetMove(), nullptr);
    EXPECT_EQ(rack->GetFirstChild(), nullptr);
    tree->Update(16);
    tree->Purge();
    EXPECT_EQ(tree->GetFirstChild(), nullptr);
    EXPECT_EQ(box->GetFirstChild(), ball);

    // A ball that goes while it moves takes its callbacks with it.
    ball->MoveTo(tree.Get(), 0.0f, 0.0f, rack, 1.0f);
    ball->SetObsolete(true);
    root->PurgeTree();
    tree->Update(1000);
    tree->Purge();
    EXPECT_EQ(rack->GetFirstChild(), nullptr);
    EXPECT_EQ(box->GetFirstChild(), nullptr);
}

TEST(LetterBallTest, SubtreeFadeCapsHintLettersAndSkipsSettledSubtrees)
{
    SmartPtr<Sprite> panel(new Sprite(0.0f, 0.0f, 10.0f, 10.0f));
    auto* hint = new Sprite(0.0f, 0.0f, 10.0f, 10.0f);
    hint->SetName("HINT_LETTER");
    auto* underHint = new Sprite(0.0f, 0.0f, 10.0f, 10.0f);
    auto* group = new GameNode("group");   // no alpha of its own
    auto* leaf = new Sprite(0.0f, 0.0f, 10.0f, 10.0f);
    panel->AddChild(hint);
    hint->AddChild(underHint);
    panel->AddChild(group);
    group->AddChild(leaf);
    for (Sprite* s : {panel.Get(), hint, underHint, leaf}) {
        s->SetAlpha(0.0f);
    }

    SmartPtr<ModifierSimpleAlpha> fade(new ModifierSimpleAlpha(0.0f, 1.0f));
    EXPECT_TRUE(fade->IsOfType(&Modifier::s_Type));
    fade->SetTarget(panel.Get());
    fade->SetTarget(nullptr);    // keeps the panel
    ASSERT_EQ(fade->GetTarget(), panel.Get());
    fade->Update(100);
    EXPECT_NEAR(panel->GetColor().a, 0.25f, 0.01f);
    EXPECT_NEAR(leaf->GetColor().a, 0.25f, 0.01f);
    fade->Update(300);
    EXPECT_TRUE(fade->IsFinished());
    EXPECT_FLOAT_EQ(panel->GetColor().a, 1.0f);
    EXPECT_FLOAT_EQ(leaf->GetColor().a, 1.0f);
    EXPECT_NEAR(hint->GetColor().a, ModifierSimpleAlpha::kHintLetterAlpha, 1e-6);
    EXPECT_NEAR(underHint->GetColor().a, ModifierSimpleAlpha::kHintLetterAlpha, 1e-6);
    EXPECT_NE(fade->ToString().find("0.00 -> 1.00"), std::string::npos);

    // A root already at the alpha keeps its subtree as it is.
    leaf->SetAlpha(0.5f);
    ModifierSimpleAlpha::ApplyAlpha(panel.Get(), 1.0f);
    EXPECT_FLOAT_EQ(leaf->GetColor().a, 0.5f);
}

}  // namespace letter_ball_test
