#include "sound/src/song/song_midi.h"

#include "platform/dmusic/DirectMusic.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinRegistry.h"
#include "sound/src/output/output_dsound.h"
#include "sound/src/source/source_systemmixer.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>

using namespace dmusic;

struct MidiSong {
  IDirectMusicSegment *segment;
  IDirectMusicSegmentState *state;
  bool downloaded;
  int64_t referenceStart;
  MUSIC_TIME musicStart;
  bool standardMidiSet;
  uint8_t *data;
  SystemEventHandle event;
};

namespace {

struct DirectMusicState {
  IDirectMusic *music = nullptr;
  IDirectMusicPerformance *performance = nullptr;
  IDirectMusicPort *port = nullptr;
  IDirectMusicLoader *loader = nullptr;
  DMUS_PORTCAPS caps{};
  OSND_STREAM *stream = nullptr;  // the synthesizer's output in the engine
};
DirectMusicState gMusic;

MidiSong *SongData(MusicSong *song) { return song ? static_cast<MidiSong *>(song->midi) : nullptr; }

// The name of the port the MIDI mapper chose, empty when none is set.
std::string MapperPort() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  char name[257] = {};
  DWORD size = 256;
  if (RegQueryValueExA(key, "CurrentInstrument", nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size) !=
      ERROR_SUCCESS) {
    size = 256;
    std::memset(name, 0, sizeof(name));
    RegQueryValueExA(key, "szPname", nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size);
  }
  RegCloseKey(key);
  return std::string(name, strnlen(name, 256));
}

void ReleaseDirectMusic() {
  if (gMusic.performance) {
    gMusic.performance->Stop(nullptr, nullptr, 0, 0);
    gMusic.performance->CloseDown();
    gMusic.performance->Release();
  }
  if (gMusic.port) gMusic.port->Release();
  if (gMusic.loader) gMusic.loader->Release();
  if (gMusic.music) gMusic.music->Release();
  gMusic = DirectMusicState{};
}

bool MakeDirectMusic() {
  if (gMusic.performance) return gMusic.port != nullptr;
  if (gOsnd.mixRate > 0) {
    DirectMusicSynthSettings settings = DirectMusicSynth_Configuration();
    settings.rate = gOsnd.mixRate;
    DirectMusicSynth_Configure(settings);
  }
  void *object = nullptr;
  if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IID_IDirectMusicPerformance, &object)))
    return false;
  gMusic.performance = static_cast<IDirectMusicPerformance *>(object);
  if (FAILED(gMusic.performance->Init(&gMusic.music, nullptr, nullptr)) || !gMusic.music) {
    ReleaseDirectMusic();
    return false;
  }
  if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IID_IDirectMusicLoader, &object))) {
    ReleaseDirectMusic();
    return false;
  }
  gMusic.loader = static_cast<IDirectMusicLoader *>(object);
  gMusic.loader->EnableCache(CLSID_DirectMusicSegment, false);

  GUID port{};
  const std::string wanted = MapperPort();
  if (!wanted.empty()) {
    bool found = false;
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    for (DWORD i = 0; gMusic.music->EnumPort(i, &caps) == S_OK; ++i) {
      char narrow[129] = {};
      for (int c = 0; c < 128 && caps.wszDescription[c]; ++c) narrow[c] = char(caps.wszDescription[c]);
      if (caps.dwClass == DMUS_PC_OUTPUTCLASS && std::strncmp(narrow, wanted.c_str(), wanted.size()) == 0) {
        port = caps.guidPort;
        found = true;
        break;
      }
    }
    if (!found) gMusic.music->GetDefaultPort(&port);
  }
  DMUS_PORTPARAMS params{};
  params.dwSize = sizeof(params);
  params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS | DMUS_PORTPARAMS_EFFECTS;
  params.dwChannelGroups = 1;
  if (FAILED(gMusic.music->CreatePort(port, &params, &gMusic.port, nullptr)) || FAILED(gMusic.port->Activate(TRUE))) {
    if (gMusic.port) gMusic.port->Release();
    gMusic.port = nullptr;
    gMusic.music->GetDefaultPort(&port);
    if (FAILED(gMusic.music->CreatePort(port, &params, &gMusic.port, nullptr)) ||
        FAILED(gMusic.port->Activate(TRUE))) {
      if (gMusic.port) gMusic.port->Release();
      gMusic.port = nullptr;
      return false;
    }
  }
  gMusic.performance->AddPort(gMusic.port);
  gMusic.performance->AssignPChannelBlock(0, gMusic.port, 1);
  gMusic.caps.dwSize = sizeof(gMusic.caps);
  gMusic.music->EnumPort(0, &gMusic.caps);
  return true;
}

