#include "framework/graphics/image/JpegDecoder.h"

#include <algorithm>
#include <cstring>

namespace Qmv2 {

namespace {

constexpr std::size_t kSourceBufferSize = 4096;

struct MemorySourceManager {
    jpeg_source_mgr pub;
    const std::uint8_t* memory;
    std::size_t remaining;
    bool startOfFile;
    JOCTET buffer[kSourceBufferSize];
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr info)
{
    reinterpret_cast<MemorySourceManager*>(info->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<MemorySourceManager*>(info->src);
    if (source->remaining == 0) {
        // The stream was cut short: end it cleanly with an end-of-image marker.
        source->pub.next_input_byte = kEndOfImage;
        source->pub.bytes_in_buffer = sizeof(kEndOfImage);
    } else {
        const std::size_t count = std::min(source->remaining, kSourceBufferSize);
        std::memcpy(source->buffer, source->memory, count);
        source->memory += count;
        source->remaining -= count;
        source->pub.next_input_byte = source->buffer;
        source->pub.bytes_in_buffer = count;
    }
    source->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count)
{
    auto* source = reinterpret_cast<MemorySourceManager*>(info->src);
    if (count <= 0) {
        return;
    }
    auto skip = static_cast<std::size_t>(count);
    if (skip <= source->pub.bytes_in_buffer) {
        source->pub.next_input_byte += skip;
        source->pub.bytes_in_buffer -= skip;
        return;
    }
    skip -= source->pub.bytes_in_buffer;
    source->pub.bytes_in_buffer = 0;
    const std::size_t advance = std::min(skip, source->remaining);
    source->memory += advance;
    source->remaining -= advance;
}

void TermSource(j_decompress_ptr) {}

void OutputNothing(j_common_ptr) {}

// Encoders write about ten scans (a few per component). Every scan walks all
// the blocks of the components it covers, holding data or not, so a few
// kilobytes of empty scans over a large picture cost seconds; a hundred cost
// about what decoding the picture itself does.
constexpr int kMaxScans = 100;

void RefuseEndlessScans(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        JpegErrorExit(info);
    }
}

}  // namespace

void JpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

void JpegMemorySource(j_decompress_ptr info, const std::uint8_t* memory, std::size_t size)
{
    auto* source = static_cast<MemorySourceManager*>(
        (*info->mem->alloc_small)(reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(MemorySourceManager)));
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = FillInputBuffer;
    source->pub.skip_input_data = SkipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->pub.next_input_byte = nullptr;
    source->pub.bytes_in_buffer = 0;
    source->memory = memory;
    source->remaining = memory != nullptr ? size : 0;
    source->startOfFile = true;
    info->src = &source->pub;
}

JpegDecoder::JpegDecoder(const std::uint8_t* memory, std::size_t size) : m_Memory(memory), m_Size(size) {}

JpegDecoder::JpegDecoder(std::FILE* file) : m_File(file) {}

JpegDecoder::~JpegDecoder()
{
    if (m_Created) {
        jpeg_destroy_decompress(&m_Info);
    }
}

void JpegDecoder::Begin()
{
    m_Info.err = jpeg_std_error(&m_Error.pub);
    m_Error.pub.error_exit = JpegErrorExit;
    m_Error.pub.output_message = OutputNothing;
    jpeg_create_decompress(&m_Info);
    m_Created = true;
    m_Progress.progress_monitor = RefuseEndlessScans;
    m_Info.progress = &m_Progress;
    if (m_File != nullptr) {
        jpeg_stdio_src(&m_Info, m_File);
    } else {
        JpegMemorySource(&m_Info, m_Memory, m_Size);
    }
    jpeg_read_header(&m_Info, TRUE);
}

bool JpegDecoder::ReadSize(std::int32_t& width, std::int32_t& height)
{
    if (m_Created) {
        return false;
    }
    if (setjmp(m_Error.jump) != 0) {
        return false;
    }
    Begin();
    width = static_cast<std::int32_t>(m_Info.image_width);
    height = static_cast<std::int32_t>(m_Info.image_height);
    return true;
}

bool JpegDecoder::Decode(DecodedImage& image)
{
    if (m_Created) {
        return false;
    }
    if (setjmp(m_Error.jump) != 0) {
        return false;
    }
    Begin();
    if (!DecodedImage::IsAcceptableSize(m_Info.image_width, m_Info.image_height)) {
        return false;
    }
    m_Info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&m_Info);
    if (m_Info.output_components != 3 ||
        !DecodedImage::IsAcceptableSize(m_Info.output_width, m_Info.output_height)) {
        return false;
    }
    image.width = static_cast<std::int32_t>(m_Info.output_width);
    image.height = static_cast<std::int32_t>(m_Info.output_height);
    image.channels = 3;
    image.pixels.assign(image.RowBytes() * static_cast<std::size_t>(image.height), 0);
    while (m_Info.output_scanline < m_Info.output_height) {
        JSAMPROW row = image.Row(static_cast<std::int32_t>(m_Info.output_scanline));
        if (jpeg_read_scanlines(&m_Info, &row, 1) != 1) {
            return false;
        }
    }
    jpeg_finish_decompress(&m_Info);
    return true;
}

}  // namespace Qmv2
