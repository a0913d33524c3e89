// A texture with its pixel size, its size on the device, a nestable lock and
// the flags and time stamp the renderer and the image manager read.
#pragma once

#include <cstdint>
#include <utility>

#include "framework/core/object/BaseObject.h"
#include "framework/graphics/render/Lockable.h"

namespace Qmv2 {

class ImageData : public BaseObject, public Lockable {
public:
    QMV_CLASS_TYPE(ImageData, BaseObject)

    // Makes a T, and only once it is whole makes it known to the image
    // manager (when one exists), whose task may meet it on another thread.
    template <typename T, typename... Args>
    static T* Create(Args&&... args)
    {
        T* data = new T(std::forward<Args>(args)...);
        data->JoinImageManager();
        return data;
    }

    // `textureKind`: true for a texture loaded from pixels, false for a
    // drawable texture. Made through Create to be known to the image manager.
    ImageData(std::int32_t width, std::int32_t height, std::int32_t textureWidth, std::int32_t textureHeight,
              bool textureKind);
    ~ImageData() override;

    // The last release leaves the image manager while the object is still
    // whole, then deletes it.
    void DeleteThis() override;

    // Gives up the video memory; a drawable texture keeps its pixels.
    virtual void UnloadTexture();
    virtual void ReloadTexture();
    // The pixels while locked (rows of GetPitch bytes), else null.
    virtual void* GetBits() = 0;
    // Makes every pixel transparent white (0x00FFFFFF).
    virtual bool ClearPixels() { return true; }

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    std::int32_t GetPitch() const { return m_Pitch; }
    std::int32_t GetBytesPerPixel() const { return m_BytesPerPixel; }
    bool IsTextureKind() const { return m_TextureKind; }
    bool IsReleased() const { return m_Released; }
    bool IsModified() const { return m_Modified; }
    void SetModified(bool modified) { m_Modified = modified; }
    std::int32_t GetWidth() const { return m_Width; }
    std::int32_t GetHeight() const { return m_Height; }
    std::int32_t GetTextureWidth() const { return m_TextureWidth; }
    std::int32_t GetTextureHeight() const { return m_TextureHeight; }
    float GetExtentU() const { return m_ExtentU; }
    float GetExtentV() const { return m_ExtentV; }
    bool HasAlpha() const { return m_HasAlpha; }
    void SetHasAlpha(bool hasAlpha) { m_HasAlpha = hasAlpha; }
    bool IsAlphaOnly() const { return m_AlphaOnly; }
    void SetAlphaOnly(bool alphaOnly) { m_AlphaOnly = alphaOnly; }
    std::uint64_t GetLastUseTime() const { return m_LastUseTime; }
    void SetLastUseTime(std::uint64_t time) { m_LastUseTime = time; }

protected:
    void SetTextureSize(std::int32_t textureWidth, std::int32_t textureHeight);

    std::int32_t m_Pitch = 0;
    std::int32_t m_BytesPerPixel = 4;
    bool m_TextureKind;
    bool m_Released = false;
    bool m_Modified = false;
    std::int32_t m_Width;
    std::int32_t m_Height;
    std::int32_t m_TextureWidth = 0;
    std::int32_t m_TextureHeight = 0;
    float m_ExtentU = 0;
    float m_ExtentV = 0;
    bool m_HasAlpha = true;
    bool m_AlphaOnly = false;
    std::uint64_t m_LastUseTime = 0;

private:
    void JoinImageManager();
    void LeaveImageManager();
};

}  // namespace Qmv2
