#include "framework/core/util/AnchorPoint.h"
#include "framework/core/util/Geometry.h"
#include "framework/core/util/PolygonPointF.h"
#include "framework/core/util/Rect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace geometry_test {

namespace {

using Qmv2::PointF;

TEST(GeometryTest, OrientationUsesTheTolerance)
{
    EXPECT_EQ(Qmv2::Orientation(PointF(0, 0), PointF(1, 1), PointF(2, 2)), 1);
    // cross = 0.0005: still collinear.
    EXPECT_EQ(Qmv2::Orientation(PointF(0, 0), PointF(1, 0), PointF(2, 0.0005f)), 1);
    EXPECT_EQ(Qmv2::Orientation(PointF(0, 0), PointF(1, 0), PointF(1, 1)), 0);
    EXPECT_EQ(Qmv2::Orientation(PointF(0, 0), PointF(1, 0), PointF(1, -1)), 2);
}

TEST(GeometryTest, SegmentIntersectKinds)
{
    Qmv2::SegmentCrossing x;
    // q runs from the negative to the positive side of p: a crossing.
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(0, 0), PointF(4, 0), PointF(1, -1), PointF(1, 3), &x), 3);
    EXPECT_NEAR(x.point.x, 1, 1e-5f);
    EXPECT_NEAR(x.point.y, 0, 1e-5f);
    EXPECT_NEAR(x.weightP, 0.75f, 1e-5f);
    EXPECT_NEAR(x.weightQ, 0.75f, 1e-5f);
    EXPECT_TRUE(x.isNew);
    // The same segments the other way round do not count.
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(0, 0), PointF(4, 0), PointF(1, 3), PointF(1, -1)), 0);
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(0, 0), PointF(4, 0), PointF(0, 1), PointF(4, 1)), 1);
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(0, 0), PointF(4, 0), PointF(5, 0), PointF(9, 0)), 2);
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(0, 0), PointF(4, 0), PointF(6, -1), PointF(6, 1)), 0);
    // Crossing at p1 itself is not a new point.
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(0, 0), PointF(4, 0), PointF(0, -1), PointF(0, 1), &x), 3);
    EXPECT_FALSE(x.isNew);
    EXPECT_EQ(x.point, PointF(0, 0));
    // Zero-length segments are parallel or collinear, never NaN.
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(1, 1), PointF(1, 1), PointF(0, 0), PointF(2, 2)), 2);
    EXPECT_EQ(Qmv2::SegmentIntersect(PointF(1, 1), PointF(1, 1), PointF(5, 0), PointF(5, 2)), 1);
}

TEST(GeometryTest, ClosestPointOnSegment)
{
    PointF out;
    EXPECT_EQ(Qmv2::ClosestPointOnSegment(PointF(0, 0), PointF(10, 0), PointF(4, 3), &out), 0);
    EXPECT_EQ(out, PointF(4, 0));
    EXPECT_EQ(Qmv2::ClosestPointOnSegment(PointF(0, 0), PointF(10, 0), PointF(-2, 1), &out), -20);
    EXPECT_EQ(out, PointF(0, 0));
    EXPECT_EQ(Qmv2::ClosestPointOnSegment(PointF(0, 0), PointF(10, 0), PointF(13, 1), &out), 30);
    EXPECT_EQ(out, PointF(10, 0));
    EXPECT_EQ(Qmv2::ClosestPointOnSegment(PointF(0, 0), PointF(10, 0), PointF(5, 5)), 0);
    // A zero-length segment answers its point.
    EXPECT_EQ(Qmv2::ClosestPointOnSegment(PointF(2, 2), PointF(2, 2), PointF(2, 2), &out), 0);
    EXPECT_EQ(out, PointF(2, 2));
}

