#include "sound/src/system/system_net.h"

#include "sound/include/osnd.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>


SystemNetSettings gSystemNetSettings;
std::atomic<bool> gSystemNetAbortAll{false};

bool SystemNet_AbortRequested(const std::atomic<bool> *abort) { return gSystemNetAbortAll || (abort && *abort); }

namespace {

struct NetState {
  // Filled by the creating threads, emptied by the socket thread.
  std::atomic<SystemNetSocket *> slots[SYSTEMNET_SLOTS] = {};
  // Sockets whose close the socket thread is still to carry out: their slots
  // come free within one of its passes.
  std::atomic<int> closing{0};
  SystemThreadHandle thread = nullptr;
  std::atomic<bool> started{false}, stop{false}, running{false};
  bool networkStarted = false;
  // Opens on several threads start the network and the socket thread; a
  // close's ask is made under it too, so that it never meets the thread's stop.
  std::mutex startLock;
};
NetState gNet;

// Network waits are real time even under the non-realtime output, whose
// engine sleep returns at once.
void NetSleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

bool SystemNet_IsHttpUrl(const char *url) {
  return url && std::strlen(url) >= 7 && (url[0] | 0x20) == 'h' && (url[1] | 0x20) == 't' && (url[2] | 0x20) == 't' && (url[3] | 0x20) == 'p' &&
         url[4] == ':' && ((url[5] == '/' && url[6] == '/') || (url[5] == '\\' && url[6] == '\\'));
}

namespace {

int Used(const uint8_t *start, const uint8_t *end, const uint8_t *write, const uint8_t *read) {
  const long used = write >= read ? write - read : (end - start) - (read - write);
  return int(used);
}

bool IsSocketFailure(int error, bool sending) {
  switch (error) {
    case winsock::WSAEINTR: case winsock::WSAEINVAL: case winsock::WSAEWOULDBLOCK: case winsock::WSAENOTSOCK: case winsock::WSAEOPNOTSUPP:
    case winsock::WSAENETDOWN: case winsock::WSAENETRESET: case winsock::WSAECONNABORTED: case winsock::WSAECONNRESET: case winsock::WSAENOTCONN:
    case winsock::WSAESHUTDOWN: case winsock::WSAETIMEDOUT: case winsock::WSANOTINITIALISED:
      return true;
    case winsock::WSAENOBUFS:
      return sending;
    default:
      // Errors the socket thread does not name still end the stream rather
      // than have it spin on a socket that can never deliver.
      return true;
  }
}

void ReceiveInto(SystemNetSocket *s) {
  SystemLockGuard guard(s->lock);
  uint8_t *limit = s->receiveRead > s->receiveWrite ? s->receiveRead - 1 : s->receiveEnd;
  // Keep one byte free: a full ring must never look empty.
  if (s->receiveRead <= s->receiveWrite && s->receiveRead == s->receiveStart) limit = s->receiveEnd - 1;
  const int room = int(limit - s->receiveWrite);
  if (room <= 0) return;
  const int got = winsock::recv(s->socket, reinterpret_cast<char *>(s->receiveWrite), room, 0);
  if (got == 0) {
    s->flags |= SYSTEMNET_END_OF_DATA;
  } else if (got < 0) {
    if (winsock::WSAGetLastError() != winsock::WSAEWOULDBLOCK && IsSocketFailure(winsock::WSAGetLastError(), false)) s->flags |= SYSTEMNET_ERROR;
  } else {
    s->receiveWrite += got;
    if (s->receiveWrite >= s->receiveEnd) s->receiveWrite = s->receiveStart;
  }
}

void SendFrom(SystemNetSocket *s) {
  SystemLockGuard guard(s->lock);
  uint8_t *limit = s->sendWrite >= s->sendRead ? s->sendWrite : s->sendEnd;
  const int count = int(limit - s->sendRead);
  if (count <= 0) return;
  const int sent = winsock::send(s->socket, reinterpret_cast<const char *>(s->sendRead), count, 0);
  if (sent < 0) {
    if (winsock::WSAGetLastError() != winsock::WSAEWOULDBLOCK && IsSocketFailure(winsock::WSAGetLastError(), true)) s->flags |= SYSTEMNET_ERROR;
    return;
  }
  s->sendRead += sent;
  if (s->sendRead >= s->sendEnd) s->sendRead = s->sendStart;
}

unsigned ThreadProc(void *) {
  gNet.running = true;
  while (!gNet.stop) {
    winsock::fd_set readSet, writeSet;
    winsock::FdZero(&readSet);
    winsock::FdZero(&writeSet);
    SystemNetSocket *served[SYSTEMNET_SLOTS] = {};
    for (int i = 0; i < SYSTEMNET_SLOTS; ++i) {
      SystemNetSocket *s = gNet.slots[i];
      if (!s) continue;
      const unsigned flags = s->flags;
      if (flags & (SYSTEMNET_ERROR | SYSTEMNET_END_OF_DATA)) {
        s->flags &= ~(SYSTEMNET_BUFFERING | SYSTEMNET_FIRST_BUFFERING);
        if (!(flags & SYSTEMNET_CLOSE)) {
          // An ended socket still sends what is queued.
          SystemLockGuard guard(s->lock);
          if (!(flags & SYSTEMNET_ERROR) && s->sendWrite != s->sendRead) {
            winsock::FdSet(s->socket, &writeSet);
            served[i] = s;
          }
          continue;
        }
      }
      if (s->flags & SYSTEMNET_CLOSE) {
        gNet.slots[i] = nullptr;
        SystemNetSocket_Free(s);
        --gNet.closing;
        continue;
      }
      SystemLockGuard guard(s->lock);
      const int received = Used(s->receiveStart, s->receiveEnd, s->receiveWrite, s->receiveRead);
      const int percent = int((int64_t(received) * 100 + s->receiveSize / 2) / std::max(s->receiveSize, 1));
      if (s->flags & SYSTEMNET_BUFFERING) {
        const int threshold = (s->flags & SYSTEMNET_FIRST_BUFFERING) ? s->prebuffer : s->rebuffer;
        // A full ring has reached any threshold: a small ring could not
        // otherwise reach one above its one-byte-short maximum.
        if (percent >= threshold || received >= s->receiveSize - 1) s->flags &= ~(SYSTEMNET_BUFFERING | SYSTEMNET_FIRST_BUFFERING);
      }
      s->flags &= ~(SYSTEMNET_PASS_A | SYSTEMNET_PASS_B);
      // Room for at least one more byte (one always stays free).
      if (received < s->receiveSize - 1 && percent < 99) winsock::FdSet(s->socket, &readSet);
      if (s->sendWrite != s->sendRead) winsock::FdSet(s->socket, &writeSet);
      served[i] = s;
    }
    if (readSet.fd_count == 0 && writeSet.fd_count == 0) {
      NetSleep(5);
      continue;
    }
    winsock::timeval timeout{0, 100000};
    const int ready = winsock::select(0, readSet.fd_count ? &readSet : nullptr,
                                      writeSet.fd_count ? &writeSet : nullptr, nullptr, &timeout);
    if (ready <= 0) {
      if (ready < 0) NetSleep(5);  // never spin on a failing select
      continue;
    }
    for (SystemNetSocket *s : served) {
      if (!s) continue;
      if (!(s->flags & (SYSTEMNET_ERROR | SYSTEMNET_END_OF_DATA)) && winsock::FdIsSet(s->socket, &readSet)) ReceiveInto(s);
      if (!(s->flags & SYSTEMNET_ERROR) && winsock::FdIsSet(s->socket, &writeSet)) SendFrom(s);
    }
  }
  gNet.running = false;
  return 0;
}

// Puts the socket into the first free slot. Slots of sockets being closed
// are waited for, so that a station closed just before is no reason to
// refuse; a table that stays full refuses at once.
bool TakeSlot(SystemNetSocket *s) {
  for (const int64_t until = SystemNet_NowMs() + 1000;;) {
    for (auto &slot : gNet.slots) {
      SystemNetSocket *empty = nullptr;
      if (slot.compare_exchange_strong(empty, s)) return true;
    }
    if (gNet.closing == 0 || !gNet.running || SystemNet_NowMs() >= until) return false;
    NetSleep(5);
  }
}

bool AllocRing(int size, uint8_t **start, uint8_t **end) {
  *start = static_cast<uint8_t *>(OSND_ALLOC(size));
  if (!*start) return false;
  *end = *start + size;
  return true;
}

}  // namespace

bool SystemNet_Start() {
  SystemWaitingLock<std::mutex> guard(gNet.startLock, "net.start-lock.waiting");
  if (gNet.networkStarted) return true;
  winsock::WSADATA data;
  if (winsock::WSAStartup(0x0002, &data) != 0) return false;
  gNet.networkStarted = true;
  return true;
}

void SystemNet_Stop() {
  SystemWaitingLock<std::mutex> guard(gNet.startLock, "net.start-lock.waiting");
  if (!gNet.networkStarted) return;
  winsock::WSACleanup();
  gNet.networkStarted = false;
}

winsock::SOCKET SystemNet_CreateSocket(int kind) {
  const int type = kind == 0 ? winsock::SOCK_STREAM : kind == 1 ? winsock::SOCK_DGRAM : kind;
  return winsock::socket(winsock::AF_INET, type, 0);
}

void SystemNet_CloseSocket(winsock::SOCKET socket) { winsock::closesocket(socket); }

int SystemNet_GetLastError() { return winsock::WSAGetLastError(); }

bool SystemNet_SplitUrl(const char *url, char *host, int hostSize, char *credentials, int credentialsSize, int *port,
                        char *path, int pathSize) {
  if (!url || !host || hostSize <= 0 || !port || !path || pathSize <= 0 || !SystemNet_IsHttpUrl(url)) return false;
  const char *p = url + 7;
  const char *slash = std::strchr(p, '/');
  const char *at = std::strchr(p, '@');
  const char *user = nullptr;
  size_t userLength = 0;
  if (at && (!slash || at < slash)) {
    user = p;
    userLength = size_t(at - p);
    p = at + 1;
  }
  const size_t rest = std::strlen(p);
  if (rest >= size_t(hostSize)) return false;
  size_t hostLength = std::strcspn(p, ":/");
  std::memcpy(host, p, hostLength);
  host[hostLength] = '\0';
  p += hostLength;
  *port = 80;
  if (*p == ':') {
    ++p;
    long value = 0;
    for (int digits = 0; digits < 256 && *p >= '0' && *p <= '9'; ++digits, ++p)
      value = std::min<long>(value * 10 + (*p - '0'), 0x7FFFFFFF);
    // Only 1 to 65535 name a port: a larger number must not wrap to another.
    if (value < 1 || value > 65535) return false;
    *port = int(value);
  }
  if (*p == '\0' || *p == ' ') {
    if (pathSize < 2) return false;
    std::strcpy(path, "/");
  } else {
    size_t length = std::strlen(p);
    if (length >= size_t(pathSize)) return false;
    while (length > 0 && p[length - 1] == ' ') --length;
    std::memcpy(path, p, length);
    path[length] = '\0';
  }
  if (credentials && credentialsSize > 0) {
    credentials[0] = '\0';
    if (user) {
      char *plain = static_cast<char *>(OSND_ALLOC(int(userLength) + 1));
      if (!plain) return false;
      std::memcpy(plain, user, userLength);
      char *encoded = SystemNet_Base64Encode(plain);
      OSND_FREE_MEM(plain);
      if (!encoded) return false;
      std::strncpy(credentials, encoded, size_t(credentialsSize) - 1);
      credentials[credentialsSize - 1] = '\0';
      OSND_FREE_MEM(encoded);
    }
  }
  return true;
}

char *SystemNet_Base64Encode(const char *text) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t length = text ? std::strlen(text) : 0;
  if (length > 0x3FFFFFFF) return nullptr;
  char *out = static_cast<char *>(OSND_ALLOC(int((length + 2) / 3 * 4 + 1)));
  if (!out) return nullptr;
  const auto *in = reinterpret_cast<const uint8_t *>(text);
  size_t o = 0;
  for (size_t i = 0; i < length; i += 3) {
    const uint32_t b0 = in[i], b1 = i + 1 < length ? in[i + 1] : 0, b2 = i + 2 < length ? in[i + 2] : 0;
    const uint32_t triple = b0 << 16 | b1 << 8 | b2;
    out[o++] = kAlphabet[(triple >> 18) & 63];
    out[o++] = kAlphabet[(triple >> 12) & 63];
    out[o++] = i + 1 < length ? kAlphabet[(triple >> 6) & 63] : '=';
    out[o++] = i + 2 < length ? kAlphabet[triple & 63] : '=';
  }
  out[o] = '\0';
  return out;
}

