// Tags of a stream: named values from ID3v1, ID3v2, ASF and Vorbis comments,
// kept in a singly linked list in the order they were added.
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"

enum {
  OSND_TAG_VORBIS = 0,
  OSND_TAG_ID3V1 = 1,
  OSND_TAG_ID3V2 = 2,
  OSND_TAG_NET_HEADER = 3,
  OSND_TAG_NET_META = 4,
  OSND_TAG_ASF = 5,
  OSND_TAG_CD = 6
};

struct OsndTag {
  OsndTag *next;
  int type;
  const char *name;
  const void *value;
  int valueLength;
};

struct vorbis_comment;

bool OsndTag_Append(OsndTag **head, OsndTag *node);
bool OsndTag_Add(int type, const char *name, const void *value, int valueLength, OsndTag **head);
bool OsndTag_FreeList(OsndTag **head);
// First node whose name matches ignoring case and whose type matches (-1: any).
bool OsndTag_Find(OsndTag *first, const char *name, int type, const void **value, int *length);
// Reads the tags at both ends of a file and leaves it after the leading ones.
bool OsndTag_ReadTags(SystemFileHandle *file, OsndTag **head);
bool OsndTag_ReadId3v1(SystemFileHandle *file, OsndTag **head);
bool OsndTag_ReadId3v2(SystemFileHandle *file, OsndTag **head);
bool OsndTag_ReadId3v2Footer(SystemFileHandle *file, OsndTag **head);
bool OsndTag_ReadAsf(SystemFileHandle *file, OsndTag **head);
// Adds the comments as nodes that point into the comment storage (split at '=').
bool OsndTag_AddVorbisComments(vorbis_comment *comments, OsndTag **head);

// Skips an ID3v2 header at the file's position; false leaves the position alone.
bool OsndTag_SkipId3v2(SystemFileHandle *file);
