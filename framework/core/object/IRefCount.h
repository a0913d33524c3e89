// Intrusive reference counting. The count is a plain integer: an object's count
// is touched only by the thread that owns the object at that time.
#pragma once

#include <cstdint>

namespace Qmv2 {

template <typename T>
class IRefCount {
public:
    virtual ~IRefCount() = default;
    virtual void AddRef() = 0;
    virtual void Release() = 0;
    virtual T* GetObject() = 0;
};

template <typename T>
class IRefCountImpl : public IRefCount<T> {
public:
    void AddRef() override { ++m_RefCount; }

    // Deletes the object (through DeleteThis) when the count comes back to
    // exactly 0, that is when the holder of the last reference releases it.
    // Nothing of the object may be touched after a releasing call returns.
    void Release() override
    {
        if (--m_RefCount == 0) {
            DeleteThis();
        }
    }

    T* GetObject() override { return static_cast<T*>(this); }

    // The end of the last reference; a class whose objects must outlive it
    // (shared constants) overrides this.
    virtual void DeleteThis()
    {
        if (T* object = GetObject()) {
            delete object;
        }
    }

    std::int32_t GetRefCount() const noexcept { return m_RefCount; }

protected:
    IRefCountImpl() noexcept = default;
    // A copy is a new object: nobody holds it yet. Assignment keeps the holders
    // of the assigned-to object.
    IRefCountImpl(const IRefCountImpl&) noexcept : IRefCount<T>() {}
    IRefCountImpl& operator=(const IRefCountImpl&) noexcept { return *this; }

private:
    std::int32_t m_RefCount = 0;
};

}  // namespace Qmv2
