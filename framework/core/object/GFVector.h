// The framework's growable array: a block of storage, a count of constructed
// elements and a capacity. Every operation that makes room follows one growth
// rule: at least 16 slots, then doubling until the needed size fits.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace Qmv2 {

namespace detail {
template <typename T, typename U>
concept EqualityComparableWith = requires(const T& a, const U& b) {
    { a == b } -> std::convertible_to<bool>;
};
}  // namespace detail

template <typename T>
class GFVector {
public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;

    static constexpr std::int32_t kMinimumGrowth = 16;

    GFVector() noexcept = default;

    // The copy's capacity is exactly the source's count (no block when empty).
    GFVector(const GFVector& other)
    {
        if (other.m_Count <= 0) {
            return;
        }
        T* block = Allocate(other.m_Count);
        try {
            std::uninitialized_copy_n(other.m_Data, other.m_Count, block);
        } catch (...) {
            Deallocate(block, other.m_Count);
            throw;
        }
        m_Data = block;
        m_Count = other.m_Count;
        m_Capacity = other.m_Count;
    }

    GFVector(GFVector&& other) noexcept
        : m_Data(std::exchange(other.m_Data, nullptr)),
          m_Count(std::exchange(other.m_Count, 0)),
          m_Capacity(std::exchange(other.m_Capacity, 0))
    {
    }

    // Assignment leaves the vector as a copy construction from `other` would.
    GFVector& operator=(const GFVector& other)
    {
        if (this != &other) {
            GFVector copy(other);
            Swap(copy);
        }
        return *this;
    }

    GFVector& operator=(GFVector&& other) noexcept
    {
        if (this != &other) {
            GFVector taken(std::move(other));
            Swap(taken);
        }
        return *this;
    }

    virtual ~GFVector()
    {
        std::destroy_n(m_Data, m_Count);
        Deallocate(m_Data, m_Capacity);
    }

    // Makes the capacity at least `n` by the growth rule.
    void Reserve(std::int32_t n)
    {
        if (n > m_Capacity) {
            Reallocate(GrownCapacity(n));
        }
    }

    // Sets the capacity to exactly `n` (never below the count).
    void Reallocate(std::int32_t n)
    {
        n = std::max(n, m_Count);
        T* block = Allocate(n);
        Relocate(m_Data, m_Count, block);
        Deallocate(m_Data, m_Capacity);
        m_Data = block;
        m_Capacity = n;
    }

    // Appends a copy of `value` and answers the new last element. `value` may be
    // an element of this vector.
    T* PushBack(const T& value) { return ConstructBack(value); }
    T* PushBack(T&& value) { return ConstructBack(std::move(value)); }

    // Inserts copies of `source[0 .. n - 1]` before `position` (at the end when
    // `position` is at or past it) and answers the first inserted element.
    T* Insert(T* position, const T* source, std::int32_t n)
    {
        if (n > 0 && Overlaps(source, n)) {
            GFVector copies;
            copies.ConstructRange(source, n);
            return Insert(position, copies.m_Data, n);
        }
        return InsertSlots(position, n, [&](T* slots) { std::uninitialized_copy_n(source, n, slots); });
    }

    // Inserts `n` copies of `value` before `position`.
    T* Insert(T* position, std::int32_t n, const T& value)
    {
        if (n > 0 && Overlaps(&value, 1)) {
            const T copy(value);
            return InsertSlots(position, n, [&](T* slots) { std::uninitialized_fill_n(slots, n, copy); });
        }
        return InsertSlots(position, n, [&](T* slots) { std::uninitialized_fill_n(slots, n, value); });
    }

