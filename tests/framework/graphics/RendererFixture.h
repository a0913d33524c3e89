// A Direct3D renderer singleton over the recording fake library.
#pragma once

#include <gtest/gtest.h>

#include "FakeD3D9.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"

namespace graphicstest {

class RendererFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallFakeD3D9();
        Customise(Fake().config);
        Qmv2::ImageManager::Create();
        renderer_ = new Qmv2::RendererD3D;
        Qmv2::Renderer::SetInstance(renderer_);
        if (initialise_) {
            ASSERT_EQ(renderer_->Init(800, 600), 0);
        }
    }
    void TearDown() override
    {
        Qmv2::Renderer::ReleaseInstance();
        Qmv2::ImageManager::ReleaseInstance();
    }
    virtual void Customise(FakeConfig&) {}

    Qmv2::RendererD3D* renderer_ = nullptr;
    bool initialise_ = true;
};

}  // namespace graphicstest
