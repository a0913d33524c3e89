// What whole-file loading fills: a block of exactly the file's byte count.
// Any buffer class with `T* Allocate(std::size_t)` (answering the block, with
// one zero byte kept after it so that text parsers may treat it as
// terminated) and `void Free()` can be filled through LoadBufferOf.
#pragma once

#include <concepts>
#include <cstddef>

namespace Qmv2 {

class iLoadBuffer {
public:
    virtual ~iLoadBuffer() = default;
    // Drops the old contents and answers a block of exactly `count` bytes,
    // followed by one zero byte; null when it cannot be had.
    virtual unsigned char* Allocate(std::size_t count) = 0;
    // Drops the contents; the byte count becomes 0.
    virtual void Free() = 0;
};

template <typename Buffer>
concept ByteBuffer = requires(Buffer& buffer, std::size_t count) {
    { buffer.Allocate(count) } -> std::convertible_to<unsigned char*>;
    buffer.Free();
};

// Lends a byte buffer class to the loader for the length of one call.
template <ByteBuffer Buffer>
class LoadBufferOf final : public iLoadBuffer {
public:
    explicit LoadBufferOf(Buffer& buffer) : m_Buffer(buffer) {}
    unsigned char* Allocate(std::size_t count) override { return m_Buffer.Allocate(count); }
    void Free() override { m_Buffer.Free(); }

private:
    Buffer& m_Buffer;
};

}  // namespace Qmv2
