// A bound callback: a target object and a plain function of (target, argument).
// Widgets hold one; their owner binds it.
#pragma once

#include "framework/core/object/Interface.h"

namespace Qmv2 {

class iGuiMethod : public Interface {
public:
    using Callback = void (*)(void* target, void* argument);

    QMV_CLASS_TYPE(iGuiMethod, Interface)

    ~iGuiMethod() override = default;

    // Calls the callback with the target and `argument`; an unbound method does nothing.
    virtual void Invoke(void* argument);
    virtual void InvokeIfBound(void* argument);

    void SetMethod(void* target, Callback callback) noexcept
    {
        m_Target = target;
        m_Callback = callback;
    }
    bool IsBound() const noexcept { return m_Callback != nullptr; }
    void* GetTarget() const noexcept { return m_Target; }
    Callback GetCallback() const noexcept { return m_Callback; }

private:
    void* m_Target = nullptr;
    Callback m_Callback = nullptr;
};

}  // namespace Qmv2
