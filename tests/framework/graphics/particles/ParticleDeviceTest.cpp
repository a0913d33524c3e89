#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "framework/graphics/RendererFixture.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/particles/ParticleDevice.h"
#include "framework/graphics/particles/ParticleImageData.h"
#include "framework/graphics/particles/ParticleIndexBuffer.h"
#include "framework/graphics/particles/ParticleVertexBuffer.h"
#include "framework/graphics/render/GraphicsVertex.h"

namespace particle_device_test {

using namespace Qmv2;
using PyroParticles::PyroGraphics::CBitmap;
using PyroParticles::PyroGraphics::IIndexBuffer;
using PyroParticles::PyroGraphics::ITexture;
using PyroParticles::PyroGraphics::IVertexBuffer;
using PyroParticles::PyroGraphics::Vertex;

namespace {

// Deletes what the device handed out, as the library does.
template <typename T>
struct Deleter {
    void operator()(T* object) const { delete object; }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleter<T>>;

class ParticleDeviceTest : public graphicstest::RendererFixture {
protected:
    void SetUp() override
    {
        RendererFixture::SetUp();
        device_ = new ParticleDevice;
        graphics_ = renderer_->GetScreenGraphics();
        device_->SetGraphics(graphics_);
    }
    void TearDown() override
    {
        device_.Reset();
        RendererFixture::TearDown();
    }

    // A texture of w x h pixels filled with 0xAA000000 + index.
    Owned<ITexture> MakeTexture(std::uint32_t w, std::uint32_t h)
    {
        pixels_.resize(w * h);
        for (std::uint32_t i = 0; i < w * h; ++i) {
            pixels_[i] = 0xAA000000u + i;
        }
        CBitmap bitmap(pixels_.data(), w, h, 0);
        ITexture* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(&texture, &bitmap), 1);
        return Owned<ITexture>(texture);
    }

    // A buffer of `quads` quads: vertex k of quad q at (10q + k, 20q + k), colour `abgr`.
    Owned<IVertexBuffer> MakeQuads(std::uint32_t quads, std::uint32_t abgr)
    {
        IVertexBuffer* buffer = nullptr;
        EXPECT_EQ(device_->CreateVertexBuffer(&buffer, 4 * quads, sizeof(Vertex)), 1);
        auto* vertices = static_cast<Vertex*>(buffer->GetData());
        for (std::uint32_t i = 0; i < 4 * quads; ++i) {
            const float base = static_cast<float>(i / 4);
            const float k = static_cast<float>(i % 4);
            vertices[i] = {10 * base + k, 20 * base + k, 0.25f, 0xDEADBEEFu, abgr, k / 4, 1 - k / 4};
        }
        return Owned<IVertexBuffer>(buffer);
    }

    const GraphicsVertex& WrittenVertex(const VertexBufferSlice& slice, std::uint32_t i)
    {
        return renderer_->GetVertexBuffer()->GetData()[slice.firstVertex + i];
    }

    SmartPtr<ParticleDevice> device_;
    Graphics* graphics_ = nullptr;
    std::vector<std::uint32_t> pixels_;
};

}  // namespace

TEST_F(ParticleDeviceTest, BlendFactorPairsBecomeBlendModes)
{
    struct Case {
        std::uint32_t source, destination;
        std::int32_t mode;
    };
    const Case cases[] = {{4, 5, 0}, {4, 1, 1}, {1, 1, 2}, {2, 0, 3}, {1, 0, 4}, {5, 4, 0}, {0, 0, 0}, {2, 2, 0}};
    for (const Case& c : cases) {
        graphics_->SetBlendMode(5);
        EXPECT_EQ(device_->SetBlending(c.source, c.destination), 1);
        EXPECT_EQ(graphics_->GetBlendMode(), c.mode) << c.source << "/" << c.destination;
    }
}

TEST_F(ParticleDeviceTest, RenderStateZeroSwitchesTheAlphaChannelAndOthersAreIgnored)
{
    EXPECT_EQ(device_->SetRenderState(0, 0), 1);
    EXPECT_FALSE(graphics_->GetUseAlphaChannel());
    EXPECT_EQ(device_->SetRenderState(7, 1), 1);
    EXPECT_FALSE(graphics_->GetUseAlphaChannel());
    EXPECT_EQ(device_->SetRenderState(0, 42), 1);
    EXPECT_TRUE(graphics_->GetUseAlphaChannel());
    EXPECT_EQ(device_->Reserved6(), 1);
    EXPECT_EQ(device_->Reserved9(), 1);
}

TEST_F(ParticleDeviceTest, WithoutADrawingObjectStateCallsAreHarmlessAndDrawsFail)
{
    device_->SetGraphics(nullptr);
    EXPECT_EQ(device_->SetBlending(1, 1), 1);
    EXPECT_EQ(device_->SetRenderState(0, 0), 1);
    Owned<IVertexBuffer> quads = MakeQuads(1, 0xFFFFFFFFu);
    Owned<ITexture> texture = MakeTexture(2, 2);
    device_->SetTexture(texture.get());
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 0);
}

