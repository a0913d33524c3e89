// Windows Media (ASF) files decoded by the Windows Media runtime's synchronous
// reader over the engine's own file handle, for streams and sample loading.
#pragma once

#include "sound/src/format/format_reader.h"

struct FormatAsfRecord;

bool FormatAsf_Read(void *record, uint8_t *destination, int *bytes);
// Moves to a time in milliseconds; answers it.
int FormatAsf_SetPosition(void *record, int ms);
bool FormatAsf_Close(void *record);

// The reader's sample load and stream open (the reader contract).
OSND_SAMPLE *OsndFormatAsf_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name);
bool OsndFormatAsf_OpenStream(OsndFormatInfo *info);
