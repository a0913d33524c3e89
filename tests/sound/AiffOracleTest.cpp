// AIFF files written by sox load and stream to exactly the samples sox reads from them.
#include "SoundTestSupport.h"
#include "sound/src/stream/osnd_stream.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace aiff_oracle_test {

namespace {

class AiffOracle : public NonRealtimeEngine {
 protected:
  static std::string In(const std::string &name) { return TestFile("aiff-oracle", name); }
  void TearDown() override {
    NonRealtimeEngine::TearDown();
    RemoveTestFiles("aiff-oracle");
  }

  // Makes an AIFF file with sox and compares the sample and the stream with
  // sox's own reading of it as signed machine-order samples.
  void Check(const std::string &synth, int bits, const std::string &name) {
    const std::string file = In(name + ".aiff"), reference = In(name + ".raw");
    ASSERT_TRUE(RunShell("sox -n -b " + std::to_string(bits) + " " + synth.substr(0, synth.find('|')) + " " + file +
                      " " + synth.substr(synth.find('|') + 1)));
    ASSERT_TRUE(RunShell("sox " + file + " -t raw -e signed -b " + std::to_string(bits) + " " + reference));
    const std::vector<uint8_t> expected = ReadBytes(reference);
    ASSERT_FALSE(expected.empty());

    OSND_SAMPLE *sample = OSND_Sample_Load(OSND_FREE, file.c_str(), 0, 0, 0);
    ASSERT_NE(sample, nullptr) << name << " error " << OSND_GetError();
    const std::vector<uint8_t> loaded(sample->data, sample->data + SoundSoftware_SampleBytes(sample));
    EXPECT_EQ(loaded, expected) << name;
    OSND_Sample_Free(sample);

    OSND_STREAM *stream = OSND_Stream_Open(file.c_str(), 0, 0, 0);
    ASSERT_NE(stream, nullptr) << name << " error " << OSND_GetError();
    std::vector<uint8_t> streamed(expected.size() + 64, 0xAA);
    ASSERT_TRUE(OsndStream_Seek(stream, 0, 0, true));
    for (size_t at = 0; at < expected.size(); at += 3001 * 4)
      OsndStream_Decode(stream, streamed.data() + at, int(std::min<size_t>(3001 * 4, expected.size() - at)), nullptr);
    streamed.resize(expected.size());
    EXPECT_EQ(streamed, expected) << name;
    EXPECT_TRUE(OSND_Stream_Close(stream));
  }
};

}  // namespace

TEST_F(AiffOracle, SixteenAndEightBitFilesReadLikeSox) {
  Check("-r 44100 -c 2|synth 0.5 sine 440 sine 1250 gain -2", 16, "stereo16");
  Check("-r 22050 -c 1|synth 0.3 sine 300 gain -1", 16, "mono16");
  Check("-r 11025 -c 1|synth 0.3 sine 500 gain -3", 8, "mono8");
  Check("-r 8000 -c 2|synth 0.3 sine 700 sine 900", 8, "stereo8");
}

}  // namespace aiff_oracle_test
