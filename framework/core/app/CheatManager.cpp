#include "framework/core/app/CheatManager.h"

#include "framework/core/app/InputHandler.h"
#include "framework/core/app/KeyCodes.h"
#include "platform/win32/AsciiCase.h"

namespace Qmv2 {

CheatManager::CheatManager()
{
    m_AcceptsInput = true;
    m_ChildrenAcceptInput = true;
    m_Exclusive = false;
    if (InputHandler* input = InputHandler::GetInstance()) {
        input->RegisterListener(this);
    }
}

CheatManager::~CheatManager()
{
    m_Pending = nullptr;
    m_Typed.clear();
    m_Cheats.clear();
}

Interface* CheatManager::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    return BaseObject::GetInterface(type);
}

void CheatManager::AddCheat(const CheatInfo& cheat)
{
    std::string name = cheat.m_Name;
    if (!m_CaseSensitive) {
        name = platform::AsciiLower(name);
    }
    if (name.empty()) {
        return;  // an empty name would match nothing and block every prefix test
    }
    CheatInfo& stored = m_Cheats[name];
    stored = cheat;
    stored.m_Name = name;
}

void CheatManager::SetSounds(std::shared_ptr<iCheatSound> success, std::shared_ptr<iCheatSound> failure)
{
    m_SuccessSound = std::move(success);
    m_FailureSound = std::move(failure);
}

bool CheatManager::OnKeyUp(KeyboardMessageData* key)
{
    if (key == nullptr) {
        return false;
    }
    if (key->m_KeyCode == kToggleKey && IsKeyDown(kToggleModifier) != 0) {
        m_Pending = nullptr;
        m_Typed.clear();
        m_Mode = m_Mode == kOff ? kTyping : kOff;
        return false;
    }
    if (m_Mode == kOff) {
        return false;
    }
    if (key->m_KeyCode != kEnterKey && key->m_KeyCode != kEscapeKey) {
        m_Typed += key->m_Text;
        if (m_Mode == kExtra) {
            CollectExtra();
        } else {
            MatchTypedText();
        }
        return true;
    }
    if (key->m_KeyCode == kEnterKey && m_Mode == kExtra && m_Pending != nullptr && m_Pending->m_ExtraCount <= 0) {
        const CheatInfo* cheat = m_Pending;
        m_Pending = nullptr;
        Activate(*cheat, std::string(m_Typed));
        m_Mode = kOff;
        return true;
    }
    m_Pending = nullptr;
    m_Mode = kOff;
    return true;
}

void CheatManager::MatchTypedText()
{
    if (!m_CaseSensitive) {
        m_Typed = platform::AsciiLower(m_Typed);
    }
    while (!m_Typed.empty()) {
        const auto exact = m_Cheats.find(m_Typed);
        if (exact != m_Cheats.end()) {
            if (exact->second.m_ExtraCount != 0) {
                m_Pending = &exact->second;
                m_Typed.clear();
                m_Mode = kExtra;
            } else {
                Activate(exact->second, std::string());
            }
            return;
        }
        // Names beginning with the typed text sort right after it.
        const auto next = m_Cheats.upper_bound(m_Typed);
        if (next != m_Cheats.end() && next->first.size() > m_Typed.size() &&
            next->first.compare(0, m_Typed.size(), m_Typed) == 0) {
            return;
        }
        m_Typed.erase(0, 1);
    }
}

void CheatManager::CollectExtra()
{
    if (m_Pending == nullptr) {
        m_Mode = kTyping;
        return;
    }
    const std::int32_t count = m_Pending->m_ExtraCount;
    if (count >= 1 && m_Typed.size() >= static_cast<std::size_t>(count)) {
        const CheatInfo* cheat = m_Pending;
        m_Pending = nullptr;
        Activate(*cheat, std::string(m_Typed));
        m_Mode = kOff;
    }
}

void CheatManager::Activate(const CheatInfo& cheat, const std::string& extra)
{
    BaseObject* context = s_Scope != nullptr ? s_Scope->GetCurrentScene() : nullptr;
    BaseObject* wanted = cheat.m_Context.Get();
    if (wanted != nullptr && s_Scope != nullptr && context != nullptr && !s_Scope->IsScene(wanted) &&
        s_Scope->IsOpenDialog(context, wanted)) {
        context = wanted;
    }
    if (wanted == nullptr || wanted == context) {
        if (cheat.m_Handler != nullptr && cheat.m_Handler(context, cheat.m_UserValue, extra)) {
            m_CheatUsed = true;
            PlaySound(m_SuccessSound);
        }
    } else {
        PlaySound(m_FailureSound);
    }
    m_Typed.clear();
    m_Mode = kOff;
}

void CheatManager::PlaySound(const std::shared_ptr<iCheatSound>& sound) const
{
    if (m_PlaySounds && sound != nullptr) {
        sound->Play(1.0f, 0.0f, 1.0f, false);
    }
}

}  // namespace Qmv2
