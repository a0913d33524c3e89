// Tag lists and the ID3 readers, on files built byte by byte here.
#include "SoundTestSupport.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/system/system_file.h"

#include <vorbis/codec.h>

#include <cstring>
#include <string>
#include <vector>

namespace tag_test {

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
void Put32BE(Bytes &b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
void Put32LE(Bytes &b, uint32_t v) {
  for (int s = 0; s < 32; s += 8) b.push_back(uint8_t(v >> s));
}
void PutSyncSafe(Bytes &b, uint32_t v) {
  for (int s = 21; s >= 0; s -= 7) b.push_back(uint8_t((v >> s) & 0x7F));
}

Bytes Id3v1(const std::string &title, const std::string &artist, uint8_t track, uint8_t genre) {
  Bytes b;
  Put(b, "TAG");
  auto field = [&](const std::string &s, size_t width) {
    for (size_t i = 0; i < width; ++i) b.push_back(i < s.size() ? uint8_t(s[i]) : 0);
  };
  field(title, 30);
  field(artist, 30);
  field("", 30);
  field("1999", 4);
  field("hi", 28);
  b.push_back(0);
  b.push_back(track);
  b.push_back(genre);
  return b;
}

// An ID3v2.3 tag with text frames (encoding byte 0), one junk frame between them.
Bytes Id3v23(const std::vector<std::pair<std::string, std::string>> &frames) {
  Bytes body;
  for (size_t i = 0; i < frames.size(); ++i) {
    Put(body, frames[i].first);
    Put32BE(body, uint32_t(frames[i].second.size() + 1));
    body.push_back(0);
    body.push_back(0);
    body.push_back(0);
    Put(body, frames[i].second);
    if (i == 0) {  // a frame with an unprintable identifier: skipped with its data
      body.insert(body.end(), {0x01, 'X', 'Y', 'Z'});
      Put32BE(body, 4);
      body.insert(body.end(), {0, 0, 'T', 'I', 'T', '2'});
    }
  }
  Bytes tag;
  Put(tag, "ID3");
  tag.insert(tag.end(), {3, 0, 0});
  PutSyncSafe(tag, uint32_t(body.size()));
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

Bytes Wav16(const std::vector<int16_t> &samples) {
  Bytes b;
  Put(b, "RIFF");
  Put32LE(b, uint32_t(36 + samples.size() * 2));
  Put(b, "WAVEfmt ");
  Put32LE(b, 16);
  b.insert(b.end(), {1, 0, 1, 0});
  Put32LE(b, 44100);
  Put32LE(b, 88200);
  b.insert(b.end(), {2, 0, 16, 0});
  Put(b, "data");
  Put32LE(b, uint32_t(samples.size() * 2));
  for (int16_t s : samples) {
    b.push_back(uint8_t(s & 0xFF));
    b.push_back(uint8_t((s >> 8) & 0xFF));
  }
  return b;
}

std::string Text(const OsndTag *t) { return std::string(static_cast<const char *>(t->value), size_t(t->valueLength)); }

class Tags : public CapturedEngine {
 protected:
  void TearDown() override {
    if (tags) OsndTag_FreeList(&tags);
    CapturedEngine::TearDown();
  }
  OsndTag *tags = nullptr;
};

}  // namespace

TEST_F(Tags, FindIgnoresCaseAndHonoursTheType) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(OsndTag_Add(OSND_TAG_ID3V1, "TITLE", "one", 4, &tags));
  ASSERT_TRUE(OsndTag_Add(OSND_TAG_ID3V2, "TITLE", "two", 4, &tags));
  const void *value = nullptr;
  int length = 0;
  ASSERT_TRUE(OsndTag_Find(tags, "title", -1, &value, &length));
  EXPECT_STREQ(static_cast<const char *>(value), "one");
  ASSERT_TRUE(OsndTag_Find(tags, "Title", OSND_TAG_ID3V2, &value, &length));
  EXPECT_STREQ(static_cast<const char *>(value), "two");
  EXPECT_FALSE(OsndTag_Find(tags, "TITL", -1, nullptr, nullptr));
  EXPECT_FALSE(OsndTag_Find(tags, "TITLE", OSND_TAG_VORBIS, nullptr, nullptr));
  EXPECT_FALSE(OsndTag_Append(nullptr, tags));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  OsndTag *empty = nullptr;
  EXPECT_FALSE(OsndTag_FreeList(&empty));
}

TEST_F(Tags, VorbisCommentsSplitAtTheFirstEquals) {
  ASSERT_TRUE(Start());
  char a[] = "ARTIST=Marlowe", b[] = "no equals here", c[] = "NOTE=a=b";
  char *list[] = {a, b, c};
  int lengths[] = {int(strlen(a)), int(strlen(b)), int(strlen(c))};
  vorbis_comment vc{list, lengths, 3, nullptr};
  ASSERT_TRUE(OsndTag_AddVorbisComments(&vc, &tags));
  ASSERT_NE(tags, nullptr);
  EXPECT_STREQ(tags->name, "ARTIST");
  EXPECT_EQ(Text(tags), "Marlowe");
  EXPECT_EQ(tags->valueLength, 7);
  ASSERT_NE(tags->next, nullptr);
  EXPECT_STREQ(tags->next->name, "NOTE");
  EXPECT_EQ(Text(tags->next), "a=b");
  EXPECT_EQ(tags->next->next, nullptr);
}

TEST_F(Tags, Id3AtBothEndsOfAFileAreReadAndTheFileLeftAtTheAudio) {
  ASSERT_TRUE(Start());
  Bytes file = Id3v23({{"TIT2", "Harbour"}, {"TPE1", "Wren"}});
  const size_t audio = file.size();
  const Bytes wav = Wav16(std::vector<int16_t>(500, 1234));
  file.insert(file.end(), wav.begin(), wav.end());
  const Bytes v1 = Id3v1("Old title", "Old artist", 7, 255);
  file.insert(file.end(), v1.begin(), v1.end());

  SystemFileHandle *f = SystemFile_Open(file.data(), SYSTEMFILE_MEMORY, int(file.size()));
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(OsndTag_ReadTags(f, &tags));
  EXPECT_EQ(SystemFile_Tell(f), int64_t(audio));
  SystemFile_Close(f);
  std::vector<std::string> names;
  for (OsndTag *t = tags; t; t = t->next) names.emplace_back(t->name);
  EXPECT_EQ(names, (std::vector<std::string>{"TITLE", "ARTIST", "YEAR", "COMMENT", "TRACK", "GENRE", "TIT2", "TPE1"}));
  const void *value = nullptr;
  ASSERT_TRUE(OsndTag_Find(tags, "TRACK", -1, &value, nullptr));
  EXPECT_STREQ(static_cast<const char *>(value), "7");
  ASSERT_TRUE(OsndTag_Find(tags, "GENRE", -1, &value, nullptr));
  EXPECT_STREQ(static_cast<const char *>(value), "255");
  int length = 0;
  ASSERT_TRUE(OsndTag_Find(tags, "TIT2", OSND_TAG_ID3V2, &value, &length));
  EXPECT_EQ(length, 8);  // the encoding byte and the text
  EXPECT_EQ(std::string(static_cast<const char *>(value) + 1, 7), "Harbour");

  // The stream opener skips the leading tag, reads the WAV behind it and
  // titles the stream from the ID3v2 frames.
  OSND_STREAM *s = OSND_Stream_Open(reinterpret_cast<const char *>(file.data()), OSND_MODE_MEMORY, 0, int(file.size()));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_STREQ(s->sample->name, "Wren - Harbour");  // the ID3v2 frames come before any-type names
  EXPECT_EQ(s->lengthPcm, 500u);
  OSND_Stream_Close(s);
}

TEST_F(Tags, Id3v22FramesUseThreeLetterIdentifiers) {
  ASSERT_TRUE(Start());
  Bytes body;
  for (const char *id : {"TT2", "TP1"}) {
    Put(body, id);
    body.insert(body.end(), {0, 0, 4, 0, 'a', 'b', 'c'});
  }
  Bytes tag;
  Put(tag, "ID3");
  tag.insert(tag.end(), {2, 0, 0});
  PutSyncSafe(tag, uint32_t(body.size()));
  tag.insert(tag.end(), body.begin(), body.end());
  const Bytes wav = Wav16(std::vector<int16_t>(16, 1));
  tag.insert(tag.end(), wav.begin(), wav.end());
  SystemFileHandle *f = SystemFile_Open(tag.data(), SYSTEMFILE_MEMORY, int(tag.size()));
  ASSERT_TRUE(OsndTag_ReadTags(f, &tags));
  EXPECT_EQ(SystemFile_Tell(f), int64_t(10 + body.size()));
  SystemFile_Close(f);
  ASSERT_NE(tags, nullptr);
  EXPECT_STREQ(tags->name, "TT2");
  EXPECT_EQ(tags->valueLength, 4);
  ASSERT_NE(tags->next, nullptr);
  EXPECT_STREQ(tags->next->name, "TP1");
}

TEST_F(Tags, SampleLoadSkipsLeadingTagsAndDamagedTagsFailCleanly) {
  ASSERT_TRUE(Start());
  Bytes file = Id3v23({{"TIT2", "x"}});
  const Bytes wav = Wav16({100, 200, 300});
  file.insert(file.end(), wav.begin(), wav.end());
  OSND_SAMPLE *s = OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char *>(file.data()), OSND_MODE_MEMORY, 0,
                                    int(file.size()));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(OSND_Sample_GetLength(s), 3);
  OSND_Sample_Free(s);
  // A tag whose size runs past the file: nothing beyond it is read.
  Bytes broken = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 'T', 'I', 'T', '2', 0x7F, 0xFF, 0xFF, 0xFF};
  SystemFileHandle *f = SystemFile_Open(broken.data(), SYSTEMFILE_MEMORY, int(broken.size()));
  OsndTag_ReadTags(f, &tags);
  EXPECT_EQ(tags, nullptr);
  SystemFile_Close(f);
}

// An ID3v2 frame that claims far more than its file holds (a million bytes in
// a 22-byte file) costs no allocation of that size, and no tag.
TEST_F(Tags, AFrameClaimingMoreThanTheFileIsNotAllocated) {
  ASSERT_TRUE(Start());
  Bytes file = {'I', 'D', '3', 3, 0, 0};
  PutSyncSafe(file, 2000000);
  Put(file, "TIT2");
  Put32BE(file, 1000000);
  file.insert(file.end(), {0, 0, 'a', 'b'});
  ASSERT_EQ(file.size(), 22u);
  gOsndMemory.peakBytes = gOsndMemory.bytesInUse;
  const int64_t before = gOsndMemory.bytesInUse;
  SystemFileHandle *f = SystemFile_Open(file.data(), SYSTEMFILE_MEMORY, int(file.size()));
  OsndTag_ReadTags(f, &tags);
  SystemFile_Close(f);
  EXPECT_EQ(tags, nullptr);
  EXPECT_LT(gOsndMemory.peakBytes - before, 65536) << "bytes allocated for a 22-byte file";
}

}  // namespace tag_test
