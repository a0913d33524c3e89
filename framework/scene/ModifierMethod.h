// Calls a member function of an object once the modifier it waits under has
// finished: without an argument, with a stored argument passed by value, or
// with a stored argument passed by reference.
#pragma once

#include <utility>

#include "framework/scene/Modifier.h"

namespace Qmv2 {

// The common part: finishing calls the member function once.
class ModifierMethodBase : public Modifier {
public:
    void Update(std::uint32_t) override { Finish(); }
    void Finish() override
    {
        if (IsFinished()) {
            return;
        }
        Modifier::Finish();
        Call();
    }

protected:
    virtual void Call() = 0;
};

template <typename T>
class ModifierMethod : public ModifierMethodBase {
public:
    using Method = void (T::*)();

    ModifierMethod(T* object, Method method) : m_Object(object), m_Method(method) {}

protected:
    void Call() override
    {
        if (m_Object != nullptr && m_Method != nullptr) {
            (m_Object->*m_Method)();
        }
    }

private:
    T* m_Object;
    Method m_Method;
};

template <typename T, typename P>
class ModifierMethodParam : public ModifierMethodBase {
public:
    using Method = void (T::*)(P);

    ModifierMethodParam(T* object, Method method, P argument)
        : m_Object(object), m_Method(method), m_Argument(argument)
    {
    }

protected:
    void Call() override
    {
        if (m_Object != nullptr && m_Method != nullptr) {
            (m_Object->*m_Method)(m_Argument);
        }
    }

private:
    T* m_Object;
    Method m_Method;
    P m_Argument;
};

template <typename T, typename P>
class ModifierMethodParamRef : public ModifierMethodBase {
public:
    using Method = void (T::*)(const P&);

    ModifierMethodParamRef(T* object, Method method, P argument)
        : m_Object(object), m_Method(method), m_Argument(std::move(argument))
    {
    }

protected:
    void Call() override
    {
        if (m_Object != nullptr && m_Method != nullptr) {
            (m_Object->*m_Method)(m_Argument);
        }
    }

private:
    T* m_Object;
    Method m_Method;
    P m_Argument;
};

}  // namespace Qmv2
