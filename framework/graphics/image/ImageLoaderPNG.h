// The PNG image loader.
#pragma once

#include "framework/graphics/image/iImageLoader.h"

namespace Qmv2 {

class PngDecoder;

class ImageLoaderPNG : public iImageLoader {
public:
    // The lower-cased extension contains "png".
    bool CanLoad(const std::string& fileName) override;
    bool ReadSize(std::int32_t& width, std::int32_t& height) override;
    bool Load() override;
    // The file's first four bytes are a PNG signature.
    bool CheckSignature(const std::string& fileName) override;

private:
    // Runs `step` on a decoder over the memory or over the file on disk.
    template <typename Step>
    bool WithDecoder(Step step);
};

}  // namespace Qmv2
