// The core's one registration: makes the object factory (with the basic
// value types) and registers the core's stored classes that property files
// name ("HighScoreEntry"). Call once at the program's start, before any
// other folder's registration and before anything is read from a file.
#pragma once

namespace Qmv2 {

void RegisterCoreClasses();

}  // namespace Qmv2
