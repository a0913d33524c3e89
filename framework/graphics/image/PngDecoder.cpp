#include "framework/graphics/image/PngDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace Qmv2 {

namespace {

[[noreturn]] void OnPngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

constexpr png_alloc_size_t kChunkMallocMax = png_alloc_size_t{1} << 20;

// Once the last row is decoded, libpng still reads to the end of the
// compressed data, inflating whatever it holds: data running on past the
// picture (megabytes that inflate to gigabytes) would cost seconds a megabyte.
// A picture's data ends within bytes of its last row (the last block's end,
// the checksum, the chunk's CRC, at most a few chunk headers); more than this
// past the end of the last row is refused.
constexpr std::size_t kRunOnBytes = 4096;

// libpng reads image data in pieces of this size (or the rest of the chunk),
// reading the next only once the last is inflated: when the last row comes
// out, less than a piece of what runs on has been read ahead of it. Counting
// from there, the end may take a piece less than the bound, so that no read-
// ahead lets more through. Smaller pieces cost more calls: at 512 bytes,
// decoding incompressible data is 1 to 2% slower than at libpng's 8 KB.
constexpr std::size_t kIdatPiece = 512;
constexpr std::size_t kEndBytes = kRunOnBytes - kIdatPiece;

PngInput& InputOf(png_structp png, png_size_t length)
{
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (input == nullptr || length > input->endLeft) {
        png_error(png, "image data runs on past the picture");
    }
    if (input->endLeft != SIZE_MAX) {
        input->endLeft -= length;
    }
    return *input;
}

// libpng's last transform of every row it has inflated: the last row starts
// the count of the bytes left to the end.
void OnRowDecoded(png_structp png, png_row_infop, png_bytep)
{
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (input->rowsLeft > 0 && --input->rowsLeft == 0) {
        input->endLeft = kEndBytes;
    }
}

// The rows libpng decodes: every row, or for an interlaced picture every row
// of each pass that has pixels.
std::size_t DecodedRows(png_structp png, png_infop info)
{
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) == PNG_INTERLACE_NONE) {
        return height;
    }
    std::size_t rows = 0;
    for (int pass = 0; pass < 7; ++pass) {
        if (PNG_PASS_COLS(width, pass) != 0) {
            rows += PNG_PASS_ROWS(height, pass);
        }
    }
    return rows;
}

// The next chunk's length and type, as libpng would read them; false past the
// end of the input.
bool ReadChunkHeader(PngInput& input, png_byte (&header)[8])
{
    if (input.file != nullptr) {
        return std::fread(header, 1, sizeof header, input.file) == sizeof header;
    }
    if (input.size - input.position < sizeof header) {
        return false;
    }
    std::memcpy(header, input.data + input.position, sizeof header);
    input.position += sizeof header;
    return true;
}

// libpng's own reads stop at the end of an IDAT chunk whose data inflates to
// nothing past the last row (block headers, empty blocks), leaving the IDAT
// chunks after it unread. They run on past the picture all the same: their
// bytes count against what its end may take, and are passed over unread.
bool EndsWithinBound(PngInput& input)
{
    png_byte header[8];
    while (ReadChunkHeader(input, header) && std::memcmp(header + 4, "IDAT", 4) == 0) {
        const std::size_t rest = std::size_t{png_get_uint_32(header)} + 4;  // the data and its CRC
        if (sizeof header + rest > input.endLeft) {
            return false;
        }
        input.endLeft -= sizeof header + rest;
        if (input.file != nullptr) {
            std::fseek(input.file, static_cast<long>(rest), SEEK_CUR);
        } else {
            input.position += std::min(rest, input.size - input.position);
        }
    }
    return true;
}

}  // namespace

void PngReadFromMemory(png_structp png, png_bytep data, png_size_t length)
{
    PngInput& memory = InputOf(png, length);
    if (length > memory.size - memory.position) {
        png_error(png, "read past the end of the data");
    }
    std::memcpy(data, memory.data + memory.position, length);
    memory.position += length;
}

void PngReadFromFile(png_structp png, png_bytep data, png_size_t length)
{
    if (std::fread(data, 1, length, InputOf(png, length).file) != length) {
        png_error(png, "read past the end of the file");
    }
}

PngDecoder::PngDecoder(const std::uint8_t* memory, std::size_t size)
{
    m_Input.data = memory;
    m_Input.size = memory != nullptr ? size : 0;
    Create();
    if (m_Png != nullptr) {
        png_set_read_fn(m_Png, &m_Input, PngReadFromMemory);
    }
}

PngDecoder::PngDecoder(std::FILE* file)
{
    m_Input.file = file;
    Create();
    if (m_Png != nullptr) {
        png_set_read_fn(m_Png, &m_Input, PngReadFromFile);
    }
}

