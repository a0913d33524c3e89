// The AIFF reader on files built chunk by chunk here.
#include "SoundTestSupport.h"
#include "sound/src/format/format_aiff.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"

#include <string>
#include <vector>

namespace aiff_reader_test {

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
void Put16(Bytes &b, uint32_t v) {
  b.push_back(uint8_t(v >> 8));
  b.push_back(uint8_t(v));
}
void Put32(Bytes &b, uint32_t v) {
  Put16(b, v >> 16);
  Put16(b, v & 0xFFFF);
}

void Chunk(Bytes &b, const std::string &id, const Bytes &data) {
  Put(b, id);
  Put32(b, uint32_t(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
}

// 80-bit extended of a whole rate below 2^31.
Bytes Extended(uint32_t rate) {
  int exponent = 16383 + 31;
  while (!(rate & 0x80000000u)) {
    rate <<= 1;
    --exponent;
  }
  Bytes b;
  Put16(b, uint32_t(exponent));
  Put32(b, rate);
  Put32(b, 0);
  return b;
}

Bytes Comm(int channels, uint32_t frames, int bits, uint32_t rate = 22050) {
  Bytes c;
  Put16(c, uint32_t(channels));
  Put32(c, frames);
  Put16(c, uint32_t(bits));
  const Bytes e = Extended(rate);
  c.insert(c.end(), e.begin(), e.end());
  return c;
}

Bytes Ssnd(const Bytes &data) {
  Bytes s(8, 0);
  s.insert(s.end(), data.begin(), data.end());
  return s;
}

Bytes Inst(int begin, int end) {
  Bytes i(10, 0);
  Put16(i, uint32_t(uint16_t(begin)));
  Put16(i, uint32_t(uint16_t(end)));
  i.resize(20, 0);
  return i;
}

struct Marker {
  uint16_t id;
  uint32_t position;
  std::string name;
};

Bytes Mark(const std::vector<Marker> &markers) {
  Bytes m;
  Put16(m, uint32_t(markers.size()));
  for (const Marker &k : markers) {
    Put16(m, k.id);
    Put32(m, k.position);
    m.push_back(uint8_t(k.name.size()));
    Put(m, k.name);
    if ((k.name.size() & 1) == 0) m.push_back(0);
  }
  return m;
}

Bytes Form(const std::vector<std::pair<std::string, Bytes>> &chunks, const std::string &type = "AIFF") {
  Bytes body;
  Put(body, type);
  for (const auto &c : chunks) Chunk(body, c.first, c.second);
  Bytes b;
  Put(b, "FORM");
  Put32(b, uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Frames(int count) {
  Bytes d;
  for (int i = 0; i < count; ++i) Put16(d, uint32_t(i * 3));
  return d;
}

class AiffReader : public CapturedEngine {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }
  OSND_SAMPLE *Load(const Bytes &b, unsigned mode = 0) {
    return OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY | mode, 0,
                            int(b.size()));
  }
  OSND_STREAM *Stream(const Bytes &b) {
    return OSND_Stream_Open(reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY, 0, int(b.size()));
  }
  // Walks a file's chunks with a fresh sync list (the previous walk's points
  // are freed first); the last list is freed by the fixture.
  bool Walk(const Bytes &b, AiffInfo *info) {
    SystemFileHandle *f = SystemFile_Open(b.data(), SYSTEMFILE_MEMORY, int(b.size()));
    EXPECT_NE(f, nullptr);
    OsndStream_FreeSyncPoints(&sync);
    OsndStream_InitSyncPointList(&sync);
    *info = AiffInfo{};
    const bool ok = FormatAiff_WalkChunks(f, info, &sync);
    SystemFile_Close(f);
    return ok;
  }
  void TearDown() override {
    OsndStream_FreeSyncPoints(&sync);
    CapturedEngine::TearDown();
  }
  std::vector<std::pair<uint32_t, std::string>> Points() {
    std::vector<std::pair<uint32_t, std::string>> out;
    for (OsndSyncPoint *p = sync.head.next; p && p != &sync.tail; p = p->next) out.emplace_back(p->offset, p->name);
    return out;
  }
  OsndSyncList sync{};
};

}  // namespace

TEST(AiffExtended, RatesDecodeFromTheEightyBitValue) {
  const uint8_t r44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(r44100), 44100.0);
  const uint8_t r8000[10] = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(r8000), 8000.0);
  // 11025.25 and 11024.75 truncate toward zero; a negative value keeps its sign.
  const uint8_t above[10] = {0x40, 0x0C, 0xAC, 0x45, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(above), 11025.0);
  const uint8_t below[10] = {0x40, 0x0C, 0xAC, 0x43, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(below), 11024.0);
  const uint8_t negative[10] = {0xC0, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(negative), -8000.0);
  const uint8_t zero[10] = {};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(zero), 0.0);
  const uint8_t infinity[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatAiff_ExtendedToDouble(infinity), 0.0);
}

