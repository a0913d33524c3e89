// The shared buffer of 16-bit indices. Its lock does not nest.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"

namespace Qmv2 {

class IndexBuffer : public BaseObject {
public:
    QMV_CLASS_TYPE(IndexBuffer, BaseObject)

    explicit IndexBuffer(std::uint32_t capacity) : m_Capacity(capacity) {}

    virtual bool Lock(bool discard) = 0;
    virtual bool Unlock() = 0;
    // The indices while locked, else null.
    virtual std::uint16_t* GetData() = 0;

    bool IsLocked() const { return m_Locked; }
    std::uint32_t GetCapacity() const { return m_Capacity; }
    std::uint32_t GetWritePosition() const { return m_WritePosition; }
    void SetWritePosition(std::uint32_t position) { m_WritePosition = position; }

protected:
    std::uint32_t m_Capacity;
    std::uint32_t m_WritePosition = 0;
    bool m_Locked = false;
};

}  // namespace Qmv2