void PngDecoder::Create()
{
    m_Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (m_Png == nullptr) {
        return;
    }
    m_Info = png_create_info_struct(m_Png);
    if (m_Info == nullptr) {
        png_destroy_read_struct(&m_Png, nullptr, nullptr);
        return;
    }
    png_set_user_limits(m_Png, DecodedImage::kMaxSide, DecodedImage::kMaxSide);
    // The picture is made from IHDR, PLTE, tRNS, IDAT and IEND alone. Every other chunk libpng
    // knows (text, profiles, suggested palettes, calibration) it would read whole into a cleared
    // buffer of the length the chunk claims, and a length past the chunk limit below only earns a
    // warning when reading: a 512-byte file claiming a 2 GB text chunk would cost 2 GB and
    // seconds. Those chunks are skipped unread, in small pieces, whatever length they claim.
    png_set_keep_unknown_chunks(m_Png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    // The limits on what libpng keeps or decompresses of a chunk. No text, suggested palette or
    // unknown chunk is kept (a cache of one holds none). No chunk the picture is read from needs
    // more than a 256-entry palette (768 bytes) whole. Image data is no chunk allocation: libpng
    // reads it in 512-byte pieces whatever the chunk's length and sizes its two row buffers from the
    // header (at most 256 KB each, for the widest accepted picture at 16-bit RGBA). 1 MB is far
    // above the profiles and texts editors write (kilobytes), so a reader that refused a chunk
    // past the limit outright would refuse no real picture, and it caps what a compressed
    // profile or text would decompress to, were one read.
    png_set_chunk_cache_max(m_Png, 1);
    png_set_chunk_malloc_max(m_Png, kChunkMallocMax);
    png_set_compression_buffer_size(m_Png, kIdatPiece);
}

PngDecoder::~PngDecoder()
{
    if (m_Png != nullptr) {
        png_destroy_read_struct(&m_Png, &m_Info, nullptr);
    }
}

bool PngDecoder::HasSignature(const std::uint8_t* bytes, std::size_t count)
{
    return bytes != nullptr && count >= 4 && png_sig_cmp(bytes, 0, 4) == 0;
}

bool PngDecoder::ReadSize(std::int32_t& width, std::int32_t& height)
{
    if (m_Png == nullptr) {
        return false;
    }
    if (setjmp(png_jmpbuf(m_Png)) != 0) {
        return false;
    }
    png_read_info(m_Png, m_Info);
    width = static_cast<std::int32_t>(png_get_image_width(m_Png, m_Info));
    height = static_cast<std::int32_t>(png_get_image_height(m_Png, m_Info));
    return true;
}

// Called with libpng's jump buffer set by the caller.
bool PngDecoder::PrepareTransforms()
{
    png_read_info(m_Png, m_Info);
    if (!DecodedImage::IsAcceptableSize(png_get_image_width(m_Png, m_Info), png_get_image_height(m_Png, m_Info))) {
        return false;
    }
    const png_byte colorType = png_get_color_type(m_Png, m_Info);
    // Palettes, grey below 8 bits and tRNS transparency.
    png_set_expand(m_Png);
    png_set_strip_16(m_Png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0) {
        png_set_gray_to_rgb(m_Png);
    }
    png_set_swap_alpha(m_Png);
    png_set_interlace_handling(m_Png);
    png_set_read_user_transform_fn(m_Png, OnRowDecoded);
    m_Input.rowsLeft = DecodedRows(m_Png, m_Info);
    png_read_update_info(m_Png, m_Info);
    return png_get_bit_depth(m_Png, m_Info) == 8;
}

bool PngDecoder::Decode(DecodedImage& image)
{
    if (m_Png == nullptr) {
        return false;
    }
    if (setjmp(png_jmpbuf(m_Png)) != 0) {
        return false;
    }
    if (!PrepareTransforms()) {
        return false;
    }
    const png_byte channels = png_get_channels(m_Png, m_Info);
    if (channels != 3 && channels != 4) {
        return false;
    }
    image.width = static_cast<std::int32_t>(png_get_image_width(m_Png, m_Info));
    image.height = static_cast<std::int32_t>(png_get_image_height(m_Png, m_Info));
    image.channels = channels;
    if (png_get_rowbytes(m_Png, m_Info) != image.RowBytes()) {
        return false;
    }
    image.pixels.assign(image.RowBytes() * static_cast<std::size_t>(image.height), 0);
    m_Rows.resize(static_cast<std::size_t>(image.height));
    for (std::int32_t y = 0; y < image.height; ++y) {
        m_Rows[static_cast<std::size_t>(y)] = image.Row(y);
    }
    png_read_image(m_Png, m_Rows.data());
    return EndsWithinBound(m_Input);
}

}  // namespace Qmv2
