#include <gtest/gtest.h>

#include <cmath>

#include "RendererFixture.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/render/iRenderTarget.h"

namespace graphics_test {

using namespace Qmv2;
using graphicstest::Fake;

namespace {

class GraphicsTest : public graphicstest::RendererFixture {
protected:
    void SetUp() override
    {
        RendererFixture::SetUp();
        texture_ = renderer_->CreateTexture(32, 32);
        image_ = new Image(texture_.Get(), 1, 1);
        graphics_ = renderer_->GetScreenGraphics();
    }
    void TearDown() override
    {
        image_.Reset();
        texture_.Reset();
        RendererFixture::TearDown();
    }
    // Sets up the drawing object's own state to draw the image at (x, y).
    void Sprite(float x, float y, std::int32_t blend = 0)
    {
        graphics_->Reset();
        graphics_->SetImage(image_->GetFirstFrame());
        graphics_->SetBoundsRect({0, 0, 32, 32});
        graphics_->SetPosition(x, y);
        graphics_->SetBlendMode(blend);
    }
    std::size_t Draws() const
    {
        return Fake().Named("DrawIndexedPrimitive").size() + Fake().Named("DrawPrimitive").size();
    }

    SmartPtr<ImageData> texture_;
    SmartPtr<Image> image_;
    Graphics* graphics_ = nullptr;
};

}  // namespace

TEST_F(GraphicsTest, EmptyPassDrawsNothing)
{
    Fake().ClearCalls();
    ASSERT_TRUE(graphics_->Begin());
    EXPECT_TRUE(graphics_->IsActive());
    EXPECT_FALSE(graphics_->End());
    EXPECT_TRUE(Fake().Named("BeginScene").empty());
    EXPECT_TRUE(Graphics::GetActiveStack().IsEmpty());
}

TEST_F(GraphicsTest, SameTextureSpritesMergeAndALineBreaksTheRun)
{
    Fake().ClearCalls();
    graphics_->Begin();
    Sprite(10, 10);
    graphics_->DrawImage();
    Sprite(50, 10);
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 2u);
    EXPECT_EQ(renderer_->GetVertexBuffer()->GetWritePosition(), 8u);
    EXPECT_EQ(renderer_->GetIndexBuffer()->GetWritePosition(), 12u);
    EXPECT_TRUE(graphics_->End());
    auto draws = Fake().Named("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].c, 4u) << "two quads in one call";

    Fake().ClearCalls();
    graphics_->Begin();
    Sprite(10, 10);
    graphics_->DrawImage();
    graphics_->DrawLines();
    Sprite(50, 10);
    graphics_->DrawImage();
    EXPECT_TRUE(graphics_->End());
    EXPECT_EQ(Fake().Named("DrawIndexedPrimitive").size(), 2u);
    auto lines = Fake().Named("DrawPrimitive");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].a, static_cast<DWORD>(D3DPT_LINESTRIP));
    EXPECT_EQ(lines[0].c, 4u) << "a closed quad outline is a strip of five vertices";
}

TEST_F(GraphicsTest, VerticesCarryTheHalfPixelOffsetAndFanIndices)
{
    graphics_->Begin();
    Sprite(10, 20);
    graphics_->SetPackedColor(0x80FF0000u);
    graphics_->DrawImage();
    const VertexBufferSlice& slice = graphics_->GetSlice(0);
    const GraphicsVertex* v = renderer_->GetVertexBuffer()->GetData() + slice.firstVertex;
    EXPECT_FLOAT_EQ(v[0].x, 9.5f);
    EXPECT_FLOAT_EQ(v[0].y, 19.5f);
    EXPECT_FLOAT_EQ(v[2].x, 41.5f);
    EXPECT_FLOAT_EQ(v[2].y, 51.5f);
    EXPECT_FLOAT_EQ(v[2].u, 1.0f);
    EXPECT_EQ(v[1].color, 0x80FF0000u);
    const std::uint16_t* i = renderer_->GetIndexBuffer()->GetData() + slice.firstIndex;
    EXPECT_EQ((std::vector<int>{i[0], i[1], i[2], i[3], i[4], i[5]}), (std::vector<int>{0, 1, 2, 0, 2, 3}));
    EXPECT_TRUE(slice.alphaBlending);
    graphics_->End();
}