bool SystemNet_IsDottedAddress(const char *name, uint32_t *address) {
  if (!name) return false;
  int a, b, c, d;
  if (std::sscanf(name, "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return false;
  const winsock::u_long value = winsock::inet_addr(name);
  if (value == winsock::INADDR_NONE && std::strcmp(name, "255.255.255.255") != 0) return false;
  if (address) *address = value;
  return true;
}

namespace {

char *Resolve(const char *name, char *output, int outputSize, int timeoutMs, const std::atomic<bool> *abort) {
  if (!name || !output || outputSize <= 0) return nullptr;
  if (SystemNet_IsDottedAddress(name, nullptr)) {
    std::strncpy(output, name, size_t(outputSize) - 1);
    output[outputSize - 1] = '\0';
    return output;
  }
  alignas(winsock::hostent) char entry[winsock::MAXGETHOSTSTRUCT] = {};
  HANDLE request = winsock::WSAAsyncGetHostByName(nullptr, 0, name, entry, sizeof(entry));
  if (!request) return nullptr;
  auto *host = reinterpret_cast<winsock::hostent *>(entry);
  const int polls = std::max(1, timeoutMs / 10);
  for (int i = 0; i < polls && !SystemNet_AbortRequested(abort); ++i) {
    if (std::atomic_ref<char *>(host->h_name).load(std::memory_order_acquire)) {
      if (!host->h_addr_list || !host->h_addr_list[0]) return nullptr;
      winsock::in_addr address;
      std::memcpy(&address.s_addr, host->h_addr_list[0], 4);
      std::strncpy(output, winsock::inet_ntoa(address), size_t(outputSize) - 1);
      output[outputSize - 1] = '\0';
      return output;
    }
    NetSleep(10);
  }
  winsock::WSACancelAsyncRequest(request);
  // The look-up may have completed between the last poll and the cancel.
  return nullptr;
}

}  // namespace

char *SystemNet_Resolve(const char *name, char *output, int outputSize) {
  return Resolve(name, output, outputSize, gSystemNetSettings.connectTimeoutMs, nullptr);
}

int64_t SystemNet_NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int SystemNet_Connect(winsock::SOCKET socket, const char *host, int port, int timeoutMs,
                      const std::atomic<bool> *abort) {
  if (timeoutMs < 0) timeoutMs = gSystemNetSettings.connectTimeoutMs;
  if (!host || !host[0] || socket == winsock::INVALID_SOCKET) {
    if (socket != winsock::INVALID_SOCKET) winsock::closesocket(socket);
    return -1;
  }
  char dotted[46];
  uint32_t address = 0;
  if (!Resolve(host, dotted, sizeof(dotted), timeoutMs, abort) || !SystemNet_IsDottedAddress(dotted, &address)) {
    winsock::closesocket(socket);
    return -1;
  }
  winsock::sockaddr_in target{};
  target.sin_family = winsock::AF_INET;
  target.sin_port = winsock::htons(winsock::u_short(port));
  target.sin_addr.s_addr = address;
  winsock::u_long nonBlocking = 1;
  winsock::ioctlsocket(socket, winsock::FIONBIO, &nonBlocking);
  if (winsock::connect(socket, reinterpret_cast<const winsock::sockaddr *>(&target), sizeof(target)) != 0) {
    const int error = winsock::WSAGetLastError();
    if (error != winsock::WSAEWOULDBLOCK) {
      winsock::closesocket(socket);
      return error ? error : -1;
    }
  }
  // Waited for in short slices, so that an abort of the open ends the wait.
  constexpr int64_t kSliceMs = 20;
  const int64_t until = SystemNet_NowMs() + timeoutMs;
  int ready = 0;
  for (int64_t left = timeoutMs; ready == 0 && left > 0 && !SystemNet_AbortRequested(abort);
       left = until - SystemNet_NowMs()) {
    const winsock::timeval timeout{0, long(std::min(kSliceMs, left) * 1000)};
    winsock::fd_set writeSet;
    winsock::FdZero(&writeSet);
    winsock::FdSet(socket, &writeSet);
    ready = winsock::select(0, nullptr, &writeSet, nullptr, &timeout);
  }
  if (ready > 0) {
    // A refused connect also reports the socket writable: its pending error
    // tells the two apart.
    int error = 0;
    int size = sizeof(error);
    if (winsock::getsockopt(socket, winsock::SOL_SOCKET, winsock::SO_ERROR, reinterpret_cast<char *>(&error), &size) != 0 || error) {
      winsock::closesocket(socket);
      return error ? error : -1;
    }
    nonBlocking = 0;
    winsock::ioctlsocket(socket, winsock::FIONBIO, &nonBlocking);
    return 0;
  }
  winsock::closesocket(socket);
  return ready == 0 ? winsock::WSAETIMEDOUT : -1;
}

bool SystemNet_StartThread() {
  SystemWaitingLock<std::mutex> guard(gNet.startLock, "net.start-lock.waiting");
  if (gNet.started) return true;
  gNet.stop = false;
  for (auto &slot : gNet.slots) slot = nullptr;
  gNet.closing = 0;
  gNet.thread = SystemThread_Create("ZIVE network socket thread", ThreadProc, nullptr, 0, 8192);
  if (!gNet.thread) return false;
  gNet.started = true;
  return true;
}

void SystemNet_StopThread() {
  SystemWaitingLock<std::mutex> guard(gNet.startLock, "net.start-lock.waiting");
  if (!gNet.started) return;
  gNet.stop = true;
  SystemThread_CloseThread(gNet.thread);  // joins: nothing it uses is freed under it
  gNet.thread = nullptr;
  for (auto &slot : gNet.slots) {
    if (SystemNetSocket *s = slot.exchange(nullptr)) SystemNetSocket_Free(s);
  }
  gNet.started = false;
}

SystemNetSocket *SystemNetSocket_Create(winsock::SOCKET socket) {
  auto *s = static_cast<SystemNetSocket *>(OSND_ALLOC(int(sizeof(SystemNetSocket))));
  if (!s) return Osnd_SetError(OSND_ERR_MEMORY), nullptr;
  new (&s->flags) std::atomic<unsigned>(0);
  s->socket = socket;
  s->receiveSize = std::max(2, gSystemNetSettings.receiveSize);
  s->sendSize = std::max(2, gSystemNetSettings.sendSize);
  s->prebuffer = gSystemNetSettings.prebuffer;
  s->rebuffer = gSystemNetSettings.rebuffer;
  s->deadlineMs = 0;
  s->abort = nullptr;
  s->lock = SystemThread_CreateCriticalSection(true);
  const bool made = s->lock && AllocRing(s->receiveSize, &s->receiveStart, &s->receiveEnd) &&
                    AllocRing(s->sendSize, &s->sendStart, &s->sendEnd);
  if (made) {
    s->receiveWrite = s->receiveRead = s->receiveStart;
    s->sendWrite = s->sendRead = s->sendStart;
  }
  // A socket without a slot would never be served: its readers would wait
  // out their time limits as if the server had stopped answering.
  if (!made || !TakeSlot(s)) {
    s->socket = winsock::INVALID_SOCKET;  // the caller keeps its socket
    SystemNetSocket_Free(s);
    Osnd_SetError(made ? OSND_ERR_NET_SOCKETS : OSND_ERR_MEMORY);
    return nullptr;
  }
  return s;
}

bool SystemNetSocket_RequestClose(SystemNetSocket *s) {
  if (!s) return false;
  // The check that the socket thread runs and the ask are one step under the
  // lock that its stop holds while it joins the thread and frees what the
  // slots still hold: an ask made after that would reach a freed socket.
  SystemWaitingLock<std::mutex> guard(gNet.startLock, "net.start-lock.waiting");
  bool listed = false;
  for (auto &slot : gNet.slots) listed = listed || slot.load() == s;
  OSND_PAUSE_POINT("net.socket.close-checked");
  if (!listed || !gNet.started) {
    // No thread will ever see it: freed here, and its slot emptied.
    for (auto &slot : gNet.slots) {
      SystemNetSocket *expected = s;
      slot.compare_exchange_strong(expected, nullptr);
    }
    SystemNetSocket_Free(s);
    return true;
  }
  ++gNet.closing;
  s->flags |= SYSTEMNET_CLOSE;
  return true;
}

void SystemNetSocket_Free(SystemNetSocket *s) {
  if (!s) return;
  if (s->socket != winsock::INVALID_SOCKET) winsock::closesocket(s->socket);
  s->socket = winsock::INVALID_SOCKET;
  OSND_FREE_MEM(s->receiveStart);
  OSND_FREE_MEM(s->sendStart);
  if (s->lock) SystemThread_DeleteCriticalSection(s->lock);
  s->flags.~atomic();
  OSND_FREE_MEM(s);
}

bool SystemNetSocket_GetFill(SystemNetSocket *s, int *received, int *toSend) {
  if (!s || (s->flags & SYSTEMNET_CLOSE)) return false;
  SystemLockGuard guard(s->lock);
  if (received) *received = Used(s->receiveStart, s->receiveEnd, s->receiveWrite, s->receiveRead);
  if (toSend) *toSend = Used(s->sendStart, s->sendEnd, s->sendWrite, s->sendRead);
  return true;
}

bool SystemNetSocket_Drained(SystemNetSocket *s) {
  if (!s || (s->flags & SYSTEMNET_CLOSE)) return true;
  // The socket thread sets the end of the data under this lock, after the
  // last bytes are in the ring.
  SystemLockGuard guard(s->lock);
  return (s->flags & SYSTEMNET_END_OF_DATA) && s->receiveRead == s->receiveWrite;
}

bool SystemNetSocket_GetFillPercent(SystemNetSocket *s, int *receivePercent, int *sendPercent) {
  int received = 0, toSend = 0;
  if (!SystemNetSocket_GetFill(s, &received, &toSend)) return false;
  if (receivePercent) *receivePercent = int((int64_t(received) * 100 + s->receiveSize / 2) / s->receiveSize);
  if (sendPercent) *sendPercent = int((int64_t(toSend) * 100 + s->sendSize / 2) / s->sendSize);
  return true;
}

bool SystemNetSocket_StartBuffering(SystemNetSocket *s, bool wait) {
  if (!s || (s->flags & SYSTEMNET_BUFFERING)) return false;
  s->flags |= SYSTEMNET_BUFFERING | SYSTEMNET_FIRST_BUFFERING;
  if (!wait) return true;
  bool ok = false;
  for (int i = 0; i < 10000; ++i) {
    if (s->flags & SYSTEMNET_ERROR) break;
    int percent = 0;
    SystemNetSocket_GetFillPercent(s, &percent, nullptr);
    if (!(s->flags & SYSTEMNET_BUFFERING) || percent >= s->prebuffer) {
      ok = true;
      break;
    }
    NetSleep(10);
  }
  s->flags &= ~SYSTEMNET_BUFFERING;
  return ok;
}

int SystemNetSocket_Read(SystemNetSocket *s, void *destination, int bytes) {
  if (!s || (s->flags & SYSTEMNET_CLOSE)) return -1;
  // Buffering waits for more data; once the peer has closed there is none
  // to wait for, and what the ring holds is read out.
  if ((s->flags & SYSTEMNET_BUFFERING) && !(s->flags & (SYSTEMNET_END_OF_DATA | SYSTEMNET_ERROR))) return 0;
  auto *out = static_cast<uint8_t *>(destination);
  SystemLockGuard guard(s->lock);
  int taken = 0;
  while (taken < bytes && s->receiveRead != s->receiveWrite) {
    const uint8_t *limit = s->receiveWrite > s->receiveRead ? s->receiveWrite : s->receiveEnd;
    const int count = std::min(bytes - taken, int(limit - s->receiveRead));
    if (out) std::memcpy(out + taken, s->receiveRead, size_t(count));
    taken += count;
    s->receiveRead += count;
    if (s->receiveRead >= s->receiveEnd) s->receiveRead = s->receiveStart;
  }
  if (taken < bytes && !(s->flags & SYSTEMNET_HEADER_MODE)) s->flags |= SYSTEMNET_BUFFERING;
  return taken;
}

int SystemNetSocket_Write(SystemNetSocket *s, const void *bytes, int count) {
  if (!s || (s->flags & SYSTEMNET_CLOSE)) return -1;
  const auto *in = static_cast<const uint8_t *>(bytes);
  SystemLockGuard guard(s->lock);
  int put = 0;
  while (put < count) {
    const int used = Used(s->sendStart, s->sendEnd, s->sendWrite, s->sendRead);
    const int free = s->sendSize - 1 - used;
    if (free <= 0) break;
    const int run = std::min({count - put, free, int(s->sendEnd - s->sendWrite)});
    std::memcpy(s->sendWrite, in + put, size_t(run));
    put += run;
    s->sendWrite += run;
    if (s->sendWrite >= s->sendEnd) s->sendWrite = s->sendStart;
  }
  return put;
}

int SystemNetSocket_ReadLine(SystemNetSocket *s, char *line, int size) {
  if (!line || size <= 0) return 0;
  int length = 0, idleMs = 0, consumed = 0;
  // A line ends at its line feed, at the end of the data, on an error or an
  // abort, after a long wait for its next byte, or after far more bytes than
  // any header line holds: a hostile server cannot hold the open for ever.
  const int maxConsumed = std::max(size, 65536);
  while (s && consumed < maxConsumed) {
    if ((s->flags & SYSTEMNET_ABORT) || SystemNet_AbortRequested(s->abort)) {
      // Kept: the open's later checks see the abort on the socket.
      s->flags |= SYSTEMNET_ABORT;
      break;
    }
    if (SystemNetSocket_Expired(s)) break;
    char c;
    const int got = SystemNetSocket_Read(s, &c, 1);
    if (got < 0) break;
    if (got == 0) {
      if (!(s->flags & SYSTEMNET_HEADER_MODE) || (s->flags & SYSTEMNET_ERROR) || SystemNetSocket_Drained(s)) break;
      // The rest of the line came with the peer's close since the read.
      if (s->flags & SYSTEMNET_END_OF_DATA) continue;
      if (idleMs >= gSystemNetSettings.lineIdleMs) break;
      NetSleep(10);
      idleMs += 10;
      continue;
    }
    idleMs = 0;
    ++consumed;
    if (c == '\n') break;
    if (c == '\r') continue;
    if (length < size - 1) line[length++] = c;
  }
  line[length] = '\0';
  return length;
}

bool SystemNetSocket_Expired(const SystemNetSocket *s) {
  return s && s->deadlineMs != 0 && SystemNet_NowMs() >= s->deadlineMs;
}

int SystemNetSocket_Printf(SystemNetSocket *s, const char *format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof(text), format, arguments);
  va_end(arguments);
  if (length < 0) return 0;
  return SystemNetSocket_Write(s, text, std::min(length, 1023));
}

bool SystemNetSocket_Lock(SystemNetSocket *s, uint8_t **start, uint8_t **end, uint8_t **write, uint8_t **read) {
  if (!s || (s->flags & (SYSTEMNET_CLOSE | SYSTEMNET_ERROR))) return false;
  SystemThread_EnterCriticalSection(s->lock);
  *start = s->receiveStart;
  *end = s->receiveEnd;
  *write = s->receiveWrite;
  *read = s->receiveRead;
  return true;
}

void SystemNetSocket_Unlock(SystemNetSocket *s) {
  if (s) SystemThread_LeaveCriticalSection(s->lock);
}
