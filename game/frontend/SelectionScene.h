// The main menu: the buttons of the five game modes, the trophy room, help,
// settings, player selection, high scores and quit; the greeting of the
// current player; the word-of-the-day button only while the player has not
// played today's word; the more-games button only when the settings allow
// it; the menu music; and two decorative logos that spring at random times.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "framework/scene/Scene.h"
#include "game/frontend/FrontendRecords.h"

namespace Qmv2 {
class GameNode;
class Sprite;
}  // namespace Qmv2

class SelectionScene : public Qmv2::Scene {
    QMV_INDEXED_TYPE(SelectionScene)

    explicit SelectionScene(Qmv2::PropertyNode* description);
    ~SelectionScene() override;

    // The tooltip, the components, the optional more-games components, the
    // buttons' handlers and the logos' first timers.
    void Load() override;
    // Entering the menu: music, the greeting, the new-player dialog when no
    // player exists, the more-games button as the settings say.
    void Show() override;
    // Leaving it closes a pending saved-game question.
    void Deactivate() override;
    // Springs the logos when their timers run out, the timers running only
    // while the menu's animations do.
    void Update(std::int32_t dt) override;

    // The greeting and the word-of-the-day button for the current player.
    void UpdateWelcome();

    void StartTimed();
    void StartUntimed();
    void StartWordOfDay();
    void StartBlitz();
    void StartCrisscross();
    void StartTrophy();
    void ShowPlayerSelect();
    void ShowHelp();
    void ShowSettings();
    void ShowHighScores();

    // The day number the word of the day is kept under: whole UTC days since
    // the game's first day.
    static std::int32_t DayIndex(std::time_t now);
    static constexpr std::int32_t kFirstDay = 14125;

    bool IsFirstEnter() const noexcept { return m_FirstEnter; }
    std::int32_t GetCoilTimer() const noexcept { return m_CoilTimer; }
    std::int32_t GetBounceTimer() const noexcept { return m_BounceTimer; }

private:
    // Queues the mode's sections and goes to `sceneKey` through the default
    // transition; a scene the game does not have leaves the menu as it is.
    void StartScene(const char* sceneKey, std::initializer_list<const char*> sections);
    void OpenDialog(const std::string& key);
    // Whether the game data defines the dialog `key`.
    static bool IsDefined(const std::string& key);
    // The sound, then one run through the logo's frames, behind `after` (the
    // scene's animations when null); answers the last modifier.
    Qmv2::Modifier* Spring(Qmv2::Modifier* after, const char* sound, Qmv2::Sprite* logo, std::int32_t frameTime);
    static std::int32_t NextTimer(std::int32_t base);

    bool m_FirstEnter = true;
    Qmv2::GameNode* m_WordOfDayButton = nullptr;
    Qmv2::GameNode* m_MoreGamesButton = nullptr;
    Qmv2::Sprite* m_LogoCoil = nullptr;
    Qmv2::Sprite* m_LogoBounce = nullptr;
    std::int32_t m_CoilTimer = 0;
    std::int32_t m_BounceTimer = 0;
};
