#include "framework/core/util/Color.h"
#include "framework/core/util/Matrix3x3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace color_matrix_test {

namespace {

using Qmv2::Color;
using Qmv2::Matrix3x3;
using Qmv2::PointF;

TEST(ColorTest, UnpacksAndPacks)
{
    Color c(0x80FF0000u);
    EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 0.0f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_FALSE(c.dirty);
    EXPECT_EQ(c.Pack(), 0x80FF0000u);

    Color half(0.5f, -0.2f, 1.3f, std::nanf(""));
    EXPECT_EQ(half.Pack(), 0x8000FF00u);   // 0.5 -> 128, clamped below and above, NaN as 0
    EXPECT_FALSE(half.dirty);

    Color white;
    EXPECT_TRUE(white.dirty);
    EXPECT_EQ(white.Pack(), 0xFFFFFFFFu);
}

TEST(ColorTest, SetRGBKeepsAlpha)
{
    Color c(0.25f, 0, 0, 0);
    c.SetRGB(0xAA336699u);
    EXPECT_FLOAT_EQ(c.r, 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(c.g, 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0x99 / 255.0f);
    EXPECT_EQ(c.a, 0.25f);
    EXPECT_EQ(c.packed, 0x40336699u);   // 0.25 * 255 + 0.5 = 64.25
    EXPECT_EQ(c.Pack(), 0x40336699u);
}

TEST(ColorTest, ComparesTheFloats)
{
    EXPECT_EQ(Color(0xFFFFFFFFu), Color());
    EXPECT_NE(Color(1, 1, 1, 0.999f), Color());
    Color a(0x10203040u);
    Color b = a;
    b.packed = 0;   // only the floats count
    EXPECT_EQ(a, b);
}

void ExpectNear(const PointF& p, float x, float y)
{
    EXPECT_NEAR(p.x, x, 1e-3f);
    EXPECT_NEAR(p.y, y, 1e-3f);
}

TEST(Matrix3x3Test, MultipliesRowsByColumns)
{
    Matrix3x3 move;
    move.m02 = 5;
    move.m12 = -2;
    Matrix3x3 scale;
    scale.m00 = 2;
    scale.m11 = 3;
    // (move x scale) scales first, then moves.
    ExpectNear((move * scale).Map(PointF(1, 1)), 7, 1);
    ExpectNear((scale * move).Map(PointF(1, 1)), 12, -3);
    Matrix3x3 m = move;
    m *= scale;
    ExpectNear(m.Map(PointF(1, 1)), 7, 1);
    EXPECT_EQ(m.m20, 0);
    EXPECT_EQ(m.m22, 1);
}

TEST(Matrix3x3Test, PlainTransformIsATranslation)
{
    Matrix3x3 m;
    m.SetTransform(12, -4, 0, 1, 1, 0, 0, PointF(33, 77));
    ExpectNear(m.Map(PointF(0, 0)), 12, -4);
    ExpectNear(m.Map(PointF(5, 6)), 17, 2);
    Matrix3x3 inv;
    inv.SetInverseTransform(12, -4, 0, 1, 1, 0, 0, PointF(33, 77));
    ExpectNear(inv.Map(PointF(0, 0)), -12, 4);
}

TEST(Matrix3x3Test, TransformActsAboutThePivot)
{
    Matrix3x3 m;
    m.SetTransform(0, 0, static_cast<float>(M_PI / 2), 1, 1, 0, 0, PointF(10, 0));
    ExpectNear(m.Map(PointF(10, 0)), 10, 0);
    ExpectNear(m.Map(PointF(11, 0)), 10, 1);   // a quarter turn on a y-down screen
    m.SetTransform(3, 4, 0, 2, 3, 0.5f, 0, PointF(0, 0));
    // K (1, 1) = (1.5, 1), S -> (3, 3), then moved.
    ExpectNear(m.Map(PointF(1, 1)), 6, 7);
}

TEST(Matrix3x3Test, InverseUndoesTheTransform)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> any(-3, 3);
    for (int i = 0; i < 200; ++i) {
        const float x = any(rng) * 50, y = any(rng) * 50, rot = any(rng);
        const float sx = any(rng), sy = any(rng), kx = any(rng) / 4, ky = any(rng) / 4;
        if (std::fabs(sx) < 0.2f || std::fabs(sy) < 0.2f)
            continue;
        const PointF pivot(any(rng) * 20, any(rng) * 20);
        Matrix3x3 forward;
        forward.SetTransform(x, y, rot, sx, sy, kx, ky, pivot);
        Matrix3x3 back;
        back.SetInverseTransform(x, y, rot, sx, sy, kx, ky, pivot);
        const Matrix3x3 both = back * forward;
        EXPECT_NEAR(both.m00, 1, 1e-3f);
        EXPECT_NEAR(both.m01, 0, 1e-3f);
        EXPECT_NEAR(both.m10, 0, 1e-3f);
        EXPECT_NEAR(both.m11, 1, 1e-3f);
        EXPECT_NEAR(both.m02, 0, 2e-2f);
        EXPECT_NEAR(both.m12, 0, 2e-2f);
    }
}

TEST(Matrix3x3Test, InverseOfADegenerateTransformUsesALargeValue)
{
    Matrix3x3 inv;
    inv.SetInverseTransform(0, 0, 0, 0, 1, 0, 0, PointF(0, 0));
    EXPECT_EQ(inv.m00, 1e20f);
    EXPECT_EQ(inv.m01, 1e20f);
    EXPECT_EQ(inv.m11, 1.0f);
    inv.SetInverseTransform(1, 2, 0.3f, 1, 0, 1, 1, PointF(4, 5));   // 1 - kx ky = 0 and sy = 0
    for (float v : {inv.m00, inv.m01, inv.m02, inv.m10, inv.m11, inv.m12})
        EXPECT_FALSE(std::isnan(v));
}

} // namespace

}  // namespace color_matrix_test
