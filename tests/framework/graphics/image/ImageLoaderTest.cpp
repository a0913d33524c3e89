#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../RendererFixture.h"
#include "ImageFixtures.h"
#include "framework/graphics/image/ImageLoaderJPG.h"
#include "framework/graphics/image/ImageLoaderPNG.h"
#include "framework/graphics/image/JpegDecoder.h"
#include "framework/graphics/image/MaskData.h"

namespace image_loader_test {

using namespace Qmv2;
using namespace imagetest;

namespace {

using Expected = std::function<std::uint32_t(std::size_t)>;

std::uint32_t Grey(std::size_t i, std::uint32_t alpha = 255)
{
    return Argb(alpha, kGrey[i], kGrey[i], kGrey[i]);
}

std::uint32_t Colour(std::size_t i, std::uint32_t alpha = 255)
{
    return Argb(alpha, kColours[i][0], kColours[i][1], kColours[i][2]);
}

struct PngCase {
    const char* file;
    Expected expected;
};

const std::vector<PngCase>& PngCases()
{
    static const std::array<std::array<std::uint8_t, 3>, 4> palette4 = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}}};
    static const std::array<std::uint8_t, 8> indices4 = {0, 1, 2, 3, 3, 2, 1, 0};
    static const std::array<std::uint8_t, 4> paletteAlpha = {255, 128, 0, 255};
    static const std::array<std::uint8_t, 8> indices16 = {0, 5, 10, 15, 15, 10, 5, 0};
    static const std::array<std::uint8_t, 8> indices256 = {0, 50, 100, 150, 200, 250, 255, 1};
    static const std::vector<PngCase> cases = {
        {"grey1.png", [](std::size_t i) { return kGrey[i] >= 128 ? Argb(255, 255, 255, 255) : Argb(255, 0, 0, 0); }},
        {"grey2.png", [](std::size_t i) { return Grey(i); }},
        {"grey4.png", [](std::size_t i) { return Grey(i); }},
        {"grey8.png", [](std::size_t i) { return Grey(i); }},
        {"grey16.png", [](std::size_t i) { return Grey(i); }},
        {"greytrns.png", [](std::size_t i) { return Grey(i, kGrey[i] == 85 ? 0 : 255); }},
        {"greyalpha8.png", [](std::size_t i) { return Grey(i, kAlpha[i]); }},
        {"greyalpha16.png", [](std::size_t i) { return Grey(i, kAlpha[i]); }},
        {"palette2.png",
         [](std::size_t i) {
             const auto& c = palette4[indices4[i]];
             return Argb(255, c[0], c[1], c[2]);
         }},
        {"palette4.png",
         [](std::size_t i) {
             const std::uint32_t n = indices16[i];
             return Argb(255, n * 16, 255 - n * 16, n);
         }},
        {"palette8.png",
         [](std::size_t i) {
             const std::uint32_t n = indices256[i];
             return Argb(255, n, 255 - n, (n * 7) % 256);
         }},
        {"palettetrns.png",
         [](std::size_t i) {
             const auto& c = palette4[indices4[i]];
             return Argb(paletteAlpha[indices4[i]], c[0], c[1], c[2]);
         }},
        {"rgb8.png", [](std::size_t i) { return Colour(i); }},
        {"rgb16.png", [](std::size_t i) { return Colour(i); }},
        {"rgba8.png", [](std::size_t i) { return Colour(i, kAlpha[i]); }},
        {"rgba8text.png", [](std::size_t i) { return Colour(i, kAlpha[i]); }},
        {"rgba16.png", [](std::size_t i) { return Colour(i, kAlpha[i]); }},
        {"interlaced.png", [](std::size_t i) { return Colour(i, kAlpha[i]); }},
    };
    return cases;
}

// Fully transparent pixels may carry any colour after a tool's palette
// reduction: only their alpha is compared.
void ExpectPixels(ImageData& data, const Expected& expected, const std::string& what)
{
    bool anyAlpha = false;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::uint32_t want = expected(i);
        const std::uint32_t got = PixelAt(data, static_cast<std::int32_t>(i % 4), static_cast<std::int32_t>(i / 4));
        anyAlpha = anyAlpha || (want >> 24) != 255;
        if ((want >> 24) == 0) {
            EXPECT_EQ(got >> 24, 0u) << what << " pixel " << i;
        } else {
            EXPECT_EQ(got, want) << what << " pixel " << i << std::hex << " got " << got << " want " << want;
        }
    }
    EXPECT_EQ(data.HasAlpha(), anyAlpha) << what;
    EXPECT_FALSE(data.IsAlphaOnly()) << what;
    EXPECT_FALSE(data.IsModified()) << what;
}

