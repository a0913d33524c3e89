// A group of modifiers that run side by side. The container itself is never
// started or updated: it counts as finished from the start, so the tree walk
// enters its children from the first tick on.
#pragma once

#include <string>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierContainer : public Modifier {
    QMV_INDEXED_TYPE(ModifierContainer)

    explicit ModifierContainer(const std::string& name = std::string(), bool removeWhenEmpty = false);

    // Cancelling the container cancels everything below it.
    void SetCancelled(bool cancelled) override;
    // Finished (for the purge) once it is empty, when it should go then.
    bool IsFinished() const override;
    void Update(std::uint32_t) override {}
    // Marks every modifier below the container cancelled.
    virtual void CancelChildren();

    std::string ToString() const override;

    bool GetRemoveWhenEmpty() const noexcept { return m_RemoveWhenEmpty; }
    void SetRemoveWhenEmpty(bool remove) noexcept { m_RemoveWhenEmpty = remove; }

private:
    bool m_RemoveWhenEmpty = false;
};

}  // namespace Qmv2
