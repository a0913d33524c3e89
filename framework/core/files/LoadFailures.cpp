#include "framework/core/files/LoadFailures.h"

#include <mutex>
#include <set>
#include <vector>

#include "framework/core/util/Platform.h"

namespace Qmv2 {

namespace {

std::mutex g_lock;
std::set<std::string> g_noted;
std::vector<std::string> g_untold;

}  // namespace

void LoadFailures::Note(const std::string& file)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_noted.insert(file).second) {
        g_untold.push_back(file);
    }
}

void LoadFailures::Report()
{
    std::vector<std::string> files;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        files.swap(g_untold);
    }
    if (files.empty()) {
        return;
    }
    std::string list;
    for (const std::string& file : files) {
        list += (list.empty() ? "" : ", ") + file;
    }
    const bool one = files.size() == 1;
    Platform::ShowMessage(std::string(one ? "A file" : "Some files") + " of the game could not be loaded (damaged or "
                              "missing): " + list + ". The game goes on without " + (one ? "it" : "them") +
                              "; installing the game again restores " + (one ? "it." : "them."),
                          "Game data");
}

}  // namespace Qmv2