// What a piece of work cost when run in a child process: whether it returned
// true, how far the child's peak resident size rose above what it held at the
// start, and the processor time it took (not wall time, which load stretches).
struct ChildCost {
    bool passed = false;
    long peakGrowthKb = 0;
    double cpuSeconds = 0;
};

double CpuSeconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

ChildCost CostInChild(const std::function<bool()>& work)
{
    int channel[2];
    if (::pipe(channel) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        ChildCost cost;
        cost.passed = work();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        cost.peakGrowthKb = after.ru_maxrss - before.ru_maxrss;
        cost.cpuSeconds = CpuSeconds(after) - CpuSeconds(before);
        const bool written = ::write(channel[1], &cost, sizeof(cost)) == static_cast<ssize_t>(sizeof(cost));
        ::_exit(written ? 0 : 1);  // no exit handlers: they belong to the parent (the fixture folder)
    }
    ::close(channel[1]);
    ChildCost cost;
    const bool read = child > 0 && ::read(channel[0], &cost, sizeof(cost)) == static_cast<ssize_t>(sizeof(cost));
    ::close(channel[0]);
    int status = 0;
    if (child > 0) {
        ::waitpid(child, &status, 0);
    }
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? cost : ChildCost{};
}

class ImageLoaderTest : public graphicstest::RendererFixture {
protected:
    // Loads the file through the loader, from disk or from its bytes.
    bool LoadWith(iImageLoader& loader, const std::string& file, bool fromMemory, std::uint32_t flags = 0,
                  std::int32_t frames = 1, std::int32_t columns = 1)
    {
        bytes_ = ReadBytes(Fixture(file));
        loader.SetPath(Fixture(file));
        loader.SetMemory(fromMemory ? bytes_.data() : nullptr, static_cast<std::int32_t>(bytes_.size()));
        loader.SetFlags(flags);
        loader.SetFrames(frames, columns);
        return loader.Load();
    }

    std::vector<std::uint8_t> bytes_;
};

class PaddingLoaderTest : public ImageLoaderTest {
protected:
    void Customise(graphicstest::FakeConfig& config) override { config.caps.TextureCaps |= D3DPTEXTURECAPS_POW2; }
};

}  // namespace

TEST_F(ImageLoaderTest, EveryPngColourTypeAndDepthFromDiskAndMemory)
{
    for (const PngCase& test : PngCases()) {
        for (const bool fromMemory : {false, true}) {
            const std::string what = std::string(test.file) + (fromMemory ? " (memory)" : " (disk)");
            ImageLoaderPNG loader;
            std::int32_t width = 0;
            std::int32_t height = 0;
            bytes_ = ReadBytes(Fixture(test.file));
            loader.SetPath(Fixture(test.file));
            loader.SetMemory(fromMemory ? bytes_.data() : nullptr, static_cast<std::int32_t>(bytes_.size()));
            ASSERT_TRUE(loader.ReadSize(width, height)) << what;
            EXPECT_EQ(width, 4) << what;
            EXPECT_EQ(height, 2) << what;
            ASSERT_TRUE(LoadWith(loader, test.file, fromMemory)) << what;
            ASSERT_EQ(loader.GetImageData().GetCount(), 1) << what;
            ExpectPixels(*loader.GetImageData()[0], test.expected, what);
        }
    }
}

TEST_F(ImageLoaderTest, MaskOnlyPngGivesAlphaFromValueOrAlpha)
{
    ImageLoaderPNG loader;
    ASSERT_TRUE(LoadWith(loader, "grey8.png", true, iImageLoader::kMaskOnly));
    ImageData& grey = *loader.GetImageData()[0];
    EXPECT_TRUE(grey.IsAlphaOnly());
    EXPECT_TRUE(grey.HasAlpha());
    for (std::int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(PixelAt(grey, i % 4, i / 4), Argb(kGrey[i], 255, 255, 255)) << i;
    }
    ASSERT_TRUE(LoadWith(loader, "rgba8.png", false, iImageLoader::kMaskOnly));
    ImageData& rgba = *loader.GetImageData()[0];
    for (std::int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(PixelAt(rgba, i % 4, i / 4) >> 24, kAlpha[i]) << i;
    }
}

