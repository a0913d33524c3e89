// The ASIO output: the software mix sent to an audio driver of the ASIO kind,
// mixed in the driver's own buffer-switch callback; and the host layer that
// lists the installed drivers and forwards to the open one.
#pragma once

#include "sound/src/core/osnd_records.h"

extern OsndOutputDriver OsndOutputAsio;

// The left and right channels the output plays on (from the device name).
void OutputAsio_Channels(int *left, int *right);
