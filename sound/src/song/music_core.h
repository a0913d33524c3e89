// The music player core: the song record shared by every song format, the
// loader dispatch, tempo, the period and finetune tables, the voices that bind
// a song channel to engine channels, stopping songs and the song callbacks.
#pragma once

#include "sound/src/core/osnd_lifetime.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"

#include <algorithm>
#include <cstdint>
#include <vector>

struct MusicSong;

enum : uint8_t {
  MUSIC_TYPE_MOD = 1,
  MUSIC_TYPE_S3M = 2,
  MUSIC_TYPE_XM = 3,
  MUSIC_TYPE_IT = 4,
  MUSIC_TYPE_MIDI = 5,
  MUSIC_TYPE_SAMPLEBANK = 6
};

// Voice flags: what the next application of a voice does to its engine channel.
enum : uint8_t {
  MUSIC_FLAG_FREQUENCY = 1,
  MUSIC_FLAG_VOLUME = 2,
  MUSIC_FLAG_PAN = 4,
  MUSIC_FLAG_TRIGGER = 8,
  MUSIC_FLAG_STOP = 32
};

enum { MUSIC_CALLBACK_ROW = 0, MUSIC_CALLBACK_ORDER = 1, MUSIC_CALLBACK_ZXX = 2, MUSIC_CALLBACK_INSTRUMENT = 3 };

constexpr int MUSIC_MAX_CHANNELS = 32;
// Song channels that have a default pan of their own (XM and IT go up to 64).
constexpr int MUSIC_PAN_CHANNELS = 64;
constexpr int MUSIC_ORDERS = 256;
constexpr int MUSIC_NOTES = 132;
constexpr int MUSIC_CALLBACK_RING = 256;

// One pattern cell. note: 0 none, else 1-based (254 cut, 255 off where a
// format has them); instrument: 0 none, else 1-based.
struct MusicNote {
  uint8_t note;
  uint8_t instrument;
  uint8_t volume;
  uint8_t effect;
  uint8_t parameter;
};

// Cells row by row, one per song channel.
struct MusicPattern {
  int rows;
  MusicNote *cells;
};

typedef void (*MusicCallbackFunction)(MusicSong *song, int parameter);

struct MusicCallbackEntry {
  uint8_t parameter;
  float due;  // song clock in ms; -1 empty
};

struct MusicCallback {
  MusicCallbackFunction function;
  int step;  // row and order callbacks fire on multiples of it
  MusicCallbackEntry ring[MUSIC_CALLBACK_RING];
  int write;
  int read;
};

struct MusicEnvelopeState {
  int tick;
  int point;
  int value;  // 16.16
  int current;
  int delta;
  uint8_t finished;
};

// An instrument envelope: points (tick, value), loop and sustain points and
// type bits (1 on, 2 sustain, 4 loop, 8 carry).
constexpr int MUSIC_ENVELOPE_POINTS = 25;
struct MusicEnvelope {
  uint8_t type;
  int count;
  int ticks[MUSIC_ENVELOPE_POINTS];
  int values[MUSIC_ENVELOPE_POINTS];
  int sustainStart, sustainEnd, loopStart, loopEnd;
};

// An instrument of the formats that have them (XM, IT). Its samples are
// entries sampleBase .. sampleBase + sampleCount - 1 of the song's sample table.
struct MusicInstrument {
  char name[32];
  int sampleBase;
  int sampleCount;
  uint8_t sampleMap[96];  // note -> instrument sample slot
  MusicEnvelope volume, pan, pitch;
  int vibratoType, vibratoSweep, vibratoDepth, vibratoRate;
  int fadeOut;
  // IT: new-note action, duplicate check, pitch-pan, volume, pan and the
  // keyboard (note -> played note and 1-based sample number).
  uint8_t newNoteAction, duplicateCheckType, duplicateCheckAction;
  int pitchPanSeparation, pitchPanCentre;
  int globalVolume;
  uint8_t defaultPan;  // bit 7: none
  uint8_t keyboardNote[120];
  uint8_t keyboardSample[120];
};

