// Reads one PNG picture through libpng, from a block of memory (never past
// its end) or from an open file. Every colour type and depth comes out as
// 8-bit red, green, blue or alpha, red, green, blue: palettes and low-depth
// grey are expanded, 16-bit channels are cut to 8, grey becomes colour and a
// tRNS chunk becomes an alpha channel. A libpng error ends the call as a
// failure, and so does compressed data that runs on past the picture's last
// row by more than its end can take. One decoder reads one stream once.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "framework/graphics/image/DecodedImage.h"

namespace Qmv2 {

// The bytes libpng reads: a PNG held in memory, or an open file, and how much
// of them the picture may still take.
struct PngInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
    std::FILE* file = nullptr;
    // Rows still to be decoded; once none is left, the bytes that may still be
    // read to end the compressed data (unbounded until then).
    std::size_t rowsLeft = 0;
    std::size_t endLeft = SIZE_MAX;
};

// libpng's read callbacks over a PngInput; a read past the end of the data or
// the file, or past what the picture's end may take, is a libpng error.
void PngReadFromMemory(png_structp png, png_bytep data, png_size_t length);
void PngReadFromFile(png_structp png, png_bytep data, png_size_t length);

class PngDecoder {
public:
    PngDecoder(const std::uint8_t* memory, std::size_t size);
    explicit PngDecoder(std::FILE* file);
    ~PngDecoder();
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;

    // Whether the first four bytes are those of a PNG signature.
    static bool HasSignature(const std::uint8_t* bytes, std::size_t count);

    // The header's size.
    bool ReadSize(std::int32_t& width, std::int32_t& height);
    // The whole picture; false for a damaged stream or a refused size.
    bool Decode(DecodedImage& image);

private:
    void Create();
    bool PrepareTransforms();

    png_structp m_Png = nullptr;
    png_infop m_Info = nullptr;
    PngInput m_Input;
    std::vector<png_bytep> m_Rows;
};

}  // namespace Qmv2
