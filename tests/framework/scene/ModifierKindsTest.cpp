#include <gtest/gtest.h>

#include <cmath>

#include "SpriteTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierBlink.h"
#include "framework/scene/ModifierContainer.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierRotation.h"
#include "framework/scene/ModifierVisible.h"
#include "framework/scene/Sprite.h"

namespace modifier_kinds_test {

using namespace Qmv2;
using scenetest::MakeImage;
using scenetest::NewSprite;

namespace {

// The modifier started and stepped the way the walks do.
void Step(Modifier& m, std::uint32_t dt)
{
    if ((m.GetState() & Modifier::kStarted) == 0) {
        m.Start();
    }
    m.Update(dt);
}

TEST(ModifierKindsTest, DelayFinishesOnceItsTimeIsUpAndBlocks)
{
    SmartPtr<ModifierDelay> delay(new ModifierDelay(100));
    EXPECT_EQ(delay->GetOptions() & Modifier::kOptionBlocking, Modifier::kOptionBlocking);
    Step(*delay, 60);
    EXPECT_FALSE(delay->IsFinished());
    Step(*delay, 40);
    EXPECT_TRUE(delay->IsFinished());
}

TEST(ModifierKindsTest, AlphaFadesAndStartsFromTheTargetWhenAsked)
{
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierAlpha> fade(new ModifierAlpha(200, 0.0f, 1.0f));
    fade->SetTarget(s.Get());
    Step(*fade, 50);
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.25f);
    Step(*fade, 200);
    EXPECT_TRUE(fade->IsFinished());
    EXPECT_FLOAT_EQ(s->GetColor().a, 1.0f);

    s->SetAlpha(0.5f);
    SmartPtr<ModifierAlpha> fromHere(new ModifierAlpha(100, 0.0f, 0.0f));
    fromHere->SetOptions(Modifier::kOptionStartFromTarget);
    fromHere->SetTarget(s.Get());
    Step(*fromHere, 50);
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.25f);

    SmartPtr<ModifierAlpha> relative(new ModifierAlpha(100, 0.2f, 0.4f));
    relative->SetOptions(Modifier::kOptionRelativeEnd);
    relative->SetTarget(s.Get());
    relative->Finish();
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.6f);
}

TEST(ModifierKindsTest, RotationInterpolatesTurnsAndSurvivesZeroDuration)
{
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierRotation> turn(new ModifierRotation(100, 0.0f, 2.0f));
    turn->SetTarget(s.Get());
    Step(*turn, 50);   // the first update applies the start angle
    EXPECT_FLOAT_EQ(s->GetRotation(), 0.0f);
    Step(*turn, 50);
    EXPECT_FLOAT_EQ(s->GetRotation(), 1.0f);
    Step(*turn, 50);
    EXPECT_TRUE(turn->IsFinished());
    EXPECT_FLOAT_EQ(s->GetRotation(), 2.0f);

    SmartPtr<ModifierRotation> spin(new ModifierRotation(1000, 0.5f, 1.0f));
    spin->SetContinuous(true);
    spin->SetTarget(s.Get());
    Step(*spin, 250);
    Step(*spin, 250);
    EXPECT_NEAR(s->GetRotation(), 0.5f + 6.2831855f / 4.0f, 1e-5f);
    EXPECT_FALSE(spin->IsFinished());
    spin->Finish();
    EXPECT_FLOAT_EQ(s->GetRotation(), 0.5f);

    for (bool continuous : {false, true}) {
        SmartPtr<ModifierRotation> zero(new ModifierRotation(0, 0.25f, 3.0f));
        zero->SetContinuous(continuous);
        zero->SetTarget(s.Get());
        Step(*zero, 16);
        Step(*zero, 16);
        EXPECT_TRUE(std::isfinite(s->GetRotation()));
        EXPECT_FLOAT_EQ(s->GetRotation(), continuous ? 0.25f : 3.0f);
    }
}

TEST(ModifierKindsTest, VisibleHidesShowsAndFlipsOnce)
{
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierVisible> flip(new ModifierVisible(2));
    flip->SetTarget(s.Get());
    Step(*flip, 16);
    EXPECT_TRUE(flip->IsFinished());
    EXPECT_FALSE(s->IsVisible());
    flip->Finish();   // finishing again does not flip back
    EXPECT_FALSE(s->IsVisible());
    SmartPtr<ModifierVisible> show(new ModifierVisible(1));
    show->SetTarget(s.Get());
    Step(*show, 16);
    EXPECT_TRUE(s->IsVisible());
}