TEST_F(ParticleDeviceTest, BuffersHoldTheRequestedBytesAndRefuseEmptyOrImpossibleSizes)
{
    IVertexBuffer* vertices = reinterpret_cast<IVertexBuffer*>(1);
    EXPECT_EQ(device_->CreateVertexBuffer(&vertices, 0, 28), 0);
    EXPECT_EQ(vertices, nullptr);
    EXPECT_EQ(device_->CreateVertexBuffer(&vertices, 6, 28), 1);
    Owned<IVertexBuffer> ownedVertices(vertices);
    EXPECT_EQ(dynamic_cast<ParticleVertexBuffer*>(vertices)->GetByteSize(), 168u);
    std::memset(vertices->GetData(), 0x5A, 168);  // every byte is writable
    EXPECT_EQ(vertices->Lock(), 1);
    EXPECT_EQ(vertices->Unlock(), 1);
    EXPECT_EQ(vertices->Reserved0(), 0);
    EXPECT_EQ(vertices->Reserved1(), 0);

    IIndexBuffer* indices = nullptr;
    EXPECT_EQ(device_->CreateIndexBuffer(&indices, 0), 0);
    EXPECT_EQ(indices, nullptr);
    EXPECT_EQ(device_->CreateIndexBuffer(&indices, 9), 1);
    Owned<IIndexBuffer> ownedIndices(indices);
    EXPECT_EQ(dynamic_cast<ParticleIndexBuffer*>(indices)->GetByteSize(), 18u);

    // Sizes beyond any real need answer 0 instead of ending the program.
    EXPECT_EQ(device_->CreateVertexBuffer(&vertices, 0xFFFFFFFFu, 0xFFFFFFFFu), 0);
    EXPECT_EQ(vertices, nullptr);
    EXPECT_EQ(device_->CreateIndexBuffer(&indices, 0xFFFFFFFFu), 0);
    EXPECT_EQ(indices, nullptr);
    EXPECT_EQ(device_->CreateVertexBuffer(nullptr, 4, 28), 0);
}

TEST_F(ParticleDeviceTest, BitmapsCarryTheirFourValues)
{
    int pixels = 0;
    CBitmap* bitmap = nullptr;
    EXPECT_EQ(device_->CreateBitmap(&bitmap, &pixels, 64, 32, 7), 1);
    Owned<CBitmap> owned(bitmap);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->m_Pixels, &pixels);
    EXPECT_EQ(bitmap->m_Width, 64u);
    EXPECT_EQ(bitmap->m_Height, 32u);
    EXPECT_EQ(bitmap->m_Extra, 7u);
}

TEST_F(ParticleDeviceTest, TexturesCopyTheBitmapRowByRowAndKeepAFrame)
{
    Owned<ITexture> texture = MakeTexture(5, 3);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->GetFrames().GetCount(), 1);
    auto* image = dynamic_cast<ParticleImageData*>(texture.get());
    ASSERT_NE(image, nullptr);
    ImageData* data = image->GetImageData();
    EXPECT_EQ(device_->GetFrames()[0]->GetImageData(), data);
    EXPECT_EQ(data->GetWidth(), 5);
    EXPECT_EQ(data->GetHeight(), 3);
    ASSERT_TRUE(image->LockTexture());
    const auto* bytes = static_cast<const std::uint8_t*>(image->GetTextureBits());
    ASSERT_NE(bytes, nullptr);
    for (std::uint32_t y = 0; y < 3; ++y) {
        for (std::uint32_t x = 0; x < 5; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, bytes + y * static_cast<std::uint32_t>(data->GetPitch()) + 4 * x, 4);
            EXPECT_EQ(pixel, 0xAA000000u + y * 5 + x) << x << "," << y;
        }
    }
    EXPECT_TRUE(image->UnlockTexture());
    EXPECT_EQ(texture->Reserved0(), 0);
}

TEST_F(ParticleDeviceTest, TextureRequestsWithoutABitmapOrOverTheLimitMakeNothing)
{
    ITexture* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(&texture, nullptr), 0);
    std::vector<std::uint32_t> pixels(2048 * 2, 0);
    CBitmap wide(pixels.data(), 1025, 2, 0);
    EXPECT_EQ(device_->CreateTexture(&texture, &wide), 0);
    CBitmap huge(pixels.data(), 0xFFFFFFFFu, 1, 0);
    EXPECT_EQ(device_->CreateTexture(&texture, &huge), 0);
    CBitmap empty(pixels.data(), 0, 4, 0);
    EXPECT_EQ(device_->CreateTexture(&texture, &empty), 0);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device_->GetFrames().GetCount(), 0);
}

