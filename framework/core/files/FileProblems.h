// What the player is told when stored data cannot be read or written: a
// damaged file is copied aside before anything replaces it (and left alone
// when no copy can be made), and a failed save is said once a run, so that
// changes never vanish without a word. Messages go to a message box, or to
// stderr under QMV_HEADLESS=1.
#pragma once

#include <cstdint>
#include <string>

namespace Qmv2 {

class FileProblems {
public:
    // The stored file of `path` (its name under the load flags) could not be
    // read: when it exists, keeps a copy as "<file>.damaged" and tells the
    // player, in a sentence that `what` begins ("The saved game") and that
    // `instead` ends with what the game does without it. Answers false when no
    // copy could be made: the file is then left as it is, and nothing is saved
    // over it or removes it this run.
    static bool KeepDamagedFile(const std::string& path, std::uint32_t flags, const std::string& what,
                                const std::string& instead);
    // Says that a save to the path failed, the first time one does in this run.
    static void ReportWriteFailure(const std::string& path, const std::string& reason);
    // Shows a message about stored data as it stands.
    static void Report(const std::string& text);
};

}  // namespace Qmv2
