#include <gtest/gtest.h>

#include <fstream>

#include "../RendererFixture.h"
#include "ImageFixtures.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/GraphicsCommands.h"
#include "framework/graphics/image/Mask.h"
#include "framework/graphics/image/ResourceImage.h"

namespace resource_image_test {

using namespace Qmv2;
using namespace imagetest;

namespace {

SmartPtr<PropertyNode> Node(std::initializer_list<std::pair<const char*, std::string>> keys)
{
    SmartPtr<PropertyNode> node(new PropertyNode("image", "Image"));
    for (const auto& [key, text] : keys) {
        node->AddChild(new PropertyValue(key, text, true));
    }
    return node;
}

SmartPtr<ResourceImage> Loaded(std::initializer_list<std::pair<const char*, std::string>> keys)
{
    SmartPtr<PropertyNode> node = Node(keys);
    SmartPtr<ResourceImage> resource(new ResourceImage(node.Get()));
    resource->Load();
    return resource;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

using ResourceImageTest = graphicstest::RendererFixture;

}  // namespace

TEST(ResourceImagePropertiesTest, KeysAndTheirDefaults)
{
    SmartPtr<ResourceImage> plain(new ResourceImage(Node({{"file", "a.png"}}).Get()));
    EXPECT_EQ(plain->GetFrameCount(), 1);
    EXPECT_EQ(plain->GetColumnCount(), 1);
    EXPECT_FALSE(plain->HasPadding());
    EXPECT_EQ(plain->GetUseAlphaChannel(), ResourceImage::kAlphaAsLoaded);

    EXPECT_TRUE(SmartPtr<ResourceImage>(new ResourceImage(Node({{"padding", "0"}}).Get()))->HasPadding());
    EXPECT_FALSE(SmartPtr<ResourceImage>(new ResourceImage(Node({{"padding", "false"}}).Get()))->HasPadding());
    EXPECT_FALSE(SmartPtr<ResourceImage>(new ResourceImage(Node({{"padding", ""}}).Get()))->HasPadding());

    SmartPtr<ResourceImage> rows(new ResourceImage(Node({{"framecount", "6"}, {"rowcount", "2"}}).Get()));
    EXPECT_EQ(rows->GetFrameCount(), 6);
    EXPECT_EQ(rows->GetColumnCount(), 3);
    SmartPtr<ResourceImage> grid(new ResourceImage(Node({{"columncount", "0x4"}, {"rowcount", "2"}}).Get()));
    EXPECT_EQ(grid->GetFrameCount(), 8);
    EXPECT_EQ(grid->GetColumnCount(), 4);
    SmartPtr<ResourceImage> zero(new ResourceImage(Node({{"columncount", "0"}, {"rowcount", "99999999"}}).Get()));
    EXPECT_EQ(zero->GetColumnCount(), 1);
    EXPECT_EQ(zero->GetFrameCount(), Image::kMaxGridFrames);

    EXPECT_EQ(SmartPtr<ResourceImage>(new ResourceImage(Node({{"usealphachannel", "yes"}}).Get()))->GetUseAlphaChannel(),
              ResourceImage::kAlphaOn);
    EXPECT_EQ(SmartPtr<ResourceImage>(new ResourceImage(Node({{"usealphachannel", "false"}}).Get()))->GetUseAlphaChannel(),
              ResourceImage::kAlphaOff);

    SmartPtr<ResourceImage> described(new ResourceImage(Node({{"file", "Images/Logo.XML"}}).Get()));
    EXPECT_EQ(described->GetDescriptionFileName(), "images/logo.xml");
    EXPECT_EQ(described->GetFileName(), "");
}

TEST(ResourceImagePropertiesTest, SameFileNeedsTheSameMask)
{
    SmartPtr<ResourceImage> a(new ResourceImage("images/a.png", "masks/one.png", 1));
    SmartPtr<ResourceImage> b(new ResourceImage("images/a.png", "masks/two.png", 1));
    SmartPtr<ResourceImage> c(new ResourceImage("Images/A.png", "masks/one.png", 1));
    SmartPtr<ResourceImage> none(new ResourceImage("", "masks/one.png", 1));
    SmartPtr<Mask> mask(new Mask("images/a.png", Mask::kAlphaMask));
    EXPECT_FALSE(a->HasSameFile(*b));
    EXPECT_TRUE(a->HasSameFile(*c));
    EXPECT_FALSE(none->HasSameFile(*none));
    EXPECT_FALSE(a->HasSameFile(*mask));
}

TEST(ResourceImagePropertiesTest, RegisteredWithTheFactory)
{
    RegisterGraphicsCommands();
    SmartPtr<PropertyNode> node = Node({{"file", "x.png"}});
    SmartPtr<BaseObject> image(ObjectFactory::GetInstance()->Create("Image", node.Get()));
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->IsOfType(&ResourceImage::s_Type));
    EXPECT_EQ(static_cast<ResourceImage*>(image.Get())->GetFileName(), "x.png");
    SmartPtr<BaseObject> mask(ObjectFactory::GetInstance()->Create("Mask", Node({{"bitmask", "m.png"}}).Get()));
    ASSERT_TRUE(mask);
    EXPECT_TRUE(mask->IsOfType(&Mask::s_Type));
}

TEST_F(ResourceImageTest, PlainFileGivesOneImage)
{
    for (const char* file : {"rgba8.png", "colour.jpg"}) {
        SmartPtr<ResourceImage> resource = Loaded({{"file", Fixture(file)}});
        EXPECT_TRUE(resource->IsLoaded());
        EXPECT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone) << file;
        Image* image = resource->GetFirstImage();
        ASSERT_NE(image, nullptr) << file;
        EXPECT_EQ(resource->GetImage(""), image);
        EXPECT_EQ(image->GetFrameCount(), 1);
        EXPECT_EQ(resource->GetContent(), resource.Get());
    }
    SmartPtr<ResourceImage> rgba = Loaded({{"file", Fixture("rgba8.png")}});
    const std::string text = rgba->ToString();
    EXPECT_EQ(text.substr(text.size() - 3), "4x2");
    EXPECT_NE(text.find(" Loaded."), std::string::npos);
}