TEST_F(AiffReader, SixteenBitStereoLoadsWithEveryWordSwapped) {
  Bytes data;
  for (int v : {0x0102, 0x0304, -2, 0x7FFF, -32768, 5, 0x1234, -0x1234}) Put16(data, uint32_t(uint16_t(v)));
  OSND_SAMPLE *s = Load(Form({{"COMM", Comm(2, 4, 16, 44100)}, {"SSND", Ssnd(data)}}));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->length, 4u);
  EXPECT_TRUE(s->mode & OSND_MODE_STEREO);
  EXPECT_TRUE(s->mode & OSND_MODE_16BITS);
  EXPECT_EQ(s->defFrequency, 44100);
  EXPECT_EQ(s->defPan, -1);
  const auto *v = reinterpret_cast<const int16_t *>(s->data);
  const std::vector<int16_t> got(v, v + 8);
  EXPECT_EQ(got, (std::vector<int16_t>{0x0102, 0x0304, -2, 0x7FFF, -32768, 5, 0x1234, -0x1234}));
  EXPECT_EQ(s->loopStart, 0u);
  EXPECT_EQ(s->loopLength, 4u);
  OSND_Sample_Free(s);
}

TEST_F(AiffReader, EightBitMonoKeepsItsSignedBytes) {
  const Bytes data = {0x00, 0x7F, 0x80, 0xFF, 0x10};
  OSND_SAMPLE *s = Load(Form({{"COMM", Comm(1, 5, 8)}, {"SSND", Ssnd(data)}}));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->length, 5u);
  EXPECT_TRUE(s->mode & OSND_MODE_8BITS);
  EXPECT_TRUE(s->mode & OSND_MODE_SIGNED);
  EXPECT_EQ(s->defPan, 128);
  EXPECT_EQ(Bytes(s->data, s->data + 5), data);
  OSND_Sample_Free(s);
}

TEST_F(AiffReader, MarkersAfterAnOddSoundChunkAreAllRead) {
  const Bytes odd = {1, 2, 3, 4, 5, 6, 7};  // 8-bit mono, 7 frames: SSND of 15 bytes
  AiffInfo info;
  const Bytes file = Form({{"COMM", Comm(1, 7, 8)},
                           {"SSND", Ssnd(odd)},
                           {"MARK", Mark({{1, 2, "ab"}, {2, 3, "odd"}, {3, 99, ""}, {4, 6, "last"}})}});
  ASSERT_TRUE(Walk(file, &info));
  EXPECT_EQ(info.dataLength, 7u);
  EXPECT_EQ(info.dataOffset, 12 + 8 + 18 + 8 + 8);
  // The marker past the last frame moves to it.
  EXPECT_EQ(Points(), (std::vector<std::pair<uint32_t, std::string>>{{2, "ab"}, {3, "odd"}, {6, ""}, {6, "last"}}));
}

TEST_F(AiffReader, SustainLoopComesFromTheMarkersTheInstrumentNames) {
  const Bytes file = Form({{"COMM", Comm(1, 16, 16)},
                           {"INST", Inst(2, 3)},
                           {"MARK", Mark({{7, 1, "a"}, {8, 4, "start"}, {9, 12, "end"}})},
                           {"SSND", Ssnd(Frames(16))}});
  OSND_SAMPLE *s = Load(file);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->loopStart, 4u);
  EXPECT_EQ(s->loopLength, 9u);
  EXPECT_TRUE(s->mode & OSND_MODE_LOOP_NORMAL);
  OSND_Sample_Free(s);

  // Asked for no loop, the points stay but the sample does not loop.
  s = Load(file, OSND_MODE_LOOP_OFF);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->loopStart, 4u);
  EXPECT_FALSE(s->mode & OSND_MODE_LOOP_NORMAL);
  OSND_Sample_Free(s);

  // A begin marker number 0 counts from the first marker, the end one later.
  AiffInfo info;
  ASSERT_TRUE(Walk(Form({{"COMM", Comm(1, 16, 16)},
                         {"INST", Inst(0, 1)},
                         {"MARK", Mark({{1, 3, "x"}, {2, 9, "y"}})},
                         {"SSND", Ssnd(Frames(16))}}),
                   &info));
  EXPECT_EQ(info.loopStart, 3u);
  EXPECT_EQ(info.loopEnd, 9u);

  // An instrument chunk after the markers resolves nothing.
  ASSERT_TRUE(Walk(Form({{"COMM", Comm(1, 16, 16)},
                         {"MARK", Mark({{1, 3, "x"}, {2, 9, "y"}})},
                         {"INST", Inst(1, 2)},
                         {"SSND", Ssnd(Frames(16))}}),
                   &info));
  EXPECT_EQ(info.loopStart, 0u);
  EXPECT_EQ(info.loopEnd, 0u);
  s = Load(Form({{"COMM", Comm(1, 16, 16)},
                 {"MARK", Mark({{1, 3, "x"}, {2, 9, "y"}})},
                 {"INST", Inst(1, 2)},
                 {"SSND", Ssnd(Frames(16))}}));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->loopStart, 0u);
  EXPECT_EQ(s->loopLength, 16u);
  OSND_Sample_Free(s);
}

