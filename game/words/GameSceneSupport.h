// What every playing scene's code shares: the framework's key codes the
// scenes act on, a rectangle test, a typed component lookup and the current
// player.
#pragma once

#include <cstdint>

#include "framework/core/data/AbstractPlayer.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/scene/GameNode.h"

namespace GameSceneSupport {

constexpr std::int32_t kKeyBackspace = 1;
constexpr std::int32_t kKeyTab = 2;
constexpr std::int32_t kKeyDelete = 4;
constexpr std::int32_t kKeyEnter = 5;
constexpr std::int32_t kKeySpace = 17;
constexpr std::int32_t kKeyLeft = 20;
constexpr std::int32_t kKeyUp = 21;
constexpr std::int32_t kKeyRight = 22;
constexpr std::int32_t kKeyDown = 23;

// Whether two screen rectangles share any area.
inline bool Overlap(const Qmv2::NodeBounds& a, const Qmv2::NodeBounds& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The scene's component of that name, or null when it is missing or of
// another kind.
template <typename T>
T* FindTyped(const Qmv2::GameNode& scene, const char* name)
{
    Qmv2::GameNode* node = scene.FindChild(name, true);
    return node != nullptr && node->IsOfType(&T::s_Type) ? static_cast<T*>(node) : nullptr;
}

inline Qmv2::AbstractPlayer* CurrentPlayer()
{
    Qmv2::PlayerManager* players = Qmv2::PlayerManager::GetInstance();
    return players != nullptr ? players->GetCurrentPlayer() : nullptr;
}

inline void SavePlayers()
{
    if (Qmv2::PlayerManager* players = Qmv2::PlayerManager::GetInstance()) {
        players->SavePlayers();
    }
}

}  // namespace GameSceneSupport
