// Helpers shared by the word tree tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "game/words/WordTree.h"

namespace wordtest {

// Loads a tree from the bytes of a word file and waits for its anagram index;
// fails the test when Load does.
void LoadFromBytes(WordTree& tree, const std::string& bytes);

// Builds a tree of these words through the word-file writer.
void LoadWords(WordTree& tree, const std::vector<std::string>& words);

// The words of a word list, for comparing.
std::vector<std::string> Listed(const WordTree::WordList& list);

// Path of a game word file in the run folder.
std::string GameWordFile(const std::string& name);

// True when every letter of `word` is available in `letters` (with repeats).
bool CanMake(const std::string& word, const std::string& letters);

// Loads the game's two word files from the run folder; fails the test (and
// checks that `an` is installed) when either is missing.
void LoadGameWordTrees(WordTree& main, WordTree& second);

// Debian's anagram lister, which the oracle tests compare with.
extern const char* const kAn;

// The words that `an -w -d <dictionary> <word>` lists, in its order.
std::vector<std::string> RunAn(const std::string& dictionary, const std::string& word);

// Writes every word of a tree, one a line, to `path` (a dictionary for `an`).
void WriteDictionary(const WordTree& tree, const std::string& path);

// A store holding the saved game node `game` (taken over), after writing it
// as a property file's text and reading that back.
Qmv2::SmartPtr<Qmv2::PropertyStore> ThroughText(Qmv2::PropertyNode* game);

} // namespace wordtest
