#include "framework/graphics/render/ImageData.h"

#include "framework/core/app/TaskManager.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

ImageData::ImageData(std::int32_t width, std::int32_t height, std::int32_t textureWidth, std::int32_t textureHeight,
                     bool textureKind)
    : m_TextureKind(textureKind), m_Width(width), m_Height(height)
{
    SetTextureSize(textureWidth, textureHeight);
    if (TaskManager* tasks = TaskManager::GetInstance()) {
        m_LastUseTime = tasks->GetCurrentTime();
    }
}

ImageData::~ImageData()
{
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->ForgetTexture(this);
    }
    LeaveImageManager();
}

void ImageData::DeleteThis()
{
    LeaveImageManager();
    BaseObject::DeleteThis();
}

void ImageData::JoinImageManager()
{
    if (ImageManager* manager = ImageManager::GetInstance()) {
        manager->AddImageData(this);
    }
}

void ImageData::LeaveImageManager()
{
    if (ImageManager* manager = ImageManager::GetInstance()) {
        manager->RemoveImageData(this);
    }
}

void ImageData::SetTextureSize(std::int32_t textureWidth, std::int32_t textureHeight)
{
    m_TextureWidth = textureWidth;
    m_TextureHeight = textureHeight;
    m_ExtentU = textureWidth > 0 ? static_cast<float>(m_Width) / static_cast<float>(textureWidth) : 0.0f;
    m_ExtentV = textureHeight > 0 ? static_cast<float>(m_Height) / static_cast<float>(textureHeight) : 0.0f;
}

void ImageData::UnloadTexture()
{
    m_Released = true;
    m_LockCount = 0;
}

void ImageData::ReloadTexture()
{
    m_Released = false;
}

Interface* ImageData::GetInterface(const ClassType* type)
{
    if (type == &Interface::s_Type) {
        return static_cast<Lockable*>(this);
    }
    return nullptr;
}

}  // namespace Qmv2
