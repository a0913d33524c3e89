// Word files from outside: any bytes are read as a word file, as the game
// reads one from disk, and a tree that loads is walked for words, anagrams
// and the look-up of a source word. The anagram lists of a few of the file's
// own words must equal those of a plain walk of the node buffer, child by
// child, in the same order; a difference stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "framework/core/util/UTF8String.h"
#include "game/words/WordTree.h"
#include "tests/game/words/PlainAnagrams.h"

namespace {

void CheckAnagrams(const WordTree& tree, const std::string& source)
{
    const Qmv2::UTF8String text(source);
    std::string letters;
    for (Qmv2::Utf8Iterator it(text); it.byteOffset < text.GetByteLength(); Qmv2::Utf8Advance(it, 1))
        letters.push_back(static_cast<char>(it.codePoint & 0xFFu));
    std::vector<std::string> expected;
    std::string prefix;
    wordtest::PlainAnagrams(tree, 0, prefix, letters, expected);
    const auto found = tree.FindAnagrams(source);
    if (std::vector<std::string>(found->begin(), found->end()) != expected)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/dev/shm/qmv-fuzz-words-" + std::to_string(getpid()) + ".dat";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    WordTree tree;
    std::string error;
    if (tree.LoadFile(path, &error)) {
        // Searches before the index is ready walk the buffer, which longer
        // sources below still do; the rest are the index's.
        tree.WaitForIndex();
        const auto words = tree.CollectWords(WordTree::kLookupMinLength, WordTree::kLookupMaxLength);
        tree.FindAnagrams("stones");
        tree.Lookup("letters");
        CheckAnagrams(tree, "stones");
        for (std::int32_t i = 0; i < words->GetCount() && i < 4; ++i)
            CheckAnagrams(tree, (*words)[words->GetCount() - 1 - i] + (*words)[i]);
    }
    return 0;
}
