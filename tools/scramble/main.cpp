// scramble INPUT OUTPUT
// Writes INPUT passed through the scramble of stored ".!" files to OUTPUT.
// The scramble is its own inverse, so the same command scrambles a plain file
// and restores a scrambled one. OUTPUT is replaced only when complete.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "framework/core/files/Descramble.h"
#include "platform/win32/AtomicFile.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: scramble INPUT OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in.is_open()) {
        std::fprintf(stderr, "scramble: cannot open %s\n", argv[1]);
        return 1;
    }
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "scramble: cannot read %s\n", argv[1]);
        return 1;
    }
    Qmv2::DescrambleBuffer(reinterpret_cast<unsigned char*>(contents.data()), contents.size());
    if (!platform::WriteFileAtomically(argv[2], contents)) {
        std::fprintf(stderr, "scramble: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
