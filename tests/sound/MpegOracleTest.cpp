// Layer 2 files made at test time by twolame and layer 3 files made by lame,
// from sox tones and noise bursts, decode through the sample loader and
// through a stream to what mpg123 decodes them to, sample for sample.
// Tolerance: 1 in 16 bits. Both decoders round a float filterbank output
// built from the same window; they differ only in the order of the sums,
// which moves a result across a rounding boundary now and then.
#include "MpegFrameSupport.h"
#include "SoundTestSupport.h"
#include "sound/src/stream/osnd_stream.h"

#include <cstdlib>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mpeg_oracle_test {

namespace {

std::string In(const std::string &name) { return TestFile("mpeg-oracle", name); }

struct Difference {
  size_t compared = 0;
  int largest = 0;
  size_t off = 0;  // samples not exactly equal
};

Difference Compare(const int16_t *ours, size_t count, const std::vector<int16_t> &reference) {
  Difference d;
  d.compared = std::min(count, reference.size());
  for (size_t i = 0; i < d.compared; ++i) {
    const int diff = std::abs(int(ours[i]) - int(reference[i]));
    d.largest = std::max(d.largest, diff);
    d.off += diff != 0;
  }
  return d;
}

class MpegOracle : public NonRealtimeEngine {
 protected:
  static void TearDownTestSuite() { RemoveTestFiles("mpeg-oracle"); }

  // Encodes a two-tone source with twolame and checks both decoding paths.
  void Check(const std::string &name, int rate, int channels, const std::string &options) {
    CheckEncoded(name, rate, channels, "synth 1.5 sine 440 sine 2500 gain -3", "twolame --quiet " + options);
  }

  // Encodes a sox source with lame (rate: the file's rate; lame resamples
  // when asked) and checks both decoding paths.
  void CheckLame(const std::string &name, int sourceRate, int rate, int channels, const std::string &options,
                 const std::string &source = "synth 1.5 sine 440 sine 2500 gain -3") {
    CheckEncoded(name, rate, channels, source, "lame --quiet " + options, sourceRate);
  }

  void CheckEncoded(const std::string &name, int rate, int channels, const std::string &source,
                    const std::string &encoder, int sourceRate = 0) {
    SCOPED_TRACE(name);
    const std::string wav = In(name + ".wav"), mp2 = In(name + ".mpa"), raw = In(name + ".raw");
    ASSERT_TRUE(RunShell("sox -n -r " + std::to_string(sourceRate ? sourceRate : rate) + " -c " +
                      std::to_string(channels) + " -b 16 " + wav + " " + source));
    ASSERT_TRUE(RunShell(encoder + " " + wav + " " + mp2));
    ASSERT_TRUE(RunShell("mpg123 --no-gapless --no-infoframe -q -s " + mp2 + " > " + raw));
    const std::vector<int16_t> reference = ReadPcm(raw);
    ASSERT_GT(reference.size(), size_t(rate));

    OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, mp2.c_str(), 0, 0, 0);
    ASSERT_NE(sample, nullptr) << OSND_GetError();
    int frequency = 0;
    OSND_Sample_GetDefaults(sample, &frequency, nullptr, nullptr, nullptr);
    EXPECT_EQ(frequency, rate);
    EXPECT_EQ(bool(sample->mode & OSND_MODE_STEREO), channels == 2);
    EXPECT_EQ(size_t(OSND_Sample_GetLength(sample)) * size_t(channels), reference.size());
    const auto *pcm = reinterpret_cast<const int16_t *>(sample->data);
    // The loop guard after the last sample is left out of the comparison.
    const size_t count = (size_t(OSND_Sample_GetLength(sample)) - 4) * size_t(channels);
    const Difference d = Compare(pcm, count, reference);
    EXPECT_LE(d.largest, 1);
    EXPECT_LT(d.off, d.compared / 4);
    EXPECT_GT(d.compared, reference.size() - 16);
    OSND_Sample_Free(sample);

