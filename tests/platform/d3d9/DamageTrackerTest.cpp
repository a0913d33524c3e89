// Which rectangles of the back buffer a frame changes, from the operations of
// the frame before and of this one.
#include "platform/d3d9/gl/DamageTracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace damage_tracker_test {

namespace {

using platform::d3d9::DamageTracker;
using platform::d3d9::PixelRect;
using platform::d3d9::RecordedDraw;
using platform::d3d9::VertexLayout;

constexpr int kTrackerWidth = 800;
constexpr int kTrackerHeight = 600;

VertexLayout Layout()
{
    VertexLayout layout;
    layout.pretransformed = true;
    layout.positionOffset = 0;
    layout.colorOffset = 16;
    layout.size = 20;
    return layout;
}

// A quad over [left, right) x [top, bottom) in one colour, as a fan.
RecordedDraw Quad(float left, float top, float right, float bottom, DWORD colour = 0xFFFFFFFFu)
{
    RecordedDraw draw;
    draw.type = D3DPT_TRIANGLEFAN;
    draw.layout = Layout();
    draw.stride = 20;
    draw.count = 4;
    const float corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    for (const auto& c : corners) {
        const float vertex[4] = {c[0], c[1], 0.0f, 1.0f};
        const auto* bytes = reinterpret_cast<const BYTE*>(vertex);
        draw.vertices.insert(draw.vertices.end(), bytes, bytes + sizeof vertex);
        const auto* colourBytes = reinterpret_cast<const BYTE*>(&colour);
        draw.vertices.insert(draw.vertices.end(), colourBytes, colourBytes + sizeof colour);
    }
    draw.bounds = DamageTracker::DrawBounds(draw.type, draw.layout, draw.stride, draw.vertices, kTrackerWidth, kTrackerHeight);
    return draw;
}

RecordedDraw WholeClear()
{
    RecordedDraw clear;
    clear.clear = true;
    clear.color = 0xFF102030u;
    clear.bounds = {0, 0, kTrackerWidth, kTrackerHeight};
    return clear;
}

std::vector<RecordedDraw> Frame(std::vector<RecordedDraw> draws)
{
    std::vector<RecordedDraw> frame;
    frame.push_back(WholeClear());
    for (RecordedDraw& draw : draws) {
        frame.push_back(std::move(draw));
    }
    return frame;
}

bool Covers(const std::vector<PixelRect>& rects, int x, int y)
{
    for (const PixelRect& r : rects) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            return true;
        }
    }
    return false;
}

TEST(DamageTrackerTest, ADrawsRectangleHoldsEveryPixelItMayTouchWithinTheTarget)
{
    // Pixel x covers [x - 0.5, x + 0.5]: a triangle takes the pixels whose
    // centres it holds (one on its edge may be taken), a line reaches half a
    // pixel further.
    const RecordedDraw quad = Quad(10.2f, 20.7f, 30.5f, 40.0f);
    EXPECT_EQ(quad.bounds.left, 11);
    EXPECT_EQ(quad.bounds.top, 21);
    EXPECT_EQ(quad.bounds.right, 31);
    EXPECT_EQ(quad.bounds.bottom, 41);
    RecordedDraw lines = Quad(10.2f, 20.7f, 30.5f, 40.0f);
    lines.type = D3DPT_LINESTRIP;
    lines.bounds = DamageTracker::DrawBounds(lines.type, lines.layout, lines.stride, lines.vertices, kTrackerWidth, kTrackerHeight);
    EXPECT_EQ(lines.bounds.left, 10);
    EXPECT_EQ(lines.bounds.top, 21);
    EXPECT_EQ(lines.bounds.right, 32);
    EXPECT_EQ(lines.bounds.bottom, 41);
    const RecordedDraw outside = Quad(-50.0f, -50.0f, 900.0f, 700.0f);
    EXPECT_EQ(outside.bounds.left, 0);
    EXPECT_EQ(outside.bounds.top, 0);
    EXPECT_EQ(outside.bounds.right, kTrackerWidth);
    EXPECT_EQ(outside.bounds.bottom, kTrackerHeight);
    const RecordedDraw lost = Quad(std::nanf(""), 0.0f, 10.0f, 10.0f);
    EXPECT_EQ(lost.bounds.Area(), static_cast<long long>(kTrackerWidth) * kTrackerHeight) << "a position not a number";
}

