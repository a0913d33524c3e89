// The event pump: on the thread that created the first window, the message
// functions read the display's events here and post the messages the
// EventTranslator makes of them to the queues of their windows' threads.
#pragma once

#include "platform/win32/KeyState.h"

namespace platform {

// Starts SDL's video on the calling thread (once) and makes it the event thread.
// False when no display can be had.
bool StartVideo();
// True on the thread that started the video.
bool IsEventThread();
// Translates and posts every waiting event; nothing on other threads.
void PumpEvents();
// The keyboard state as the events read so far left it.
KeyState AsyncKeys();
// The calling thread's keyboard state as of the last message it took from its queue.
KeyState& MessageKeys();

}  // namespace platform
