// Files no reader of the engine takes (FLAC and Opus made with ffmpeg) play
// through the media player graph on a media channel: what reaches the audio
// device (SDL's disk driver, written to a file) is ffmpeg's own decode at the
// volume and balance the channel was given, from where it was sought to.
#include "SoundTestSupport.h"
#include "platform/media/DirectShow.h"
#include "sound/src/format/format_dshow.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/output/output_dsound.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace direct_show_oracle_test {

namespace {

// From the first frame that is not silence: a device that is open but not
// yet playing is fed silence, for as long as the scheduler happens to take.
std::vector<int16_t> FromSound(const std::vector<int16_t> &v, size_t from = 0) {
  while (from + 1 < v.size() && v[from] == 0 && v[from + 1] == 0) from += 2;
  return std::vector<int16_t>(v.begin() + std::ptrdiff_t(std::min(from, v.size())), v.end());
}

double Gain(int hundredths) { return std::pow(10.0, hundredths / 2000.0); }

class DirectShowOracle : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    device = TestFile("dshow", "device.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", device.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
  }
  void TearDown() override {
    NonRealtimeEngine::TearDown();
    RemoveTestFiles("dshow");
  }

  // Makes a file with ffmpeg and its reference decode as 16-bit stereo.
  std::vector<int16_t> Make(const std::string &file, const std::string &codec) {
    const std::string raw = file + ".raw";
    EXPECT_TRUE(RunQuiet("ffmpeg -v error -y -f lavfi -i sine=frequency=330:duration=1.5 -ar 48000 -ac 2 -c:a " +
                         codec + " " + file));
    EXPECT_TRUE(RunQuiet("ffmpeg -v error -y -i " + file + " -f s16le -acodec pcm_s16le -ac 2 " + raw));
    return ReadPcm(raw);
  }

  // Plays the stream to its end (bounded in time) and closes it; what the
  // device received.
  std::vector<int16_t> PlayOut(DshowStream *s) {
    EXPECT_GT(FormatDshow_Play(s, false), 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (s->channel->ops.isPlaying(s->channel) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(s->channel->ops.isPlaying(s->channel));
    FormatDshow_Close(s);
    return FromSound(ReadPcm(device));
  }

  std::string device;
};

}  // namespace

TEST_F(DirectShowOracle, PlaysFlacAndOpusAtTheVolumeBalanceAndPositionSet) {
  for (const char *codec : {"flac", "libopus"}) {
    SCOPED_TRACE(codec);
    const std::string file = TestFile("dshow", std::string("tone.") + (codec[0] == 'f' ? "flac" : "opus"));
    const std::vector<int16_t> reference = Make(file, codec);
    ASSERT_GT(reference.size(), 2u * 70000);

    // Whole file at volume 128 and pan 64 (right side turned down).
    std::string name = file;
    DshowStream *s = nullptr;
    uint32_t bytes = 0;
    int ms = 0;
    ASSERT_TRUE(FormatDshow_Open(nullptr, name.data(), &bytes, &ms, &s)) << OSND_GetError();
    EXPECT_NEAR(ms, 1500, 30);
    EXPECT_TRUE(s->channel->flags & 0x40);
    ASSERT_TRUE(s->channel->ops.setVolume(s->channel, 128));
    ASSERT_TRUE(s->channel->ops.setPan(s->channel, 64));
    OsndChannel *channel = s->channel;
    std::vector<int16_t> heard = PlayOut(s);
    EXPECT_FALSE(channel->flags & 0x40);
    const double level = Gain(OsndVolumeTable[128]);
    const double right = level * Gain(OsndVolumeTable[128]);
    std::vector<int16_t> scaled(reference.size());
    for (size_t i = 0; i < reference.size(); ++i)
      scaled[i] = int16_t(std::nearbyint(reference[i] * (i % 2 ? right : level)));
    const std::vector<int16_t> expected = FromSound(scaled);
    ASSERT_GE(heard.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i < expected.size(); ++i) worst = std::max(worst, std::abs(heard[i] - expected[i]));
    EXPECT_LE(worst, 1);
    for (size_t i = expected.size(); i < heard.size(); ++i) ASSERT_EQ(heard[i], 0) << "at " << i;

    // Sought to 500 ms before playing, at full volume and the centre: the
    // device hears the file from sample 24000 on.
    name = file;
    ASSERT_TRUE(FormatDshow_Open(nullptr, name.data(), &bytes, &ms, &s)) << OSND_GetError();
    ASSERT_TRUE(FormatDshow_SeekMs(s, 500));
    EXPECT_EQ(FormatDshow_GetPositionMs(s), 500);
    heard = PlayOut(s);
    const std::vector<int16_t> later = FromSound(reference, 2 * 24000);
    const size_t count = 2 * 20000;
    ASSERT_GE(heard.size(), count);
    worst = 0;
    for (size_t i = 0; i < count; ++i) worst = std::max(worst, std::abs(heard[i] - later[i]));
    EXPECT_LE(worst, 1);

    // Seeking by samples and the position reported back in milliseconds.
    name = file;
    ASSERT_TRUE(FormatDshow_Open(nullptr, name.data(), &bytes, &ms, &s)) << OSND_GetError();
    ASSERT_TRUE(FormatDshow_SeekSamples(s, 36000));
    EXPECT_EQ(FormatDshow_GetPositionMs(s), 750);
    EXPECT_TRUE(s->channel->ops.isPlaying(s->channel));
    FormatDshow_Close(s);
  }
}

TEST_F(DirectShowOracle, NamesChannelsAndBalanceFollowTheEngineRules) {
  const std::string file = TestFile("dshow", "tone.flac");
  Make(file, "flac");
  std::vector<DshowStream *> open;
  for (int i = 0; i < 16; ++i) {
    std::string name = file;
    DshowStream *s = nullptr;
    ASSERT_TRUE(FormatDshow_Open(nullptr, name.data(), nullptr, nullptr, &s)) << i << ": " << OSND_GetError();
    open.push_back(s);
  }
  // Every media channel is taken: a name this format would try is refused
  // for want of a channel, an internet name that is not MP3 before that.
  char mp3[] = "http://127.0.0.1:9/song.MP3";
  char ogg[] = "http://127.0.0.1:9/song.ogg";
  DshowStream *none = nullptr;
  EXPECT_FALSE(FormatDshow_Open(nullptr, mp3, nullptr, nullptr, &none));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_CREATE_BUFFER);
  EXPECT_FALSE(FormatDshow_Open(nullptr, ogg, nullptr, nullptr, &none));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);

  // Balance for pans: 0 at the centre and for "no pan", a table step on
  // either side with the sign of the side kept loud.
  OsndChannel *c = open[0]->channel;
  const struct {
    int pan;
    long balance;
  } pans[] = {{128, 0}, {-1, 0}, {0, OsndVolumeTable[0]}, {64, OsndVolumeTable[128]},
              {255, -long(OsndVolumeTable[1])}, {192, -long(OsndVolumeTable[127])}};
  for (const auto &p : pans) {
    ASSERT_TRUE(c->ops.setPan(c, p.pan)) << p.pan;
    long balance = 1;
    ASSERT_EQ(open[0]->audio->get_Balance(&balance), S_OK);
    EXPECT_EQ(balance, p.balance) << p.pan;
  }
  // A closed stream frees its channel for the next open.
  FormatDshow_Close(open.back());
  open.pop_back();
  std::string name = file;
  DshowStream *again = nullptr;
  ASSERT_TRUE(FormatDshow_Open(nullptr, name.data(), nullptr, nullptr, &again));
  open.push_back(again);
  for (DshowStream *s : open) FormatDshow_Close(s);

  // A file nothing decodes is not this format and takes no channel.
  const std::string text = TestFile("dshow", "notes.txt");
  std::ofstream(text) << "not a sound";
  name = text;
  EXPECT_FALSE(FormatDshow_Open(nullptr, name.data(), nullptr, nullptr, &none));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  for (int i = 0; i < 16; ++i) EXPECT_FALSE(gOsnd.channels[gOsnd.channelCount + i].flags & 0x40) << i;
}