    // Removes [first, last) and answers the position of the element that followed
    // the range (or the end). An empty or reversed range changes nothing.
    T* Erase(T* first, T* last)
    {
        if (!(first < last)) {
            return first;
        }
        const std::int32_t index = IndexOf(first);
        const std::int32_t end = IndexOf(last);
        const std::int32_t n = end - index;
        const std::int32_t tail = m_Count - end;
        if (n <= 0) {
            return first;
        }
        if (tail > 0 && n < tail && index == 0) {
            // Removing from the front moves the rest into a new block; it is
            // allocated before anything is destroyed, so a failure loses nothing.
            const std::int32_t capacity = GrownCapacity(m_Count - n);
            T* block = Allocate(capacity);
            std::destroy_n(m_Data, n);
            Relocate(m_Data + end, tail, block);
            Deallocate(m_Data, m_Capacity);
            m_Data = block;
            m_Capacity = capacity;
        } else {
            std::destroy_n(m_Data + index, n);
            Relocate(m_Data + end, tail, m_Data + index);
        }
        m_Count -= n;
        return m_Data + index;
    }

    // The first element equal to `value`, else the end.
    template <typename U>
        requires detail::EqualityComparableWith<T, U>
    T* Find(const U& value)
    {
        return std::find(begin(), end(), value);
    }
    template <typename U>
        requires detail::EqualityComparableWith<T, U>
    const T* Find(const U& value) const
    {
        return std::find(begin(), end(), value);
    }

    template <typename U>
        requires detail::EqualityComparableWith<T, U>
    bool Contains(const U& value) const
    {
        return Find(value) != end();
    }

    // New elements are value-initialised (0 for numbers, null for pointers).
    void Resize(std::int32_t n)
    {
        n = std::max(n, 0);
        if (n == m_Count) {
            return;
        }
        Reserve(n);
        if (n > m_Count) {
            std::uninitialized_value_construct_n(m_Data + m_Count, n - m_Count);
        } else {
            std::destroy_n(m_Data + n, m_Count - n);
        }
        m_Count = n;
    }

    // Destroys the elements; the block and the capacity stay.
    void Clear() noexcept
    {
        std::destroy_n(m_Data, m_Count);
        m_Count = 0;
    }

    std::int32_t GetCount() const noexcept { return m_Count; }
    std::int32_t GetCapacity() const noexcept { return m_Capacity; }
    bool IsEmpty() const noexcept { return m_Count == 0; }
    T* GetData() noexcept { return m_Data; }
    const T* GetData() const noexcept { return m_Data; }

    // Direct access, no bounds check.
    T& operator[](std::int32_t index) noexcept { return m_Data[index]; }
    const T& operator[](std::int32_t index) const noexcept { return m_Data[index]; }

    T* begin() noexcept { return m_Data; }
    T* end() noexcept { return m_Data + m_Count; }
    const T* begin() const noexcept { return m_Data; }
    const T* end() const noexcept { return m_Data + m_Count; }

private:
    static T* Allocate(std::int32_t n)
    {
        return n > 0 ? std::allocator<T>().allocate(static_cast<std::size_t>(n)) : nullptr;
    }

    static void Deallocate(T* block, std::int32_t n) noexcept
    {
        if (block != nullptr) {
            std::allocator<T>().deallocate(block, static_cast<std::size_t>(n));
        }
    }

