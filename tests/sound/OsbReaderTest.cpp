// The sample-bank reader on banks built here.
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/format/format_imaadpcm.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"

#include <string>
#include <vector>

namespace osb_reader_test {

namespace {

using Bytes = std::vector<uint8_t>;

class OsbReader : public CapturedEngine {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }
  OSND_SAMPLE *Load(const Bytes &b, unsigned mode = 0, int index = OSND_FREE) {
    return OSND_Sample_Load(index, reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY | mode, 0,
                            int(b.size()));
  }
  OSND_STREAM *Stream(const Bytes &b, unsigned mode = 0) {
    return OSND_Stream_Open(reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY | mode, 0, int(b.size()));
  }
  bool Open(const Bytes &b, OsbOpenResult *r) {
    SystemFileHandle *f = SystemFile_Open(b.data(), SYSTEMFILE_MEMORY, int(b.size()));
    EXPECT_NE(f, nullptr);
    *r = OsbOpenResult{};
    gOsndError.lastError = OSND_ERR_NONE;
    const bool ok = FormatOsb_Open(f, r, nullptr);
    SystemFile_Close(f);
    return ok;
  }
  // The sample's data as a lock shows it (without the loop guard frame).
  static std::vector<int16_t> Words(OSND_SAMPLE *s) {
    void *p1 = nullptr, *p2 = nullptr;
    unsigned l1 = 0, l2 = 0;
    EXPECT_TRUE(OSND_Sample_Lock(s, 0, int(SoundSoftware_SampleBytes(s)), &p1, &p2, &l1, &l2));
    const auto *p = static_cast<const int16_t *>(p1);
    std::vector<int16_t> out(p, p + l1 / 2);
    OSND_Sample_Unlock(s, p1, p2, l1, l2);
    return out;
  }
  static std::vector<int16_t> Words(const Bytes &b) {
    std::vector<int16_t> out(b.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = int16_t(b[2 * i] | b[2 * i + 1] << 8);
    return out;
  }
};

}  // namespace

TEST_F(OsbReader, OneSampleBankLoadsUnlistedWithItsHeader) {
  Entry e = Pcm16(300);
  e.name = "bell";
  e.loopStart = 10;
  e.loopEnd = 200;
  e.mode = OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_LOOP_NORMAL;
  for (uint32_t version : {0u, OSB_VERSION_30, OSB_VERSION_31}) {
    OSND_SAMPLE *s = Load(Bank({e}, version), 0, 5);
    ASSERT_NE(s, nullptr) << version << " error " << OSND_GetError();
    EXPECT_EQ(s->index, -2);
    EXPECT_EQ(gOsnd.samples[5], nullptr);
    EXPECT_STREQ(s->name, "bell");
    EXPECT_EQ(s->length, 300u);
    EXPECT_EQ(s->defFrequency, 22050);
    EXPECT_EQ(s->defVolume, 200);
    EXPECT_EQ(s->defPan, 64);
    EXPECT_EQ(s->defPriority, 100);
    EXPECT_EQ(s->loopStart, 10u);
    EXPECT_EQ(s->loopLength, 191u);
    EXPECT_TRUE(s->mode & OSND_MODE_LOOP_NORMAL);
    EXPECT_EQ(Words(s), Words(e.data)) << version;
    OSND_Sample_Free(s);
  }
}

TEST_F(OsbReader, DataOffsetsFollowHeadersOfEveryKind) {
  OsbOpenResult r;
  ASSERT_TRUE(Open(Bank({Pcm16(10)}, 0), &r));
  EXPECT_EQ(r.dataOffset, 16u + 64u);
  EXPECT_EQ(r.dataLength, 20u);
  EXPECT_EQ(r.decodedLength, 20u);
  EXPECT_EQ(r.blockSize, 16);
  FormatOsb_Close(r.bank);

  // Version 3.1 with basic headers: later samples keep the first one's settings.
  const std::vector<Entry> three = {Pcm16(10), Pcm16(25), Pcm16(7)};
  ASSERT_TRUE(Open(Bank(three, OSB_VERSION_31, OSB_FLAG_BASIC_HEADERS), &r));
  const uint32_t data = 24 + 80 + 8 + 8;
  OsbEntry e;
  ASSERT_TRUE(FormatOsb_GetEntry(r.bank, 2, &e));
  EXPECT_EQ(e.dataOffset, data + 20 + 50);
  EXPECT_EQ(e.length, 7u);
  EXPECT_EQ(e.storedBytes, 14u);
  EXPECT_EQ(e.frequency, 22050);
  ASSERT_TRUE(FormatOsb_GetEntry(r.bank, 1, &e));
  EXPECT_EQ(e.dataOffset, data + 20);
  EXPECT_FALSE(FormatOsb_GetEntry(r.bank, 3, &e));
  FormatOsb_Close(r.bank);

  // A bank of several samples is a song, never one sample.
  EXPECT_EQ(Load(Bank(three)), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  EXPECT_FALSE(FormatOsb_Close(nullptr));
}

TEST_F(OsbReader, DamagedBanksAreRefusedCleanly) {
  OsbOpenResult r;
  Entry vag = Pcm16(28);
  vag.mode = OSND_MODE_VAG_ADPCM | OSND_MODE_MONO;
  EXPECT_FALSE(Open(Bank({vag}), &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);

  Bytes none = Bank({Pcm16(4)});
  none[4] = 0;  // no samples
  EXPECT_FALSE(Open(none, &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);

  Bytes many = Bank({Pcm16(4)});
  many[7] = 0x40;  // a count no header block can hold
  EXPECT_FALSE(Open(many, &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);

  Bytes huge = Bank({Pcm16(4)});
  huge[11] = 0x7F;  // header bytes beyond the file
  EXPECT_FALSE(Open(huge, &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);

  Bytes tiny = Bank({Pcm16(4)});
  tiny[24] = 8;  // a full header smaller than its fixed part
  tiny[25] = 0;
  EXPECT_FALSE(Open(tiny, &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);

  // Headers that promise more than the file holds: nothing is sized from them.
  Entry claims = Pcm16(4);
  claims.length = 960000000;  // 1.9 GB of samples from 8 stored bytes
  Entry fast = Pcm16(4);
  fast.frequency = 1000000000;
  Bytes past = Bank({Pcm16(4)});
  past[24 + 36] = 200;  // stored bytes past the end of the file
  for (const Bytes &bank : {Bank({claims}), past, Bank({fast})}) {
    EXPECT_FALSE(Open(bank, &r));
    EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
    EXPECT_EQ(Load(bank), nullptr);
    EXPECT_EQ(Stream(bank), nullptr);
  }

  EXPECT_FALSE(Open(Bytes{'O', 'S', 'B', '3', 1, 0, 0, 0}, &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  EXPECT_FALSE(Open(Bytes{'R', 'I', 'F', 'F'}, &r));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  gOsndError.lastError = OSND_ERR_NONE;
  EXPECT_FALSE(FormatOsb_Open(nullptr, &r, nullptr));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_NOT_FOUND);
}

// Every sample of a bank, not only the first, holds no more samples than its
// stored bytes can give: a later entry claiming 100 MB of samples from 8
// stored bytes, behind a full header or a basic one, has the bank refused
// before anything is sized from the claim, loaded as one sample or as a song.
TEST_F(OsbReader, EveryEntryClaimingMoreThanItStoresIsRefused) {
  Entry claims = Pcm16(4);
  claims.length = 50000000;
  for (uint32_t flags : {0u, unsigned(OSB_FLAG_BASIC_HEADERS)}) {
    const Bytes bank = Bank({Pcm16(4), claims}, OSB_VERSION_31, flags);
    OsbOpenResult r;
    EXPECT_FALSE(Open(bank, &r)) << flags;
    EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD) << flags;

    gOsndMemory.peakBytes = gOsndMemory.bytesInUse;
    const int64_t before = gOsndMemory.bytesInUse;
    MusicSong *song = Music_CreateSong();
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(Music_LoadSong(song, reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY, 0,
                             int(bank.size()), nullptr, 0),
              nullptr)
        << flags;
    EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD) << flags;
    Music_FreeSong(song);
    EXPECT_LT(gOsndMemory.peakBytes - before, 4 << 20) << "bytes allocated for a bank of " << bank.size();
  }
}

TEST_F(OsbReader, SyncPointsReachTheStreamAndTheirCountIsBounded) {
  Entry e = Pcm16(4000);
  e.sync = {{100, "first"}, {2500, std::string(255, 'n')}};
  const Bytes bank = Bank({e});  // a memory stream reads the caller's bytes while it plays
  OSND_STREAM *s = Stream(bank);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->lengthPcm, 4000u);
  OsndSyncPoint *p = OsndStream_GetSyncPoint(&s->sync, 1);
  ASSERT_NE(p, &s->sync.tail);
  EXPECT_EQ(p->offset, 100u);
  EXPECT_STREQ(p->name, "first");
  p = OsndStream_GetSyncPoint(&s->sync, 2);
  ASSERT_NE(p, &s->sync.tail);
  EXPECT_EQ(p->offset, 2500u);
  EXPECT_EQ(std::string(p->name), std::string(255, 'n'));
  EXPECT_EQ(OsndStream_GetSyncPoint(&s->sync, 3), &s->sync.tail);
  // The stream plays the bank's data as stored.
  std::vector<int16_t> out(4000);
  ASSERT_TRUE(OsndStream_Seek(s, 0, 0, true));
  OsndStream_Decode(s, out.data(), 8000, nullptr);
  const std::vector<int16_t> want = Words(e.data);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], want[i]) << i;
  EXPECT_TRUE(OSND_Stream_Close(s));

  // A count larger than the header holds reads only the entries present.
  Bytes lying = Bank({e});
  lying[24 + 64 + 4] = 0xFF;
  lying[24 + 64 + 5] = 0xFF;
  SystemFileHandle *f = SystemFile_Open(lying.data(), SYSTEMFILE_MEMORY, int(lying.size()));
  OsbOpenResult r{};
  ASSERT_TRUE(FormatOsb_Open(f, &r, nullptr));
  EXPECT_EQ(r.bank->syncCounts[0], 2);
  FormatOsb_Close(r.bank);
  SystemFile_Close(f);
}

TEST_F(OsbReader, SourceFormatSampleLoadsThroughItsOwnReader) {
  Entry e;
  e.name = "wrapped";
  Bytes wav;
  Put(wav, "RIFF");
  Put32(wav, 36 + 8);
  Put(wav, "WAVEfmt ");
  Put32(wav, 16);
  Put16(wav, 1);
  Put16(wav, 1);
  Put32(wav, 11025);
  Put32(wav, 22050);
  Put16(wav, 2);
  Put16(wav, 16);
  Put(wav, "data");
  Put32(wav, 8);
  for (int v : {1000, -1000, 2000, -2000}) Put16(wav, uint32_t(uint16_t(int16_t(v))));
  e.data = wav;
  e.length = 4;
  const Bytes bank = Bank({e}, OSB_VERSION_30, OSB_FLAG_SOURCE_FORMAT);
  OSND_SAMPLE *s = Load(bank, 0, 3);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->index, -2);
  EXPECT_EQ(s->defFrequency, 11025);
  EXPECT_STREQ(s->name, "wrapped");
  EXPECT_EQ(Words(s), (std::vector<int16_t>{1000, -1000, 2000, -2000}));
  OSND_Sample_Free(s);
  // Such banks are not streamed.
  EXPECT_EQ(Stream(bank), nullptr);
  // Stored data that no reader takes leaves the error of the last one.
  e.data = Bytes(16, 0x55);
  EXPECT_EQ(Load(Bank({e}, OSB_VERSION_30, OSB_FLAG_SOURCE_FORMAT)), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
}

TEST_F(OsbReader, ForceMonoMixesRawStereoAndRefusesAdpcm) {
  Entry e;
  e.mode = OSND_MODE_16BITS | OSND_MODE_STEREO;
  e.channels = 2;
  e.length = 3;
  for (int v : {100, 300, -50, -150, 1000, 0}) Put16(e.data, uint32_t(uint16_t(int16_t(v))));
  OSND_SAMPLE *s = Load(Bank({e}), OSND_MODE_FORCE_MONO);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_TRUE(s->mode & OSND_MODE_MONO);
  EXPECT_EQ(s->index, -2);
  EXPECT_EQ(Words(s), (std::vector<int16_t>{200, -100, 500}));
  OSND_Sample_Free(s);

  Entry ima;
  ima.mode = OSND_MODE_IMA_ADPCM | OSND_MODE_STEREO;
  ima.channels = 2;
  ima.length = 64;
  ima.data = Bytes(72, 0);
  EXPECT_EQ(Load(Bank({ima}), OSND_MODE_FORCE_MONO), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
}

TEST_F(OsbReader, ImaAdpcmBanksDecodeAsTheEngineDecoderDoes) {
  Entry e;
  e.mode = OSND_MODE_IMA_ADPCM | OSND_MODE_MONO;
  e.length = 64 * 3;
  for (int block = 0; block < 3; ++block) {
    Put16(e.data, uint32_t(block * 500));  // predictor
    e.data.push_back(uint8_t(block * 10));  // step index
    e.data.push_back(0);
    for (int i = 0; i < 32; ++i) e.data.push_back(uint8_t(i * 37 + block));
  }
  std::vector<int16_t> expected(64 * 3);
  ASSERT_TRUE(OsndImaAdpcm_Decode(expected.data(), e.data.data(), 3, 1));
  ASSERT_NE(expected, std::vector<int16_t>(64 * 3, 0));

  OSND_SAMPLE *s = Load(Bank({e}));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_TRUE(s->mode & OSND_MODE_16BITS);
  EXPECT_EQ(Words(s), expected);
  OSND_Sample_Free(s);

  const Bytes bank = Bank({e});
  OSND_STREAM *stream = Stream(bank);
  ASSERT_NE(stream, nullptr) << OSND_GetError();
  EXPECT_EQ(stream->lengthPcm, 192u);
  EXPECT_TRUE(stream->mode & OSND_MODE_16BITS);
  EXPECT_FALSE(stream->mode & OSND_MODE_IMA_ADPCM);
  std::vector<int16_t> out(192);
  ASSERT_TRUE(OsndStream_Seek(stream, 0, 0, true));
  // Pieces that are not whole blocks still give every sample once.
  for (int at = 0; at < 192; at += 50) OsndStream_Decode(stream, out.data() + at, std::min(50, 192 - at) * 2, nullptr);
  EXPECT_EQ(out, expected);
  EXPECT_TRUE(OSND_Stream_Close(stream));

  // An entry shorter than its blocks decode to keeps its own length; the
  // decode of the last block must not run past the sample's storage.
  e.length = 64 * 3 - 30;
  s = Load(Bank({e}));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  const std::vector<int16_t> kept = Words(s);
  ASSERT_GE(kept.size(), size_t(e.length));
  EXPECT_EQ(std::vector<int16_t>(kept.begin(), kept.begin() + e.length),
            std::vector<int16_t>(expected.begin(), expected.begin() + e.length));
  OSND_Sample_Free(s);
}

}  // namespace osb_reader_test
