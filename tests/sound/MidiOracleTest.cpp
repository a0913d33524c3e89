// MIDI songs through the engine: files written with mido, played through the
// FluidSynth-backed DirectMusic stand-in into the engine's mix, compared with
// `fluidsynth -F` rendering the same file with the same font and settings.
#include "SongTestSupport.h"
#include "platform/dmusic/DirectMusic.h"
#include "sound/src/song/song_midi.h"
#include "sound/src/output/output_dsound.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace midi_oracle_test {

namespace {


std::string In(const std::string &name) { return TestFile("midi", name); }
bool Shell(const std::string &command) { return RunQuiet(command); }

// Two channels (piano and strings), a chord and a short run; about 1.6 s.
const char *kWriteSong = R"(import mido, sys
f = mido.MidiFile(ticks_per_beat=480)
t = mido.MidiTrack(); f.tracks.append(t)
t.append(mido.MetaMessage('set_tempo', tempo=500000))
t.append(mido.Message('program_change', channel=0, program=0, time=0))
t.append(mido.Message('program_change', channel=1, program=48, time=0))
for n in (60, 64, 67): t.append(mido.Message('note_on', channel=0, note=n, velocity=100, time=0))
t.append(mido.Message('note_on', channel=1, note=48, velocity=90, time=0))
t.append(mido.Message('note_off', channel=0, note=60, velocity=0, time=480))
for n in (64, 67): t.append(mido.Message('note_off', channel=0, note=n, velocity=0, time=0))
for n in (72, 74, 76, 77):
    t.append(mido.Message('note_on', channel=0, note=n, velocity=110, time=0))
    t.append(mido.Message('note_off', channel=0, note=n, velocity=0, time=120))
t.append(mido.Message('note_off', channel=1, note=48, velocity=0, time=0))
t.append(mido.MetaMessage('end_of_track', time=240))
f.save(sys.argv[1])
)";

class MidiSongTest : public CapturedSong {
 protected:
  static void SetUpTestSuite() {
    std::ofstream(In("write.py")) << kWriteSong;
    // Debian's python3 carries mido; a python3 earlier on the path may not.
    ASSERT_TRUE(Shell("/usr/bin/python3 " + In("write.py") + " " + In("song.mid")));
  }
  static void TearDownTestSuite() { RemoveTestFiles("midi"); }

  MusicSong *LoadFile(const std::string &path, unsigned mode = 0) {
    MusicSong *song = Music_CreateSong();
    songs.push_back(song);
    return Music_LoadSong(song, path.c_str(), mode, 0, 0, nullptr, 0);
  }

  // fluidsynth's own rendering of the file at the gain a master volume gives.
  static std::vector<int16_t> Reference(int masterVolume, bool effects) {
    const float gain = dmusic::DirectMusicSynth_GainForVolume(OsndVolumeTable[masterVolume] + 1000);
    char gainText[32];
    std::snprintf(gainText, sizeof gainText, "%.6f", double(gain));
    const std::string raw = In("reference.raw");
    EXPECT_TRUE(Shell(std::string("fluidsynth -n -i -q -r 44100 -R ") + (effects ? "1 -C 1" : "0 -C 0") + " -g " + gainText + " -O s16 -T raw -F " +
                      raw + " " + dmusic::DirectMusicSynth_SoundFont() + " " + In("song.mid")));
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
  }

  static size_t Attack(const std::vector<int16_t> &frames, size_t from = 0) {
    for (size_t i = from * 2; i < frames.size(); ++i)
      if (std::abs(int(frames[i])) > 200) return i / 2;
    return size_t(-1);
  }

  double Rms(size_t from, size_t to) const {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from * 2; i < to * 2 && i < captured.size(); ++i, ++n) sum += double(captured[i]) * captured[i];
    return n ? std::sqrt(sum / double(n)) : 0.0;
  }
};

}  // namespace

TEST_F(MidiSongTest, PlaysLikeFluidSynthRenderingTheSameFile) {
  ASSERT_NE(dmusic::DirectMusicSynth_SoundFont(), nullptr) << "no General MIDI sound font installed";
  // Reverb and chorus off: their modulation runs from the synthesizer's
  // creation, which differs between the two renderings.
  dmusic::DirectMusicSynthSettings settings;
  settings.reverb = settings.chorus = false;
  dmusic::DirectMusicSynth_Configure(settings);
  const std::vector<int16_t> expected = Reference(255, false);
  ASSERT_GT(expected.size(), 44100u * 2);
  MusicSong *song = LoadFile(In("song.mid"));
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_MIDI);
  EXPECT_EQ(song->masterVolume, 255);
  ASSERT_TRUE(Music_PlaySong(song));
  ASSERT_NE(MusicFormatMidi_Stream(), nullptr);
  PlayFrames(expected.size() / 2 + 44100);
  const size_t ours = Attack(captured), theirs = Attack(expected);
  ASSERT_NE(ours, size_t(-1));
  ASSERT_NE(theirs, size_t(-1));
  // The two differ only by FluidSynth's dither of the last bit.
  size_t compared = 0;
  int worst = 0;
  for (size_t f = 0; theirs + f < expected.size() / 2 && ours + f < captured.size() / 2; ++f, ++compared)
    for (int c = 0; c < 2; ++c)
      worst = std::max(worst, std::abs(int(captured[(ours + f) * 2 + c]) - int(expected[(theirs + f) * 2 + c])));
  EXPECT_GT(compared, 44100u);
  EXPECT_LE(worst, 2);
}

