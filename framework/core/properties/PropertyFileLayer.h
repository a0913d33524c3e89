// The part of the file layer that property files use: load flags, the name a
// file is stored under, whole-file loading and the scramble of stored files.
// Kept behind these few functions so that the shared file loader can take
// their place without touching the property store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/core/properties/MemoryBuffer.h"

namespace Qmv2::PropertyFileLayer {

// Load flags: 1 stands for the default flags, 2 reads from the data archive,
// 4 reads a scrambled file stored under its name followed by ".!".
constexpr std::uint32_t kLoadDefault = 1;
constexpr std::uint32_t kLoadArchive = 2;
constexpr std::uint32_t kLoadScrambled = 4;

// The flags that `kLoadDefault` stands for (0 while there is no data archive).
std::uint32_t GetDefaultLoadFlags();
// Replaces the default bit by the default flags and answers the name the
// file is stored under (name + ".!" when scrambled).
std::string GetLoadFileName(std::uint32_t& flags, const std::string& name);
// Reads a whole file, descrambled as the flags say. False for a missing or
// empty file, and for the archive while no archive is open.
bool LoadFile(const std::string& path, MemoryBuffer_t<unsigned char>& buffer, std::uint32_t flags);
// The scramble of stored files; applying it twice restores the bytes.
void ScrambleBuffer(unsigned char* data, std::size_t size);

}  // namespace Qmv2::PropertyFileLayer