TEST(GeometryTest, FloatModAndNormalise)
{
    EXPECT_FLOAT_EQ(Qmv2::FloatMod(7, 3), 1);
    EXPECT_FLOAT_EQ(Qmv2::FloatMod(-7, 3), 2);
    EXPECT_FLOAT_EQ(Qmv2::FloatMod(7, -3), -2);
    EXPECT_EQ(Qmv2::FloatMod(5, 0), 0);
    const PointF unit = Qmv2::NormaliseVector(PointF(3, -4));
    EXPECT_FLOAT_EQ(unit.x, 0.6f);
    EXPECT_FLOAT_EQ(unit.y, -0.8f);
    EXPECT_EQ(Qmv2::NormaliseVector(PointF(0, 0)), PointF(0, 0));
}

TEST(GeometryTest, PointEqualityByAttribute)
{
    Qmv2::PolygonPointF a(1, 2, 0.5f, 0.5f);
    Qmv2::PolygonPointF b(1.0005f, 2, 0.5f, 0.7f);
    EXPECT_TRUE(a.Equals(b, Qmv2::kVertexX | Qmv2::kVertexY | Qmv2::kVertexU));
    EXPECT_FALSE(a.Equals(b, Qmv2::kVertexV));
    b.x = 1.01f;
    EXPECT_FALSE(a.Equals(b, Qmv2::kVertexX));
    b.color.a = 0.5f;
    EXPECT_TRUE(a.Equals(b, Qmv2::kVertexY));
    EXPECT_FALSE(a.Equals(b, Qmv2::kVertexAlpha));
    EXPECT_FALSE(a.Equals(b, Qmv2::kVertexColor));
}

TEST(RectTest, HalfOpenContainsAndStrictOverlap)
{
    const Qmv2::RectF r{0, 0, 10, 10};
    EXPECT_TRUE(r.Contains(0, 0));
    EXPECT_TRUE(r.Contains(9.99f, 5));
    EXPECT_FALSE(r.Contains(10, 5));
    EXPECT_FALSE(r.Contains(-0.01f, 5));
    EXPECT_TRUE(r.ContainsRect({0, 0, 10, 10}));
    EXPECT_TRUE(r.ContainsRect({2, 2, 0, 0}));
    EXPECT_FALSE(r.ContainsRect({2, 2, 9, 1}));
    EXPECT_FALSE(r.ContainsRect({2, 2, -1, 1}));
    EXPECT_FALSE((Qmv2::RectF{0, 0, 0, 10}).ContainsRect({0, 0, 0, 0}));
    EXPECT_TRUE(r.Intersects({9, 9, 5, 5}));
    EXPECT_FALSE(r.Intersects({10, 0, 5, 5}));   // touching
    EXPECT_FALSE(r.Intersects({5, 5, -1, 2}));
}

TEST(AnchorPointTest, OffsetsByKind)
{
    Qmv2::AnchorPoint center(Qmv2::AnchorPoint::Center, PointF(), true);
    center.Update(7, 5);
    EXPECT_EQ(center.offset, PointF(3, 2));
    center.rounding = false;
    center.Update(7, 5);
    EXPECT_EQ(center.offset, PointF(3.5f, 2.5f));

    const PointF expected[9] = {{0, 0}, {20, 0}, {40, 0}, {0, 15}, {20, 15}, {40, 15}, {0, 30}, {20, 30}, {40, 30}};
    for (int kind = 0; kind < 9; ++kind) {
        Qmv2::AnchorPoint a(kind, PointF(), true);
        a.Update(40, 30);
        EXPECT_EQ(a.offset, expected[kind]) << Qmv2::AnchorNames[kind];
    }
    Qmv2::AnchorPoint free(Qmv2::AnchorPoint::Free, PointF(1.5f, 2.5f), true);
    free.Update(40, 30);
    EXPECT_EQ(free.offset, PointF(1.5f, 2.5f));
    EXPECT_STREQ(Qmv2::AnchorNames[0], "topleft");
    EXPECT_STREQ(Qmv2::AnchorNames[8], "bottomright");
}

} // namespace

}  // namespace geometry_test
