// Readers compared with sox and oggdec: files made at test time in several
// encodings decode to exactly what the tools decode them to.
#include "SoundTestSupport.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/format/format_tag.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace sound_format_oracle_test {

namespace {

std::string In(const std::string &name) { return TestFile("sound-oracle", name); }

class FormatOracle : public NonRealtimeEngine {
 protected:
  static void TearDownTestSuite() { RemoveTestFiles("sound-oracle"); }
  static void SetUpTestSuite() {
    // Two tones, one per side, so that a swapped or mixed channel shows.
    ASSERT_TRUE(RunShell("sox -n -r 44100 -c 2 -b 16 " + In("source.wav") +
                    " synth 0.7 sine 440 sine 1250 gain -2"));
    ASSERT_TRUE(RunShell("sox -n -r 22050 -c 1 -b 16 " + In("mono.wav") + " synth 0.4 sine 300 gain -1"));
  }

  // The sample's data as stored (all frames, interleaved).
  static std::vector<uint8_t> SampleBytes(OSND_SAMPLE *s) {
    void *p1 = nullptr, *p2 = nullptr;
    unsigned l1 = 0, l2 = 0;
    const int bytes = int(SoundSoftware_SampleBytes(s));
    EXPECT_TRUE(OSND_Sample_Lock(s, 0, bytes, &p1, &p2, &l1, &l2));
    std::vector<uint8_t> data(static_cast<uint8_t *>(p1), static_cast<uint8_t *>(p1) + l1);
    OSND_Sample_Unlock(s, p1, p2, l1, l2);
    return data;
  }

  // Decodes a whole stream from its start through the stream's own decoder.
  static std::vector<uint8_t> StreamBytes(OSND_STREAM *s) {
    const int frame = ((s->mode & OSND_MODE_16BITS) ? 2 : 1) * ((s->mode & OSND_MODE_STEREO) ? 2 : 1);
    std::vector<uint8_t> out(size_t(s->lengthPcm) * size_t(frame));
    EXPECT_TRUE(OsndStream_Seek(s, 0, 0, true));
    const size_t piece = 4096 * size_t(frame) + size_t(frame) * 3;  // not a multiple of any block
    for (size_t at = 0; at < out.size(); at += piece)
      OsndStream_Decode(s, out.data() + at, int(std::min(piece, out.size() - at)), nullptr);
    return out;
  }

  // Converts with sox and checks the sample loader and the stream against its decode.
  void CheckWav(const std::string &source, const std::string &encoding, const std::string &name) {
    const std::string file = In(name + ".wav"), reference = In(name + ".raw");
    ASSERT_TRUE(RunShell("sox " + In(source) + " " + encoding + " " + file));
    ASSERT_TRUE(RunShell("sox -D " + file + " -t raw -e signed -b 16 " + reference));
    const std::vector<uint8_t> expected = ReadBytes(reference);
    ASSERT_FALSE(expected.empty());

    OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, file.c_str(), 0, 0, 0);
    ASSERT_NE(sample, nullptr) << name << " error " << OSND_GetError();
    EXPECT_TRUE(sample->mode & OSND_MODE_16BITS) << name;
    EXPECT_EQ(SampleBytes(sample), expected) << name;
    OSND_Sample_Free(sample);

    OSND_STREAM *stream = OSND_Stream_Open(file.c_str(), 0, 0, 0);
    ASSERT_NE(stream, nullptr) << name << " error " << OSND_GetError();
    EXPECT_EQ(StreamBytes(stream), expected) << name;
    EXPECT_TRUE(OSND_Stream_Close(stream));
  }
};


TEST_F(FormatOracle, PcmWavVariantsDecodeLikeSox) {
  CheckWav("source.wav", "-b 16", "pcm16");
  CheckWav("source.wav", "-b 24", "pcm24");
  CheckWav("source.wav", "-b 32 -e signed", "pcm32");
  CheckWav("source.wav", "-b 32 -e floating-point", "float32");
  CheckWav("source.wav", "-b 64 -e floating-point", "float64");
  CheckWav("mono.wav", "-b 24", "mono24");
}