    OSND_STREAM *stream = OSND_Stream_Open(mp2.c_str(), 0x20000, 0, 0);
    ASSERT_NE(stream, nullptr) << OSND_GetError();
    EXPECT_EQ(size_t(stream->lengthPcm) * size_t(channels), reference.size());
    std::vector<int16_t> streamed(size_t(stream->lengthPcm) * size_t(channels));
    ASSERT_TRUE(OsndStream_Seek(stream, 0, 0, true));
    stream->callbacks.reset(stream->formatState);
    const size_t piece = 3001 * size_t(channels);
    for (size_t at = 0; at < streamed.size(); at += piece)
      OsndStream_Decode(stream, streamed.data() + at, int(std::min(piece, streamed.size() - at) * 2), nullptr);
    const Difference s = Compare(streamed.data(), streamed.size(), reference);
    EXPECT_LE(s.largest, 1);
    EXPECT_EQ(s.compared, reference.size());
    OSND_Stream_Close(stream);
  }
};

}  // namespace

TEST_F(MpegOracle, Mpeg1StereoAndJointStereo) {
  Check("stereo", 44100, 2, "-m s -b 192");
  Check("joint", 44100, 2, "-m j -b 128");
  Check("crc", 48000, 2, "-m j -b 256 -p");
}

TEST_F(MpegOracle, Mpeg1MonoAtEveryTableSize) {
  Check("mono48k", 48000, 1, "-m m -b 64");   // 27 subbands
  Check("mono44k", 44100, 1, "-m m -b 160");  // 30 subbands
  Check("mono32", 44100, 1, "-m m -b 48");    // 8 subbands
  Check("mono12", 32000, 1, "-m m -b 48");    // 12 subbands
}

TEST_F(MpegOracle, LowSamplingFrequencies) {
  Check("lsf22", 22050, 2, "-m j -b 96");
  Check("lsf24", 24000, 1, "-m m -b 64");
  Check("lsf16", 16000, 2, "-m s -b 80");
}

// Noise bursts with sudden onsets make lame switch to short blocks.
const char kBursts[] = "synth 0.08 noise fade 0 0.08 0.07 repeat 15 gain -6";

TEST_F(MpegOracle, LayerThreeMpeg1ModesAndRates) {
  CheckLame("l3joint", 44100, 44100, 2, "-b 128");
  CheckLame("l3stereo", 48000, 48000, 2, "-m s -b 192");
  CheckLame("l3midside", 44100, 44100, 2, "-m f -b 160");
  CheckLame("l3mono", 32000, 32000, 1, "-m m -b 64");
  CheckLame("l3crc", 44100, 44100, 2, "-p -b 224");
}

TEST_F(MpegOracle, LayerThreeVbrReservoirAndShortBlocks) {
  CheckLame("l3vbr", 44100, 44100, 2, "-V 2");
  CheckLame("l3nores", 44100, 44100, 2, "--nores -b 128");
  CheckLame("l3bursts", 44100, 44100, 2, "-b 128", kBursts);
  CheckLame("l3burstsmono", 48000, 48000, 1, "-m m -V 4", kBursts);
}

TEST_F(MpegOracle, LayerThreeLowSamplingFrequencies) {
  CheckLame("l3lsf22", 44100, 22050, 2, "--resample 22.05 -b 64");
  CheckLame("l3lsf24", 48000, 24000, 2, "--resample 24 -m f -b 96", kBursts);
  CheckLame("l3lsf16", 32000, 16000, 1, "--resample 16 -m m -b 32");
  CheckLame("l3mpeg25_11", 44100, 11025, 2, "--resample 11.025 -b 32");
  CheckLame("l3mpeg25_12", 48000, 12000, 1, "--resample 12 -m m -b 24", kBursts);
  CheckLame("l3mpeg25_8", 32000, 8000, 1, "--resample 8 -m m -b 16");
  CheckLame("l3mpeg25_8b", 32000, 8000, 2, "--resample 8 -b 24", kBursts);
}

