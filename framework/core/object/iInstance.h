// The singleton pattern of the framework's managers: one global pointer per
// manager class, holding one reference on the manager.
#pragma once

#include <utility>

namespace Qmv2 {

template <typename T>
class iInstance {
public:
    virtual ~iInstance() = default;

    // The manager, or null before its creation and after its release.
    static T* GetInstance() noexcept { return s_Instance; }

    // Makes `instance` the singleton and takes one reference on it. A manager
    // that was already set loses the global's reference.
    static void SetInstance(T* instance)
    {
        if (instance != nullptr) {
            instance->AddRef();
        }
        T* old = std::exchange(s_Instance, instance);
        if (old != nullptr) {
            old->Release();
        }
    }

    // Gives back the global's reference. The pointer is null before the manager
    // is destroyed, so nothing finds a manager that is going away.
    static void ReleaseInstance()
    {
        if (T* old = std::exchange(s_Instance, nullptr)) {
            old->Release();
        }
    }

protected:
    inline static T* s_Instance = nullptr;
};

}  // namespace Qmv2
