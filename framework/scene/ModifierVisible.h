// Hides, shows or flips the visibility of its target, then is done.
#pragma once

#include <cstdint>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierVisible : public Modifier {
    QMV_INDEXED_TYPE(ModifierVisible)

    // 0 hides, 1 shows, anything else flips.
    explicit ModifierVisible(std::int32_t mode) : m_Mode(mode) {}

    void Update(std::uint32_t) override { Finish(); }
    // Acts once, however often it is finished.
    void Finish() override;
    std::string ToString() const override;

private:
    std::int32_t m_Mode;
};

}  // namespace Qmv2