TEST_F(MpegOracle, LayerThreeStreamsSeekToTheSoundOfTheWholeDecode) {
  // VBR with bursts: frames lean on the reservoir and on short blocks.
  const std::string wav = In("seek.wav"), mp3 = In("seek.mp3");
  ASSERT_TRUE(RunShell("sox -n -r 44100 -c 2 -b 16 " + wav + " " + kBursts));
  ASSERT_TRUE(RunShell("lame --quiet -V 5 " + wav + " " + mp3));
  OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, mp3.c_str(), 0, 0, 0);
  ASSERT_NE(sample, nullptr) << OSND_GetError();
  const auto *whole = reinterpret_cast<const int16_t *>(sample->data);
  const size_t wholeFrames = OSND_Sample_GetLength(sample);
  OSND_STREAM *stream = OSND_Stream_Open(mp3.c_str(), 0x20000, 0, 0);
  ASSERT_NE(stream, nullptr) << OSND_GetError();
  for (uint32_t target : {20u * 1152u, 33u * 1152u + 500u, 1u * 1152u}) {
    ASSERT_TRUE(OsndStream_Seek(stream, 2, target, true));
    stream->callbacks.reset(stream->formatState);
    std::vector<int16_t> out(2 * 2 * 1152);
    OsndStream_Decode(stream, out.data(), int(out.size() * 2), nullptr);
    // Exact opens land on the frame holding the target and drop what lies
    // before it: from the first sample the sound is the whole decode's, with
    // no silent frame and no settling of the filterbanks.
    ASSERT_LE(2 * size_t(target) + out.size(), 2 * wholeFrames);
    const Difference d = Compare(out.data(), out.size(), std::vector<int16_t>(whole + 2 * size_t(target),
                                                                            whole + 2 * size_t(target) + out.size()));
    EXPECT_EQ(d.off, 0u) << target;
  }
  OSND_Stream_Close(stream);

  // Without a frame table, positions map to bytes in proportion: the stream
  // lands on some frame near the target, and from its first sample on the
  // sound is the whole decode's too (the frames before it found by their
  // lengths and decoded first).
  stream = OSND_Stream_Open(mp3.c_str(), 0, 0, 0);
  ASSERT_NE(stream, nullptr) << OSND_GetError();
  // Byte positions on the stream's block size: no samples are skipped, so
  // the landing frame is the first heard.
  for (uint32_t target : {5000u, 10000u}) {
    ASSERT_LT(target, stream->dataLength);
    ASSERT_TRUE(OsndStream_Seek(stream, 0, target, true));
    stream->callbacks.reset(stream->formatState);
    std::vector<int16_t> out(3 * 2 * 1152);
    OsndStream_Decode(stream, out.data(), int(out.size() * 2), nullptr);
    // A silent first frame (main data lost with the reservoir) would show here.
    EXPECT_FALSE(std::all_of(out.begin(), out.begin() + 2 * 1152, [](int16_t v) { return v == 0; })) << target;
    bool found = false;
    for (size_t at = 0; at + out.size() <= 2 * wholeFrames && !found; at += 2)
      found = std::equal(out.begin(), out.end(), whole + at);
    EXPECT_TRUE(found) << target;
  }
  OSND_Stream_Close(stream);
  OSND_Sample_Free(sample);
}

