// The MPEG reader through the engine's sample loader and stream opener, on
// layer 2 streams built frame by frame.
#include "MpegFrameSupport.h"
#include "SoundTestSupport.h"
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/stream/osnd_stream.h"

#include <cstring>

namespace mpeg_reader_test {

namespace {

class MpegReader : public CapturedEngine {
 protected:
  OSND_SAMPLE *Load(const MpegBytes &b, unsigned mode = 0) {
    return OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY | mode, 0,
                            int(b.size()));
  }
  OSND_STREAM *Open(const MpegBytes &b, unsigned mode = 0) {
    return OSND_Stream_Open(reinterpret_cast<const char *>(b.data()), OSND_MODE_MEMORY | mode, 0, int(b.size()));
  }
  static std::vector<int16_t> Samples(OSND_SAMPLE *s) {
    const int16_t *p = reinterpret_cast<const int16_t *>(s->data);
    return std::vector<int16_t>(p, p + s->length);
  }
  // Decodes the whole stream through the stream's own decode step.
  static std::vector<int16_t> StreamSamples(OSND_STREAM *s) {
    std::vector<int16_t> out(s->lengthPcm);
    EXPECT_TRUE(OsndStream_Seek(s, 0, 0, true));
    s->callbacks.reset(s->formatState);  // as the stream's own seek does before refilling
    const size_t piece = 1000;  // not a multiple of a frame's output
    for (size_t at = 0; at < out.size(); at += piece)
      OsndStream_Decode(s, out.data() + at, int(std::min(piece, out.size() - at) * 2), nullptr);
    return out;
  }
};

MpegBytes Zeros(size_t n) { return MpegBytes(n, 0); }

MpegBytes Concat(const MpegBytes &a, const MpegBytes &b) {
  MpegBytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

}  // namespace

TEST_F(MpegReader, EveryFrameUpToTheLastIsDecoded) {
  ASSERT_TRUE(Start());
  OSND_SAMPLE *s = Load(Layer2Stream(10));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(OSND_Sample_GetLength(s), 10 * 1152);
  EXPECT_TRUE(s->mode & OSND_MODE_MONO);
  EXPECT_TRUE(s->mode & OSND_MODE_16BITS);
  int frequency = 0;
  OSND_Sample_GetDefaults(s, &frequency, nullptr, nullptr, nullptr);
  EXPECT_EQ(frequency, 48000);
  const std::vector<int16_t> pcm = Samples(s);
  // The tail of the last frame carries sound, not the zero fill of a skipped frame.
  EXPECT_TRUE(std::any_of(pcm.end() - 1152, pcm.end(), [](int16_t v) { return std::abs(v) > 500; }));
  OSND_Sample_Free(s);
}

TEST_F(MpegReader, LeadingBytesAreSearchedWithinTheWindow) {
  ASSERT_TRUE(Start());
  OSND_SAMPLE *reference = Load(Layer2Stream(6));
  ASSERT_NE(reference, nullptr);
  OSND_SAMPLE *shifted = Load(Concat(Zeros(1000), Layer2Stream(6)));
  ASSERT_NE(shifted, nullptr) << OSND_GetError();
  EXPECT_EQ(Samples(shifted), Samples(reference));
  EXPECT_EQ(Load(Concat(Zeros(5000), Layer2Stream(6))), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  OSND_Sample_Free(reference);
  OSND_Sample_Free(shifted);
}

TEST_F(MpegReader, ASingleFrameFileOpens) {
  ASSERT_TRUE(Start());
  OSND_SAMPLE *s = Load(Layer2Tone(0));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(OSND_Sample_GetLength(s), 1152);
  OSND_Sample_Free(s);
}

TEST_F(MpegReader, JunkBetweenFramesIsSkipped) {
  ASSERT_TRUE(Start());
  MpegBytes clean = Layer2Stream(8);
  MpegBytes broken(clean.begin(), clean.begin() + 4 * 192);
  const MpegBytes junk = {0x12, 0xFF, 0xE0, 0x00, 0x34, 0xFF, 0xFD};  // includes false sync bytes
  broken.insert(broken.end(), junk.begin(), junk.end());
  broken.insert(broken.end(), clean.begin() + 4 * 192, clean.end());
  OSND_SAMPLE *a = Load(clean);
  OSND_SAMPLE *b = Load(broken);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr) << OSND_GetError();
  EXPECT_EQ(Samples(b), Samples(a));
  OSND_Sample_Free(a);
  OSND_Sample_Free(b);
}

TEST_F(MpegReader, WaveContainerGivesDataAndLoop) {
  ASSERT_TRUE(Start());
  OSND_SAMPLE *plain = Load(Layer2Stream(5));
  OSND_SAMPLE *wrapped = Load(WaveWrapper(Layer2Stream(5), 0x50, 100, 2000));
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(wrapped, nullptr) << OSND_GetError();
  EXPECT_EQ(OSND_Sample_GetLength(wrapped), OSND_Sample_GetLength(plain));
  const std::vector<int16_t> a = Samples(wrapped), b = Samples(plain);
  // The mixer's guard samples follow the loop end; everything else is the same.
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + 2001, b.begin()));
  EXPECT_TRUE(std::equal(a.begin() + 2008, a.end(), b.begin() + 2008));
  EXPECT_EQ(wrapped->loopStart, 100u);
  EXPECT_EQ(wrapped->loopLength, 1901u);
  EXPECT_TRUE(wrapped->mode & OSND_MODE_LOOP_NORMAL);
  EXPECT_EQ(plain->loopStart, 0u);
  EXPECT_EQ(plain->loopLength, 5u * 1152u);
  OSND_Sample_Free(plain);
  OSND_Sample_Free(wrapped);

  OSND_SAMPLE *off = Load(WaveWrapper(Layer2Stream(5), 0x55, 100, 2000), OSND_MODE_LOOP_OFF);
  ASSERT_NE(off, nullptr);
  EXPECT_FALSE(off->mode & OSND_MODE_LOOP_NORMAL);
  OSND_Sample_Free(off);
}

