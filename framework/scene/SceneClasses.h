// The scene library's one registration: its type records in the class index,
// its classes in the object factory
// under the names that property files use ("GameNode", "Sprite"), its trees,
// frame tasks and start-up commands (SceneCommands.h). Call once before Run.
#pragma once

namespace Qmv2 {

void RegisterSceneClasses();

}  // namespace Qmv2
