// The shared vertex buffer every drawing object writes into. Locking with
// discard starts a new frame's worth of vertices; later locks append.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/graphics/render/GraphicsVertex.h"
#include "framework/graphics/render/Lockable.h"

namespace Qmv2 {

class VertexBuffer : public BaseObject, public Lockable {
public:
    QMV_CLASS_TYPE(VertexBuffer, BaseObject)

    explicit VertexBuffer(std::uint32_t capacity) : m_Capacity(capacity) {}

    // A nested lock asking to discard while the outer one did not fails.
    bool LockDiscard(bool discard) { return Lock(!discard); }
    // The vertices while locked, else null.
    virtual GraphicsVertex* GetData() = 0;

    Interface* GetInterface(const ClassType* type) override
    {
        return type == &Interface::s_Type ? static_cast<Lockable*>(this) : BaseObject::GetInterface(type);
    }

    std::uint32_t GetCapacity() const { return m_Capacity; }
    std::uint32_t GetWritePosition() const { return m_WritePosition; }
    void SetWritePosition(std::uint32_t position) { m_WritePosition = position; }

protected:
    std::uint32_t m_Capacity;
    std::uint32_t m_WritePosition = 0;
};

}  // namespace Qmv2
