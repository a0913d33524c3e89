// The engine's records: the global system state, channels, samples, DSP units,
// mixers and output driver tables. Shared by the engine's modules only.
#pragma once

#include "sound/include/osnd.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_list.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_time.h"

#include <atomic>
#include <cstdint>

struct OsndChannel;

// Channel flags.
enum : uint32_t {
  OSND_CHANFLAG_ABSOLUTE = 0x1,
  OSND_CHANFLAG_MUTED = 0x2,
  OSND_CHANFLAG_SURROUND = 0x4,
  OSND_CHANFLAG_RESERVED = 0x8,
  OSND_CHANFLAG_PAUSED = 0x10,
  OSND_CHANFLAG_KEEPLIST = 0x20,  // the channel keeps its list when played
  OSND_CHANFLAG_MEDIA = 0x40,
  OSND_CHANFLAG_PENDING = 0x100,  // output driver: started or paused while it should play
  OSND_CHANFLAG_SETUP = 0x200,
  OSND_CHANFLAG_STOPPING = 0x2000
};

enum { OSND_DIR_FORWARD = 1, OSND_DIR_BACKWARD = 2 };

// The 23 operation slots every channel carries; filled with the do-nothing
// defaults first, then by the software mixer, an output driver or a player.
struct OsndChannelOps {
  bool (*init)(OsndChannel *);
  bool (*release)(OsndChannel *);
  bool (*start)(OsndChannel *, OSND_SAMPLE *);
  bool (*play)(OSND_DSPUNIT *, OsndChannel *, OSND_SAMPLE *);
  bool (*stop)(OsndChannel *);
  bool (*setFrequency)(OsndChannel *, int);
  bool (*setFrequencyFloat)(OsndChannel *, float);
  bool (*setVolume)(OsndChannel *, int);
  bool (*setPan)(OsndChannel *, int);
  bool (*unused9)(OsndChannel *);
  bool (*setPaused)(OsndChannel *, bool);
  bool (*setPosition)(OsndChannel *, unsigned);
  unsigned (*getPosition)(OsndChannel *);
  bool (*getLevels)(OsndChannel *, float *, float *);
  bool (*isPlaying)(OsndChannel *);
  bool (*setLoopMode)(OsndChannel *, unsigned);
  bool (*update3D)(OsndChannel *);
  int (*unused17to22[6])(OsndChannel *);
};

struct OsndChannel {
  OsndListNode link;  // software channels: idle list or a DSP unit's list
  int index;
  int currentHandle;
  int useCounter;
  int volume;
  int frequency;
  int pan;
  int priority;
  uint32_t flags;
  uint32_t mode;
  OSND_SAMPLE *currentSample;
  OsndChannel *subChannel;
  int isSubChannel;
  int leftGain, rightGain, level;  // target volumes left, right and their mean
  int mixerLevel;
  float mixerGain;
  float minDistance, maxDistance;
  // 3D state; 2D channels keep volume 255 and scale 1.0.
  float position3d[3], velocity3d[3];
  int volume3d;
  float frequencyScale;
  OSND_SAMPLE *driverSample;  // what the default start slot attached
  void *driverChannel;        // an output driver's own state of a hardware channel

  // Software mixing state.
  OSND_DSPUNIT *unit;
  const uint8_t *data;
  unsigned startOffset;
  uint32_t posWhole, posFrac;
  uint32_t stepWhole, stepFrac;
  int direction;
  int swVolume;  // volume as last set (0 while muted)
  int swPan;
  int curVolLeft, curVolRight;  // 24.8 fixed point
  int rampTargetLeft, rampTargetRight;
  float rampStepLeftF, rampStepRightF;
  int rampStepLeftI, rampStepRightI;
  int rampSamplesLeft;
  int32_t *levels;  // per block: left peak, right peak (init flag 8)

  OsndChannelOps ops;
};

