// The media reader on FFmpeg with files made at test time by sox and lame.
#include "platform/media/MemoryStream.h"
#include "platform/media/WindowsMedia.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace any_format_reader_test {

namespace {

std::string Path(const std::string &name) { return std::string(QMV_BINARY_DIR) + "/test-home/media-" + name; }

std::string ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// An MP3 file whose frames turn from stereo to mono part way (two files
// joined) plays on to its end: the mono frames reach the stream's two
// channels alike, and no frame is read with planes it does not have.
TEST(AnyFormatReader, AFileThatChangesItsChannelsMidwayPlaysThemAll) {
  const std::string make = "sox -n -r 22050 -c 2 -b 16 " + Path("a.wav") + " synth 0.5 sine 440 sine 660 && " +
                           "sox -n -r 22050 -c 1 -b 16 " + Path("b.wav") + " synth 0.5 sine 550 && " +
                           "lame --quiet -b 64 " + Path("a.wav") + " " + Path("a.mp3") + " && " +
                           "lame --quiet -b 64 -m m " + Path("b.wav") + " " + Path("b.mp3");
  ASSERT_EQ(std::system(make.c_str()), 0);
  const std::string file = ReadAll(Path("a.mp3")) + ReadAll(Path("b.mp3"));
  ASSERT_GT(file.size(), 4000u);

  wmf::IWMSyncReader *reader = nullptr;
  ASSERT_EQ(wmf::CreateAnyFormatReader(&reader), S_OK);
  auto *stream = new wmf::MemoryStream(reinterpret_cast<const std::uint8_t *>(file.data()), file.size());
  ASSERT_EQ(reader->OpenStream(stream), S_OK);
  stream->Release();

  std::vector<std::int16_t> pcm;
  for (wmf::INSSBuffer *buffer = nullptr;
       SUCCEEDED(reader->GetNextSample(WORD(1), &buffer, nullptr, nullptr, nullptr, nullptr, nullptr)) && buffer;
       buffer = nullptr) {
    BYTE *bytes = nullptr;
    DWORD length = 0;
    buffer->GetBufferAndLength(&bytes, &length);
    const size_t at = pcm.size();
    pcm.resize(at + length / 2);
    std::memcpy(pcm.data() + at, bytes, length / 2 * 2);
    buffer->Release();
  }
  reader->Release();

  // Stereo frames throughout: a second of them, the last half of which
  // carries the mono part on both channels.
  const size_t frames = pcm.size() / 2;
  EXPECT_GT(frames, size_t(22050 * 95 / 100));
  const size_t from = frames * 3 / 4, to = frames * 7 / 8;
  size_t alike = 0, sounding = 0;
  for (size_t f = from; f < to; ++f) {
    alike += pcm[2 * f] == pcm[2 * f + 1];
    sounding += std::abs(pcm[2 * f]) > 1000;
  }
  EXPECT_EQ(alike, to - from) << "the mono part is not on both channels alike";
  EXPECT_GT(sounding, (to - from) / 4) << "the mono part is silent";
  // And the stereo part before it is stereo.
  size_t differ = 0;
  for (size_t f = frames / 8; f < frames / 4; ++f) differ += pcm[2 * f] != pcm[2 * f + 1];
  EXPECT_GT(differ, frames / 16);
  for (const char *name : {"a.wav", "b.wav", "a.mp3", "b.mp3"}) std::remove(Path(name).c_str());
}

}  // namespace any_format_reader_test
