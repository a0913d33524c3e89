// The window directory on what other processes may leave in it or send: any
// bytes become the directory's window files (their names and contents) and
// datagrams to this process's request socket, then a look-up by class name
// and title, the checks and requests the program makes on what it found, and
// the requests received, handed on as the event loop hands them. Input: parts
// split at zero bytes; the first is the look-up (class name, a line feed, the
// title; "*" first asks for any class, no line feed for any title); each
// other part's first byte picks what it is (a datagram; a window file of a
// living process, of a process that is gone, or named as given), its name
// runs to the first line feed and its content follows. Everything lives under
// /dev/shm and in the abstract socket namespace of this process.
#include "platform/win32/WinWindow.h"
#include "platform/win32/WindowDirectory.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string &Folder() {
  static const std::string folder = "/dev/shm/qmv-fuzz-windows-" + std::to_string(getpid());
  return folder;
}

// Removes the folder's files but `keep`.
void Clear(const std::string &keep) {
  if (DIR *dir = opendir(Folder().c_str())) {
    while (dirent *item = readdir(dir)) {
      const std::string name = item->d_name;
      if (name != "." && name != ".." && name != keep) unlink((Folder() + "/" + name).c_str());
    }
    closedir(dir);
  }
}

// A name that stays inside the folder: no separators, not "." or "..", and
// short enough for the file system.
std::string SafeName(std::string name) {
  for (char &c : name)
    if (c == '/') c = '_';
  if (name.size() > 200) name.resize(200);
  if (name.empty() || name == "." || name == "..") name = "x" + name;
  return name;
}

// A process id that is not running, found once.
pid_t GonePid() {
  static const pid_t gone = [] {
    for (pid_t pid = 4000000; pid > 1; --pid)
      if (kill(pid, 0) != 0 && errno == ESRCH) return pid;
    return pid_t(4000000);
  }();
  return gone;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static platform::WindowDirectory directory(Folder());
  static const bool announced = [] {
    // Lists a window of this process and opens its request socket, which the
    // look-ups pass over and the datagrams reach; the folder goes at the end.
    directory.Announce(reinterpret_cast<HWND>(std::uintptr_t(0x51)), "Own", "Own window");
    std::atexit([] {
      Clear("");
      rmdir(Folder().c_str());
    });
    return true;
  }();
  (void)announced;
  if (size > 65536) return 0;

  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      parts.emplace_back();
    else
      parts.back() += char(data[i]);
  }
  Clear(std::to_string(getpid()) + "-81.window");

  std::vector<std::string> datagrams;
  for (size_t p = 1; p < parts.size(); ++p) {
    const std::string &part = parts[p];
    if (part.empty()) continue;
    const std::string rest = part.substr(1);
    const size_t line = rest.find('\n');
    const std::string name = rest.substr(0, line);
    const std::string content = line == std::string::npos ? std::string() : rest.substr(line + 1);
    switch (uint8_t(part[0]) % 4) {
      case 0:
        datagrams.push_back(rest);
        continue;
      case 1:
        std::ofstream(Folder() + "/" + SafeName(std::to_string(getppid()) + name), std::ios::binary) << content;
        break;
      case 2:
        std::ofstream(Folder() + "/" + SafeName(std::to_string(GonePid()) + name), std::ios::binary) << content;
        break;
      default:
        std::ofstream(Folder() + "/" + SafeName(name), std::ios::binary) << content;
        break;
    }
  }

  // The datagrams, sent to this process's request socket as another
  // process sends its requests.
  const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sender >= 0) {
    sockaddr_un address;
    const socklen_t length = directory.RequestAddress(getpid(), address);
    for (const std::string &datagram : datagrams)
      sendto(sender, datagram.data(), datagram.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&address), length);
    close(sender);
  }

  const std::string &query = parts[0];
  const bool anyClass = !query.empty() && query[0] == '*';
  const size_t line = query.find('\n');
  const std::string className = query.substr(anyClass ? 1 : 0, line == std::string::npos ? std::string::npos : line - (anyClass ? 1 : 0));
  const std::string title = line == std::string::npos ? std::string() : query.substr(line + 1);
  platform::WindowDirectory::Entry found;
  if (directory.Find(anyClass ? nullptr : &className, line == std::string::npos ? nullptr : &title, found)) {
    directory.Alive(found);
    directory.Send(found, platform::WindowDirectory::Request::Raise);
  }
  for (const auto &[hwnd, request] : directory.Receive()) {
    if (request == platform::WindowDirectory::Request::Restore)
      ShowWindow(hwnd, SW_RESTORE);
    else
      SetForegroundWindow(hwnd);
  }
  return 0;
}
