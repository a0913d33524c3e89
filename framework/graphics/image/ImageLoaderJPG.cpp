#include "framework/graphics/image/ImageLoaderJPG.h"

#include <cstring>
#include <memory>

#include "framework/core/files/Descramble.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/core/util/FileSystem.h"
#include "framework/graphics/image/JpegDecoder.h"

namespace Qmv2 {

namespace {

constexpr std::size_t kSignatureBytes = 11;

// Reads the first bytes of an archive entry; false when the archive lacks it.
bool ReadArchiveStart(const std::string& fileName, std::uint8_t* bytes, std::size_t& count)
{
    FileArchive* archive = FileArchive::GetInstance();
    if (archive == nullptr) {
        return false;
    }
    MutexLock hold(archive->GetMutex());
    if (!archive->LocateFile(fileName) || !archive->OpenCurrentFile()) {
        return false;
    }
    const int read = archive->Read(bytes, static_cast<std::uint32_t>(kSignatureBytes));
    archive->CloseCurrentFile();
    count = read > 0 ? static_cast<std::size_t>(read) : 0;
    return true;
}

}  // namespace

bool ImageLoaderJPG::CanLoad(const std::string& fileName)
{
    const std::string extension = GetFileExtension(fileName);
    return extension.find("jpg") != std::string::npos || extension.find("jpeg") != std::string::npos;
}

bool ImageLoaderJPG::CheckSignature(const std::string& fileName)
{
    std::uint8_t bytes[kSignatureBytes] = {};
    std::size_t count = 0;
    if ((s_DefaultLoadFlags & LOAD_ARCHIVE) == 0 || !ReadArchiveStart(fileName, bytes, count)) {
        std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenFile("rb", fileName), &std::fclose);
        if (file == nullptr) {
            return false;
        }
        count = std::fread(bytes, 1, sizeof(bytes), file.get());
    }
    if (count < kSignatureBytes) {
        return false;
    }
    if ((s_DefaultLoadFlags & LOAD_SCRAMBLED) != 0) {
        DescrambleBuffer(bytes, count);
    }
    const bool exif = std::memcmp(bytes + 6, "Exif", 4) == 0;
    const bool jfif = bytes[0] == 0xFF && bytes[1] == 0xD8 && std::memcmp(bytes + 6, "JFIF", 4) == 0;
    return exif || jfif;
}

template <typename Step>
bool ImageLoaderJPG::WithDecoder(Step step)
{
    if (m_Memory != nullptr) {
        JpegDecoder decoder(m_Memory, static_cast<std::size_t>(m_MemorySize));
        return step(decoder);
    }
    if (!FileExists(m_Path)) {
        return false;
    }
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenFile("rb", m_Path), &std::fclose);
    if (file == nullptr) {
        return false;
    }
    JpegDecoder decoder(file.get());
    return step(decoder);
}

bool ImageLoaderJPG::ReadSize(std::int32_t& width, std::int32_t& height)
{
    return WithDecoder([&](JpegDecoder& decoder) { return decoder.ReadSize(width, height); });
}

bool ImageLoaderJPG::Load()
{
    DropImageData();
    DecodedImage image;
    return WithDecoder([&](JpegDecoder& decoder) { return decoder.Decode(image); }) && WriteFrames(image);
}

}  // namespace Qmv2
