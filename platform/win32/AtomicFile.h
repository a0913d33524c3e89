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

}  // namespace platform
