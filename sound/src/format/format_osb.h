// Sample banks ("OSB2" and "OSB3"): one or more samples, each with a header,
// stored as raw engine sample data or as whole sound files of another format.
#pragma once

#include "sound/src/format/format_reader.h"

enum { OSB_FLAG_SOURCE_FORMAT = 1, OSB_FLAG_BASIC_HEADERS = 2 };
constexpr uint32_t OSB_VERSION_30 = 0x00030000;
constexpr uint32_t OSB_VERSION_31 = 0x00030001;
constexpr unsigned OSB_MODE_HAS_SYNC = 0x80000000u;

struct OsbSyncPoint {
  uint32_t position;  // in samples
  char name[256];
};

// What one sample of a bank is; samples behind basic headers take everything
// but their length and stored size from the first sample.
struct OsbEntry {
  char name[31];
  uint32_t length;      // samples
  uint32_t storedBytes;
  uint32_t loopStart, loopEnd;
  unsigned mode;
  int frequency, volume, pan, priority, channels;
  uint32_t dataOffset;  // in the file
};

struct OsbBank {
  uint8_t fileHeader[24];
  int count;
  uint32_t headerBytes, dataBytes, version, flags;
  uint8_t *headers;       // every sample header, as stored
  uint8_t **headerOf;     // each sample's header inside `headers`
  uint32_t *dataOffsets;  // each sample's data in the file
  int current;
  int *syncCounts;
  OsbSyncPoint **syncs;
};

struct OsbOpenResult {
  unsigned mode;          // in: the caller's; out: the bank's, merged
  int rate;
  uint32_t dataLength;    // stored bytes of the first sample
  uint32_t decodedLength; // PCM bytes of the first sample
  int blockSize;          // source bytes per decode step
  uint32_t dataOffset;
  OsbBank *bank;
};

// Reads the bank header and the sample headers; the first sample describes
// the result. With a sync list, the first sample's points replace its content.
// False with the error set (9 no handle, 10 not a bank or data not played
// here, 11 damaged, 12 memory); nothing is left allocated then.
bool FormatOsb_Open(SystemFileHandle *file, OsbOpenResult *result, OsndSyncList *syncPoints);
bool FormatOsb_Close(void *bank);
bool FormatOsb_GetEntry(const OsbBank *bank, int index, OsbEntry *entry);
// Makes an engine sample (outside the sample list) of one entry of an open
// bank, with the caller's mode merged in; null with the error set. An entry
// kept in a source format is read by sourceReader.
OSND_SAMPLE *FormatOsb_LoadEntry(SystemFileHandle *file, const OsbBank *bank, int index, unsigned mode,
                                 OsndSampleReader sourceReader);
bool FormatOsb_OpenStream(OsndFormatInfo *info);

// The reader's sample load and stream open (the reader contract).
OSND_SAMPLE *OsndFormatOsb_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name,
                                      OsndSampleReader sourceReader);
bool OsndFormatOsb_OpenStream(OsndFormatInfo *info);
