// Waits for a time; later modifiers of a node's own list wait with it.
#pragma once

#include <cstdint>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierDelay : public Modifier {
    QMV_INDEXED_TYPE(ModifierDelay)

    explicit ModifierDelay(std::int32_t duration);

    void Update(std::uint32_t dt) override;
    std::string ToString() const override;
    std::int32_t GetRemaining() const noexcept { return m_Remaining; }

private:
    std::int32_t m_Remaining;
};

}  // namespace Qmv2
