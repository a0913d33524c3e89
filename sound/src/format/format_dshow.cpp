#include "sound/src/format/format_dshow.h"

#include "platform/media/DirectShow.h"
#include "sound/src/output/output_dsound.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/system/system_thread.h"

#include <cstring>
#include <new>

namespace {

constexpr int kNameLength = 260;

template <class T>
void ReleaseOne(T *&object) {
  if (object) object->Release();
  object = nullptr;
}

void ReleaseAll(DshowStream *s) {
  ReleaseOne(s->window);
  ReleaseOne(s->control);
  ReleaseOne(s->seeking);
  ReleaseOne(s->audio);
  ReleaseOne(s->graph);
}

DshowStream *StreamOf(OsndChannel *c) { return static_cast<DshowStream *>(c->driverChannel); }

// Looks for a free media channel and marks it taken in one step, so that two
// opens side by side never take the same one. A media channel's flags, slots
// and graph change under the mixer's lock, which the calls on every channel
// (OSND_ALL) hold while they read and change the same flags and call the same
// slots.
OsndChannel *ClaimMediaChannel() {
  SystemLockGuard guard(Osnd_MixerLock());
  for (int i = gOsnd.channelCount; gOsnd.channels && i < gOsnd.channelCount + gOsnd.extraChannels; ++i) {
    OsndChannel *c = &gOsnd.channels[i];
    if (!(c->flags & OSND_CHANFLAG_MEDIA)) {
      c->flags |= OSND_CHANFLAG_MEDIA;
      return c;
    }
  }
  return nullptr;
}

void ReleaseMediaChannel(OsndChannel *c) {
  SystemLockGuard guard(Osnd_MixerLock());
  c->flags &= ~OSND_CHANFLAG_MEDIA;
  c->driverChannel = nullptr;
  OsndChannel_SetDefaultOps(c);
}

bool EndsWithMp3(const char *name) {
  const size_t n = std::strlen(name);
  if (n < 4) return false;
  const char *e = name + n - 4;
  return e[0] == '.' && (e[1] | 0x20) == 'm' && (e[2] | 0x20) == 'p' && e[3] == '3';
}

bool Stop(OsndChannel *c) {
  DshowStream *s = StreamOf(c);
  if (!s || !s->control) return Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
  return SUCCEEDED(s->control->Stop()) || Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
}

bool SetVolume(OsndChannel *c, int volume) {
  DshowStream *s = StreamOf(c);
  if (!s || !s->audio || volume < 0 || volume > 255) return Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
  return SUCCEEDED(s->audio->put_Volume(long(OsndVolumeTable[volume]))) || Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
}

// The balance for an engine pan: the centre (128) and "no pan" (-1) are 0;
// towards the left the right side is turned down by the volume table's step
// for twice the distance, towards the right the left side likewise.
long BalanceForPan(int pan) {
  if (pan == -1 || pan == 128) return 0;
  if (pan < 128) return long(OsndVolumeTable[2 * pan]);
  return -long(OsndVolumeTable[511 - 2 * pan]);
}

bool SetPan(OsndChannel *c, int pan) {
  DshowStream *s = StreamOf(c);
  if (!s || !s->audio || pan < -1 || pan > 255) return Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
  return SUCCEEDED(s->audio->put_Balance(BalanceForPan(pan))) || Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
}

bool DshowSetPaused(OsndChannel *c, bool pause) {
  DshowStream *s = StreamOf(c);
  if (!s || !s->control) return Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
  const HRESULT r = pause ? s->control->Pause() : s->control->Run();
  return r == S_OK || Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
}

bool DshowIsPlaying(OsndChannel *c) {
  DshowStream *s = StreamOf(c);
  LONGLONG current = 0, stop = 0;
  if (!s || !s->seeking || FAILED(s->seeking->GetPositions(&current, &stop))) return Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
  return current < stop;
}

bool Seek(DshowStream *s, const GUID &format, LONGLONG position) {
  if (!s || !s->seeking || FAILED(s->seeking->SetTimeFormat(&format)) ||
      FAILED(s->seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning)))
    return Osnd_Fail(OSND_ERR_MEDIA_PLAYER);
  return true;
}

}  // namespace