TEST_F(ParticleDeviceTest, SetTextureMakesAFrameOverItOrAnEmptyOne)
{
    Owned<ITexture> texture = MakeTexture(4, 4);
    EXPECT_EQ(device_->GetCurrentFrame(), nullptr);
    EXPECT_EQ(device_->SetTexture(texture.get()), 1);
    ASSERT_NE(device_->GetCurrentFrame(), nullptr);
    EXPECT_EQ(device_->GetCurrentFrame()->GetImageData(), dynamic_cast<ParticleImageData*>(texture.get())->GetImageData());
    EXPECT_EQ(device_->SetTexture(nullptr), 1);
    ASSERT_NE(device_->GetCurrentFrame(), nullptr);
    EXPECT_EQ(device_->GetCurrentFrame()->GetImageData(), nullptr);
}

TEST_F(ParticleDeviceTest, QuadsBecomeIndexedTrianglesWithArgbColours)
{
    Owned<ITexture> texture = MakeTexture(4, 4);
    Owned<IVertexBuffer> quads = MakeQuads(2, 0x80402010u);  // alpha 80, blue 40, green 20, red 10
    device_->SetTexture(texture.get());
    ASSERT_TRUE(graphics_->Begin());
    const std::uint32_t vertexStart = renderer_->GetVertexBuffer()->GetWritePosition();
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 2, 0), 1);
    ASSERT_EQ(graphics_->GetSlicesUsed(), 1u);
    const VertexBufferSlice& slice = graphics_->GetSlice(0);
    EXPECT_EQ(slice.kind, VertexBufferSlice::kTriangles);
    EXPECT_EQ(slice.texture, dynamic_cast<ParticleImageData*>(texture.get())->GetImageData());
    EXPECT_EQ(slice.firstVertex, vertexStart);
    EXPECT_EQ(slice.vertexCount, 8u);
    EXPECT_EQ(slice.indexCount, 12u);
    const std::uint16_t* indices = renderer_->GetIndexBuffer()->GetData() + slice.firstIndex;
    const auto b = static_cast<std::uint16_t>(vertexStart);
    const std::vector<std::uint16_t> expected = {
        b,     static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 2),
        b,     static_cast<std::uint16_t>(b + 2), static_cast<std::uint16_t>(b + 3),
        static_cast<std::uint16_t>(b + 4), static_cast<std::uint16_t>(b + 5), static_cast<std::uint16_t>(b + 6),
        static_cast<std::uint16_t>(b + 4), static_cast<std::uint16_t>(b + 6), static_cast<std::uint16_t>(b + 7)};
    EXPECT_EQ(std::vector<std::uint16_t>(indices, indices + 12), expected);
    const GraphicsVertex& v5 = WrittenVertex(slice, 5);  // quad 1, vertex 1
    EXPECT_EQ(v5.x, 11.0f);
    EXPECT_EQ(v5.y, 21.0f);
    EXPECT_EQ(v5.z, 0.25f);
    EXPECT_EQ(v5.u, 0.25f);
    EXPECT_EQ(v5.v, 0.75f);
    EXPECT_EQ(v5.color, 0x80102040u) << "red and blue swap places";
    EXPECT_TRUE(graphics_->End());
    EXPECT_EQ(graphicstest::Fake().Named("DrawIndexedPrimitive").size(), 1u);
}

TEST_F(ParticleDeviceTest, ATintedDrawingColourScalesEveryByte)
{
    Owned<ITexture> texture = MakeTexture(2, 2);
    Owned<IVertexBuffer> quads = MakeQuads(1, 0xFF0000FFu);  // opaque red
    device_->SetTexture(texture.get());
    graphics_->Begin();
    graphics_->PushColor(Color(0x80FF4020u));
    ASSERT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1);
    const VertexBufferSlice& slice = graphics_->GetSlice(0);
    // 0xFF x 0x80 / 256 = 0x7F, 0xFF x 0xFF / 256 = 0xFE, zero channels stay zero.
    EXPECT_EQ(WrittenVertex(slice, 0).color, 0x7FFE0000u);
    EXPECT_TRUE(slice.alphaBlending) << "a translucent colour always blends";
    graphics_->PopColor();
    graphics_->End();
}

