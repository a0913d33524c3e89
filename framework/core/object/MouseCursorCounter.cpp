#include "framework/core/object/MouseCursorCounter.h"

namespace Qmv2 {

MouseCursorCounter::MouseCursorCounter(std::int32_t kind, bool counted) noexcept : m_Kind(kind)
{
    Set(counted);
}

MouseCursorCounter::MouseCursorCounter(const MouseCursorCounter& other) noexcept : m_Kind(other.m_Kind)
{
    Set(other.m_Counted);
}

MouseCursorCounter& MouseCursorCounter::operator=(const MouseCursorCounter& other) noexcept
{
    if (this != &other) {
        Set(false);
        m_Kind = other.m_Kind;
        Set(other.m_Counted);
    }
    return *this;
}

void MouseCursorCounter::Set(bool on) noexcept
{
    if (on == m_Counted || !IsValidKind(m_Kind)) {
        return;
    }
    m_Counted = on;
    s_Counts[m_Kind] += on ? 1 : -1;
}

std::int32_t MouseCursorCounter::GetCount(std::int32_t kind) noexcept
{
    return IsValidKind(kind) ? s_Counts[kind] : 0;
}

std::int32_t MouseCursorCounter::GetShownKind() noexcept
{
    for (std::int32_t kind = kKindCount - 1; kind >= 1; --kind) {
        if (s_Counts[kind] > 0) {
            return kind;
        }
    }
    return 0;
}

}  // namespace Qmv2