bool FormatDshow_Open(SystemFileHandle *file, char *name, uint32_t *lengthBytes, int *lengthMs, DshowStream **out) {
  if (!name || !out) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  *out = nullptr;
  if (!EndsWithMp3(name) && (std::strncmp(name, "http://", 7) == 0 || std::strncmp(name, "http:\\", 6) == 0))
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);

  auto *s = new (std::nothrow) DshowStream{};
  if (!s) return Osnd_Fail(OSND_ERR_MEMORY);
  OsndChannel *channel = ClaimMediaChannel();
  if (!channel) {
    delete s;
    return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  }
  auto failAll = [&](int code) {
    ReleaseMediaChannel(channel);
    ReleaseAll(s);
    delete s;
    return Osnd_Fail(code);
  };
  if (FAILED(dshow::CoCreateInstance(dshow::CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, dshow::IID_IGraphBuilder,
                                     reinterpret_cast<void **>(&s->graph))))
    return failAll(OSND_ERR_MEDIA_PLAYER);

  for (char *c = name; *c; ++c)
    if (*c == '/') *c = '\\';
  WCHAR wide[kNameLength] = {};
  for (int i = 0; name[i] && i < kNameLength - 1; ++i) wide[i] = WCHAR(static_cast<unsigned char>(name[i]));
  if (FAILED(s->graph->RenderFile(wide, nullptr))) return failAll(OSND_ERR_FILE_FORMAT);

  if (SUCCEEDED(s->graph->QueryInterface(dshow::IID_IVideoWindow, reinterpret_cast<void **>(&s->window))))
    s->window->put_AutoShow(0);
  s->graph->QueryInterface(dshow::IID_IMediaControl, reinterpret_cast<void **>(&s->control));
  s->graph->QueryInterface(dshow::IID_IMediaSeeking, reinterpret_cast<void **>(&s->seeking));
  s->graph->QueryInterface(dshow::IID_IBasicAudio, reinterpret_cast<void **>(&s->audio));

  LONGLONG stop = 0;
  if (!s->seeking || FAILED(s->seeking->GetStopPosition(&stop))) return failAll(OSND_ERR_MEDIA_PLAYER);
  if (lengthMs) *lengthMs = int(stop / 10000);
  {
    // The slots answer for the graph only while it is there: an idle media
    // channel keeps the do-nothing defaults, so that stopping every channel
    // does not report the absent graphs as failures.
    SystemLockGuard guard(Osnd_MixerLock());
    channel->driverChannel = s;
    FormatDshow_SetChannelFunctions(channel);
  }
  s->channel = channel;
  if (file && lengthBytes) {
    SystemFile_Seek(file, 0, SEEK_END);
    *lengthBytes = uint32_t(SystemFile_Tell(file));
    SystemFile_Seek(file, 0, SEEK_SET);
  }
  *out = s;
  return true;
}

void FormatDshow_Close(DshowStream *s) {
  if (!s) return;
  // Its channel lets go of the graph before the graph goes.
  if (s->channel) ReleaseMediaChannel(s->channel);
  if (s->control) s->control->Stop();
  ReleaseAll(s);
  delete s;
}

int FormatDshow_Play(DshowStream *s, bool doNotRun) {
  if (!s) {
    Osnd_SetError(OSND_ERR_MEDIA_PLAYER);
    return 0;
  }
  if (!s->control) {
    Osnd_SetError(OSND_ERR_MEDIA_PLAYER);
    return -1;
  }
  if (!doNotRun) s->control->Run();
  OsndChannel *c = s->channel;
  c->currentHandle = (c->useCounter << 12) | c->index;
  return c->currentHandle;
}

int FormatDshow_GetPositionMs(DshowStream *s) {
  LONGLONG current = 0;
  if (!s || !s->seeking || FAILED(s->seeking->SetTimeFormat(&dshow::TIME_FORMAT_MEDIA_TIME)) ||
      FAILED(s->seeking->GetCurrentPosition(&current)))
    return 0;
  return int(current / 10000);
}

bool FormatDshow_SeekMs(DshowStream *s, uint32_t ms) {
  return Seek(s, dshow::TIME_FORMAT_MEDIA_TIME, LONGLONG(ms) * 10000);
}

bool FormatDshow_SeekSamples(DshowStream *s, uint32_t samples) {
  return Seek(s, dshow::TIME_FORMAT_SAMPLE, LONGLONG(samples));
}

void FormatDshow_SetChannelFunctions(OsndChannel *c) {
  c->ops.stop = Stop;
  c->ops.setVolume = SetVolume;
  c->ops.setPan = SetPan;
  c->ops.setPaused = DshowSetPaused;
  c->ops.isPlaying = DshowIsPlaying;
}
