#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "SpriteTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Polygon.h"
#include "framework/scene/ModifierClipRect.h"
#include "framework/scene/ModifierLocation.h"
#include "framework/scene/ModifierLocationLine.h"
#include "framework/scene/ModifierScale.h"
#include "framework/scene/ModifierSkew.h"
#include "framework/scene/Sprite.h"

namespace modifier_transform_test {

using namespace Qmv2;
using scenetest::NewSprite;

namespace {

// Steps modifiers, starting each on its first step only, the way the walks do.
struct Walker {
    std::set<const Modifier*> started;
    void operator()(Modifier& m, std::uint32_t dt)
    {
        if (started.insert(&m).second) {
            m.Start();
        }
        m.Update(dt);
    }
};

// The bounding box of the sprite's clip polygon.
RectF ClipBox(Sprite& s)
{
    PolygonF* clip = s.GetClipPolygon();
    EXPECT_NE(clip, nullptr);
    if (clip == nullptr || clip->GetVertexCount() == 0) {
        return {};
    }
    float minX = clip->GetVertex(0).x, maxX = minX, minY = clip->GetVertex(0).y, maxY = minY;
    for (int i = 1; i < clip->GetVertexCount(); ++i) {
        minX = std::min(minX, clip->GetVertex(i).x);
        maxX = std::max(maxX, clip->GetVertex(i).x);
        minY = std::min(minY, clip->GetVertex(i).y);
        maxY = std::max(maxY, clip->GetVertex(i).y);
    }
    return RectF{minX, minY, maxX - minX, maxY - minY};
}

TEST(ModifierTransformTest, LocationLineMovesFromWhereTheNodeStands)
{
    Walker Step;
    SmartPtr<Sprite> s = NewSprite();
    s->SetPosition(5.0f, 7.0f);
    SmartPtr<ModifierLocationLine> move(new ModifierLocationLine(100, 10.0f, 0.0f, true, false));
    move->SetTarget(s.Get());
    s->SetPosition(20.0f, 30.0f);   // where it stands at the start counts
    Step(*move, 50);
    EXPECT_FLOAT_EQ(s->GetX(), 25.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 30.0f);
    Step(*move, 60);
    EXPECT_TRUE(move->IsFinished());
    EXPECT_FLOAT_EQ(s->GetX(), 30.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 30.0f);

    SmartPtr<ModifierLocationLine> absolute(new ModifierLocationLine(100, 0.0f, 10.0f, false, true));
    absolute->SetTarget(s.Get());
    Step(*absolute, 25);   // smooth step at a quarter: 0.15625
    EXPECT_FLOAT_EQ(s->GetX(), 30.0f * (1.0f - 0.15625f));
    EXPECT_FLOAT_EQ(s->GetY(), 30.0f + (10.0f - 30.0f) * 0.15625f);
    absolute->Finish();
    EXPECT_FLOAT_EQ(s->GetX(), 0.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 10.0f);
}

TEST(ModifierTransformTest, LocationAppliesOnlyItsAxesAndPlainLocationMovesNothing)
{
    Walker Step;
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierLocationLine> move(new ModifierLocationLine(100, 40.0f, 40.0f, false, false));
    move->SetApply(false, true);
    move->SetTarget(s.Get());
    Step(*move, 100);
    EXPECT_TRUE(move->IsFinished());
    EXPECT_FLOAT_EQ(s->GetX(), 0.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 40.0f);

    SmartPtr<ModifierLocation> wait(new ModifierLocation(100, 3.0f, 4.0f));
    wait->SetTarget(s.Get());
    Step(*wait, 60);
    EXPECT_FALSE(wait->IsFinished());
    Step(*wait, 40);
    EXPECT_TRUE(wait->IsFinished());
    EXPECT_FLOAT_EQ(s->GetX(), 0.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 40.0f);
    EXPECT_NE(wait->ToString().find("in 100ms; "), std::string::npos);
}

TEST(ModifierTransformTest, ScaleAndSkewInterpolateTheirAxes)
{
    Walker Step;
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierScale> grow(new ModifierScale(200));
    grow->SetFrom(1.0f, 1.0f);
    grow->SetTo(3.0f, 2.0f);
    grow->SetApply(true, false);
    grow->SetTarget(s.Get());
    Step(*grow, 100);
    EXPECT_FLOAT_EQ(s->GetScaleX(), 2.0f);
    EXPECT_FLOAT_EQ(s->GetScaleY(), 1.0f);
    Step(*grow, 100);
    EXPECT_TRUE(grow->IsFinished());
    EXPECT_FLOAT_EQ(s->GetScaleX(), 3.0f);
    EXPECT_FLOAT_EQ(s->GetScaleY(), 1.0f);

    // From the target, relative: the current x scale 3 grows by 1.
    SmartPtr<ModifierScale> more(new ModifierScale(100));
    more->SetTo(1.0f, 1.0f);
    more->SetOptions(Modifier::kOptionStartFromTarget | Modifier::kOptionRelativeEnd);
    more->SetTarget(s.Get());
    Step(*more, 50);
    EXPECT_FLOAT_EQ(s->GetScaleX(), 3.5f);
    EXPECT_FLOAT_EQ(s->GetScaleY(), 1.5f);

    SmartPtr<ModifierSkew> skew(new ModifierSkew(100, false, 0.0f, 1.0f, 1.0f, -1.0f));
    skew->SetTarget(s.Get());
    Step(*skew, 25);
    EXPECT_FLOAT_EQ(s->GetSkewX(), 0.25f);
    EXPECT_FLOAT_EQ(s->GetSkewY(), 0.5f);
    skew->Finish();
    EXPECT_FLOAT_EQ(s->GetSkewX(), 1.0f);
    EXPECT_FLOAT_EQ(s->GetSkewY(), -1.0f);
}

TEST(ModifierTransformTest, ClipRectMovesBetweenRectangles)
{
    Walker Step;
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierClipRect> clip(new ModifierClipRect(100, RectF{0, 0, 100, 20}, RectF{10, 20, 0, 40}));
    clip->SetTarget(s.Get());
    Step(*clip, 50);
    RectF box = ClipBox(*s);
    EXPECT_FLOAT_EQ(box.x, 5.0f);
    EXPECT_FLOAT_EQ(box.y, 10.0f);
    EXPECT_FLOAT_EQ(box.width, 50.0f);
    EXPECT_FLOAT_EQ(box.height, 30.0f);
    Step(*clip, 50);
    EXPECT_TRUE(clip->IsFinished());
    box = ClipBox(*s);
    EXPECT_FLOAT_EQ(box.x, 10.0f);
    EXPECT_FLOAT_EQ(box.height, 40.0f);
}

TEST(ModifierTransformTest, ZeroDurationEndsAtOnceWithoutNaN)
{
    Walker Step;
    SmartPtr<Sprite> s = NewSprite();
    SmartPtr<ModifierLocationLine> move(new ModifierLocationLine(0, 8.0f, 9.0f, false, true));
    SmartPtr<ModifierScale> scale(new ModifierScale(0));
    scale->SetTo(2.0f, 2.0f);
    SmartPtr<ModifierSkew> skew(new ModifierSkew(0, true, 0.0f, 0.0f, 0.5f, 0.5f));
    SmartPtr<ModifierClipRect> clip(new ModifierClipRect(0, RectF{0, 0, 1, 1}, RectF{0, 0, 4, 4}));
    for (Modifier* m : {static_cast<Modifier*>(move.Get()), static_cast<Modifier*>(scale.Get()),
                        static_cast<Modifier*>(skew.Get()), static_cast<Modifier*>(clip.Get())}) {
        m->SetTarget(s.Get());
        Step(*m, 0);
        EXPECT_TRUE(m->IsFinished());
    }
    EXPECT_FLOAT_EQ(s->GetX(), 8.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 9.0f);
    EXPECT_FLOAT_EQ(s->GetScaleX(), 2.0f);
    EXPECT_FLOAT_EQ(s->GetSkewY(), 0.5f);
    EXPECT_FLOAT_EQ(ClipBox(*s).width, 4.0f);
    EXPECT_TRUE(std::isfinite(s->GetX()) && std::isfinite(s->GetScaleY()) && std::isfinite(s->GetSkewX()));
}

}  // namespace

}  // namespace modifier_transform_test
