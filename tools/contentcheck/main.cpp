// contentcheck <run folder> <key list>... [--sources <folder>]...
// Checks the game's content in the run folder against the keys that code and
// data read; names every problem on its own line and exits 1 when there is one.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/contentcheck/ContentCheck.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: contentcheck <run folder> <key list>... [--sources <folder>]...\n");
        return 2;
    }
    std::vector<std::string> lists, sources;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--sources" && i + 1 < argc) {
            sources.push_back(argv[++i]);
        } else {
            lists.push_back(argv[i]);
        }
    }
    contentcheck::ContentCheck check(argv[1], lists);
    std::vector<std::string> problems = check.Run();
    for (const std::string& folder : sources) {
        for (const std::string& name : check.UndeclaredNames(folder)) {
            problems.push_back("the code reads " + name + ", which no key list declares");
        }
    }
    for (const std::string& problem : problems) {
        std::printf("content check: %s\n", problem.c_str());
    }
    if (!problems.empty()) {
        std::printf("content check: %zu problem(s)\n", problems.size());
        return 1;
    }
    std::printf("content check: the content is whole\n");
    return 0;
}
