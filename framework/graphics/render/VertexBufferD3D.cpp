#include "framework/graphics/render/VertexBufferD3D.h"

#include <utility>

#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

VertexBufferD3D::VertexBufferD3D(IDirect3DDevice9* device, std::uint32_t capacity, bool softwareProcessing)
    : VertexBuffer(capacity)
{
    if (device != nullptr) {
        DWORD usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | (softwareProcessing ? D3DUSAGE_SOFTWAREPROCESSING : 0);
        device->CreateVertexBuffer(kVertexSize * capacity, usage, 0, D3DPOOL_DEFAULT, &m_Buffer, nullptr);
    }
}

VertexBufferD3D::~VertexBufferD3D()
{
    if (IDirect3DVertexBuffer9* buffer = std::exchange(m_Buffer, nullptr)) {
        buffer->Release();
    }
}

bool VertexBufferD3D::DoLock(bool readOnly)
{
    const bool discard = !readOnly;
    if (discard) {
        m_WritePosition = 0;
    }
    Renderer* renderer = Renderer::GetInstance();
    if (renderer != nullptr && renderer->CheckDeviceLost()) {
        return false;
    }
    if (m_Buffer == nullptr) {
        return false;
    }
    void* data = nullptr;
    if (FAILED(m_Buffer->Lock(0, 0, &data, discard ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE))) {
        return false;
    }
    m_Data = static_cast<GraphicsVertex*>(data);
    return true;
}

bool VertexBufferD3D::DoUnlock()
{
    m_Data = nullptr;
    return m_Buffer != nullptr && SUCCEEDED(m_Buffer->Unlock());
}

}  // namespace Qmv2