bool RenderInto(OSND_STREAM *, void *destination, int bytes, void *) {
  DirectMusicSynth_Render(gMusic.performance, static_cast<int16_t *>(destination), bytes / 4);
  return true;
}

// The stream that carries the synthesizer into the mixer: made and started
// with the first song that plays, kept until the engine closes.
bool StartStream() {
  if (gMusic.stream) return true;
  const int rate = gOsnd.mixRate > 0 ? gOsnd.mixRate : 44100;
  const int block = gOsnd.blockLength > 0 ? gOsnd.blockLength : 256;
  const int samples = std::max(int(int64_t(gOsndStreams.bufferMs) * rate / 1000), block) / block * block;
  const unsigned mode = OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_SIGNED | OSND_MODE_2D;
  OSND_STREAM *s = OsndStream_Create(nullptr, RenderInto, samples * 4, mode, rate, nullptr, 2);
  if (!s) return false;
  SystemString_Copy(s->sample->name, "MIDI synthesizer");
  OsndStream_MarkReady(s);
  OsndStream_Link(s);
  if (OSND_Stream_Play(OSND_FREE, s) < 0) {
    OSND_Stream_Close(s);
    return false;
  }
  gMusic.stream = s;
  return true;
}

void StartHook(MusicSong *song) { MusicFormatMidi_Play(song); }

}  // namespace

