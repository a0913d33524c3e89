// The shared vertex buffer on a dynamic, write-only Direct3D vertex buffer.
#pragma once

#include "framework/graphics/render/VertexBuffer.h"
#include "platform/d3d9/IDirect3DDevice9.h"

namespace Qmv2 {

class VertexBufferD3D : public VertexBuffer {
public:
    QMV_CLASS_TYPE(VertexBufferD3D, VertexBuffer)

    static constexpr std::int32_t kVertexSize = 28;

    // A failed creation leaves a buffer whose locks fail.
    VertexBufferD3D(IDirect3DDevice9* device, std::uint32_t capacity, bool softwareProcessing);
    ~VertexBufferD3D() override;

    GraphicsVertex* GetData() override { return m_LockCount > 0 ? m_Data : nullptr; }
    IDirect3DVertexBuffer9* GetBuffer() const { return m_Buffer; }

protected:
    bool DoLock(bool readOnly) override;
    bool DoUnlock() override;

private:
    IDirect3DVertexBuffer9* m_Buffer = nullptr;
    GraphicsVertex* m_Data = nullptr;
};

}  // namespace Qmv2
