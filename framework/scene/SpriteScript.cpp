// The native methods of the script class "qmv.Sprite" (the "qmv.GameNode"
// methods are inherited through the class chain).
#include <lua.hpp>

#include <string>
#include <vector>

#include "framework/core/script/Lua.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/SpriteAnimation.h"

namespace Qmv2 {

namespace {

const char* const kAnchorNames[] = {"topleft", "top",        "topright", "left", "center",
                                    "right",   "bottomleft", "bottom",   "bottomright", nullptr};

Sprite* CheckSprite(lua_State* state)
{
    return static_cast<Sprite*>(Lua::CheckObject(state, 1, &Sprite::s_Type, "not a Sprite"));
}

void CheckSpriteArgsAtMost(lua_State* state, int count, int arg, const char* message)
{
    if (lua_gettop(state) > count) {
        luaL_argerror(state, arg, message);
    }
}

// Exactly one argument after self, else `message` at argument 3.
void CheckOne(lua_State* state, const char* message)
{
    if (lua_gettop(state) != 2) {
        luaL_argerror(state, 3, message);
    }
}

void PushSprite(lua_State* state, Sprite* sprite)
{
    Lua* lua = Lua::GetInstance();
    if (sprite == nullptr || lua == nullptr || sprite->GetScriptRef() == GameNode::kNoScriptObject) {
        lua_pushnil(state);
        return;
    }
    lua->PushScriptObject(sprite->GetScriptRef());
}

// Entry `index` of the table at `arg` when it is a number, else `fallback`.
float Entry(lua_State* state, int arg, int index, float fallback)
{
    lua_rawgeti(state, arg, index);
    const float value = lua_isnumber(state, -1) != 0 ? static_cast<float>(lua_tonumber(state, -1)) : fallback;
    lua_pop(state, 1);
    return value;
}

std::int32_t FrameCount(const Sprite& sprite)
{
    return sprite.GetImageSet() != nullptr && sprite.GetImageSet()->GetFrameCount() > 0
               ? sprite.GetImageSet()->GetFrameCount()
               : 1;
}

// A step: the style table's "sprite" (default self) animated for its
// "duration"; the step becomes the one the next step waits for.
int ScriptAddSequentialAnimation(lua_State* state)
{
    if (lua_gettop(state) != 2) {
        luaL_argerror(state, 1, "wrong number of arguments");
    }
    Sprite* sprite = CheckSprite(state);
    luaL_checktype(state, 2, LUA_TTABLE);
    Lua::PushRawField(state, 2, "sprite");
    if (!lua_isnil(state, -1)) {
        sprite = static_cast<Sprite*>(Lua::CheckObject(state, lua_gettop(state), &Sprite::s_Type, "not a Sprite"));
    }
    lua_pop(state, 1);
    Lua::PushRawField(state, 2, "duration");
    const auto duration = static_cast<std::int32_t>(lua_tointeger(state, -1));
    lua_pop(state, 1);
    lua_pushvalue(state, 2);
    Modifier* step = sprite->Animate(state, duration);
    lua_settop(state, 2);
    SpriteAnimation::SetLastStep(step);
    return 0;
}

int ScriptBeginAnimation(lua_State* state)
{
    CheckSprite(state);
    SpriteAnimation::BeginChain();
    lua_pushvalue(state, 1);
    return 1;
}

int ScriptBeginSimultaneousAnimation(lua_State* state)
{
    CheckSprite(state);
    CheckSpriteArgsAtMost(state, 1, 2, "wrong number of arguments");
    SpriteAnimation::BeginGroup();
    return 0;
}

int ScriptEndSimultaneousAnimation(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckSpriteArgsAtMost(state, 1, 2, "wrong number of arguments");
    SpriteAnimation::EndGroup(sprite);
    return 0;
}

int ScriptAlpha(lua_State* state)
{
    lua_pushnumber(state, CheckSprite(state)->GetColor().a);
    return 1;
}

int ScriptFirstFrame(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckSpriteArgsAtMost(state, 1, 2, "too many arguments");
    sprite->SetFrame(0);
    return 0;
}

int ScriptFrame(lua_State* state)
{
    lua_pushinteger(state, CheckSprite(state)->GetFrame());
    return 1;
}

int ScriptFrameCount(lua_State* state)
{
    lua_pushinteger(state, FrameCount(*CheckSprite(state)));
    return 1;
}

int ScriptHeight(lua_State* state)
{
    lua_pushnumber(state, CheckSprite(state)->GetHeight());
    return 1;
}

int ScriptLastFrame(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckSpriteArgsAtMost(state, 1, 2, "too many arguments");
    sprite->SetFrame(FrameCount(*sprite) - 1);
    return 0;
}

int ScriptLeft(lua_State* state)
{
    lua_pushnumber(state, CheckSprite(state)->GetLeft());
    return 1;
}

int ScriptNew(lua_State* state)
{
    luaL_checktype(state, 1, LUA_TTABLE);
    auto* sprite = new Sprite(state, 1);
    Sprite::HoldUntilPurge(sprite);
    PushSprite(state, sprite);
    return 1;
}

int ScriptNewChildSprite(lua_State* state)
{
    Sprite* parent = CheckSprite(state);
    if (lua_gettop(state) != 2) {
        luaL_argerror(state, 3, "must have one table argument");
    }
    luaL_checktype(state, 2, LUA_TTABLE);
    auto* child = new Sprite(state, 2);
    parent->AddChild(child);
    PushSprite(state, child);
    return 1;
}

int ScriptRotation(lua_State* state)
{
    lua_pushnumber(state, CheckSprite(state)->GetRotation());
    return 1;
}

int ScriptSetAlpha(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckOne(state, "too many arguments");
    sprite->SetAlpha(static_cast<float>(luaL_checknumber(state, 2)));
    return 0;
}

int ScriptSetAnchorPoint(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    const int count = lua_gettop(state) - 1;
    if (count == 1) {
        if (lua_type(state, 2) == LUA_TSTRING || lua_type(state, 2) == LUA_TNUMBER) {
            sprite->SetAnchor(luaL_checkoption(state, 2, nullptr, kAnchorNames));
        } else if (lua_istable(state, 2)) {
            const PointF& offset = sprite->GetAnchor().offset;
            sprite->SetAnchorXY(Entry(state, 2, 1, offset.x), Entry(state, 2, 2, offset.y));
        } else {
            luaL_typerror(state, 2, "table");
        }
    } else if (count == 2) {
        sprite->SetAnchorXY(static_cast<float>(luaL_checknumber(state, 2)),
                            static_cast<float>(luaL_checknumber(state, 3)));
    } else {
        luaL_argerror(state, 4, "wrong number of arguments");
    }
    return 0;
}

int ScriptSetColor(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    if (lua_gettop(state) != 2) {
        luaL_argerror(state, 3, "must have one table argument");
    }
    if (!lua_istable(state, 2)) {
        luaL_typerror(state, 2, "table");
    }
    Color color = sprite->GetColor();
    float* components[] = {&color.a, &color.r, &color.g, &color.b};
    const char* names[] = {"alpha", "red", "green", "blue"};
    for (int i = 0; i < 4; ++i) {
        lua_getfield(state, 2, names[i]);
        if (lua_isnumber(state, -1) != 0) {
            *components[i] = static_cast<float>(lua_tonumber(state, -1));
        }
        lua_pop(state, 1);
    }
    sprite->SetColor(Color(color.a, color.r, color.g, color.b));
    return 0;
}

int ScriptSetFrame(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckOne(state, "too many arguments");
    sprite->SetFrame(static_cast<std::int32_t>(luaL_checkinteger(state, 2)));
    return 0;
}

int ScriptSetObsolete(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckSpriteArgsAtMost(state, 1, 2, "too many arguments");
    sprite->SetObsolete(true);
    return 0;
}

int ScriptSetRotation(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckOne(state, "too many arguments");
    sprite->SetRotation(static_cast<float>(luaL_checknumber(state, 2)));
    return 0;
}

int ScriptSetScale(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckSpriteArgsAtMost(state, 3, 4, "too many arguments");
    float x = 1.0f;
    float y = 1.0f;
    if (lua_gettop(state) == 2) {
        if (lua_isnumber(state, 2) != 0) {
            x = y = static_cast<float>(lua_tonumber(state, 2));
        } else if (lua_istable(state, 2)) {
            x = Entry(state, 2, 1, sprite->GetScaleX());
            y = Entry(state, 2, 2, sprite->GetScaleY());
        } else {
            luaL_typerror(state, 2, "table");
        }
    } else if (lua_gettop(state) == 3) {
        x = static_cast<float>(luaL_checknumber(state, 2));
        y = static_cast<float>(luaL_checknumber(state, 3));
    }
    sprite->SetScaleX(x);
    sprite->SetScaleY(y);
    return 0;
}

int ScriptSetSkew(lua_State* state)
{
    Sprite* sprite = CheckSprite(state);
    CheckSpriteArgsAtMost(state, 3, 4, "too many arguments");
    float x = 0.0f;
    float y = 0.0f;
    if (lua_gettop(state) < 2) {
        luaL_argerror(state, 2, "value expected");
    } else if (lua_gettop(state) == 2) {
        if (!lua_istable(state, 2)) {
            luaL_typerror(state, 2, "table");
        }
        x = Entry(state, 2, 1, sprite->GetSkewX());
        y = Entry(state, 2, 2, sprite->GetSkewY());
    } else {
        x = static_cast<float>(luaL_checknumber(state, 2));
        y = static_cast<float>(luaL_checknumber(state, 3));
    }
    sprite->SetSkewX(x);
    sprite->SetSkewY(y);
    return 0;
}

int ScriptTop(lua_State* state)
{
    lua_pushnumber(state, CheckSprite(state)->GetTop());
    return 1;
}

int ScriptWidth(lua_State* state)
{
    lua_pushnumber(state, CheckSprite(state)->GetWidth());
    return 1;
}

}  // namespace

namespace {

std::vector<SmartPtr<Sprite>>& HeldSprites()
{
    static std::vector<SmartPtr<Sprite>> held;
    return held;
}

}  // namespace

void Sprite::HoldUntilPurge(Sprite* sprite)
{
    HeldSprites().emplace_back(sprite);
}

void Sprite::ReleaseHeld()
{
    // Moved out first: a sprite freed here may run script code that makes more.
    std::vector<SmartPtr<Sprite>> released;
    released.swap(HeldSprites());
    released.clear();
}

const luaL_Reg Sprite::s_ScriptMethods[] = {
    {"addSequentialAnimation", ScriptAddSequentialAnimation},
    {"alpha", ScriptAlpha},
    {"beginAnimation", ScriptBeginAnimation},
    {"beginSimultaneousAnimation", ScriptBeginSimultaneousAnimation},
    {"endSimultaneousAnimation", ScriptEndSimultaneousAnimation},
    {"firstFrame", ScriptFirstFrame},
    {"frame", ScriptFrame},
    {"frameCount", ScriptFrameCount},
    {"height", ScriptHeight},
    {"lastFrame", ScriptLastFrame},
    {"left", ScriptLeft},
    {"new", ScriptNew},
    {"newChildSprite", ScriptNewChildSprite},
    {"rotation", ScriptRotation},
    {"setAlpha", ScriptSetAlpha},
    {"setAnchorPoint", ScriptSetAnchorPoint},
    {"setColor", ScriptSetColor},
    {"setFrame", ScriptSetFrame},
    {"setObsolete", ScriptSetObsolete},
    {"setRotation", ScriptSetRotation},
    {"setScale", ScriptSetScale},
    {"setSkew", ScriptSetSkew},
    {"top", ScriptTop},
    {"width", ScriptWidth},
    {nullptr, nullptr},
};

}  // namespace Qmv2
