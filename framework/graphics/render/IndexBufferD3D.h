// The shared index buffer on a dynamic, write-only Direct3D buffer of 16-bit indices.
#pragma once

#include "framework/graphics/render/IndexBuffer.h"
#include "platform/d3d9/IDirect3DDevice9.h"

namespace Qmv2 {

class IndexBufferD3D : public IndexBuffer {
public:
    QMV_CLASS_TYPE(IndexBufferD3D, IndexBuffer)

    static constexpr std::int32_t kIndexSize = 2;

    IndexBufferD3D(IDirect3DDevice9* device, std::uint32_t capacity);
    ~IndexBufferD3D() override;

    bool Lock(bool discard) override;
    bool Unlock() override;
    std::uint16_t* GetData() override { return m_Locked ? m_Data : nullptr; }
    IDirect3DIndexBuffer9* GetBuffer() const { return m_Buffer; }

private:
    IDirect3DIndexBuffer9* m_Buffer = nullptr;
    std::uint16_t* m_Data = nullptr;
};

}  // namespace Qmv2