// What a sample carries beyond the engine sample (XM: finetune and relative note).
struct MusicSampleInfo {
  int finetune;
  int relativeNote;
  // IT: sample global volume, default pan byte (bit 7: use it) and vibrato.
  int globalVolume;
  uint8_t defaultPan;
  int vibratoSpeed, vibratoDepth, vibratoRate, vibratoType;
};

// One per engine channel, indexed by the engine channel's index.
struct MusicVoice {
  OsndListNode link;  // in the owning song channel's voice list
  OsndChannel *channel;
  int handle;
  int index;
  uint8_t background;
  int instrument;
  int note;
  int sample;
  uint8_t newNoteAction;
  uint8_t envelopeEnable;
  uint8_t flags;
  int period;
  int volume;  // 0..64
  int pan;     // 0..255
  int volumeDelta;
  int periodDelta;
  MusicEnvelopeState volumeEnvelope, panEnvelope, pitchEnvelope;
  uint8_t fading;
  int fadeOut;
  int autoVibratoPosition;
  int autoVibratoSweep;
  uint8_t keyOff;
  OSND_SAMPLE *sampleToPlay;  // what a trigger starts
  int sampleIndex;            // its entry in the song's sample table, -1 none
  int panDelta;               // IT: panbrello
  int globalVolume;           // IT: sample and instrument volume, 0..64
};

inline MusicVoice *MusicVoice_FromLink(OsndListNode *n) { return reinterpret_cast<MusicVoice *>(n); }

struct MusicChannel {
  OsndListNode voices;  // circular; empty when it points to itself
  uint8_t instrument;   // 0-based
  uint8_t note;
  int period;
  int previousEffect;
  int sampleOffset;
  int portaTarget;
  int portaSpeed;
  int8_t vibratoPosition;
  int vibratoSpeed;
  int vibratoDepth;
  int8_t tremoloPosition;
  int tremoloSpeed;
  int tremoloDepth;
  int loopRow;
  int loopCounter;
  uint8_t waveControl;  // low nibble vibrato, high nibble tremolo
  uint8_t parameterMemory;
  uint8_t defaultPan;
  // Values kept at the row's start for a note delay.
  int keptVolume;
  int keptPeriod;
  // S3M effect memories: volume slide (D, K, L), portamento (E, F), arpeggio
  // (J), tremor (I) and retrigger (Q).
  uint8_t volumeSlideMemory;
  uint8_t portaMemory;
  uint8_t arpeggioMemory;
  int tremorCounter;
  int tremorOn;
  int tremorOff;
  int retriggerCode;
  int retriggerInterval;
  // XM: the sample the channel's note maps to, the note with the sample's
  // relative note, the pan kept for a note delay and the effect memories.
  int sampleIndex;
  int realNote;
  int keptPan;
  uint8_t portaUpMemory, portaDownMemory, panSlideMemory;
  uint8_t finePortaUpMemory, finePortaDownMemory, fineVolumeMemory;
  uint8_t extraFineUpMemory, extraFineDownMemory;
  // IT: note, channel and pan state and the memories of its effects.
  int noteVolume;     // 0..64
  int channelVolume;  // 0..64
  int channelPan;     // 0..64, 100 surround
  int volumeDelta;
  uint8_t pitchMemory, toneMemory;  // E, F (and G unless G keeps its own)
  uint8_t portaReached;
  uint8_t vibratoFine;  // the vibrato is U's
  int panbrelloPosition, panbrelloSpeed, panbrelloDepth;
  uint8_t panbrelloWaveform;
  uint8_t channelSlideMemory, specialMemory, offsetHigh, volumeColumnMemory;
  int retriggerCounter;
};

// The per-format player: called once per tick by the music DSP unit.
typedef void (*MusicTickFunction)(MusicSong *song);
typedef void (*MusicStartFunction)(MusicSong *song);

