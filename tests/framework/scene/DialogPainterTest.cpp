#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/scene/DialogPainter.h"
#include "framework/scene/SceneClasses.h"

namespace dialog_painter_test {

using Qmv2::DialogPainter;
using Qmv2::PainterFrameSizes;
using Qmv2::PainterLayout;
using Qmv2::PainterPart;
using Qmv2::PainterTiling;
using Qmv2::PropertyNode;
using Qmv2::RectF;
using Qmv2::SmartPtr;

namespace {

SmartPtr<DialogPainter> MakePainter(std::vector<std::pair<std::string, std::string>> keys)
{
    SmartPtr<PropertyNode> node(new PropertyNode("painter", "DialogPainter"));
    for (const auto& [key, text] : keys) {
        node->AddChild(new Qmv2::PropertyValue(key, "", text));
    }
    Qmv2::RegisterSceneClasses();
    Qmv2::BaseObject* made = Qmv2::ObjectFactory::GetInstance()->Create("DialogPainter", node.Get());
    EXPECT_NE(made, nullptr);
    return SmartPtr<DialogPainter>(static_cast<DialogPainter*>(made));
}

PainterFrameSizes Square(float size)
{
    PainterFrameSizes sizes;
    sizes.width.fill(size);
    sizes.height.fill(size);
    return sizes;
}

const PainterPart* FindPart(const PainterLayout& layout, std::int32_t frame)
{
    for (const PainterPart& part : layout.parts) {
        if (part.frame == frame) {
            return &part;
        }
    }
    return nullptr;
}

std::vector<float> Columns(const PainterTiling& tiling)
{
    std::vector<float> xs;
    for (std::int32_t c = 0; c < tiling.columns; ++c) {
        xs.push_back(tiling.TileAt(c, 0).x);
    }
    return xs;
}

void ExpectRect(const RectF& r, float x, float y, float w, float h, const char* what)
{
    EXPECT_FLOAT_EQ(r.x, x) << what;
    EXPECT_FLOAT_EQ(r.y, y) << what;
    EXPECT_FLOAT_EQ(r.width, w) << what;
    EXPECT_FLOAT_EQ(r.height, h) << what;
}

}  // namespace

TEST(DialogPainterTest, NineSixteenPixelFramesOverAHundredBySixty)
{
    SmartPtr<DialogPainter> painter = MakePainter({});
    const PainterLayout layout = painter->ComputeLayout(Square(16.0f), RectF{}, 100.0f, 60.0f);
    EXPECT_FLOAT_EQ(layout.width, 100.0f);
    EXPECT_FALSE(layout.fillCentre);
    ExpectRect(layout.centre, 16.0f, 16.0f, 68.0f, 28.0f, "centre");

    std::vector<std::int32_t> order;
    for (const PainterPart& part : layout.parts) {
        order.push_back(part.frame);
    }
    EXPECT_EQ(order, (std::vector<std::int32_t>{4, 1, 7, 3, 5, 0, 2, 6, 8})) << "centre, edges, then corners on top";

    ExpectRect(FindPart(layout, 1)->area, 16.0f, 0.0f, 68.0f, 16.0f, "top edge covers x 16 to 84");
    ExpectRect(FindPart(layout, 7)->area, 16.0f, 44.0f, 68.0f, 16.0f, "bottom edge");
    ExpectRect(FindPart(layout, 3)->area, 0.0f, 16.0f, 16.0f, 28.0f, "left edge");
    ExpectRect(FindPart(layout, 5)->area, 84.0f, 16.0f, 16.0f, 28.0f, "right edge");
    EXPECT_EQ(Columns(FindPart(layout, 1)->tiling), (std::vector<float>{16, 32, 48, 64, 80}))
        << "the grid starts at the edge's left end; only the last tile is cut";
    EXPECT_EQ(FindPart(layout, 1)->tiling.rows, 1);
    EXPECT_EQ(FindPart(layout, 3)->tiling.rows, 2);

    const std::pair<std::int32_t, std::pair<float, float>> corners[] = {
        {0, {0, 0}}, {2, {84, 0}}, {6, {0, 44}}, {8, {84, 44}}};
    for (const auto& [frame, at] : corners) {
        const PainterTiling& tiling = FindPart(layout, frame)->tiling;
        EXPECT_EQ(tiling.GetCount(), 1) << "corner " << frame << " is drawn once";
        EXPECT_FLOAT_EQ(tiling.origin.x, at.first) << "corner " << frame;
        EXPECT_FLOAT_EQ(tiling.origin.y, at.second) << "corner " << frame;
    }
}

TEST(DialogPainterTest, CentredImagesSplitTheCutTilesEqually)
{
    SmartPtr<DialogPainter> painter = MakePainter({{"centerimages", "yes"}});
    ASSERT_TRUE(painter->GetCenterImages());
    const PainterLayout layout = painter->ComputeLayout(Square(16.0f), RectF{}, 100.0f, 60.0f);
    // 68 wide in 16-pixel tiles: 80 - 68 = 12 over, 6 cut at each end.
    EXPECT_EQ(Columns(FindPart(layout, 1)->tiling), (std::vector<float>{10, 26, 42, 58, 74}));
    const PainterTiling& centre = FindPart(layout, 4)->tiling;
    // 28 high: 32 - 28 = 4 over, the first row starts 2 above the area.
    EXPECT_FLOAT_EQ(centre.origin.y, 14.0f);
    EXPECT_EQ(centre.rows, 2);
    EXPECT_FLOAT_EQ(FindPart(layout, 0)->tiling.origin.x, 0.0f) << "corners are never shifted";

    EXPECT_FALSE(MakePainter({{"centerimages", "false"}})->GetCenterImages());
    EXPECT_FALSE(MakePainter({{"centerimages", ""}})->GetCenterImages());
}

TEST(DialogPainterTest, ZeroSizedTilesAndAreasGiveNoTilesAndEndAtOnce)
{
    const RectF area{0.0f, 0.0f, 100.0f, 60.0f};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& [w, h] : std::vector<std::pair<float, float>>{{0, 16}, {16, 0}, {0, 0}, {-4, 16}, {nan, 16},
                                                                   {16, nan}}) {
        for (bool centred : {false, true}) {
            EXPECT_EQ(DialogPainter::Tile(area, w, h, centred).GetCount(), 0) << w << " x " << h;
        }
    }
    EXPECT_EQ(DialogPainter::Tile(RectF{5, 5, 0, 60}, 16, 16, false).GetCount(), 0) << "empty area";
    EXPECT_EQ(DialogPainter::Tile(RectF{5, 5, -30, 60}, 16, 16, true).GetCount(), 0) << "negative area";
    EXPECT_EQ(DialogPainter::Tile(RectF{0, 0, inf, 60}, 16, 16, false).GetCount(), 0) << "endless area";

