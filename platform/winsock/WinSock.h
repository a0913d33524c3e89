// Windows Sockets 2 as the sound engine's network layer calls it, on POSIX
// sockets. The calls keep their Winsock names and meanings inside the
// namespace `winsock`: errors are Winsock numbers read with WSAGetLastError,
// a non-blocking connect in progress answers would-block, a send never raises
// SIGPIPE, select takes Winsock's socket arrays (any descriptor number), and
// host look-ups run asynchronously on a resolver thread of their own.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>

namespace winsock {

using SOCKET = std::intptr_t;
using u_short = std::uint16_t;
using u_long = std::uint32_t;

constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_ERROR = 0x1007;
constexpr long FIONBIO = static_cast<long>(0x8004667Eu);
constexpr u_long INADDR_NONE = 0xFFFFFFFFu;

// Error numbers.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
};

struct in_addr {
  u_long s_addr;  // network byte order
};

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;  // network byte order
  in_addr sin_addr;
  char sin_zero[8];
};

struct timeval {
  long tv_sec;
  long tv_usec;
};

constexpr int kFdSetSize = 64;  // Winsock's FD_SETSIZE
struct fd_set {
  unsigned fd_count;
  SOCKET fd_array[kFdSetSize];
};
// The set operations (Winsock's FD_ZERO, FD_SET and FD_ISSET; functions here,
// since the system headers own those macro names).
inline void FdZero(fd_set *set) { set->fd_count = 0; }
// Adds a socket once; a full set ignores further sockets.
void FdSet(SOCKET socket, fd_set *set);
bool FdIsSet(SOCKET socket, const fd_set *set);

// A host entry written into the caller's buffer by WSAAsyncGetHostByName.
// h_name is written last: once it is set, the entry is complete.
struct hostent {
  char *h_name;
  char **h_aliases;
  short h_addrtype;
  short h_length;
  char **h_addr_list;
};
constexpr int MAXGETHOSTSTRUCT = 1024;

int WSAStartup(WORD version, WSADATA *data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET socket);
int ioctlsocket(SOCKET socket, long command, u_long *argument);
int getsockopt(SOCKET socket, int level, int name, char *value, int *length);
int connect(SOCKET socket, const sockaddr *address, int length);
// Waits for the sockets in the sets (null sets allowed); the sets keep the
// ready sockets only. A null time-out waits without limit.
int select(int ignored, fd_set *readSet, fd_set *writeSet, fd_set *errorSet, const timeval *timeout);
int recv(SOCKET socket, char *buffer, int length, int flags);
int send(SOCKET socket, const char *buffer, int length, int flags);

u_short htons(u_short value);
u_short ntohs(u_short value);
u_long inet_addr(const char *dotted);
// The address in dotted form, in a buffer of the calling thread.
char *inet_ntoa(in_addr address);

// Starts a look-up of the name's IPv4 addresses; the entry appears in the
// buffer when it completes. The window and message are accepted for the
// interface's sake; no message is posted. 0 when the look-up cannot start.
HANDLE WSAAsyncGetHostByName(HWND window, UINT message, const char *name, char *buffer, int length);
// After this the look-up never writes into its buffer.
int WSACancelAsyncRequest(HANDLE request);

}  // namespace winsock
