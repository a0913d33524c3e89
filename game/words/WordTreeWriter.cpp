#include "game/words/WordTreeWriter.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "game/words/WordTree.h"

namespace {

using Words = std::vector<std::string>;

bool IsLetter(char c)
{
    return c > ' ' && c < 0x7F && c != '0' && c != '1';
}

// Appends the node of the words in [first, last), which share their first
// `depth` letters; sorted input puts the word that ends here first. Answers
// false when a node would have more children than its header can count.
bool WriteNode(std::string& file, const Words& words, std::size_t first, std::size_t last, std::size_t depth)
{
    const bool wordEnd = words[first].size() == depth;
    const std::size_t childFirst = wordEnd ? first + 1 : first;
    std::size_t children = 0;
    for (std::size_t i = childFirst; i < last; ++i) {
        if (i == childFirst || words[i][depth] != words[i - 1][depth]) {
            file.push_back(words[i][depth]);
            ++children;
        }
    }
    if (children > static_cast<std::size_t>(WordTree::kMaxChildren))
        return false;
    file.push_back(wordEnd ? '1' : '0');
    std::size_t group = childFirst;
    for (std::size_t i = childFirst + 1; i <= last; ++i) {
        if (i == last || words[i][depth] != words[group][depth]) {
            if (!WriteNode(file, words, group, i, depth + 1))
                return false;
            group = i;
        }
    }
    return true;
}

bool Fail(std::string* error, const std::string& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

bool WordTreeWriter::Write(std::ostream& out, Words words, std::string* error)
{
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    for (const std::string& word : words) {
        if (word.empty())
            return Fail(error, "empty word");
        if (word.size() > static_cast<std::size_t>(WordTree::kMaxDepth))
            return Fail(error, "word too long: " + word);
        if (!std::all_of(word.begin(), word.end(), IsLetter))
            return Fail(error, "word with a letter a word file cannot hold: " + word);
    }
    std::string file;
    if (words.empty())
        file.push_back('0');
    else if (!WriteNode(file, words, 0, words.size(), 0))
        return Fail(error, "too many different letters after one prefix");
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    if (!out)
        return Fail(error, "write failed");
    return true;
}

bool WordTreeWriter::WriteFile(const std::string& path, Words words, std::string* error)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return Fail(error, "cannot create " + temporary);
        if (!Write(out, std::move(words), error)) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return Fail(error, "cannot write " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Fail(error, "cannot replace " + path);
    }
    return true;
}