TEST_F(MpegReader, StreamsReportTheirLengthAndDecodeLikeTheSample) {
  ASSERT_TRUE(Start());
  const MpegBytes file = Layer2Stream(12);
  OSND_SAMPLE *sample = Load(file);
  ASSERT_NE(sample, nullptr);
  for (unsigned mode : {0u, FORMAT_MPEG_EXACT}) {
    OSND_STREAM *stream = Open(file, mode);
    ASSERT_NE(stream, nullptr) << OSND_GetError();
    EXPECT_EQ(stream->lengthPcm, 12u * 1152u);
    EXPECT_EQ(stream->lengthMs, 12 * 1152 * 1000 / 48000);
    EXPECT_EQ(StreamSamples(stream), Samples(sample)) << mode;
    OSND_Stream_Close(stream);
  }
  OSND_Sample_Free(sample);
}

TEST_F(MpegReader, ExactSeeksLandOnFrames) {
  ASSERT_TRUE(Start());
  const MpegBytes file = Layer2Stream(40);
  OSND_SAMPLE *sample = Load(file);
  ASSERT_NE(sample, nullptr);
  OSND_STREAM *stream = Open(file, FORMAT_MPEG_EXACT);
  ASSERT_NE(stream, nullptr);
  const std::vector<int16_t> whole = Samples(sample);
  for (uint32_t target : {30u * 1152u, 17u * 1152u + 300u}) {
    ASSERT_TRUE(OsndStream_Seek(stream, 2, target, true));
    stream->callbacks.reset(stream->formatState);
    std::vector<int16_t> out(3 * 1152);
    OsndStream_Decode(stream, out.data(), int(out.size() * 2), nullptr);
    // Positions map to bytes in proportion, so the landing frame lies within
    // a frame of the target; past the filter's settling the sound is the
    // whole decode's, sample for sample.
    int best = 0;
    for (int shift = -1152; shift <= 1152; ++shift) {
      int same = 0;
      for (size_t i = 1024; i < out.size(); ++i) same += out[i] == whole[size_t(int(target) + shift) + i];
      best = std::max(best, same);
    }
    EXPECT_EQ(best, int(out.size()) - 1024) << target;
  }
  OSND_Stream_Close(stream);
  OSND_Sample_Free(sample);
}

TEST_F(MpegReader, LayerThreeFramesPlayAndAreCountedExactly) {
  ASSERT_TRUE(Start());
  // MPEG-1 layer 3, 128 kbit/s, 44.1 kHz, joint stereo: 417 bytes a frame;
  // an all-zero body is valid side information for silence.
  MpegBytes frame = {0xFF, 0xFB, 0x90, 0x64};
  frame.resize(417, 0);
  MpegBytes file;
  for (int i = 0; i < 3000; ++i) file.insert(file.end(), frame.begin(), frame.end());
  OSND_STREAM *stream = Open(file, 0x20000);
  ASSERT_NE(stream, nullptr) << OSND_GetError();
  EXPECT_EQ(stream->lengthPcm, 3000u * 1152u);
  OSND_Stream_Close(stream);

  OSND_SAMPLE *s = Load(Concat(frame, frame));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_TRUE(s->mode & OSND_MODE_STEREO);
  EXPECT_EQ(OSND_Sample_GetLength(s), 2u * 1152u);
  const auto *pcm = reinterpret_cast<const int16_t *>(s->data);
  for (unsigned i = 0; i < 2 * 2 * 1152; ++i) ASSERT_EQ(pcm[i], 0) << i;
  OSND_Sample_Free(s);
}

