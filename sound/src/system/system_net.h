// The engine's network layer: URL splitting with Base64 credentials, name
// look-up and connect with a time-out, and sockets whose receive and send
// rings one engine thread ("ZIVE network socket thread") fills and drains.
// Readers take bytes from the receive ring without blocking; the ring also
// decides when a stream is buffering.
#pragma once

#include "platform/winsock/WinSock.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdint>

enum : unsigned {
  SYSTEMNET_CLOSE = 0x01,
  SYSTEMNET_BUFFERING = 0x02,
  SYSTEMNET_ERROR = 0x04,
  SYSTEMNET_FIRST_BUFFERING = 0x10,
  SYSTEMNET_HEADER_MODE = 0x20,
  SYSTEMNET_END_OF_DATA = 0x40,
  SYSTEMNET_PASS_A = 0x80,
  SYSTEMNET_PASS_B = 0x100,
  SYSTEMNET_ABORT = 0x800
};

struct SystemNetSocket {
  std::atomic<unsigned> flags;
  int receiveSize;
  int sendSize;
  winsock::SOCKET socket;
  int prebuffer;  // percent of the receive ring full before a new stream plays
  int rebuffer;   // percent full again after the ring ran empty
  uint8_t *receiveStart, *receiveEnd, *receiveWrite, *receiveRead;
  uint8_t *sendStart, *sendEnd, *sendWrite, *sendRead;
  SystemCriticalSection lock;
  // The steady-clock time (SystemNet_NowMs) at which the open this socket
  // serves gives up; 0 when none. The line reader stops waiting then.
  int64_t deadlineMs;
  // The abort mark of the open this socket serves (below); null when none.
  const std::atomic<bool> *abort;
};

constexpr int SYSTEMNET_SLOTS = 32;

// Engine-wide settings; tests shrink them to drive small rings and short waits.
struct SystemNetSettings {
  int connectTimeoutMs = 5000;
  int receiveSize = 64000;
  int sendSize = 8192;
  int prebuffer = 95;
  int rebuffer = 95;
  // A header line that waits longer than this for its next byte ends.
  int lineIdleMs = 5000;
  // The whole open of an internet stream (connects, redirects, headers and
  // buffering together) fails when it has not ended within this.
  int openTimeoutMs = 30000;
};
extern SystemNetSettings gSystemNetSettings;
// While set, every open gives up at its next check: the engine is closing.
extern std::atomic<bool> gSystemNetAbortAll;
// Whether an open is to give up: the engine-wide abort, or the open's own
// abort mark, which whoever ends that open sets (null: none). Each open has a
// mark of its own, so that opens ended side by side never undo one another's
// end. Every wait of an open asks this.
bool SystemNet_AbortRequested(const std::atomic<bool> *abort);

bool SystemNet_Start();
void SystemNet_Stop();
winsock::SOCKET SystemNet_CreateSocket(int kind);
void SystemNet_CloseSocket(winsock::SOCKET socket);
int SystemNet_GetLastError();
// Whether a name begins with "http://" or "http:\\" (case ignored).
bool SystemNet_IsHttpUrl(const char *name);
bool SystemNet_SplitUrl(const char *url, char *host, int hostSize, char *credentials, int credentialsSize,
                        int *port, char *path, int pathSize);
// A new string from the engine allocator, null when memory runs out.
char *SystemNet_Base64Encode(const char *text);
bool SystemNet_IsDottedAddress(const char *name, uint32_t *address);
char *SystemNet_Resolve(const char *name, char *output, int outputSize);
// 0 on success; otherwise non-zero and the socket is closed. The look-up and
// the connect each wait at most timeoutMs (the connect time-out when negative),
// and no longer than until the open whose abort mark is given is aborted.
int SystemNet_Connect(winsock::SOCKET socket, const char *host, int port, int timeoutMs = -1,
                      const std::atomic<bool> *abort = nullptr);
// Milliseconds of a steady clock, for deadlines.
int64_t SystemNet_NowMs();

bool SystemNet_StartThread();
void SystemNet_StopThread();

// The socket's record in a slot of the socket thread's table; null with the
// engine's error set when memory runs out or when every slot stays taken
// (OSND_ERR_NET_SOCKETS). The caller keeps its socket then.
SystemNetSocket *SystemNetSocket_Create(winsock::SOCKET socket);
bool SystemNetSocket_RequestClose(SystemNetSocket *socket);
void SystemNetSocket_Free(SystemNetSocket *socket);
bool SystemNetSocket_GetFill(SystemNetSocket *socket, int *received, int *toSend);
// Whether the peer has closed and every byte received has been read: the
// close and the ring's fill are looked at together, so bytes that arrive
// with the close are never taken for an empty ring.
bool SystemNetSocket_Drained(SystemNetSocket *socket);
bool SystemNetSocket_GetFillPercent(SystemNetSocket *socket, int *receivePercent, int *sendPercent);
bool SystemNetSocket_StartBuffering(SystemNetSocket *socket, bool wait);
int SystemNetSocket_Read(SystemNetSocket *socket, void *destination, int bytes);
int SystemNetSocket_Write(SystemNetSocket *socket, const void *bytes, int count);
int SystemNetSocket_ReadLine(SystemNetSocket *socket, char *line, int size);
// Whether the socket's deadline has passed.
bool SystemNetSocket_Expired(const SystemNetSocket *socket);
int SystemNetSocket_Printf(SystemNetSocket *socket, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
bool SystemNetSocket_Lock(SystemNetSocket *socket, uint8_t **start, uint8_t **end, uint8_t **write,
                          uint8_t **read);
void SystemNetSocket_Unlock(SystemNetSocket *socket);
