// Owns the particle library for the life of the application: loads
// "pyro.dll", creates the library object, hands it the program's device, and
// shuts it down and destroys it again. Without the library (or one of its
// entry points) the manager keeps running with none.
#pragma once

#include "framework/core/object/BaseObject.h"
#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/graphics/particles/IPyroParticleLibrary.h"
#include "framework/graphics/particles/ParticleDevice.h"
#include "platform/win32/WinTypes.h"

namespace Qmv2 {

class ParticleManager : public BaseObject, public iInstance<ParticleManager> {
    QMV_INDEXED_TYPE(ParticleManager)

    static constexpr const char* kLibraryName = "pyro.dll";

    ParticleManager();
    ~ParticleManager() override;

    // The "particlemanager" start-up command: makes the manager the singleton.
    static void Create();

    ParticleDevice* GetDevice() const { return m_Device.Get(); }
    // Null when the library could not be had.
    PyroParticles::IPyroParticleLibrary* GetLibrary() const { return m_Library; }

private:
    SmartPtr<ParticleDevice> m_Device;
    PyroParticles::IPyroParticleLibrary* m_Library = nullptr;
    // Kept with the manager rather than process-wide, so that a manager made
    // while another still exists frees only what it loaded.
    HMODULE m_Module = nullptr;
    PyroParticles::CreateParticleLibraryFunction m_Create = nullptr;
    PyroParticles::DestroyParticleLibraryFunction m_Destroy = nullptr;
};

}  // namespace Qmv2
