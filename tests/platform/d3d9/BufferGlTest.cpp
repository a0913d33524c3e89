// Dynamic vertex and index buffers: discard starts over, no-overwrite appends
// behind data already drawn, and draws never read outside the buffers.
#include "DeviceFixture.h"

namespace d3d9test {
namespace {

class BufferGlTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_EQ(device_->CreateVertexBuffer(8 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                              D3DPOOL_DEFAULT, &vb_, nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->CreateIndexBuffer(12 * sizeof(WORD), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                             D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib_, nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->SetFVF(kVertexFvf), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(Vertex)), D3D_OK);
        ASSERT_EQ(device_->SetIndices(ib_), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    }
    void TearDown() override
    {
        if (device_ != nullptr) {
            device_->SetStreamSource(0, nullptr, 0, 0);
            device_->SetIndices(nullptr);
        }
        if (vb_ != nullptr) {
            EXPECT_EQ(vb_->Release(), 0u);
        }
        if (ib_ != nullptr) {
            EXPECT_EQ(ib_->Release(), 0u);
        }
        DeviceFixture::TearDown();
    }
    void WriteQuad(UINT firstVertex, const std::vector<Vertex>& quad, DWORD flags)
    {
        void* data = nullptr;
        ASSERT_EQ(vb_->Lock(firstVertex * sizeof(Vertex), 4 * sizeof(Vertex), &data, flags), D3D_OK);
        std::memcpy(data, quad.data(), 4 * sizeof(Vertex));
        ASSERT_EQ(vb_->Unlock(), D3D_OK);
        void* indices = nullptr;
        ASSERT_EQ(ib_->Lock((firstVertex / 4) * 6 * sizeof(WORD), 6 * sizeof(WORD), &indices, flags), D3D_OK);
        WORD b = static_cast<WORD>(firstVertex);
        const WORD fan[6] = {b, static_cast<WORD>(b + 1), static_cast<WORD>(b + 2),
                             b, static_cast<WORD>(b + 2), static_cast<WORD>(b + 3)};
        std::memcpy(indices, fan, sizeof fan);
        ASSERT_EQ(ib_->Unlock(), D3D_OK);
    }
    HRESULT DrawIndexed(UINT firstIndex, UINT triangles)
    {
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        HRESULT result = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, firstIndex, triangles);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return result;
    }

    IDirect3DVertexBuffer9* vb_ = nullptr;
    IDirect3DIndexBuffer9* ib_ = nullptr;
};

TEST_F(BufferGlTest, NoOverwriteAppendsBehindTheFirstQuadAndDiscardStartsOver)
{
    WriteQuad(0, Quad(0, 0, 4, 4, 0xFFFF0000u), D3DLOCK_DISCARD);
    ASSERT_EQ(DrawIndexed(0, 2), D3D_OK);
    WriteQuad(4, Quad(10, 0, 14, 4, 0xFF00FF00u), D3DLOCK_NOOVERWRITE);
    // Both quads from one draw: the first quad's vertices and indices survived.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(DrawIndexed(0, 4), D3D_OK);
    std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(pixels[1 * kWidth + 1], 0xFFFF0000u);
    EXPECT_EQ(pixels[1 * kWidth + 11], 0xFF00FF00u);

    WriteQuad(0, Quad(20, 0, 24, 4, 0xFF0000FFu), D3DLOCK_DISCARD);
    ASSERT_EQ(DrawIndexed(0, 2), D3D_OK);
    EXPECT_EQ(BackBufferPixel(21, 1), 0xFF0000FFu);
}

TEST_F(BufferGlTest, LocksFollowTheBufferRules)
{
    void* data = nullptr;
    // Nested locks are counted.
    ASSERT_EQ(vb_->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    ASSERT_EQ(vb_->Lock(0, 0, &data, D3DLOCK_NOOVERWRITE), D3D_OK);
    EXPECT_EQ(vb_->Unlock(), D3D_OK);
    EXPECT_EQ(vb_->Unlock(), D3D_OK);
    EXPECT_EQ(vb_->Unlock(), D3DERR_INVALIDCALL);
    // Ranges stay inside the buffer.
    EXPECT_EQ(vb_->Lock(7 * sizeof(Vertex), 2 * sizeof(Vertex), &data, D3DLOCK_NOOVERWRITE), D3DERR_INVALIDCALL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(ib_->Lock(0, 100, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb_->Lock(0, 0, &data, D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb_->Lock(0, 0, &data, D3DLOCK_READONLY), D3DERR_INVALIDCALL);  // write-only
    // Discard and no-overwrite belong to dynamic buffers.
    IDirect3DVertexBuffer9* fixed = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(4 * sizeof(Vertex), 0, kVertexFvf, D3DPOOL_MANAGED, &fixed, nullptr), D3D_OK);
    EXPECT_EQ(fixed->Lock(0, 0, &data, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
    EXPECT_EQ(fixed->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(fixed->Unlock(), D3D_OK);
    fixed->Release();
    IDirect3DIndexBuffer9* bad = nullptr;
    EXPECT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &fixed, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(BufferGlTest, IndexedDrawsNeverReachPastTheBuffers)
{
    WriteQuad(0, Quad(0, 0, 4, 4, 0xFFFF0000u), D3DLOCK_DISCARD);
    // Index 9 names a vertex past the 8-vertex buffer.
    void* indices = nullptr;
    ASSERT_EQ(ib_->Lock(6 * sizeof(WORD), 6 * sizeof(WORD), &indices, D3DLOCK_NOOVERWRITE), D3D_OK);
    const WORD wild[6] = {0, 1, 9, 0, 2, 3};
    std::memcpy(indices, wild, sizeof wild);
    ASSERT_EQ(ib_->Unlock(), D3D_OK);
    EXPECT_EQ(DrawIndexed(6, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(DrawIndexed(6, 3), D3DERR_INVALIDCALL);  // past the 12 indices
    EXPECT_EQ(DrawIndexed(0, 2), D3D_OK);
    // A base vertex moves every index.
    WriteQuad(4, Quad(30, 0, 34, 4, 0xFF00FF00u), D3DLOCK_NOOVERWRITE);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 5, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(BackBufferPixel(31, 1), 0xFF00FF00u);
}

}  // namespace
}  // namespace d3d9test