TEST_F(ImageLoaderTest, AlphaFlagFollowsTheFrame)
{
    ImageLoaderPNG loader;
    ASSERT_TRUE(LoadWith(loader, "opaque32.png", false));
    EXPECT_FALSE(loader.GetImageData()[0]->HasAlpha());
    ASSERT_TRUE(LoadWith(loader, "alpha254.png", false));
    EXPECT_TRUE(loader.GetImageData()[0]->HasAlpha());
    ASSERT_TRUE(LoadWith(loader, "rgb8.png", false));
    EXPECT_FALSE(loader.GetImageData()[0]->HasAlpha());
}

TEST_F(ImageLoaderTest, FrameSheetIsCutIntoTexturesPerFrame)
{
    ImageLoaderPNG loader;
    ASSERT_TRUE(LoadWith(loader, "sheet.png", true, 0, 4, 4));
    ASSERT_EQ(loader.GetImageData().GetCount(), 4);
    for (std::int32_t i = 0; i < 4; ++i) {
        ImageData& frame = *loader.GetImageData()[i];
        EXPECT_EQ(frame.GetWidth(), 64);
        EXPECT_EQ(frame.GetHeight(), 64);
        // Red carries the sheet's x, green its y.
        EXPECT_EQ(PixelAt(frame, 0, 0), Argb(255, 64 * i, 0, 7)) << i;
        EXPECT_EQ(PixelAt(frame, 63, 9), Argb(255, 64 * i + 63, 9, 7)) << i;
    }
    // Two rows: 3 frames in 2 columns of 128 x 32.
    ASSERT_TRUE(LoadWith(loader, "sheet.png", false, 0, 3, 2));
    ASSERT_EQ(loader.GetImageData().GetCount(), 3);
    EXPECT_EQ(loader.GetImageData()[2]->GetWidth(), 128);
    EXPECT_EQ(PixelAt(*loader.GetImageData()[2], 1, 2), Argb(255, 1, 34, 7));
}

TEST_F(ImageLoaderTest, FrameTooLargeForATextureFailsTheLoad)
{
    ImageLoaderPNG loader;
    EXPECT_FALSE(LoadWith(loader, "wide.png", false));
    EXPECT_EQ(loader.GetImageData().GetCount(), 0);
    EXPECT_TRUE(LoadWith(loader, "wide.png", false, 0, 2, 2));
}

TEST_F(PaddingLoaderTest, PaddingRepeatsTheLastColumnAndRow)
{
    ImageLoaderPNG loader;
    ASSERT_TRUE(LoadWith(loader, "pad100.png", false, iImageLoader::kPadding));
    ImageData& padded = *loader.GetImageData()[0];
    ASSERT_EQ(padded.GetTextureWidth(), 128);
    ASSERT_EQ(padded.GetTextureHeight(), 128);
    EXPECT_EQ(PixelAt(padded, 100, 40), PixelAt(padded, 99, 40));
    EXPECT_EQ(PixelAt(padded, 100, 40), Argb(255, 99, 40, 9));
    EXPECT_EQ(PixelAt(padded, 30, 100), Argb(255, 30, 99, 9));
    EXPECT_EQ(PixelAt(padded, 100, 100), Argb(255, 99, 99, 9));
    EXPECT_EQ(PixelAt(padded, 101, 40), 0x00FFFFFFu);

    ASSERT_TRUE(LoadWith(loader, "pad100.png", true, 0));
    ImageData& plain = *loader.GetImageData()[0];
    EXPECT_EQ(PixelAt(plain, 100, 40), 0x00FFFFFFu);
    EXPECT_EQ(PixelAt(plain, 30, 100), 0x00FFFFFFu);
}

