// Registers the scene graph's classes with the object factory under the
// names that property files use ("GameNode", "Sprite"), and the scene manager's start-up commands.
// Call once before Run.
#pragma once

namespace Qmv2 {

void RegisterSceneClasses();

}  // namespace Qmv2