TEST_F(ResourceImageTest, ErrorCodesOfFailedLoads)
{
    const std::string truncated = Fixture("truncated.png");
    std::vector<std::uint8_t> bytes = ReadBytes(Fixture("sheet.png"));
    bytes.resize(bytes.size() / 2);
    WriteBytes(truncated, bytes);
    const std::string notImage = Fixture("notimage.png");
    WriteText(notImage, "just text");
    struct Case {
        std::string file;
        std::int32_t error;
    };
    const Case cases[] = {
        {"", ResourceObject::kErrorFileNameEmpty},
        {Fixture("missing.png"), ResourceObject::kErrorFileNotFound},
        {truncated, ResourceObject::kErrorInvalidFormat},
        {notImage, ResourceObject::kErrorInvalidFormat},
        {Fixture("unknown.txt"), ResourceObject::kErrorFileNotFound},
    };
    for (const Case& test : cases) {
        SmartPtr<ResourceImage> resource = Loaded({{"file", test.file}});
        EXPECT_TRUE(resource->IsLoaded()) << test.file;
        EXPECT_EQ(resource->GetErrorCode(), test.error) << test.file;
        EXPECT_EQ(resource->GetFirstImage(), nullptr) << test.file;
    }
    // A file no loader takes: nothing made, unspecified.
    WriteText(Fixture("picture.bmp"), "BM");
    SmartPtr<ResourceImage> bmp = Loaded({{"file", Fixture("picture.bmp")}});
    EXPECT_EQ(bmp->GetErrorCode(), ResourceObject::kErrorUnspecified);
}

TEST_F(ResourceImageTest, WideSheetIsSplitByColumns)
{
    SmartPtr<ResourceImage> split = Loaded({{"file", Fixture("wide.png")}, {"columncount", "4"}});
    ASSERT_EQ(split->GetErrorCode(), ResourceObject::kErrorNone);
    Image* image = split->GetFirstImage();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->GetFrameCount(), 4);
    for (std::int32_t i = 0; i < 4; ++i) {
        ImageData* data = image->GetFrame(i)->GetImageData();
        EXPECT_EQ(data->GetWidth(), 512);
        EXPECT_EQ(data->GetHeight(), 512);
        // Red counts the sheet's x in steps of 8.
        EXPECT_EQ(PixelAt(*data, 0, 0), Argb(255, 64 * i, 0, 3)) << i;
        EXPECT_EQ(PixelAt(*data, 511, 511), Argb(255, 64 * i + 63, 63, 3)) << i;
        for (std::int32_t j = 0; j < i; ++j) {
            EXPECT_NE(data, image->GetFrame(j)->GetImageData());
        }
    }
    SmartPtr<ResourceImage> whole = Loaded({{"file", Fixture("wide.png")}});
    EXPECT_EQ(whole->GetErrorCode(), ResourceObject::kErrorTooBig);
    EXPECT_EQ(whole->GetFirstImage(), nullptr);
    EXPECT_EQ(Loaded({{"file", Fixture("toowide.png")}})->GetErrorCode(), ResourceObject::kErrorTooBig);
    SmartPtr<ResourceImage> halves = Loaded({{"file", Fixture("toowide.png")}, {"columncount", "2"}});
    ASSERT_EQ(halves->GetErrorCode(), ResourceObject::kErrorNone);
    EXPECT_EQ(halves->GetFirstImage()->GetFrame(1)->GetImageData()->GetWidth(), 550);
}

