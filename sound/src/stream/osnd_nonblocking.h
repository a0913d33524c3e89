// The background open queues: engine threads open queued streams and load
// queued songs, so that the caller returns at once. Local files, songs and
// sub-stream selections are done by one thread, in the order they were asked
// for; internet streams each open on a thread of their own, up to a bound.
#pragma once

#include "sound/src/stream/osnd_stream.h"

// The most internet streams that open at once; more wait in their queue.
constexpr int OSND_NONBLOCKING_NET_THREADS = 8;

void OsndNonBlocking_Init();
bool OsndNonBlocking_StartThread();
// Ends the threads (joined); records still queued are marked as failed opens
// and left in the stream list for the engine's close.
void OsndNonBlocking_Shutdown();
// Appends a record's node at the tail of the queue.
void OsndNonBlocking_Queue(OsndQueueNode *node, void *object, int kind);
// Appends other work than a stream open (a song load): the open thread calls
// run in its turn; fail marks it failed when the queue ends before its turn.
void OsndNonBlocking_QueueWork(OsndQueueNode *node, void *object, void (*run)(void *), void (*fail)(void *));
// Takes a node off the queue when it is still queued (a record freed before
// its turn); true when it was.
bool OsndNonBlocking_Unqueue(OsndQueueNode *node);
// Returns once no open thread works on the record (a callback of the record's
// own open does not wait for it).
void OsndNonBlocking_WaitUntilDone(void *object);