TEST_F(MpegOracle, LayerThreeInsideAWaveFileKeepsItsLoop) {
  const std::string wav = In("inner.wav"), mp3 = In("inner.mp3"), raw = In("inner.raw"), outer = In("outer.wav");
  ASSERT_TRUE(RunShell("sox -n -r 22050 -c 1 -b 16 " + wav + " synth 1 sine 300 gain -3"));
  ASSERT_TRUE(RunShell("lame --quiet -m m -b 48 " + wav + " " + mp3));
  ASSERT_TRUE(RunShell("mpg123 --no-gapless --no-infoframe -q -s " + mp3 + " > " + raw));
  std::ifstream in(mp3, std::ios::binary);
  const MpegBytes data((std::istreambuf_iterator<char>(in)), {});
  const MpegBytes file = WaveWrapper(data, 0x55, 1000, 9000);
  std::ofstream(outer, std::ios::binary).write(reinterpret_cast<const char *>(file.data()), std::streamsize(file.size()));
  OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, outer.c_str(), 0, 0, 0);
  ASSERT_NE(sample, nullptr) << OSND_GetError();
  EXPECT_EQ(sample->loopStart, 1000u);
  EXPECT_EQ(sample->loopLength, 8001u);
  EXPECT_TRUE(sample->mode & OSND_MODE_LOOP_NORMAL);
  const std::vector<int16_t> reference = ReadPcm(raw);
  ASSERT_EQ(size_t(OSND_Sample_GetLength(sample)), reference.size());
  // The mixer's guard samples follow the loop end and the last sample.
  const auto *pcm = reinterpret_cast<const int16_t *>(sample->data);
  EXPECT_LE(Compare(pcm, 9001, reference).largest, 1);
  const std::vector<int16_t> tail(reference.begin() + 9008, reference.end());
  EXPECT_LE(Compare(pcm + 9008, tail.size() - 4, tail).largest, 1);
  OSND_Sample_Free(sample);
}

// Frames lame cannot write: intensity stereo (alone and with mid/side) over
// long, short and mixed blocks, and mixed blocks with mid/side, built bit by
// bit for MPEG-1 and MPEG-2. Intensity factors stay within the positions a
// stream can mean (0 to 7).
struct Random {
  uint32_t state;
  int Next(int limit) {  // -limit..limit, zero half the time
    state = state * 1103515245u + 12345u;
    const int r = int(state >> 16);
    return r % 2 ? 0 : r / 2 % (2 * limit + 1) - limit;
  }
};

enum class Blocks { Long, Short, Mixed };

// Scale factors for a part: MPEG-1 by scalefac_compress 15 (4 and 3 bits);
// MPEG-2 by the bit counts of the partitions given.
// Values stay at or below 7, the largest intensity position.
std::vector<std::pair<int, int>> Factors(bool lsf, Blocks blocks, const std::vector<std::pair<int, int>> &partitions,
                                         Random &r) {
  std::vector<std::pair<int, int>> out;
  auto add = [&](int count, int bits) {
    for (int i = 0; i < count; ++i) out.push_back({int(r.state >> 8 & 0xFFFF) % std::min(1 << bits, 8), bits}), r.Next(1);
  };
  if (lsf) {
    for (const auto &[count, bits] : partitions) add(count, bits);
  } else if (blocks == Blocks::Long) {
    add(11, 4), add(10, 3);
  } else if (blocks == Blocks::Short) {
    add(18, 4), add(18, 3);
  } else {
    add(8, 4), add(9, 4), add(18, 3);
  }
  return out;
}

Layer3Part Part(bool lsf, Blocks blocks, int lineCount, int gain, const std::vector<std::pair<int, int>> &partitions,
                int compress, Random &r) {
  Layer3Part p;
  p.globalGain = gain;
  p.scalefacCompress = lsf ? compress : 15;
  p.blockType = blocks == Blocks::Long ? 0 : 2;
  p.mixed = blocks == Blocks::Mixed;
  p.subblockGain[0] = 0, p.subblockGain[1] = 1, p.subblockGain[2] = 2;
  p.scalefactors = Factors(lsf, blocks, partitions, r);
  for (int i = 0; i < lineCount; ++i) p.lines.push_back(r.Next(i < 24 ? 5 : 2));
  return p;
}

