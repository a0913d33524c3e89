// The parts of the game's data that could not be loaded (a damaged or missing
// sound, piece of music, picture or data file): noted from any thread where
// the load fails, and told to the player in one message at a moment the game
// chooses, each part once a run. The game goes on without them.
#pragma once

#include <string>

namespace Qmv2 {

class LoadFailures {
public:
    // Notes the file of a part that could not be loaded; a file noted before
    // in this run is not noted again.
    static void Note(const std::string& file);
    // Tells the player which of the noted parts were not told yet, in one
    // message (a message box, or stderr under QMV_HEADLESS=1); nothing when
    // there are none.
    static void Report();
};

}  // namespace Qmv2
