// CD streams on a drive that lives in the test (CdDriveFakeSupport): reads
// that land off where they were asked are joined into exactly the disc's
// samples, tracks are chosen and sought, and what goes wrong is told by tags.
#include "CdDriveFakeSupport.h"
#include "SoundTestSupport.h"
#include "platform/cdrom/CdDrive.h"
#include "sound/src/source/source_cdda.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/stream/osnd_stream.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace cd_audio_test {

namespace {

constexpr int kSector = 2352;

std::string Tag(OSND_STREAM *s, const char *name) {
  const void *value = nullptr;
  int length = 0;
  if (!OsndTag_Find(s->tags, name, OSND_TAG_CD, &value, &length) || !value || length < 1) return "<none>";
  return std::string(static_cast<const char *>(value), size_t(length - 1));
}

// Everything the device gives from where it stands to the end of its track.
std::vector<uint8_t> ReadRest(CddaDevice *d) {
  std::vector<uint8_t> out;
  while (d->remaining > 0) {
    const int n = OsndCdda_ReadBlock(d);
    if (n <= 0) break;
    out.insert(out.end(), d->data, d->data + n);
  }
  return out;
}

size_t Mismatches(const std::vector<uint8_t> &got, const std::vector<uint8_t> &image, size_t from, size_t count) {
  size_t bad = 0;
  for (size_t i = 0; i < count; ++i)
    if (i >= got.size() || from + i >= image.size() || got[i] != image[from + i]) ++bad;
  return bad;
}

class CdAudio : public CdDriveTest {
 protected:
  CdAudio() : CdDriveTest("cdaudio") {}
  const std::string dir = Folder();
};

TEST_F(CdAudio, ShiftedReadsAreJoinedIntoExactlyTheDiscsSamples) {
  FakeCdDrive drive(dir, {{true, 300}, {true, 260}, {true, 200}});
  // Reads land up to 800 bytes either side of where they were asked.
  drive.shift = [](int read) { return ((read * 37) % 401 - 200) * 4; };
  OSND_STREAM *s = OSND_Stream_Open("D:", 0, 0, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Tag(s, "CD_ERROR"), "<none>");
  EXPECT_EQ(OSND_GetError(), 0);
  auto *d = static_cast<CddaDevice *>(s->formatState);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(s->dataLength, 300u * kSector);
  EXPECT_EQ(s->lengthMs, int((300 * kSector / 4 * 1000 + 999) / 44100));
  EXPECT_EQ(drive.prevented, 1);
  EXPECT_EQ(drive.speedKb, 4 * 1764 / 10);

  // From the fifth sector, so that a read landing early stays on the disc.
  const size_t track = 295 * kSector;
  ASSERT_TRUE(OsndCdda_Seek(d, 5 * kSector, nullptr));
  drive.reads.clear();
  std::vector<uint8_t> got = ReadRest(d);
  ASSERT_GT(drive.reads.size(), 10u);
  int shifted = 0;
  for (const FakeCdDrive::Read &r : drive.reads) shifted += r.shift != drive.reads[0].shift;
  EXPECT_GT(shifted, 8);
  // The first read has nothing to be matched against: where it landed is
  // where the sound starts, and from there on nothing is lost or doubled.
  const size_t from = size_t(int64_t(drive.starts[0] + 5) * kSector + drive.reads[0].shift);
  EXPECT_NEAR(double(got.size()), double(track), 2.0 * kSector);
  EXPECT_EQ(Mismatches(got, drive.image, from, track - 2 * kSector), 0u);
  EXPECT_EQ(d->remaining, 0);

  // Without overlap matching the same drive gives broken sound.
  d->overlapMatching = false;
  ASSERT_TRUE(OsndCdda_Seek(d, 5 * kSector, nullptr));
  drive.reads.clear();
  got = ReadRest(d);
  EXPECT_GT(Mismatches(got, drive.image, size_t(5 * kSector + drive.reads[0].shift), track - 2 * kSector), track / 4);
  d->overlapMatching = true;

  // The second track, sought to a byte that is not on a sector's edge,
  // reaches the stream's buffer from exactly that byte.
  drive.shift = nullptr;
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1)) << OSND_GetError();
  EXPECT_EQ(s->dataLength, 260u * kSector);
  const unsigned position = 100000;
  ASSERT_TRUE(OSND_Stream_SetPosition(s, position));
  void *one = nullptr, *two = nullptr;
  unsigned length1 = 0, length2 = 0;
  ASSERT_TRUE(OSND_Sample_Lock(s->sample, 0, 8192, &one, &two, &length1, &length2));
  std::vector<uint8_t> buffered(static_cast<uint8_t *>(one), static_cast<uint8_t *>(one) + length1);
  OSND_Sample_Unlock(s->sample, one, two, length1, length2);
  ASSERT_EQ(buffered.size(), 8192u);
  EXPECT_EQ(Mismatches(buffered, drive.image, size_t(drive.starts[1]) * kSector + position, 8192), 0u);

  EXPECT_FALSE(OSND_Stream_SetSubStream(s, 3));  // past the last track
  ASSERT_TRUE(OSND_Stream_Close(s));
  EXPECT_EQ(drive.prevented, 0);
}

