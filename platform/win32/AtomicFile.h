// Replacing a file so that a crash or a failed write never leaves it half
// written: the contents go to a temporary file in the same folder, are
// flushed to disk, and only then renamed over the old file.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace platform {

// The producer writes the whole contents to the open stream and answers
// whether it succeeded. On any failure (producer, write, flush, rename) the
// temporary file is removed, the old file stays as it was, and the answer is false.
bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& produce);
bool WriteFileAtomically(const std::string& path, const std::string& contents);
// Flushes the folder that holds the path, so that a rename into it is durable.
void SyncFolderOf(const std::string& path);

// A stored file that exists but could not be read is copied whole to
// "<path>.damaged" before anything may replace it. When no such copy can be
// made the file is protected: every later WriteFileAtomically over it fails,
// for the rest of the run, so that nothing the player had is lost. Answers
// what the player is to be told: `what` begins the sentence and names the
// file for the player ("The saved game"), `instead` says what the game does
// without it. A file protected before is left alone and the answer is empty:
// the player was told then.
std::string KeepDamagedCopy(const std::string& path, const std::string& what, const std::string& instead);
bool IsProtectedFile(const std::string& path);
// Removes temporary files that writes of ours left behind in the folder and
// every folder below it when they were cut short (older than a minute, so
// that a write under way in another process is left alone).
void RemoveStaleTemporaries(const std::string& folder);

}  // namespace platform
