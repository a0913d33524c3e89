#include "framework/scene/SpriteAnimation.h"

#include <lua.hpp>

#include <algorithm>

#include "framework/core/script/Lua.h"
#include "framework/core/util/Color.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierContainer.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierLocationLine.h"
#include "framework/scene/ModifierLuaFunction.h"
#include "framework/scene/ModifierLuaSendCommand.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/ModifierRotation.h"
#include "framework/scene/ModifierScale.h"
#include "framework/scene/ModifierSkew.h"
#include "framework/scene/ModifierVisible.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

namespace {

constexpr float kDegrees = 0.017453292f;
const char* const kAnimationDirections[] = {"forward", "backward", nullptr};
const char* const kFrameTypes[] = {"loop", "pingpong", nullptr};

// The last step is held, so a step that finished and was purged is not
// reached through a stale pointer.
SmartPtr<Modifier>& LastStep()
{
    static SmartPtr<Modifier> step;
    return step;
}

// The field `key` of the table at `table` is pushed; answers whether it is not nil.
bool Field(lua_State* state, int table, const char* key)
{
    Lua::PushRawField(state, table, key);
    if (lua_isnil(state, -1)) {
        lua_pop(state, 1);
        return false;
    }
    return true;
}

bool Present(lua_State* state, int table, const char* key)
{
    Lua::PushRawField(state, table, key);
    const bool present = !lua_isnil(state, -1);
    lua_pop(state, 1);
    return present;
}

// A number field read into `value` where present (the field is popped).
bool Number(lua_State* state, int table, const char* key, float& value)
{
    if (!Field(state, table, key)) {
        return false;
    }
    value = static_cast<float>(lua_tonumber(state, -1));
    lua_pop(state, 1);
    return true;
}

}  // namespace

Modifier* SpriteAnimation::GetLastStep()
{
    return LastStep().Get();
}

void SpriteAnimation::SetLastStep(Modifier* step)
{
    LastStep() = step;
}

Modifier* Sprite::CreateMoveModifier(float x, float y, bool relative, std::int32_t duration,
                                     const std::string& style)
{
    return new ModifierLocationLine(duration, x, y, relative, style == "easeInOut");
}

Modifier* SpriteAnimation::AddAnimationStep(Modifier* modifier, Sprite* target, std::int32_t duration)
{
    if (modifier == nullptr) {
        return nullptr;
    }
    Modifier* anchor = Modifier::GetSimultaneousAnchor();
    if (!s_Simultaneous || anchor == nullptr) {
        modifier->SetTarget(target);
        Modifier* parent = GetLastStep();
        Modifier::AttachTo(modifier, parent != nullptr ? parent : AnimTree::GetInstance());
    } else {
        Modifier::AttachAfter(modifier, target);
    }
    if (s_Simultaneous) {
        Modifier::SetSimultaneousAnchor(modifier);
        s_GroupDuration = std::max(s_GroupDuration, duration);
    }
    return modifier;
}

void SpriteAnimation::BeginChain()
{
    auto* chain = new ModifierContainer("Lua animations", true);
    SceneManager* manager = SceneManager::GetInstance();
    Scene* scene = manager != nullptr ? manager->GetCurrentScene() : nullptr;
    Modifier* parent = scene != nullptr ? static_cast<Modifier*>(scene->GetAnimations()) : AnimTree::GetInstance();
    if (parent == nullptr) {
        // Nothing runs animations: the chain is dropped at once.
        SmartPtr<Modifier> discard(chain);
        SetLastStep(nullptr);
        return;
    }
    Modifier::AttachTo(chain, parent);
    SetLastStep(chain);
    Modifier::SetSimultaneousAnchor(nullptr);
}

void SpriteAnimation::BeginGroup()
{
    s_Simultaneous = true;
    Modifier::SetSimultaneousAnchor(nullptr);
}

