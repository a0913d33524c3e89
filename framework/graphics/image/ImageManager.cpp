#include "framework/graphics/image/ImageManager.h"

#include "framework/core/app/TaskManager.h"
#include "framework/graphics/render/ImageData.h"

namespace Qmv2 {

ImageManager* ImageManager::Create()
{
    auto* manager = new ImageManager;
    manager->SetRunning(true);
    SetInstance(manager);
    return manager;
}

ImageManager::ImageManager() : m_Mutex(Mutex::Create("ImageManager")) {}

ImageManager::~ImageManager() = default;

void ImageManager::Execute(std::int32_t)
{
    if (TaskManager* tasks = TaskManager::GetInstance()) {
        UnloadIdle(tasks->GetCurrentTime());
    }
}

void ImageManager::UnloadIdle(std::uint64_t frameTime)
{
    ForEachDrawable([frameTime](ImageData* data) {
        if (!data->IsReleased() && frameTime > data->GetLastUseTime() &&
            frameTime - data->GetLastUseTime() > kIdleUnloadTime) {
            data->UnloadTexture();
        }
    });
}

void ImageManager::AddImageData(ImageData* data)
{
    MutexLock lock(m_Mutex.get());
    (data->IsTextureKind() ? m_Textures : m_Drawables).PushBack(data);
}

void ImageManager::RemoveImageData(ImageData* data)
{
    MutexLock lock(m_Mutex.get());
    for (GFVector<ImageData*>* list : {&m_Textures, &m_Drawables}) {
        if (ImageData** found = list->Find(data); found != list->end()) {
            list->Erase(found, found + 1);
            return;
        }
    }
}

void ImageManager::ForEachDrawable(const std::function<void(ImageData*)>& visit)
{
    MutexLock lock(m_Mutex.get());
    for (ImageData* data : m_Drawables) {
        visit(data);
    }
}

std::int32_t ImageManager::GetTextureCount()
{
    MutexLock lock(m_Mutex.get());
    return m_Textures.GetCount();
}

std::int32_t ImageManager::GetDrawableCount()
{
    MutexLock lock(m_Mutex.get());
    return m_Drawables.GetCount();
}

}  // namespace Qmv2
