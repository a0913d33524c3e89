// Registers every image data (textures and drawable textures) and, once per
// frame, gives up the video memory of drawable textures idle for over 500 ms.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "framework/core/app/iTask.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/util/Mutex.h"

namespace Qmv2 {

class ImageData;

class ImageManager : public iTask, public iInstance<ImageManager> {
public:
    QMV_CLASS_TYPE(ImageManager, iTask)

    static constexpr std::uint64_t kIdleUnloadTime = 500;

    // Makes the singleton (the "imagemanager" start-up command) and answers it.
    static ImageManager* Create();

    ImageManager();
    ~ImageManager() override;

    void Execute(std::int32_t dt) override;
    // Unloads the idle drawable textures against the given frame time.
    void UnloadIdle(std::uint64_t frameTime);

    // Image data register from any thread (the loader thread makes textures too).
    void AddImageData(ImageData* data);
    void RemoveImageData(ImageData* data);
    // Calls `visit` for each drawable texture under the lists' lock.
    void ForEachDrawable(const std::function<void(ImageData*)>& visit);

    std::int32_t GetTextureCount();
    std::int32_t GetDrawableCount();

private:
    std::unique_ptr<Mutex> m_Mutex;
    GFVector<ImageData*> m_Textures;
    GFVector<ImageData*> m_Drawables;
};

}  // namespace Qmv2