// 512-byte pictures whose text, compressed text, international text,
// suggested palette, calibration or scale chunk claims 1.75 GB: each is
// refused as the damaged file it is, from memory and from disk, as an image
// and as a mask, without taking memory or time for the length it claims. (The
// same picture with small text chunks decodes as without them: rgba8text.png
// among the colour types above.)
TEST_F(ImageLoaderTest, PngChunksClaimingGigabytesCostNeitherMemoryNorTime)
{
    const std::vector<std::string> files = {"claimtext.png", "claimztxt.png", "claimitxt.png",
                                            "claimsplt.png", "claimpcal.png", "claimscal.png"};
    std::vector<std::vector<std::uint8_t>> contents;
    for (const std::string& file : files) {
        contents.push_back(ReadBytes(Fixture(file)));
        ASSERT_EQ(contents.back().size(), 512u) << file;
    }
    const ChildCost cost = CostInChild([&] {
        bool refused = true;
        for (std::size_t i = 0; i < files.size(); ++i) {
            for (const bool fromMemory : {false, true}) {
                ImageLoaderPNG loader;
                loader.SetPath(Fixture(files[i]));
                loader.SetMemory(fromMemory ? contents[i].data() : nullptr, 512);
                std::int32_t width = 0;
                std::int32_t height = 0;
                refused = refused && !loader.ReadSize(width, height) && !loader.Load();
            }
            const std::unique_ptr<MaskData> fromMemory(ReadPngMaskMemory(contents[i].data(), 512, 0));
            const std::unique_ptr<MaskData> fromDisk(ReadPngMaskFile(Fixture(files[i]), 0));
            refused = refused && fromMemory == nullptr && fromDisk == nullptr;
        }
        return refused;
    });
    EXPECT_TRUE(cost.passed);
    EXPECT_LT(cost.peakGrowthKb, 64 * 1024) << "peak resident size grew by " << cost.peakGrowthKb << " KB";
    EXPECT_LT(cost.cpuSeconds, 1.0);
}

// A 1 x 1 picture whose compressed data runs on past its pixel (512 KB that
// inflate to 480 MB) is refused without inflating what runs on, from memory
// and from disk, as an image and as a mask. (Pictures whose data ends where it
// should decode as before: those above, including an interlaced one.)
TEST_F(ImageLoaderTest, PngDataRunningOnPastThePictureCostsNoTime)
{
    const std::string file = Fixture("runon.png");
    const std::vector<std::uint8_t> contents = ReadBytes(file);
    const ChildCost cost = CostInChild([&] {
        bool refused = true;
        for (const bool fromMemory : {false, true}) {
            ImageLoaderPNG loader;
            loader.SetPath(file);
            loader.SetMemory(fromMemory ? contents.data() : nullptr, static_cast<std::int32_t>(contents.size()));
            refused = refused && !loader.Load();
        }
        const std::unique_ptr<MaskData> fromMemory(ReadPngMaskMemory(contents.data(), contents.size(), 0));
        const std::unique_ptr<MaskData> fromDisk(ReadPngMaskFile(file, 0));
        return refused && fromMemory == nullptr && fromDisk == nullptr;
    });
    EXPECT_TRUE(cost.passed);
    EXPECT_LT(cost.cpuSeconds, 0.5);
}

// The bound on data running on past the last row holds whatever libpng has
// read ahead of the row: 300 bytes decode, past 4 KB is refused, in one IDAT
// chunk, in 512-byte ones, and behind a chunk holding only the head of the
// block that runs on (where libpng stops reading).
TEST_F(ImageLoaderTest, PngDataRunningOnPastFourKilobytesIsRefused)
{
    for (const bool fromMemory : {false, true}) {
        ImageLoaderPNG loader;
        ASSERT_TRUE(LoadWith(loader, "runon300.png", fromMemory));
        EXPECT_EQ(PixelAt(*loader.GetImageData()[0], 0, 0), Argb(255, 0x10, 0x20, 0x30));
        for (const char* file :
             {"runon5120.png", "runon8192.png", "runon11264.png", "runon5120split.png", "runon5120head.png"}) {
            EXPECT_FALSE(LoadWith(loader, file, fromMemory)) << file << (fromMemory ? " memory" : " disk");
        }
    }
}

