// The scene library's part of start-up, the frame and shutdown.
#pragma once

namespace Qmv2 {

// The scene manager's start-up commands ("scenemanager", "activatescene"),
// its place in the frame's task list and its release at shutdown, and the
// render task that draws the game tree at the end of each frame.
void RegisterSceneCommands();

// The game tree and the animation tree that the core's start-up commands
// "gametree" and "animtree" make and the input handler walks, the frame
// tasks that tick and purge them, and their release at shutdown.
void RegisterSceneTrees();

}  // namespace Qmv2