TEST(DamageTrackerTest, OnlyTheOperationsThatDifferAreDamaged)
{
    const auto before = [] {
        std::vector<RecordedDraw> draws;
        draws.push_back(Quad(0, 0, 100, 100));
        draws.push_back(Quad(200, 200, 220, 220));
        draws.push_back(Quad(500, 500, 520, 520));
        return Frame(std::move(draws));
    };
    EXPECT_TRUE(DamageTracker::Damage(before(), before(), kTrackerWidth, kTrackerHeight).empty()) << "the same frame again";
    EXPECT_TRUE(DamageTracker::StartsWithFullClear(before(), kTrackerWidth, kTrackerHeight));

    // One quad's alpha changes: only its rectangle, not the others'.
    std::vector<RecordedDraw> faded;
    faded.push_back(Quad(0, 0, 100, 100));
    faded.push_back(Quad(200, 200, 220, 220, 0x80FFFFFFu));
    faded.push_back(Quad(500, 500, 520, 520));
    std::vector<PixelRect> damage = DamageTracker::Damage(before(), Frame(std::move(faded)), kTrackerWidth, kTrackerHeight);
    ASSERT_EQ(damage.size(), 1u);
    EXPECT_TRUE(Covers(damage, 200, 200));
    EXPECT_TRUE(Covers(damage, 219, 219));
    EXPECT_FALSE(Covers(damage, 50, 50));
    EXPECT_FALSE(Covers(damage, 510, 510));

    // A quad moves: its old and its new place.
    std::vector<RecordedDraw> moved;
    moved.push_back(Quad(0, 0, 100, 100));
    moved.push_back(Quad(300, 100, 320, 120));
    moved.push_back(Quad(500, 500, 520, 520));
    damage = DamageTracker::Damage(before(), Frame(std::move(moved)), kTrackerWidth, kTrackerHeight);
    EXPECT_TRUE(Covers(damage, 210, 210));
    EXPECT_TRUE(Covers(damage, 310, 110));
    EXPECT_FALSE(Covers(damage, 510, 510));

    // Added in the middle and removed: matched from both ends, the rest stays.
    std::vector<RecordedDraw> added;
    added.push_back(Quad(0, 0, 100, 100));
    added.push_back(Quad(600, 50, 650, 90));
    added.push_back(Quad(200, 200, 220, 220));
    added.push_back(Quad(500, 500, 520, 520));
    damage = DamageTracker::Damage(before(), Frame(std::move(added)), kTrackerWidth, kTrackerHeight);
    EXPECT_TRUE(Covers(damage, 620, 70));
    EXPECT_FALSE(Covers(damage, 210, 210));
    EXPECT_FALSE(Covers(damage, 50, 50));
    std::vector<RecordedDraw> removed;
    removed.push_back(Quad(0, 0, 100, 100));
    removed.push_back(Quad(500, 500, 520, 520));
    damage = DamageTracker::Damage(before(), Frame(std::move(removed)), kTrackerWidth, kTrackerHeight);
    EXPECT_TRUE(Covers(damage, 210, 210));
    EXPECT_FALSE(Covers(damage, 510, 510));

    // A state that decides the pixels (here the blend) counts as a change.
    std::vector<RecordedDraw> blended = before();
    blended[2].renderStates[D3DRS_SRCBLEND] = 2;
    damage = DamageTracker::Damage(before(), blended, kTrackerWidth, kTrackerHeight);
    EXPECT_TRUE(Covers(damage, 210, 210));
    // So does a texture's stamp (its pixels changed).
    std::vector<RecordedDraw> restamped = before();
    restamped[3].textureStamp = 99;
    damage = DamageTracker::Damage(before(), restamped, kTrackerWidth, kTrackerHeight);
    EXPECT_TRUE(Covers(damage, 510, 510));
    EXPECT_FALSE(Covers(damage, 210, 210));
}

