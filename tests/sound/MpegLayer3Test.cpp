// Layer 3 frames built bit by bit, whole and damaged: a damaged frame costs
// at most its own sound and the next frame's settling, never a crash, a
// hang or noise from the wrong bits.
#include "MpegFrameSupport.h"
#include "SoundTestSupport.h"
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/stream/osnd_stream.h"

#include <algorithm>
#include <cstdlib>

namespace mpeg_layer3_test {

namespace {

constexpr int kFrameSamples = 2 * 1152;  // stereo samples a frame

// Decodes frames one by one with a fresh decoder; a frame the decoder
// refuses gives no samples.
std::vector<std::vector<int16_t>> DecodeFrames(const std::vector<MpegBytes> &frames) {
  MpegDecoder_InitTables();
  auto *d = static_cast<MpegDecoder *>(std::calloc(1, sizeof(MpegDecoder)));
  d->previousLength = -1;
  std::vector<std::vector<int16_t>> out;
  for (const MpegBytes &f : frames) {
    std::vector<int16_t> pcm(MPEG_MAX_FRAME_OUTPUT / 2);
    int written = 0;
    MpegDecoder_DecodeFrame(d, f.data(), int(f.size()), reinterpret_cast<uint8_t *>(pcm.data()), &written);
    pcm.resize(size_t(written / 2));
    out.push_back(pcm);
  }
  std::free(d);
  return out;
}

std::vector<MpegBytes> NoiseFrames(int count) {
  std::vector<MpegBytes> frames;
  for (int i = 0; i < count; ++i) frames.push_back(Layer3Frame(Layer3Noise(uint32_t(i))));
  return frames;
}

bool Silent(const std::vector<int16_t> &pcm) {
  return std::all_of(pcm.begin(), pcm.end(), [](int16_t v) { return v == 0; });
}

TEST(MpegLayer3, DamagedSideInformationCostsOnlyItsFrame) {
  const std::vector<MpegBytes> good = NoiseFrames(8);
  for (const MpegBytes &f : good) ASSERT_EQ(f.size(), 417u);
  const auto reference = DecodeFrames(good);
  for (const auto &pcm : reference) {
    ASSERT_EQ(pcm.size(), size_t(kFrameSamples));
    ASSERT_FALSE(Silent(pcm));
  }

  // big_values above 288: the frame is refused.
  Layer3Layout tooBig = Layer3Noise(3);
  tooBig.parts[1][0].bigValuesOverride = 289;
  std::vector<MpegBytes> frames = good;
  frames[3] = Layer3Frame(tooBig);
  auto got = DecodeFrames(frames);
  EXPECT_TRUE(got[3].empty());
  // The next frame settles (overlap and synthesis history are the refused
  // frame's); from the one after on the sound is the undamaged decode's.
  for (size_t i = 5; i < got.size(); ++i) EXPECT_EQ(got[i], reference[i]) << i;

  // Window switching announced with block type 0 (no such block): refused too.
  Layer3Layout typeZero = Layer3Noise(6);
  typeZero.parts[0][1].switchedTypeZero = true;
  frames = good;
  frames[6] = Layer3Frame(typeZero);
  got = DecodeFrames(frames);
  EXPECT_TRUE(got[6].empty());
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(got[i], reference[i]) << i;

  // Huffman data running past part2_3_length: the frame keeps its length
  // and is silent from that granule on.
  Layer3Layout overrun = Layer3Noise(2);
  overrun.parts[0][1].part23Adjust = -30;
  frames = good;
  frames[2] = Layer3Frame(overrun);
  got = DecodeFrames(frames);
  ASSERT_EQ(got[2].size(), size_t(kFrameSamples));
  EXPECT_TRUE(Silent(got[2]));
  for (size_t i = 4; i < got.size(); ++i) EXPECT_EQ(got[i], reference[i]) << i;

  // Main data said to begin further back than the frames the decoder has
  // seen (here 400 bytes; frame 0 holds 381): silent, not noise from the
  // wrong bits, even where the granules' lengths leave room for any bits.
  Layer3Layout orphan = Layer3Noise(1);
  orphan.mainDataBegin = 400;
  for (auto &granule : orphan.parts)
    for (Layer3Part &p : granule) p.part23Adjust = 1500;
  frames = good;
  frames[1] = Layer3Frame(orphan);
  got = DecodeFrames(frames);
  ASSERT_EQ(got[1].size(), size_t(kFrameSamples));
  EXPECT_TRUE(Silent(got[1]));
  for (size_t i = 3; i < got.size(); ++i) EXPECT_EQ(got[i], reference[i]) << i;
}

class MpegLayer3File : public CapturedEngine {};

TEST_F(MpegLayer3File, DamagedAndTruncatedFilesPlayOn) {
  ASSERT_TRUE(Start());
  MpegBytes file;
  for (const MpegBytes &f : NoiseFrames(10)) file.insert(file.end(), f.begin(), f.end());
  uint32_t seed = 777;
  for (int round = 0; round < 60; ++round) {
    MpegBytes damaged = file;
    // Flipped bytes, mostly in the main data (Huffman regions), sometimes
    // in headers and side information; then a cut anywhere in the last frames.
    for (int i = 0; i < 1 + round % 12; ++i) {
      seed = seed * 1103515245u + 12345u;
      damaged[(seed >> 8) % damaged.size()] ^= uint8_t(1 + (seed >> 24) % 255);
    }
    damaged.resize(damaged.size() - (seed >> 4) % 900);
    OSND_SAMPLE *s = OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char *>(damaged.data()),
                                      OSND_MODE_MEMORY, 0, int(damaged.size()));
    if (s) {
      EXPECT_LE(OSND_Sample_GetLength(s), 10u * 1152u);
      OSND_Sample_Free(s);
    }
    OSND_STREAM *stream = OSND_Stream_Open(reinterpret_cast<const char *>(damaged.data()),
                                           OSND_MODE_MEMORY | FORMAT_MPEG_EXACT, 0, int(damaged.size()));
    if (stream) {
      std::vector<int16_t> pcm(2 * 4000);
      for (int piece = 0; piece < 4; ++piece)
        OsndStream_Decode(stream, pcm.data(), int(pcm.size() * 2), nullptr);
      OSND_Stream_Close(stream);
    }
  }
  // A file cut inside its last frame plays the whole frames before it.
  MpegBytes cut = file;
  cut.resize(cut.size() - 200);
  OSND_SAMPLE *s = OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char *>(cut.data()), OSND_MODE_MEMORY, 0,
                                    int(cut.size()));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(OSND_Sample_GetLength(s), 9u * 1152u);
  OSND_Sample_Free(s);
}

}  // namespace

}  // namespace mpeg_layer3_test
