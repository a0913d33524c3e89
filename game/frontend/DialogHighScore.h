// The best ten scores of one game mode, with a tab switch per mode. Its
// GetTable is also how the playing scenes reach a mode's score table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class HighScoreTable;
class Label;
class Modifier;
class Sprite;
}  // namespace Qmv2

class DialogHighScore : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogHighScore)

    static constexpr int kRows = 10;
    // The faintest the blinking new entry gets: its navy still reads on the
    // panel at more than 4.5:1 (a label's alpha reaches its letters twice).
    static constexpr float kHighlightFaintest = 0.9f;

    explicit DialogHighScore(Qmv2::PropertyNode* description);

    // The table of that name, made when missing, topped up with default
    // entries while it holds fewer than ten; never null.
    static Qmv2::HighScoreTable* GetTable(const std::string& name);
    // The table name of a game mode (an unknown mode counts as untimed).
    static const char* TableName(std::int32_t mode);

    void Show() override;
    // Shows the mode's table in the rows; the last added score blinks on the
    // dialog's first fill.
    void FillTable(std::int32_t mode);

    void SetFromMenu(bool fromMenu) noexcept { m_FromMenu = fromMenu; }
    Qmv2::Label* GetRowLabel(int row, int column) const { return m_Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]; }

private:
    struct Tab;
    static const Tab& TabOf(std::int32_t mode);
    void SelectTab(std::int32_t mode);
    static void Close(void* target, void* component);
    template <std::int32_t Mode>
    static void SwitchTo(void* target, void* component);

    bool m_FromMenu = false;
    bool m_HighlightPending = true;
    std::array<std::array<Qmv2::Label*, 3>, kRows> m_Rows{};
    Qmv2::Sprite* m_TabImage = nullptr;
    Qmv2::Label* m_ExtraHeader = nullptr;
    Qmv2::Modifier* m_Highlight = nullptr;
};
