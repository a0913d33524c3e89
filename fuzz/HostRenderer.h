// A renderer for the image fuzz targets: textures are plain host memory, so
// the loaders' whole path (frames, padding, masks) runs without a device.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/graphics/render/ImageData.h"
#include "framework/graphics/render/Renderer.h"

class HostImageData : public Qmv2::ImageData {
public:
    HostImageData(std::int32_t width, std::int32_t height)
        : ImageData(width, height, width, height, true),
          m_Pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    {
    }
    void* GetBits() override { return IsLocked() ? m_Pixels.data() : nullptr; }

protected:
    bool DoLock(bool) override
    {
        m_Pitch = m_TextureWidth * 4;
        m_Modified = true;
        return true;
    }
    bool DoUnlock() override { return true; }

private:
    std::vector<std::uint32_t> m_Pixels;
};

class HostRenderer : public Qmv2::Renderer {
public:
    std::int32_t Init(std::int32_t, std::int32_t) override { return kNone; }
    std::int32_t Restore() override { return kNone; }
    void UpdateScreenProjection() override {}
    void SetProjection(float, float) override {}
    void ApplyScreenProjection() override {}
    void BeginScene() override {}
    bool EndScene() override { return true; }
    void Reset() override {}
    bool IsDeviceLost() override { return false; }
    bool CheckDeviceLost() override { return false; }
    void SetDeviceLost() override {}
    void CreateScreenTarget() override {}
    void SetBlendMode(std::int32_t) override {}
    void EnableAlphaBlend(bool) override {}
    void Clear(Qmv2::Color&) override {}
    void Draw(Qmv2::VertexBufferSlice&) override {}
    Qmv2::ImageData* CreateTexture(std::int32_t width, std::int32_t height) override
    {
        if (width <= 0 || height <= 0 || width > kTextureSizeLimit || height > kTextureSizeLimit) {
            return nullptr;
        }
        return new HostImageData(width, height);
    }
    Qmv2::ImageData* CreateRenderTexture(std::int32_t, std::int32_t, bool) override { return nullptr; }
    Qmv2::ImageData* CaptureBackBuffer() override { return nullptr; }

    // Makes the renderer singleton once per process.
    static void Install()
    {
        if (Renderer::GetInstance() == nullptr) {
            Renderer::SetInstance(new HostRenderer);
        }
    }
};