TEST_F(MpegOracle, LayerThreeIntensityStereoAndMixedBlocks) {
  struct Case {
    int extension;
    Blocks blocks;
    int rightLines;
  };
  // Right channels end low so that intensity covers the bands above; a
  // mixed block whose right channel ends inside its long part takes
  // intensity into the long bands.
  const Case cases[] = {{1, Blocks::Long, 40},  {3, Blocks::Long, 30},   {1, Blocks::Short, 24},
                        {2, Blocks::Mixed, 160}, {1, Blocks::Mixed, 12}, {3, Blocks::Mixed, 60}};
  for (bool lsf : {false, true}) {
    SCOPED_TRACE(lsf ? "MPEG-2" : "MPEG-1");
    MpegBytes file;
    Random r{lsf ? 99u : 7u};
    for (int round = 0; round < 4; ++round) {
      for (const Case &c : cases) {
        // mpg123 takes the intensity positions of an MPEG-2 mixed block's
        // short bands from the wrong places (it counts the long part as
        // MPEG-1's eight bands), so it is no judge of those frames.
        if (lsf && c.blocks == Blocks::Mixed && (c.extension & 1)) continue;
        Layer3Layout layout;
        layout.lsf = lsf;
        layout.modeExtension = c.extension;
        const bool intensity = c.extension & 1;
        for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
          // MPEG-2 left: slen 3, 3, 2, 2 (compress 298); right with
          // intensity: slen 3, 3, 3 (compress 258 + intensity scale).
          const int kind = c.blocks == Blocks::Long ? 0 : c.blocks == Blocks::Short ? 1 : 2;
          const int leftCounts[3][4] = {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}};
          const int rightCounts[3][3] = {{7, 7, 7}, {12, 12, 12}, {6, 15, 12}};
          const std::vector<std::pair<int, int>> left = {{leftCounts[kind][0], 3}, {leftCounts[kind][1], 3},
                                                         {leftCounts[kind][2], 2}, {leftCounts[kind][3], 2}};
          const std::vector<std::pair<int, int>> right =
              intensity ? std::vector<std::pair<int, int>>{{rightCounts[kind][0], 3}, {rightCounts[kind][1], 3},
                                                           {rightCounts[kind][2], 3}}
                        : left;
          layout.parts[gr][0] = Part(lsf, c.blocks, lsf ? 120 : 180, 180, left, 298, r);
          layout.parts[gr][1] =
              Part(lsf, c.blocks, c.rightLines, 178, right, intensity ? 258 + (round & 1) : 298, r);
        }
        const MpegBytes frame = Layer3Frame(layout);
        ASSERT_FALSE(frame.empty()) << "round " << round << " extension " << c.extension;
        file.insert(file.end(), frame.begin(), frame.end());
      }
    }
    const std::string mp3 = In(lsf ? "built2.mp3" : "built1.mp3"), raw = In(lsf ? "built2.raw" : "built1.raw");
    std::ofstream(mp3, std::ios::binary).write(reinterpret_cast<const char *>(file.data()), std::streamsize(file.size()));
    ASSERT_TRUE(RunShell("mpg123 --no-gapless --no-infoframe -q -s " + mp3 + " > " + raw));
    const std::vector<int16_t> reference = ReadPcm(raw);
    OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, mp3.c_str(), 0, 0, 0);
    ASSERT_NE(sample, nullptr) << OSND_GetError();
    ASSERT_EQ(size_t(OSND_Sample_GetLength(sample)) * 2, reference.size());
    const auto *pcm = reinterpret_cast<const int16_t *>(sample->data);
    const Difference d = Compare(pcm, reference.size() - 8, reference);
    EXPECT_LE(d.largest, 1);
    // The frames are loud enough for the comparison to mean something.
    double energy = 0;
    for (int16_t v : reference) energy += double(v) * v;
    EXPECT_GT(std::sqrt(energy / double(reference.size())), 300.0);
    OSND_Sample_Free(sample);
  }
}

namespace {

// Streams opened without a frame scan, played through the engine to their end.
class MpegStreamEnd : public CapturedEngine {
 protected:
  static void TearDownTestSuite() { RemoveTestFiles("mpeg-stream-end"); }

