// PNG files from outside: any bytes must decode or be refused without a
// crash, as an image and as every kind of mask.
#include <memory>

#include "ImageFuzzLoad.h"
#include "framework/graphics/image/ImageLoaderPNG.h"
#include "framework/graphics/image/MaskData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Qmv2::ImageLoaderPNG loader;
    FuzzImageLoader(loader, data, size);
    if (size > 1) {
        std::unique_ptr<Qmv2::MaskData> mask(Qmv2::ReadPngMaskMemory(data + 1, size - 1, data[0] % 3));
        if (mask != nullptr && mask->GetData().size() != static_cast<std::size_t>(mask->GetWidth()) *
                                                              static_cast<std::size_t>(mask->GetHeight()) *
                                                              static_cast<std::size_t>(mask->GetBitsPerPixel() / 8)) {
            std::abort();
        }
    }
    return 0;
}
