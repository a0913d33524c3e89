#include "sound/src/source/source_net.h"

#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

OsndNetSettings gOsndNet;

namespace {

constexpr int kMaxRedirects = 16;
constexpr int kMaxHeaderLines = 256;
constexpr int kLineBytes = 8192;
constexpr unsigned kNetMode = 0x80000000u;

// Guards the published net record of an open against its release while an
// abort request touches it.
std::mutex gOpenLock;
std::mutex gStatusLock;  // the last status line

void NetSleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

char *CopyString(const char *text) {
  const size_t length = std::strlen(text);
  char *copy = static_cast<char *>(OSND_ALLOC(int(length) + 1));
  if (copy) std::memcpy(copy, text, length + 1);
  return copy;
}

bool StartsWith(const char *text, const char *prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

const char *SkipBlanks(const char *p) {
  while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
  return p;
}

// A record withdrawn here may be freed once this returns: an abort that found
// it marks its socket before it lets the lock go.
void Publish(OSND_STREAM *stream, OsndNetStream *record) {
  if (!stream) return;
  {
    SystemWaitingLock<std::mutex> guard(gOpenLock, "net.open-lock.waiting");
    std::atomic_ref<void *>(stream->netRecord).store(record, std::memory_order_release);
  }
  if (!record) OSND_PAUSE_POINT("net.open.withdrawn");
}

const std::atomic<bool> *AbortMark(OSND_STREAM *stream) { return stream ? &stream->netAbort : nullptr; }

bool Aborted(OSND_STREAM *stream, OsndNetStream *record) {
  if (SystemNet_AbortRequested(AbortMark(stream))) return true;
  return record && record->socket && (record->socket->flags & SYSTEMNET_ABORT);
}

// Makes the record and its connected socket for one attempt, which gives up
// at the open's deadline; null on failure with the last error set.
OsndNetStream *Connect(OSND_STREAM *stream, const char *url, unsigned *mode, int64_t deadlineMs) {
  char host[1024], path[1024];
  char *credentials = static_cast<char *>(OSND_ALLOC(4096));
  if (!credentials) return Osnd_SetError(OSND_ERR_MEMORY), nullptr;
  int port = 80;
  if (!SystemNet_SplitUrl(url, host, sizeof(host), credentials, 4096, &port, path, sizeof(path))) {
    OSND_FREE_MEM(credentials);
    return Osnd_SetError(OSND_ERR_INVALID_PARAM), nullptr;
  }
  *mode |= kNetMode;
  if (!SystemNet_Start() || !SystemNet_StartThread()) {
    OSND_FREE_MEM(credentials);
    return Osnd_SetError(OSND_ERR_INIT), nullptr;
  }
  auto *record = static_cast<OsndNetStream *>(OSND_ALLOC(int(sizeof(OsndNetStream))));
  if (record) {
    new (&record->status) std::atomic<int>(0);
    record->buffer = static_cast<char *>(OSND_ALLOC(OSND_NET_BUFFER_BYTES));
    record->bufferSize = OSND_NET_BUFFER_BYTES;
    record->host = CopyString(host);
    record->path = CopyString(path);
  }
  if (!record || !record->buffer || !record->host || !record->path) {
    OSND_FREE_MEM(credentials);
    OsndStreamNet_FreeRecord(record);
    return Osnd_SetError(OSND_ERR_MEMORY), nullptr;
  }
  const winsock::SOCKET socket = SystemNet_CreateSocket(0);
  const bool proxy = gOsndNet.proxyHost && gOsndNet.proxyHost[0];
  const int timeoutMs =
      int(std::clamp<int64_t>(deadlineMs - SystemNet_NowMs(), 1, std::max(gSystemNetSettings.connectTimeoutMs, 1)));
  // Where a test holds an open that is about to connect.
  OSND_PAUSE_POINT("net.open.connecting");
  const int failed = socket == winsock::INVALID_SOCKET
                         ? -1
                         : SystemNet_Connect(socket, proxy ? gOsndNet.proxyHost : host,
                                             proxy && gOsndNet.proxyPort ? gOsndNet.proxyPort : port, timeoutMs,
                                             AbortMark(stream));
  if (failed) {
    OSND_FREE_MEM(credentials);
    OsndStreamNet_FreeRecord(record);
    return Osnd_SetError(OSND_ERR_FILE_FORMAT), nullptr;
  }
  record->socket = SystemNetSocket_Create(socket);
  if (!record->socket) {  // the error says why: memory, or a full socket table
    SystemNet_CloseSocket(socket);
    OSND_FREE_MEM(credentials);
    OsndStreamNet_FreeRecord(record);
    return nullptr;
  }
  record->status = OSND_NET_CONNECTING;

  SystemNetSocket *s = record->socket;
  s->deadlineMs = deadlineMs;
  s->abort = AbortMark(stream);
  SystemNetSocket_Printf(s, "GET %s HTTP/1.1\r\n", proxy ? url : path);
  SystemNetSocket_Printf(s, "Host: %s\r\n", host);
  SystemNetSocket_Printf(s, "User-Agent: ZIVE/%.2f\r\n", 3.75);
  SystemNetSocket_Printf(s, "Icy-MetaData:1\r\n");
  if (gOsndNet.proxyCredentials && gOsndNet.proxyCredentials[0])
    SystemNetSocket_Printf(s, "Proxy-Authorization: Basic %s\r\n", gOsndNet.proxyCredentials);
  if (credentials[0]) SystemNetSocket_Printf(s, "Authorization: Basic %s\r\n", credentials);
  SystemNetSocket_Printf(s, "Connection: close\r\n");
  SystemNetSocket_Printf(s, "\r\n");
  OSND_FREE_MEM(credentials);
  return record;
}

struct HeaderTag {
  const char *prefix;
  int type;
  unsigned kind;
};
const HeaderTag kHeaderTags[] = {
    {"icy-br:", OSND_TAG_NET_HEADER, OSND_NET_ICY},        {"icy-pub:", OSND_TAG_NET_HEADER, OSND_NET_ICY},
    {"icy-notice1:", OSND_TAG_NET_HEADER, OSND_NET_ICY},   {"icy-notice2:", OSND_TAG_NET_HEADER, OSND_NET_ICY},
    {"icy-name:", OSND_TAG_NET_HEADER, OSND_NET_ICY},      {"icy-genre:", OSND_TAG_NET_HEADER, OSND_NET_ICY},
    {"icy-url:", OSND_TAG_NET_HEADER, OSND_NET_ICY},       {"icy-irc:", OSND_TAG_NET_HEADER, OSND_NET_ICY},
    {"icy-icq:", OSND_TAG_NET_HEADER, OSND_NET_ICY},       {"icy-aim:", OSND_TAG_NET_HEADER, OSND_NET_ICY},
    {"ice-bitrate: ", OSND_TAG_NET_META, OSND_NET_ICECAST}, {"ice-description: ", OSND_TAG_NET_META, OSND_NET_ICECAST},
    {"ice-public: ", OSND_TAG_NET_META, OSND_NET_ICECAST},  {"ice-name: ", OSND_TAG_NET_META, OSND_NET_ICECAST},
    {"ice-genre: ", OSND_TAG_NET_META, OSND_NET_ICECAST},   {"ice-url: ", OSND_TAG_NET_META, OSND_NET_ICECAST},
    {"ice-irc: ", OSND_TAG_NET_META, OSND_NET_ICECAST},     {"ice-icq: ", OSND_TAG_NET_META, OSND_NET_ICECAST},
    {"ice-aim: ", OSND_TAG_NET_META, OSND_NET_ICECAST},     {"ice-audio-info: ", OSND_TAG_NET_META, OSND_NET_ICECAST}};

void SetKind(OsndNetStream *record, unsigned kind) {
  if (!(record->flags & OSND_NET_KIND_MASK)) record->flags |= kind;
}

uint32_t ParseNumber(const char *p) {
  p = SkipBlanks(p);
  uint64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = std::min<uint64_t>(value * 10 + uint64_t(*p - '0'), 0x7FFFFFFF);
  return uint32_t(value);
}

}  // namespace

int OsndStreamNet_ParseStatusLine(const char *line) {
  const char *words[] = {"HTTP/1.0 ", "HTTP/1.1 ", "ICY "};
  for (const char *word : words) {
    if (!StartsWith(line, word)) continue;
    const char *p = line + std::strlen(word);
    if (*p < '0' || *p > '9') return -1;
    return int(ParseNumber(p));
  }
  return -1;
}

// 0: accepted; 1: redirect (the record's host holds the next URL); -1: failed.
int OsndStreamNet_ReadHeaders(OSND_STREAM *stream, OsndNetStream *record, OsndTag **tags) {
  char *line = static_cast<char *>(OSND_ALLOC(kLineBytes));
  if (!line) return -1;
  SystemNetSocket *s = record->socket;
  s->flags |= SYSTEMNET_HEADER_MODE;
  int result = -1;
  SystemNetSocket_ReadLine(s, line, kLineBytes);
  {
    // Opens on several threads each store theirs whole.
    std::lock_guard<std::mutex> guard(gStatusLock);
    SystemString_CopyN(gOsndNet.lastStatus, line, sizeof(gOsndNet.lastStatus) - 1);
  }
  const int code = OsndStreamNet_ParseStatusLine(line);
  if (code == 200) {
    result = 0;
    for (int n = 0;; ++n) {
      if (n >= kMaxHeaderLines || Aborted(stream, record) || SystemNetSocket_Expired(s)) {
        result = -1;
        break;
      }
      if (SystemNetSocket_ReadLine(s, line, kLineBytes) == 0) {
        // An empty line ends the headers; so does the end of the data, which
        // leaves nothing to play.
        if (s->flags & (SYSTEMNET_END_OF_DATA | SYSTEMNET_ERROR | SYSTEMNET_ABORT)) {
          int held = 0;
          SystemNetSocket_GetFill(s, &held, nullptr);
          if (held == 0) result = -1;
        }
        break;
      }
      if (StartsWith(line, "Content-Length:")) {
        record->contentLength = ParseNumber(line + 15);
        SetKind(record, OSND_NET_HTTP);
      } else if (StartsWith(line, "Content-Type:")) {
        const char *type = SkipBlanks(line + 13);
        if (StartsWith(type, "application/ogg") || StartsWith(type, "application/x-ogg")) {
          record->flags &= ~OSND_NET_KIND_MASK;
          record->flags |= OSND_NET_OGG;
        }
      } else if (StartsWith(line, "icy-metaint:")) {
        record->metaInterval = int(ParseNumber(line + 12));
        record->metaLeft = record->metaInterval;
        SetKind(record, OSND_NET_ICY);
      } else {
        for (const HeaderTag &tag : kHeaderTags) {
          if (!StartsWith(line, tag.prefix)) continue;
          char name[32];
          size_t length = std::strcspn(tag.prefix, ":");
          std::memcpy(name, tag.prefix, length);
          name[length] = '\0';
          const char *value = SkipBlanks(line + std::strlen(tag.prefix));
          if (tags) OsndTag_Add(tag.type, name, value, int(std::strlen(value)) + 1, tags);
          SetKind(record, tag.kind);
          break;
        }
      }
    }
  } else if (code == 301 || code == 302 || code == 303 || code == 305 || code == 307) {
    for (int n = 0; n < kMaxHeaderLines && !Aborted(stream, record) && !SystemNetSocket_Expired(s); ++n) {
      if (SystemNetSocket_ReadLine(s, line, kLineBytes) == 0) break;
      if (StartsWith(line, "Location: ")) {
        char *next = CopyString(line + 10);
        if (next) {
          OSND_FREE_MEM(record->host);
          record->host = next;
          result = 1;
        }
        break;
      }
    }
  }
  s->flags &= ~SYSTEMNET_HEADER_MODE;
  OSND_FREE_MEM(line);
  if (result == 0) {
    const size_t length = std::strlen(record->path);
    if (length > 4 && SystemString_CompareNNoCase(record->path + length - 4, ".ogg", 4) == 0)
      record->flags |= OSND_NET_OGG;
    if (!(record->flags & (OSND_NET_OGG | OSND_NET_MPEG))) record->flags |= OSND_NET_MPEG;
  }
  return result;
}

bool OsndStreamNet_Open(OSND_STREAM *stream, const char *url, OsndFormatInfo *info) {
  // One deadline for the whole open: a server that answers a byte at a time,
  // or redirects again and again, each within its own limits, still cannot
  // hold it longer.
  const int64_t deadlineMs = SystemNet_NowMs() + std::max(gSystemNetSettings.openTimeoutMs, 0);
  char *current = CopyString(url);
  if (!current) return Osnd_Fail(OSND_ERR_MEMORY);
  OsndNetStream *record = nullptr;
  for (int redirects = 0;; ++redirects) {
    if (redirects > kMaxRedirects || SystemNet_NowMs() >= deadlineMs || Aborted(stream, nullptr)) {
      OSND_FREE_MEM(current);
      return Osnd_Fail(OSND_ERR_FILE_FORMAT);
    }
    record = Connect(stream, current, &info->mode, deadlineMs);
    if (!record) {
      OSND_FREE_MEM(current);
      if (gOsndError.lastError == OSND_ERR_NONE) Osnd_SetError(OSND_ERR_FILE_FORMAT);
      return false;
    }
    record->stream = stream;
    Publish(stream, record);
    const int result = OsndStreamNet_ReadHeaders(stream, record, info->tags);
    if (result == 0) break;
    Publish(stream, nullptr);
    if (result < 0) {
      OsndStreamNet_FreeRecord(record);
      OSND_FREE_MEM(current);
      return Osnd_Fail(OSND_ERR_FILE_FORMAT);
    }
    OSND_FREE_MEM(current);
    current = record->host;
    record->host = nullptr;
    OsndStreamNet_FreeRecord(record);
    // Headers from a redirecting answer do not describe the final stream.
    if (info->tags && *info->tags) OsndTag_FreeList(info->tags);
  }
  OSND_FREE_MEM(current);

  auto fail = [&](int code) {
    Publish(stream, nullptr);
    OsndStreamNet_FreeRecord(record);
    return Osnd_Fail(code);
  };
  record->status = OSND_NET_BUFFERING;
  SystemNetSocket_StartBuffering(record->socket, false);
  bool buffered = false;
  for (int i = 0; i < 10000; ++i) {
    const unsigned flags = record->socket->flags;
    if ((flags & SYSTEMNET_ERROR) || Aborted(stream, record) || SystemNetSocket_Expired(record->socket)) break;
    if (!(flags & SYSTEMNET_BUFFERING)) {
      buffered = true;
      break;
    }
    NetSleep(10);
  }
  if (!buffered) return fail(OSND_ERR_FILE_FORMAT);
  record->dataCallback = gOsndNet.dataCallback;
  record->dataUserData = gOsndNet.dataUserData;
  const bool opened = (record->flags & OSND_NET_OGG) ? FormatOggVorbisNet_Open(record, info)
                                                     : FormatMpegNet_Open(record, info);
  if (!opened) return fail(gOsndError.lastError == OSND_ERR_NONE ? OSND_ERR_FILE_FORMAT : int(gOsndError.lastError));
  record->status = OSND_NET_PLAYING;
  Publish(stream, nullptr);
  info->source = OSND_SOURCE_NET;
  info->state = record;
  info->dataOffset = 0;
  return true;
}

bool OsndStreamNet_Stop(OSND_STREAM *stream) {
  if (!stream) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  {
    // Marked in whatever phase the open is (its look-up, connect, header
    // lines, buffering, or before it began); the socket's flag ends a line
    // being read.
    SystemWaitingLock<std::mutex> guard(gOpenLock, "net.open-lock.waiting");
    stream->netAbort = true;
    auto *record = static_cast<OsndNetStream *>(std::atomic_ref<void *>(stream->netRecord).load());
    OSND_PAUSE_POINT("net.abort.found");
    if (record && record->socket) record->socket->flags |= SYSTEMNET_ABORT;
  }
  // Every wait of the open ends at the mark, so this is short. The mark is
  // the stream's own and goes with it: a close of another stream meanwhile
  // leaves it set.
  OsndNonBlocking_WaitUntilDone(stream);
  return true;
}

void OsndStreamNet_AbortAll(bool abort) { gSystemNetAbortAll = abort; }

void OsndStreamNet_Shutdown() {
  OSND_FREE_MEM(gOsndNet.proxyHost);
  OSND_FREE_MEM(gOsndNet.proxyCredentials);
  gOsndNet.proxyHost = gOsndNet.proxyCredentials = nullptr;
  gOsndNet.lastStatus[0] = '\0';
  SystemNet_StopThread();
  SystemNet_Stop();
}

bool OsndStreamNet_CallMetadata(OsndNetStream *record, const char *name, const char *value) {
  if (!record || !name || !value) return false;
  // A title found in a refill waits for the end of the streamer's pass: the
  // callback may then close streams, this one included.
  OsndStream_CallTitle(&record->metadataCallback, &record->metadataUserData, name, value);
  return true;
}

void OsndStreamNet_FreeRecord(OsndNetStream *record) {
  if (!record) return;
  if (record->socket) SystemNetSocket_RequestClose(record->socket);
  OSND_FREE_MEM(record->buffer);
  OSND_FREE_MEM(record->host);
  OSND_FREE_MEM(record->path);
  OSND_FREE_MEM(record->probe);
  record->status.~atomic();
  OSND_FREE_MEM(record);
}

extern "C" bool OSND_Stream_Net_SetMetadataCallback(OSND_STREAM *stream, OSND_METADATACALLBACK callback,
                                                   void *userData) {
  Osnd_ResetError();
  // The readers find titles during a refill, under the stream-decode lock;
  // the streamer reads the callback for a title waiting under the list lock,
  // and a title call read before the change is waited for once both are left.
  OsndSlotCall underWay;
  {
    OsndStreamCall call(stream);
    if (!call || !call.LockDecodeIfOpen()) return false;
    SystemLockGuard list(gOsndStreams.listLock);
    if (!OsndStream_IsReady(stream) || stream->source != OSND_SOURCE_NET || !stream->formatState)
      return Osnd_Fail(OSND_ERR_INVALID_PARAM);
    auto *record = static_cast<OsndNetStream *>(stream->formatState);
    record->metadataCallback = callback;
    record->metadataUserData = userData;
    underWay = OsndStream_SlotCallUnderWay(stream, OSND_SLOT_TITLE);
  }
  OsndStream_WaitForSlotCall(underWay);
  return true;
}