void SpriteAnimation::EndGroup(Sprite* sprite)
{
    auto* delay = new ModifierDelay(s_GroupDuration);
    delay->SetName("endSimultaneousAnimation");
    delay->SetOptions(Modifier::kOptionBlocking);
    Modifier* anchor = Modifier::GetSimultaneousAnchor();
    if (anchor != nullptr && anchor->IsAttached()) {
        Modifier::AttachAfter(delay, sprite);
    } else {
        // An empty group: the delay simply follows the last step.
        delay->SetTarget(sprite);
        Modifier* parent = GetLastStep();
        Modifier::AttachTo(delay, parent != nullptr ? parent : AnimTree::GetInstance());
    }
    SetLastStep(delay);
    s_Simultaneous = false;
    Modifier::SetSimultaneousAnchor(nullptr);
}

Modifier* Sprite::Animate(lua_State* state, std::int32_t duration)
{
    Sprite& sprite = *this;
    const int table = lua_gettop(state);
    Modifier* last = nullptr;
    auto add = [&](Modifier* modifier) { last = SpriteAnimation::AddAnimationStep(modifier, &sprite, duration); };

    // The fields that can raise a script error are read before anything is
    // made: the error leaves by a long jump, which must find no half-added
    // step and no object with a destructor in this frame.
    const bool frameRun = Present(state, table, "startframe") || Present(state, table, "startFrame");
    bool backward = false;
    bool pingPong = false;
    if (frameRun && Field(state, table, "direction")) {
        backward = luaL_checkoption(state, -1, nullptr, kAnimationDirections) == 1;
        lua_pop(state, 1);
    }
    if (frameRun && Field(state, table, "type")) {
        pingPong = luaL_checkoption(state, -1, nullptr, kFrameTypes) == 1;
        lua_pop(state, 1);
    }
    GameNode* receiver = &sprite;
    if (Field(state, table, "target")) {
        receiver = static_cast<Sprite*>(Lua::CheckObject(state, lua_gettop(state), &Sprite::s_Type, "not a Sprite"));
        lua_pop(state, 1);
    }

    std::string style;
    if (Field(state, table, "style")) {
        style = lua_isstring(state, -1) != 0 ? lua_tostring(state, -1) : "";
        lua_pop(state, 1);
    }
    const bool smooth = style == "easeInOut";

    // Movement: absolute to (x, y), or relative by (dx, dy) when either is given.
    float x = sprite.GetX();
    float y = sprite.GetY();
    bool moved = Number(state, table, "x", x);
    moved = Number(state, table, "y", y) || moved;
    bool relative = false;
    float dx = 0.0f;
    if (Number(state, table, "dx", dx)) {
        x = dx;
        y = 0.0f;
        relative = moved = true;
    }
    float dy = 0.0f;
    if (Number(state, table, "dy", dy)) {
        if (!relative) {
            x = 0.0f;
        }
        y = dy;
        relative = moved = true;
    }
    if (moved) {
        add(CreateMoveModifier(x, y, relative, duration, style));
    }

    float alpha = 0.0f;
    if (Number(state, table, "alpha", alpha)) {
        add(new ModifierAlpha(duration, sprite.GetColor().a, alpha));
    }
    if (Field(state, table, "color")) {
        float components[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        const char* names[] = {"alpha", "red", "green", "blue"};
        if (lua_istable(state, -1)) {
            const int colour = lua_gettop(state);
            for (int i = 0; i < 4; ++i) {
                Number(state, colour, names[i], components[i]);
            }
        }
        lua_pop(state, 1);
        Color packed(components[0], components[1], components[2], components[3]);
        add(new ModifierMethodParam<GraphicsSettings, std::uint32_t>(&sprite, &GraphicsSettings::SetPackedColor,
                                                                     packed.Pack()));
    }
    auto rotate = [&](float radians) {
        if (duration == 0) {
            add(new ModifierMethodParam<GraphicsSettings, float>(&sprite, &GraphicsSettings::SetRotation, radians));
        } else {
            add(new ModifierRotation(duration, sprite.GetRotation(), radians));
        }
    };
    float degrees = 0.0f;
    if (Number(state, table, "rotation", degrees)) {
        rotate(degrees * kDegrees);
    }
    if (Number(state, table, "drotation", degrees)) {
        rotate(sprite.GetRotation() + degrees * kDegrees);
    }

    float scaleX = sprite.GetScaleX();
    float scaleY = sprite.GetScaleY();
    float both = 0.0f;
    bool scaled = false;
    if (Number(state, table, "scale", both)) {
        scaleX = scaleY = both;
        scaled = true;
    }
    for (const char* key : {"scalex", "scaleX"}) {
        scaled = Number(state, table, key, scaleX) || scaled;
    }
    for (const char* key : {"scaley", "scaleY"}) {
        scaled = Number(state, table, key, scaleY) || scaled;
    }
    if (scaled) {
        auto* scale = new ModifierScale(duration, smooth ? &SmoothStepEase : &LinearEase);
        scale->SetFrom(sprite.GetScaleX(), sprite.GetScaleY());
        scale->SetTo(scaleX, scaleY);
        add(scale);
    }

    float skewX = sprite.GetSkewX();
    float skewY = sprite.GetSkewY();
    bool skewed = false;
    float value = 0.0f;
    if (Number(state, table, "skew", value)) {
        skewX = skewY = value * kDegrees;
        skewed = true;
    }
    for (const char* key : {"skewx", "skewX"}) {
        if (Number(state, table, key, value)) {
            skewX = value * kDegrees;
            skewed = true;
        }
    }
    for (const char* key : {"skewy", "skewY"}) {
        if (Number(state, table, key, value)) {
            skewY = value * kDegrees;
            skewed = true;
        }
    }
    if (skewed) {
        add(new ModifierSkew(duration, smooth, sprite.GetSkewX(), sprite.GetSkewY(), skewX, skewY));
    }

    if (Field(state, table, "frame")) {
        if (lua_isnumber(state, -1) != 0) {
            const auto frame = static_cast<std::int32_t>(lua_tointeger(state, -1));
            add(new ModifierMethodParam<Sprite, std::int32_t>(&sprite, &Sprite::SetFrame, frame));
        }
        lua_pop(state, 1);
    }

    float start = 0.0f;
    if (Number(state, table, "startframe", start) || Number(state, table, "startFrame", start)) {
        const std::int32_t frames =
            sprite.GetImageSet() != nullptr ? std::max(sprite.GetImageSet()->GetFrameCount(), 1) : 1;
        float end = static_cast<float>(frames - 1);
        float frameTime = 40.0f;
        std::int32_t loops = 1;
        Number(state, table, "endframe", end);
        Number(state, table, "endFrame", end);
        Number(state, table, "frametime", frameTime);
        Number(state, table, "frameTime", frameTime);
        if (Field(state, table, "loops")) {
            if (lua_type(state, -1) == LUA_TNUMBER) {
                loops = static_cast<std::int32_t>(lua_tointeger(state, -1));
            } else if (lua_isstring(state, -1) != 0) {
                const std::string word = lua_tostring(state, -1);
                loops = (word == "forever" || word == "infinite") ? -1 : 1;
            }
            lua_pop(state, 1);
        }
        add(new ModifierFrame(loops, static_cast<std::int32_t>(frameTime), static_cast<std::int32_t>(start),
                              static_cast<std::int32_t>(end), backward, pingPong));
    }

    if (Field(state, table, "visible")) {
        std::int32_t mode = 1;
        if (lua_isboolean(state, -1) && lua_toboolean(state, -1) == 0) {
            mode = 0;
        } else if (lua_type(state, -1) == LUA_TSTRING) {
            const std::string word = lua_tostring(state, -1);
            mode = (word == "flip" || word == "invert") ? 2 : 1;
        }
        lua_pop(state, 1);
        add(new ModifierVisible(mode));
    }
    if (Field(state, table, "call")) {
        // luaL_ref pops the function and keeps it in the registry.
        add(new ModifierLuaFunction(luaL_ref(state, LUA_REGISTRYINDEX)));
    }
    if (Field(state, table, "command")) {
        const std::string command = lua_isstring(state, -1) != 0 ? lua_tostring(state, -1) : "";
        lua_pop(state, 1);
        add(new ModifierLuaSendCommand(receiver, UTF8String(command), static_cast<BaseObject*>(&sprite)));
    }
    float delay = 0.0f;
    if (Number(state, table, "delay", delay)) {
        add(new ModifierDelay(static_cast<std::int32_t>(delay)));
    }
    return last;
}

}  // namespace Qmv2