TEST_F(ResourceImageTest, SeparateFramesAndOneSheet)
{
    SmartPtr<ResourceImage> sheet = Loaded({{"file", Fixture("sheet.png")}, {"columncount", "4"}});
    Image* image = sheet->GetFirstImage();
    ASSERT_EQ(image->GetFrameCount(), 4);
    EXPECT_EQ(image->GetFrame(3)->GetImageData(), image->GetFrame(0)->GetImageData());
    EXPECT_EQ(image->GetFrame(2)->GetPixelRect().x, 128);

    SmartPtr<ResourceImage> separate =
        Loaded({{"file", Fixture("sheet.png")}, {"columncount", "4"}, {"separateframes", "true"}});
    Image* frames = separate->GetFirstImage();
    ASSERT_EQ(frames->GetFrameCount(), 4);
    EXPECT_NE(frames->GetFrame(3)->GetImageData(), frames->GetFrame(0)->GetImageData());
    EXPECT_EQ(PixelAt(*frames->GetFrame(2)->GetImageData(), 0, 0), Argb(255, 128, 0, 7));
    EXPECT_EQ(frames->GetColumnCount(), 4);
}

TEST_F(ResourceImageTest, UseAlphaChannelOverridesTheLoader)
{
    EXPECT_TRUE(Loaded({{"file", Fixture("rgba8.png")}})->GetFirstImage()->GetFirstFrame()->GetImageData()->HasAlpha());
    EXPECT_FALSE(Loaded({{"file", Fixture("rgba8.png")}, {"usealphachannel", "false"}})
                     ->GetFirstImage()->GetFirstFrame()->GetImageData()->HasAlpha());
    EXPECT_TRUE(Loaded({{"file", Fixture("rgb8.png")}, {"usealphachannel", "1"}})
                    ->GetFirstImage()->GetFirstFrame()->GetImageData()->HasAlpha());
}

TEST_F(ResourceImageTest, DescriptionWithNamedImagesBesideIt)
{
    const std::string description = Fixture("sheets.xml");
    WriteText(description, R"(<?xml version="1.0" encoding="utf-8" ?>
<root>
	<Node id="image" file="sheet.png">
		<Vector id="images">
			<Node name="left" x="0" y="0" width="128" height="64" columncount="2" />
			<Node name="right" minx="128" y="0" width="128" height="64" />
			<Node name="left" x="0" y="0" width="64" height="64" />
		</Vector>
	</Node>
</root>
)");
    SmartPtr<ResourceImage> resource = Loaded({{"file", description}});
    ASSERT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone);
    EXPECT_EQ(resource->GetFileName(), Fixture("sheet.png"));
    EXPECT_EQ(resource->GetImageCount(), 2);
    ASSERT_NE(resource->GetImage("right"), nullptr);
    EXPECT_EQ(resource->GetImage("right")->GetFirstFrame()->GetPixelRect().x, 128);
    // The later "left" replaced the earlier one.
    ASSERT_NE(resource->GetImage("left"), nullptr);
    EXPECT_EQ(resource->GetImage("left")->GetFrameCount(), 1);
    EXPECT_EQ(resource->GetImage("left")->GetFirstFrame()->GetPixelRect().width, 64);

    const std::string single = Fixture("single.xml");
    WriteText(single, R"(<root><Node id="image" file="strip.png" width="64" height="32" framecount="4" rowcount="2" /></root>)");
    SmartPtr<ResourceImage> grid = Loaded({{"file", single}});
    ASSERT_NE(grid->GetImage(""), nullptr);
    EXPECT_EQ(grid->GetImage("")->GetFrameCount(), 4);
    EXPECT_EQ(grid->GetImage("")->GetFrame(3)->GetPixelRect().y, 16);
    EXPECT_EQ(grid->GetImage("")->GetFrame(3)->GetPixelRect().x, 32);
}

TEST_F(ResourceImageTest, UnreadableDescriptions)
{
    // Its name became the description: no file is left, so the name is missing.
    SmartPtr<ResourceImage> missing = Loaded({{"file", Fixture("nothing.xml")}});
    EXPECT_EQ(missing->GetErrorCode(), ResourceObject::kErrorFileNameEmpty);
    // With a mask named, the description's own failure shows.
    SmartPtr<ResourceImage> withMask = Loaded({{"file", Fixture("nothing.xml")}, {"mask", Fixture("mask.png")}});
    EXPECT_EQ(withMask->GetErrorCode(), ResourceObject::kErrorSubResource);
    const std::string noImage = Fixture("noimage.xml");
    WriteText(noImage, "<root><Node id=\"other\" /></root>");
    EXPECT_EQ(Loaded({{"file", noImage}, {"mask", Fixture("mask.png")}})->GetErrorCode(),
              ResourceObject::kErrorSubResource);
}

