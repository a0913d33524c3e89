// Whole-file loading by load flags: from a plain file on disk or from an
// entry of the data archive, descrambled when the file is stored scrambled.
// Paths are UTF-8 and may use "\" or "/".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/core/files/iLoadBuffer.h"

namespace Qmv2 {

// Load flags, a bit set. The values are stored in property files.
constexpr std::uint32_t LOAD_DEFAULT = 1;    // use s_DefaultLoadFlags instead
constexpr std::uint32_t LOAD_ARCHIVE = 2;    // read from the data archive only
constexpr std::uint32_t LOAD_SCRAMBLED = 4;  // stored as name + ".!", bytes scrambled

// What LOAD_DEFAULT stands for: set by the creation of the data archive,
// back to 0 when it goes. Written during start-up and shutdown only.
extern std::uint32_t s_DefaultLoadFlags;

// Files and archive entries larger than this are refused before anything is
// allocated (an archive may claim any size for an entry).
constexpr std::size_t kMaxLoadFileSize = std::size_t{256} << 20;

// The archive type words and the flag sets they select: "file" 0, "zip" 2,
// "encryptfile" 4, "encryptzip" 6. True, with the flags, for one of them.
bool FindArchiveTypeWord(const std::string& word, std::uint32_t& flags);
// The type word of a flag set; null when no word selects it.
const char* ArchiveTypeWord(std::uint32_t flags);
// The flag set a type word selects; any other word 0.
std::uint32_t LoadFlagsFromTypeWord(const std::string& word);

// Replaces `flags` by the default flags when it carries LOAD_DEFAULT, and
// answers the name the file is stored under (name + ".!" when scrambled).
std::string GetLoadFileName(std::uint32_t& flags, const std::string& name);

// Reads the whole file named by the normalised path under the flags into the
// buffer. False, with the buffer emptied, when the file or entry is missing,
// an empty disk file, larger than kMaxLoadFileSize, short on reading, or an
// archive entry whose checksum does not match. Archive reads are serialised
// with the archive's lock, so any thread may load.
bool LoadFileInto(const std::string& path, iLoadBuffer& buffer, std::uint32_t flags);

template <ByteBuffer Buffer>
bool LoadFile(const std::string& path, Buffer& buffer, std::uint32_t flags)
{
    LoadBufferOf<Buffer> target(buffer);
    return LoadFileInto(path, target, flags);
}

// Opens the file for the C stream functions; `mode` as for fopen ("rb", "wt").
// Null on failure.
std::FILE* OpenFile(const std::string& mode, const std::string& path);

}  // namespace Qmv2
