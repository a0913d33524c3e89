// The background open queues: engine threads open queued streams and load
// queued songs, so that the caller returns at once. Local files, songs and
// sub-stream selections are done by one thread, in the order they were asked
// for; internet streams each open on a thread of their own, up to a bound.
// The open-complete callbacks run one at a time all the same, in the order the
// opens finished, on a thread of their own.
#pragma once

#include "sound/src/stream/osnd_stream.h"

// The most internet streams that open at once; more wait in their queue.
constexpr int OSND_NONBLOCKING_NET_THREADS = 8;

// The engine has started: opens are taken.
void OsndNonBlocking_Init();
// The engine's close (or, with `start`, its start, which closes first) begins
// on the calling thread: from here on an open fails at once (as on a closed
// engine) and starts no thread. Joins a callback thread that a callback's
// close of the engine left ending. One thread closes or starts the engine at
// a time (its own nested calls pass): a close on another thread waits for it
// to end; a start there fails (false, OSND_ERR_INIT), and so does either on
// the callback thread (false, OSND_ERR_CALLBACK), which the close under way
// joins. On false the caller does nothing.
bool OsndNonBlocking_BeginEngineClose(bool start);
// The close (or start) that BeginEngineClose began has ended.
void OsndNonBlocking_EndEngineClose();
// Makes the open threads and the callback thread when they are not running;
// false, with the error set, once a close has begun or when one cannot be
// made.
bool OsndNonBlocking_StartThread();
// Ends the threads (joined); records still queued are marked as failed opens
// and left in the stream list for the engine's close.
void OsndNonBlocking_Shutdown();
// Appends a stream's node (its open or a sub-stream selection) at the tail of
// the queue. False, queuing nothing and leaving the node as it was, once the
// stream's close has begun: a close marks its record before its Unqueue takes
// the queue's lock, under which the mark is read here, so that a node is
// either queued before that Unqueue, which takes it off, or not at all, and
// no node of a freed record stays in the queue.
[[nodiscard]] bool OsndNonBlocking_Queue(OSND_STREAM *stream);
// Other work than a stream open (a song load): the open thread calls run in
// its turn, and the callback thread done once run has returned, as it makes
// the other open-complete callbacks, holding the record's lifetime while done
// runs and calling letGo after; fail marks it failed when the queue ends
// before its turn.
struct OsndQueueWork {
  void (*run)(void *object);
  void (*done)(void *object);
  void (*fail)(void *object);
  OsndLifetime *life;
  void (*letGo)(void *object);
};
// False in the same way once work.life is marked (a song whose free has begun).
[[nodiscard]] bool OsndNonBlocking_QueueWork(OsndQueueNode *node, void *object, const OsndQueueWork &work);
// Takes a node off the queue when it is still queued (a record freed before
// its turn); true when it was.
bool OsndNonBlocking_Unqueue(OsndQueueNode *node);
// Returns once no open thread works on the record. The record is being
// closed or freed: an open-complete callback of it that has not begun is not
// made; one running is not waited for: it holds the record (core/osnd_lifetime.h).
void OsndNonBlocking_WaitUntilDone(void *object);
// For a close of a stream it found not ready, looked at again under the
// queue lock: false when the stream's own open is queued or under way. Else
// true, having taken off a sub-stream selection of it still queued (the
// stream is ready again on the entry it had); one the open thread took is
// left to the close's wait, and one about to be queued to its mark.
bool OsndNonBlocking_TakeBackSelection(OSND_STREAM *stream);
// Whether the calling thread is the one that makes the open-complete and
// song-loaded callbacks.
bool OsndNonBlocking_IsCallbackThread();

// Whether the callback of `object`'s finished work waits its turn: an open
// is ready a moment before its callback is queued, and the order of the
// callbacks is the order in which they were queued.
bool OsndNonBlocking_CompletionWaits(const void *object);
