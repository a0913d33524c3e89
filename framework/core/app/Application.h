// The object that owns the life of the process.
#pragma once

#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

class Application : public BaseObject, public iInstance<Application> {
public:
    QMV_CLASS_TYPE(Application, BaseObject)

    // Cleared by a failed start-up step and by the window's close message.
    static inline bool s_Running = true;
    // Names the single-instance lock, the registry key, the data folder and lock names.
    static inline std::string s_GameId = "<untitled>";
};

}  // namespace Qmv2