TEST_F(AiffReader, OtherFormsAndSampleSizesAreRefused) {
  const Bytes data = Ssnd(Frames(8));
  // AIFF-C, 24-bit and four-channel files are not played: every reader refuses them.
  for (const Bytes &file : {Form({{"COMM", Comm(1, 8, 16)}, {"SSND", data}}, "AIFC"),
                            Form({{"COMM", Comm(1, 4, 24)}, {"SSND", data}}),
                            Form({{"COMM", Comm(4, 2, 16)}, {"SSND", data}}),
                            Form({{"COMM", Comm(1, 8, 16)}})}) {
    EXPECT_EQ(Load(file), nullptr);
    EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
    EXPECT_EQ(Stream(file), nullptr);
  }
  AiffInfo info;
  EXPECT_FALSE(Walk(Form({{"COMM", Comm(1, 8, 16)}}), &info));
  EXPECT_EQ(info.dataOffset, 0);
  // A file cut inside a chunk header or the "COMM" chunk is damaged.
  Bytes cut = Form({{"COMM", Comm(1, 8, 16)}, {"SSND", data}});
  cut.resize(12 + 8 + 10);
  gOsndError.lastError = OSND_ERR_NONE;
  EXPECT_FALSE(Walk(cut, &info));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  // Too short to be anything but the start of a FORM.
  gOsndError.lastError = OSND_ERR_NONE;
  EXPECT_FALSE(Walk(Bytes{'F', 'O', 'R', 'M', 0, 0}, &info));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  EXPECT_FALSE(Walk(Bytes{'R', 'I', 'F', 'F'}, &info));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
}

TEST_F(AiffReader, SoundDataShorterThanItsChunkFailsTheLoad) {
  Bytes file = Form({{"COMM", Comm(1, 8, 16)}, {"SSND", Ssnd(Frames(8))}});
  file.resize(file.size() - 5);
  EXPECT_EQ(Load(file), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
}

TEST_F(AiffReader, StreamsSwapWordsAndCarryMarkersAndLoop) {
  const Bytes frames = Frames(3000);
  const Bytes file = Form({{"COMM", Comm(1, 3000, 16, 8000)},
                           {"INST", Inst(1, 2)},
                           {"MARK", Mark({{1, 100, "in"}, {2, 2000, "out"}})},
                           {"SSND", Ssnd(frames)}});
  OSND_STREAM *s = Stream(file);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->lengthPcm, 3000u);
  EXPECT_EQ(s->loopStart, 100u);
  EXPECT_EQ(s->loopEnd, 2000u);
  OsndSyncPoint *first = OsndStream_GetSyncPoint(&s->sync, 1);
  ASSERT_NE(first, &s->sync.tail);
  EXPECT_STREQ(first->name, "in");
  EXPECT_EQ(first->offset, 100u);

  // Decoding from the start gives the big-endian words in machine order; an
  // odd request never splits a sample.
  ASSERT_TRUE(OsndStream_Seek(s, 0, 0, true));
  std::vector<int16_t> out(3000);
  int bytes = 1001;
  EXPECT_TRUE(FormatAiff_Read(s, nullptr, 0, reinterpret_cast<uint8_t *>(out.data()), &bytes));
  EXPECT_EQ(bytes, 1000);
  int rest = 6000;
  EXPECT_FALSE(FormatAiff_Read(s, nullptr, 0, reinterpret_cast<uint8_t *>(out.data()) + 1000, &rest));
  EXPECT_EQ(rest, 5000);  // bounded by the end of the sound data
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(out[size_t(i)], int16_t(i * 3)) << i;
  EXPECT_TRUE(OSND_Stream_Close(s));
}

// A sound chunk that claims far more than the file holds (here a 118-byte
// file whose "SSND" says 2,147,483,000 bytes) costs no allocation of that
// size: a sample load refuses it as damaged before allocating, and a stream
// plays what the file holds, with its length cut to that.
TEST_F(AiffReader, ASoundChunkClaimingMoreThanTheFileIsCutToTheFile) {
  Bytes file = Form({{"COMM", Comm(1, 32, 16, 8000)}, {"SSND", Ssnd(Frames(32))}});
  ASSERT_EQ(file.size(), 118u);
  const uint32_t claim = 2147483000u;
  for (int i = 0; i < 4; ++i) file[42 + size_t(i)] = uint8_t(claim >> (24 - 8 * i));
  ASSERT_EQ(std::string(file.begin() + 38, file.begin() + 42), "SSND");

  AiffInfo info;
  ASSERT_TRUE(Walk(file, &info));
  EXPECT_EQ(info.dataOffset, 54);
  EXPECT_EQ(info.dataLength, 64u);  // 118 - 54

  gOsndMemory.peakBytes = gOsndMemory.bytesInUse;
  const int64_t before = gOsndMemory.bytesInUse;
  EXPECT_EQ(Load(file), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  OSND_STREAM *s = Stream(file);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->lengthPcm, 32u);
  EXPECT_TRUE(OSND_Stream_Close(s));
  EXPECT_LT(gOsndMemory.peakBytes - before, 4 << 20) << "bytes allocated for a 118-byte file";
}

}  // namespace aiff_reader_test
