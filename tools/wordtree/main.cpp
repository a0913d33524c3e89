// wordtree: builds a word file from plain word lists (one word a line).
//
//   wordtree -o OUT [--min N] [--max N] [--warn-below N] LIST...
//
// Keeps the words of lower-case letters a-z only, of --min..--max letters
// (3..8 by default), from all lists together, and writes their trie. Roman
// numerals and abbreviations, which the lists carry as words ("xiv", "rpm"),
// are left out. It then reads the file back to check it, and counts for each
// source-word length (5..8) the words whose letters make at least 15
// dictionary words, the least a round needs; a length with fewer than
// --warn-below such words (100 by default) gets a warning, since the game
// would run short of rounds there.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "game/words/WordTree.h"
#include "game/words/WordTreeWriter.h"

namespace {

struct Options {
    std::string output;
    std::vector<std::string> lists;
    std::size_t minLength = 3;
    std::size_t maxLength = 8;
    std::size_t warnBelow = 100;
};

int Usage()
{
    std::cerr << "usage: wordtree -o OUT [--min N] [--max N] [--warn-below N] LIST...\n";
    return 2;
}

bool ParseNumber(const char* text, std::size_t& value)
{
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || parsed > 1000000)
        return false;
    value = parsed;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-o" && hasValue)
            options.output = argv[++i];
        else if (arg == "--min" && hasValue && ParseNumber(argv[i + 1], options.minLength))
            ++i;
        else if (arg == "--max" && hasValue && ParseNumber(argv[i + 1], options.maxLength))
            ++i;
        else if (arg == "--warn-below" && hasValue && ParseNumber(argv[i + 1], options.warnBelow))
            ++i;
        else if (!arg.empty() && arg[0] != '-')
            options.lists.push_back(arg);
        else
            return false;
    }
    return !options.output.empty() && !options.lists.empty() && options.minLength >= 1 &&
           options.minLength <= options.maxLength;
}

// A round that asks for "xiv" or "lvi" as an answer looks broken to the
// player, so numerals written the standard way are not words. "mix" reads as
// 1009 too, and is a word.
bool IsRomanNumeral(const std::string& word)
{
    static const std::regex numeral("m{0,3}(cm|cd|d?c{0,3})(xc|xl|l?x{0,3})(ix|iv|v?i{0,3})");
    return word != "mix" && std::regex_match(word, numeral);
}

// Abbreviations ("rpm", "mph", "tbsp") are the lists' words without a vowel;
// a few such words are words all the same.
bool IsAbbreviation(const std::string& word)
{
    static const std::set<std::string> words = {"brr", "nth", "psst"};
    return word.find_first_of("aeiouy") == std::string::npos && words.count(word) == 0;
}

bool IsGameWord(const std::string& word, const Options& options)
{
    if (word.size() < options.minLength || word.size() > options.maxLength)
        return false;
    for (char c : word) {
        if (c < 'a' || c > 'z')
            return false;
    }
    return !IsRomanNumeral(word) && !IsAbbreviation(word);
}

bool ReadLists(const Options& options, std::set<std::string>& words)
{
    for (const std::string& path : options.lists) {
        std::ifstream in(path);
        if (!in) {
            std::cerr << "wordtree: cannot open " << path << "\n";
            return false;
        }
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (IsGameWord(line, options))
                words.insert(line);
        }
    }
    return true;
}

// Source words of each length whose anagram lists are long enough for a round.
void ReportSourceWords(const WordTree& tree, const Options& options)
{
    const auto pool = tree.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    std::vector<std::size_t> usable(WordTree::kPoolMaxLength + 1, 0);
    for (const std::string& word : *pool) {
        if (tree.FindAnagrams(word)->GetCount() >= WordTree::kMinSourceAnagrams)
            ++usable[word.size()];
    }
    for (std::int32_t length = WordTree::kPoolMinLength; length <= WordTree::kPoolMaxLength; ++length) {
        std::cout << "wordtree: " << options.output << ": " << usable[length] << " source words of "
                  << length << " letters with at least " << WordTree::kMinSourceAnagrams << " anagrams\n";
        if (usable[length] < options.warnBelow) {
            std::cerr << "wordtree: warning: " << options.output << ": only " << usable[length]
                      << " source words of " << length << " letters have at least "
                      << WordTree::kMinSourceAnagrams << " anagrams\n";
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
        return Usage();

    std::set<std::string> words;
    if (!ReadLists(options, words))
        return 1;

    std::string error;
    if (!WordTreeWriter::WriteFile(options.output, {words.begin(), words.end()}, &error)) {
        std::cerr << "wordtree: " << error << "\n";
        return 1;
    }

    WordTree tree;
    if (!tree.LoadFile(options.output, &error)) {
        std::cerr << "wordtree: " << error << "\n";
        return 1;
    }
    const auto stored = tree.CollectWords(1, WordTree::kMaxDepth);
    if (static_cast<std::size_t>(stored->GetCount()) != words.size()) {
        std::cerr << "wordtree: " << options.output << " reads back " << stored->GetCount() << " words, not "
                  << words.size() << "\n";
        std::remove(options.output.c_str());
        return 1;
    }
    std::cout << "wordtree: " << options.output << ": " << words.size() << " words\n";
    ReportSourceWords(tree, options);
    return 0;
}
