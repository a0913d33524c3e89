#include "framework/core/files/FileProblems.h"

#include <atomic>

#include "framework/core/util/Platform.h"
#include "platform/win32/AtomicFile.h"

namespace Qmv2 {

namespace {

constexpr const char* kCaption = "Saved data";

std::atomic<bool> g_writeFailureSaid{false};

}  // namespace

bool FileProblems::KeepDamagedFile(const std::string& storedPath)
{
    std::string reason;
    if (platform::KeepDamagedCopy(storedPath, &reason)) {
        Report("The file " + storedPath + " could not be read. A copy is kept as " + storedPath +
               ".damaged; the game goes on with default values.");
        return true;
    }
    Report("The file " + storedPath + " could not be read (" + reason +
           "), and no copy of it could be made. It is left as it is, and nothing is saved over it until the game "
           "is started again; the game goes on with default values.");
    return false;
}

void FileProblems::ReportWriteFailure(const std::string& path, const std::string& reason)
{
    if (g_writeFailureSaid.exchange(true)) {
        Platform::Log("Could not save %s (%s)\n", path.c_str(), reason.c_str());
        return;
    }
    Report("Could not save " + path + " (" + reason +
           "). The game goes on, but changes that cannot be saved are lost when it ends.");
}

void FileProblems::Report(const std::string& text)
{
    Platform::ShowMessage(text, kCaption);
}

}  // namespace Qmv2
