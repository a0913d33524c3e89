#include "sound/src/core/osnd_records.h"

#include "sound/src/system/system_string.h"

OsndSystem gOsnd;

namespace {

template <size_t Width>
int AddName(char (&names)[OSND_MAX_DRIVER_NAMES][Width], int &count, const char *name) {
  if (count >= OSND_MAX_DRIVER_NAMES) return -1;
  const int index = count++;
  SystemString_CopyN(names[index], name, int(Width) - 1);
  names[index][Width - 1] = '\0';
  return index;
}

}  // namespace

int Osnd_AddDriverName(const char *name) { return AddName(gOsnd.driverNames, gOsnd.numDrivers, name); }

int Osnd_AddRecordDriverName(const char *name) {
  return AddName(gOsnd.recordDriverNames, gOsnd.numRecordDrivers, name);
}

void OsndEnumerateDrivers() {
  if (!gOsnd.output) return;
  if (gOsnd.driversEnumerated && gOsnd.numDrivers > 0) return;
  gOsnd.numDrivers = 0;
  gOsnd.output->enumerate();
  gOsnd.driversEnumerated = 1;
}