bool MusicFormatMidi_Load(MusicSong *song, SystemFileHandle *file, const char *name) {
  char magic[12] = {};
  SystemFile_Seek(file, 0, SEEK_SET);
  if (SystemFile_Read(magic, 1, 4, file) != 4) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  if (std::memcmp(magic, "MThd", 4) != 0 && std::memcmp(magic, "RIFF", 4) != 0) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  if (std::memcmp(magic, "RIFF", 4) == 0) {
    SystemFile_Seek(file, 8, SEEK_SET);
    if (SystemFile_Read(magic + 4, 1, 8, file) != 8 || std::memcmp(magic + 4, "WAVEfmt", 7) == 0 ||
        std::memcmp(magic + 4, "AVI LIST", 8) == 0)
      return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  if (!MakeDirectMusic()) return Osnd_Fail(OSND_ERR_UNINITIALISED);

  auto *midi = static_cast<MidiSong *>(OSND_ALLOC(int(sizeof(MidiSong))));
  if (!midi) return Osnd_Fail(OSND_ERR_MEMORY);
  song->type = MUSIC_TYPE_MIDI;
  SystemString_CopyN(song->name, ((file->kind & SYSTEMFILE_KIND_MASK) == SYSTEMFILE_MEMORY || !name) ? "" : name, 255);
  song->name[255] = '\0';
  song->defaultTempo = song->tempo = 125;
  song->startHook = StartHook;
  song->masterVolume = 255;

  DMUS_OBJECTDESC description{};
  description.dwSize = sizeof(description);
  description.guidClass = CLSID_DirectMusicSegment;
  auto failSong = [&](int code) {
    OSND_FREE_MEM(midi->data);
    OSND_FREE_MEM(midi);
    return Osnd_Fail(code);
  };
  const unsigned kind = file->kind & SYSTEMFILE_KIND_MASK;
  if (kind == SYSTEMFILE_MEMORY) {
    const int64_t length = file->length - file->startOffset;
    if (length <= 0 || length > 0x7FFFFFFF) return failSong(OSND_ERR_FILE_FORMAT);
    midi->data = static_cast<uint8_t *>(OSND_ALLOC(int(length)));
    if (!midi->data) return failSong(OSND_ERR_MEMORY);
    SystemFile_Seek(file, 0, SEEK_SET);
    if (SystemFile_Read(midi->data, 1, int(length), file) != int(length)) return failSong(OSND_ERR_FILE_FORMAT);
    description.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    description.llMemLength = length;
    description.pbMemData = midi->data;
  } else if (kind == SYSTEMFILE_DISK || kind == SYSTEMFILE_BUFFERED) {
    description.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME | DMUS_OBJ_FULLPATH;
    for (int i = 0; i < MAX_PATH - 1 && name && name[i]; ++i) description.wszFileName[i] = WCHAR(uint8_t(name[i]));
  } else {
    return failSong(OSND_ERR_FILE_BAD);
  }
  void *segment = nullptr;
  const HRESULT result = gMusic.loader->GetObject(&description, IID_IDirectMusicSegment, &segment);
  if ((result != S_OK && result != DMUS_S_PARTIALLOAD) || !segment) return failSong(OSND_ERR_FILE_FORMAT);
  midi->segment = static_cast<IDirectMusicSegment *>(segment);
  midi->event = SystemThread_CreateEvent();
  gMusic.performance->AddNotificationType(GUID_NOTIFICATION_SEGMENT);
  gMusic.performance->SetNotificationHandle(midi->event, 0);
  song->midi = midi;
  return true;
}

bool MusicFormatMidi_Play(MusicSong *song) {
  if (!MakeDirectMusic()) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  MidiSong *midi = SongData(song);
  if (!midi || !midi->segment) return Osnd_Fail(OSND_ERR_FILE_BAD);
  if (gMusic.caps.dwFlags & DMUS_PC_DLS) {
    if (!midi->standardMidiSet) {
      midi->segment->SetParam(GUID_StandardMIDIFile, DMUS_SEG_ALLTRACKS, 0, 0, nullptr);
      midi->standardMidiSet = true;
    }
    if (midi->downloaded) midi->segment->SetParam(GUID_Unload, DMUS_SEG_ALLTRACKS, 0, 0, gMusic.performance);
    if (FAILED(midi->segment->SetParam(GUID_Download, DMUS_SEG_ALLTRACKS, 0, 0, gMusic.performance))) return false;
    midi->downloaded = true;
  }
  midi->segment->SetRepeats(song->looping ? DMUS_SEG_REPEAT_INFINITE : 0);
  MusicFormatMidi_SetVolume(song);
  if (!StartStream()) return Osnd_Fail(OSND_ERR_PLAY);
  if (midi->state) midi->state->Release();
  midi->state = nullptr;
  // The stream decodes under this lock: the song starts between two refills.
  SystemLockGuard guard(gOsndStreams.decodeLock);
  if (FAILED(gMusic.performance->PlaySegment(midi->segment, DMUS_SEGF_DEFAULT, 0, &midi->state)))
    return Osnd_Fail(OSND_ERR_PLAY);
  if (midi->state && SUCCEEDED(midi->state->GetStartTime(&midi->musicStart)))
    gMusic.performance->MusicToReferenceTime(midi->musicStart, &midi->referenceStart);
  return true;
}

void MusicFormatMidi_Stop(MusicSong *song) {
  if (!gMusic.port) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return;
  }
  MidiSong *midi = SongData(song);
  if (!midi) {
    Osnd_SetError(OSND_ERR_FILE_BAD);
    return;
  }
  if (midi->segment) {
    gMusic.performance->Stop(nullptr, nullptr, 0, 0);
    midi->segment->SetStartPoint(0);
  }
  if (midi->state) midi->state->Release();
  midi->state = nullptr;
  song->playing = 0;
}

bool MusicFormatMidi_SetVolume(MusicSong *song) {
  if (!gMusic.port) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  if (!SongData(song)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  int32_t value = OsndVolumeTable[std::clamp(song->masterVolume, 0, 255)] + 1000;
  gMusic.performance->SetGlobalParam(GUID_PerfMasterVolume, &value, 4);
  // A hardware synthesizer's line of the system mixer follows the song too.
  OsndSystemMixerWin32_SetVolume(OSND_SYSTEMMIXER_SYNTH, std::clamp(song->masterVolume, 0, 255));
  return true;
}

void MusicFormatMidi_Free(MusicSong *song) {
  MidiSong *midi = SongData(song);
  if (!midi) return;
  if (midi->state) midi->state->Release();
  if (midi->segment) midi->segment->Release();
  if (midi->event) SystemThread_CloseEvent(midi->event);
  OSND_FREE_MEM(midi->data);
  OSND_FREE_MEM(midi);
  song->midi = nullptr;
}

void MusicFormatMidi_Shutdown() {
  if (gMusic.stream) OSND_Stream_Close(gMusic.stream);
  gMusic.stream = nullptr;
  ReleaseDirectMusic();
}

OSND_STREAM *MusicFormatMidi_Stream() { return gMusic.stream; }
