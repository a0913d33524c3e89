// Sample loading: the format readers OSND_Sample_Load tries in order.
#pragma once

#include "sound/src/format/format_reader.h"

// Tries the format readers in order from the file's start, going on while a
// reader answers that the data is not its format: the loaded sample, or null
// with the error of the last reader tried. Without banks the bank reader is
// left out (a bank's entries in a source format are read so, and banks
// inside banks are not read, so that a file cannot nest them without end).
OSND_SAMPLE *OsndFormat_TryReaders(bool withBanks, SystemFileHandle *file, int index, unsigned mode,
                                   const char *name);
// The reader of a bank's entry kept in a source format: every reader but the
// bank's, as above.
OSND_SAMPLE *OsndFormat_LoadSourceFormat(SystemFileHandle *file, int index, unsigned mode, const char *name);