TEST_F(MidiSongTest, RepeatsStopAndVolumeActOnTheSynthesizer) {
  ASSERT_NE(dmusic::DirectMusicSynth_SoundFont(), nullptr);
  dmusic::DirectMusicSynth_Configure(dmusic::DirectMusicSynthSettings{});
  // The song lasts 1.25 s; the synthesizer's stream runs up to two buffer
  // halves (0.8 s) ahead of what is heard, so windows are taken well clear.
  const size_t second = 44100;
  auto playFor = [&](MusicSong *song, double seconds) {
    const size_t at = captured.size() / 2;
    EXPECT_TRUE(Music_PlaySong(song));
    PlayFrames(at + size_t(seconds * second));
    return at;
  };

  // Repeats: a looping song still sounds 2.2 to 2.7 s after it started; a song
  // played once is (nearly) silent there.
  MusicSong *once = LoadFile(In("song.mid"));
  MusicSong *looping = LoadFile(In("song.mid"), OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(once, nullptr) << OSND_GetError();
  ASSERT_NE(looping, nullptr);
  ASSERT_TRUE(looping->looping);
  const size_t loopStart = playFor(looping, 3.5);
  const double loopLate = Rms(loopStart + second * 22 / 10, loopStart + second * 27 / 10);
  // Stop: silence (but for the dither) once the buffered sound has played.
  ASSERT_TRUE(Music_StopSong(looping));
  const size_t stopped = captured.size() / 2;
  PlayFrames(stopped + 2 * second);
  EXPECT_LT(Rms(stopped + second * 13 / 10, stopped + 2 * second), 2.0) << "sound after the stop";

  const size_t onceStart = playFor(once, 3.5);
  const double onceLate = Rms(onceStart + second * 22 / 10, onceStart + second * 27 / 10);
  EXPECT_GT(loopLate, 500.0);
  EXPECT_LT(onceLate * 10, loopLate) << "the song played once still sounds";

  // Volume: each master volume plays the song at the volume table's level
  // (compared below full volume, where the mix may clip).
  once->masterVolume = 160;
  const size_t louderStart = playFor(once, 3.5);
  const double louder = Rms(louderStart, louderStart + 3 * second);
  once->masterVolume = 96;
  const size_t softStart = playFor(once, 3.5);
  const double soft = Rms(softStart, softStart + 3 * second);
  EXPECT_NEAR(soft / louder, std::pow(10.0, (OsndVolumeTable[96] - OsndVolumeTable[160]) / 2000.0), 0.02);
}

TEST_F(MidiSongTest, OtherRiffFilesAndBrokenMidiAreRefused) {
  std::ofstream(In("wave.wav"), std::ios::binary) << std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0", 20);
  std::ofstream(In("broken.mid"), std::ios::binary) << std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTr", 18);
  for (const char *name : {"wave.wav", "broken.mid"}) {
    SystemFileHandle *file = SystemFile_Open(In(name).c_str(), SYSTEMFILE_DISK, 0);
    ASSERT_NE(file, nullptr);
    MusicSong *song = Music_CreateSong();
    songs.push_back(song);
    EXPECT_FALSE(MusicFormatMidi_Load(song, file, In(name).c_str())) << name;
    EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT) << name;
    SystemFile_Close(file);
  }
}

// Without a General MIDI sound font the synthesizer port cannot start: there
// is no port, as on a machine without DirectMusic, and a MIDI file is refused
// with that error instead of being handed to the other song formats.
TEST_F(MidiSongTest, WithoutASoundFontThereIsNoPortAndSongsAreRefused) {
  setenv("QMV_SOUNDFONT", In("missing.sf2").c_str(), 1);
  EXPECT_EQ(dmusic::DirectMusicSynth_SoundFont(), nullptr);
  MusicSong *song = LoadFile(In("song.mid"));
  unsetenv("QMV_SOUNDFONT");
  EXPECT_EQ(song, nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
}

}  // namespace midi_oracle_test
