// Images for sprite tests: frames over image data that has no texture, so
// that no renderer is needed.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/render/ImageData.h"
#include "framework/scene/Sprite.h"

namespace scenetest {

class FakeImageData : public Qmv2::ImageData {
public:
    FakeImageData(std::int32_t width, std::int32_t height) : ImageData(width, height, width, height, true) {}
    void* GetBits() override { return nullptr; }

protected:
    bool DoLock(bool) override { return false; }
    bool DoUnlock() override { return true; }
};

// An image of `count` frames side by side, each width x height.
inline Qmv2::SmartPtr<Qmv2::Image> MakeImage(std::int32_t count, std::int32_t width, std::int32_t height)
{
    Qmv2::SmartPtr<Qmv2::ImageData> data(new FakeImageData(width * count, height));
    return Qmv2::SmartPtr<Qmv2::Image>(new Qmv2::Image(data.Get(), count, count));
}

// A 10 x 10 sprite at the origin, with no image.
inline Qmv2::SmartPtr<Qmv2::Sprite> NewSprite()
{
    return Qmv2::SmartPtr<Qmv2::Sprite>(new Qmv2::Sprite(0.0f, 0.0f, 10.0f, 10.0f));
}

}  // namespace scenetest
