#include "GoldenImage.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/render/ImageData.h"
#include "framework/graphics/render/Renderer.h"

namespace graphicstest {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

Picture CaptureScreen(Qmv2::Renderer& renderer, int width, int height)
{
    Qmv2::SmartPtr<Qmv2::ImageData> shot(renderer.CaptureBackBuffer());
    Picture picture;
    picture.width = width;
    picture.height = height;
    EXPECT_TRUE(shot->Lock(true));
    auto* bytes = static_cast<std::uint8_t*>(shot->GetBits());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bytes + y * shot->GetPitch());
        for (int x = 0; x < width; ++x) {
            picture.argb.push_back(row[x] | 0xFF000000u);
        }
    }
    shot->Unlock();
    return picture;
}

bool WritePng(const std::string& path, const Picture& picture)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(picture.width) * 4);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t p = picture.At(x, y);
            row[x * 4 + 0] = static_cast<png_byte>(p >> 16);
            row[x * 4 + 1] = static_cast<png_byte>(p >> 8);
            row[x * 4 + 2] = static_cast<png_byte>(p);
            row[x * 4 + 3] = static_cast<png_byte>(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool ReadPng(const std::string& path, Picture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.argb.assign(static_cast<std::size_t>(image.width) * image.height, 0);
    // BGRA bytes in memory are ARGB words on a little-endian machine.
    if (!png_image_finish_read(&image, nullptr, picture.argb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

std::string CompareWithGolden(const std::string& name, const Picture& picture, int tolerance)
{
    const std::string path = std::string(QMV_TEST_DATA_DIR) + "/golden/" + name + ".png";
    const char* update = std::getenv("QMV_UPDATE_GOLDEN");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        return WritePng(path, picture) ? std::string() : "cannot write " + path;
    }
    Picture golden;
    if (!ReadPng(path, golden)) {
        return "no golden image " + path + " (run with QMV_UPDATE_GOLDEN=1 to write it)";
    }
    if (golden.width != picture.width || golden.height != picture.height) {
        return "size differs from " + path;
    }
    std::string first;
    int differing = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t a = picture.At(x, y);
            const std::uint32_t b = golden.At(x, y);
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
                    tolerance) {
                    if (differing++ == 0) {
                        char text[128];
                        std::snprintf(text, sizeof text, "pixel (%d, %d) is %08X, golden %08X", x, y, a, b);
                        first = text;
                    }
                    break;
                }
            }
        }
    }
    return differing == 0 ? std::string() : first + "; " + std::to_string(differing) + " pixels differ";
}

}  // namespace graphicstest
