// Writes word files: the trie of a word list in pre-order, each node as its
// child letters, then "1" or "0" for whether a word ends there, then its
// children. Words are sorted and made unique first, so siblings come in
// alphabetical order and the file depends only on the set of words.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class WordTreeWriter {
public:
    // Letters are printable ASCII bytes other than the digits "0" and "1",
    // which mark the end of a node's letters. Words may not be empty nor longer
    // than the tree's nesting limit. Writes nothing and answers false with the
    // reason in `error` when a word breaks these rules.
    static bool Write(std::ostream& out, std::vector<std::string> words, std::string* error = nullptr);

    // Writes the file through a temporary file in the same folder renamed over
    // the old one, so a failed build never leaves a half-written word file.
    static bool WriteFile(const std::string& path, std::vector<std::string> words, std::string* error = nullptr);
};
