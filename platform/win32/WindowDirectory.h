// The windows of every running process of ours, so that a second instance of
// the program can find the first one's window and bring it forward.
//
// Each process lists its windows as small files "<pid>-<handle>.window"
// (class name on the first line, title after it) in a shared folder, and
// listens on a datagram socket named after the folder and its pid for
// requests to restore or raise one of its windows. Entries of processes that are gone are removed by
// whoever comes across them.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>
#include <sys/socket.h>
#include <sys/un.h>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace platform {

class WindowDirectory {
public:
    enum class Request { Restore, Raise };

    struct Entry {
        pid_t pid = 0;
        std::uintptr_t handle = 0;
    };

    explicit WindowDirectory(std::string folder);
    ~WindowDirectory();
    WindowDirectory(const WindowDirectory&) = delete;
    WindowDirectory& operator=(const WindowDirectory&) = delete;

    // The directory of the runtime folder, shared by every process of the user.
    static WindowDirectory& Shared();

    // Lists the window (again, with its new title) and opens the request socket.
    void Announce(HWND hwnd, const std::string& className, const std::string& title);
    void Withdraw(HWND hwnd);
    // A window of another living process by class name (ASCII case ignored) and
    // title; a null argument matches any.
    bool Find(const std::string* className, const std::string* title, Entry& out);
    bool Alive(const Entry& entry) const;
    bool Send(const Entry& entry, Request request) const;
    // The requests that arrived for this process's windows, without waiting.
    std::vector<std::pair<HWND, Request>> Receive();
    // The address of a process's request socket, where Send delivers.
    socklen_t RequestAddress(pid_t pid, sockaddr_un& address) const;

private:
    std::string WindowFile(pid_t pid, std::uintptr_t handle) const;
    void Forget(pid_t pid);

    std::string m_folder;
    int m_socket = -1;
};

}  // namespace platform
