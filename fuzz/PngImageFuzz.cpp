// PNG files from outside: any bytes must decode or be refused without a
// crash, as an image and as every kind of mask.
//
// A first byte with bit 5 set makes the file longer than an input may be: the
// input's last two bytes are a length n and a count c, and the n bytes before
// them are written 64 x c times in their place (up to 4 MB), so that a picture's
// data can run on for as long as it takes to cost.
#include <memory>
#include <vector>

#include "ImageFuzzLoad.h"
#include "framework/graphics/image/ImageLoaderPNG.h"
#include "framework/graphics/image/MaskData.h"

namespace {

std::vector<std::uint8_t> Expanded(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> file(data, data + size);
    if (size < 3 || (data[0] & 0x20) == 0 || data[size - 2] > size - 3) {
        return file;
    }
    const std::size_t unit = data[size - 2];
    const std::size_t count = std::size_t{64} * data[size - 1];
    file.resize(size - 2 - unit);
    file.reserve(file.size() + unit * count);
    for (std::size_t i = 0; i < count; ++i) {
        file.insert(file.end(), data + size - 2 - unit, data + size - 2);
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> file = Expanded(data, size);
    Qmv2::ImageLoaderPNG loader;
    FuzzImageLoader(loader, file.data(), file.size());
    if (file.size() > 1) {
        std::unique_ptr<Qmv2::MaskData> mask(Qmv2::ReadPngMaskMemory(file.data() + 1, file.size() - 1, file[0] % 3));
        if (mask != nullptr && mask->GetData().size() != static_cast<std::size_t>(mask->GetWidth()) *
                                                              static_cast<std::size_t>(mask->GetHeight()) *
                                                              static_cast<std::size_t>(mask->GetBitsPerPixel() / 8)) {
            std::abort();
        }
    }
    return 0;
}
