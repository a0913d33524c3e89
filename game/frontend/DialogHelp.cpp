#include "game/frontend/DialogHelp.h"

#include <algorithm>
#include <string>

#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierDelay.h"
#include "game/frontend/ProgramVersion.h"
#include "game/words/GameMode.h"

using namespace Qmv2;

namespace {

constexpr std::int32_t kPageFade = 200;

DialogHelp* AsHelp(void* target)
{
    return static_cast<DialogHelp*>(static_cast<DialogQuorvel2*>(target));
}

}  // namespace

DialogHelp::DialogHelp(PropertyNode* description) : DialogQuorvel2(description)
{
    BasicProperties* texts = BasicProperties::GetInstance();
    m_Headers = texts != nullptr ? texts->GetList("HELP_HEADERS") : nullptr;
    Bind("BUTTON_PREV", &DialogHelp::Previous);
    Bind("BUTTON_NEXT", &DialogHelp::Next);
    Bind("BUTTON_OK", &DialogQuorvel2::HideSelf);
    m_Prev = FindComponent<Button>("BUTTON_PREV");
    m_Next = FindComponent<Button>("BUTTON_NEXT");
    for (int page = 1; page <= kPageSprites; ++page) {
        Sprite* sprite = FindComponent<Sprite>("HELP_PAGE0" + std::to_string(page));
        if (sprite == nullptr) {
            break;
        }
        sprite->SetAlpha(page == 1 ? 1.0f : 0.0f);
        m_Pages.push_back(sprite);
    }
    // Never page past the pages that exist.
    const std::int32_t headers = m_Headers != nullptr ? m_Headers->GetCount() : 0;
    m_PageCount = std::min(headers, static_cast<std::int32_t>(m_Pages.size()));
}

DialogHelp::~DialogHelp() = default;

std::int32_t DialogHelp::PageOfMode(std::int32_t mode)
{
    switch (mode) {
    case GameMode::kBlitz:
        return 2;
    case GameMode::kCrisscross:
        return 3;
    case GameMode::kWordOfTheDay:
        return 1;
    default:
        return 0;
    }
}

void DialogHelp::ChangePage(std::int32_t delta)
{
    const std::int32_t target = std::clamp(m_CurrentPage + delta, 0, std::max(m_PageCount - 1, 0));
    delta = target - m_CurrentPage;
    if (delta != 0) {
        m_Pages[static_cast<std::size_t>(m_CurrentPage)]->AddModifier(new ModifierAlpha(kPageFade, 1.0f, 0.0f));
        m_Pages[static_cast<std::size_t>(target)]->AddModifier(new ModifierAlpha(kPageFade, 0.0f, 1.0f));
        m_CurrentPage = target;
    }
    if (m_Prev != nullptr) {
        m_Prev->SetEnabled(m_CurrentPage > 0);
    }
    if (m_Next != nullptr) {
        m_Next->SetEnabled(m_CurrentPage < m_PageCount - 1);
    }
}

void DialogHelp::Show()
{
    DialogQuorvel2::Show();
    // A help dialog shown again while it is open keeps its page.
    ChangePage(m_Shown ? 0 : PageOfMode(GameMode::Get()) - m_CurrentPage);
    m_Shown = true;
    AddModifier(new ModifierDelay(kPageFade));
    FadeIn();
}

void DialogHelp::Previous(void* target, void*)
{
    AsHelp(target)->ChangePage(-1);
}

void DialogHelp::Next(void* target, void*)
{
    AsHelp(target)->ChangePage(1);
}

DialogCredits::DialogCredits(PropertyNode* description) : DialogQuorvel2(description)
{
    Bind("BUTTON_OK", &DialogQuorvel2::HideSelf);
    if (Label* version = FindComponent<Label>("VERSION")) {
        version->SetText(UTF8String(QUORVEL_VERSION_TEXT));
    }
}

void DialogCredits::Show()
{
    DialogQuorvel2::Show();
    UpdateBackground();
}

bool DialogCredits::OnLeftButtonDown(MouseMessageData*)
{
    // Once hiding, the dialog takes no input: a second click closes nothing twice.
    if (m_AcceptsInput) {
        Hide();
    }
    return true;
}