    const PainterTiling tiny = DialogPainter::Tile(RectF{0, 0, 1.0e9f, 1.0e9f}, 1.0e-6f, 1.0e-6f, false);
    EXPECT_GT(tiny.columns, 0);
    EXPECT_LE(tiny.columns, 16384) << "a degenerate tile is bounded, not counted out";
    EXPECT_LE(tiny.rows, 16384);

    // A frame of zero size is a missing part: it is not drawn and counts as 0.
    PainterFrameSizes sizes = Square(16.0f);
    sizes.width[1] = 0.0f;
    sizes.height[4] = 0.0f;
    SmartPtr<DialogPainter> painter = MakePainter({});
    const PainterLayout layout = painter->ComputeLayout(sizes, RectF{}, 100.0f, 60.0f);
    EXPECT_EQ(FindPart(layout, 1), nullptr);
    EXPECT_EQ(FindPart(layout, 4), nullptr);
    EXPECT_TRUE(layout.fillCentre) << "no centre frame: the centre is a plain fill";
    EXPECT_EQ(layout.parts.size(), 7u);

    // A target smaller than its corners leaves the edges with no room.
    const PainterLayout small = painter->ComputeLayout(Square(16.0f), RectF{}, 20.0f, 20.0f);
    EXPECT_EQ(FindPart(small, 1)->tiling.GetCount(), 0);
    EXPECT_EQ(FindPart(small, 4)->tiling.GetCount(), 0);
    EXPECT_EQ(FindPart(small, 8)->tiling.GetCount(), 1);
}

TEST(DialogPainterTest, OffsetsReplaceTheEdgeInsetsAndAnOwnRectangleItsSize)
{
    SmartPtr<DialogPainter> alone = MakePainter({{"offsetleft", "10"}});
    ASSERT_TRUE(alone->GetOffsets().has_value());
    const PainterLayout layout = alone->ComputeLayout(Square(16.0f), RectF{}, 100.0f, 60.0f);
    ExpectRect(layout.centre, 10.0f, 0.0f, 90.0f, 60.0f, "the other insets are 0, not the edge sizes");

    SmartPtr<DialogPainter> all =
        MakePainter({{"offsetleft", "#4"}, {"offsetright", "0x8"}, {"offsettop", "3"}, {"offsetbottom", "5"}});
    EXPECT_EQ(all->GetOffsets()->left, 4);
    EXPECT_EQ(all->GetOffsets()->right, 8);
    const PainterLayout placed = all->ComputeLayout(Square(16.0f), RectF{20.0f, 30.0f, 200.0f, 100.0f}, 800, 600);
    EXPECT_FLOAT_EQ(placed.width, 200.0f) << "a rectangle with a size paints at that size";
    EXPECT_FLOAT_EQ(placed.height, 100.0f);
    ExpectRect(placed.centre, 24.0f, 33.0f, 188.0f, 92.0f, "centre");
    EXPECT_FLOAT_EQ(FindPart(placed, 8)->tiling.origin.x, 204.0f);
    EXPECT_FLOAT_EQ(FindPart(placed, 8)->tiling.origin.y, 114.0f);

    EXPECT_FALSE(MakePainter({})->GetOffsets().has_value());
}

