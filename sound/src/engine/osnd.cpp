// The engine's global state, configuration, initialisation, close and update.
#include "sound/src/channel/osnd_3d.h"
#include "sound/src/channel/osnd_dsp.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/core/osnd_callback_scope.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/engine/osnd_register.h"
#include "sound/src/mixer/software_mixer.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/output/output_table.h"
#include "sound/src/song/music_core.h"
#include "sound/src/song/song_midi.h"
#include "sound/src/source/source_cdda.h"
#include "sound/src/source/source_cdplayer.h"
#include "sound/src/source/source_net.h"
#include "sound/src/source/source_record.h"
#include "sound/src/source/source_systemmixer.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"
#include "sound/src/system/system_time.h"

#include <mutex>

namespace {

// Output, mixer and driver are chosen before Init; once it has run, a choice
// is refused with its own error.
bool ChosenBeforeInit() {
  Osnd_ResetError();
  if (!gOsnd.initialised) return true;
  Osnd_SetError(OSND_ERR_INITIALISED);
  return false;
}

}  // namespace

extern "C" {

float OSND_GetVersion() { return OSND_VERSION; }

int OSND_GetError() { return gOsndError.lastError.Last(); }

bool OSND_SetOutput(int outputType) {
  if (!ChosenBeforeInit()) return false;
  // Autodetect: the older wave output only on systems that lack the newer one;
  // this platform is never such a system.
  if (outputType == OSND_OUTPUT_AUTODETECT) outputType = OSND_OUTPUT_DSOUND;
  if (outputType == gOsnd.outputType && gOsnd.output) return true;
  gOsnd.outputType = outputType;
  SystemThread_SetNonRealtime(outputType == OSND_OUTPUT_NOSOUND_NONREALTIME);
  gOsnd.output = Osnd_OutputDriverForType(outputType);
  gOsnd.driversEnumerated = 0;
  return true;
}

bool OSND_SetMixer(int mixerType) {
  if (!ChosenBeforeInit()) return false;
  if (mixerType < OSND_MIXER_QUALITY_AUTODETECT || mixerType > OSND_MIXER_QUALITY_MMXP6) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  gOsnd.mixerType = mixerType;
  return true;
}

bool OSND_SetDriver(int driver) {
  if (!ChosenBeforeInit()) return false;
  gOsnd.driver = driver;
  return true;
}

void OSND_SetPanSeperation(float separation) {
  Osnd_ResetError();
  if (!(separation >= 0.0f)) separation = 0.0f;  // also catches NaN
  if (separation > 1.0f) separation = 1.0f;
  gOsnd.panSeparation = separation;
}

int OSND_GetNumDrivers() {
  Osnd_ResetError();
  OsndEnumerateDrivers();
  return gOsnd.numDrivers;
}

int OSND_GetMixer() { return gOsnd.mixerType; }
int OSND_GetOutputRate() { return gOsnd.mixRate; }
int OSND_GetMaxChannels() { return gOsnd.channelCount; }

void OSND_SetSFXMasterVolume(int volume) {
  Osnd_ResetError();
  // The walk reads what a play writes under the mixer's lock (a channel's
  // sample and flags), so it holds that lock too; the setter re-enters it.
  SystemLockGuard guard(Osnd_MixerLock());
  gOsnd.sfxMasterVolume = volume < 0 ? 0 : (volume > 255 ? 255 : volume);
  if (!gOsnd.channels) return;
  for (int i = 0; i < gOsnd.channelCount; ++i) {
    OsndChannel &c = gOsnd.channels[i];
    if (c.currentSample && !c.currentSample->songSample && !(c.flags & OSND_CHANFLAG_ABSOLUTE))
      OSND_SetVolume(i, OSND_GetVolume(i));
  }
}

bool OSND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags) {
  // Not from inside the engine's own work (it closes the engine first).
  if (Osnd_RefuseEngineCall()) return false;
  gOsndError.lastError = OSND_ERR_NONE;
  if (maxSoftwareChannels < 0 || maxSoftwareChannels > 1024 || mixRate < 4000 || mixRate > 65535) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  // Before anything is read or set: a callback thread still ending after a
  // callback closed the engine is joined (the close below begins so too).
  // Refused beside another thread's close or start (an open-complete or
  // song-loaded callback that the application's close makes, among them);
  // held until the engine runs, so that a close that comes meanwhile closes
  // what this start made.
  if (!OsndNonBlocking_BeginEngineClose(true)) return false;
  struct EndOnReturn {
    ~EndOnReturn() { OsndNonBlocking_EndEngineClose(); }
  } started;
  Osnd_RegisterLayers();
  OSND_Close();
  OSND_PAUSE_POINT("engine.start.closed");

  gOsnd.initialised = false;
  gOsndError.initThread = SystemThread_CurrentId();
  gOsndError.lastError = OSND_ERR_NONE;
  gOsnd.sampleCapacity = 256;
  gOsnd.softwareChannels = maxSoftwareChannels;
  gOsnd.mixRate = mixRate;
  gOsnd.initFlags = flags;
  gOsnd.extraChannels = OSND_EXTRA_CHANNELS;
  gOsnd.sfxMasterVolume = 255;
  gOsnd.haveLastUpdate = false;

  OsndDsp_ResetChain();
  OSND_SetOutput(gOsnd.outputType);
  OsndOutputDriver *out = gOsnd.output;

  out->hardware3d = 1;
  out->hardware2d = 1;
  gOsnd.emulatedOutput = 0;
  if (!out->init(mixRate)) return false;

  if (out->hardware3d && gOsnd.outputType == OSND_OUTPUT_DSOUND && out->reverbInit() &&
      gOsnd.hardware3dChannels > 0)
    --gOsnd.hardware3dChannels;
  auto limit = [](int &count, int &support) {
    if (count > gOsnd.maxHardwareChannels) count = gOsnd.maxHardwareChannels;
    if (count < gOsnd.minHardwareChannels) count = 0;
    if (count < 1) support = 0;
  };
  limit(gOsnd.hardware3dChannels, out->hardware3d);
  limit(gOsnd.hardware2dChannels, out->hardware2d);

  if (gOsnd.bufferLengthMs == -1)
    gOsnd.bufferLengthMs =
        (gOsnd.outputType == OSND_OUTPUT_WINMM || gOsnd.emulatedOutput) ? 100 : 50;
  gOsnd.blockLengthMs = gOsnd.bufferLengthMs;
  gOsnd.bufferLengthMs *= 2;

  if (!SoundSoftware_Init()) return false;

  gOsnd.channelCount = gOsnd.softwareChannels + gOsnd.hardware3dChannels + gOsnd.hardware2dChannels;

  if (!OsndSample_InitSlots()) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  const int records = gOsnd.channelCount + OSND_EXTRA_CHANNELS;
  gOsnd.channels = static_cast<OsndChannel *>(OSND_ALLOC(int(sizeof(OsndChannel)) * records));
  if (!gOsnd.channels) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }

  gOsnd.swRange = {0, gOsnd.softwareChannels - 1, 0};
  const int hw3dFirst = gOsnd.softwareChannels;
  gOsnd.hw3dRange = {hw3dFirst, hw3dFirst + gOsnd.hardware3dChannels - 1, hw3dFirst};
  const int hw2dFirst = hw3dFirst + gOsnd.hardware3dChannels;
  gOsnd.hw2dRange = {hw2dFirst, hw2dFirst + gOsnd.hardware2dChannels - 1, hw2dFirst};

  auto setUp = [](OsndChannel &c, int index) {
    OsndList_Init(&c.link);
    c.index = index;
    c.volume = 255;
    c.mixerLevel = 255;
    c.mixerGain = 1.0f;
    c.minDistance = 1.0f;
    c.maxDistance = 1000000.0f;
    c.useCounter = 1;
    c.currentHandle = 0;
    c.currentSample = nullptr;
    c.priority = 0;
    c.subChannel = nullptr;
    c.isSubChannel = 0;
    c.flags = 0;
    c.frequency = 44100;
    c.pan = 128;
    c.volume3d = 255;
    c.frequencyScale = 1.0f;
    c.direction = OSND_DIR_FORWARD;
  };
  for (int i = 0; i < gOsnd.channelCount; ++i) {
    OsndChannel &c = gOsnd.channels[i];
    setUp(c, i);
    OsndChannel_SetDefaultOps(&c);
    if (i < gOsnd.softwareChannels)
      SoundSoftware_SetChannelOps(&c);
    else
      out->fillChannelOps(&c);
    c.ops.init(&c);
    c.ops.stop(&c);
    c.ops.setVolume(&c, 255);
    c.ops.setFrequency(&c, 44100);
    c.ops.setPan(&c, 128);
  }
  for (int i = gOsnd.channelCount; i < records; ++i) {
    OsndChannel &c = gOsnd.channels[i];
    OsndList_Init(&c.link);
    OsndChannel_SetDefaultOps(&c);
    c.flags &= ~OSND_CHANFLAG_MEDIA;
    c.index = i;
    c.useCounter = 1;
    c.volume3d = 255;
    c.frequencyScale = 1.0f;
    c.ops.init(&c);
  }

  // Before the primary channel starts: an output that mixes from a callback of
  // its own begins mixing the songs as soon as it plays.
  Music_ReapplyTempo();
  if (gOsnd.softwareChannels > 0) {
    gOsnd.primary = static_cast<OsndChannel *>(OSND_ALLOC(int(sizeof(OsndChannel))));
    if (!gOsnd.primary) {
      Osnd_SetError(OSND_ERR_MEMORY);
      return false;
    }
    OsndChannel &p = *gOsnd.primary;
    setUp(p, OSND_PRIMARY);
    OsndChannel_SetDefaultOps(&p);
    out->fillChannelOps(&p);
    p.ops.init(&p);
    p.ops.stop(&p);
    p.ops.setVolume(&p, 255);
    p.ops.setFrequency(&p, mixRate);
    p.ops.setPan(&p, -1);
    unsigned mode = OSND_MODE_HW2D | OSND_MODE_ONE_INSTANCE | OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL;
    if (flags & OSND_INIT_ENABLE_FX) mode |= OSND_MODE_ENABLE_FX;
    const bool mono = gOsnd.mixerType == OSND_MIXER_MONO || gOsnd.mixerType == OSND_MIXER_QUALITY_MONO;
    mode |= mono ? OSND_MODE_MONO : OSND_MODE_STEREO;
    gOsnd.primarySample =
        OSND_Sample_Alloc(OSND_PRIMARY, gOsnd.bufferLengthSamples, mode, mixRate, 255, -1, 255);
    if (!gOsnd.primarySample) return false;
    SystemString_CopyN(gOsnd.primarySample->name, "OSND Primary MixBuffer", 255);
    gOsnd.initialised = true;
    OSND_PlaySound(OSND_PRIMARY, gOsnd.primarySample);
    OSND_SetReserved(OSND_PRIMARY, true);
  } else {
    gOsnd.initialised = true;
  }

  OsndSystemMixerWin32_Init();
  OsndCdda_InitDeviceTable();
  OsndNonBlocking_Init();
  if (Osnd_NonRealtime()) gOsnd.initFlags |= OSND_INIT_NONREALTIME;

  if (!OsndStream_StartThread()) {
    Osnd_SetError(OSND_ERR_INIT);
    return false;
  }
  // Last: the mixer runs the whole DSP chain, the streams' sync scan included.
  if (gOsnd.primary) SoundSoftware_StartThread();
  OSND_Update();
  return true;
}

