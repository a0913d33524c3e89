// Named in-process locks and their scoped holder. The name only labels a
// lock: two locks made with one name are independent.
#pragma once

#include <memory>
#include <string>

namespace Qmv2 {

class Mutex {
public:
    // A lock of this platform (a re-entrant critical section).
    static std::unique_ptr<Mutex> Create(const std::string& name);

    virtual ~Mutex() = default;
    virtual bool Unlock() = 0;
    // Re-entrant: the owning thread may lock again, once more Unlock each time.
    virtual bool Lock() = 0;
};

// Holds a lock from its construction to its destruction.
class MutexLock {
public:
    explicit MutexLock(Mutex* mutex);
    virtual ~MutexLock();
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex* m_Mutex;
};

}  // namespace Qmv2
