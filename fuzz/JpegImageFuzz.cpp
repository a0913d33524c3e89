// JPEG files from outside: any bytes must decode or be refused without a
// crash and without reading past them.
#include "ImageFuzzLoad.h"
#include "framework/graphics/image/ImageLoaderJPG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Qmv2::ImageLoaderJPG loader;
    FuzzImageLoader(loader, data, size);
    return 0;
}
