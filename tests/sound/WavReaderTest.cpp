// The WAV reader on files built chunk by chunk here.
#include "SoundTestSupport.h"
#include "sound/src/format/format_wav.h"
#include "sound/src/stream/osnd_stream.h"

#include <string>
#include <vector>

namespace wav_reader_test {

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
void Put16(Bytes &b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes &b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void Chunk(Bytes &b, const std::string &id, const Bytes &data) {
  Put(b, id);
  Put32(b, uint32_t(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
}

Bytes Fmt(int tag, int channels, int bits, int extraTag = 0) {
  Bytes f;
  Put16(f, uint32_t(tag));
  Put16(f, uint32_t(channels));
  Put32(f, 8000);
  Put32(f, uint32_t(8000 * channels * bits / 8));
  Put16(f, uint32_t(channels * bits / 8));
  Put16(f, uint32_t(bits));
  if (tag == 0xFFFE) {
    Put16(f, 22);
    Put16(f, uint32_t(bits));
    Put32(f, 3);
    Put16(f, uint32_t(extraTag));
    for (int i = 0; i < 14; ++i) f.push_back(0);
  }
  return f;
}

Bytes Riff(const std::vector<std::pair<std::string, Bytes>> &chunks) {
  Bytes body;
  Put(body, "WAVE");
  for (const auto &c : chunks) Chunk(body, c.first, c.second);
  Bytes b;
  Put(b, "RIFF");
  Put32(b, uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Pcm16(std::initializer_list<int16_t> v) {
  Bytes b;
  for (int16_t s : v) Put16(b, uint16_t(s));
  return b;
}

Bytes Smpl(uint32_t start, uint32_t end, size_t size = 60) {
  Bytes b(44, 0);
  Put32(b, start);
  Put32(b, end);
  b.resize(size, 0);
  return b;
}

class WavReader : public CapturedEngine {
 protected:
  OSND_SAMPLE *Load(const Bytes &b, unsigned mode = 0) {
    return OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY | mode, 0,
                            int(b.size()));
  }
  static int16_t At(OSND_SAMPLE *s, int i) { return reinterpret_cast<const int16_t *>(s->data)[i]; }
};

bool CountEnd(OSND_STREAM *, void *, int, void *user) {
  ++*static_cast<int *>(user);
  return true;
}

}  // namespace

TEST_F(WavReader, OddChunksArePaddedAndOnlyTheFirstDataChunkCounts) {
  ASSERT_TRUE(Start());
  const Bytes file = Riff({{"fmt ", Fmt(1, 1, 16)}, {"junk", Bytes{1, 2, 3}}, {"data", Pcm16({10, 20, 30})},
                           {"data", Pcm16({99, 99, 99, 99, 99})}});
  OSND_SAMPLE *s = Load(file);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(OSND_Sample_GetLength(s), 3);
  EXPECT_EQ(At(s, 0), 10);
  EXPECT_EQ(At(s, 2), 30);
  OSND_Sample_Free(s);
}

TEST_F(WavReader, SmplLoopsNeedTheWholeHeader) {
  ASSERT_TRUE(Start());
  const Bytes data = Pcm16({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  OSND_SAMPLE *looped = Load(Riff({{"fmt ", Fmt(1, 1, 16)}, {"smpl", Smpl(2, 7)}, {"data", data}}));
  ASSERT_NE(looped, nullptr);
  EXPECT_EQ(looped->loopStart, 2u);
  EXPECT_EQ(looped->loopLength, 6u);
  EXPECT_TRUE(looped->mode & OSND_MODE_LOOP_NORMAL);
  OSND_SAMPLE *shortSmpl = Load(Riff({{"fmt ", Fmt(1, 1, 16)}, {"smpl", Smpl(2, 7, 59)}, {"data", data}}));
  ASSERT_NE(shortSmpl, nullptr);
  EXPECT_EQ(shortSmpl->loopStart, 0u);
  EXPECT_EQ(shortSmpl->loopLength, 10u);
  EXPECT_FALSE(shortSmpl->mode & OSND_MODE_LOOP_NORMAL);
  OSND_Sample_Free(looped);
  OSND_Sample_Free(shortSmpl);
}

TEST_F(WavReader, ExtensiblePcmAndEightBitLoadDirectly) {
  ASSERT_TRUE(Start());
  OSND_SAMPLE *ext = Load(Riff({{"fmt ", Fmt(0xFFFE, 2, 16, 1)}, {"data", Pcm16({-1, 2, -3, 4})}}));
  ASSERT_NE(ext, nullptr) << OSND_GetError();
  EXPECT_TRUE(ext->mode & OSND_MODE_STEREO);
  EXPECT_EQ(OSND_Sample_GetLength(ext), 2);
  EXPECT_EQ(At(ext, 2), -3);
  OSND_Sample_Free(ext);

  Bytes eight(1000);
  for (size_t i = 0; i < eight.size(); ++i) eight[i] = uint8_t(i);
  OSND_SAMPLE *s = Load(Riff({{"fmt ", Fmt(1, 1, 8)}, {"data", eight}}));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(OSND_Sample_GetLength(s), 1000);
  EXPECT_TRUE(s->mode & OSND_MODE_SIGNED);
  EXPECT_EQ(int8_t(s->data[0]), -128);  // unsigned 0 is the most negative value
  EXPECT_EQ(int8_t(s->data[200]), 200 - 128);
  OSND_Sample_Free(s);
}

TEST_F(WavReader, CuePointsBecomeSyncPointsNamedByTheirLabels) {
  ASSERT_TRUE(Start());
  Bytes cue;
  Put32(cue, 2);
  for (uint32_t id : {7u, 9u}) {
    Put32(cue, id);
    for (int i = 0; i < 4; ++i) Put32(cue, 0);
    Put32(cue, id * 100);
  }
  Bytes list;
  Put(list, "adtl");
  Bytes label;
  Put32(label, 9);
  Put(label, std::string(300, 'n'));
  label.push_back(0);
  Chunk(list, "labl", label);
  Bytes shortLabel;
  Put32(shortLabel, 7);
  Put(shortLabel, "intro");
  shortLabel.push_back(0);
  Chunk(list, "labl", shortLabel);
  const Bytes file = Riff({{"fmt ", Fmt(1, 1, 16)}, {"cue ", cue}, {"LIST", list}, {"data", Bytes(4000, 0)}});
  OSND_STREAM *s = OSND_Stream_Open(reinterpret_cast<const char *>(file.data()), OSND_MODE_MEMORY, 0, int(file.size()));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  OsndSyncPoint *first = OsndStream_GetSyncPoint(&s->sync, 1);
  OsndSyncPoint *second = OsndStream_GetSyncPoint(&s->sync, 2);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->offset, 700u);
  EXPECT_STREQ(first->name, "intro");
  EXPECT_EQ(second->offset, 900u);
  EXPECT_EQ(std::string(second->name), std::string(255, 'n'));
  EXPECT_EQ(OsndStream_GetSyncPoint(&s->sync, 3), &s->sync.tail);
  OSND_Stream_Close(s);
}

TEST_F(WavReader, DamagedAndForeignDataIsRefusedWithoutACrash) {
  ASSERT_TRUE(Start());
  const Bytes garbage = {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0x7F, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  EXPECT_EQ(Load(garbage), nullptr);
  EXPECT_TRUE(OSND_GetError() == OSND_ERR_FILE_FORMAT || OSND_GetError() == OSND_ERR_FILE_BAD);
  const Bytes noise(3000, 0x5A);
  EXPECT_EQ(Load(noise), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  // IMA ADPCM whose blocks cannot hold their samples, and MPEG inside WAV.
  Bytes ima = Fmt(0x11, 1, 4);
  ima[12] = 8;  // block align 8
  Put16(ima, 2);
  Put16(ima, 505);
  EXPECT_EQ(Load(Riff({{"fmt ", ima}, {"data", Bytes(64, 0)}})), nullptr);
  EXPECT_EQ(Load(Riff({{"fmt ", Fmt(0x55, 2, 16)}, {"data", Bytes(64, 0)}})), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  // A data size beyond the file is cut to what is there.
  Bytes cut = Riff({{"fmt ", Fmt(1, 1, 16)}, {"data", Pcm16({5, 6, 7, 8})}});
  cut[cut.size() - 12] = 0xFF;  // data chunk size low byte
  OSND_SAMPLE *s = Load(cut);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(OSND_Sample_GetLength(s), 4);
  OSND_Sample_Free(s);
}

TEST_F(WavReader, LoopingStreamWithoutSoundEndsInsteadOfSpinning) {
  ASSERT_TRUE(Start());
  const Bytes file = Riff({{"fmt ", Fmt(1, 2, 16)}, {"data", Bytes()}});
  OSND_STREAM *s = OSND_Stream_Open(reinterpret_cast<const char *>(file.data()),
                                    OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL, 0, int(file.size()));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  int ends = 0;
  OsndStream_SetEndCallback(s, CountEnd, &ends);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(40);
  EXPECT_EQ(ends, 1);
  OSND_Stream_Close(s);
}

}  // namespace wav_reader_test
