#include "framework/graphics/render/IndexBufferD3D.h"

#include <utility>

namespace Qmv2 {

IndexBufferD3D::IndexBufferD3D(IDirect3DDevice9* device, std::uint32_t capacity) : IndexBuffer(capacity)
{
    if (device != nullptr) {
        device->CreateIndexBuffer(kIndexSize * capacity, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                  D3DPOOL_DEFAULT, &m_Buffer, nullptr);
    }
}

IndexBufferD3D::~IndexBufferD3D()
{
    if (IDirect3DIndexBuffer9* buffer = std::exchange(m_Buffer, nullptr)) {
        buffer->Release();
    }
}

bool IndexBufferD3D::Lock(bool discard)
{
    if (discard) {
        m_WritePosition = 0;
    }
    if (m_Locked) {
        return false;
    }
    m_Locked = true;
    void* data = nullptr;
    if (m_Buffer == nullptr || FAILED(m_Buffer->Lock(0, 0, &data, discard ? D3DLOCK_DISCARD : D3DLOCK_NOOVERWRITE))) {
        m_Locked = false;
        return false;
    }
    m_Data = static_cast<std::uint16_t*>(data);
    return true;
}

bool IndexBufferD3D::Unlock()
{
    if (!m_Locked) {
        return false;
    }
    m_Locked = false;
    if (FAILED(m_Buffer->Unlock())) {
        return false;
    }
    m_Data = nullptr;
    return true;
}

}  // namespace Qmv2
