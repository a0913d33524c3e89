#include "tools/fontbaker/PngWriter.h"
#include "tools/fontbaker/FontSpec.h"

#include <png.h>

#include <csetjmp>

namespace fontbaker {

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void NoFlush(png_structp) {}

// Holds the write structures so every way out of Encode frees them.
struct PngWriteHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriteHandles() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

} // namespace

std::string PngWriter::Encode(int width, int height, const std::vector<std::uint8_t>& rgba)
{
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4)
        throw FontBakeError("a sheet of " + std::to_string(width) + "x" + std::to_string(height) +
                            " pixels does not match its pixel data");

    std::string out;
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(rgba.data() + static_cast<std::size_t>(y) * width * 4);

    PngWriteHandles handles;
    handles.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!handles.png)
        throw FontBakeError("libpng could not start a write");
    handles.info = png_create_info_struct(handles.png);
    if (!handles.info)
        throw FontBakeError("libpng could not start a write");
    // libpng reports errors by jumping back here; nothing with a destructor
    // is created between this point and the end of the write.
    if (setjmp(png_jmpbuf(handles.png)))
        throw FontBakeError("libpng failed to encode a sheet");
    png_set_write_fn(handles.png, &out, AppendToString, NoFlush);
    png_set_compression_level(handles.png, 9);
    png_set_IHDR(handles.png, handles.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(handles.png, handles.info);
    png_write_image(handles.png, rows.data());
    png_write_end(handles.png, nullptr);
    return out;
}

} // namespace fontbaker