// The stream opener hands a file that none of its readers takes to the media
// player last: the stream plays, is sought, stopped and closed through the
// ordinary stream calls. Memory data and internet-only opens never reach it.
TEST_F(DirectShowOracle, AFileNoReaderTakesOpensAsAStreamThroughTheMediaPlayer) {
  const std::string file = TestFile("dshow", "tone.flac");
  const std::vector<int16_t> reference = Make(file, "flac");
  ASSERT_GT(reference.size(), 2u * 70000);

  OSND_STREAM *s = OSND_Stream_Open(file.c_str(), OSND_MODE_LOOP_OFF, 0, 0);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->sample, nullptr);
  EXPECT_NEAR(s->lengthMs, 1500, 30);
  EXPECT_STREQ(s->name, file.c_str());
  // A third of the file's bytes is a third of its time, to the millisecond.
  ASSERT_TRUE(OSND_Stream_SetPosition(s, s->dataLength / 3));
  const int sought = OSND_Stream_GetTime(s);
  EXPECT_NEAR(sought, 500, 2);
  // The byte position is the time's share of the bytes.
  EXPECT_NEAR(OSND_Stream_GetPosition(s), int64_t(sought) * s->dataLength / s->lengthMs, 1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_NONE);
  EXPECT_FALSE(s->playing);
  const int handle = OSND_Stream_Play(OSND_FREE, s);
  ASSERT_GT(handle, 0) << OSND_GetError();
  EXPECT_TRUE(s->playing);
  EXPECT_EQ(OSND_Stream_Play(OSND_FREE, s), handle) << "playing already: its channel";
  ASSERT_TRUE(OSND_SetVolume(handle, 128));
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (OSND_IsPlaying(handle) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(OSND_IsPlaying(handle));
  EXPECT_GE(OSND_Stream_GetTime(s), 1490);
  ASSERT_TRUE(OSND_Stream_Stop(s));
  EXPECT_FALSE(s->playing);
  ASSERT_TRUE(OSND_Stream_Close(s));
  for (int i = 0; i < 16; ++i) EXPECT_FALSE(gOsnd.channels[gOsnd.channelCount + i].flags & 0x40) << i;

  // The device heard the file from where it was sought, from the first
  // sound on; the volume came after the start, so only the part after the
  // first tenth of a second is compared at that level.
  const std::vector<int16_t> heard = FromSound(ReadPcm(device));
  const std::vector<int16_t> later = FromSound(reference, 2 * 48 * size_t(sought));
  ASSERT_GT(heard.size(), 2u * 40000);
  const double level = Gain(OsndVolumeTable[128]);
  int worst = 0;
  for (size_t i = 2 * 9600; i < 2 * 40000; ++i)
    worst = std::max(worst, std::abs(heard[i] - int(std::nearbyint(later[i] * level))));
  EXPECT_LE(worst, 1);

  // Data in memory and internet-only opens are not played by name.
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(OSND_Stream_Open(bytes.data(), OSND_MODE_MEMORY, 0, int(bytes.size())), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  EXPECT_EQ(OSND_Stream_Open(file.c_str(), OSND_MODE_INTERNET, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
}

}  // namespace direct_show_oracle_test
