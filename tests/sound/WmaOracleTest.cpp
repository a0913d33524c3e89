// Windows Media files made with ffmpeg (wmav2) decode through the engine's
// Windows Media reader, as a sample and as a stream, to what ffmpeg decodes
// them to, within one step of the last bit.
#include "SoundTestSupport.h"
#include "sound/src/stream/osnd_stream.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace wma_oracle_test {

namespace {

std::vector<int16_t> Slice(const std::vector<int16_t> &v, size_t from, size_t count) {
  from = std::min(from, v.size());
  return std::vector<int16_t>(v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(std::min(v.size(), from + count)));
}

class WmaOracle : public NonRealtimeEngine {
 protected:
  void TearDown() override {
    NonRealtimeEngine::TearDown();
    RemoveTestFiles("wma");
  }

  // The largest difference between two runs of 16-bit values; their lengths
  // must agree.
  static int Worst(const std::vector<int16_t> &a, const std::vector<int16_t> &b) {
    EXPECT_EQ(a.size(), b.size());
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
  }
};


TEST_F(WmaOracle, DecodesAsFfmpegDoesAsSampleAndStream) {
  struct Case {
    const char *name, *source;
    int rate, channels;
  } cases[] = {{"stereo", "sine=frequency=440:duration=1.3", 44100, 2},
               {"mono", "sine=frequency=300:duration=1.9", 22050, 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string wma = TestFile("wma", std::string(c.name) + ".wma");
    const std::string raw = TestFile("wma", std::string(c.name) + ".raw");
    ASSERT_TRUE(RunQuiet("ffmpeg -v error -y -f lavfi -i " + std::string(c.source) + " -ar " + std::to_string(c.rate) +
                         " -ac " + std::to_string(c.channels) + " -c:a wmav2 -b:a 64k " + wma));
    ASSERT_TRUE(RunQuiet("ffmpeg -v error -y -i " + wma + " -f s16le -acodec pcm_s16le " + raw));
    const std::vector<int16_t> expected = ReadPcm(raw);
    ASSERT_GT(expected.size(), 30000u);

    OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, wma.c_str(), 0, 0, 0);
    ASSERT_NE(sample, nullptr) << OSND_GetError();
    EXPECT_EQ(sample->defFrequency, c.rate);
    EXPECT_EQ(bool(sample->mode & OSND_MODE_STEREO), c.channels == 2);
    void *p1 = nullptr, *p2 = nullptr;
    unsigned l1 = 0, l2 = 0;
    const int bytes = int(sample->length) * 2 * c.channels;
    ASSERT_TRUE(OSND_Sample_Lock(sample, 0, bytes, &p1, &p2, &l1, &l2));
    const std::vector<int16_t> loaded(static_cast<int16_t *>(p1), static_cast<int16_t *>(p1) + l1 / 2);
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
    // The sample is as long as the file's duration says, which may differ a
    // little from what the frames hold; a longer sample ends in silence.
    const size_t common = std::min(loaded.size(), expected.size());
    ASSERT_GT(common, expected.size() * 9 / 10);
    EXPECT_LE(Worst(Slice(loaded, 0, common), Slice(expected, 0, common)), 1);
    for (size_t i = common; i < loaded.size(); ++i) ASSERT_EQ(loaded[i], 0) << "at " << i;
    OSND_Sample_Free(sample);

    OSND_STREAM *s = OSND_Stream_Open(wma.c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr) << OSND_GetError();
    const size_t total = std::min(size_t(s->lengthPcm) * size_t(c.channels), expected.size());
    std::vector<int16_t> streamed(total);
    ASSERT_TRUE(OsndStream_Seek(s, 0, 0, true));
    for (size_t at = 0; at < total; at += 3001)
      OsndStream_Decode(s, streamed.data() + at, int(std::min<size_t>(3001, total - at) * 2), nullptr);
    EXPECT_LE(Worst(streamed, Slice(expected, 0, total)), 1);
    // Seeking lands on the sample asked for.
    const uint32_t frame = 20000;
    ASSERT_TRUE(OsndStream_Seek(s, 2, frame, true));
    std::vector<int16_t> after(size_t(4000) * size_t(c.channels));
    OsndStream_Decode(s, after.data(), int(after.size() * 2), nullptr);
    EXPECT_LE(Worst(after, Slice(expected, frame * size_t(c.channels), after.size())), 1);
    EXPECT_TRUE(OSND_Stream_Close(s));
  }
}

// A header object whose size runs past 4 GiB sends the reader seeking far
// beyond the end of the file. Such a seek must land at the end, not wrap into
// the file: wrapped, the reader walked the same bytes again for minutes.
TEST_F(WmaOracle, AHeaderSizePastFourGigabytesEndsTheOpenAtOnce) {
  static const unsigned char bytes[] = {
      0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C,
      0x52, 0x49, 0x46, 0x46, 0xE8, 0x05, 0x30, 0x26, 0xB2, 0x75, 0x8E, 0x52, 0x49, 0x46, 0x46, 0xC2,
      0x01, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6D, 0x74, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x07, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x49, 0xEB,
  };
  const auto start = std::chrono::steady_clock::now();
  OSND_STREAM *stream = OSND_Stream_Open(reinterpret_cast<const char *>(bytes), OSND_MODE_MEMORY, 0, int(sizeof bytes));
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(stream, nullptr);
  if (stream) OSND_Stream_Close(stream);
  EXPECT_LT(seconds, 5.0);
}

// A Windows Media file whose audio codec the decoder does not have: the
// reader answers that the file is not its format, as the runtime does for a
// codec it lacks, and so does every later source of a stream, the media
// player included.
TEST_F(WmaOracle, ACodecTheDecoderLacksIsNotThisFormat) {
  const std::string wma = TestFile("wma", "tone.wma"), odd = TestFile("wma", "odd.wma");
  ASSERT_TRUE(RunQuiet("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.5 -ar 44100 -ac 2 -c:a wmav2 " +
                       wma));
  std::ifstream in(wma, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  // The stream's wave format: tag 0x0161, two channels, 44100 Hz.
  const std::string format("\x61\x01\x02\x00\x44\xac\x00\x00", 8);
  const size_t at = bytes.find(format);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(bytes.find(format, at + 1), std::string::npos);
  bytes[at] = '\xFE';
  bytes[at + 1] = '\x7F';
  std::ofstream(odd, std::ios::binary) << bytes;

  OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, wma.c_str(), 0, 0, 0);
  ASSERT_NE(sample, nullptr) << OSND_GetError();
  OSND_Sample_Free(sample);
  EXPECT_EQ(OSND_Sample_Load(OSND_FREE, odd.c_str(), 0, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  EXPECT_EQ(OSND_Stream_Open(odd.c_str(), 0, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
}

}  // namespace

}  // namespace wma_oracle_test
