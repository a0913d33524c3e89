// Images cut from property descriptions: frame lists, grids and rectangles.
#include <gtest/gtest.h>

#include <string>

#include "RendererFixture.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/graphics/image/Image.h"

namespace image_description_test {

using namespace Qmv2;

namespace {

class ImageDescriptionTest : public graphicstest::RendererFixture {
protected:
    void SetUp() override
    {
        RendererFixture::SetUp();
        data_ = SmartPtr<ImageData>(renderer_->CreateTexture(120, 60));
        ASSERT_TRUE(data_);
    }
    // The node "image" of `xml`, which is the inside of a root node.
    PropertyNode* Describe(const std::string& xml)
    {
        holder_ = SmartPtr<PropertyNode>(new PropertyNode("holder"));
        const std::string text = "<Node id=\"root\">" + xml + "</Node>";
        EXPECT_TRUE(PropertyXmlReader::ReadInto(*holder_, text.c_str(), true));
        PropertyNode* image = holder_->GetNode("image");
        EXPECT_NE(image, PropertyNode::GetEmpty()) << "no node \"image\" in " << xml;
        return image;
    }
    ImageRect Rect(const std::string& attributes) { return Image::ReadRectangle(Describe("<Node id=\"image\" " + attributes + "/>")); }
    SmartPtr<Image> Make(const std::string& xml) { return SmartPtr<Image>(new Image(Describe(xml), data_.Get())); }

    SmartPtr<ImageData> data_;
    SmartPtr<PropertyNode> holder_;
};

void ExpectRect(const ImageRect& r, int x, int y, int w, int h)
{
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

}  // namespace

TEST_F(ImageDescriptionTest, RectangleKeysPlaceByEitherEdge)
{
    ExpectRect(Rect(""), 0, 0, 0, 0);
    ExpectRect(Rect("x=\"3\" y=\"0x10\" width=\"#20\" height=\"7\""), 3, 16, 32, 7);
    ExpectRect(Rect("width=\"-32\" minx=\"10\""), 42, 0, -32, 0);
    ExpectRect(Rect("width=\"32\" maxx=\"100\""), 68, 0, 32, 0);
    ExpectRect(Rect("width=\"32\" minx=\"10\""), 10, 0, 32, 0);
    ExpectRect(Rect("width=\"-32\" maxx=\"100\""), 100, 0, -32, 0);
    ExpectRect(Rect("height=\"-8\" miny=\"4\""), 0, 12, 0, -8);
    ExpectRect(Rect("height=\"8\" maxy=\"50\""), 0, 42, 0, 8);
    // The later key wins whatever the order of the attributes in the file.
    ExpectRect(Rect("maxx=\"100\" x=\"5\" width=\"10\""), 90, 0, 10, 0);
    // Extreme numbers stay in range instead of wrapping.
    ExpectRect(Rect("width=\"-2147483648\" minx=\"2147483647\""), 2147483647, 0, INT32_MIN, 0);
    ExpectRect(Rect("width=\"2147483647\" maxx=\"-2147483648\""), INT32_MIN, 0, 2147483647, 0);
}

TEST_F(ImageDescriptionTest, FrameListKeepsRectanglesAndOffsets)
{
    SmartPtr<Image> image = Make(R"(<Node id="image"><Vector id="frames">
        <Node x="0" y="0" width="40" height="30" offsetx="1.5"/>
        <Node x="40" y="30" width="-40" height="30" offsety="-2"/>
        <Integer>7</Integer>
    </Vector></Node>)");
    ASSERT_EQ(image->GetFrameCount(), 3);
    EXPECT_EQ(image->GetColumnCount(), 1);
    ExpectRect(image->GetFrame(0)->GetPixelRect(), 0, 0, 40, 30);
    EXPECT_FLOAT_EQ(image->GetFrame(0)->GetOffset().x, 1.5f);
    EXPECT_FLOAT_EQ(image->GetFrame(0)->GetOffset().y, 0.0f);
    ExpectRect(image->GetFrame(1)->GetPixelRect(), 40, 30, -40, 30);
    EXPECT_FLOAT_EQ(image->GetFrame(1)->GetOffset().y, -2.0f);
    EXPECT_FLOAT_EQ(image->GetFrame(1)->GetRect().u, 40.0f / 120.0f);
    EXPECT_FLOAT_EQ(image->GetFrame(1)->GetRect().width, -40.0f / 120.0f);
    // An entry that is not a node reads as the empty node.
    ExpectRect(image->GetFrame(2)->GetPixelRect(), 0, 0, 0, 0);
    EXPECT_EQ(image->GetFrame(2)->GetImageData(), data_.Get());
}

TEST_F(ImageDescriptionTest, GridCountsFromColumnsRowsAndFrames)
{
    struct Case {
        const char* attributes;
        int frames;
        int lastX;
        int lastY;
        int width;
        int height;
    };
    const Case cases[] = {
        {R"(width="120" height="60")", 1, 0, 0, 120, 60},
        {R"(width="120" height="60" columncount="4")", 4, 90, 0, 30, 60},
        {R"(width="120" height="60" framecount="6" rowcount="2")", 6, 80, 30, 40, 30},
        {R"(width="120" height="60" columncount="4" rowcount="2")", 8, 90, 30, 30, 30},
        {R"(width="120" height="60" columncount="2" framecount="3")", 3, 0, 30, 60, 30},
        {R"(width="120" height="60" framecount="3")", 3, 0, 40, 120, 20},
        {R"(x="10" y="5" width="100" height="50" columncount="5")", 5, 90, 5, 20, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        SmartPtr<Image> image = Make(std::string("<Node id=\"image\" ") + c.attributes + "/>");
        ASSERT_EQ(image->GetFrameCount(), c.frames);
        ExpectRect(image->GetFrame(c.frames - 1)->GetPixelRect(), c.lastX, c.lastY, c.width, c.height);
    }
}

TEST_F(ImageDescriptionTest, ZeroNegativeAndHugeCountsStayUsable)
{
    // rowcount 0 must not divide by zero; zero and negative counts mean 1.
    SmartPtr<Image> zeroRows = Make(R"(<Node id="image" width="120" height="60" framecount="4" rowcount="0"/>)");
    EXPECT_EQ(zeroRows->GetFrameCount(), 4);
    SmartPtr<Image> negative = Make(R"(<Node id="image" width="120" height="60" columncount="-3" framecount="-1"/>)");
    ASSERT_EQ(negative->GetFrameCount(), 1);
    ExpectRect(negative->GetFrame(0)->GetPixelRect(), 0, 0, 120, 60);
    SmartPtr<Image> huge = Make(R"(<Node id="image" width="120" height="60" columncount="100000" rowcount="100000"/>)");
    EXPECT_EQ(huge->GetFrameCount(), Image::kMaxGridFrames);
}

}  // namespace image_description_test
