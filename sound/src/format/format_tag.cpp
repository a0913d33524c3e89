#include "sound/src/format/format_tag.h"

#include "sound/src/system/system_string.h"

#include <vorbis/codec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A node and its copied name and value in one allocation; flagged so that
// freeing knows which nodes own their text.
struct OwnedTag {
  OsndTag tag;
  int owned;
};

bool TagReadExact(SystemFileHandle *f, void *buffer, int bytes) {
  return SystemFile_Read(buffer, 1, bytes, f) == bytes;
}

uint32_t SyncSafe(const uint8_t *b) {
  return (uint32_t(b[0] & 0x7F) << 21) | (uint32_t(b[1] & 0x7F) << 14) | (uint32_t(b[2] & 0x7F) << 7) |
         uint32_t(b[3] & 0x7F);
}

bool AddText(int type, const char *name, const char *field, int width, OsndTag **head) {
  char text[32] = {};
  std::memcpy(text, field, size_t(std::min(width, 31)));
  const int length = int(std::strlen(text));
  if (length == 0) return true;
  return OsndTag_Add(type, name, text, length + 1, head);
}

bool AddNumber(const char *name, int value, OsndTag **head) {
  char text[8];
  std::snprintf(text, sizeof text, "%d", value);
  return OsndTag_Add(OSND_TAG_ID3V1, name, text, int(std::strlen(text)) + 1, head);
}

// Walks the frames of an ID3v2 tag whose 10-byte header starts at tagStart.
bool ReadId3v2Body(SystemFileHandle *f, OsndTag **head, int64_t tagStart) {
  SystemFile_Seek(f, tagStart + 3, SEEK_SET);
  uint8_t h[7];
  if (!TagReadExact(f, h, 7)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const int major = h[0];
  uint32_t size = SyncSafe(h + 3);
  if (h[2] & 0x10) size += 10;
  const int64_t tagEnd = tagStart + 10 + size;
  SystemFile_Seek(f, 0, SEEK_END);
  const int64_t fileEnd = SystemFile_Tell(f);
  const int headerBytes = major < 3 ? 6 : 10;
  int64_t offset = 10;
  while (offset + headerBytes <= int64_t(size) + 10) {
    SystemFile_Seek(f, tagStart + offset, SEEK_SET);
    uint8_t fh[10];
    if (!TagReadExact(f, fh, headerBytes)) break;
    char id[5] = {};
    uint32_t frameSize;
    if (major < 3) {
      std::memcpy(id, fh, 3);
      frameSize = (uint32_t(fh[3]) << 16) | (uint32_t(fh[4]) << 8) | fh[5];
    } else {
      std::memcpy(id, fh, 4);
      frameSize = (uint32_t(fh[4]) << 24) | (uint32_t(fh[5]) << 16) | (uint32_t(fh[6]) << 8) | fh[7];
    }
    bool plausible = frameSize >= 1 && frameSize <= 1048575;
    for (int i = 0; i < (major < 3 ? 3 : 4); ++i)
      if (id[i] != 0 && (uint8_t(id[i]) < 32 || uint8_t(id[i]) > 127)) plausible = false;
    // A frame that claims more than the file holds can never be read whole:
    // nothing of its size is allocated, and nothing after it is a frame.
    if (plausible && tagStart + offset + headerBytes + int64_t(frameSize) > fileEnd) break;
    if (plausible) {
      auto *data = static_cast<uint8_t *>(OSND_ALLOC(int(frameSize)));
      if (!data) {
        SystemFile_Seek(f, tagEnd, SEEK_SET);
        return Osnd_Fail(OSND_ERR_MEMORY);
      }
      const bool complete = TagReadExact(f, data, int(frameSize));
      bool added = true;
      if (complete) added = OsndTag_Add(OSND_TAG_ID3V2, id, data, int(frameSize), head);
      OSND_FREE_MEM(data);
      if (!added) {
        SystemFile_Seek(f, tagEnd, SEEK_SET);
        return false;
      }
      offset += headerBytes + int64_t(frameSize);
    } else {
      // Padding or a frame we do not keep: its declared size, when sane, is
      // still skipped so that its data is never read as frame headers.
      if (frameSize == 0 || frameSize > size) break;
      offset += headerBytes + int64_t(frameSize);
    }
  }
  SystemFile_Seek(f, tagEnd, SEEK_SET);
  return true;
}

bool IsAsfHeader(const uint8_t *b) {
  static const uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  return std::memcmp(b, kHeader, 16) == 0;
}

}  // namespace

