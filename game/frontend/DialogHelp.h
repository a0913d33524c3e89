// The rules of the game as pages turned with previous and next buttons,
// opening on the page of the current game mode; and the credits, with the
// program's version, which close on any click.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class Button;
class PropertyVector;
class Sprite;
}  // namespace Qmv2

class DialogHelp : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogHelp)

    static constexpr int kPageSprites = 4;

    explicit DialogHelp(Qmv2::PropertyNode* description);
    ~DialogHelp() override;

    // Opens on the page of the current game mode.
    void Show() override;
    // Cross-fades `delta` pages on, within the pages there are, and enables
    // the buttons that can still turn.
    void ChangePage(std::int32_t delta);

    std::int32_t GetCurrentPage() const noexcept { return m_CurrentPage; }
    std::int32_t GetPageCount() const noexcept { return m_PageCount; }

    // The page each game mode opens on.
    static std::int32_t PageOfMode(std::int32_t mode);

private:
    static void Previous(void* target, void* component);
    static void Next(void* target, void* component);

    Qmv2::SmartPtr<Qmv2::PropertyVector> m_Headers;
    std::vector<Qmv2::Sprite*> m_Pages;
    std::int32_t m_PageCount = 0;
    std::int32_t m_CurrentPage = 0;
    bool m_Shown = false;
    Qmv2::Button* m_Prev = nullptr;
    Qmv2::Button* m_Next = nullptr;
};

class DialogCredits : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogCredits)

    explicit DialogCredits(Qmv2::PropertyNode* description);
    void Show() override;
    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override;
};
