#include "platform/win32/WindowDirectory.h"

#include "platform/win32/AsciiCase.h"
#include "platform/win32/RuntimeFolder.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

bool ProcessAlive(pid_t pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// Request sockets live in Linux's abstract namespace, named after a hash of the
// directory's folder and the process id: a socket path in the folder itself
// would pass the 108-byte limit of a socket address once the folder lies deep
// enough, and abstract names vanish with their process, so none is left behind.
socklen_t SocketAddress(const std::string& folder, pid_t pid, sockaddr_un& address)
{
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, stable across builds
    for (const unsigned char c : folder) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char name[64];
    const int size = std::snprintf(name, sizeof(name), "qmv-windows-%016llx-%lld",
                                   static_cast<unsigned long long>(hash), static_cast<long long>(pid));
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(size));  // sun_path[0] stays 0
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(size));
}

}  // namespace

WindowDirectory::WindowDirectory(std::string folder)
    : m_folder(std::move(folder))
{
    mkdir(m_folder.c_str(), 0700);
}

WindowDirectory::~WindowDirectory()
{
    if (m_socket >= 0) {
        close(m_socket);
    }
}

WindowDirectory& WindowDirectory::Shared()
{
    static WindowDirectory directory(RuntimeFolder() + "/qmv-windows-" + std::to_string(getuid()));
    return directory;
}

socklen_t WindowDirectory::RequestAddress(pid_t pid, sockaddr_un& address) const
{
    return SocketAddress(m_folder, pid, address);
}

std::string WindowDirectory::WindowFile(pid_t pid, std::uintptr_t handle) const
{
    return m_folder + "/" + std::to_string(pid) + "-" + std::to_string(handle) + ".window";
}

void WindowDirectory::Announce(HWND hwnd, const std::string& className, const std::string& title)
{
    if (m_socket < 0) {
        sockaddr_un address;
        const socklen_t length = RequestAddress(getpid(), address);
        m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_socket >= 0 && bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0) {
            close(m_socket);
            m_socket = -1;
        }
    }
    // Written aside and renamed, so a reader never sees half an entry.
    const std::string file = WindowFile(getpid(), reinterpret_cast<std::uintptr_t>(hwnd));
    const std::string temporary = file + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << className << '\n' << title;
        if (!out) {
            return;
        }
    }
    std::rename(temporary.c_str(), file.c_str());
}

void WindowDirectory::Withdraw(HWND hwnd)
{
    unlink(WindowFile(getpid(), reinterpret_cast<std::uintptr_t>(hwnd)).c_str());
}

void WindowDirectory::Forget(pid_t pid)
{
    const std::string prefix = std::to_string(pid) + "-";
    if (DIR* dir = opendir(m_folder.c_str())) {
        while (dirent* item = readdir(dir)) {
            if (std::strncmp(item->d_name, prefix.c_str(), prefix.size()) == 0) {
                unlink((m_folder + "/" + item->d_name).c_str());
            }
        }
        closedir(dir);
    }
}

bool WindowDirectory::Find(const std::string* className, const std::string* title, Entry& out)
{
    DIR* dir = opendir(m_folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    std::vector<std::pair<Entry, std::string>> candidates;
    while (dirent* item = readdir(dir)) {
        long long pid = 0;
        unsigned long long handle = 0;
        char tail[16] = {};
        if (std::sscanf(item->d_name, "%lld-%llu%15s", &pid, &handle, tail) == 3 && std::strcmp(tail, ".window") == 0) {
            candidates.push_back({Entry{static_cast<pid_t>(pid), static_cast<std::uintptr_t>(handle)}, item->d_name});
        }
    }
    closedir(dir);
    for (const auto& [entry, name] : candidates) {
        if (entry.pid == getpid()) {
            continue;
        }
        if (!ProcessAlive(entry.pid)) {
            Forget(entry.pid);
            continue;
        }
        std::ifstream in(m_folder + "/" + name, std::ios::binary);
        std::string listedClass;
        std::getline(in, listedClass);
        std::ostringstream rest;
        rest << in.rdbuf();
        if ((className == nullptr || AsciiLower(listedClass) == AsciiLower(*className)) &&
            (title == nullptr || rest.str() == *title)) {
            out = entry;
            return true;
        }
    }
    return false;
}

bool WindowDirectory::Alive(const Entry& entry) const
{
    return ProcessAlive(entry.pid) && access(WindowFile(entry.pid, entry.handle).c_str(), F_OK) == 0;
}

bool WindowDirectory::Send(const Entry& entry, Request request) const
{
    sockaddr_un address;
    const socklen_t length = RequestAddress(entry.pid, address);
    const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sender < 0) {
        return false;
    }
    const std::string text = (request == Request::Restore ? "restore " : "raise ") + std::to_string(entry.handle);
    const bool sent = sendto(sender, text.data(), text.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address),
                             length) == static_cast<ssize_t>(text.size());
    close(sender);
    return sent;
}

std::vector<std::pair<HWND, WindowDirectory::Request>> WindowDirectory::Receive()
{
    std::vector<std::pair<HWND, Request>> requests;
    if (m_socket < 0) {
        return requests;
    }
    char buffer[64];
    for (;;) {
        const ssize_t size = recv(m_socket, buffer, sizeof(buffer) - 1, MSG_DONTWAIT);
        if (size <= 0) {
            break;
        }
        buffer[size] = '\0';
        char word[16] = {};
        unsigned long long handle = 0;
        if (std::sscanf(buffer, "%15s %llu", word, &handle) != 2) {
            continue;  // not a request of ours
        }
        const HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
        if (std::strcmp(word, "restore") == 0) {
            requests.emplace_back(hwnd, Request::Restore);
        } else if (std::strcmp(word, "raise") == 0) {
            requests.emplace_back(hwnd, Request::Raise);
        }
    }
    return requests;
}

}  // namespace platform