inline OsndChannel *OsndChannel_FromLink(OsndListNode *n) {
  return reinterpret_cast<OsndChannel *>(n);
}

// The five sample operations.
struct OsndSampleOps {
  bool (*create)(OSND_SAMPLE *);
  void (*release)(OSND_SAMPLE *);
  bool (*upload)(OSND_SAMPLE *, const void *, unsigned offset, unsigned length, unsigned mode);
  bool (*lock)(OSND_SAMPLE *, unsigned offset, unsigned length, void **, void **, unsigned *,
               unsigned *);
  bool (*unlock)(OSND_SAMPLE *, void *, void *, unsigned, unsigned);
};

constexpr int OSND_MAX_SUBCHANNELS = 16;

struct OSND_SAMPLE {
  char name[256];
  int index;
  uint8_t *data;  // first channel area; guard bytes follow each area
  unsigned length;
  unsigned loopStart;
  unsigned loopLength;
  int guardPos;
  int maxPlaybacks;
  int channels;
  unsigned mode;
  int defFrequency, defVolume, defPan, defPriority;
  int varFrequency, varVolume, varPan;
  uint8_t songSample;
  uint8_t zeroByte;
  int baseRate;
  float minDistance, maxDistance;
  int hardwareHeld;
  OsndSampleOps ops;

  // Software storage.
  uint8_t *allocation;
  uint8_t *staging;
  unsigned lockOffset;
  uint8_t guardSaved[OSND_MAX_SUBCHANNELS][4];
  // Driver-held storage (output drivers that keep a sample's data themselves).
  void *driverData;
};

struct OSND_DSPUNIT {
  OsndListNode link;  // the DSP chain
  int zeroWord;
  int spareWord;
  OSND_DSPCALLBACK callback;
  int priority;
  bool active;
  void *userData;
  OsndListNode channels;  // software channels this unit mixes
  int lastWord;
};

inline OSND_DSPUNIT *OsndDsp_FromLink(OsndListNode *n) { return reinterpret_cast<OSND_DSPUNIT *>(n); }

// A mixer: routines of one mix-loop family plus its buffer and lock.
struct OsndMixer {
  const char *name;
  bool (*init)();
  void (*free)();
  void (*clear)(void *buffer, int samples);
  void (*mix)(void *buffer, OsndListNode *channels, int samples, int reserved);
  void (*clipCopy)(int16_t *destination, const void *buffer, int samples);
  int bits;
  int channels;
  void *rawBuffer;
  void *buffer;
  std::atomic<int> currentBlock;  // written by the mixing thread, read by the API thread (levels)
  int constant;
  void *lock;
};

// An output driver table: three words and nineteen operations.
struct OsndOutputDriver {
  int hardware3d;
  int hardware2d;
  int mixerThread;
  bool (*enumerate)();
  bool (*init)(int mixRate);
  bool (*close)();
  bool (*fillSampleOps)(OSND_SAMPLE *);
  bool (*fillChannelOps)(OsndChannel *);
  // What the device at a driver index can do (bits: 1 hardware 3D, 2 EAX 2.0,
  // 16 EAX 3.0); only DirectSound answers, the others leave the bits 0.
  bool (*getCaps)(unsigned *bits, int driver);
  void *(*outputHandle)();
  bool (*setSpeakerMode)(int);
  bool (*update)();
  bool (*reverbInit)();
  bool (*setReverb)(const int32_t *properties);
  bool (*getReverb)(int32_t *properties);
  bool (*recordEnumerate)();
  bool (*recordInit)(int driver);
  bool (*recordStart)(int length, unsigned mode, int rate);
  bool (*recordStop)();
  int (*recordPosition)();
  bool (*recordLock)(unsigned offset, unsigned bytes, void **, void **, unsigned *, unsigned *);
  bool (*recordUnlock)(void *, void *, unsigned, unsigned);
};

struct OsndChannelRange {
  int first, last, next;
};

