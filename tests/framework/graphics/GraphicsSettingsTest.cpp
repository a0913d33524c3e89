#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "framework/graphics/draw/GraphicsSettings.h"

namespace graphics_settings_test {

using namespace Qmv2;

TEST(GraphicsSettingsTest, ToleranceDecidesWhatCountsAsATransform)
{
    GraphicsSettings s;
    EXPECT_FALSE(s.HasTransform());
    s.SetScale(1.0005f);
    s.SetSkewX(0.0009f);
    EXPECT_FALSE(s.HasTransform());
    s.SetRotation(2.0f * std::numbers::pi_v<float>);
    EXPECT_FALSE(s.HasTransform());
    s.SetRotation(-0.0005f);
    EXPECT_TRUE(s.HasTransform()) << "the remainder lies just below 2 pi";
}

TEST(GraphicsSettingsTest, DirtyOnlyOnRealChanges)
{
    GraphicsSettings s;
    s.SetScaleX(2.0f);
    s.UpdateMatrix();
    s.SetScaleX(2.0f);
    EXPECT_FALSE(s.IsMatrixDirty());
    s.SetAnchor(0);
    EXPECT_TRUE(s.IsMatrixDirty()) << "SetAnchor marks dirty even for the same kind";
}

TEST(GraphicsSettingsTest, PivotFollowsTheAnchorUntilUnlinked)
{
    GraphicsSettings s;
    s.SetAnchorXY(4, 6);
    EXPECT_FLOAT_EQ(s.GetPivot().offset.x, 4);
    s.SetPivotXY(1, 1);
    EXPECT_FALSE(s.IsPivotLinked());
    s.SetAnchorXY(8, 8);
    EXPECT_FLOAT_EQ(s.GetPivot().offset.x, 1);
    s.SetPivotLinked(true);
    s.SetAnchorXY(9, 9);
    EXPECT_FLOAT_EQ(s.GetPivot().offset.x, 9);
}

TEST(GraphicsSettingsTest, RotationAboutThePivotKeepsThePivot)
{
    GraphicsSettings s;
    s.SetPivotXY(10, 0);
    s.SetRotation(std::numbers::pi_v<float> / 2);
    Matrix3x3 m;
    ASSERT_TRUE(s.ApplyTransform(m));
    const PointF p = m.Map(PointF(10, 0));
    EXPECT_NEAR(p.x, 10.0f, 1e-4f);
    EXPECT_NEAR(p.y, 0.0f, 1e-4f);
    const PointF q = m.Map(PointF(0, 0));
    EXPECT_NEAR(q.x, 10.0f, 1e-4f);
    EXPECT_NEAR(q.y, -10.0f, 1e-4f);
}

TEST(GraphicsSettingsTest, AnchorOffsetMovesTheImage)
{
    GraphicsSettings s;
    Matrix3x3 m;
    EXPECT_FALSE(s.ApplyTransform(m));
    EXPECT_FLOAT_EQ(m.m02, 0.0f);
    s.SetAnchorXY(16, 8);
    ASSERT_TRUE(s.ApplyTransform(m));
    EXPECT_FLOAT_EQ(m.m02, -16.0f);
    EXPECT_FLOAT_EQ(m.m12, -8.0f);
}

TEST(GraphicsSettingsTest, BoundsAreSharedByCopyAndOwnedAfterSetBoundsRect)
{
    GraphicsSettings a;
    a.SetBoundsRect({0, 0, 10, 10});
    EXPECT_FALSE(a.IsBoundsShared());
    GraphicsSettings b;
    b.CopyFrom(a);
    EXPECT_EQ(b.GetBoundsPolygon(), a.GetBoundsPolygon());
    EXPECT_TRUE(b.IsBoundsShared());
    b.SetBoundsRect({0, 0, 5, 5});
    EXPECT_NE(b.GetBoundsPolygon(), a.GetBoundsPolygon()) << "a shared polygon is never changed in place";
    EXPECT_FLOAT_EQ(a.GetBoundsPolygon()->GetBounds().width, 10.0f);

    GraphicsSettings empty;
    b.CopyFrom(empty);
    EXPECT_EQ(b.GetBoundsPolygon(), nullptr);
    PolygonF out(0, 0, 1, 1);
    EXPECT_FALSE(b.GetTransformedBounds(out));
    EXPECT_EQ(out.GetVertexCount(), 0);
}

TEST(GraphicsSettingsTest, PackedColour)
{
    GraphicsSettings s;
    s.SetPackedColor(0x80FF0000u);
    EXPECT_FLOAT_EQ(s.GetColor().a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(s.GetColor().r, 1.0f);
    EXPECT_FLOAT_EQ(s.GetColor().g, 0.0f);
    s.SetFlipHorizontal(true);
    s.SetFlipVertical(true);
    s.SetFlipHorizontal(false);
    EXPECT_EQ(s.GetFlipFlags(), 2u);
    s.Reset();
    EXPECT_EQ(s.GetFlipFlags(), 0u);
    EXPECT_EQ(s.GetColorInheritance(), 0x200u);
}

}  // namespace graphics_settings_test