TEST(DialogPainterTest, ColoursFromTheirKeys)
{
    SmartPtr<DialogPainter> painter =
        MakePainter({{"clearcolor", "#102030"}, {"centercolor", "0xFF8000"}, {"centeralpha", "0.5"}});
    EXPECT_FLOAT_EQ(painter->GetClearColor().r, 16.0f / 255.0f);
    EXPECT_FLOAT_EQ(painter->GetClearColor().b, 48.0f / 255.0f);
    EXPECT_FLOAT_EQ(painter->GetCenterColor().r, 1.0f);
    EXPECT_FLOAT_EQ(painter->GetCenterColor().g, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(painter->GetCenterColor().a, 0.5f);

    SmartPtr<DialogPainter> plain = MakePainter({});
    EXPECT_FLOAT_EQ(plain->GetCenterColor().a, 1.0f) << "opaque black by default";
    EXPECT_FLOAT_EQ(plain->GetCenterColor().r, 0.0f);
}

TEST(DialogPainterTest, SizesSnapSoThatTheEdgesTileWhole)
{
    PainterFrameSizes sizes;
    for (int corner : {0, 2, 6, 8}) {
        sizes.width[corner] = 16.0f;
        sizes.height[corner] = 16.0f;
    }
    for (int edge : {1, 7}) {
        sizes.width[edge] = 10.0f;
    }
    for (int edge : {3, 5}) {
        sizes.height[edge] = 12.0f;
    }
    EXPECT_FLOAT_EQ(DialogPainter::SnapWidth(sizes, 100.0f), 102.0f);
    EXPECT_FLOAT_EQ(DialogPainter::SnapWidth(sizes, 20.0f), 32.0f) << "never below the corners";
    EXPECT_FLOAT_EQ(DialogPainter::SnapWidth(sizes, 42.0f), 42.0f) << "an exact fit stays";
    EXPECT_FLOAT_EQ(DialogPainter::SnapHeight(sizes, 50.0f), 56.0f);

    // Without corners the side edges are the fixed part; without edges the centre tiles.
    PainterFrameSizes sides;
    sides.width[3] = 5.0f;
    sides.width[5] = 7.0f;
    sides.width[4] = 20.0f;
    EXPECT_FLOAT_EQ(DialogPainter::SnapWidth(sides, 50.0f), 52.0f);
    EXPECT_FLOAT_EQ(DialogPainter::SnapWidth(PainterFrameSizes{}, 37.5f), 37.5f) << "no frames: as asked";

    // A painter without images fetches nothing and keeps the request.
    SmartPtr<DialogPainter> painter = MakePainter({{"section", "gamescene"}});
    EXPECT_FLOAT_EQ(painter->AdjustWidth(77.0f), 77.0f);
    EXPECT_TRUE(painter->IsLoaded());
    EXPECT_EQ(painter->GetImage(0), nullptr);
}

TEST(DialogPainterTest, ImageNamesAndSectionFromTheNode)
{
    SmartPtr<PropertyNode> node(new PropertyNode("painter", "DialogPainter"));
    node->AddChild(new Qmv2::PropertyValue("section", "", "gamescene"));
    auto* images = new Qmv2::PropertyVector("images");
    for (const char* name : {"frame_tl", "", "frame_tr"}) {
        images->AddItem(new Qmv2::PropertyValue("", "String", name));
    }
    node->AddChild(images);
    DialogPainter painter(node.Get());
    EXPECT_EQ(painter.GetSection(), "gamescene");
    ASSERT_EQ(painter.GetImageNames().GetCount(), 3);
    EXPECT_EQ(painter.GetImageNames()[0], "frame_tl");
    EXPECT_EQ(painter.GetImageNames()[1], "");
    EXPECT_TRUE(painter.IsDirty());
    // No resource manager: every frame is missing, and asking is safe at any index.
    EXPECT_EQ(painter.GetImage(2), nullptr);
    EXPECT_EQ(painter.GetImage(9), nullptr);
    EXPECT_EQ(painter.GetImage(-1), nullptr);
    const PainterFrameSizes sizes = painter.GetFrameSizes();
    EXPECT_FLOAT_EQ(sizes.width[0], 0.0f);
}

}  // namespace dialog_painter_test
