// Writers of XM and IT modules for the song tests, the oracle and the fuzz
// seeds: a song is described field by field and written byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TrackerCell {
  int note = 0;  // XM: 1..96, 97 key off; IT: 0-based note + 1, 255 off, 254 cut
  int instrument = 0;
  int volume = 0;  // the stored volume-column byte (0: none)
  int effect = 0;  // XM: 0..35 (letters from 10); IT: 1 = A ..
  int parameter = 0;
};

struct TrackerEnvelope {
  std::vector<std::pair<int, int>> points;  // (tick, value)
  int sustain = -1, sustainEnd = -1, loopStart = -1, loopEnd = -1;  // -1: off
  bool on = true;
  bool carry = false;
};

struct TrackerSample {
  std::vector<int16_t> pcm;  // mono frames; 8-bit samples hold -128..127
  bool sixteen = false;
  int loopStart = 0, loopLength = 0;  // frames; length 0: no loop
  bool pingPong = false;
  int volume = 64, pan = 128, finetune = 0, relativeNote = 0;
  int cSpeed = 8363;  // IT
  int globalVolume = 64;  // IT
  int vibratoSpeed = 0, vibratoDepth = 0, vibratoRate = 0, vibratoType = 0;  // IT
  int defaultPan = -1;  // IT: 0..64 used, -1 none
  // IT: store compressed (2.14 or, with `compressed215`, 2.15).
  bool compressed = false, compressed215 = false;
};

struct TrackerInstrument {
  std::vector<TrackerSample> samples;  // XM: the instrument's own samples
  std::vector<int> sampleMap;          // XM: 96 slots; IT: 120 sample numbers (1-based, 0 none)
  TrackerEnvelope volumeEnvelope, panEnvelope, pitchEnvelope;
  int fadeOut = 0;  // as stored
  int vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;  // XM
  int newNoteAction = 0, duplicateCheck = 0, duplicateAction = 0;             // IT
  int globalVolume = 128, defaultPan = -1, pitchPanSeparation = 0, pitchPanCentre = 60;  // IT
};

struct TrackerPattern {
  int rows = 64;
  std::vector<TrackerCell> cells;  // rows x channels
};

struct TrackerSong {
  std::string name = "tracker test";
  int channels = 4;
  std::vector<int> orders{0};
  int restart = 0;
  bool linear = true;      // XM flag 1; IT flag 8
  int speed = 6, tempo = 125;
  std::vector<TrackerPattern> patterns;
  std::vector<TrackerInstrument> instruments;
  // IT only.
  std::vector<TrackerSample> itSamples;
  bool itInstruments = true;
  int itFlags = 1;  // stereo
  int globalVolume = 128, mixVolume = 48;
  std::vector<int> channelPans;  // 0..64, bit 7 off
  int compatible = 0x214;

  TrackerCell &At(int pattern, int row, int channel);
  std::vector<uint8_t> Xm() const;
  std::vector<uint8_t> It() const;
};

// The IT 2.14 (or 2.15, second-order) compressed form of sample data: blocks
// of 8-bit or 16-bit deltas, narrowed to a smaller code width where they fit.
std::vector<uint8_t> ItCompress(const std::vector<int16_t> &pcm, bool sixteen, bool variant215);
// A sample of whole sine waves, `period` frames each.
TrackerSample SineSample(int frames, int period, int amplitude, bool sixteen = false);

// An IT module of one 16-bit sine sample and one note on its first row: a
// song whose start writes into its channels, for the lifetime tests.
std::vector<uint8_t> OneNoteIt();
