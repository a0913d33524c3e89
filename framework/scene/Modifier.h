// A small, time-driven action on a target node. The tree that runs modifiers
// starts each one once, updates it every frame and drops it when finished.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"

namespace Qmv2 {

class GameNode;

class Modifier : public BaseObject {
public:
    QMV_CLASS_TYPE(Modifier, BaseObject)

    // State bits.
    static constexpr std::uint32_t kStarted = 0x1;
    static constexpr std::uint32_t kFinished = 0x2;

    Modifier() = default;
    Modifier(const Modifier&) = delete;
    Modifier& operator=(const Modifier&) = delete;

    virtual void SetCancelled(bool cancelled) { m_Cancelled = cancelled; }
    // The target is not counted: whoever owns the node outlives the modifier.
    virtual void SetTarget(GameNode* target) { m_Target = target; }
    virtual void Start() {}
    virtual void Finish() { m_State |= kFinished; }
    virtual bool IsFinished() const { return (m_State & kFinished) != 0; }
    virtual void Update(std::uint32_t dt) { (void)dt; }

    // The base text, the name in double quotes when there is one, and the
    // target's short text while the modifier is not cancelled.
    std::string ToString() const override;

    GameNode* GetTarget() const noexcept { return m_Target; }
    bool IsCancelled() const noexcept { return m_Cancelled; }
    std::uint32_t GetState() const noexcept { return m_State; }
    void SetName(const std::string& name) { m_Name = name; }

private:
    GameNode* m_Target = nullptr;
    std::uint32_t m_State = 0;
    bool m_Cancelled = false;
    std::string m_Name;
};

}  // namespace Qmv2
