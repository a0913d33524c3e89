#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "SpriteTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/SceneClasses.h"
#include "framework/scene/Sprite.h"

namespace sprite_test {

using Qmv2::AnchorPoint;
using Qmv2::Image;
using Qmv2::ModifierFrame;
using Qmv2::PropertyNode;
using Qmv2::PropertyValue;
using Qmv2::PropertyVector;
using Qmv2::SmartPtr;
using Qmv2::Sprite;
using scenetest::MakeImage;

namespace {

PropertyNode* Describe(const std::string& type, std::vector<std::pair<std::string, std::string>> keys)
{
    auto* node = new PropertyNode("", type);
    for (const auto& [key, text] : keys) {
        node->AddChild(new PropertyValue(key, "", text));
    }
    return node;
}

SmartPtr<Sprite> FromKeys(std::vector<std::pair<std::string, std::string>> keys)
{
    SmartPtr<PropertyNode> description(Describe("Sprite", std::move(keys)));
    return SmartPtr<Sprite>(new Sprite(description.Get()));
}

class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override { Qmv2::RegisterSceneClasses(); }
};

TEST_F(SpriteTest, DrawingKeysSetTheDrawingState)
{
    SmartPtr<Sprite> s = FromKeys({{"x", "10"}, {"width", "40"}, {"height", "20"}, {"alpha", "0.25"},
                                   {"color", "#FF336699"}, {"usealphachannel", "false"}, {"rotation", "0.5"},
                                   {"skewx", "0.1"}, {"skewy", "0.2"}, {"flip", "both"}, {"blendmode", "multiply"},
                                   {"command", "BUTTON_OK"}});
    EXPECT_FLOAT_EQ(s->GetX(), 10.0f);
    EXPECT_FLOAT_EQ(s->GetWidth(), 40.0f);
    EXPECT_FLOAT_EQ(s->GetHeight(), 20.0f);
    EXPECT_FLOAT_EQ(s->GetColor().a, 0.25f);   // "color" keeps alpha
    EXPECT_FLOAT_EQ(s->GetColor().r, 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(s->GetColor().g, 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(s->GetColor().b, 0x99 / 255.0f);
    EXPECT_FALSE(s->GetUseAlphaChannel());
    EXPECT_FLOAT_EQ(s->GetRotation(), 0.5f);
    EXPECT_FLOAT_EQ(s->GetSkewX(), 0.1f);
    EXPECT_FLOAT_EQ(s->GetSkewY(), 0.2f);
    EXPECT_EQ(s->GetFlipFlags(), 3u);
    EXPECT_EQ(s->GetBlendMode(), 2);
    EXPECT_EQ(s->GetCommand(), "BUTTON_OK");

    SmartPtr<Sprite> vertical = FromKeys({{"flip", "vertical"}, {"blendmode", "sparkle"}});
    EXPECT_EQ(vertical->GetFlipFlags(), static_cast<std::uint32_t>(Qmv2::GraphicsSettings::kFlipVertical));
    EXPECT_EQ(vertical->GetBlendMode(), 0);
    EXPECT_EQ(FromKeys({{"flip", "sideways"}})->GetFlipFlags(), 0u);
}

TEST_F(SpriteTest, ScaleAndAnchorKeysShadowTheirAxisForms)
{
    SmartPtr<Sprite> both = FromKeys({{"scale", "2"}, {"scalex", "5"}, {"scaley", "6"}});
    EXPECT_FLOAT_EQ(both->GetScaleX(), 2.0f);
    EXPECT_FLOAT_EQ(both->GetScaleY(), 2.0f);
    SmartPtr<Sprite> axes = FromKeys({{"scalex", "5"}, {"scaley", "6"}});
    EXPECT_FLOAT_EQ(axes->GetScaleX(), 5.0f);
    EXPECT_FLOAT_EQ(axes->GetScaleY(), 6.0f);

    SmartPtr<Sprite> named =
        FromKeys({{"width", "100"}, {"height", "50"}, {"anchorpoint", "bottomright"}, {"anchorpointx", "7"}});
    EXPECT_EQ(named->GetAnchor().kind, AnchorPoint::BottomRight);
    EXPECT_FLOAT_EQ(named->GetAnchor().offset.x, 100.0f);
    EXPECT_FLOAT_EQ(named->GetAnchor().offset.y, 50.0f);

    SmartPtr<Sprite> yOnly = FromKeys({{"width", "100"}, {"anchorpointy", "9"}});
    EXPECT_EQ(yOnly->GetAnchor().kind, AnchorPoint::Free);
    EXPECT_FLOAT_EQ(yOnly->GetAnchor().offset.x, 0.0f);
    EXPECT_FLOAT_EQ(yOnly->GetAnchor().offset.y, 9.0f);

    SmartPtr<Sprite> unknown = FromKeys({{"width", "10"}, {"anchorpoint", "middle"}, {"pivotpoint", "center"}});
    EXPECT_EQ(unknown->GetAnchor().kind, AnchorPoint::TopLeft);
    EXPECT_EQ(unknown->GetPivot().kind, AnchorPoint::Center);
    EXPECT_FLOAT_EQ(unknown->GetPivot().offset.x, 5.0f);
}

TEST_F(SpriteTest, FrameTimeKeyDrivesTheFrameModifier)
{
    // No frame modifier: 0 adds none, a positive time adds an endless one.
    EXPECT_TRUE(FromKeys({{"frametime", "0"}})->GetModifiers().empty());
    SmartPtr<Sprite> added = FromKeys({{"frametime", "40"}, {"framedirection", "backward"}});
    ASSERT_EQ(added->GetModifiers().size(), 1u);
    auto* frames = static_cast<ModifierFrame*>(added->GetModifiers()[0]);
    ASSERT_TRUE(frames->IsOfType(&ModifierFrame::s_Type));
    EXPECT_EQ(frames->GetFrameTime(), 40);
    EXPECT_TRUE(frames->IsBackward());
    EXPECT_LT(frames->GetLoops(), 1);

    // A frame modifier from the "modifiers" list: 0 cancels it and keeps its time.
    SmartPtr<PropertyNode> description(Describe("Sprite", {{"frametime", "0"}}));
    auto* list = new PropertyVector("modifiers");
    list->AddItem(Describe("ModifierFrame", {{"frametime", "70"}}));
    description->AddChild(list);
    SmartPtr<Sprite> listed(new Sprite(description.Get()));
    ASSERT_EQ(listed->GetModifiers().size(), 1u);
    auto* existing = static_cast<ModifierFrame*>(listed->GetModifiers()[0]);
    EXPECT_TRUE(existing->IsCancelled());
    EXPECT_EQ(existing->GetFrameTime(), 70);
}

TEST_F(SpriteTest, SizeIsTheBoundsPolygon)
{
    SmartPtr<Sprite> s(new Sprite(0.0f, 0.0f, 30.0f, 20.0f));
    ASSERT_NE(s->GetBoundsPolygon(), nullptr);
    s->SetSize(0.0f, 5.0f);
    ASSERT_NE(s->GetBoundsPolygon(), nullptr);
    EXPECT_FLOAT_EQ(s->GetWidth(), 0.0f);
    EXPECT_FLOAT_EQ(s->GetHeight(), 5.0f);
    s->SetSize(0.0f, 0.0f);
    EXPECT_EQ(s->GetBoundsPolygon(), nullptr);
    EXPECT_FALSE(s->HitTest(0.0f, 0.0f));
    const Qmv2::NodeBounds empty = s->GetBounds(Qmv2::Matrix3x3());
    EXPECT_GT(empty.left, empty.right);
}

TEST_F(SpriteTest, CentreAnchorPlacesAndHitTestsTheRectangle)
{
    SmartPtr<Sprite> s(new Sprite(200.0f, 100.0f, 100.0f, 50.0f));
    s->SetAnchor(AnchorPoint::Center);
    EXPECT_FLOAT_EQ(s->GetLeft(), 150.0f);
    EXPECT_FLOAT_EQ(s->GetTop(), 75.0f);
    EXPECT_TRUE(s->HitTest(150.0f, 75.0f));
    EXPECT_TRUE(s->HitTest(249.0f, 124.0f));
    EXPECT_FALSE(s->HitTest(149.0f, 100.0f));
    EXPECT_FALSE(s->HitTest(200.0f, 126.0f));
    const Qmv2::PointF local = s->GlobalToLocal(200.0f, 100.0f);
    EXPECT_FLOAT_EQ(local.x, 50.0f);
    EXPECT_FLOAT_EQ(local.y, 25.0f);
    const Qmv2::PointF back = s->LocalToGlobal(0.0f, 0.0f);
    EXPECT_FLOAT_EQ(back.x, 150.0f);
    EXPECT_FLOAT_EQ(back.y, 75.0f);

    // Turned a quarter about its centre it stands 50 wide and 100 high.
    s->SetRotation(std::numbers::pi_v<float> / 2.0f);
    EXPECT_TRUE(s->HitTest(200.0f, 145.0f));
    EXPECT_FALSE(s->HitTest(235.0f, 100.0f));
    const Qmv2::NodeBounds b = s->GetBounds(Qmv2::Matrix3x3());
    EXPECT_NEAR(b.left, 175.0f, 1e-3f);
    EXPECT_NEAR(b.right, 225.0f, 1e-3f);
    EXPECT_NEAR(b.top, 50.0f, 1e-3f);
    EXPECT_NEAR(b.bottom, 150.0f, 1e-3f);
}

TEST_F(SpriteTest, HitTestFollowsTheParentsTransform)
{
    SmartPtr<Sprite> parent(new Sprite(100.0f, 0.0f, 10.0f, 10.0f));
    parent->SetScale(2.0f);
    auto* child = new Sprite(10.0f, 10.0f, 20.0f, 20.0f);
    parent->AddChild(child);
    // The child covers (10..30) of the parent's space: (120..160) on screen.
    EXPECT_TRUE(child->HitTest(121.0f, 21.0f));
    EXPECT_TRUE(child->HitTest(159.0f, 59.0f));
    EXPECT_FALSE(child->HitTest(119.0f, 30.0f));
    EXPECT_FALSE(child->HitTest(161.0f, 30.0f));
}

TEST_F(SpriteTest, KeepPositionChangesLeaveThePictureInPlace)
{
    SmartPtr<Sprite> s(new Sprite(10.0f, 20.0f, 100.0f, 50.0f));
    s->SetAnchorKeepPosition(AnchorPoint::Center);
    EXPECT_FLOAT_EQ(s->GetX(), 60.0f);
    EXPECT_FLOAT_EQ(s->GetY(), 45.0f);
    EXPECT_FLOAT_EQ(s->GetLeft(), 10.0f);
    EXPECT_FLOAT_EQ(s->GetTop(), 20.0f);

    s->SetRotation(0.7f);
    s->SetScale(1.5f);
    const Qmv2::PointF corner = s->LocalToGlobal(100.0f, 0.0f);
    s->SetPivotKeepPosition(AnchorPoint::TopLeft);
    EXPECT_EQ(s->GetPivot().kind, AnchorPoint::TopLeft);
    const Qmv2::PointF after = s->LocalToGlobal(100.0f, 0.0f);
    EXPECT_NEAR(after.x, corner.x, 1e-3f);
    EXPECT_NEAR(after.y, corner.y, 1e-3f);
}

TEST_F(SpriteTest, ImagesFramesAndFitting)
{
    SmartPtr<Image> image = MakeImage(3, 16, 8);
    SmartPtr<Sprite> s(new Sprite(0.0f, 0.0f, image.Get()));
    EXPECT_EQ(s->GetImageFrame(), image->GetFrame(0));
    EXPECT_FLOAT_EQ(s->GetWidth(), 16.0f);
    EXPECT_FLOAT_EQ(s->GetHeight(), 8.0f);

    s->SetFrame(2);
    EXPECT_EQ(s->GetImageFrame(), image->GetFrame(2));
    s->SetFrame(7);   // out of range: nothing shown, index kept
    EXPECT_EQ(s->GetImageFrame(), nullptr);
    EXPECT_EQ(s->GetFrame(), 7);
    EXPECT_EQ(s->GetBoundsPolygon(), nullptr);

    // The same index does not refresh the frame shown.
    s->SetFrame(1);
    s->SetImageFrame(image->GetFrame(0));
    s->SetFrame(1);
    EXPECT_EQ(s->GetImageFrame(), image->GetFrame(0));

    // The image already held changes nothing, not even the frame.
    s->SetImage(image.Get());
    EXPECT_EQ(s->GetFrame(), 1);
    EXPECT_EQ(s->GetImageFrame(), image->GetFrame(0));

    // Without fitting the size stays when the image changes.
    SmartPtr<Image> other = MakeImage(1, 40, 40);
    s->SetFitSizeToImage(false);
    s->SetSize(5.0f, 5.0f);
    s->SetImage(other.Get());
    EXPECT_EQ(s->GetImageFrame(), other->GetFrame(0));
    EXPECT_EQ(s->GetFrame(), 0);
    EXPECT_FLOAT_EQ(s->GetWidth(), 5.0f);
}

TEST_F(SpriteTest, RenderHandsTheDrawingStateOver)
{
    SmartPtr<Image> image = MakeImage(1, 32, 32);
    SmartPtr<Sprite> s(new Sprite(40.0f, 30.0f, image.Get()));
    s->SetAnchor(AnchorPoint::Center);
    s->SetScale(2.0f);
    s->SetAlpha(0.5f);
    SmartPtr<Qmv2::Graphics> graphics(new Qmv2::Graphics());
    s->Render(*graphics);
    EXPECT_EQ(graphics->GetImage(), image->GetFrame(0));
    EXPECT_FLOAT_EQ(graphics->GetScaleX(), 2.0f);
    EXPECT_FLOAT_EQ(graphics->GetColor().a, 0.5f);
    EXPECT_FLOAT_EQ(graphics->GetAnchor().offset.x, 16.0f);
    ASSERT_NE(graphics->GetBoundsPolygon(), nullptr);
    EXPECT_FLOAT_EQ(graphics->GetBoundsPolygon()->GetBounds().width, 32.0f);

    // The node's matrix is the drawing state's: the centre sits at (40, 30).
    const Qmv2::PointF centre = s->GetLocalMatrix().Map(Qmv2::PointF(0.0f, 0.0f));
    EXPECT_FLOAT_EQ(centre.x, 40.0f);
    EXPECT_FLOAT_EQ(centre.y, 30.0f);
    EXPECT_EQ(Qmv2::InterfaceCast<Qmv2::iClippable>(s.Get())->GetClipPolygon(), nullptr);
    s->SetClipRect({0.0f, 0.0f, 10.0f, 10.0f});
    ASSERT_NE(s->GetClipPolygon(), nullptr);
    EXPECT_FLOAT_EQ(s->GetClipPolygon()->GetBounds().width, 10.0f);
}

TEST_F(SpriteTest, AnImagelessSpriteDrawsOnlyWhenItIsASolidFill)
{
    SmartPtr<Sprite> cover(new Sprite(0.0f, 0.0f, 800.0f, 600.0f));
    cover->SetColor(Qmv2::Color(0xFF000000u));
    SmartPtr<Qmv2::Graphics> plain(new Qmv2::Graphics());
    cover->Render(*plain);
    EXPECT_EQ(plain->GetBoundsPolygon(), nullptr) << "no image and no fill: nothing to draw";

    cover->SetSolidFill(true);
    SmartPtr<Qmv2::Graphics> filled(new Qmv2::Graphics());
    cover->Render(*filled);
    EXPECT_TRUE(filled->IsSolidFill());
    ASSERT_NE(filled->GetBoundsPolygon(), nullptr);
    EXPECT_FLOAT_EQ(filled->GetBoundsPolygon()->GetBounds().width, 800.0f);
    EXPECT_FLOAT_EQ(filled->GetColor().r, 0.0f);
}

TEST_F(SpriteTest, TooltipIsCreatedAndDroppedWithItsText)
{
    SmartPtr<Sprite> s(new Sprite(0.0f, 0.0f, 1.0f, 1.0f));
    EXPECT_EQ(s->GetTooltip(), nullptr);
    s->SetTooltip(Qmv2::UTF8String("Shuffle"));
    ASSERT_NE(s->GetTooltip(), nullptr);
    EXPECT_EQ(s->GetTooltip()->GetString(), "Shuffle");
    s->SetTooltip(Qmv2::UTF8String(""));
    EXPECT_EQ(s->GetTooltip(), nullptr);
}

}  // namespace

}  // namespace sprite_test