struct MusicSong {
  OsndListNode link;      // the engine's song list
  OsndListNode channels;  // engine channels held by the song's voices
  uint8_t type;
  char name[256];
  MusicPattern *patterns;
  OSND_SAMPLE **samples;
  MusicChannel *songChannels;
  int samplesLeft;
  int samplesPerTick;
  int orderCount;
  int patternCount;
  int patternsAllocated;
  int sampleCount;
  int channelCount;
  int defaultSpeed;
  int defaultTempo;
  uint8_t defaultPan[MUSIC_PAN_CHANNELS];
  int masterVolume;  // 0..256
  int globalVolume;  // 0..64, scales every voice with the master volume
  float speedMultiplier;
  float panSeparation;
  uint8_t orders[MUSIC_ORDERS];
  int restartOrder;
  uint8_t paused, playing, finished, looping;
  uint8_t fastSlides;  // S3M: volume slides act on the row's first tick too
  uint8_t linearSlides;  // XM: linear frequencies
  uint8_t globalSlideMemory;
  MusicInstrument *instruments;
  int instrumentCount;
  MusicSampleInfo *sampleInfo;  // one per sample table entry, where a format keeps one
  // IT: header flags (4 instruments, 8 linear slides, 16 old effects, 32 own
  // G memory), the header's global volume and channel volumes, and the fine
  // pattern delay (S6y).
  uint8_t itFlags;
  int initialGlobalVolume;
  uint8_t channelVolumes[MUSIC_PAN_CHANNELS];
  int finePatternDelay;
  int tick;
  int speed;
  int tempo;
  int row;
  int order;
  int patternDelay;
  int nextRow;
  int nextOrder;
  bool jumped;  // a position jump happened in this row
  float clock;  // ms of song time
  int thinningCount;
  int thinningVolume;
  MusicCallbackFunction loadDone;
  MusicStartFunction startHook;
  MusicTickFunction tickCallback;
  MusicCallback *rowCallback, *orderCallback, *zxxCallback;
  MusicCallback *instrumentCallbacks[256];
  // Set once any instrument callback has been: until then the mix does not
  // look through all 256 slots on every block.
  bool instrumentCallbackSet;
  uint8_t loaded, loadFailed;  // written by the open thread: read them with Music_IsLoaded / Music_LoadFailed
  // Held by every song call made outside the mixer's lock and by its loaded
  // callback; the first free marks it, and the last hold releases the song.
  OsndLifetime life;
  // A load queued for the background open thread and its arguments.
  OsndQueueNode queueNode;
  char pendingName[256];
  const char *pendingMemory;
  unsigned pendingMode;
  int pendingOffset, pendingLength;
  const int *pendingList;
  int pendingListCount;
  void *midi;  // a MIDI song's DirectMusic data
};

// Tables.
extern const int kMusicPeriodTable[MUSIC_NOTES + 1];  // entry 0 unused
extern const uint8_t kMusicSineTable[32];
// Signed sine of 256 steps, amplitude 64 (XM and IT sample vibrato, panbrello).
int Music_Sine256(int position);
int Music_FinetuneToSpeed(int finetune);
// Period of a note (1..132, clamped) for a C-speed; the frequency of a period.
int Music_NotePeriod(int note, int cSpeed);
int Music_PeriodToFrequency(int period);

// Song records. A created song is linked into the engine's song list.
MusicSong *Music_CreateSong();
// Stops, unlinks and frees the song with its patterns and samples. A song
// keeps the engine's one lifetime rule (core/osnd_lifetime.h): the first free
// marks it, a second returns at once, and the release comes when the last
// holder lets go (the free itself, the song's loaded callback, or a song call
// under way on another thread). A song call asked for once the free has
// begun fails with OSND_ERR_INVALID_PARAM.
void Music_FreeSong(MusicSong *song);
// Lets go of a hold on the song; the last hold of a freed song releases it.
void Music_LetGoSong(MusicSong *song);
// Loads into a created song. The sample list (indices) picks the samples a
// sample bank loads; null loads them all. With OSND_MODE_NONBLOCKING the song
// is queued for the background open thread and returned at once: its loaded
// or load-failed flag follows, and its load-done callback is called. A queued
// memory block or sample list must stay valid until then.
MusicSong *Music_LoadSong(MusicSong *song, const char *nameOrData, unsigned mode, int offset, int length,
                          const int *sampleList, int sampleListCount);
