#include "framework/core/files/FileProblems.h"

#include <atomic>

#include "framework/core/files/FileLoader.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "platform/win32/AtomicFile.h"

namespace Qmv2 {

namespace {

constexpr const char* kCaption = "Saved data";

std::atomic<bool> g_writeFailureSaid{false};

}  // namespace

bool FileProblems::KeepDamagedFile(const std::string& path, std::uint32_t flags, const std::string& what,
                                   const std::string& instead)
{
    const std::string stored = GetLoadFileName(flags, path);
    if (!FileExists(stored)) {
        return true;
    }
    const std::string said = platform::KeepDamagedCopy(stored, what, instead);
    if (!said.empty()) {
        Report(said);
    }
    return !platform::IsProtectedFile(stored);
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