TEST_F(GraphicsTest, ZeroAlphaOutsideAndClippedAwayRecordNothing)
{
    graphics_->Begin();
    Sprite(10, 10);
    graphics_->SetAlpha(0.0f);
    graphics_->DrawImage();
    Sprite(900, 10);
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 0u);

    Sprite(810, 10);
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 0u) << "wholly right of the view";

    graphics_->PushClip(PolygonF(400, 400, 50, 50));
    Sprite(10, 10);
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 0u);
    graphics_->PushClip(PolygonF(0, 0, 20, 20));
    EXPECT_EQ(graphics_->GetClipStack().end()[-1].GetVertexCount(), 0) << "a clip apart from the current one hides all";
    graphics_->PopClip();
    graphics_->PopClip();
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 1u);
    graphics_->End();
}

TEST_F(GraphicsTest, CrossingClipCutsThePolygon)
{
    graphics_->Begin();
    graphics_->PushClip(PolygonF(0, 0, 26, 100));
    Sprite(10, 10);
    graphics_->DrawImage();
    ASSERT_EQ(graphics_->GetSlicesUsed(), 1u);
    const VertexBufferSlice& slice = graphics_->GetSlice(0);
    const GraphicsVertex* v = renderer_->GetVertexBuffer()->GetData() + slice.firstVertex;
    float maxX = -1e9f;
    float maxU = -1e9f;
    for (std::uint32_t k = 0; k < slice.vertexCount; ++k) {
        maxX = std::max(maxX, v[k].x);
        maxU = std::max(maxU, v[k].u);
    }
    EXPECT_FLOAT_EQ(maxX, 25.5f);
    EXPECT_NEAR(maxU, 0.5f, 1e-4f) << "texture coordinates follow the cut";
    graphics_->PopClip();
    graphics_->End();
}

TEST_F(GraphicsTest, StacksMultiply)
{
    Matrix3x3 move;
    move.m02 = 5;
    graphics_->PushMatrix(move);
    Matrix3x3 scale;
    scale.m00 = 2;
    scale.m11 = 2;
    graphics_->PushMatrix(scale);
    EXPECT_FLOAT_EQ(graphics_->GetMatrixStack().end()[-1].Map(PointF(1, 1)).x, 7.0f);
    graphics_->PopMatrix();
    EXPECT_FLOAT_EQ(graphics_->GetMatrixStack().end()[-1].Map(PointF(1, 1)).x, 6.0f);
    graphics_->PopMatrix();

    graphics_->Reset();
    graphics_->SetAlpha(0.5f);
    graphics_->PushAlpha(0.5f);
    graphics_->PushRGB(0.5f, 1.0f, 0.25f);
    graphics_->PushColor(Color(1.0f, 0.5f, 0.5f, 1.0f));
    const Color c = graphics_->GetCurrentColor();
    EXPECT_FLOAT_EQ(c.a, 0.25f);
    EXPECT_FLOAT_EQ(c.r, 0.25f);
    EXPECT_FLOAT_EQ(c.g, 0.5f);
    EXPECT_FLOAT_EQ(c.b, 0.25f);
    graphics_->PopColor();
    graphics_->PopColor();
    graphics_->PopColor();
    EXPECT_FLOAT_EQ(graphics_->GetCurrentColor().a, 0.5f);
}

TEST_F(GraphicsTest, AlphaBlendingFlagByMode)
{
    graphics_->Begin();
    Sprite(10, 10, 3);
    graphics_->SetUseAlphaChannel(false);
    graphics_->DrawImage();
    EXPECT_FALSE(graphics_->GetSlice(0).alphaBlending);
    graphics_->SetAlpha(0.5f);
    graphics_->DrawImage();
    EXPECT_TRUE(graphics_->GetSlice(1).alphaBlending);
    Sprite(10, 10, 5);
    graphics_->DrawImage();
    EXPECT_FALSE(graphics_->GetSlice(2).alphaBlending) << "mode 5 blends only when translucent";
    graphics_->End();
}