TEST_F(ParticleDeviceTest, TheDrawingTransformMovesPositionsOnly)
{
    Owned<ITexture> texture = MakeTexture(2, 2);
    Owned<IVertexBuffer> quads = MakeQuads(1, 0xFFFFFFFFu);
    device_->SetTexture(texture.get());
    Matrix3x3 m;
    m.m00 = 2.0f;
    m.m01 = 0.5f;
    m.m02 = 100.0f;
    m.m10 = 0.25f;
    m.m11 = 3.0f;
    m.m12 = 50.0f;
    graphics_->Begin();
    graphics_->PushMatrix(m);
    ASSERT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1);
    const GraphicsVertex& v = WrittenVertex(graphics_->GetSlice(0), 3);  // (3, 3)
    EXPECT_FLOAT_EQ(v.x, 3 * 2.0f + 3 * 0.5f + 100.0f);
    EXPECT_FLOAT_EQ(v.y, 3 * 0.25f + 3 * 3.0f + 50.0f);
    EXPECT_EQ(v.z, 0.25f);
    EXPECT_EQ(v.u, 0.75f);
    EXPECT_EQ(v.color, 0xFFFFFFFFu);
    graphics_->PopMatrix();
    graphics_->End();
}

TEST_F(ParticleDeviceTest, OpaqueDrawsBlendAsTheirModeSays)
{
    Owned<ITexture> texture = MakeTexture(2, 2);
    Owned<IVertexBuffer> quads = MakeQuads(1, 0xFFFFFFFFu);
    device_->SetTexture(texture.get());
    ImageData* data = dynamic_cast<ParticleImageData*>(texture.get())->GetImageData();
    struct Case {
        std::uint32_t source, destination;  // the library's factors
        bool textureAlpha, alphaChannel, blends;
    };
    const Case cases[] = {
        {4, 5, true, false, true},   // mode 0 follows the texture
        {4, 5, false, true, false},
        {1, 0, false, true, false},  // mode 4 likewise
        {1, 0, true, false, true},
        {4, 1, false, true, true},   // mode 1 follows the alpha channel
        {1, 1, true, false, false},  // mode 2 likewise
    };
    for (const Case& c : cases) {
        data->SetHasAlpha(c.textureAlpha);
        device_->SetRenderState(0, c.alphaChannel ? 1 : 0);
        device_->SetBlending(c.source, c.destination);
        graphics_->Begin();
        ASSERT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1);
        EXPECT_EQ(graphics_->GetSlice(0).alphaBlending, c.blends) << c.source << "/" << c.destination;
        EXPECT_EQ(graphics_->GetSlice(0).blendMode, ParticleDevice::BlendModeFor(c.source, c.destination));
        graphics_->End();
    }
    // Mode 5 never blends an opaque draw, whatever the flags say.
    data->SetHasAlpha(true);
    device_->SetRenderState(0, 1);
    graphics_->SetBlendMode(5);
    graphics_->Begin();
    ASSERT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1);
    EXPECT_FALSE(graphics_->GetSlice(0).alphaBlending);
    graphics_->End();
}

TEST_F(ParticleDeviceTest, NothingIsDrawnForNoQuadsNoFrameOrAnInvisibleColour)
{
    Owned<ITexture> texture = MakeTexture(2, 2);
    Owned<IVertexBuffer> quads = MakeQuads(1, 0xFFFFFFFFu);
    graphics_->Begin();
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1) << "no frame set";
    device_->SetTexture(texture.get());
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 0, 0), 1) << "no quads";
    graphics_->PushAlpha(0.0f);
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1) << "invisible";
    graphics_->PopColor();
    EXPECT_EQ(graphics_->GetSlicesUsed(), 0u);
    EXPECT_EQ(device_->DrawQuads(nullptr, 0, 1, 0), 0) << "no buffer to read";
    EXPECT_FALSE(graphics_->End());
}

TEST_F(ParticleDeviceTest, OnlyTheQuadsTheBufferHoldsAreRead)
{
    Owned<ITexture> texture = MakeTexture(2, 2);
    Owned<IVertexBuffer> quads = MakeQuads(2, 0xFFFFFFFFu);
    device_->SetTexture(texture.get());
    graphics_->Begin();
    ASSERT_EQ(device_->DrawQuads(quads.get(), 0, 1000, 0), 1);
    EXPECT_EQ(graphics_->GetSlice(0).vertexCount, 8u);
    EXPECT_EQ(graphics_->GetSlice(0).indexCount, 12u);
    graphics_->End();
}

TEST_F(ParticleDeviceTest, WithoutBatchSpaceTheDrawFails)
{
    Owned<ITexture> texture = MakeTexture(2, 2);
    Owned<IVertexBuffer> quads = MakeQuads(1, 0xFFFFFFFFu);
    device_->SetTexture(texture.get());
    // Outside a pass the shared buffers are not open for writing.
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 0);

    // A batch too full for the quads gives no space either.
    renderer_->SetVertexBudget(6);
    renderer_->Restore();
    graphics_->Begin();
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 1);
    EXPECT_EQ(device_->DrawQuads(quads.get(), 0, 1, 0), 0);
    graphics_->End();
}

}  // namespace particle_device_test
