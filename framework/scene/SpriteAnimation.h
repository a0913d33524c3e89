// Sprite animation by style table: a script hands a sprite a table such as
// { x = 300, alpha = 0, style = "easeInOut" } and it becomes the modifiers of
// one step of a chain. Steps run one after another, or side by side inside a
// simultaneous group that is closed by a delay of its longest step. The
// chaining state is one for the program, on the window thread.
#pragma once

#include <cstdint>

namespace Qmv2 {

class Modifier;
class Sprite;

class SpriteAnimation {
public:
    // Attaches one modifier of a step by the chaining state.
    static Modifier* AddAnimationStep(Modifier* modifier, Sprite* target, std::int32_t duration);

    // A new chain under the current scene's animations (the animation tree's
    // root without a scene).
    static void BeginChain();
    // The next step waits for `step` (the root when null).
    static void SetLastStep(Modifier* step);
    static void BeginGroup();
    // Closes the group with a delay of its longest step, targeting `sprite`.
    static void EndGroup(Sprite* sprite);

    static Modifier* GetLastStep();
    static bool IsSimultaneous() { return s_Simultaneous; }

private:
    inline static bool s_Simultaneous = false;
    inline static std::int32_t s_GroupDuration = 0;
};

}  // namespace Qmv2
