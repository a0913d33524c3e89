// Word files from outside: any bytes are read as a word file, as the game
// reads one from disk, and a tree that loads is walked for words, anagrams
// and the look-up of a source word.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

#include "game/words/WordTree.h"

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
        tree.CollectWords(WordTree::kLookupMinLength, WordTree::kLookupMaxLength);
        tree.FindAnagrams("stones");
        tree.Lookup("letters");
    }
    return 0;
}
