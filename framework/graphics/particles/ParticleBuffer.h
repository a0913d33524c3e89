// The block of bytes behind a vertex or index buffer that the particle
// library asked for. The library owns the buffer once it has it and destroys
// it through the interface's destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "framework/core/object/BaseObject.h"

namespace Qmv2 {

template <typename BufferInterface>
class ParticleBuffer : public BaseObject, public BufferInterface {
public:
    // Far above any particle system's needs; a larger request is a damaged count.
    static constexpr std::uint64_t kMaxBytes = std::uint64_t{256} << 20;

    // Null for 0 or more than kMaxBytes bytes, or when the bytes cannot be had.
    template <typename Buffer>
    static Buffer* Make(std::uint64_t bytes)
    {
        if (bytes == 0 || bytes > kMaxBytes) {
            return nullptr;
        }
        std::unique_ptr<std::byte[]> block(new (std::nothrow) std::byte[static_cast<std::size_t>(bytes)]());
        if (block == nullptr) {
            return nullptr;
        }
        return new (std::nothrow) Buffer(std::move(block), static_cast<std::size_t>(bytes));
    }

    std::int32_t Reserved0() override { return 0; }
    std::int32_t Reserved1() override { return 0; }
    std::int32_t Lock() override { return 1; }
    std::int32_t Unlock() override { return 1; }
    void* GetData() override { return m_Bytes.get(); }

    std::size_t GetByteSize() const { return m_Size; }

protected:
    ParticleBuffer(std::unique_ptr<std::byte[]> bytes, std::size_t size) : m_Bytes(std::move(bytes)), m_Size(size) {}

private:
    std::unique_ptr<std::byte[]> m_Bytes;
    std::size_t m_Size;
};

}  // namespace Qmv2
