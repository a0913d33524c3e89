// Feeds arbitrary bytes to the data archive reader as "data.dat": walks every
// entry, reads each whole, and looks names up through the file loader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FileLoader.h"
#include "fuzz/FuzzBuffer.h"

namespace {

const std::string& ArchivePath()
{
    static const std::string path = "/tmp/qmv-fuzz-archive-" + std::to_string(::getpid()) + ".dat";
    return path;
}

bool WriteInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(ArchivePath().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!WriteInput(data, size)) {
        std::abort();
    }
    Qmv2::FileArchive* archive = Qmv2::FileArchive::Create(ArchivePath(), Qmv2::LOAD_ARCHIVE);
    FuzzBuffer buffer;
    archive->Open();
    int entries = 0;
    for (bool more = archive->GoToFirstFile(); more && entries < 64; more = archive->GoToNextFile(), ++entries) {
        const std::string name = archive->GetCurrentFileName();
        if (name.size() > 255) {
            std::abort();  // names are always terminated within the buffer
        }
        if (archive->OpenCurrentFile()) {
            const int count = archive->ReadAll(buffer);
            if (count >= 0 && static_cast<std::size_t>(count) > buffer.size) {
                std::abort();  // never more than was allocated
            }
            archive->CloseCurrentFile();
        }
        if (!archive->IsOpen()) {
            break;  // a failed read closed the archive
        }
    }
    for (const char* name : {"a", "data/x.xml", "IMAGES/LOGO.PNG"}) {
        if (Qmv2::LoadFile(name, buffer, Qmv2::LOAD_DEFAULT) && buffer.bytes.at(buffer.size) != 0) {
            std::abort();
        }
    }
    Qmv2::FileArchive::ReleaseInstance();
    return 0;
}