TEST_F(ImageLoaderTest, JpegColourAndGreyDecodeToRgb)
{
    struct Block {
        std::int32_t x, y;
        std::uint32_t r, g, b;
    };
    auto near = [](std::uint32_t pixel, const Block& want) {
        auto channel = [&](int shift, std::uint32_t value) {
            const int got = static_cast<int>((pixel >> shift) & 0xFF);
            return std::abs(got - static_cast<int>(value)) <= 4;
        };
        return (pixel >> 24) == 255 && channel(16, want.r) && channel(8, want.g) && channel(0, want.b);
    };
    const Block colour[] = {{3, 3, 255, 0, 0}, {12, 3, 0, 255, 0}, {3, 12, 0, 0, 255}, {12, 12, 255, 255, 255}};
    const Block grey[] = {{3, 3, 0, 0, 0}, {12, 3, 100, 100, 100}, {3, 12, 200, 200, 200}, {12, 12, 255, 255, 255}};
    for (const char* file : {"colour.jpg", "colour.JPEG", "progressive.jpg", "grey.jpg"}) {
        for (const bool fromMemory : {false, true}) {
            ImageLoaderJPG loader;
            ASSERT_TRUE(loader.CanLoad(file)) << file;
            ASSERT_TRUE(LoadWith(loader, file, fromMemory)) << file;
            ImageData& data = *loader.GetImageData()[0];
            EXPECT_EQ(data.GetWidth(), 16);
            EXPECT_FALSE(data.HasAlpha());
            for (const Block& block : std::string(file) == "grey.jpg" ? grey : colour) {
                const std::uint32_t pixel = PixelAt(data, block.x, block.y);
                EXPECT_TRUE(near(pixel, block)) << file << " at " << block.x << "," << block.y << std::hex << " "
                                                << pixel;
            }
        }
    }
}

TEST_F(ImageLoaderTest, JpegMaskOnlyTakesRed)
{
    ImageLoaderJPG loader;
    ASSERT_TRUE(LoadWith(loader, "grey.jpg", true, iImageLoader::kMaskOnly));
    ImageData& data = *loader.GetImageData()[0];
    EXPECT_TRUE(data.IsAlphaOnly());
    EXPECT_TRUE(data.HasAlpha());
    EXPECT_NEAR(static_cast<int>(PixelAt(data, 12, 3) >> 24), 100, 4);
    EXPECT_EQ(PixelAt(data, 12, 3) & 0x00FFFFFFu, 0x00FFFFFFu);
}

TEST_F(ImageLoaderTest, JpegThatCannotBecomeRgbIsRefused)
{
    ImageLoaderJPG loader;
    EXPECT_FALSE(LoadWith(loader, "cmyk.jpg", true));
    EXPECT_FALSE(LoadWith(loader, "cmyk.jpg", false));
}

TEST_F(ImageLoaderTest, TruncatedPngFailsAtEveryCut)
{
    const std::vector<std::uint8_t> whole = ReadBytes(Fixture("sheet.png"));
    const std::string path = Fixture("cut.png");
    for (const std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{8}, std::size_t{20}, std::size_t{32},
                                  std::size_t{40}, whole.size() / 2, whole.size() - 20}) {
        const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        WriteBytes(path, part);
        for (const bool fromMemory : {false, true}) {
            ImageLoaderPNG loader;
            loader.SetPath(path);
            loader.SetMemory(fromMemory ? part.data() : nullptr, static_cast<std::int32_t>(part.size()));
            std::int32_t width = 0;
            std::int32_t height = 0;
            if (cut < 33) {
                EXPECT_FALSE(loader.ReadSize(width, height)) << cut;
            }
            EXPECT_FALSE(loader.Load()) << cut << (fromMemory ? " memory" : " disk");
            EXPECT_EQ(loader.GetImageData().GetCount(), 0) << cut;
        }
    }
}