TEST_F(FormatOracle, CompandedAndAdpcmWavDecodeLikeSox) {
  CheckWav("source.wav", "-e a-law", "alaw");
  CheckWav("source.wav", "-e u-law", "ulaw");
  CheckWav("mono.wav", "-e mu-law", "monoulaw");
  CheckWav("source.wav", "-e ima-adpcm", "ima");
  CheckWav("mono.wav", "-e ima-adpcm", "monoima");
}

TEST_F(FormatOracle, EightBitWavLoadsAsSignedBytes) {
  const std::string file = In("pcm8.wav"), reference = In("pcm8.raw");
  ASSERT_TRUE(RunShell("sox " + In("mono.wav") + " -b 8 " + file));
  ASSERT_TRUE(RunShell("sox " + file + " -t raw -e signed -b 8 " + reference));
  OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, file.c_str(), 0, 0, 0);
  ASSERT_NE(sample, nullptr);
  EXPECT_TRUE(sample->mode & OSND_MODE_8BITS);
  EXPECT_TRUE(sample->mode & OSND_MODE_SIGNED);
  EXPECT_EQ(SampleBytes(sample), ReadBytes(reference));
  OSND_Sample_Free(sample);
}

TEST_F(FormatOracle, OggVorbisDecodesLikeOggdec) {
  for (const std::string source : {"source", "mono"}) {
    const std::string file = In(source + ".ogg"), reference = In(source + "-ogg.raw");
    ASSERT_TRUE(RunShell("oggenc -Q -q 3 -o " + file + " " + In(source + ".wav")));
    ASSERT_TRUE(RunShell("oggdec -Q -R -b 16 -o " + reference + " " + file));
    const std::vector<uint8_t> expected = ReadBytes(reference);
    ASSERT_FALSE(expected.empty());

    OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, file.c_str(), 0, 0, 0);
    ASSERT_NE(sample, nullptr) << source;
    EXPECT_EQ(SampleBytes(sample), expected) << source;
    OSND_Sample_Free(sample);

    OSND_STREAM *stream = OSND_Stream_Open(file.c_str(), 0, 0, 0);
    ASSERT_NE(stream, nullptr) << source;
    EXPECT_EQ(StreamBytes(stream), expected) << source;
    OSND_Stream_Close(stream);
  }
}

TEST_F(FormatOracle, VorbisCommentsBecomeTagsAndTheTitle) {
  const std::string file = In("tagged.ogg");
  ASSERT_TRUE(RunShell("oggenc -Q -q 1 -o " + file + " " + In("mono.wav")));
  ASSERT_TRUE(RunShell("vorbiscomment -w -t ARTIST=Quillon -t TITLE=Lantern -t GENRE=Folk " + file));
  OSND_STREAM *stream = OSND_Stream_Open(file.c_str(), 0, 0, 0);
  ASSERT_NE(stream, nullptr);
  EXPECT_STREQ(stream->sample->name, "Quillon - Lantern");
  const void *value = nullptr;
  int length = 0;
  ASSERT_TRUE(OsndTag_Find(stream->tags, "genre", OSND_TAG_VORBIS, &value, &length));
  EXPECT_EQ(std::string(static_cast<const char *>(value), size_t(length)), "Folk");
  EXPECT_FALSE(OsndTag_Find(stream->tags, "TITLE", OSND_TAG_ID3V1, nullptr, nullptr));
  OSND_Stream_Close(stream);
}

TEST_F(FormatOracle, SixChannelOggIsRefusedAsNotThisFormat) {
  const std::string wav = In("six.wav"), file = In("six.ogg");
  ASSERT_TRUE(RunShell("sox -n -r 44100 -c 6 -b 16 " + wav + " synth 0.1 sine 500"));
  ASSERT_TRUE(RunShell("oggenc -Q -o " + file + " " + wav));
  EXPECT_EQ(OSND_Sample_Load(OSND_FREE, file.c_str(), 0, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  // As a stream it is refused by every reader of the engine; the media
  // player, tried last, plays it unless the open asks for none.
  EXPECT_EQ(OSND_Stream_Open(file.c_str(), OSND_MODE_INTERNET, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  OSND_STREAM *stream = OSND_Stream_Open(file.c_str(), 0, 0, 0);
  ASSERT_NE(stream, nullptr) << OSND_GetError();
  EXPECT_EQ(stream->source, OSND_SOURCE_DSHOW);
  EXPECT_TRUE(OSND_Stream_Close(stream));
}

}  // namespace

}  // namespace sound_format_oracle_test
