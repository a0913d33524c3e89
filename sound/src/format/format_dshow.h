// Files no reader of the engine takes, played by the system's media player
// graph on an extra channel of their own: the engine only controls it.
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"

#include <cstdint>

namespace dshow {
struct IGraphBuilder;
struct IMediaControl;
struct IBasicAudio;
struct IMediaSeeking;
struct IVideoWindow;
}  // namespace dshow

struct DshowStream {
  OsndChannel *channel;
  dshow::IGraphBuilder *graph;
  dshow::IMediaControl *control;
  dshow::IBasicAudio *audio;
  dshow::IMediaSeeking *seeking;
  dshow::IVideoWindow *window;
};

// Renders `name` (its '/' become '\' in place) on a free media channel.
// Errors: 10 for names and files it cannot render, 8 with every media
// channel in use, 18 when the graph fails, 12 out of memory.
bool FormatDshow_Open(SystemFileHandle *file, char *name, uint32_t *lengthBytes, int *lengthMs, DshowStream **out);
void FormatDshow_Close(DshowStream *stream);
// Starts the graph unless told not to; the channel's handle, 0 or -1 on failure.
int FormatDshow_Play(DshowStream *stream, bool doNotRun);
int FormatDshow_GetPositionMs(DshowStream *stream);
bool FormatDshow_SeekMs(DshowStream *stream, uint32_t ms);
bool FormatDshow_SeekSamples(DshowStream *stream, uint32_t samples);
// Fills a media channel's operation slots.
void FormatDshow_SetChannelFunctions(OsndChannel *channel);