TEST_F(ResourceImageTest, MaskOnlyResourceIsAnAlphaOnlyTexture)
{
    SmartPtr<ResourceImage> resource = Loaded({{"mask", Fixture("mask.png")}});
    ASSERT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone);
    ImageData* data = resource->GetFirstImage()->GetFirstFrame()->GetImageData();
    EXPECT_TRUE(data->IsAlphaOnly());
    for (std::int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(PixelAt(*data, i % 4, i / 4), Argb(kGrey[i], 255, 255, 255));
    }
}

TEST_F(ResourceImageTest, MaskIsMergedIntoAlphaAndTheImageStaysUnloadable)
{
    SmartPtr<ResourceImage> resource = Loaded({{"file", Fixture("strip.png")}, {"mask", Fixture("stripmask.png")}});
    ASSERT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone);
    ImageData* data = resource->GetFirstImage()->GetFirstFrame()->GetImageData();
    EXPECT_FALSE(data->IsAlphaOnly());
    EXPECT_TRUE(data->HasAlpha());
    EXPECT_FALSE(data->IsModified());
    // Mask value x * 4 + y * 64 (mod 256); colour red = x, green = y.
    EXPECT_EQ(PixelAt(*data, 3, 1), Argb(76, 3, 1, 1));
    EXPECT_EQ(PixelAt(*data, 63, 31), Argb((63 * 4 + 31 * 64) % 256, 63, 31, 1));
    resource->Unload();
    EXPECT_FALSE(resource->IsLoaded());
    EXPECT_EQ(resource->GetFirstImage(), nullptr);
}

TEST_F(ResourceImageTest, MaskPerSeparateFrame)
{
    SmartPtr<ResourceImage> resource = Loaded({{"file", Fixture("strip.png")},
                                              {"mask", Fixture("stripmask.png")},
                                              {"columncount", "4"},
                                              {"separateframes", "1"}});
    ASSERT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone);
    Image* image = resource->GetFirstImage();
    ASSERT_EQ(image->GetFrameCount(), 4);
    for (std::int32_t i = 0; i < 4; ++i) {
        ImageData* data = image->GetFrame(i)->GetImageData();
        EXPECT_EQ(PixelAt(*data, 1, 2), Argb(((16 * i + 1) * 4 + 2 * 64) % 256, 16 * i + 1, 2, 1)) << i;
    }
}

TEST_F(ResourceImageTest, MaskSmallerThanItsImageIsRefused)
{
    SmartPtr<ResourceImage> resource = Loaded({{"file", Fixture("strip.png")}, {"mask", Fixture("smallmask.png")}});
    EXPECT_EQ(resource->GetErrorCode(), ResourceObject::kErrorSubResource);
    ASSERT_NE(resource->GetFirstImage(), nullptr);
    ImageData* data = resource->GetFirstImage()->GetFirstFrame()->GetImageData();
    EXPECT_EQ(PixelAt(*data, 40, 20) >> 24, 255u);
    EXPECT_FALSE(data->IsModified());
    SmartPtr<ResourceImage> broken = Loaded({{"file", Fixture("strip.png")}, {"mask", Fixture("colour.jpg")}});
    EXPECT_EQ(broken->GetErrorCode(), ResourceObject::kErrorSubResource);
}

TEST_F(ResourceImageTest, PixelsDrawnByTheProgramSurviveUnloadAndLoad)
{
    SmartPtr<ResourceImage> resource = Loaded({{"file", Fixture("rgb8.png")}});
    ImageData* data = resource->GetFirstImage()->GetFirstFrame()->GetImageData();
    ASSERT_TRUE(data->Lock(false));
    static_cast<std::uint32_t*>(data->GetBits())[0] = 0xFF123456u;
    data->Unlock();
    resource->Unload();
    EXPECT_TRUE(resource->IsLoaded());
    resource->Load();
    ASSERT_EQ(resource->GetFirstImage()->GetFirstFrame()->GetImageData(), data);
    EXPECT_EQ(PixelAt(*data, 0, 0), 0xFF123456u);
}

TEST_F(ResourceImageTest, MadeByCodeWithFrames)
{
    SmartPtr<ResourceImage> resource(new ResourceImage(Fixture("sheet.png"), "", 4));
    resource->Load();
    ASSERT_NE(resource->GetFirstImage(), nullptr);
    // One column: four frames stacked.
    EXPECT_EQ(resource->GetFirstImage()->GetFrameCount(), 4);
    EXPECT_EQ(resource->GetFirstImage()->GetFrame(3)->GetPixelRect().y, 48);
}

}  // namespace resource_image_test
