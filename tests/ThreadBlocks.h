// Waiting for a thread to block, rather than sleeping and hoping it has: a
// check that a call waits is made once the calling thread is blocked in the
// kernel (on a lock, a condition or a join) or has returned, however busy
// the machine is. Linux only: the kernel's view comes from /proc.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace QmvTest {

// The calling thread's kernel id.
inline pid_t ThisThreadId()
{
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// Whether the thread `tid` of this process is blocked in the kernel on a
// futex (a lock, a condition or a join), from its state and its system call;
// a thread that is only waiting for a processor is running, not blocked.
// With `word`, only a wait on that futex counts (a mutex's lock word: where a
// thread waits for the mutex another holds).
inline bool ThreadBlockedOnFutex(long tid, const void* word = nullptr)
{
    const std::string task = "/proc/self/task/" + std::to_string(tid);
    std::ifstream stat(task + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const std::size_t close = line.rfind(')');  // the name may hold blanks and brackets
    if (close == std::string::npos || close + 2 >= line.size()) {
        return false;
    }
    const char state = line[close + 2];
    if (state != 'S' && state != 'D') {
        return false;
    }
    // Where the system call may not be read, the state alone says it.
    std::ifstream call(task + "/syscall");
    long number = -1;
    std::string address;
    if (!(call >> number)) {
        return !word;
    }
    if (number != SYS_futex) {
        return false;
    }
    return !word || ((call >> address) && std::strtoull(address.c_str(), nullptr, 16) == reinterpret_cast<uintptr_t>(word));
}

// Waits, up to a minute, until the thread whose id `tid` holds (0 until it
// has said) sleeps or `finished` answers true; answers true when it slept.
template <typename Finished>
bool WaitUntilBlockedOrFinished(const std::atomic<pid_t>& tid, Finished finished)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (finished()) {
            return false;
        }
        const pid_t id = tid.load();
        if (id != 0 && ThreadBlockedOnFutex(id)) {
            return true;
        }
        std::this_thread::yield();
    }
    return false;
}

}  // namespace QmvTest