// The open thread's flags, read safely from any thread.
bool Music_IsLoaded(const MusicSong *song);
bool Music_LoadFailed(const MusicSong *song);
// The background open thread's part: loads a queued song and marks the result
// (the queue then calls its load-done callback).
void Music_LoadQueued(MusicSong *song);
// A song still queued or loading when the engine stops: marked failed.
void Music_MarkLoadFailed(MusicSong *song);
// Starts a loaded song from order 0 with its default speed and tempo.
bool Music_PlaySong(MusicSong *song);
bool Music_StopSong(MusicSong *song);
// The stop itself, for the engine's own callers that own the song at the
// time (its ticks, its loaders, its release).
void Music_StopPlaying(MusicSong *song);
void Music_StopAllSongs();
int Music_SetLooping(MusicSong *song, bool looping);
void Music_SetTempo(MusicSong *song, int bpm);
// Installs (or with a null function removes) a callback; number is the
// instrument number for instrument callbacks.
bool Music_SetCallback(MusicSong *song, int type, int number, MusicCallbackFunction function, int step);
void Music_QueueCallback(MusicSong *song, int type, int parameter);

// Pattern storage shared by the loaders: count records of rows x channels cells.
bool Music_AllocPatterns(MusicSong *song, int count);
bool Music_AllocPattern(MusicSong *song, int index, int rows);
// A pattern of empty rows only: it holds no cells (its cells read as empty).
void Music_EmptyPattern(MusicSong *song, int index, int rows);
// Inline, as the players ask for a cell of every channel on every tick.
inline MusicNote *Music_Cell(MusicSong *song, int pattern, int row, int channel) {
  if (!song->patterns || pattern < 0 || pattern >= song->patternsAllocated) return nullptr;
  MusicPattern &p = song->patterns[pattern];
  if (!p.cells || row < 0 || row >= p.rows || channel < 0 || channel >= song->channelCount) return nullptr;
  return &p.cells[row * song->channelCount + channel];
}
bool Music_AllocChannels(MusicSong *song, int count);

// Voices.
MusicVoice *Music_AllocVoice(MusicSong *song, MusicChannel *channel, OSND_SAMPLE *sample);
MusicVoice *Music_FreeVoice(MusicVoice *voice);
// The shared stand-ins for a missing sample and a voice that could not be had.
OSND_SAMPLE *Music_InvalidSample();
MusicVoice *Music_DummyVoice();
// First voice of a song channel, or the dummy voice.
MusicVoice *Music_FirstVoice(MusicChannel *channel);
// The sample the channel's instrument names, or the invalid sample.
OSND_SAMPLE *Music_ChannelSample(MusicSong *song, const MusicChannel *channel);
// The cell of the current order and row for a song channel (an empty one when missing).
inline const MusicNote *Music_CurrentCell(MusicSong *song, int channel) {
  static const MusicNote kEmpty{};
  const int order = std::clamp(song->order, 0, MUSIC_ORDERS - 1);
  const MusicNote *cell = Music_Cell(song, song->orders[order], song->row, channel);
  return cell ? cell : &kEmpty;
}
// Start of a row for a channel (MOD and S3M): takes the instrument byte,
// keeps the voice's volume and period for a note delay, folds an ending
// tremolo into the volume and records the effect. Answers the first voice.
MusicVoice *Music_BeginRow(MusicSong *song, MusicChannel *channel, const MusicNote &cell, int tremoloEffect);
// The voice a starting note plays on: the given one, else a fresh one, else the dummy.
MusicVoice *Music_VoiceForNote(MusicSong *song, MusicChannel *channel, MusicVoice *voice, OSND_SAMPLE *sample);
// How a format turns a voice into engine volume (0..255), pan (before the
// song's separation) and frequency (Hz).
struct MusicVoiceLaw {
  int (*volume)(MusicSong *song, const MusicChannel *channel, const MusicVoice *voice);
  int (*pan)(MusicSong *song, const MusicChannel *channel, const MusicVoice *voice);
  int (*frequency)(MusicSong *song, const MusicChannel *channel, const MusicVoice *voice);
};
// Applies every voice of the channel to its engine channel (MOD and S3M
// without a law, XM and IT with their own).
void Music_ApplyVoices(MusicSong *song, MusicChannel *channel, const MusicVoiceLaw *law = nullptr);

