// The JPEG image loader.
#pragma once

#include "framework/graphics/image/iImageLoader.h"

namespace Qmv2 {

class ImageLoaderJPG : public iImageLoader {
public:
    // The lower-cased extension contains "jpg" or "jpeg".
    bool CanLoad(const std::string& fileName) override;
    bool ReadSize(std::int32_t& width, std::int32_t& height) override;
    bool Load() override;
    // The first 11 bytes (from the data archive when the default load flags
    // read it and it holds the name, else from disk; descrambled when files
    // are stored scrambled) carry an "Exif" or a "JFIF" header.
    bool CheckSignature(const std::string& fileName) override;

private:
    template <typename Step>
    bool WithDecoder(Step step);
};

}  // namespace Qmv2