  struct Played {
    size_t referenceFrames = 0;   // what mpg123 decodes the file to
    uint32_t lengthAtOpen = 0;    // the stream's length before it played
    uint32_t lengthAtEnd = 0;     // and once it had ended
    int lengthMsAtEnd = 0;
    int lastTime = 0;             // the last time the stream gave while playing
    size_t heardFrames = 0;       // from the first sound to the last
    size_t referenceSound = 0;    // the same span in mpg123's decode
    int ends = 0;
  };

  Played Play(const std::string &name, int rate, int channels, const std::string &encoder) {
    Played p;
    const std::string wav = TestFile("mpeg-stream-end", name + ".wav"),
                      file = TestFile("mpeg-stream-end", name + ".mpa"),
                      raw = TestFile("mpeg-stream-end", name + ".raw");
    EXPECT_TRUE(RunShell("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 " + wav +
                         " synth 2.3 sine 440 sine 2500 gain -3"));
    EXPECT_TRUE(RunShell(encoder + " " + wav + " " + file));
    EXPECT_TRUE(RunShell("mpg123 --no-gapless --no-infoframe -q -s " + file + " > " + raw));
    const std::vector<int16_t> reference = ReadPcm(raw);
    p.referenceFrames = reference.size() / size_t(channels);
    p.referenceSound = SoundSpan(reference, channels);
    OSND_STREAM *s = OSND_Stream_Open(file.c_str(), 0, 0, 0);
    EXPECT_NE(s, nullptr) << OSND_GetError();
    if (!s) return p;
    p.lengthAtOpen = s->lengthPcm;
    OsndStream_SetEndCallback(
        s, [](OSND_STREAM *, void *, int, void *user) { return ++*static_cast<int *>(user), true; }, &p.ends);
    EXPECT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    for (int block = 0; block < 2000 && p.ends == 0; ++block) {
      Step();
      if (s->playing) p.lastTime = OSND_Stream_GetTime(s);
    }
    Step(20);
    p.lengthAtEnd = s->lengthPcm;
    p.lengthMsAtEnd = s->lengthMs;
    p.heardFrames = SoundSpan(captured, 2);
    OSND_Stream_Close(s);
    return p;
  }

  // Frames from the first non-zero frame to the last one.
  static size_t SoundSpan(const std::vector<int16_t> &pcm, int channels) {
    size_t first = size_t(-1), last = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
      if (pcm[i] == 0) continue;
      first = std::min(first, i / size_t(channels));
      last = i / size_t(channels);
    }
    return first == size_t(-1) ? 0 : last - first + 1;
  }
};

}  // namespace

TEST_F(MpegStreamEnd, StreamsWithAnEstimatedLengthPlayEveryFrameAndLearnTheRealLength) {
  struct Case {
    const char *name;
    int rate, channels;
    const char *encoder;
  };
  // The estimate from the first frame's length falls short of the file for
  // the first two and goes beyond it for the third.
  for (const Case &c : {Case{"l2mono22", 22050, 1, "twolame --quiet -m m -b 48"},
                        Case{"l3vbr", 44100, 2, "lame --quiet -V 2"}, Case{"l3vbrhigh", 44100, 2, "lame --quiet -V 0"}}) {
    SCOPED_TRACE(c.name);
    CapturedEngine::TearDown();
    captured.clear();
    ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, c.rate));
    const Played p = Play(c.name, c.rate, c.channels, c.encoder);
    ASSERT_GT(p.referenceFrames, size_t(c.rate));
    EXPECT_NE(p.lengthAtOpen, p.referenceFrames) << "the open reports the estimate";
    EXPECT_EQ(p.ends, 1);
    EXPECT_EQ(p.heardFrames, p.referenceSound) << "every frame of the file is heard";
    EXPECT_EQ(p.lengthAtEnd, p.referenceFrames) << "at its end the stream knows its real length";
    EXPECT_EQ(p.lengthMsAtEnd, int(p.referenceFrames * 1000 / size_t(c.rate)));
    EXPECT_GE(p.lastTime, int(p.referenceFrames * 1000 / size_t(c.rate)) - 100) << "the time runs to the real end";
  }
}

}  // namespace mpeg_oracle_test
