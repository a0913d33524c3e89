#include "framework/graphics/particles/ParticleManager.h"

#include "platform/win32/WinLibrary.h"

namespace Qmv2 {

ParticleManager::ParticleManager() : m_Device(new ParticleDevice)
{
    m_Module = LoadLibraryA(kLibraryName);
    if (m_Module == nullptr) {
        return;
    }
    m_Create = reinterpret_cast<PyroParticles::CreateParticleLibraryFunction>(
        GetProcAddress(m_Module, PyroParticles::kCreateParticleLibraryName));
    m_Destroy = reinterpret_cast<PyroParticles::DestroyParticleLibraryFunction>(
        GetProcAddress(m_Module, PyroParticles::kDestroyParticleLibraryName));
    if (m_Create == nullptr) {
        return;
    }
    m_Library = m_Create(PyroParticles::kParticleLibraryVersion);
    if (m_Library != nullptr) {
        m_Library->Init(m_Device.Get());
    }
}

ParticleManager::~ParticleManager()
{
    if (m_Library != nullptr) {
        m_Library->Done();
        if (m_Destroy != nullptr) {
            m_Destroy(m_Library);
        }
        m_Library = nullptr;
    }
    m_Device.Reset();
    if (m_Module != nullptr) {
        FreeLibrary(m_Module);
        m_Module = nullptr;
    }
}

void ParticleManager::Create()
{
    SetInstance(new ParticleManager);
}

}  // namespace Qmv2