// A drive opened in the background: the open thread opens it, and selects a
// track asked for while the stream is not yet playing once, then once more,
// each time from the track's first sector; the stream then holds that track
// from its start.
TEST_F(CdAudio, ADriveOpenedInTheBackgroundPlaysTheTrackAskedFor) {
  FakeCdDrive drive(dir, {{true, 120}, {true, 90}, {true, 60}});
  OSND_STREAM *s = OSND_Stream_Open("D:", OSND_MODE_NONBLOCKING, 0, 0);
  ASSERT_NE(s, nullptr);
  auto ready = [&] {
    for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !OsndStream_IsReady(s) && !OsndStream_OpenFailed(s) && std::chrono::steady_clock::now() < limit;)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return OsndStream_IsReady(s);
  };
  ASSERT_TRUE(ready());
  EXPECT_EQ(Tag(s, "CD_ERROR"), "<none>");
  EXPECT_EQ(s->dataLength, 120u * kSector);

  const size_t before = drive.reads.size();
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 2)) << OSND_GetError();
  ASSERT_TRUE(ready());
  EXPECT_EQ(s->dataLength, 60u * kSector);
  EXPECT_EQ(s->lengthMs, int((60 * kSector / 4 * 1000 + 999) / 44100));
  int fromStart = 0;
  for (size_t i = before; i < drive.reads.size(); ++i) {
    EXPECT_GE(drive.reads[i].lba, drive.starts[2]) << "a read outside the track asked for";
    fromStart += drive.reads[i].lba == drive.starts[2];
  }
  EXPECT_EQ(fromStart, 2) << "reads from the track's first sector: one for each selection";
  void *one = nullptr, *two = nullptr;
  unsigned length1 = 0, length2 = 0;
  ASSERT_TRUE(OSND_Sample_Lock(s->sample, 0, 8192, &one, &two, &length1, &length2));
  const std::vector<uint8_t> buffered(static_cast<uint8_t *>(one), static_cast<uint8_t *>(one) + length1);
  OSND_Sample_Unlock(s->sample, one, two, length1, length2);
  ASSERT_EQ(buffered.size(), 8192u);
  EXPECT_EQ(Mismatches(buffered, drive.image, size_t(drive.starts[2]) * kSector, 8192), 0u);
  ASSERT_TRUE(OSND_Stream_Close(s));
  EXPECT_EQ(drive.prevented, 0);
}

TEST_F(CdAudio, TracksFromEitherTableOfContentsAndTheEndsOfATrack) {
  // A data track after the audio: the device plays only the audio.
  FakeCdDrive drive(dir, {{true, 300}, {true, 260}, {false, 200}});
  for (bool full : {true, false}) {
    SCOPED_TRACE(full ? "full TOC" : "plain TOC");
    drive.fullToc = full;
    OSND_STREAM *s = OSND_Stream_Open("D:", 0, 0, 0);
    ASSERT_NE(s, nullptr);
    auto *d = static_cast<CddaDevice *>(s->formatState);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->toc.count, 3);  // two audio tracks and the lead-out
    EXPECT_EQ(d->toc.track[0], 1);
    EXPECT_EQ(d->toc.track[1], 2);
    EXPECT_EQ(d->toc.track[2], 0xAA);
    EXPECT_EQ(d->toc.start[1], drive.starts[1]);
    EXPECT_EQ(d->toc.start[2], drive.leadOut);
    EXPECT_EQ(OsndCdda_GetTrackLength(d, 0), 300u * kSector);
    EXPECT_EQ(OsndCdda_GetTrackLength(d, 1), 260u * kSector);
    EXPECT_EQ(OsndCdda_GetTrackLength(d, 2), 0u);

    // The end of a track: a short last block is taken whole and leaves
    // nothing; seeking to the end is refused.
    EXPECT_FALSE(OsndCdda_Seek(d, 300 * kSector, nullptr));
    uint32_t reached = 0;
    ASSERT_TRUE(OsndCdda_Seek(d, 290 * kSector + 17, &reached));
    EXPECT_EQ(reached, 290u * kSector);
    EXPECT_EQ(OsndCdda_ReadBlock(d), 10 * kSector);
    EXPECT_EQ(d->remaining, 0);
    EXPECT_EQ(d->current, 300);
    EXPECT_EQ(std::memcmp(d->data, drive.image.data() + 290 * kSector, 10 * kSector), 0);
    EXPECT_EQ(OsndCdda_ReadBlock(d), 0);
    ASSERT_TRUE(OSND_Stream_Close(s));
  }
}

