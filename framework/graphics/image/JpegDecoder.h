// Reads one JPEG picture through libjpeg, from a block of memory (never past
// its end; a stream cut short ends as if its end-of-image marker followed) or
// from an open file. The output is always 8-bit red, green, blue: grey
// pictures are converted, colour spaces libjpeg cannot turn into RGB are
// refused, and so is a picture of more than a hundred scans. A libjpeg error
// ends the call as a failure. One decoder reads one stream once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <csetjmp>

#include <jpeglib.h>

#include "framework/graphics/image/DecodedImage.h"

namespace Qmv2 {

// The standard error manager with the place its error exit jumps to.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg's error exit: jumps back to the decoder, which ends the call.
[[noreturn]] void JpegErrorExit(j_common_ptr info);

// Installs a source manager reading the given bytes on the decompressor.
void JpegMemorySource(j_decompress_ptr info, const std::uint8_t* memory, std::size_t size);

class JpegDecoder {
public:
    JpegDecoder(const std::uint8_t* memory, std::size_t size);
    explicit JpegDecoder(std::FILE* file);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    bool ReadSize(std::int32_t& width, std::int32_t& height);
    bool Decode(DecodedImage& image);

private:
    // Creates the decompressor, installs the source and reads the header;
    // called with the error manager's jump set by the caller.
    void Begin();

    jpeg_decompress_struct m_Info{};
    JpegErrorManager m_Error{};
    jpeg_progress_mgr m_Progress{};
    bool m_Created = false;
    const std::uint8_t* m_Memory = nullptr;
    std::size_t m_Size = 0;
    std::FILE* m_File = nullptr;
};

}  // namespace Qmv2
