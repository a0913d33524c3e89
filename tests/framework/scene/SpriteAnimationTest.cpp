// Style-table animation driven by a script file, checked frame by frame.
#include <gtest/gtest.h>

#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Label.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/SpriteAnimation.h"
#include "tests/framework/core/script/ScriptFixture.h"
#include "tests/framework/scene/LabelTestSupport.h"

namespace sprite_animation_test {

using Qmv2::AnimTree;
using Qmv2::Label;
using Qmv2::SmartPtr;
using Qmv2::Sprite;

namespace {

class SpriteAnimationTest : public QmvTest::ScriptFixture {
protected:
    void SetUp() override
    {
        ScriptFixture::SetUp();
        WriteScript("GameNode.lua", "qmv = qmv or {}\nqmv.GameNode = {}\n");
        WriteScript("Sprite.lua", "qmv.Sprite = {}\n");
        WriteScript("Label.lua", "qmv.Label = {}\n");
        StartInterpreter();
        AnimTree::SetInstance(new AnimTree());
        stage = new Sprite(0.0f, 0.0f, 800.0f, 600.0f);
        Publish("stage", *stage);
    }
    void TearDown() override
    {
        Qmv2::SpriteAnimation::SetLastStep(nullptr);
        stage = nullptr;
        AnimTree::ReleaseInstance();
        ScriptFixture::TearDown();
    }
    void Tick(int ms)
    {
        for (int t = 0; t < ms; t += 50) {
            AnimTree::GetInstance()->Update(50);
        }
    }
    Sprite* Named(const char* name) const { return static_cast<Sprite*>(stage->FindChild(name, false)); }

