// Keeps the program alive through the X protocol errors that a window
// manager's moves cause.
#pragma once

namespace platform {

// Installs, once per process, an Xlib error handler that logs and drops the
// errors of requests about a window that has meanwhile gone (BadWindow) or is
// not viewable for a focus change (BadMatch of SetInputFocus), and passes
// every other error on to the handler it replaced. Without it Xlib's own
// handler ends the program: a window manager that unmaps, reparents or
// destroys a frame between SDL's request and its arrival (the full-screen
// switch re-creates the window; a minimise unmaps it) is an ordinary race.
// Does nothing when the video driver is not X11.
void InstallXErrorFilter();

// How many errors the filter has dropped.
int DroppedXErrors();

}  // namespace platform
