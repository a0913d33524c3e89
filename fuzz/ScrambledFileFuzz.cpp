// Loads arbitrary bytes as a stored scrambled file and checks that scrambling
// the loaded bytes again gives back exactly what was stored.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/core/files/Descramble.h"
#include "framework/core/files/FileLoader.h"
#include "fuzz/FuzzBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string name = "/tmp/qmv-fuzz-scrambled-" + std::to_string(::getpid()) + ".plr";
    std::FILE* file = std::fopen((name + ".!").c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }
    FuzzBuffer buffer;
    const bool loaded = Qmv2::LoadFile(name, buffer, Qmv2::LOAD_SCRAMBLED);
    if (loaded != (size > 0)) {
        std::abort();  // every non-empty file loads, an empty one never
    }
    if (loaded) {
        if (buffer.size != size || buffer.bytes.at(size) != 0) {
            std::abort();
        }
        Qmv2::DescrambleBuffer(buffer.bytes.data(), buffer.size);
        if (std::memcmp(buffer.bytes.data(), data, size) != 0) {
            std::abort();
        }
    }
    return 0;
}
