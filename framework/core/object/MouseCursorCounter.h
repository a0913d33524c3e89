// One holder's vote for a mouse cursor. Every counter of a kind that is on adds
// one to that kind's program-wide count; the window shows the highest kind whose
// count is above 0. Kinds: 1 and 2 hand, 3 text beam, 4 wait, 5 application
// starting, 6 help, 7 no cursor. Used on the window thread only.
#pragma once

#include <cstdint>

namespace Qmv2 {

class MouseCursorCounter {
public:
    static constexpr std::int32_t kKindCount = 8;

    // A kind outside 1..7 never counts.
    explicit MouseCursorCounter(std::int32_t kind, bool counted = false) noexcept;
    ~MouseCursorCounter() { Set(false); }

    // A copy votes like its original; the two are dropped separately.
    MouseCursorCounter(const MouseCursorCounter& other) noexcept;
    MouseCursorCounter& operator=(const MouseCursorCounter& other) noexcept;

    void Set(bool on) noexcept;
    bool IsCounted() const noexcept { return m_Counted; }
    std::int32_t GetKind() const noexcept { return m_Kind; }

    // The program-wide count of `kind` (0 for a kind outside 1..7).
    static std::int32_t GetCount(std::int32_t kind) noexcept;
    // The highest kind from 7 down to 1 whose count is above 0, else 0 (the arrow).
    static std::int32_t GetShownKind() noexcept;

private:
    static bool IsValidKind(std::int32_t kind) noexcept { return kind >= 1 && kind < kKindCount; }

    bool m_Counted = false;
    std::int32_t m_Kind;

    inline static std::int32_t s_Counts[kKindCount] = {};
};

}  // namespace Qmv2
