// Holding pointer for reference-counted objects: holds one reference on its
// pointee for as long as it points at it.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace Qmv2 {

template <typename T>
class SmartPtr {
public:
    SmartPtr() noexcept = default;
    SmartPtr(std::nullptr_t) noexcept {}
    SmartPtr(T* pointer) : m_Pointer(pointer)
    {
        if (m_Pointer != nullptr) {
            m_Pointer->AddRef();
        }
    }
    SmartPtr(const SmartPtr& other) : SmartPtr(other.m_Pointer) {}
    template <typename U>
        requires std::is_convertible_v<U*, T*>
    SmartPtr(const SmartPtr<U>& other) : SmartPtr(other.Get()) {}
    SmartPtr(SmartPtr&& other) noexcept : m_Pointer(std::exchange(other.m_Pointer, nullptr)) {}

    ~SmartPtr() { Reset(); }

    // The new pointee gains its reference before the old one loses its own, so
    // assigning the object already held is safe even for its only holder.
    SmartPtr& operator=(T* pointer)
    {
        if (pointer != nullptr) {
            pointer->AddRef();
        }
        T* old = std::exchange(m_Pointer, pointer);
        if (old != nullptr) {
            old->Release();
        }
        return *this;
    }
    SmartPtr& operator=(const SmartPtr& other) { return *this = other.m_Pointer; }
    SmartPtr& operator=(SmartPtr&& other) noexcept
    {
        if (this != &other) {
            T* old = std::exchange(m_Pointer, std::exchange(other.m_Pointer, nullptr));
            if (old != nullptr) {
                old->Release();
            }
        }
        return *this;
    }

    // The holder is already empty when the old pointee's destruction runs.
    void Reset()
    {
        if (T* old = std::exchange(m_Pointer, nullptr)) {
            old->Release();
        }
    }

    T* Get() const noexcept { return m_Pointer; }
    T* operator->() const noexcept { return m_Pointer; }
    T& operator*() const noexcept { return *m_Pointer; }
    explicit operator bool() const noexcept { return m_Pointer != nullptr; }

    friend bool operator==(const SmartPtr& a, const SmartPtr& b) noexcept { return a.m_Pointer == b.m_Pointer; }
    friend bool operator==(const SmartPtr& a, const T* b) noexcept { return a.m_Pointer == b; }

private:
    T* m_Pointer = nullptr;
};

}  // namespace Qmv2
