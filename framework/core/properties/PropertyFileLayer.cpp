#include "framework/core/properties/PropertyFileLayer.h"

#include <array>
#include <cstdio>
#include <memory>

#include "framework/core/files/FilePath.h"
#include "framework/core/util/Random.h"

namespace Qmv2::PropertyFileLayer {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

const std::array<unsigned char, 256>& ScrambleTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> entries{};
        Rand generator(0x51A7E5EEDLL);
        for (unsigned char& entry : entries) {
            entry = static_cast<unsigned char>(generator.Next(8));
        }
        return entries;
    }();
    return table;
}

}  // namespace

std::uint32_t GetDefaultLoadFlags()
{
    return 0;
}

std::string GetLoadFileName(std::uint32_t& flags, const std::string& name)
{
    if ((flags & kLoadDefault) != 0) {
        flags = GetDefaultLoadFlags();
    }
    return (flags & kLoadScrambled) != 0 ? name + ".!" : name;
}

bool LoadFile(const std::string& path, MemoryBuffer_t<unsigned char>& buffer, std::uint32_t flags)
{
    const std::string name = GetLoadFileName(flags, NormalisePath(path));
    if ((flags & kLoadArchive) != 0) {
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(file.get());
    if (size <= 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    unsigned char* data = buffer.Allocate(static_cast<std::size_t>(size));
    if (std::fread(data, 1, static_cast<std::size_t>(size), file.get()) != static_cast<std::size_t>(size)) {
        buffer.Free();
        return false;
    }
    if ((flags & kLoadScrambled) != 0) {
        ScrambleBuffer(data, buffer.GetSize());
    }
    return true;
}

void ScrambleBuffer(unsigned char* data, std::size_t size)
{
    const auto& table = ScrambleTable();
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= table[i % table.size()];
    }
}

}  // namespace Qmv2::PropertyFileLayer
