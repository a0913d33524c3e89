#include "framework/core/util/Polygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace polygon_test {

namespace {

using Qmv2::PointF;
using Qmv2::PolygonF;
using Qmv2::PolygonPointF;

PolygonF Make(std::initializer_list<PointF> points)
{
    PolygonF p;
    for (const PointF& q : points)
        p.AddVertex(PolygonPointF(q.x, q.y));
    return p;
}

void ExpectVertex(const PolygonF& p, int i, float x, float y)
{
    ASSERT_LT(i, p.GetVertexCount());
    EXPECT_NEAR(p.GetVertex(i).x, x, 1e-4f) << "vertex " << i;
    EXPECT_NEAR(p.GetVertex(i).y, y, 1e-4f) << "vertex " << i;
}

TEST(PolygonTest, SetRectOrdersCornersAndMarksARectangle)
{
    PolygonF p(10, 10, -4, 6);
    ASSERT_EQ(p.GetVertexCount(), 4);
    ExpectVertex(p, 0, 6, 10);
    ExpectVertex(p, 1, 10, 10);
    ExpectVertex(p, 2, 10, 16);
    ExpectVertex(p, 3, 6, 16);
    EXPECT_EQ(p.GetVertex(2).u, 1);
    EXPECT_EQ(p.GetVertex(3).v, 1);
    EXPECT_TRUE(p.IsRectangle());
    EXPECT_TRUE(p.IsConvex());
    // A rectangle given from its far corner still holds its inside.
    EXPECT_TRUE(p.Contains(PointF(8, 12)));
    EXPECT_EQ(p.GetBounds().width, 4);
}

TEST(PolygonTest, EmptyPolygonHasDefinedAnswers)
{
    PolygonF empty;
    EXPECT_EQ(empty.GetBounds().width, 0);
    EXPECT_TRUE(empty.IsConvex());
    EXPECT_FALSE(empty.IsRectangle());
    EXPECT_FALSE(empty.Contains(PointF(0, 0)));
    EXPECT_EQ(empty.Classify(PolygonF(0, 0, 5, 5)), PolygonF::kApart);
    empty.AdjustForOutline();
    EXPECT_EQ(empty.GetVertexCount(), 0);
    PolygonF out(1, 1, 2, 2);
    PolygonF::Intersect(empty, PolygonF(0, 0, 5, 5), out, 0x3C);
    EXPECT_EQ(out.GetVertexCount(), 0);   // nothing in common
    EXPECT_EQ(empty.GetType(), &PolygonF::s_Type);
}

TEST(PolygonTest, BoundsFollowTheVertices)
{
    PolygonF p = Make({{3, -1}, {7, 2}, {-2, 5}});
    const Qmv2::RectF b = p.GetBounds();
    EXPECT_EQ(b.x, -2);
    EXPECT_EQ(b.y, -1);
    EXPECT_EQ(b.width, 9);
    EXPECT_EQ(b.height, 6);
    p.AddVertex(PolygonPointF(10, 10));
    EXPECT_EQ(p.GetBounds().width, 12);
}

TEST(PolygonTest, ContainsOnASquare)
{
    const PolygonF square(0, 0, 10, 10);
    EXPECT_TRUE(square.Contains(PointF(5, 5)));
    EXPECT_FALSE(square.Contains(PointF(10, 5)));
    EXPECT_TRUE(square.Contains(PointF(0, 5)));
    const PolygonF diamond = Make({{5, 0}, {10, 5}, {5, 10}, {0, 5}});
    EXPECT_TRUE(diamond.IsConvex());
    EXPECT_FALSE(diamond.IsRectangle());
    EXPECT_TRUE(diamond.Contains(PointF(5, 5)));
    EXPECT_TRUE(diamond.Contains(PointF(2.5f, 2.5f)));   // on an edge
    EXPECT_FALSE(diamond.Contains(PointF(1, 1)));
}

TEST(PolygonTest, ConvexityFollowsTheTurn)
{
    PolygonF p(0, 0, 4, 4);
    p.Reverse();
    EXPECT_FALSE(p.IsConvex());
    EXPECT_FALSE(p.IsRectangle());
    const PolygonF dent = Make({{0, 0}, {4, 0}, {2, 1}, {4, 4}, {0, 4}});
    EXPECT_FALSE(dent.IsConvex());
}

TEST(PolygonTest, MirroringTransformKeepsTheTurn)
{
    PolygonF p(0, 0, 4, 2);
    Qmv2::Matrix3x3 mirror;
    mirror.m00 = -1;
    p.Transform(mirror);
    EXPECT_TRUE(p.IsConvex());
    EXPECT_EQ(p.GetBounds().x, -4);
    EXPECT_TRUE(p.Contains(PointF(-1, 1)));
    Qmv2::Matrix3x3 move;
    move.m02 = 10;
    p.Transform(move);
    EXPECT_EQ(p.GetBounds().x, 6);
}

TEST(PolygonTest, Classify)
{
    const PolygonF a(0, 0, 10, 10);
    EXPECT_EQ(a.Classify(PolygonF(0, 0, 10, 10)), PolygonF::kInside);
    EXPECT_EQ(a.Classify(PolygonF(2, 2, 3, 3)), PolygonF::kInside);
    EXPECT_EQ(PolygonF(2, 2, 3, 3).Classify(a), PolygonF::kCrossing);   // rectangles inside the other's bounds
    EXPECT_EQ(a.Classify(PolygonF(5, 5, 10, 10)), PolygonF::kCrossing);
    EXPECT_EQ(a.Classify(PolygonF(20, 0, 5, 5)), PolygonF::kApart);
    const PolygonF small = Make({{4, 4}, {6, 4}, {5, 6}});
    EXPECT_EQ(small.Classify(a), PolygonF::kEnclosed);
    EXPECT_EQ(a.Classify(small), PolygonF::kInside);
    // Disjoint triangles whose bounds overlap.
    const PolygonF t1 = Make({{0, 0}, {10, 0}, {0, 10}});
    const PolygonF t2 = Make({{10, 2}, {10, 10}, {2, 10}});
    EXPECT_EQ(t1.Classify(t2), PolygonF::kApart);
    const PolygonF t3 = Make({{2, 2}, {12, 2}, {12, 12}});
    EXPECT_EQ(t1.Classify(t3), PolygonF::kCrossing);
    EXPECT_EQ(t1.Classify(Make({{0, 0}, {1, 1}})), PolygonF::kApart);
}

TEST(PolygonTest, AdjustForOutlinePullsInTheFarSides)
{
    PolygonF p(0, 0, 8, 6);
    p.AdjustForOutline();
    ExpectVertex(p, 0, 0, 0);
    ExpectVertex(p, 1, 7, 0);
    ExpectVertex(p, 2, 7, 5);
    ExpectVertex(p, 3, 0, 5);
    PolygonF dot = Make({{3, 3}, {3, 3}, {3, 3}});
    dot.AdjustForOutline();
    for (int i = 0; i < 3; ++i)
        ExpectVertex(dot, i, 3, 3);
}

TEST(PolygonTest, ColourAndTextureEdits)
{
    PolygonF p(0, 0, 2, 2);
    p.SetColor(Qmv2::Color(0x80402010u));
    p.MultiplyColor(Qmv2::Color(0.5f, 1, 1, 1));
    EXPECT_FLOAT_EQ(p.GetVertex(1).color.a, 0.5f * 128 / 255);
    EXPECT_TRUE(p.GetVertex(1).color.dirty);
    PolygonF q(0, 0, 2, 2);
    q.MultiplyColor(Qmv2::Color(1, 1, 1, 1));
    EXPECT_EQ(q.GetVertex(0).color, Qmv2::Color());
    q.MapTexture(0.5f, 0.25f, 0.5f, 0.5f, true, false);
    EXPECT_FLOAT_EQ(q.GetVertex(0).u, 1.0f);    // flipped to 1, halved, moved
    EXPECT_FLOAT_EQ(q.GetVertex(1).u, 0.5f);
    EXPECT_FLOAT_EQ(q.GetVertex(2).v, 0.75f);
}

TEST(PolygonTest, InterpolateFromTakesBarycentricWeights)
{
    PolygonF source(0, 0, 10, 10);
    source.SetColor(Qmv2::Color(1, 0, 0, 0));
    PolygonF target = Make({{5, 5}, {2.5f, 0}, {20, 20}});
    target.InterpolateFrom(source, 0x3C);
    EXPECT_NEAR(target.GetVertex(0).u, 0.5f, 1e-5f);
    EXPECT_NEAR(target.GetVertex(0).v, 0.5f, 1e-5f);
    EXPECT_NEAR(target.GetVertex(1).u, 0.25f, 1e-5f);
    EXPECT_NEAR(target.GetVertex(1).color.r, 0.0f, 1e-5f);
    EXPECT_EQ(target.GetVertex(2).u, 0);   // outside: defaults
    EXPECT_EQ(target.GetVertex(2).color, Qmv2::Color());
}

TEST(PolygonTest, IntersectOfRectanglesInterpolatesFromTheSecond)
{
    const PolygonF clip(5, 5, 20, 20);
    const PolygonF image(0, 0, 10, 10);
    PolygonF out;
    PolygonF::Intersect(clip, image, out, 0x3C);
    ASSERT_EQ(out.GetVertexCount(), 4);
    const float expected[4][4] = {{5, 5, 0.5f, 0.5f}, {10, 5, 1, 0.5f}, {10, 10, 1, 1}, {5, 10, 0.5f, 1}};
    for (int i = 0; i < 4; ++i) {
        ExpectVertex(out, i, expected[i][0], expected[i][1]);
        EXPECT_NEAR(out.GetVertex(i).u, expected[i][2], 1e-5f) << i;
        EXPECT_NEAR(out.GetVertex(i).v, expected[i][3], 1e-5f) << i;
    }
    EXPECT_TRUE(out.IsRectangle());
    // Without attributes only the positions change.
    PolygonF plain;
    PolygonF::Intersect(image, clip, plain, 0);
    ExpectVertex(plain, 0, 5, 5);
    ExpectVertex(plain, 2, 10, 10);
    EXPECT_EQ(plain.GetVertex(0).u, 0);
    // The result may be written over an input.
    PolygonF self(0, 0, 10, 10);
    PolygonF::Intersect(self, clip, self, 0);
    ExpectVertex(self, 0, 5, 5);
}

TEST(PolygonTest, IntersectLeavesConcaveInputAlone)
{
    const PolygonF dent = Make({{0, 0}, {4, 0}, {2, 1}, {4, 4}, {0, 4}});
    PolygonF out(1, 2, 3, 4);
    PolygonF::Intersect(dent, Make({{1, 1}, {5, 1}, {3, 5}}), out, 0x3C);
    ExpectVertex(out, 0, 1, 2);
    EXPECT_EQ(out.GetVertexCount(), 4);
}

// ---- Randomized comparison with a plain Sutherland-Hodgman clipper ----

struct P {
    double x, y;
};

std::vector<P> Clip(std::vector<P> subject, const std::vector<P>& clipper)
{
    const std::size_t n = clipper.size();
    for (std::size_t i = 0; i < n && !subject.empty(); ++i) {
        const P a = clipper[i];
        const P b = clipper[(i + 1) % n];
        auto side = [&](const P& p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); };
        std::vector<P> kept;
        for (std::size_t j = 0; j < subject.size(); ++j) {
            const P s = subject[j];
            const P e = subject[(j + 1) % subject.size()];
            const double ss = side(s);
            const double se = side(e);
            if (ss >= 0)
                kept.push_back(s);
            if ((ss >= 0) != (se >= 0)) {
                const double t = ss / (ss - se);
                kept.push_back({s.x + t * (e.x - s.x), s.y + t * (e.y - s.y)});
            }
        }
        subject = kept;
    }
    return subject;
}

