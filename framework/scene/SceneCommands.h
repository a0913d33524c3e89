// The scene manager's start-up commands ("scenemanager", "activatescene"),
// its place in the frame's task list and its release at shutdown.
#pragma once

namespace Qmv2 {

void RegisterSceneCommands();

}  // namespace Qmv2
