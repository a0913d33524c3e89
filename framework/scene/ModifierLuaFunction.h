// A modifier that calls a script function when it fires, with the script
// object of its target node as the one argument when it has a target.
#pragma once

#include <string>

#include "framework/scene/Modifier.h"

namespace Qmv2 {

class ModifierLuaFunction : public Modifier {
public:
    QMV_CLASS_TYPE(ModifierLuaFunction, Modifier)

    // Takes over a registry reference of the function (made with luaL_ref).
    explicit ModifierLuaFunction(int functionRef);
    ~ModifierLuaFunction() override;

    void Start() override {}
    // Marks the modifier finished and calls the function in a protected call;
    // an error in it is logged and goes no further.
    void Finish() override;
    std::string ToString() const override;

    int GetFunctionRef() const noexcept { return m_FunctionRef; }

private:
    int m_FunctionRef;
};

}  // namespace Qmv2