double Area(const std::vector<P>& p)
{
    double twice = 0;
    for (std::size_t i = 0; i < p.size(); ++i)
        twice += p[i].x * p[(i + 1) % p.size()].y - p[(i + 1) % p.size()].x * p[i].y;
    return twice / 2;
}

std::vector<P> Points(const PolygonF& p)
{
    std::vector<P> out;
    for (const PolygonPointF& v : p.GetVertices())
        out.push_back({v.x, v.y});
    return out;
}

// A convex polygon with 3 to 8 corners on a circle, turning the positive way.
PolygonF RandomConvex(std::mt19937& rng)
{
    std::uniform_real_distribution<float> centre(-40, 40);
    std::uniform_real_distribution<float> radius(10, 60);
    std::uniform_real_distribution<float> angle(0, 2 * static_cast<float>(M_PI));
    std::uniform_int_distribution<int> corners(3, 8);
    const float cx = centre(rng), cy = centre(rng), r = radius(rng);
    std::vector<float> angles(corners(rng));
    for (float& a : angles)
        a = angle(rng);
    std::sort(angles.begin(), angles.end());
    PolygonF p;
    for (float a : angles)
        p.AddVertex(PolygonPointF(cx + r * std::cos(a), cy + r * std::sin(a)));
    return p;
}

