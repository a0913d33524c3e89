// The background open queues: engine threads open queued streams and load
// queued songs, so that the caller returns at once. Internet streams are
// opened on a thread of their own, in the order they were asked for; local
// files, songs and sub-stream selections on the other, in theirs.
#pragma once

#include "sound/src/stream/osnd_stream.h"

void OsndNonBlocking_Init();
bool OsndNonBlocking_StartThread();
// Ends the thread (joined); records still queued are marked as failed opens.
void OsndNonBlocking_Shutdown();
// Appends a record's node at the tail of the queue.
void OsndNonBlocking_Queue(OsndQueueNode *node, void *object, int kind);
// Appends other work than a stream open (a song load): the open thread calls
// run in its turn; fail marks it failed when the queue ends before its turn.
void OsndNonBlocking_QueueWork(OsndQueueNode *node, void *object, void (*run)(void *), void (*fail)(void *));
// Takes a node off the queue when it is still queued (a record freed before
// its turn).
void OsndNonBlocking_Unqueue(OsndQueueNode *node);
// Returns once no open thread works on the record (a callback of the record's
// own open does not wait for it).
void OsndNonBlocking_WaitUntilDone(void *object);
