// Developer cheats: while the hidden cheat mode is on, typing a cheat's name
// runs its handler in the current scene (or one of its dialogs), optionally
// after a number of further characters that the handler receives.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "framework/core/app/iInputListener.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

// Answers true when the cheat did something.
using CheatHandler = bool (*)(BaseObject* context, std::int32_t userValue, const std::string& extra);

struct CheatInfo {
    // Compared with the lower-cased typed text unless the manager is case sensitive.
    std::string m_Name;
    CheatHandler m_Handler = nullptr;
    std::int32_t m_UserValue = 0;
    // 0: none; N > 0: exactly N further characters; negative: any number, ended by Enter.
    std::int32_t m_ExtraCount = 0;
    // The scene or dialog where the cheat is valid; none means everywhere.
    SmartPtr<BaseObject> m_Context;
};

// What the cheat manager asks of the scene graph about where a cheat was typed.
class iCheatScope {
public:
    virtual ~iCheatScope() = default;
    // The scene now shown; while a transition runs, the scene it leads to. Null when none.
    virtual BaseObject* GetCurrentScene() = 0;
    virtual bool IsScene(BaseObject* object) = 0;
    // True when `dialog` is among the scene's open dialogs and takes input.
    virtual bool IsOpenDialog(BaseObject* scene, BaseObject* dialog) = 0;
};

// A sound the cheat manager plays to confirm or refuse a cheat.
class iCheatSound {
public:
    virtual ~iCheatSound() = default;
    virtual void Play(float volume, float pan, float pitch, bool looped) = 0;
};

class CheatManager : public BaseObject, public iInputListener, public iInstance<CheatManager> {
public:
    QMV_INDEXED_TYPE(CheatManager)

    enum Mode : std::int32_t { kOff = 0, kTyping = 1, kExtra = 2 };

    // The toggle: this key released while the modifier is held (framework key codes: F12, Ctrl).
    static constexpr std::int32_t kToggleKey = 64;
    static constexpr std::int32_t kToggleModifier = 9;
    static constexpr std::int32_t kEnterKey = 5;
    static constexpr std::int32_t kEscapeKey = 16;

    // Registers itself at the front of the input handler's registered listeners.
    CheatManager();
    ~CheatManager() override;

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }
    bool OnKeyUp(KeyboardMessageData* key) override;

    // A later cheat of the same name replaces the earlier one.
    void AddCheat(const CheatInfo& cheat);
    std::size_t GetCheatCount() const { return m_Cheats.size(); }

    void SetPlaySounds(bool play) { m_PlaySounds = play; }
    bool GetPlaySounds() const { return m_PlaySounds; }
    void SetSounds(std::shared_ptr<iCheatSound> success, std::shared_ptr<iCheatSound> failure);
    void SetCaseSensitive(bool caseSensitive) { m_CaseSensitive = caseSensitive; }
    // The scene graph's answers; without one, cheats run with no context.
    static void SetScope(iCheatScope* scope) { s_Scope = scope; }

    std::int32_t GetMode() const { return m_Mode; }
    const std::string& GetTypedText() const { return m_Typed; }
    bool WasCheatUsed() const { return m_CheatUsed; }

private:
    void MatchTypedText();
    void CollectExtra();
    void Activate(const CheatInfo& cheat, const std::string& extra);
    void PlaySound(const std::shared_ptr<iCheatSound>& sound) const;

    static inline iCheatScope* s_Scope = nullptr;

    std::map<std::string, CheatInfo> m_Cheats;
    std::string m_Typed;
    bool m_PlaySounds = false;
    std::shared_ptr<iCheatSound> m_SuccessSound;
    std::shared_ptr<iCheatSound> m_FailureSound;
    std::int32_t m_Mode = kOff;
    const CheatInfo* m_Pending = nullptr;
    bool m_CaseSensitive = false;
    bool m_CheatUsed = false;
};

}  // namespace Qmv2
