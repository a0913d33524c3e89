// A dialog's painted background rendered on the Direct3D stand-in and read
// back from the screen.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/DialogPainter.h"
#include "platform/d3d9/Direct3D9Library.h"

namespace dialog_painter_gl_test {

using namespace Qmv2;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

constexpr std::uint32_t kCorner = 0xFFFF0000u;
constexpr std::uint32_t kEdge = 0xFF00FF00u;
constexpr std::uint32_t kCentre = 0xFF0000FFu;
constexpr std::uint32_t kScreen = 0xFF404040u;

// A painter whose nine frames are solid squares made here instead of
// resources: corners red, edges green, the centre blue (or none).
class SolidPainter : public DialogPainter {
public:
    SolidPainter(RendererD3D* renderer, int size, bool withCentre)
    {
        for (int k = 0; k < kFrameCount; ++k) {
            const bool corner = k == 0 || k == 2 || k == 6 || k == 8;
            if (k == 4 && !withCentre) {
                m_Images.emplace_back();
                continue;
            }
            SmartPtr<ImageData> data(renderer->CreateTexture(size, size));
            EXPECT_TRUE(data->Lock(false));
            auto* bytes = static_cast<std::uint8_t*>(data->GetBits());
            for (int y = 0; y < size; ++y) {
                auto* row = reinterpret_cast<std::uint32_t*>(bytes + y * data->GetPitch());
                for (int x = 0; x < size; ++x) {
                    row[x] = corner ? kCorner : (k == 4 ? kCentre : kEdge);
                }
            }
            EXPECT_TRUE(data->Unlock());
            m_Images.emplace_back(new Image(data.Get(), 1, 1));
        }
    }
    ImageFrame* GetImage(std::int32_t index) override
    {
        return index >= 0 && index < static_cast<std::int32_t>(m_Images.size()) && m_Images[index] != nullptr
                   ? m_Images[index]->GetFirstFrame()
                   : nullptr;
    }

private:
    std::vector<SmartPtr<Image>> m_Images;
};

class DialogPainterGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        platform::d3d9::RegisterDirect3D9Library();
    }

    void SetUp() override
    {
        GameWindowWin32::CreateGameWindow("dialog test", kWidth, kHeight, false);
        ImageManager::Create();
        ASSERT_EQ(Renderer::Create(kWidth, kHeight), 0);
        renderer_ = RendererD3D::GetD3D();
        ASSERT_NE(renderer_, nullptr);
    }

    void TearDown() override
    {
        if (Renderer* renderer = Renderer::GetInstance()) {
            renderer->ReleaseResources();
        }
        Renderer::ReleaseInstance();
        ImageManager::ReleaseInstance();
        if (GameWindow* window = GameWindow::GetInstance()) {
            window->Destroy();
            GameWindow::ReleaseInstance();
        }
    }

    // Draws the dialog on a grey screen and reads the screen back.
    std::vector<std::uint32_t> DrawOnScreen(Dialog& dialog)
    {
        Graphics* screen = renderer_->GetScreenGraphics();
        screen->Begin();
        screen->Reset();
        screen->SetPackedColor(kScreen);
        screen->ClearTarget();
        screen->Reset();
        dialog.Render(*screen);
        EXPECT_TRUE(screen->End());
        SmartPtr<ImageData> shot(renderer_->CaptureBackBuffer());
        std::vector<std::uint32_t> pixels;
        EXPECT_TRUE(shot->Lock(true));
        auto* bytes = static_cast<std::uint8_t*>(shot->GetBits());
        for (int y = 0; y < kHeight; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bytes + y * shot->GetPitch());
            for (int x = 0; x < kWidth; ++x) {
                pixels.push_back(row[x] | 0xFF000000u);
            }
        }
        shot->Unlock();
        return pixels;
    }

    static std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y)
    {
        return pixels[static_cast<std::size_t>(y) * kWidth + x];
    }

    SmartPtr<Dialog> MakeDialog(float x, float y, float width, float height)
    {
        // The dialog keeps its description.
        SmartPtr<PropertyNode> node(new PropertyNode("DIALOG_TEST", "Dialog"));
        node->AddChild(new PropertyValue("x", "", std::to_string(x)));
        node->AddChild(new PropertyValue("y", "", std::to_string(y)));
        node->AddChild(new PropertyValue("width", "", std::to_string(width)));
        node->AddChild(new PropertyValue("height", "", std::to_string(height)));
        return SmartPtr<Dialog>(new Dialog(node.Get()));
    }

    RendererD3D* renderer_ = nullptr;
};

}  // namespace

TEST_F(DialogPainterGlTest, TheBackgroundIsComposedFromTheNineFramesAndRepaintedOnResize)
{
    SmartPtr<Dialog> dialog = MakeDialog(20.0f, 10.0f, 60.0f, 40.0f);
    dialog->SetPainter(new SolidPainter(renderer_, 8, true));
    dialog->SetWidth(60.0f);   // snapped to 16 + 6 * 8
    const std::vector<std::uint32_t> pixels = DrawOnScreen(*dialog);
    EXPECT_FALSE(dialog->GetPainter()->IsDirty()) << "a painted background is clean";
    ASSERT_NE(dialog->GetImageSet(), nullptr);
    EXPECT_EQ(dialog->GetImageSet()->GetFirstFrame()->GetPixelRect().width, 64);
    EXPECT_EQ(At(pixels, 21, 11), kCorner) << "top-left corner";
    EXPECT_EQ(At(pixels, 82, 48), kCorner) << "bottom-right corner";
    EXPECT_EQ(At(pixels, 50, 12), kEdge) << "top edge";
    EXPECT_EQ(At(pixels, 22, 30), kEdge) << "left edge";
    EXPECT_EQ(At(pixels, 50, 30), kCentre);
    EXPECT_EQ(At(pixels, 10, 30), kScreen) << "nothing left of the dialog";
    EXPECT_EQ(At(pixels, 90, 30), kScreen) << "nothing right of the dialog";

    // Without a centre frame the centre is filled; a new size paints anew.
    dialog->SetPainter(new SolidPainter(renderer_, 8, false));
    dialog->SetWidth(80.0f);
    const std::vector<std::uint32_t> wider = DrawOnScreen(*dialog);
    EXPECT_EQ(At(wider, 60, 30), 0xFF000000u) << "the default centre colour is opaque black";
    EXPECT_EQ(At(wider, 98, 12), kCorner) << "the corner moved with the new width";
    EXPECT_EQ(At(wider, 60, 12), kEdge);
}

}  // namespace dialog_painter_gl_test