TEST_F(MpegReader, DamagedFramesNeverProduceMoreThanTheFileHolds) {
  ASSERT_TRUE(Start());
  MpegBytes file = Layer2Stream(6);
  uint32_t seed = 12345;
  for (int round = 0; round < 30; ++round) {
    MpegBytes damaged = file;
    for (int i = 0; i < 40; ++i) {
      seed = seed * 1103515245u + 12345u;
      damaged[(seed >> 8) % damaged.size()] = uint8_t(seed >> 24);
    }
    damaged.resize(damaged.size() - (seed >> 16) % 300);
    OSND_SAMPLE *s = Load(damaged);
    if (s) {
      EXPECT_LE(OSND_Sample_GetLength(s), 6 * 1152);
      OSND_Sample_Free(s);
    }
  }
}

TEST_F(MpegReader, ByteSeeksLandOnTheFramesOfTheStreamPastHeaderLikeBytes) {
  ASSERT_TRUE(Start());
  // 32 layer 3 frames of 522 bytes (44.1 kHz stereo, 160 kbit/s), whose
  // main data ends within 230 bytes: the rest of each frame is unused.
  MpegBytes clean;
  for (uint32_t i = 0; i < 32; ++i) {
    MpegBytes frame = Layer3Frame(Layer3Noise(i));
    frame[2] = 0xA0;
    frame.resize(522, 0);
    clean = Concat(clean, frame);
  }
  MpegBytes file = clean;
  auto plant = [&](size_t at, const MpegBytes &bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      ASSERT_EQ(file[at + i], 0) << "byte " << at + i << " is not unused";
      file[at + i] = bytes[i];
    }
  };
  // Byte 5000 lies in frame 9, 220 bytes before frame 10. Right on it, a
  // header like the stream's (160 kbit/s, 522 bytes) that another one
  // (112 kbit/s, 365 bytes) leads to, but whose own length leads to bytes
  // that only begin like a header.
  plant(5000 - 365, {0xFF, 0xFB, 0x80, 0x44});
  plant(5000, {0xFF, 0xFB, 0xA0, 0x44});
  plant(5000 + 522, {0xFF, 0xFF});
  // Further on, one (32 kbit/s, 104 bytes) whose length leads to frame 10,
  // though nothing leads to it.
  plant(5220 - 104, {0xFF, 0xFB, 0x10, 0x44});
  // Byte 15000 lies in frame 28, 138 bytes before frame 29. There, two
  // headers of another rate (32 kHz, 128 kbit/s, 576 bytes), each between
  // one of its rate and one of the stream's: the first led to by a header
  // like the stream's, the second leading to one.
  const MpegBytes ownRate = {0xFF, 0xFB, 0x10, 0x44}, otherRate = {0xFF, 0xFB, 0x98, 0x44};
  plant(15010 - 104, ownRate);
  plant(15010, otherRate);
  plant(15010 + 576, otherRate);
  plant(15030 - 576, otherRate);
  plant(15030, otherRate);
  plant(15030 + 576, ownRate);

  OSND_SAMPLE *reference = Load(clean);
  OSND_SAMPLE *sample = Load(file);
  ASSERT_NE(reference, nullptr) << OSND_GetError();
  ASSERT_NE(sample, nullptr) << OSND_GetError();
  ASSERT_EQ(OSND_Sample_GetLength(sample), 32 * 1152);
  const auto *whole = reinterpret_cast<const int16_t *>(sample->data);
  // Unused bytes do not change the sound: the whole decode is the clean file's.
  ASSERT_TRUE(std::equal(whole, whole + 2 * 32 * 1152, reinterpret_cast<const int16_t *>(reference->data)));

  OSND_STREAM *stream = Open(file);
  ASSERT_NE(stream, nullptr) << OSND_GetError();
  for (uint32_t target : {5000u, 15000u}) {
    ASSERT_TRUE(OsndStream_Seek(stream, 0, target, true));
    stream->callbacks.reset(stream->formatState);
    std::vector<int16_t> out(2 * 2 * 1152);
    OsndStream_Decode(stream, out.data(), int(out.size() * 2), nullptr);
    // The first frame heard is the first one of the stream after the
    // position, sounding as it does in the whole decode.
    const size_t landing = (target + 521) / 522;
    ASSERT_LE(landing + 2, 32u);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), whole + 2 * 1152 * landing)) << target;
  }
  OSND_Stream_Close(stream);
  OSND_Sample_Free(sample);
  OSND_Sample_Free(reference);
}

}  // namespace mpeg_reader_test
