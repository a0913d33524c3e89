#include <gtest/gtest.h>

#include <memory>

#include "../RendererFixture.h"
#include "ImageFixtures.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/image/DecodedImage.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/Mask.h"

namespace mask_test {

using namespace Qmv2;
using namespace imagetest;

namespace {

SmartPtr<Mask> LoadedMask(const std::string& file, std::int32_t kind)
{
    SmartPtr<Mask> mask(new Mask(Fixture(file), kind));
    mask->Load();
    return mask;
}

std::vector<std::uint8_t> Bytes(const Mask& mask)
{
    return mask.GetMaskData() != nullptr ? mask.GetMaskData()->GetData() : std::vector<std::uint8_t>();
}

}  // namespace

TEST(MaskTest, ThresholdPacksBitsFirstPixelHighest)
{
    // Values 0, 127, 128, 129, 255, 0, 0, 0, 255 in a 3 x 3 mask.
    SmartPtr<Mask> mask = LoadedMask("threshold.png", Mask::kAlphaMask);
    ASSERT_TRUE(mask->IsLoaded());
    ASSERT_FALSE(mask->HasFailed());
    EXPECT_EQ(mask->GetMaskData()->GetBitsPerPixel(), 8);
    mask->ApplyThreshold(128.0f);
    EXPECT_EQ(mask->GetKind(), Mask::kBitMask);
    EXPECT_EQ(mask->GetMaskData()->GetBitsPerPixel(), 1);
    EXPECT_EQ(Bytes(*mask), (std::vector<std::uint8_t>{0x38, 0x80}));
    EXPECT_TRUE(mask->HitTest(2, 0));
    EXPECT_TRUE(mask->HitTest(1, 1));
    EXPECT_FALSE(mask->HitTest(1, 0));
    EXPECT_TRUE(mask->HitTest(2, 2));
    EXPECT_FALSE(mask->HitTest(3, 0));
    EXPECT_FALSE(mask->HitTest(-1, 0));
    // Packing again changes nothing: the values are gone.
    mask->ApplyThreshold(0.0f);
    EXPECT_EQ(Bytes(*mask), (std::vector<std::uint8_t>{0x38, 0x80}));
}

TEST(MaskTest, ThresholdIsTruncatedAndClamped)
{
    struct Case {
        float threshold;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {0.0f, {0xFF, 0x80}}, {0.9f, {0xFF, 0x80}}, {-5.0f, {0xFF, 0x80}}, {300.0f, {0x08, 0x80}},
        {254.9f, {0x08, 0x80}}, {128.7f, {0x38, 0x80}}, {129.0f, {0x18, 0x80}},
    };
    for (const Case& test : cases) {
        SmartPtr<Mask> mask = LoadedMask("threshold.png", Mask::kAlphaMask);
        mask->ApplyThreshold(test.threshold);
        EXPECT_EQ(Bytes(*mask), test.bytes) << test.threshold;
    }
    EXPECT_EQ(Mask::ClampThreshold(254.9f), 254);
    EXPECT_EQ(Mask::ClampThreshold(255.5f), 255);
}

TEST(MaskTest, KindsFromTheDescriptionLastOneWins)
{
    SmartPtr<PropertyNode> node(new PropertyNode("hit", "Mask"));
    node->AddChild(new PropertyValue("alphamask", "Masks/A.png", true));
    node->AddChild(new PropertyValue("colorlut", "masks/lut.png", true));
    SmartPtr<Mask> mask(new Mask(node.Get()));
    EXPECT_EQ(mask->GetKind(), Mask::kColorLut);
    EXPECT_EQ(mask->GetFileName(), "masks/lut.png");
    EXPECT_NE(mask->ToString().find("\"masks/lut.png\""), std::string::npos);
    EXPECT_EQ(mask->ToString().substr(mask->ToString().size() - 5), " Mask");

    SmartPtr<PropertyNode> bits(new PropertyNode("hit", "Mask"));
    bits->AddChild(new PropertyValue("bitmask", "b.png", true));
    EXPECT_EQ(SmartPtr<Mask>(new Mask(bits.Get()))->GetKind(), Mask::kBitMask);
    EXPECT_EQ(SmartPtr<Mask>(new Mask(nullptr))->GetKind(), Mask::kAlphaMask);
}

TEST(MaskTest, FileKindsGiveTheirLayouts)
{
    SmartPtr<Mask> alpha = LoadedMask("rgba8.png", Mask::kAlphaMask);
    ASSERT_NE(alpha->GetMaskData(), nullptr);
    EXPECT_EQ(Bytes(*alpha), std::vector<std::uint8_t>(kAlpha.begin(), kAlpha.end()));

    SmartPtr<Mask> grey = LoadedMask("grey8.png", Mask::kAlphaMask);
    EXPECT_EQ(Bytes(*grey), std::vector<std::uint8_t>(kGrey.begin(), kGrey.end()));
    grey->SetThreshold(170.0f);
    EXPECT_FALSE(grey->HitTest(1, 0));
    EXPECT_TRUE(grey->HitTest(2, 0));

    SmartPtr<Mask> lut = LoadedMask("rgba8.png", Mask::kColorLut);
    ASSERT_EQ(lut->GetMaskData()->GetBitsPerPixel(), 32);
    EXPECT_EQ(lut->GetMaskData()->GetData().size(), 32u);
    for (std::int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(lut->GetMaskData()->GetColor(i % 4, i / 4),
                  Argb(kAlpha[i], kColours[i][0], kColours[i][1], kColours[i][2]))
            << i;
    }
    EXPECT_EQ(lut->HitTest(1, 0), false);  // alpha 0
    EXPECT_EQ(lut->HitTest(0, 0), true);

    // A bit mask file holds bits once loaded, packed with its threshold.
    SmartPtr<Mask> bits = LoadedMask("threshold.png", Mask::kBitMask);
    EXPECT_EQ(bits->GetMaskData()->GetBitsPerPixel(), 1);
    EXPECT_EQ(Bytes(*bits), (std::vector<std::uint8_t>{0x38, 0x80}));
}

TEST(MaskTest, FailedLoadsAreSettledWithUnspecifiedError)
{
    for (const std::string& name : {std::string(), Fixture("missing.png"), Fixture("colour.jpg")}) {
        SmartPtr<Mask> mask(new Mask(name, Mask::kAlphaMask));
        mask->Load();
        EXPECT_TRUE(mask->IsLoaded()) << name;
        EXPECT_EQ(mask->GetErrorCode(), ResourceObject::kErrorUnspecified) << name;
        EXPECT_EQ(mask->GetMaskData(), nullptr) << name;
        EXPECT_FALSE(mask->HitTest(0, 0));
    }
    SmartPtr<Mask> mask = LoadedMask("grey8.png", Mask::kAlphaMask);
    mask->Unload();
    EXPECT_FALSE(mask->IsLoaded());
    EXPECT_EQ(mask->GetErrorCode(), ResourceObject::kErrorNone);
    EXPECT_EQ(mask->GetMaskData(), nullptr);
}

TEST(MaskTest, MemoryReadingThroughTheFileLoader)
{
    const std::uint32_t saved = s_DefaultLoadFlags;
    // Any non-zero default reads the whole file first; scrambled plain files
    // are not involved since the resource's own flags say "file".
    s_DefaultLoadFlags = LOAD_SCRAMBLED;
    SmartPtr<PropertyNode> node(new PropertyNode("m", "Mask"));
    node->AddChild(new PropertyValue("alphamask", Fixture("grey8.png"), true));
    node->AddChild(new PropertyValue("archive", "file", true));
    SmartPtr<Mask> mask(new Mask(node.Get()));
    mask->Load();
    s_DefaultLoadFlags = saved;
    EXPECT_FALSE(mask->HasFailed());
    EXPECT_EQ(Bytes(*mask), std::vector<std::uint8_t>(kGrey.begin(), kGrey.end()));

    std::vector<std::uint8_t> bytes = ReadBytes(Fixture("grey8.png"));
    bytes.resize(bytes.size() - 30);
    EXPECT_EQ(ReadPngMaskMemory(bytes.data(), bytes.size(), 0), nullptr);
    EXPECT_EQ(ReadPngMaskMemory(bytes.data(), 3, 0), nullptr);
    EXPECT_EQ(ReadPngMaskFile(Fixture("missing.png"), 0), nullptr);
    DecodedImage image;
    image.width = 1;
    image.height = 1;
    image.channels = 3;
    image.pixels = {1, 2, 3};
    EXPECT_EQ(MakeMaskData(image, 3), nullptr);
    EXPECT_EQ(MakeMaskData(image, -1), nullptr);
    std::unique_ptr<MaskData> red(MakeMaskData(image, 1));
    EXPECT_EQ(red->GetValue(0, 0), 1);
}

using MaskFromFrameTest = graphicstest::RendererFixture;

TEST_F(MaskFromFrameTest, AlphaOfTheFrameRectangleWithoutMarkingItModified)
{
    SmartPtr<ImageData> data(renderer_->CreateTexture(8, 4));
    ASSERT_TRUE(data->Lock(false));
    auto* bits = static_cast<std::uint8_t*>(data->GetBits());
    for (std::int32_t y = 0; y < 4; ++y) {
        for (std::int32_t x = 0; x < 8; ++x) {
            // Solid where x + y is even.
            reinterpret_cast<std::uint32_t*>(bits + y * data->GetPitch())[x] = (x + y) % 2 == 0 ? 0xC0112233u : 0x10112233u;
        }
    }
    data->Unlock();
    data->SetModified(false);
    SmartPtr<Image> image(new Image(data.Get(), 2, 2));
    SmartPtr<Mask> mask(new Mask(image->GetFrame(1), 100.0f));
    EXPECT_TRUE(mask->IsLoaded());
    EXPECT_FALSE(data->IsModified());
    EXPECT_EQ(mask->GetKind(), Mask::kBitMask);
    ASSERT_EQ(mask->GetMaskData()->GetWidth(), 4);
    ASSERT_EQ(mask->GetMaskData()->GetHeight(), 4);
    // Frame 1 starts at x 4: its (0, 0) is the texture's (4, 0), solid.
    EXPECT_TRUE(mask->HitTest(0, 0));
    EXPECT_FALSE(mask->HitTest(1, 0));
    EXPECT_TRUE(mask->HitTest(1, 1));
    EXPECT_FALSE(mask->HitTest(4, 0));

    SmartPtr<Mask> none(new Mask(nullptr, 128.0f));
    EXPECT_FALSE(none->IsLoaded());
    EXPECT_EQ(none->GetMaskData()->GetWidth(), 0);
    EXPECT_FALSE(none->HitTest(0, 0));
}

}  // namespace mask_test