TEST(ModifierKindsTest, BlinkRunsItsPhasesAndStopsAfterItsCycles)
{
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierBlink> blink(new ModifierBlink(100, 0.0f, 1.0f, 100, 50, 50));
    blink->SetCycleLimit(3);
    blink->SetTarget(s.Get());
    Step(*blink, 50);   // enters the fade-in at 0
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.0f);
    Step(*blink, 50);
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.5f);
    Step(*blink, 50);   // 100 into the cycle: holding at `to`
    EXPECT_FLOAT_EQ(s->GetColor().a, 1.0f);
    Step(*blink, 50);   // 150: fade-out starts
    EXPECT_FLOAT_EQ(s->GetColor().a, 1.0f);
    Step(*blink, 50);   // 200: half way out
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.5f);
    int updates = 0;
    while (!blink->IsFinished() && updates < 100) {
        Step(*blink, 50);
        ++updates;
    }
    EXPECT_TRUE(blink->IsFinished());
    EXPECT_EQ(blink->GetCyclesDone(), 3);
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.0f);
}

TEST(ModifierKindsTest, BlinkWithoutAnyPhaseLengthEnds)
{
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierBlink> blink(new ModifierBlink(0, 0.2f, 1.0f, 0, 0, -5));
    blink->SetCycleLimit(2);
    blink->SetTarget(s.Get());
    Step(*blink, 16);
    EXPECT_TRUE(std::isfinite(blink->GetCurrentAlpha()));
    Step(*blink, 16);
    EXPECT_TRUE(blink->IsFinished());
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.2f);
}

TEST(ModifierKindsTest, FrameRunShowsEachFrameAndFinishesOnTheLast)
{
    SmartPtr<Image> image = MakeImage(5, 4, 4);
    SmartPtr<Sprite> s(new Sprite(0.0f, 0.0f, image.Get()));
    SmartPtr<ModifierFrame> run(new ModifierFrame(1, 50, 0, 3, false, false));
    run->SetTarget(s.Get());
    std::vector<int> shown;
    for (int i = 0; i < 10 && !run->IsFinished(); ++i) {
        Step(*run, 50);
        shown.push_back(s->GetFrame());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 3}));
    EXPECT_TRUE(run->IsFinished());

    SmartPtr<ModifierFrame> bounce(new ModifierFrame(0, 10, 0, 2, false, true));
    s->SetFrame(0);
    bounce->SetTarget(s.Get());
    shown.clear();
    for (int i = 0; i < 8; ++i) {
        Step(*bounce, 10);
        shown.push_back(s->GetFrame());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 1, 0, 1, 2, 1, 0}));
    EXPECT_FALSE(bounce->IsFinished());

    for (int frameTime : {0, -20}) {
        SmartPtr<ModifierFrame> still(new ModifierFrame(1, frameTime, 2, 4, false, false));
        still->SetTarget(s.Get());
        Step(*still, 16);
        EXPECT_TRUE(still->IsFinished());
        EXPECT_EQ(s->GetFrame(), 4);   // the finish shows the end frame
    }
}


// The log texts say what each kind does after the common part of the base.
TEST(ModifierTextTest, EachKindDescribesItsOwnWork)
{
    SmartPtr<Modifier> alpha(new ModifierAlpha(200, 1.0f, 0.25f));
    EXPECT_EQ(alpha->ToString(), alpha->Modifier::ToString() + "[1.00 -> 0.25] ");
    SmartPtr<Modifier> rotation(new ModifierRotation(400, 0.0f, 1.5f));
    EXPECT_EQ(rotation->ToString(), rotation->Modifier::ToString() + "[0.00 -> 1.50] in 400ms; ");
    SmartPtr<ModifierRotation> spin(new ModifierRotation(1000, 0.0f, 1.0f));
    spin->SetContinuous(true);
    EXPECT_EQ(spin->ToString(), spin->Modifier::ToString() + "Continuously rotating in 1000ms; ");
    SmartPtr<Modifier> counted(new ModifierFrame(3, 40, 0, 5, false, false));
    EXPECT_EQ(counted->ToString(), counted->Modifier::ToString() + "[0 -> 5] x3");
    SmartPtr<Modifier> looped(new ModifierFrame(-1, 40, 2, 4, false, true));
    EXPECT_EQ(looped->ToString(), looped->Modifier::ToString() + "[2 -> 4] looped");
    const char* modes[] = {"hide", "show", "flip"};
    for (int mode = 0; mode < 3; ++mode) {
        SmartPtr<Modifier> visible(new ModifierVisible(mode));
        EXPECT_EQ(visible->ToString(), visible->Modifier::ToString() + modes[mode] + "; ");
    }
    SmartPtr<Modifier> kept(new ModifierContainer("kept", false));
    SmartPtr<Modifier> dropped(new ModifierContainer("dropped", true));
    EXPECT_EQ(kept->ToString(), kept->Modifier::ToString());
    EXPECT_EQ(dropped->ToString(), dropped->Modifier::ToString() + "Remove when empty");
    // The delay starts from the plain object text and tells its remaining time.
    SmartPtr<Modifier> delay(new ModifierDelay(300));
    delay->SetName("pause");
    EXPECT_EQ(delay->ToString(), delay->BaseObject::ToString() + "\"pause\"; for 300ms; ");
}

}  // namespace

}  // namespace modifier_kinds_test
