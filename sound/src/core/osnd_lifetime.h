// The lifetime of a record two parties may share: a stream or a song, used by
// an application thread and by its own callback on an engine thread at once.
// One rule for every kind:
// - every call and every callback holds the record while it uses it;
// - a close (or free) marks it in one step under the lock the holds take,
//   and holds it too, so that of two closes one wins;
// - a call asked for once the mark is set is refused (and one that holds it
//   looks at the mark again under the lock that the close's release of what
//   the record owns takes, so that it ends before that release or fails);
// - the record goes with its last hold, whichever party lets go last.
// Records are zero-filled when made, which is an unheld, unmarked lifetime.
// Where a record passes from one thread to another, and what keeps it alive
// there: docs/handoffs.md.
#pragma once

#include <cstdint>

struct OsndLifetime {
  int holds;
  uint8_t closing;
};

// Holds a record that no one can free meanwhile (an engine thread that found
// it in a list under that list's lock), marked or not.
void OsndLifetime_Hold(OsndLifetime *life);
// Holds a record for a call; false, holding nothing, once its close has begun.
bool OsndLifetime_HoldOpen(OsndLifetime *life);
// Marks the record as closing and holds it for the close; false when another
// close has begun (that one does the work).
bool OsndLifetime_BeginClose(OsndLifetime *life);
// Lets go of a hold; true when it was the last one of a record being closed:
// the caller then frees it (nothing else can reach it any more).
[[nodiscard]] bool OsndLifetime_LetGo(OsndLifetime *life);
// Whether the record's close has begun (it may still be held).
bool OsndLifetime_Closing(const OsndLifetime *life);
