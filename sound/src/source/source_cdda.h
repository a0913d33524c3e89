// CD audio read digitally: SCSI CD devices under drive letters, their tables
// of contents, raw audio sectors read with overlap matching against read
// jitter, and the stream side that plays a track. Errors and device facts
// reach the stream as tags of type OSND_TAG_CD.
#pragma once

#include "sound/src/stream/osnd_stream.h"

#include <cstdint>

constexpr int OSND_CDDA_SECTOR = 2352;
constexpr int OSND_CDDA_MAX_TRACKS = 100;
constexpr int OSND_CDDA_MAX_DEVICES = 8;

// A table of contents: entries in disc order, the lead-out (track 0xAA) last
// and counted. Starts and lengths in sectors.
struct CddaToc {
  int count;
  uint8_t control[OSND_CDDA_MAX_TRACKS];
  uint8_t track[OSND_CDDA_MAX_TRACKS];
  int32_t start[OSND_CDDA_MAX_TRACKS];
  int32_t length[OSND_CDDA_MAX_TRACKS];
};

// The "CD_TOC" tag: "TOC\0", the number of tracks, then each track start
// and the lead-out as minutes, seconds and frames of its address (start +
// 150 sectors). 1208 bytes.
struct CddaDiscRecord {
  char id[4];
  int32_t count;
  int32_t minutes[OSND_CDDA_MAX_TRACKS];
  int32_t seconds[OSND_CDDA_MAX_TRACKS];
  int32_t frames[OSND_CDDA_MAX_TRACKS];
};
static_assert(sizeof(CddaDiscRecord) == 1208, "the tag's layout is read by callers");

struct CddaDevice {
  int letter;  // 0 = A; 0 while not mapped
  int adapter, target, lun;
  bool open, infoOnly;
  uint32_t lastMediaCheck;
  bool notReady;
  int readMethod, speedMethod;
  bool littleEndian, swapChannels;
  int spinUpSeconds, defaultSpeed, sectorsPerRead;
  bool overlapMatching;
  int overlapSectors;
  bool firstRead;
  int rangeStart, rangeSectors;  // the open track
  int current, remaining;
  uint8_t *buffer;
  uint8_t *data;
  int left;
  uint8_t *lastSector;
  uint32_t lastReadTime;
  bool everRead;
  CddaToc toc;
  CddaDiscRecord disc;
  int senseKey, asc, ascq;
  uint8_t inquiry[36];
};

// Fills a table from a READ TOC answer. Format 2 (full TOC) answers are
// refused (false) when their size is not whole descriptors; format 0 answers
// when no entry is there. With `disc` the table is a device's own: data
// tracks are left out of it and every start joins the disc record.
bool OsndCdda_ParseFullToc(const uint8_t *data, int size, CddaToc *toc, CddaDiscRecord *disc);
bool OsndCdda_ParseToc(const uint8_t *data, int size, CddaToc *toc, CddaDiscRecord *disc);
// Sense key (low 4 bits), additional sense code and qualifier from sense data
// in fixed or descriptor form; all 0 for data too short to hold them.
void OsndCdda_ParseSense(const uint8_t *sense, int size, int *key, int *asc, int *ascq);
// The text of the CD layer's own codes ("Unknown" for others).
const char *OsndCdda_ErrorText(int code);

// Stream side.
bool OsndCdda_OpenDevice(const char *name, OsndFormatInfo *info, CddaDevice **device);
uint32_t OsndCdda_OpenTrack(CddaDevice *device, int track);
uint32_t OsndCdda_GetTrackLength(CddaDevice *device, int track);
bool OsndCdda_IsInfoOnly(CddaDevice *device);
// Moves to a byte offset of the open track; false at or past its end.
bool OsndCdda_Seek(CddaDevice *device, uint32_t offset, uint32_t *reached);
bool OsndCdda_CloseDevice(void *device);
// The stream side as the stream code reaches it, through its source table.
void OsndCdda_StreamOpen(const char *name, OsndFormatInfo *info);
bool OsndCdda_StreamSeek(void *device, uint64_t samples, uint32_t *reached);
int OsndCdda_StreamTrackCount(void *device);
uint32_t OsndCdda_StreamSelectTrack(void *device, int track, bool *infoOnly);
// Checks every open drive for its disc, each at most once a second.
void OsndCdda_ScanDrives();
void OsndCdda_CloseAll();
// Reads one block of the open track; the bytes it gives (0 at the end).
int OsndCdda_ReadBlock(CddaDevice *device);
