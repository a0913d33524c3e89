// Waiting for a thread to block, rather than sleeping and hoping it has: a
// check that a call waits is made once the calling thread sleeps in the
// kernel (on a lock or a condition) or has returned, however busy the
// machine is.
#pragma once

#include <atomic>
#include <chrono>
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

// Whether the thread `tid` of this process sleeps (state S in its stat).
inline bool ThreadSleeps(pid_t tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S';
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
        if (id != 0 && ThreadSleeps(id)) {
            return true;
        }
        std::this_thread::yield();
    }
    return false;
}

}  // namespace QmvTest
