// What the property files need of the platform and the file layer: message
// boxes, the debug log, the platform name, load flags, whole-file reading,
// the scramble of stored files and replacing a file safely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/core/properties/MemoryBuffer.h"

namespace Qmv2::PropertyPlatform {

// Load flags: 1 stands for the default flags, 2 reads from the data archive,
// 4 reads a scrambled file stored under its name followed by ".!".
constexpr std::uint32_t kLoadDefault = 1;
constexpr std::uint32_t kLoadArchive = 2;
constexpr std::uint32_t kLoadScrambled = 4;

// The framework's message box (on stderr when headless).
void ShowMessage(const std::string& text, const std::string& caption);
// One line of the debug log; `text` carries its own line break.
void DebugLog(const std::string& text);
// "WIN": string-table keys fall back to the key followed by "_WIN".
const std::string& PlatformName();

// Replaces the default bit by the default flags and answers the name the
// file is stored under.
std::string StoredFileName(std::uint32_t& flags, const std::string& name);
// Path separators made "/" and runs of them single.
std::string NormalisePath(const std::string& path);
bool FileExistsOnDisk(const std::string& path);
// Reads a whole file (from disk or the archive, descrambled as the flags say).
// False for a missing or empty file.
bool LoadFile(const std::string& path, MemoryBuffer_t<unsigned char>& buffer, std::uint32_t flags);
// The scramble of stored files; applying it twice restores the bytes.
void ScrambleBuffer(unsigned char* data, std::size_t size);

// Writes `bytes` to `path` through a new file in the same folder that is
// flushed to the disk and then renamed over `path`, so that `path` always holds
// either its old or its new contents. The file is readable and writable by
// everyone the process's umask allows. False (with the old file intact and no
// temporary file left) when anything fails.
bool ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace Qmv2::PropertyPlatform
