// The background open queue: one engine thread opens queued streams and
// loads queued songs, so that the caller returns at once.
#pragma once

#include "sound/src/osnd_stream.h"

void OsndNonBlocking_Init();
bool OsndNonBlocking_StartThread();
// Ends the thread (joined); records still queued are marked as failed opens.
void OsndNonBlocking_Shutdown();
// Appends a record's node at the tail of the queue.
void OsndNonBlocking_Queue(OsndQueueNode *node, void *object, int kind);
// Takes a node off the queue when it is still queued (a record freed before
// its turn).
void OsndNonBlocking_Unqueue(OsndQueueNode *node);
// Returns once the open thread no longer works on the record (at once when
// called from that thread).
void OsndNonBlocking_WaitUntilDone(void *object);
