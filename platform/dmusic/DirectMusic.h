// DirectMusic as the sound engine's MIDI songs use it, on FluidSynth. The
// port is a FluidSynth synthesizer with a General MIDI sound font from Debian
// (QMV_SOUNDFONT names another); segments are standard MIDI files (or RIFF
// MIDI files) played by FluidSynth's file player. Where Windows plays the
// port on a device of its own, here the port renders on demand: the caller
// pulls the synthesizer's output (DirectMusicSynth_Render) into its own mix.
// Without FluidSynth's sound font, port creation fails, as on a machine
// without a synthesizer.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>

// In a namespace of its own: other stand-ins serve COM classes too.
namespace dmusic {

using REFCLSID = const GUID &;
using REFERENCE_TIME = std::int64_t;
using MUSIC_TIME = std::int32_t;

extern const GUID CLSID_DirectMusicPerformance;
extern const GUID CLSID_DirectMusicLoader;
extern const GUID CLSID_DirectMusicSegment;
extern const GUID IID_IDirectMusicPerformance;
extern const GUID IID_IDirectMusicLoader;
extern const GUID IID_IDirectMusicSegment;
extern const GUID GUID_PerfMasterVolume;
extern const GUID GUID_StandardMIDIFile;
extern const GUID GUID_Download;
extern const GUID GUID_Unload;
extern const GUID GUID_NOTIFICATION_SEGMENT;

#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define DMUS_S_PARTIALLOAD (static_cast<HRESULT>(0x08781091))
#define DMUS_E_LOADER_FAILEDOPEN (static_cast<HRESULT>(0x88781171u))
#define DMUS_E_NOT_FOUND (static_cast<HRESULT>(0x88781161u))
#define DMUS_PC_OUTPUTCLASS 1u
#define DMUS_PC_DLS 0x1u
#define DMUS_PORTPARAMS_CHANNELGROUPS 0x02u
#define DMUS_PORTPARAMS_EFFECTS 0x20u
#define DMUS_OBJ_CLASS 0x02u
#define DMUS_OBJ_FILENAME 0x10u
#define DMUS_OBJ_FULLPATH 0x20u
#define DMUS_OBJ_MEMORY 0x400u
#define DMUS_SEG_REPEAT_INFINITE 0xFFFFFFFFu
#define DMUS_SEGF_DEFAULT 0x1000u
#define DMUS_SEG_ALLTRACKS 0x80000000u

struct DMUS_PORTCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  GUID guidPort;
  DWORD dwClass;
  DWORD dwType;
  DWORD dwMemorySize;
  DWORD dwMaxChannelGroups;
  DWORD dwMaxVoices;
  DWORD dwMaxAudioChannels;
  DWORD dwEffectFlags;
  WCHAR wszDescription[128];
};

struct DMUS_PORTPARAMS {
  DWORD dwSize;
  DWORD dwValidParams;
  DWORD dwVoices;
  DWORD dwChannelGroups;
  DWORD dwAudioChannels;
  DWORD dwSampleRate;
  DWORD dwEffectFlags;
  BOOL fShare;
};

struct DMUS_OBJECTDESC {
  DWORD dwSize;
  DWORD dwValidData;
  GUID guidObject;
  GUID guidClass;
  WCHAR wszName[64];
  WCHAR wszCategory[64];
  WCHAR wszFileName[MAX_PATH];
  std::int64_t llMemLength;
  const BYTE *pbMemData;
};

struct IDirectMusicPort {
  virtual HRESULT Activate(BOOL active) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectMusicPort() = default;
};

struct IDirectMusic {
  virtual HRESULT EnumPort(DWORD index, DMUS_PORTCAPS *caps) = 0;
  virtual HRESULT GetDefaultPort(GUID *port) = 0;
  virtual HRESULT CreatePort(REFCLSID port, DMUS_PORTPARAMS *params, IDirectMusicPort **out, void *outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectMusic() = default;
};

struct IDirectMusicSegmentState {
  virtual HRESULT GetStartTime(MUSIC_TIME *time) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectMusicSegmentState() = default;
};

struct IDirectMusicSegment {
  virtual HRESULT SetParam(REFGUID type, DWORD group, DWORD index, MUSIC_TIME time, void *param) = 0;
  virtual HRESULT SetRepeats(DWORD repeats) = 0;
  virtual HRESULT SetStartPoint(MUSIC_TIME start) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectMusicSegment() = default;
};

struct IDirectMusicPerformance {
  virtual HRESULT Init(IDirectMusic **music, void *directSound, HWND window) = 0;
  virtual HRESULT AddPort(IDirectMusicPort *port) = 0;
  virtual HRESULT AssignPChannelBlock(DWORD block, IDirectMusicPort *port, DWORD group) = 0;
  virtual HRESULT PlaySegment(IDirectMusicSegment *segment, DWORD flags, std::int64_t startTime,
                              IDirectMusicSegmentState **state) = 0;
  // A null segment and state stop everything.
  virtual HRESULT Stop(IDirectMusicSegment *segment, IDirectMusicSegmentState *state, MUSIC_TIME time,
                       DWORD flags) = 0;
  virtual HRESULT SetGlobalParam(REFGUID type, void *data, DWORD size) = 0;
  virtual HRESULT AddNotificationType(REFGUID type) = 0;
  virtual HRESULT SetNotificationHandle(HANDLE event, REFERENCE_TIME minimum) = 0;
  virtual HRESULT MusicToReferenceTime(MUSIC_TIME music, REFERENCE_TIME *reference) = 0;
  virtual HRESULT CloseDown() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectMusicPerformance() = default;
};

struct IDirectMusicLoader {
  virtual HRESULT GetObject(DMUS_OBJECTDESC *description, REFIID iid, void **object) = 0;
  virtual HRESULT EnableCache(REFGUID objectClass, BOOL enable) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectMusicLoader() = default;
};

// Makes a performance or a loader (the only classes this stand-in serves).
HRESULT CoCreateInstance(REFCLSID cls, void *outer, DWORD context, REFIID iid, void **object);

// Linux side of the port: the output rate and effects of synthesizers made
// from now on (defaults 44100 Hz, reverb and chorus on), and the rendering
// of the performance's synthesizer into interleaved 16-bit stereo frames
// (silence when it has no port).
struct DirectMusicSynthSettings {
  int rate = 44100;
  bool reverb = true;
  bool chorus = true;
};
void DirectMusicSynth_Configure(const DirectMusicSynthSettings &settings);
DirectMusicSynthSettings DirectMusicSynth_Configuration();
HRESULT DirectMusicSynth_Render(IDirectMusicPerformance *performance, std::int16_t *frames, int count);
// The synthesizer gain a master volume (hundredths of a decibel) gives: 0 is
// FluidSynth's own default gain of 0.2.
float DirectMusicSynth_GainForVolume(long hundredthsOfDecibel);
// The sound font the synthesizer loads, or null when none is found.
const char *DirectMusicSynth_SoundFont();

}  // namespace dmusic
