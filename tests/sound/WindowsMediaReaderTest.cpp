// The Windows Media sample loader on a file made by ffmpeg at test time.
#include "SoundTestSupport.h"
#include "sound/src/core/osnd_records.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

namespace windows_media_reader_test {

// A 0.3 s file whose header claims a play duration of ten hours loads as long
// as what decodes, and costs no allocation of the length claimed.
TEST_F(NonRealtimeEngine, AWindowsMediaSampleIsAsLongAsWhatDecodesNotAsItsHeaderClaims) {
  const std::string wav = TestFile("wmareader", "tone.wav"), wma = TestFile("wmareader", "tone.wma");
  ASSERT_TRUE(RunQuiet("sox -n -r 22050 -c 1 -b 16 " + wav + " synth 0.3 sine 440"));
  ASSERT_TRUE(RunQuiet("ffmpeg -loglevel error -y -i " + wav + " -c:a wmav2 -b:a 32k " + wma));
  std::ifstream in(wma, std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), {});
  // The file properties object; its play duration (100 ns units) lies 64
  // bytes into it.
  const std::string properties = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65";
  const size_t at = file.find(properties);
  ASSERT_NE(at, std::string::npos);
  ASSERT_LT(at + 72, file.size());
  const uint64_t tenHours = uint64_t(36000) * 10000000;
  for (int i = 0; i < 8; ++i) file[at + 64 + size_t(i)] = char(uint8_t(tenHours >> (8 * i)));

  gOsndMemory.peakBytes = gOsndMemory.bytesInUse;
  const int64_t before = gOsndMemory.bytesInUse;
  OSND_SAMPLE *s = OSND_Sample_Load(OSND_FREE, file.data(), OSND_MODE_MEMORY, 0, int(file.size()));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  // The encoder's priming and last block add a little.
  EXPECT_NEAR(OSND_Sample_GetLength(s), 22050 * 3 / 10, 22050 / 5);
  OSND_Sample_Free(s);
  EXPECT_LT(gOsndMemory.peakBytes - before, 16 << 20) << "bytes allocated for a file of " << file.size();
  RemoveTestFiles("wmareader");
}

}  // namespace windows_media_reader_test
