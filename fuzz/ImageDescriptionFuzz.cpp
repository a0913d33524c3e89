// Image descriptions from outside: any bytes as an image resource's XML
// description, over a small sheet and mask beside it, must load or fail with
// an error code, and unload again.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "HostRenderer.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/ResourceImage.h"

namespace {

// An 8 x 4 RGBA picture.
const unsigned char kSheet[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0x08, 0x06, 0x00, 0x00, 0x00, 0xB3, 0xCD, 0x7E, 0xF0, 0x00,
    0x00, 0x00, 0x1A, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x64, 0x60, 0x60, 0xFF, 0x2F, 0xC7, 0xC0,
    0x80, 0x13, 0xB3, 0x30, 0xD8, 0x30, 0xE0, 0x05, 0x94, 0x2B, 0x00, 0x00, 0x1F, 0xA9, 0x09, 0x93, 0xD6,
    0xE4, 0xEC, 0x18, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

void Write(const std::string& path, const void* bytes, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

// A folder below the working folder (resource names are relative), made once.
const std::string& Folder()
{
    static const std::string folder = [] {
        std::string name = "fuzzimage" + std::to_string(::getpid());
        std::filesystem::create_directories(name);
        Write(name + "/sheet.png", kSheet, sizeof(kSheet));
        Write(name + "/mask.png", kSheet, sizeof(kSheet));
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all("fuzzimage" + std::to_string(::getpid()), ignored);
        });
        return name;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HostRenderer::Install();
    const std::string description = Folder() + "/image.xml";
    Write(description, data, size);
    Qmv2::SmartPtr<Qmv2::ResourceImage> resource(new Qmv2::ResourceImage(description, "", 1));
    resource->Load();
    if (!resource->IsLoaded() || (resource->HasFailed() && resource->GetImageCount() != 0 &&
                                  resource->GetErrorCode() != Qmv2::ResourceObject::kErrorSubResource)) {
        std::abort();
    }
    resource->ToString();
    resource->Unload();
    if (resource->GetImageCount() != 0) {
        std::abort();
    }
    return 0;
}