TEST_F(ImageLoaderTest, CorruptPngFails)
{
    std::vector<std::uint8_t> bytes = ReadBytes(Fixture("sheet.png"));
    // A byte inside the first IDAT: its checksum no longer matches.
    bytes[bytes.size() / 2] ^= 0x5A;
    ImageLoaderPNG loader;
    loader.SetMemory(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_FALSE(loader.Load());
    // A header claiming a size beyond what is accepted.
    std::vector<std::uint8_t> huge = ReadBytes(Fixture("rgb8.png"));
    huge[16] = 0x7F;
    loader.SetMemory(huge.data(), static_cast<std::int32_t>(huge.size()));
    EXPECT_FALSE(loader.Load());
    // Not a PNG at all.
    std::vector<std::uint8_t> jpeg = ReadBytes(Fixture("colour.jpg"));
    loader.SetMemory(jpeg.data(), static_cast<std::int32_t>(jpeg.size()));
    std::int32_t width = 0;
    std::int32_t height = 0;
    EXPECT_FALSE(loader.ReadSize(width, height));
    EXPECT_FALSE(loader.Load());
}

// 16 KB of empty scans over an 8192 x 1024 progressive picture: each scan
// walks every block of its component, so the file is refused after the first
// hundred scans, not decoded over seconds.
TEST_F(ImageLoaderTest, JpegOfThousandsOfEmptyScansIsRefusedQuickly)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(Fixture("manyscans.jpg"));
    ASSERT_GT(bytes.size(), 16000u);
    const ChildCost cost = CostInChild([&] {
        JpegDecoder fromMemory(bytes.data(), bytes.size());
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(Fixture("manyscans.jpg").c_str(), "rb"),
                                                             std::fclose);
        JpegDecoder fromDisk(file.get());
        DecodedImage image;
        return file != nullptr && !fromMemory.Decode(image) && !fromDisk.Decode(image);
    });
    EXPECT_TRUE(cost.passed);
    // The hundred scans read cost about 0.3 s of processor time, all of them
    // about 3 s: the bound leaves room for a machine loaded by other tests.
    EXPECT_LT(cost.cpuSeconds, 1.0);
}

TEST_F(ImageLoaderTest, TruncatedJpegEndsCleanly)
{
    const std::vector<std::uint8_t> whole = ReadBytes(Fixture("colour.jpg"));
    // Cut inside the scan: the picture still decodes, the missing part filled in.
    std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() - 40));
    ImageLoaderJPG loader;
    loader.SetMemory(part.data(), static_cast<std::int32_t>(part.size()));
    ASSERT_TRUE(loader.Load());
    EXPECT_EQ(loader.GetImageData()[0]->GetWidth(), 16);
    // Cut inside the headers: refused.
    for (const std::size_t cut : {std::size_t{0}, std::size_t{2}, std::size_t{11}, std::size_t{100}}) {
        std::vector<std::uint8_t> head(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        loader.SetMemory(head.data(), static_cast<std::int32_t>(head.size()));
        std::int32_t width = 0;
        std::int32_t height = 0;
        EXPECT_FALSE(loader.ReadSize(width, height)) << cut;
        EXPECT_FALSE(loader.Load()) << cut;
    }
    // Garbage after a start-of-image marker.
    std::vector<std::uint8_t> garbage = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0x12, 0x34, 0x56};
    loader.SetMemory(garbage.data(), static_cast<std::int32_t>(garbage.size()));
    EXPECT_FALSE(loader.Load());
    // A missing file.
    loader.SetMemory(nullptr, 0);
    loader.SetPath(Fixture("missing.jpg"));
    EXPECT_FALSE(loader.Load());
}

TEST_F(ImageLoaderTest, ExtensionsAndSignatures)
{
    ImageLoaderPNG png;
    ImageLoaderJPG jpg;
    EXPECT_TRUE(png.CanLoad("images/Title.PNG"));
    EXPECT_FALSE(png.CanLoad("images/title.jpg"));
    EXPECT_FALSE(png.CanLoad("images/title.bmp"));
    EXPECT_TRUE(jpg.CanLoad("a.jpeg"));
    EXPECT_TRUE(jpg.CanLoad("a.JPG"));
    EXPECT_FALSE(jpg.CanLoad("a.png"));
    EXPECT_TRUE(png.CheckSignature(Fixture("grey8.png")));
    EXPECT_FALSE(png.CheckSignature(Fixture("colour.jpg")));
    EXPECT_FALSE(png.CheckSignature(Fixture("missing.png")));
    EXPECT_TRUE(jpg.CheckSignature(Fixture("colour.jpg")));
    EXPECT_FALSE(jpg.CheckSignature(Fixture("rgb8.png")));
}

TEST(ImageLoaderWithoutRendererTest, NoTexturesNoSuccess)
{
    ImageLoaderPNG loader;
    loader.SetPath(Fixture("rgb8.png"));
    EXPECT_FALSE(loader.Load());
    EXPECT_EQ(loader.GetImageData().GetCount(), 0);
}

}  // namespace image_loader_test