    // Moves `n` elements from `source` to the raw slots at `target`; the source
    // slots are left raw. The ranges may overlap. Elements are move-constructed
    // and the originals destroyed, so elements that own memory (std::string)
    // stay valid; plain values are moved as bytes.
    static void Relocate(T* source, std::int32_t n, T* target) noexcept
    {
        if (n <= 0 || source == target) {
            return;
        }
        if constexpr (std::is_trivially_copyable_v<T>) {
            std::memmove(static_cast<void*>(target), static_cast<const void*>(source), sizeof(T) * n);
        } else if (target < source) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::construct_at(target + i, std::move(source[i]));
                std::destroy_at(source + i);
            }
        } else {
            for (std::int32_t i = n - 1; i >= 0; --i) {
                std::construct_at(target + i, std::move(source[i]));
                std::destroy_at(source + i);
            }
        }
    }

    // The capacity of a new block that holds `needed` elements: the current
    // capacity raised to 16, then doubled until `needed` fits.
    std::int32_t GrownCapacity(std::int64_t needed) const
    {
        std::int64_t capacity = std::max(m_Capacity, kMinimumGrowth);
        while (capacity < needed) {
            capacity *= 2;
        }
        if (capacity > std::numeric_limits<std::int32_t>::max()) {
            throw std::length_error("GFVector: too many elements");
        }
        return static_cast<std::int32_t>(capacity);
    }

    // The index of a position, with positions outside the elements clamped to
    // the start or the end.
    std::int32_t IndexOf(const T* position) const noexcept
    {
        if (m_Count == 0 || position <= m_Data) {
            return 0;
        }
        if (position >= m_Data + m_Count) {
            return m_Count;
        }
        return static_cast<std::int32_t>(position - m_Data);
    }

    bool Overlaps(const T* first, std::int32_t n) const noexcept
    {
        return m_Data != nullptr && first < m_Data + m_Capacity && m_Data < first + n;
    }

    template <typename... Args>
    T* ConstructBack(Args&&... args)
    {
        if (m_Count < m_Capacity) {
            std::construct_at(m_Data + m_Count, std::forward<Args>(args)...);
        } else {
            // The new element is made before the old ones move, so an argument
            // that refers to an element of this vector is still intact.
            const std::int32_t capacity = GrownCapacity(static_cast<std::int64_t>(m_Count) + 1);
            T* block = Allocate(capacity);
            try {
                std::construct_at(block + m_Count, std::forward<Args>(args)...);
            } catch (...) {
                Deallocate(block, capacity);
                throw;
            }
            Relocate(m_Data, m_Count, block);
            Deallocate(m_Data, m_Capacity);
            m_Data = block;
            m_Capacity = capacity;
        }
        return m_Data + m_Count++;
    }

    // Copies into an empty vector with a block of exactly `n` slots.
    void ConstructRange(const T* source, std::int32_t n)
    {
        Reallocate(n);
        std::uninitialized_copy_n(source, n, m_Data);
        m_Count = n;
    }

    // Opens `n` slots before `position` and lets `fill` construct all of them
    // (all or nothing). On failure the vector is as it was.
    template <typename Fill>
    T* InsertSlots(T* position, std::int32_t n, Fill fill)
    {
        const std::int32_t index = IndexOf(position);
        if (n <= 0) {
            return m_Data + index;
        }
        const std::int64_t needed = static_cast<std::int64_t>(m_Count) + n;
        const std::int32_t tail = m_Count - index;
        if (needed <= m_Capacity && (tail == 0 || n > tail || index > tail)) {
            Relocate(m_Data + index, tail, m_Data + index + n);
            try {
                fill(m_Data + index);
            } catch (...) {
                Relocate(m_Data + index + n, tail, m_Data + index);
                throw;
            }
        } else {
            // A new block receives the new elements first, then the elements
            // before the position and the tail after the new ones.
            const std::int32_t capacity = GrownCapacity(needed);
            T* block = Allocate(capacity);
            try {
                fill(block + index);
            } catch (...) {
                Deallocate(block, capacity);
                throw;
            }
            Relocate(m_Data, index, block);
            Relocate(m_Data + index, tail, block + index + n);
            Deallocate(m_Data, m_Capacity);
            m_Data = block;
            m_Capacity = capacity;
        }
        m_Count += n;
        return m_Data + index;
    }

    void Swap(GFVector& other) noexcept
    {
        std::swap(m_Data, other.m_Data);
        std::swap(m_Count, other.m_Count);
        std::swap(m_Capacity, other.m_Capacity);
    }

    T* m_Data = nullptr;
    std::int32_t m_Count = 0;
    std::int32_t m_Capacity = 0;
};

}  // namespace Qmv2
