// The small dictionary the saved-game targets check words against: built
// once through the word-file writer and kept for the whole run.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "game/words/WordTree.h"
#include "game/words/WordTreeWriter.h"

inline WordTree& FuzzWordTree()
{
    static WordTree* tree = [] {
        auto* t = new WordTree();
        std::ostringstream out;
        std::string error;
        WordTreeWriter::Write(out, {"ate", "eat", "tea", "seat", "east", "teas", "sated", "stead", "steady", "ready",
                                    "dearest", "stared", "readiest"},
                              &error);
        std::istringstream in(out.str());
        t->Load(in, 0);
        return t;
    }();
    return *tree;
}
