// The particle library object and the two entry points of "pyro.dll" that
// create and destroy it.
#pragma once

#include <cstdint>

#include "framework/graphics/particles/PyroGraphics.h"

namespace PyroParticles {

class IPyroParticleLibrary {
public:
    // Slots 0 and 1 belong to the library; the program calls neither.
    virtual void Reserved0() = 0;
    virtual void Reserved1() = 0;
    // Hands the library the device it draws through; the answer is not read.
    virtual std::int32_t Init(PyroGraphics::IDevice* device) = 0;
    // Called once before the library is destroyed.
    virtual void Done() = 0;

protected:
    ~IPyroParticleLibrary() = default;
};

using CreateParticleLibraryFunction = IPyroParticleLibrary* (*)(std::uint32_t version);
using DestroyParticleLibraryFunction = void (*)(IPyroParticleLibrary* library);

// The names the two entry points are exported under.
inline constexpr const char* kCreateParticleLibraryName =
    "?CreateParticleLibrary@@YAPAVIPyroParticleLibrary@PyroParticles@@I@Z";
inline constexpr const char* kDestroyParticleLibraryName =
    "?DestroyParticleLibrary@@YAXPAVIPyroParticleLibrary@PyroParticles@@@Z";
// The interface version the program was built for.
inline constexpr std::uint32_t kParticleLibraryVersion = 0x10109;

}  // namespace PyroParticles
