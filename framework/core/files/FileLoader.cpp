#include "framework/core/files/FileLoader.h"

#include <memory>

#include "framework/core/files/Descramble.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FilePath.h"
#include "platform/win32/WinFiles.h"

namespace Qmv2 {

std::uint32_t s_DefaultLoadFlags = 0;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// The block and byte count one load produced.
struct Loaded {
    unsigned char* data = nullptr;
    std::size_t count = 0;
};

bool LoadFromArchive(const std::string& name, iLoadBuffer& buffer, Loaded& loaded)
{
    // No reference is taken: reference counts are not atomic and loads run on
    // the loader thread too. The archive singleton outlives every load, since
    // the resource manager (and its loader thread) is shut down before it.
    FileArchive* archive = FileArchive::GetInstance();
    if (archive == nullptr) {
        return false;
    }
    // Capture the block the archive allocates, so it can be descrambled.
    struct Capture final : iLoadBuffer {
        Capture(iLoadBuffer& target, Loaded& result) : target(target), result(result) {}
        unsigned char* Allocate(std::size_t count) override
        {
            result.data = target.Allocate(count);
            result.count = result.data != nullptr ? count : 0;
            return result.data;
        }
        void Free() override
        {
            target.Free();
            result = Loaded{};
        }
        iLoadBuffer& target;
        Loaded& result;
    } capture(buffer, loaded);

    MutexLock hold(archive->GetMutex());
    if (!archive->LocateFile(name) || !archive->OpenCurrentFile()) {
        return false;
    }
    const int count = archive->ReadAll(capture);
    // Closing checks the entry's CRC once it was read to its end.
    const bool closed = archive->CloseCurrentFile();
    return count >= 0 && static_cast<std::size_t>(count) == loaded.count && closed;
}

bool LoadFromDisk(const std::string& name, iLoadBuffer& buffer, Loaded& loaded)
{
    std::unique_ptr<std::FILE, FileCloser> file(OpenFile("rb", name));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(file.get());
    if (size <= 0 || static_cast<unsigned long>(size) > kMaxLoadFileSize || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    buffer.Free();
    loaded.count = static_cast<std::size_t>(size);
    loaded.data = buffer.Allocate(loaded.count);
    return loaded.data != nullptr && std::fread(loaded.data, 1, loaded.count, file.get()) == loaded.count;
}

}  // namespace

namespace {

struct ArchiveType {
    const char* word;
    std::uint32_t flags;
};

constexpr ArchiveType kArchiveTypes[] = {
    {"file", 0},
    {"zip", LOAD_ARCHIVE},
    {"encryptfile", LOAD_SCRAMBLED},
    {"encryptzip", LOAD_ARCHIVE | LOAD_SCRAMBLED},
};

}  // namespace

bool FindArchiveTypeWord(const std::string& word, std::uint32_t& flags)
{
    for (const ArchiveType& type : kArchiveTypes) {
        if (word == type.word) {
            flags = type.flags;
            return true;
        }
    }
    return false;
}

const char* ArchiveTypeWord(std::uint32_t flags)
{
    for (const ArchiveType& type : kArchiveTypes) {
        if (flags == type.flags) {
            return type.word;
        }
    }
    return nullptr;
}

std::uint32_t LoadFlagsFromTypeWord(const std::string& word)
{
    std::uint32_t flags = 0;
    return FindArchiveTypeWord(word, flags) ? flags : 0;
}

std::string GetLoadFileName(std::uint32_t& flags, const std::string& name)
{
    if ((flags & LOAD_DEFAULT) != 0) {
        flags = s_DefaultLoadFlags;
    }
    return (flags & LOAD_SCRAMBLED) != 0 ? name + ".!" : name;
}

bool LoadFileInto(const std::string& path, iLoadBuffer& buffer, std::uint32_t flags)
{
    const std::string name = GetLoadFileName(flags, NormalisePath(path));
    Loaded loaded;
    const bool ok = (flags & LOAD_ARCHIVE) != 0 ? LoadFromArchive(name, buffer, loaded)
                                                : LoadFromDisk(name, buffer, loaded);
    if (!ok) {
        buffer.Free();  // no half-read contents
        return false;
    }
    if ((flags & LOAD_SCRAMBLED) != 0) {
        DescrambleBuffer(loaded.data, loaded.count);
    }
    return true;
}

std::FILE* OpenFile(const std::string& mode, const std::string& path)
{
    return std::fopen(platform::NativePath(path).c_str(), mode.c_str());
}

}  // namespace Qmv2
