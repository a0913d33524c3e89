// A real game window with the Direct3D renderer on it, for tests that draw
// and read back pictures.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include "GoldenImage.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"
#include "platform/d3d9/Direct3D9Library.h"

namespace graphicstest {

class ScreenFixture : public ::testing::Test {
protected:
    ScreenFixture(const char* title, int width, int height) : m_Title(title), m_Width(width), m_Height(height) {}

    static void SetUpTestSuite()
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        platform::d3d9::RegisterDirect3D9Library();
    }

    void SetUp() override
    {
        Qmv2::GameWindowWin32::CreateGameWindow(m_Title, m_Width, m_Height, false);
        Qmv2::ImageManager::Create();
        ASSERT_EQ(Qmv2::Renderer::Create(m_Width, m_Height), 0);
        renderer_ = Qmv2::RendererD3D::GetD3D();
        ASSERT_NE(renderer_, nullptr);
        screen_ = renderer_->GetScreenGraphics();
    }

    void TearDown() override
    {
        if (Qmv2::Renderer* renderer = Qmv2::Renderer::GetInstance()) {
            renderer->ReleaseResources();
        }
        Qmv2::Renderer::ReleaseInstance();
        Qmv2::ImageManager::ReleaseInstance();
        if (Qmv2::GameWindow* window = Qmv2::GameWindow::GetInstance()) {
            window->Destroy();
            Qmv2::GameWindow::ReleaseInstance();
        }
    }

    Picture Capture() { return CaptureScreen(*renderer_, m_Width, m_Height); }

    Qmv2::RendererD3D* renderer_ = nullptr;
    Qmv2::Graphics* screen_ = nullptr;

private:
    const char* m_Title;
    int m_Width;
    int m_Height;
};

}  // namespace graphicstest