// The tick shape shared by MOD, S3M and XM. A rowsPerPattern of 0 takes the
// row count of the pattern being played.
typedef void (*MusicRowFunction)(MusicSong *song);
void Music_CommonTick(MusicSong *song, int rowsPerPattern, MusicRowFunction rowUpdate,
                      MusicRowFunction tickEffects);
// The ticks after a row's first (MOD and S3M): per song channel, the first
// voice's deltas and flags are cleared, the format's effect step runs on it
// (a note delay may put another voice in its place) and the channel's voices
// are applied.
typedef void (*MusicTickEffect)(MusicSong *song, MusicChannel *channel, MusicVoice *&voice, const MusicNote &cell);
void Music_TickEffects(MusicSong *song, MusicTickEffect effect);
// The first tick of a row: moves to the pending order and row, fires their
// callbacks, runs the row update and works out the next position.
void Music_RowTick(MusicSong *song, int rowsPerPattern, MusicRowFunction rowUpdate);
// Rows of the pattern an order plays (64 for a missing or empty pattern).
int Music_PatternRows(const MusicSong *song, int order);
// After a row's update: the next row and order unless an effect chose them,
// and past the order list's end the restart order, with the song finished.
void Music_NextPosition(MusicSong *song, int rowsInPattern);
// Position jump and pattern break as MOD (B, D) and S3M (B, C) share them.
void Music_PositionJump(MusicSong *song, int order);
void Music_PatternBreak(MusicSong *song, int parameter);
// Pattern loop (MOD E6, S3M SB, XM E6): y = 0 marks the loop row, else the
// rows back to it play y more times.
void Music_PatternLoop(MusicSong *song, MusicChannel *channel, int y);

// The whole file in memory, read by the loaders that parse from a byte
// view; false when it is shorter than `minimum` or cannot be read.
bool Music_ReadWholeFile(SystemFileHandle *file, std::vector<uint8_t> &out, int minimum);
// Bounds-checked little-endian view of a file in memory: reads past the end give 0.
struct MusicBytes {
  const std::vector<uint8_t> &data;
  size_t Size() const { return data.size(); }
  int Byte(size_t at) const { return at < data.size() ? data[at] : 0; }
  int Word(size_t at) const { return Byte(at) | (Byte(at + 1) << 8); }
  uint32_t Dword(size_t at) const { return uint32_t(Word(at)) | (uint32_t(Word(at + 2)) << 16); }
};

// Format loaders. Each answers true when it loaded the song, else false with
// the last error (10: not this format).
bool MusicFormatOsb_Load(MusicSong *song, SystemFileHandle *file, unsigned mode, const int *sampleList, int count);
// Stops the sound a sample-bank song plays on the shared bank channel.
void MusicFormatOsb_Stop(MusicSong *song);
bool MusicFormatS3m_Load(MusicSong *song, SystemFileHandle *file);
bool MusicFormatXm_Load(MusicSong *song, SystemFileHandle *file);
bool MusicFormatIt_Load(MusicSong *song, SystemFileHandle *file);
bool MusicFormatMod_Load(MusicSong *song, SystemFileHandle *file);

// What the core reaches of the song formats, which build on it: the loaders
// Music_LoadSong tries in turn, and the formats that play outside the core's
// voices (MIDI songs through their synthesizer, sample-bank songs on the
// shared bank channel). The engine fills it at Init.
struct MusicLoadRequest {
  unsigned mode;
  const int *sampleList;
  int sampleListCount;
  const char *name;  // the file's name (null for memory)
};
typedef bool (*MusicLoader)(MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &request);
struct MusicFormats {
  const MusicLoader *loaders;
  int loaderCount;
  void (*midiStop)(MusicSong *song);  // stops a MIDI song through its own player
  void (*midiFree)(MusicSong *song);  // frees a MIDI song's player data
  void (*bankStop)(MusicSong *song);  // stops a bank song's shared channel
};
void Music_SetFormats(const MusicFormats &formats);

// Lets go of a sample a song plays (the sample is being freed).
void Music_ReleaseSample(OSND_SAMPLE *sample);
// Every song's samples per tick again, after the output rate changed.
void Music_ReapplyTempo();
// The music DSP unit's procedure: steps every playing song by the block.
void *OsndDsp_MusicUnitProc(void *blockStart, void *buffer, int length, void *userData);
