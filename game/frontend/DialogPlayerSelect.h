// The player list: up to five players by name, the current one marked by a
// border, with buttons to pick, add and remove a player. More players than
// rows (possible only through an edited players file) show the first five;
// removing the last player asks for a new one at once.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class Button;
class Label;
class Sprite;
}  // namespace Qmv2

class DialogPlayerSelect : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogPlayerSelect)

    static constexpr std::int32_t kRows = 5;
    static constexpr std::int32_t kNoSlot = -1;

    // Five name buttons from "namebutton", each "spacing" below the one
    // before and holding a label from "namelabel"; Add, Remove, OK; the
    // border above the buttons; then the list.
    explicit DialogPlayerSelect(Qmv2::PropertyNode* description);
    ~DialogPlayerSelect() override;

    // The names into the rows, the border round the current player, Add only
    // below five players and Remove only with one.
    void RefreshList();

    // A name button: an occupied row makes its player current, an empty row
    // asks for a new player.
    void PickSlot(std::int32_t slot);
    // Opens the new-player dialog while there are fewer than five players.
    void AddPlayer();
    // Asks whether the selected player should be removed.
    void AskRemove();
    // Removes the selected player; when it was the current one, the next row's
    // player (or the one before, at the end of the list) becomes current.
    void RemoveConfirmed();
    // Updates the menu's greeting and closes the list.
    void Done();

    std::int32_t GetSelectedSlot() const noexcept { return m_SelectedSlot; }
    Qmv2::Button* GetNameButton(std::int32_t slot) const;
    Qmv2::Label* GetNameLabel(std::int32_t slot) const;
    Qmv2::Sprite* GetBorder() const noexcept { return m_Border; }

private:
    void MoveBorderTo(std::int32_t slot);
    // Opens the dialog `key` in the scene that holds this one.
    void OpenInScene(const std::string& key);

    std::array<Qmv2::Button*, kRows> m_NameButtons{};
    std::array<Qmv2::Label*, kRows> m_NameLabels{};
    std::int32_t m_SelectedSlot = -100;
    Qmv2::Sprite* m_Border = nullptr;
    float m_BorderBaseY = -1000.0f;
};
