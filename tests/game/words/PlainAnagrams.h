// The anagram search's order by its plain rule, walked on the node buffer
// child by child, for checking the game's search: at each node the letters
// left in the order they stand, a repeated one at its first place only; using
// a letter takes out that place. Shared by the word tests and the word-file
// fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/util/UTF8String.h"
#include "game/words/WordTree.h"

namespace wordtest {

inline void PlainAnagrams(const WordTree& tree, std::int32_t offset, std::string& prefix, std::string& left,
                          std::vector<std::string>& out)
{
    if ((tree.GetNodes()[offset + 3] & 0x80) != 0) {
        std::string text;
        for (unsigned char c : prefix)
            text += Qmv2::EncodeCodePoint(c);
        out.push_back(text);
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        const char c = left[i];
        const std::int32_t child = tree.FindChild(offset, static_cast<std::uint8_t>(c));
        if (left.find(c) != i || child < 0)
            continue;
        left.erase(i, 1);
        prefix.push_back(c);
        PlainAnagrams(tree, child, prefix, left, out);
        prefix.pop_back();
        left.insert(i, 1, c);
    }
}

} // namespace wordtest
