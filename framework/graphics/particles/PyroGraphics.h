// The graphics interfaces through which the particle library draws. The
// library asks the program's device for buffers, bitmaps and textures, sets
// blending and textures on it and hands it quads to draw; the program
// implements every interface here (the Particle* classes). Operations are
// declared in the order of the library's slots.
#pragma once

#include <cstdint>

namespace PyroParticles::PyroGraphics {

// One vertex of a quad as the library writes it (28 bytes).
struct Vertex {
    float x;
    float y;
    float z;
    std::uint32_t reserved;  // not read by the device
    std::uint32_t color;     // red in the low byte, then green, blue, alpha
    float u;
    float v;
};
static_assert(sizeof(Vertex) == 28, "the library's vertices are 28 bytes");

class IVertexBuffer {
public:
    // Queries the program does not answer: 0.
    virtual std::int32_t Reserved0() = 0;
    virtual std::int32_t Reserved1() = 0;
    virtual std::int32_t Lock() = 0;
    virtual std::int32_t Unlock() = 0;
    virtual void* GetData() = 0;
    virtual ~IVertexBuffer() = default;
};

class IIndexBuffer {
public:
    virtual std::int32_t Reserved0() = 0;
    virtual std::int32_t Reserved1() = 0;
    virtual std::int32_t Lock() = 0;
    virtual std::int32_t Unlock() = 0;
    virtual void* GetData() = 0;
    virtual ~IIndexBuffer() = default;
};

class ITexture {
public:
    virtual std::int32_t Reserved0() = 0;
    virtual std::int32_t Reserved1() = 0;
    virtual ~ITexture() = default;
};

// Pixels the library owns, described for a texture request.
class CBitmap {
public:
    CBitmap(void* pixels, std::uint32_t width, std::uint32_t height, std::uint32_t extra)
        : m_Pixels(pixels), m_Width(width), m_Height(height), m_Extra(extra)
    {
    }
    virtual ~CBitmap() = default;

    void* m_Pixels;           // not owned
    std::uint32_t m_Width;
    std::uint32_t m_Height;
    std::uint32_t m_Extra;    // passed through unread
};

// The device the library draws through. Operations answer 1 for success, 0 for failure.
class IDevice {
public:
    virtual std::int32_t SetRenderState(std::uint32_t state, std::uint32_t value) = 0;
    virtual std::int32_t SetBlending(std::uint32_t sourceFactor, std::uint32_t destinationFactor) = 0;
    // A buffer of count x size bytes.
    virtual std::int32_t CreateVertexBuffer(IVertexBuffer** buffer, std::uint32_t count, std::uint32_t size) = 0;
    // A buffer of count 16-bit indices.
    virtual std::int32_t CreateIndexBuffer(IIndexBuffer** buffer, std::uint32_t count) = 0;
    virtual std::int32_t CreateTexture(ITexture** texture, CBitmap* bitmap) = 0;
    virtual std::int32_t CreateBitmap(CBitmap** bitmap, void* pixels, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t extra) = 0;
    virtual std::int32_t Reserved6() = 0;
    virtual std::int32_t SetTexture(ITexture* texture) = 0;
    // Draws `quadCount` quads from the start of the buffer (4 vertices each).
    virtual std::int32_t DrawQuads(IVertexBuffer* vertices, std::uint32_t unused1, std::uint32_t quadCount,
                                   std::uint32_t unused2) = 0;
    virtual std::int32_t Reserved9() = 0;
    virtual ~IDevice() = default;
};

}  // namespace PyroParticles::PyroGraphics