TEST_F(GraphicsTest, NestedPassKeepsTheOuterSlices)
{
    SmartPtr<Image> target(Image::CreateRenderTarget(64, 64, true));
    ASSERT_EQ(target->GetFrameCount(), 1);
    SmartPtr<Graphics> inner(target->CreateGraphics());
    ASSERT_EQ(inner->GetTarget()->GetImageData(), target->GetFirstFrame()->GetImageData());

    Fake().ClearCalls();
    graphics_->Begin();
    Sprite(10, 10);
    graphics_->DrawImage();
    inner->Begin();
    EXPECT_EQ(Graphics::GetActiveStack().GetCount(), 2);
    inner->SetImage(image_->GetFirstFrame());
    inner->SetBoundsRect({0, 0, 32, 32});
    inner->DrawImage();
    EXPECT_EQ(inner->GetSlice(0).firstVertex, 4u) << "the inner pass writes behind the outer one";
    EXPECT_TRUE(inner->End());
    EXPECT_EQ(Fake().Named("GetRenderTargetData").size(), 1u) << "the drawn texture is copied back";
    EXPECT_TRUE(renderer_->GetVertexBuffer()->IsLocked());
    EXPECT_EQ(renderer_->GetVertexBuffer()->GetWritePosition(), 8u);
    Sprite(50, 10);
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlice(1).firstVertex, 8u);
    EXPECT_TRUE(graphics_->End());
    EXPECT_EQ(Fake().Named("DrawIndexedPrimitive").size(), 2u);
    EXPECT_EQ(renderer_->GetCurrentTarget(), renderer_->GetScreenTarget());
}

TEST_F(GraphicsTest, FullBuffersDropTheRestOfThePass)
{
    renderer_->SetVertexBudget(6);
    ASSERT_EQ(renderer_->Restore(), 0);
    graphics_ = renderer_->GetScreenGraphics();
    graphics_->Begin();
    Sprite(10, 10);
    graphics_->DrawImage();
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 1u);
    graphics_->End();
}

TEST_F(GraphicsTest, ManySlicesGrowTheRecords)
{
    graphics_->Begin();
    for (int i = 0; i < 25; ++i) {
        graphics_->ClearTarget();
    }
    EXPECT_EQ(graphics_->GetSlicesUsed(), 25u);
    EXPECT_EQ(graphics_->GetSliceRecordCount(), 120);
    Fake().ClearCalls();
    EXPECT_TRUE(graphics_->End());
    EXPECT_EQ(Fake().Named("Clear").size(), 1u) << "equal clears merge";
}

TEST_F(GraphicsTest, FailedBufferLockMarksTheDeviceLost)
{
    Fake().config.bufferLockFails = true;
    graphics_->Begin();
    EXPECT_TRUE(renderer_->IsDeviceLost());
    Sprite(10, 10);
    graphics_->DrawImage();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 0u);
    EXPECT_FALSE(graphics_->End());
}

namespace {

// Settings with a place of their own, as a node has.
class PlacedSettings : public GraphicsSettings {
public:
    float GetX() const override { return x_; }
    float GetY() const override { return y_; }
    void Place(float x, float y)
    {
        x_ = x;
        y_ = y;
        MarkDirty();
    }

private:
    float x_ = 0.0f;
    float y_ = 0.0f;
};

void ExpectSameMatrix(const Matrix3x3& a, const Matrix3x3& b)
{
    const float left[] = {a.m00, a.m01, a.m02, a.m10, a.m11, a.m12, a.m20, a.m21, a.m22};
    const float right[] = {b.m00, b.m01, b.m02, b.m10, b.m11, b.m12, b.m20, b.m21, b.m22};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(left[i], right[i]) << "entry " << i;
    }
}

}  // namespace

TEST_F(GraphicsTest, CopiedSettingsTransformAsTheSourceDoesNow)
{
    PlacedSettings source;
    source.SetRotation(0.5f);
    source.SetAnchorXY(4, 2);
    source.Place(10.25f, 20.0f);
    // The source works its matrices out, then changes: what is copied after
    // must be the changed transform, never the one worked out before.
    source.UpdateMatrix();
    for (int step = 0; step < 2; ++step) {
        if (step == 1) {
            source.Place(30.75f, -5.0f);
            source.SetScale(2.0f);
        }
        graphics_->CopyFrom(source);
        graphics_->UpdateMatrix();
        PlacedSettings fresh;
        fresh.SetRotation(0.5f);
        fresh.SetAnchorXY(4, 2);
        fresh.SetScale(step == 1 ? 2.0f : 1.0f);
        fresh.Place(step == 1 ? 30.75f : 10.25f, step == 1 ? -5.0f : 20.0f);
        fresh.UpdateMatrix();
        ASSERT_TRUE(graphics_->HasTransform());
        ExpectSameMatrix(graphics_->GetLocalMatrix(), fresh.GetLocalMatrix());
        ExpectSameMatrix(graphics_->GetInverseLocalMatrix(), fresh.GetInverseLocalMatrix());
        Matrix3x3 drawn;
        Matrix3x3 expected;
        graphics_->GraphicsSettings::ApplyTransform(drawn);
        fresh.ApplyTransform(expected);
        ExpectSameMatrix(drawn, expected);
    }
}

}  // namespace graphics_test