TEST_F(CdAudio, WhatGoesWrongIsToldByTagsOfAStreamThatOpens) {
  {
    FakeCdDrive drive(dir, {{true, 200}, {true, 200}});
    drive.discPresent = false;
    OSND_STREAM *s = OSND_Stream_Open("D:", 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(OSND_GetError(), 0);
    EXPECT_EQ(Tag(s, "CD_ERROR"), "ERROR: Device not ready  (Make sure there's a CD/DVD in the drive!)");
    EXPECT_EQ(s->dataLength, 0u);
    EXPECT_EQ(OSND_Stream_Play(OSND_FREE, s) >= 0, true);  // plays silence, as a drive without a disc does
    ASSERT_TRUE(OSND_Stream_Close(s));

    s = OSND_Stream_Open("e:", 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Tag(s, "CD_ERROR"), "ERROR: Couldn't access CD/DVD device at E:");
    ASSERT_TRUE(OSND_Stream_Close(s));

    drive.discPresent = true;
    s = OSND_Stream_Open("d:*?J", 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Tag(s, "CD_ERROR"), "<none>");
    EXPECT_EQ(Tag(s, "CD_DEVICE_INFO"), "NTSCSI\r\nQMVFAKE IMAGE DRIVE     1.0 ");
    EXPECT_FALSE(static_cast<CddaDevice *>(s->formatState)->overlapMatching);
    OSND_STREAM *again = OSND_Stream_Open("D:", 0, 0, 0);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Tag(again, "CD_ERROR"), "ERROR: D: already open");
    EXPECT_EQ(again->formatState, nullptr);
    ASSERT_TRUE(OSND_Stream_Close(again));
    ASSERT_TRUE(OSND_Stream_Close(s));

    // A letter, a colon and a path is a file.
    EXPECT_EQ(OSND_Stream_Open("D:\\music.ogg", 0, 0, 0), nullptr);
    EXPECT_EQ(OSND_GetError(), 9);
  }
  // A machine without any CD drive.
  OSND_Close();
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  static const cdrom::Backend none = {[](const char *, int) {
                                        errno = ENOENT;
                                        return -1;
                                      },
                                      nullptr, nullptr};
  cdrom::SetBackend(&none);
  OSND_STREAM *s = OSND_Stream_Open("D:", 0, 0, 0);
  cdrom::SetBackend(nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Tag(s, "CD_ERROR"),
            "ERROR: Failed to initialise both ASPI and NTSCSI - you probably need to install ASPI drivers for your "
            "CD/DVD device!");
  ASSERT_TRUE(OSND_Stream_Close(s));
}

}  // namespace

namespace {

class CdPlayback : public CapturedEngine {
 protected:
  void TearDown() override {
    CapturedEngine::TearDown();
    RemoveTestFiles("cdplayback");
  }
};

// Played as a player plays it: the track reaches the mix unchanged, every
// sample once, although the drive lands each read somewhere else.
TEST_F(CdPlayback, ATrackIsHeardAsTheDiscHoldsIt) {
  ASSERT_TRUE(Start());
  FakeCdDrive drive(TestFile("cdplayback", ""), {{true, 8}, {true, 120}});
  drive.shift = [](int read) { return ((read * 53) % 301 - 150) * 4; };
  OSND_STREAM *s = OSND_Stream_Open("D:", 0, 0, 0);
  ASSERT_NE(s, nullptr);
  const size_t first = drive.reads.size();  // the first read of track 2 comes next
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1)) << OSND_GetError();
  ASSERT_GT(drive.reads.size(), first);
  ASSERT_EQ(drive.reads[first].lba, drive.starts[1]);
  const int64_t from = int64_t(drive.starts[1]) * kSector + drive.reads[first].shift;
  const size_t frames = 116 * kSector / 4;
  std::vector<int16_t> expected(frames * 2);
  std::memcpy(expected.data(), drive.image.data() + from, frames * 4);

  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(320);
  int moved = 0;
  for (size_t i = first; i < drive.reads.size(); ++i) moved += drive.reads[i].shift != drive.reads[first].shift;
  EXPECT_GE(moved, 4);
  const size_t start = Find(expected);
  ASSERT_NE(start, size_t(-1));
  EXPECT_EQ(Mismatches(start, expected), 0u);
  EXPECT_FALSE(s->playing);  // the track ended
  EXPECT_TRUE(OSND_Stream_Close(s));
}

}  // namespace

// OSND_Update's drive scan runs on the calling thread while the open thread
// finds the drives and opens one.
TEST_F(CdAudio, ADriveOpensInTheBackgroundWhileUpdateScansTheDrives) {
  FakeCdDrive drive(dir, {{true, 120}, {true, 90}});
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    OSND_STREAM *s = OSND_Stream_Open("D:", OSND_MODE_NONBLOCKING, 0, 0);
    ASSERT_NE(s, nullptr);
    for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !OsndStream_IsReady(s) && !OsndStream_OpenFailed(s) && std::chrono::steady_clock::now() < limit;) {
      OSND_Update();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(OsndStream_IsReady(s));
    EXPECT_EQ(Tag(s, "CD_ERROR"), "<none>");
    EXPECT_EQ(s->dataLength, 120u * kSector);
    ASSERT_TRUE(OSND_Stream_Close(s));
  }
}

}  // namespace cd_audio_test