void OSND_Close() {
  if (Osnd_RefuseEngineCall()) return;
  // From here on the engine's own threads and callbacks start no new work:
  // background opens and song loads fail at once. Beside another thread's
  // close or start it waits for that to end; refused in an open-complete or
  // song-loaded callback that another thread's close makes, which joins the
  // thread it runs on.
  if (!OsndNonBlocking_BeginEngineClose(false)) return;
  gOsndError.lastError = OSND_ERR_NONE;
  // Every engine thread ends before anything it uses is freed: the mixer
  // (which runs the sync scan over the streams), the streamer, the open queue.
  SoundSoftware_StopThread();
  OsndStream_StopThread();
  // An internet stream opening in the background gives up at its next check.
  OsndStreamNet_AbortAll(true);
  OsndNonBlocking_Shutdown();
  OsndStreamNet_AbortAll(false);
  if (gOsnd.initialised) {
    gOsnd.driversEnumerated = 0;
    gOsnd.bufferLengthMs = -1;
    if (gOsnd.output) gOsnd.output->recordStop();
    OsndRecord_Forget();
    Music_StopAllSongs();
    MusicFormatMidi_Shutdown();
    OSND_StopSound(OSND_ALL);
    OsndStream_CloseAll();
    OsndStream_Shutdown();
  }
  OsndCdda_CloseAll();
  OsndCdda_DestroyWindow();
  OsndSystemMixerWin32_Close();
  // The socket thread frees the sockets the closed streams left.
  OsndStreamNet_Shutdown();
  if (gOsnd.primary) {
    if (gOsnd.initialised) OSND_StopSound(OSND_PRIMARY);
    gOsnd.primary->ops.release(gOsnd.primary);
  }
  // The mixer thread ends before anything it reads is released.
  SoundSoftware_Close();
  gOsnd.initialised = false;
  if (gOsnd.primarySample) {
    OsndSample_Destroy(gOsnd.primarySample);
    gOsnd.primarySample = nullptr;
  }
  OsndSample_FreeAllSlots();
  if (gOsnd.channels) {
    for (int i = 0; i < gOsnd.channelCount; ++i) gOsnd.channels[i].ops.release(&gOsnd.channels[i]);
  }
  if (gOsnd.output && (gOsnd.channels || gOsnd.primary)) gOsnd.output->close();
  OSND_FREE_MEM(gOsnd.channels);
  gOsnd.channels = nullptr;
  OSND_FREE_MEM(gOsnd.primary);
  gOsnd.primary = nullptr;
  gOsnd.channelCount = 0;
  gOsnd.driversEnumerated = 0;
  gOsnd.numDrivers = 0;
  SystemFile_StopThread();
  OsndNonBlocking_EndEngineClose();
}

