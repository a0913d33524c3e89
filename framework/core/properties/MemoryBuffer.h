// The byte buffer that whole-file loading fills. One zero element always
// follows the data (not counted in the size), so a text parser can treat the
// buffer as a terminated string and never reads past it.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"

namespace Qmv2 {

template <typename T>
class MemoryBuffer_t : public BaseObject {
    QMV_INDEXED_TYPE(MemoryBuffer_t)

    MemoryBuffer_t() = default;
    MemoryBuffer_t(const MemoryBuffer_t&) = delete;
    MemoryBuffer_t& operator=(const MemoryBuffer_t&) = delete;

    // Frees the old data and makes room for exactly `size` elements, all zero.
    T* Allocate(std::size_t size)
    {
        m_Data = std::make_unique<T[]>(size + 1);
        m_Size = size;
        return m_Data.get();
    }

    // Replaces the contents by a copy of `size` elements.
    void Assign(const T* data, std::size_t size)
    {
        T* target = Allocate(size);
        if (size > 0) {
            std::memcpy(target, data, size * sizeof(T));
        }
    }

    void Free() noexcept
    {
        m_Data.reset();
        m_Size = 0;
    }

    T* GetData() noexcept { return m_Data.get(); }
    const T* GetData() const noexcept { return m_Data.get(); }
    std::size_t GetSize() const noexcept { return m_Size; }

private:
    std::unique_ptr<T[]> m_Data;
    std::size_t m_Size = 0;
};

}  // namespace Qmv2
