#include <gtest/gtest.h>

#include "RendererFixture.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/render/ImageDataD3D.h"

#include <thread>

namespace image_test {

using namespace Qmv2;

using ImageTest = graphicstest::RendererFixture;

TEST_F(ImageTest, FrameGrid)
{
    SmartPtr<ImageData> data(renderer_->CreateTexture(100, 90));
    SmartPtr<Image> image(new Image(data.Get(), 5, 2));
    ASSERT_EQ(image->GetFrameCount(), 5);
    const ImageRect& last = image->GetFrame(4)->GetPixelRect();
    EXPECT_EQ(last.x, 0);
    EXPECT_EQ(last.y, 60);
    EXPECT_EQ(last.width, 50);
    EXPECT_EQ(last.height, 30);
    EXPECT_FLOAT_EQ(image->GetFrame(1)->GetRect().u, 0.5f);
    EXPECT_FLOAT_EQ(image->GetFrame(4)->GetRect().height, 30.0f / 90.0f);
}

TEST_F(ImageTest, ZeroCountsMeanOne)
{
    SmartPtr<ImageData> data(renderer_->CreateTexture(40, 40));
    SmartPtr<Image> image(new Image(data.Get(), 0, 0));
    ASSERT_EQ(image->GetFrameCount(), 1);
    EXPECT_EQ(image->GetColumnCount(), 1);
    EXPECT_EQ(image->GetFirstFrame()->GetPixelRect().width, 40);
}

TEST_F(ImageTest, TextureImageGivesNoTargetOfItsOwn)
{
    SmartPtr<ImageData> data(renderer_->CreateTexture(8, 8));
    SmartPtr<Image> image(new Image(data.Get(), 1, 1));
    SmartPtr<Graphics> graphics(image->CreateGraphics());
    EXPECT_EQ(graphics->GetTarget(), renderer_->GetScreenTarget());
}

TEST_F(ImageTest, IdleDrawablesUnloadAfterMoreThan500Ms)
{
    SmartPtr<ImageData> kept(renderer_->CreateRenderTexture(8, 8, true));
    SmartPtr<ImageData> idle(renderer_->CreateRenderTexture(8, 8, true));
    SmartPtr<ImageData> texture(renderer_->CreateTexture(8, 8));
    kept->SetLastUseTime(1000);
    idle->SetLastUseTime(999);
    texture->SetLastUseTime(0);
    ImageManager::GetInstance()->UnloadIdle(1500);
    EXPECT_FALSE(kept->IsReleased()) << "exactly 500 ms is kept";
    EXPECT_TRUE(idle->IsReleased());
    EXPECT_FALSE(texture->IsReleased()) << "managed textures are never unloaded";
    renderer_->SetTexture(idle.Get());
    EXPECT_FALSE(idle->IsReleased()) << "drawing with it makes it again";
}

TEST_F(ImageTest, TexturesRegisterFromAnotherThread)
{
    std::vector<ImageData*> made(50, nullptr);
    std::thread loader([&] {
        for (ImageData*& data : made) {
            data = renderer_->CreateTexture(4, 4);
            data->AddRef();
        }
    });
    for (int i = 0; i < 200; ++i) {
        ImageManager::GetInstance()->UnloadIdle(static_cast<std::uint64_t>(i));
    }
    loader.join();
    EXPECT_EQ(ImageManager::GetInstance()->GetTextureCount(), 50);
    for (ImageData* data : made) {
        data->Release();
    }
    EXPECT_EQ(ImageManager::GetInstance()->GetTextureCount(), 0);
}

}  // namespace image_test
