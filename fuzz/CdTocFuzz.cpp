// A CD drive's answers from arbitrary bytes: a READ TOC answer read as the
// full TOC or the plain one, for a device's own table (with its disc record)
// or another table, and the same bytes as sense data. The first byte picks
// the form. What comes back must be a table the reader can walk: at most 100
// entries, the lead-out last, no negative length, a disc record that fits.
#include "sound/src/source/source_cdda.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const int form = data[0];
  // The drive's answer lands in a buffer of the size the engine asks for.
  uint8_t answer[2048] = {};
  const size_t n = std::min(size - 1, sizeof answer);
  std::memcpy(answer, data + 1, n);
  const int given = (form & 4) ? int(n) : int(sizeof answer);

  CddaToc toc;
  CddaDiscRecord disc;
  CddaDiscRecord *record = (form & 2) ? &disc : nullptr;
  const bool ok = (form & 1) ? OsndCdda_ParseFullToc(answer, given, &toc, record)
                             : OsndCdda_ParseToc(answer, given, &toc, record);
  if (ok) {
    if (toc.count < 1 || toc.count > OSND_CDDA_MAX_TRACKS) std::abort();
    for (int i = 0; i < toc.count; ++i)
      if (toc.length[i] < 0) std::abort();
    if ((form & 1) && toc.track[toc.count - 1] != 0xAA) std::abort();
    if (record && (disc.count < 0 || disc.count >= OSND_CDDA_MAX_TRACKS)) std::abort();
  }

  int key = -1, asc = -1, ascq = -1;
  OsndCdda_ParseSense(data + 1, int(size - 1), &key, &asc, &ascq);
  if (key < 0 || key > 15 || asc < 0 || asc > 255 || ascq < 0 || ascq > 255) std::abort();
  return 0;
}
