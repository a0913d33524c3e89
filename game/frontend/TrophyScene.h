// The trophy room: the current player's 24 trophies, one per achievement.
// A trophy earned since the last visit pops in and is then marked as shown;
// earned ones stand plainly; the others are hidden. Hovering a trophy puts its
// description under the shelf and a sparkle on it when it is earned; the
// last trophy keeps its description secret until it is earned. The menu
// button saves the players and goes back to the main menu.
#pragma once

#include <cstdint>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/scene/Scene.h"
#include "game/frontend/FrontendRecords.h"

namespace Qmv2 {
class Label;
class PropertyVector;
class Sprite;
}  // namespace Qmv2
class Quorvel2Player;

class TrophyScene : public Qmv2::Scene {
    QMV_INDEXED_TYPE(TrophyScene)

    static constexpr std::int32_t kTrophyCount = 24;
    // The trophy whose description stays secret until it is earned.
    static constexpr std::int32_t kSecretTrophy = kTrophyCount - 1;
    // The pop-in of a newly earned trophy: fade, grow past, settle.
    static constexpr std::int32_t kFadeTime = 200;
    static constexpr std::int32_t kGrowTime = 500;
    static constexpr std::int32_t kSettleTime = 300;
    static constexpr float kStartScale = 0.05f;
    static constexpr float kPeakScale = 0.6f;
    static constexpr float kRestScale = 0.5f;

    explicit TrophyScene(Qmv2::PropertyNode* description);
    ~TrophyScene() override;

    // The components, the menu button, the trophies by id, the descriptions,
    // the description label and the sparkle.
    void Load() override;
    // Entering: the trophy music and every trophy as the player earned it.
    void Show() override;
    // Leaving gives the normal cursor back.
    void Deactivate() override;
    bool OnMouseMove(Qmv2::MouseMessageData* data) override;

    // Shows trophy `id` for the current player; ids outside 0..23, or no
    // current player, show nothing.
    void ShowTrophy(std::int32_t id);
    // Saves the players (so that shown trophies stay shown) and goes back to
    // the main menu.
    void BackToMenu();

    // The trophy of that id, or null.
    Qmv2::Sprite* GetTrophy(std::int32_t id) const;
    Qmv2::Sprite* GetSparkle() const noexcept { return m_Sparkle; }
    Qmv2::Label* GetDescriptionLabel() const noexcept { return m_DescriptionLabel; }
    bool IsHandCursorOn() const noexcept { return m_HandCursor.IsCounted(); }

private:
    // The current player when it is a game player, else null.
    static Quorvel2Player* CurrentPlayer();
    void SetDescription(const std::string& text);

    Qmv2::Sprite* m_Sparkle = nullptr;
    Qmv2::GFVector<Qmv2::Sprite*> m_Trophies;
    Qmv2::PropertyVector* m_Descriptions = nullptr;
    Qmv2::Label* m_DescriptionLabel = nullptr;
    Qmv2::MouseCursorCounter m_HandCursor{2};
};
