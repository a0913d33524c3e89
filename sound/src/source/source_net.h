// Internet streams: one HTTP/1.1 GET (ICY and Icecast answers included),
// redirects, response headers, buffering, and the MPEG and Ogg Vorbis readers
// that decode straight from the socket's receive ring, handing stream titles
// to the stream's metadata callback.
#pragma once

#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_net.h"

struct OsndTag;

#include <atomic>

enum : unsigned {
  OSND_NET_ICY = 1,
  OSND_NET_ICECAST = 2,
  OSND_NET_HTTP = 4,
  OSND_NET_KIND_MASK = 0xFFFF,
  OSND_NET_MPEG = 0x10000,
  OSND_NET_OGG = 0x20000
};

enum { OSND_NET_CONNECTING = 1, OSND_NET_BUFFERING = 2, OSND_NET_PLAYING = 3, OSND_NET_ERROR = 4 };

constexpr int OSND_NET_BUFFER_BYTES = 4081;  // the largest metadata block (255 x 16) and its end
constexpr int OSND_NET_OGG_REPORT_BYTES = 24576;

typedef bool (*OsndNetDataCallback)(void *bytes, int count, void *userData);

struct MpegDecoder;

struct OsndNetStream {
  SystemNetSocket *socket;
  OSND_METADATACALLBACK metadataCallback;
  void *metadataUserData;
  OsndNetDataCallback dataCallback;
  void *dataUserData;
  int metaInterval;  // 0: no metadata
  int metaLeft;      // audio bytes until the next block
  int metaToRead;
  int metaRead;
  char *buffer;
  int bufferSize;
  void *decoder;  // MPEG decoder or Ogg Vorbis file state
  unsigned flags;
  uint32_t contentLength;
  uint32_t received;  // audio bytes through the readers
  std::atomic<int> status;
  int headerHeld, frameHeld, frameSize, silentFrames;
  char *host, *path;
  int oggSilentAfterEnd;
  // Beyond the record the readers need: the stream they feed, a header
  // decoder for the frame search, the frame being assembled, the bit rate.
  OSND_STREAM *stream;
  MpegDecoder *probe;
  int bitrate;
  int frameRate, frameChannels;
  uint8_t frame[2304];
};

// Engine-wide settings of internet streams (nothing in the engine changes
// them; tests read the last status line).
struct OsndNetSettings {
  char *proxyHost = nullptr;
  int proxyPort = 0;
  char *proxyCredentials = nullptr;  // already Base64
  OsndNetDataCallback dataCallback = nullptr;
  void *dataUserData = nullptr;
  char lastStatus[256] = {};
};
extern OsndNetSettings gOsndNet;

// Opens the internet stream named by url; fills the format info as a reader
// does. False with the last error set when no reader accepted it.
bool OsndStreamNet_Open(OSND_STREAM *stream, const char *url, OsndFormatInfo *info);
// Makes a background open of the stream give up at its next check, in any
// phase, and returns once that open has ended.
bool OsndStreamNet_Stop(OSND_STREAM *stream);
void OsndStreamNet_Shutdown();
bool OsndStreamNet_CallMetadata(OsndNetStream *record, const char *name, const char *value);
// Frees the record: its buffer, names and socket (handed to the socket thread).
void OsndStreamNet_FreeRecord(OsndNetStream *record);

// Header reading, apart for the fuzz target: the status code of a status
// line (-1 when it is not one); the response headers of an attempt
// (0 accepted, 1 redirect with the next URL in the record's host, -1 failed).
int OsndStreamNet_ParseStatusLine(const char *line);
int OsndStreamNet_ReadHeaders(OSND_STREAM *stream, OsndNetStream *record, OsndTag **tags);
// Hands one complete metadata block (zero-terminated) to the callback.
void FormatMpegNet_ParseBlock(OsndNetStream *record, const char *block);
// While set, every open under way fails at its next check (engine close).
void OsndStreamNet_AbortAll(bool abort);

// Metadata-aware read of audio bytes (destination null: drop them).
int FormatMpegNet_ParseMetadata(OsndNetStream *record, uint8_t *destination, int bytes);

bool FormatMpegNet_Open(OsndNetStream *record, OsndFormatInfo *info);
bool FormatMpegNet_FindFrame(OsndNetStream *record, int *channels, int *rate, int *frameSize);
bool OsndStreamRead_MpegNet(OSND_STREAM *stream, uint8_t *input, int inputSize, uint8_t *destination, int *bytes);
bool FormatMpegNet_Close(void *record);
bool FormatMpegNet_Reset(void *record);

bool FormatOggVorbisNet_Open(OsndNetStream *record, OsndFormatInfo *info);
bool OsndStreamRead_OggNet(OSND_STREAM *stream, uint8_t *input, int inputSize, uint8_t *destination, int *bytes);
bool FormatOggVorbisNet_Close(void *record);
