// The table of outputs: which driver table each output type selects.
#pragma once

#include "sound/src/core/osnd_records.h"

// The table OSND_SetOutput selects for an output type (no sound for a type
// without an output of its own).
OsndOutputDriver *Osnd_OutputDriverForType(int outputType);