// Sprites of one texture are drawn as one triangle list: one sprite moving
// damages its old and new place, not the whole batch.
TEST(DamageTrackerTest, OneSpriteOfABatchMovingDamagesOnlyItsPlaces)
{
    const auto batch = [](float movedX) {
        RecordedDraw list;
        list.type = D3DPT_TRIANGLELIST;
        list.layout = Layout();
        list.stride = 20;
        for (float x : {100.0f, movedX, 600.0f}) {
            const RecordedDraw quad = Quad(x, 100, x + 20, 120);
            const BYTE* v = quad.vertices.data();
            for (int corner : {0, 1, 2, 0, 2, 3}) {
                list.vertices.insert(list.vertices.end(), v + corner * 20, v + corner * 20 + 20);
            }
        }
        list.count = 18;
        list.bounds =
            DamageTracker::DrawBounds(list.type, list.layout, list.stride, list.vertices, kTrackerWidth, kTrackerHeight);
        std::vector<RecordedDraw> draws;
        draws.push_back(std::move(list));
        return Frame(std::move(draws));
    };
    EXPECT_TRUE(DamageTracker::Damage(batch(300), batch(300), kTrackerWidth, kTrackerHeight).empty());
    const std::vector<PixelRect> damage = DamageTracker::Damage(batch(300), batch(350), kTrackerWidth, kTrackerHeight);
    EXPECT_TRUE(Covers(damage, 305, 110));
    EXPECT_TRUE(Covers(damage, 365, 110));
    EXPECT_FALSE(Covers(damage, 110, 110));
    EXPECT_FALSE(Covers(damage, 610, 110));
}

TEST(DamageTrackerTest, RectanglesMergeWhereTheyOverlapAndIntoAFewAtMost)
{
    std::vector<PixelRect> rects{{0, 0, 10, 10}, {5, 5, 20, 20}, {100, 100, 110, 110}};
    std::vector<PixelRect> merged = DamageTracker::Merge(rects);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_TRUE(Covers(merged, 19, 19));
    EXPECT_TRUE(Covers(merged, 105, 105));

    std::vector<PixelRect> many;
    for (int i = 0; i < 10; ++i) {
        many.push_back({i * 70, i * 50, i * 70 + 5, i * 50 + 5});
    }
    merged = DamageTracker::Merge(many);
    EXPECT_LE(merged.size(), DamageTracker::kMaxRects);
    for (const PixelRect& r : many) {
        EXPECT_TRUE(Covers(merged, r.left, r.top) && Covers(merged, r.right - 1, r.bottom - 1));
    }
}

// Scattered sprites moving: each one's old and new place become one
// rectangle, the rest stay apart (merging far ones would draw all the pixels
// between); past the cap, one holds them all.
TEST(DamageTrackerTest, ScatteredRectanglesStayApartUpToTheCapAndBeyondItBecomeOne)
{
    const auto scattered = [](int count, bool moved) {
        std::vector<PixelRect> rects;
        for (int i = 0; i < count; ++i) {
            const int x = (i % 8) * 120;
            const int y = (i / 8) * 120;
            rects.push_back({x, y, x + 36, y + 36});  // the old place
            if (moved) {
                rects.push_back({x + 3, y + 1, x + 39, y + 37});  // the new one
            }
        }
        return rects;
    };
    std::vector<PixelRect> merged = DamageTracker::Merge(scattered(50, true));
    ASSERT_EQ(merged.size(), 50u);
    long long area = 0;
    for (const PixelRect& r : merged) {
        area += r.Area();
    }
    EXPECT_EQ(area, 50LL * 39 * 37) << "no pixel between the sprites";

    const size_t beyond = DamageTracker::kMaxRects + 1;
    const std::vector<PixelRect> many = scattered(static_cast<int>(beyond), false);
    ASSERT_LE(many.size(), DamageTracker::kManyRects) << "merged one by one first";
    merged = DamageTracker::Merge(many);
    ASSERT_EQ(merged.size(), 1u);
    for (const PixelRect& r : many) {
        EXPECT_TRUE(Covers(merged, r.left, r.top) && Covers(merged, r.right - 1, r.bottom - 1));
    }
}

}  // namespace

}  // namespace damage_tracker_test