// Texture and colour as affine functions of the position, so that every
// correct interpolation reproduces them.
float U(float x, float y) { return 0.01f * x - 0.004f * y + 0.5f; }
float V(float x, float y) { return 0.003f * x + 0.008f * y + 0.25f; }
float Red(float x, float y) { return 0.5f + 0.002f * x + 0.001f * y; }

TEST(PolygonTest, ConvexIntersectionAgreesWithSutherlandHodgman)
{
    std::mt19937 rng(20240607);
    int crossing = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const PolygonF a = RandomConvex(rng);
        PolygonF b = RandomConvex(rng);
        ASSERT_TRUE(a.IsConvex());
        ASSERT_TRUE(b.IsConvex());
        for (int i = 0; i < b.GetVertexCount(); ++i) {
            PolygonPointF v = b.GetVertex(i);
            v.u = U(v.x, v.y);
            v.v = V(v.x, v.y);
            v.color = Qmv2::Color(1, Red(v.x, v.y), 0.5f, 0.5f);
            b.SetVertex(i, v);
        }
        if (a.Classify(b) != PolygonF::kCrossing)
            continue;
        ++crossing;
        PolygonF out;
        PolygonF::Intersect(a, b, out, 0x3C);
        const std::vector<P> expected = Clip(Points(b), Points(a));
        SCOPED_TRACE("trial " + std::to_string(trial));
        const double area = Area(expected);
        EXPECT_NEAR(Area(Points(out)), area, 0.01 + 1e-4 * std::fabs(area));
        EXPECT_TRUE(out.IsConvex() || out.GetVertexCount() < 3);
        for (const PolygonPointF& v : out.GetVertices()) {
            // Every corner lies on or inside both polygons...
            for (const PolygonF* p : {&a, static_cast<const PolygonF*>(&b)}) {
                for (int i = 0; i < p->GetVertexCount(); ++i) {
                    const PolygonPointF& s = p->GetVertex(i);
                    const PolygonPointF& e = p->GetVertex((i + 1) % p->GetVertexCount());
                    const double len = std::hypot(e.x - s.x, e.y - s.y);
                    const double cross = (e.x - s.x) * (v.y - s.y) - (e.y - s.y) * (v.x - s.x);
                    EXPECT_GE(cross / len, -0.01);
                }
            }
            // ...and carries the attributes of its place in b.
            EXPECT_NEAR(v.u, U(v.x, v.y), 1e-3f);
            EXPECT_NEAR(v.v, V(v.x, v.y), 1e-3f);
            EXPECT_NEAR(v.color.r, Red(v.x, v.y), 1e-3f);
        }
        if (HasFailure())
            break;
    }
    EXPECT_GT(crossing, 500);
}

TEST(PolygonTest, ConvexIntersectionOfOnePolygonInsideTheOther)
{
    const PolygonF big = Make({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {-10, 50}});
    PolygonF small = Make({{40, 40}, {60, 40}, {50, 60}});
    PolygonF out;
    PolygonF::Intersect(big, small, out, 0x3C);
    EXPECT_EQ(out.GetVertexCount(), 3);
    EXPECT_NEAR(Area(Points(out)), Area(Points(small)), 1e-3);
    PolygonF::Intersect(small, big, out, 0);
    EXPECT_NEAR(Area(Points(out)), Area(Points(small)), 1e-3);
}

} // namespace

}  // namespace polygon_test