    SmartPtr<Sprite> stage;
};

TEST_F(SpriteAnimationTest, AScriptedSceneRunsItsStepsWithTheWorkedTimings)
{
    WriteScript("scene.lua",
                "local ball = stage:newChildSprite{ name = 'ball', x = 100, y = 40 }\n"
                "local box = stage:newChildSprite{ name = 'box', x = 0, y = 0 }\n"
                "stage:beginAnimation()\n"
                "ball:addSequentialAnimation{ x = 10, duration = 300 }\n"
                "ball:addSequentialAnimation{ dx = 10, y = 50, rotation = 90, duration = 0 }\n"
                "ball:addSequentialAnimation{ color = { red = 0 }, x = 20, delay = 400, duration = 100 }\n"
                "stage:beginSimultaneousAnimation()\n"
                "ball:addSequentialAnimation{ y = 0, duration = 300 }\n"
                "box:addSequentialAnimation{ x = 80, duration = 800 }\n"
                "stage:endSimultaneousAnimation()\n"
                "box:addSequentialAnimation{ alpha = 0, duration = 200 }\n");
    ASSERT_EQ(Eval("dofile('script/scene.lua') return 'built'"), "built");
    Sprite* ball = Named("ball");
    Sprite* box = Named("box");
    ASSERT_NE(ball, nullptr);
    ASSERT_NE(box, nullptr);

    // A chained step starts in the tick in which the one it waits for ends,
    // so the step of duration 0 and the step after it run at 300 ms.
    // { x = 10 } over 300 ms, linearly, y kept.
    Tick(150);
    EXPECT_NEAR(ball->GetX(), 55.0f, 0.01f);
    EXPECT_FLOAT_EQ(ball->GetY(), 40.0f);
    Tick(100);
    EXPECT_NEAR(ball->GetX(), 25.0f, 0.01f);
    EXPECT_FLOAT_EQ(ball->GetRotation(), 0.0f);
    // { dx = 10, y = 50 }: by (10, 0), the y overridden by the relative form;
    // the rotation and the colour apply at their turn.
    Tick(50);
    EXPECT_NEAR(ball->GetX(), 20.0f, 0.01f);
    EXPECT_FLOAT_EQ(ball->GetY(), 40.0f);
    EXPECT_NEAR(ball->GetRotation(), 1.5707963f, 1e-5f);
    EXPECT_FLOAT_EQ(ball->GetColor().r, 0.0f);
    EXPECT_FLOAT_EQ(ball->GetColor().g, 1.0f);
    // The next step waits for the delay (the last modifier made), not for
    // the 100 ms move: the group starts when the 400 ms have run.
    Tick(300);
    EXPECT_FLOAT_EQ(ball->GetY(), 40.0f);
    Tick(150);
    EXPECT_NEAR(ball->GetY(), 20.0f, 0.01f) << "half-way through its 300 ms";
    EXPECT_NEAR(box->GetX(), 15.0f, 0.01f) << "side by side with the ball";
    Tick(150);
    EXPECT_NEAR(ball->GetY(), 0.0f, 0.01f);
    // The step after the group waits for its longest member, 800 ms.
    Tick(450);
    EXPECT_NEAR(box->GetX(), 75.0f, 0.01f);
    EXPECT_FLOAT_EQ(box->GetColor().a, 1.0f);
    Tick(50);
    EXPECT_NEAR(box->GetX(), 80.0f, 0.01f);
    EXPECT_NEAR(box->GetColor().a, 0.75f, 0.01f);
    Tick(150);
    EXPECT_FLOAT_EQ(box->GetColor().a, 0.0f);
}

TEST_F(SpriteAnimationTest, FrameRunsAndBadOptions)
{
    ASSERT_EQ(Eval("local s = stage:newChildSprite{ name = 's' } stage:beginAnimation()"
                   " s:addSequentialAnimation{ startframe = 0, frametime = 40 } return 'ok'"),
              "ok");
    EXPECT_NE(Eval("stage:addSequentialAnimation{ startframe = 0, type = 'bounce' }").find("invalid option"),
              std::string::npos);
    // A refused table adds none of its steps, not even those read before.
    EXPECT_NE(Eval("s = stage:child('s') s:addSequentialAnimation{ x = 90, alpha = 0, startframe = 0,"
                   " direction = 'sideways', duration = 100 }")
                  .find("invalid option"),
              std::string::npos);
    EXPECT_NE(Eval("s:addSequentialAnimation{ x = 90, target = 5, command = 'go', duration = 100 }")
                  .find("table expected, got number"),
              std::string::npos);
    Tick(300);
    EXPECT_FLOAT_EQ(Named("s")->GetX(), 0.0f);
    EXPECT_FLOAT_EQ(Named("s")->GetColor().a, 1.0f);
    // The table's own fields count; a lookup that would raise is never made.
    ASSERT_EQ(Eval("local t = setmetatable({ x = 12, duration = 0 }, { __index = function() error('looked up') end })"
                   " s:addSequentialAnimation(t) return 'ok'"),
              "ok");
    Tick(50);
    EXPECT_FLOAT_EQ(Named("s")->GetX(), 12.0f);
    EXPECT_NE(Eval("stage:addSequentialAnimation()").find("wrong number of arguments"), std::string::npos);
    EXPECT_NE(Eval("stage.beginSimultaneousAnimation(stage, 1)").find("wrong number of arguments"),
              std::string::npos);
}

TEST_F(SpriteAnimationTest, ALabelTakesItsTextWhenItsStepIsReached)
{
    SmartPtr<Label> caption(new Label(new scenetest::FixedFont(), 0, 0, 100, 20));
    caption->SetText("start");
    stage->AddChild(caption.Get());
    Publish("caption", *caption);
    ASSERT_EQ(Eval("stage:beginAnimation()"
                   " caption:addSequentialAnimation{ x = 30, duration = 200 }"
                   " caption:addSequentialAnimation{ text = 42, duration = 0 }"
                   " caption:addSequentialAnimation{ x = 0, duration = 200 }"
                   " caption:addSequentialAnimation{ text = 'line\\none', x = 5, duration = 100 }"
                   " stage:addSequentialAnimation{ text = 'ignored', duration = 0 } return 'ok'"),
              "ok");
    Tick(150);
    EXPECT_EQ(caption->GetText().GetString(), "start");
    // The number step is reached in the tick that ends the 200 ms move; its
    // text is the number's string form, and the move back starts at once.
    Tick(50);
    EXPECT_EQ(caption->GetText().GetString(), "42");
    EXPECT_NEAR(caption->GetX(), 22.5f, 0.01f);
    Tick(100);
    EXPECT_EQ(caption->GetText().GetString(), "42");
    EXPECT_NEAR(caption->GetX(), 7.5f, 0.01f);
    // The text joins the move of its own table and lands as soon as its
    // step is reached; a written "\n" becomes a line break as with SetText.
    Tick(50);
    EXPECT_EQ(caption->GetText().GetString(), "line\none");
    EXPECT_NEAR(caption->GetX(), 2.5f, 0.01f);
    Tick(50);
    EXPECT_NEAR(caption->GetX(), 5.0f, 0.01f);

    // Another type is refused, and nothing of the table is added.
    const std::string error = Eval("caption:addSequentialAnimation{ text = {}, x = 90, duration = 0 }");
    EXPECT_NE(error.find("string expected, got table"), std::string::npos) << error;
    Tick(100);
    EXPECT_NEAR(caption->GetX(), 5.0f, 0.01f);
    EXPECT_EQ(caption->GetText().GetString(), "line\none");
}

// A sprite kind that moves at once, whatever the step's length.
class SnappingSprite : public Sprite {
public:
    SnappingSprite() : Sprite(0.0f, 0.0f, 10.0f, 10.0f) {}
    Qmv2::Modifier* CreateMoveModifier(float x, float y, bool relative, std::int32_t,
                                       const std::string& style) override
    {
        return Sprite::CreateMoveModifier(x, y, relative, 0, style);
    }
};

TEST_F(SpriteAnimationTest, AStepIsBuiltByTheSpritesOwnMoveOfItsKind)
{
    SmartPtr<Sprite> snapper(new SnappingSprite());
    stage->AddChild(snapper.Get());
    Publish("snapper", *snapper);
    ASSERT_EQ(Eval("stage:beginAnimation()"
                   " snapper:addSequentialAnimation{ x = 40, y = 8, duration = 1000 }"
                   " stage:addSequentialAnimation{ sprite = snapper, dx = 5, alpha = 0, duration = 200 } return 'ok'"),
              "ok");
    // Both moves land at once, so the second step starts in the first tick;
    // the fade beside it runs its own length.
    Tick(50);
    EXPECT_FLOAT_EQ(snapper->GetX(), 45.0f);
    EXPECT_FLOAT_EQ(snapper->GetY(), 8.0f);
    EXPECT_NEAR(snapper->GetColor().a, 0.75f, 0.01f);
    Tick(150);
    EXPECT_FLOAT_EQ(snapper->GetColor().a, 0.0f);
}

}  // namespace

}  // namespace sprite_animation_test
