// A forked child process for tests that need a second process: the body runs
// in the child and never returns; the child is killed and reaped at the end.
#pragma once

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class ChildProcess {
public:
    template <typename Body>
    explicit ChildProcess(Body body)
    {
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // A test that ends without its destructors (Xlib's error handler
            // calls exit) takes its server and window manager with it:
            // otherwise they keep the test's output open and ctest waits for
            // them until the test's time limit.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) {
                _exit(1);
            }
            body();
            _exit(0);
        }
    }
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void Kill()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
};