constexpr int OSND_MAX_DRIVER_NAMES = 64;
constexpr int OSND_EXTRA_CHANNELS = 16;

struct OsndSystem {
  OsndOutputDriver *output = nullptr;
  int outputType = -1;
  unsigned initFlags = 0;
  uint8_t emulatedOutput = 0;
  uint8_t driversEnumerated = 0;
  int sfxMasterVolume = 255;
  float panSeparation = 1.0f;
  int driver = 0;
  std::atomic<bool> initialised{false};
  int mixerType = OSND_MIXER_QUALITY_AUTODETECT;
  int mixRate = 44100;
  int bufferLengthMs = -1;
  int bufferLengthSamples = 0;
  int blockLengthMs = 0;
  float nonRealtimeStepMs = 0.0f;
  OSND_DSPUNIT *defaultUnit = nullptr;
  int numDrivers = 0;
  char driverNames[OSND_MAX_DRIVER_NAMES][80] = {};
  int numRecordDrivers = 0;
  char recordDriverNames[OSND_MAX_DRIVER_NAMES][81] = {};
  int recordDriver = 0;
  // Recording goes on while this is set; the recording core clears it at the
  // end of a record sample that does not loop.
  std::atomic<bool> recording{false};
  OsndChannel *channels = nullptr;
  OsndChannel *primary = nullptr;
  OsndChannelRange hw3dRange{}, hw2dRange{}, swRange{};
  int channelCount = 0;
  int softwareChannels = 0;
  int hardware3dChannels = 0;
  int hardware2dChannels = 0;
  int minHardwareChannels = 0;
  int maxHardwareChannels = 9999;
  int extraChannels = OSND_EXTRA_CHANNELS;
  OSND_SAMPLE **samples = nullptr;
  OSND_SAMPLE *primarySample = nullptr;
  int sampleCapacity = 256;
  uint32_t lastUpdateMs = 0;
  bool haveLastUpdate = false;

  // Software mixer.
  OsndMixer *mixer = nullptr;
  bool cpuHasCpuid = false, cpuHasMmx = false, cpuIsP6 = false;
  OSND_DSPUNIT *unitClear = nullptr, *unitSfx = nullptr, *unitMusic = nullptr,
               *unitClipCopy = nullptr, *unitLevels = nullptr;
  void *fftUnit = nullptr;
  std::atomic<bool> mixerStopRequest{false};
  std::atomic<bool> mixingInProgress{false};
  std::atomic<bool> mixerThreadEnded{false};
  void *mixerThread = nullptr;
  OsndCpuMeter cpuMeter{};
  float cpuUsage = 0.0f;
  OsndListNode idleChannels{nullptr, nullptr};
  int rampLength = 128;
  int blockLength = 0;       // samples
  float blockLengthMsF = 0;  // milliseconds

  // DSP chain head; both links null until the first Init.
  OsndListNode dspChain{nullptr, nullptr};
  // The unit the mix visits after the one whose callback runs: a callback
  // that frees or moves that unit moves this on past it.
  OsndListNode *dspWalkNext = nullptr;
};

extern OsndSystem gOsnd;

// The mixer's lock: the mixer thread holds it while it mixes a block, and every
// call that changes what a block reads (channels, samples, DSP units, songs)
// takes it too, so that a block never sees a change half made. Recursive; none
// without a mixer.
inline void *Osnd_MixerLock() { return gOsnd.mixer ? gOsnd.mixer->lock : nullptr; }

// Appends a name to the engine's list of output (or recording) drivers, cut to
// the list's width; answers its index, or -1 when the list is full.
int Osnd_AddDriverName(const char *name);
int Osnd_AddRecordDriverName(const char *name);
inline bool Osnd_NonRealtime() { return gOsnd.outputType == OSND_OUTPUT_NOSOUND_NONREALTIME; }

void OsndEnumerateDrivers();