void OSND_Update() {
  // A refused update sets its refusal and touches no other code.
  if (Osnd_RefuseEngineCall()) return;
  Osnd_ResetError();
  // One update at a time: several threads may call it, and the
  // non-realtime output mixes a block in each.
  static std::mutex updating;
  std::lock_guard<std::mutex> one(updating);
  if (!gOsnd.initialised) return;
  Osnd3d_UpdateAll();
  OsndCdda_ScanDrives();
  if (gOsnd.initFlags & OSND_INIT_NONREALTIME) {
    const uint32_t now = SystemTime_GetMilliseconds();
    const uint32_t elapsed = gOsnd.haveLastUpdate ? now - gOsnd.lastUpdateMs : 0;
    gOsnd.lastUpdateMs = now;
    gOsnd.haveLastUpdate = true;
    // Without a thread of its own the streamer runs here, one mix step at a time.
    float passMs = float(elapsed < 0x80000000u ? elapsed : 0);
    if (Osnd_NonRealtime()) passMs = gOsnd.nonRealtimeStepMs > 0 ? gOsnd.nonRealtimeStepMs : gOsnd.blockLengthMsF;
    if (passMs <= 0.0f) passMs = 10.0f;
    OsndStream_UpdatePass(passMs);
  }
  gOsnd.output->update();
}

}  // extern "C"