bool OsndTag_Append(OsndTag **head, OsndTag *node) {
  Osnd_ResetError();
  if (!head || !node) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  node->next = nullptr;
  OsndTag **link = head;
  while (*link) link = &(*link)->next;
  *link = node;
  return true;
}

bool OsndTag_Add(int type, const char *name, const void *value, int valueLength, OsndTag **head) {
  if (!head || !name || valueLength < 0 || (valueLength > 0 && !value)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  const int nameLength = int(SystemString_Length(name));
  auto *node = static_cast<OwnedTag *>(OSND_ALLOC(int(sizeof(OwnedTag)) + nameLength + 1 + valueLength + 1));
  if (!node) return Osnd_Fail(OSND_ERR_MEMORY);
  char *text = reinterpret_cast<char *>(node + 1);
  std::memcpy(text, name, size_t(nameLength) + 1);
  uint8_t *bytes = reinterpret_cast<uint8_t *>(text + nameLength + 1);
  if (valueLength > 0) std::memcpy(bytes, value, size_t(valueLength));
  node->tag = OsndTag{nullptr, type, text, bytes, valueLength};
  node->owned = 1;
  OsndTag **link = head;
  while (*link) link = &(*link)->next;
  *link = &node->tag;
  return true;
}

bool OsndTag_FreeList(OsndTag **head) {
  Osnd_ResetError();
  if (!head || !*head) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  OsndTag *node = *head;
  while (node) {
    OsndTag *next = node->next;
    OSND_FREE_MEM(node);
    node = next;
  }
  *head = nullptr;
  return true;
}

bool OsndTag_Find(OsndTag *first, const char *name, int type, const void **value, int *length) {
  Osnd_ResetError();
  if (!name) return false;
  for (OsndTag *t = first; t; t = t->next) {
    if ((type == -1 || t->type == type) && SystemString_CompareNoCase(t->name, name) == 0 &&
        SystemString_Length(t->name) == SystemString_Length(name)) {
      if (value) *value = t->value;
      if (length) *length = t->valueLength;
      return true;
    }
  }
  return false;
}

bool OsndTag_ReadId3v1(SystemFileHandle *f, OsndTag **head) {
  char b[125];
  if (!TagReadExact(f, b, 125)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  bool ok = AddText(OSND_TAG_ID3V1, "TITLE", b, 30, head) && AddText(OSND_TAG_ID3V1, "ARTIST", b + 30, 30, head) &&
            AddText(OSND_TAG_ID3V1, "ALBUM", b + 60, 30, head) && AddText(OSND_TAG_ID3V1, "YEAR", b + 90, 4, head) &&
            AddText(OSND_TAG_ID3V1, "COMMENT", b + 94, 30, head);
  if (ok && b[94 + 28] == 0 && b[94 + 29] != 0) ok = AddNumber("TRACK", uint8_t(b[94 + 29]), head);
  if (ok) ok = AddNumber("GENRE", uint8_t(b[124]), head);
  return ok;
}

bool OsndTag_ReadId3v2(SystemFileHandle *f, OsndTag **head) {
  const int64_t tagStart = SystemFile_Tell(f) - 3;
  return ReadId3v2Body(f, head, tagStart);
}

bool OsndTag_ReadId3v2Footer(SystemFileHandle *f, OsndTag **head) {
  const int64_t footerStart = SystemFile_Tell(f) - 3;
  uint8_t h[7];
  if (!TagReadExact(f, h, 7)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const int64_t tagStart = footerStart - int64_t(SyncSafe(h + 3)) - 10;
  if (tagStart < 0) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const bool ok = ReadId3v2Body(f, head, tagStart);
  SystemFile_Seek(f, tagStart, SEEK_SET);
  return ok;
}

namespace {

constexpr uint8_t kAsfContentDescription[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kAsfExtendedDescription[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                  0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
// Description objects larger than this are damaged or hostile: skipped.
constexpr uint64_t kAsfMaxDescription = 1u << 20;
constexpr size_t kAsfMaxText = 4096;

uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint64_t Le64(const uint8_t *p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// UTF-16LE text (cut to 4096 bytes) as UTF-8 with its terminator.
std::string AsfText(const uint8_t *p, size_t bytes) {
  bytes = std::min(bytes, kAsfMaxText) & ~size_t(1);
  std::string out;
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    uint32_t c = Le16(p + i);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes) {
      const uint32_t low = Le16(p + i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // a lone half of a pair
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool AddAsfText(const char *name, const std::string &text, OsndTag **head) {
  if (text.empty()) return true;
  return OsndTag_Add(OSND_TAG_ASF, name, text.c_str(), int(text.size()) + 1, head);
}

bool ReadContentDescription(const std::vector<uint8_t> &o, OsndTag **head) {
  static const char *const kNames[5] = {"TITLE", "AUTHOR", "COPYRIGHT", "DESCRIPTION", "RATING"};
  if (o.size() < 34) return true;
  size_t at = 34;
  for (int i = 0; i < 5; ++i) {
    const size_t length = Le16(o.data() + 24 + 2 * i);
    if (at + length > o.size()) break;
    if (length > 0 && !AddAsfText(kNames[i], AsfText(o.data() + at, length), head)) return false;
    at += length;
  }
  return true;
}

bool ReadExtendedDescription(const std::vector<uint8_t> &o, OsndTag **head) {
  if (o.size() < 26) return true;
  const int count = Le16(o.data() + 24);
  size_t at = 26;
  for (int i = 0; i < count && at + 2 <= o.size(); ++i) {
    const size_t nameLength = Le16(o.data() + at);
    at += 2;
    if (at + nameLength + 4 > o.size()) break;
    const std::string name = AsfText(o.data() + at, nameLength);
    at += nameLength;
    const int type = Le16(o.data() + at);
    const size_t valueLength = Le16(o.data() + at + 2);
    at += 4;
    if (at + valueLength > o.size()) break;
    if (!name.empty()) {
      const bool added = type == 0 ? AddAsfText(name.c_str(), AsfText(o.data() + at, valueLength), head)
                                   : OsndTag_Add(OSND_TAG_ASF, name.c_str(), o.data() + at, int(valueLength), head);
      if (!added) return false;
    }
    at += valueLength;
  }
  return true;
}

}  // namespace

bool OsndTag_ReadAsf(SystemFileHandle *f, OsndTag **head) {
  if (!f || !head) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  SystemFile_Seek(f, 0, SEEK_END);
  const int64_t end = SystemFile_Tell(f);
  int64_t position = 0;
  uint8_t object[30];
  // Objects smaller than their own identifier and size end the walk: a
  // damaged size can never make it stand still or go back.
  while (position + 24 <= end) {
    SystemFile_Seek(f, position, SEEK_SET);
    if (!TagReadExact(f, object, 24)) return Osnd_Fail(OSND_ERR_FILE_BAD);
    const uint64_t size = Le64(object + 16);
    if (size < 24 || size > uint64_t(end - position)) break;
    if (IsAsfHeader(object) && size >= 30) {
      int64_t sub = position + 30;
      const int64_t headerEnd = position + int64_t(size);
      while (sub + 24 <= headerEnd) {
        SystemFile_Seek(f, sub, SEEK_SET);
        if (!TagReadExact(f, object, 24)) return Osnd_Fail(OSND_ERR_FILE_BAD);
        const uint64_t subSize = Le64(object + 16);
        if (subSize < 24 || subSize > uint64_t(headerEnd - sub)) break;
        const bool content = std::memcmp(object, kAsfContentDescription, 16) == 0;
        const bool extended = std::memcmp(object, kAsfExtendedDescription, 16) == 0;
        if ((content || extended) && subSize <= kAsfMaxDescription) {
          std::vector<uint8_t> bytes(subSize);
          SystemFile_Seek(f, sub, SEEK_SET);
          if (!TagReadExact(f, bytes.data(), int(subSize))) return Osnd_Fail(OSND_ERR_FILE_BAD);
          if (!(content ? ReadContentDescription(bytes, head) : ReadExtendedDescription(bytes, head)))
            return Osnd_Fail(OSND_ERR_MEMORY);
        }
        sub += int64_t(subSize);
      }
    }
    position += int64_t(size);
  }
  return true;
}

bool OsndTag_ReadTags(SystemFileHandle *f, OsndTag **head) {
  if (!f || !head) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  SystemFile_Seek(f, 0, SEEK_END);
  const int64_t end = SystemFile_Tell(f);
  int64_t tail = 0;
  for (int guard = 0; guard < 64; ++guard) {
    char id[3];
    if (end - tail - 128 >= 0) {
      SystemFile_Seek(f, end - tail - 128, SEEK_SET);
      if (!TagReadExact(f, id, 3)) return Osnd_Fail(OSND_ERR_FILE_BAD);
      if (std::memcmp(id, "TAG", 3) == 0) {
        if (!OsndTag_ReadId3v1(f, head)) return false;
        tail += 128;
        if (end - tail < 129) break;
        continue;
      }
    }
    if (end - tail - 10 < 0) break;
    SystemFile_Seek(f, end - tail - 10, SEEK_SET);
    if (!TagReadExact(f, id, 3)) return Osnd_Fail(OSND_ERR_FILE_BAD);
    if (std::memcmp(id, "3DI", 3) != 0) break;
    if (!OsndTag_ReadId3v2Footer(f, head)) return false;
    const int64_t tagStart = SystemFile_Tell(f);
    if (end - tagStart <= tail) break;  // no progress: a damaged footer
    tail = end - tagStart;
  }
  int64_t position = 0;
  uint8_t b[16];
  for (int guard = 0; guard < 64; ++guard) {
    SystemFile_Seek(f, position, SEEK_SET);
    if (!TagReadExact(f, b, 16)) {
      SystemFile_Seek(f, position, SEEK_SET);
      return end == position ? true : Osnd_Fail(OSND_ERR_FILE_BAD);
    }
    if (std::memcmp(b, "TAG", 3) == 0) {
      SystemFile_Seek(f, position + 3, SEEK_SET);
      if (!OsndTag_ReadId3v1(f, head)) return false;
      position += 128;
    } else if (std::memcmp(b, "ID3", 3) == 0) {
      SystemFile_Seek(f, position + 3, SEEK_SET);
      if (!OsndTag_ReadId3v2(f, head)) return false;
      position = SystemFile_Tell(f);
    } else {
      break;
    }
  }
  if (IsAsfHeader(b)) OsndTag_ReadAsf(f, head);
  SystemFile_Seek(f, position, SEEK_SET);
  return true;
}

bool OsndTag_AddVorbisComments(vorbis_comment *vc, OsndTag **head) {
  if (!vc || !head) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  for (int i = 0; i < vc->comments; ++i) {
    char *comment = vc->user_comments[i];
    if (!comment || !*comment) continue;
    char *equals = std::strchr(comment, '=');
    if (!equals) continue;
    *equals = '\0';
    auto *node = static_cast<OwnedTag *>(OSND_ALLOC(int(sizeof(OwnedTag))));
    if (!node) continue;
    node->tag = OsndTag{nullptr, OSND_TAG_VORBIS, comment, equals + 1, int(std::strlen(equals + 1))};
    OsndTag **link = head;
    while (*link) link = &(*link)->next;
    *link = &node->tag;
  }
  return true;
}

bool OsndTag_SkipId3v2(SystemFileHandle *f) {
  int64_t position = SystemFile_Tell(f);
  for (int guard = 0; guard < 64; ++guard) {
    uint8_t id[10];
    SystemFile_Seek(f, position, SEEK_SET);
    if (!TagReadExact(f, id, 3)) {
      Osnd_SetError(OSND_ERR_FILE_BAD);
      return false;
    }
    if (std::memcmp(id, "TAG", 3) == 0) {
      position += 128;
    } else if (std::memcmp(id, "ID3", 3) == 0) {
      if (!TagReadExact(f, id + 3, 7)) {
        Osnd_SetError(OSND_ERR_FILE_BAD);
        return false;
      }
      position += 10 + int64_t(SyncSafe(id + 6)) + ((id[5] & 0x10) ? 10 : 0);
    } else {
      break;
    }
  }
  SystemFile_Seek(f, position, SEEK_SET);
  return true;
}
