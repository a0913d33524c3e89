// The system's socket headers define several Winsock names as macros with
// their own values (SOL_SOCKET, SO_ERROR, htons, ...). Their values are taken
// here under names of our own and the macros removed before the stand-in's
// header is read, so that each name below means the Winsock one.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace posix {
constexpr int kSolSocket = SOL_SOCKET;
constexpr int kSoError = SO_ERROR;
constexpr int kStream = SOCK_STREAM;
constexpr int kDatagram = SOCK_DGRAM;
constexpr int kInet = PF_INET;
inline std::uint16_t HostToNet16(std::uint16_t v) { return htons(v); }
inline std::uint16_t NetToHost16(std::uint16_t v) { return ntohs(v); }
}  // namespace posix

#undef SOL_SOCKET
#undef SO_ERROR
#undef AF_INET
#undef SOCK_STREAM
#undef SOCK_DGRAM
#undef INADDR_NONE
#undef FIONBIO
#undef htons
#undef ntohs
#undef FD_SETSIZE
#undef FD_ZERO
#undef FD_SET
#undef FD_ISSET

#include "platform/winsock/WinSock.h"

namespace winsock {

namespace {

thread_local int tLastError = 0;
std::atomic<int> gStartups{0};

int MapErrno(int e) {
  switch (e) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case EACCES: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: case ENFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
    // A non-blocking connect under way is would-block for Winsock.
    case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: case EPIPE: return WSAECONNRESET;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

int FailErrno() {
  tLastError = MapErrno(errno);
  return SOCKET_ERROR;
}

bool Started() {
  if (gStartups.load() > 0) return true;
  tLastError = WSANOTINITIALISED;
  return false;
}

bool ValidFd(SOCKET s) { return s >= 0 && s <= 0x7FFFFFFF; }

// One asynchronous look-up. The resolver thread owns a reference; the caller's
// buffer is written only under the lock and only while not cancelled.
struct LookUp {
  std::mutex lock;
  char *buffer;
  int length;
  bool cancelled = false;
};

std::mutex gLookUpsLock;
std::map<std::uintptr_t, std::shared_ptr<LookUp>> gLookUps;
std::uintptr_t gNextLookUp = 1;

// Lays the entry out in the buffer: the record, the name, the null alias
// list, the address list and the addresses; h_name is published last.
void WriteEntry(LookUp &request, const std::string &name, const std::vector<std::uint32_t> &addresses) {
  char *const base = request.buffer;
  const std::size_t size = std::size_t(request.length);
  std::size_t used = sizeof(hostent);
  auto take = [&](std::size_t bytes, std::size_t align) -> char * {
    used = (used + align - 1) / align * align;
    if (used + bytes > size) return nullptr;
    char *p = base + used;
    used += bytes;
    return p;
  };
  std::size_t count = addresses.size();
  char **aliases = reinterpret_cast<char **>(take(sizeof(char *), alignof(char *)));
  char **list = nullptr;
  while (count > 0 && !(list = reinterpret_cast<char **>(take((count + 1) * sizeof(char *), alignof(char *))))) --count;
  if (!aliases || !list) return;
  for (std::size_t i = 0; i < count; ++i) {
    char *address = take(4, 4);
    if (!address) {
      count = i;
      break;
    }
    std::memcpy(address, &addresses[i], 4);
    list[i] = address;
  }
  list[count] = nullptr;
  aliases[0] = nullptr;
  char *text = take(name.size() + 1, 1);
  if (!text) return;  // no room: the entry stays unset and the caller times out
  std::memcpy(text, name.c_str(), name.size() + 1);
  auto *entry = reinterpret_cast<hostent *>(base);
  entry->h_aliases = aliases;
  entry->h_addrtype = AF_INET;
  entry->h_length = 4;
  entry->h_addr_list = list;
  std::atomic_ref<char *>(entry->h_name).store(text, std::memory_order_release);
}

void Resolve(std::uintptr_t id, std::shared_ptr<LookUp> request, std::string name) {
  addrinfo hints{};
  hints.ai_family = posix::kInet;
  hints.ai_socktype = posix::kStream;
  addrinfo *found = nullptr;
  std::vector<std::uint32_t> addresses;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0) {
    for (addrinfo *a = found; a; a = a->ai_next)
      if (a->ai_family == posix::kInet && a->ai_addr)
        addresses.push_back(reinterpret_cast<const ::sockaddr_in *>(a->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
  }
  {
    std::lock_guard<std::mutex> guard(request->lock);
    // A name that resolves to nothing leaves the entry unset: the caller's
    // time-out ends the wait, as for a look-up that never answers.
    if (!request->cancelled && !addresses.empty()) WriteEntry(*request, name, addresses);
  }
  std::lock_guard<std::mutex> guard(gLookUpsLock);
  gLookUps.erase(id);
}

}  // namespace

void FdSet(SOCKET socket, fd_set *set) {
  for (unsigned i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == socket) return;
  if (set->fd_count < unsigned(kFdSetSize)) set->fd_array[set->fd_count++] = socket;
}

bool FdIsSet(SOCKET socket, const fd_set *set) {
  for (unsigned i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == socket) return true;
  return false;
}

int WSAStartup(WORD version, WSADATA *data) {
  if (!data) return WSAEFAULT;
  std::memset(data, 0, sizeof(*data));
  data->wVersion = version;
  data->wHighVersion = 0x0202;
  std::strcpy(data->szDescription, "POSIX sockets");
  std::strcpy(data->szSystemStatus, "Running");
  ++gStartups;
  return 0;
}

int WSACleanup() {
  int count = gStartups.load();
  while (count > 0 && !gStartups.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) {
    tLastError = WSANOTINITIALISED;
    return SOCKET_ERROR;
  }
  return 0;
}

int WSAGetLastError() { return tLastError; }
void WSASetLastError(int error) { tLastError = error; }

SOCKET socket(int family, int type, int protocol) {
  if (!Started()) return INVALID_SOCKET;
  if (family != AF_INET) {
    tLastError = WSAEAFNOSUPPORT;
    return INVALID_SOCKET;
  }
  const int posixType = type == SOCK_STREAM ? posix::kStream : type == SOCK_DGRAM ? posix::kDatagram : type;
  const int fd = ::socket(posix::kInet, posixType | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  return fd;
}

int closesocket(SOCKET s) {
  if (!Started()) return SOCKET_ERROR;
  if (!ValidFd(s)) {
    tLastError = WSAENOTSOCK;
    return SOCKET_ERROR;
  }
  return ::close(int(s)) == 0 ? 0 : FailErrno();
}

int ioctlsocket(SOCKET s, long command, u_long *argument) {
  if (!Started()) return SOCKET_ERROR;
  if (!ValidFd(s)) {
    tLastError = WSAENOTSOCK;
    return SOCKET_ERROR;
  }
  if (command != FIONBIO || !argument) {
    tLastError = WSAEINVAL;
    return SOCKET_ERROR;
  }
  const int flags = ::fcntl(int(s), F_GETFL);
  if (flags < 0) return FailErrno();
  const int wanted = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(int(s), F_SETFL, wanted) == 0 ? 0 : FailErrno();
}

int getsockopt(SOCKET s, int level, int name, char *value, int *length) {
  if (!Started()) return SOCKET_ERROR;
  if (level != SOL_SOCKET || name != SO_ERROR || !value || !length || *length < int(sizeof(int))) {
    tLastError = WSAEINVAL;
    return SOCKET_ERROR;
  }
  int error = 0;
  socklen_t size = sizeof(error);
  if (::getsockopt(int(s), posix::kSolSocket, posix::kSoError, &error, &size) != 0) return FailErrno();
  const int mapped = MapErrno(error);
  std::memcpy(value, &mapped, sizeof(mapped));
  *length = sizeof(mapped);
  return 0;
}

int connect(SOCKET s, const sockaddr *address, int length) {
  if (!Started()) return SOCKET_ERROR;
  if (!address || length < int(sizeof(sockaddr_in)) || address->sa_family != AF_INET) {
    tLastError = WSAEFAULT;
    return SOCKET_ERROR;
  }
  const auto *in = reinterpret_cast<const sockaddr_in *>(address);
  ::sockaddr_in target{};
  target.sin_family = posix::kInet;
  target.sin_port = in->sin_port;
  target.sin_addr.s_addr = in->sin_addr.s_addr;
  int result;
  do {
    result = ::connect(int(s), reinterpret_cast<const ::sockaddr *>(&target), sizeof(target));
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : FailErrno();
}

int select(int, fd_set *readSet, fd_set *writeSet, fd_set *errorSet, const timeval *timeout) {
  if (!Started()) return SOCKET_ERROR;
  std::vector<pollfd> polls;
  auto add = [&](fd_set *set, short events) {
    if (!set) return;
    for (unsigned i = 0; i < set->fd_count; ++i) {
      const SOCKET s = set->fd_array[i];
      if (!ValidFd(s)) {
        tLastError = WSAENOTSOCK;
        return;
      }
      bool merged = false;
      for (pollfd &p : polls)
        if (p.fd == int(s)) {
          p.events |= events;
          merged = true;
        }
      if (!merged) polls.push_back(pollfd{int(s), events, 0});
    }
  };
  tLastError = 0;
  add(readSet, POLLIN);
  add(writeSet, POLLOUT);
  add(errorSet, POLLPRI);
  if (tLastError != 0) return SOCKET_ERROR;
  if (polls.empty()) {
    tLastError = WSAEINVAL;  // Winsock refuses a select with no socket
    return SOCKET_ERROR;
  }
  const int ms = timeout ? int(timeout->tv_sec * 1000 + (timeout->tv_usec + 999) / 1000) : -1;
  const int ready = ::poll(polls.data(), polls.size(), ms);
  if (ready < 0) return FailErrno();
  int count = 0;
  auto keep = [&](fd_set *set, short events) {
    if (!set) return;
    unsigned kept = 0;
    for (unsigned i = 0; i < set->fd_count; ++i) {
      for (const pollfd &p : polls)
        if (p.fd == int(set->fd_array[i]) && (p.revents & (events | POLLERR | POLLHUP | POLLNVAL))) {
          // A descriptor in error counts as ready: the next call reports it.
          set->fd_array[kept++] = set->fd_array[i];
          ++count;
          break;
        }
    }
    set->fd_count = kept;
  };
  keep(readSet, POLLIN);
  keep(writeSet, POLLOUT);
  if (errorSet) {
    unsigned kept = 0;
    for (unsigned i = 0; i < errorSet->fd_count; ++i)
      for (const pollfd &p : polls)
        if (p.fd == int(errorSet->fd_array[i]) && (p.revents & (POLLPRI | POLLERR))) {
          errorSet->fd_array[kept++] = errorSet->fd_array[i];
          ++count;
          break;
        }
    errorSet->fd_count = kept;
  }
  return count;
}

int recv(SOCKET s, char *buffer, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0 || (!buffer && length > 0)) {
    tLastError = WSAEFAULT;
    return SOCKET_ERROR;
  }
  ssize_t got;
  do {
    got = ::recv(int(s), buffer, std::size_t(length), flags);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? FailErrno() : int(got);
}

int send(SOCKET s, const char *buffer, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0 || (!buffer && length > 0)) {
    tLastError = WSAEFAULT;
    return SOCKET_ERROR;
  }
  ssize_t sent;
  do {
    // A peer that has gone away is an error code, never a signal.
    sent = ::send(int(s), buffer, std::size_t(length), flags | MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent < 0 ? FailErrno() : int(sent);
}

u_short htons(u_short value) { return posix::HostToNet16(value); }
u_short ntohs(u_short value) { return posix::NetToHost16(value); }

u_long inet_addr(const char *dotted) {
  if (!dotted) return INADDR_NONE;
  ::in_addr address{};
  if (::inet_aton(dotted, &address) == 0) return INADDR_NONE;
  return address.s_addr;
}

char *inet_ntoa(in_addr address) {
  thread_local char text[16];
  ::in_addr in{};
  in.s_addr = address.s_addr;
  if (!::inet_ntop(posix::kInet, &in, text, sizeof(text))) text[0] = '\0';
  return text;
}

HANDLE WSAAsyncGetHostByName(HWND, UINT, const char *name, char *buffer, int length) {
  if (!Started()) return nullptr;
  if (!name || !buffer || length < int(sizeof(hostent))) {
    tLastError = WSAEFAULT;
    return nullptr;
  }
  auto request = std::make_shared<LookUp>();
  request->buffer = buffer;
  request->length = length;
  std::uintptr_t id;
  {
    std::lock_guard<std::mutex> guard(gLookUpsLock);
    id = gNextLookUp++;
    gLookUps[id] = request;
  }
  try {
    std::thread(Resolve, id, request, std::string(name)).detach();
  } catch (...) {
    std::lock_guard<std::mutex> guard(gLookUpsLock);
    gLookUps.erase(id);
    tLastError = WSAENOBUFS;
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(id);
}

int WSACancelAsyncRequest(HANDLE handle) {
  std::shared_ptr<LookUp> request;
  {
    std::lock_guard<std::mutex> guard(gLookUpsLock);
    auto it = gLookUps.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == gLookUps.end()) {
      tLastError = WSAEALREADY;  // finished or never started
      return SOCKET_ERROR;
    }
    request = it->second;
    gLookUps.erase(it);
  }
  std::lock_guard<std::mutex> guard(request->lock);
  request->cancelled = true;
  return 0;
}

}  // namespace winsock
