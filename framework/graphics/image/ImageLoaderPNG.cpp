#include "framework/graphics/image/ImageLoaderPNG.h"

#include <memory>

#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/graphics/image/PngDecoder.h"

namespace Qmv2 {

bool ImageLoaderPNG::CanLoad(const std::string& fileName)
{
    return GetFileExtension(fileName).find("png") != std::string::npos;
}

bool ImageLoaderPNG::CheckSignature(const std::string& fileName)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenFile("rb", fileName), &std::fclose);
    std::uint8_t bytes[4] = {};
    return file != nullptr && std::fread(bytes, 1, sizeof(bytes), file.get()) == sizeof(bytes) &&
           PngDecoder::HasSignature(bytes, sizeof(bytes));
}

template <typename Step>
bool ImageLoaderPNG::WithDecoder(Step step)
{
    if (m_Memory != nullptr) {
        const auto size = static_cast<std::size_t>(m_MemorySize);
        if (!PngDecoder::HasSignature(m_Memory, size)) {
            return false;
        }
        PngDecoder decoder(m_Memory, size);
        return step(decoder);
    }
    if (!CheckSignature(m_Path)) {
        return false;
    }
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenFile("rb", m_Path), &std::fclose);
    if (file == nullptr) {
        return false;
    }
    PngDecoder decoder(file.get());
    return step(decoder);
}

bool ImageLoaderPNG::ReadSize(std::int32_t& width, std::int32_t& height)
{
    return WithDecoder([&](PngDecoder& decoder) { return decoder.ReadSize(width, height); });
}

bool ImageLoaderPNG::Load()
{
    DropImageData();
    DecodedImage image;
    return WithDecoder([&](PngDecoder& decoder) { return decoder.Decode(image); }) && WriteFrames(image);
}

}  // namespace Qmv2
