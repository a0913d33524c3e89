#include "framework/core/files/FileArchive.h"

#include <minizip/unzip.h>

#include <cstring>
#include <vector>

#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/core/util/FileSystem.h"
#include "platform/win32/AsciiCase.h"
#include "platform/win32/WinFiles.h"

namespace Qmv2 {
namespace {

constexpr const char* kDefaultArchive = "data.dat";
// Names of this length or more are not in any archive we read.
constexpr std::size_t kMaxEntryName = 256;

}  // namespace

FileArchive::FileArchive(const std::string& path) : m_Mutex(Mutex::Create("FileArchive"))
{
    Close();
    m_Path = path;
}

FileArchive::~FileArchive()
{
    Close();
    // Only the registered archive (or the one being released as the singleton)
    // owns the default flags; an archive that was replaced leaves them alone.
    FileArchive* current = GetInstance();
    if (current == this || current == nullptr) {
        s_DefaultLoadFlags = 0;
    }
}

FileArchive* FileArchive::Create(const std::string& fileName, std::uint32_t flags)
{
    std::string name = fileName;
    if (name.empty() && FileExists(kDefaultArchive)) {
        name = kDefaultArchive;
        flags |= LOAD_ARCHIVE;
    }
    auto* archive = new FileArchive(name);
    SetInstance(archive);
    s_DefaultLoadFlags = flags;
    return archive;
}

FileArchive* FileArchive::CreateFromCommand(const std::string& fileAttribute, const std::string& typeAttribute)
{
    return Create(fileAttribute, LoadFlagsFromTypeWord(typeAttribute));
}

void FileArchive::AddName(const std::string& name)
{
    MutexLock hold(m_Mutex.get());
    m_Names.PushBack(name);
}

void FileArchive::SetPath(const std::string& path)
{
    MutexLock hold(m_Mutex.get());
    Close();
    m_Path = path;
}

std::string FileArchive::GetPath() const
{
    MutexLock hold(m_Mutex.get());
    return m_Path;
}

void FileArchive::Open()
{
    MutexLock hold(m_Mutex.get());
    if (m_IsOpen) {
        return;
    }
    m_Handle = m_Path.empty() ? nullptr : unzOpen(platform::NativePath(m_Path).c_str());
    m_IsOpen = true;
    IndexEntries();
}

void FileArchive::IndexEntries()
{
    m_Index.clear();
    if (m_Handle == nullptr) {
        return;
    }
    std::vector<char> name(kMaxEntryName);
    for (int status = unzGoToFirstFile(m_Handle); status == UNZ_OK; status = unzGoToNextFile(m_Handle)) {
        unz_file_info info{};
        unz64_file_pos position{};
        if (unzGetCurrentFileInfo(m_Handle, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK ||
            unzGetFilePos64(m_Handle, &position) != UNZ_OK) {
            break;
        }
        // Longer names are never looked up (see LocateFile).
        if (info.size_filename < kMaxEntryName) {
            m_Index.emplace(platform::AsciiLower(std::string(name.data(), info.size_filename)),
                            EntryPosition{position.pos_in_zip_directory, position.num_of_file});
        }
    }
    // As freshly opened: the first entry is the current one.
    unzGoToFirstFile(m_Handle);
}

void FileArchive::Close()
{
    MutexLock hold(m_Mutex.get());
    if (!m_IsOpen) {
        return;
    }
    if (m_Handle != nullptr) {
        unzClose(m_Handle);  // also closes an open entry
    }
    m_Handle = nullptr;
    m_IsOpen = false;
    m_IsFileOpen = false;
    m_Index.clear();
}

bool FileArchive::GoToFirstFile()
{
    MutexLock hold(m_Mutex.get());
    return unzGoToFirstFile(m_Handle) == UNZ_OK && GetCurrentFileInfo();
}

bool FileArchive::GoToNextFile()
{
    MutexLock hold(m_Mutex.get());
    return unzGoToNextFile(m_Handle) == UNZ_OK && GetCurrentFileInfo();
}

bool FileArchive::LocateFile(const std::string& name)
{
    MutexLock hold(m_Mutex.get());
    const std::string normal = NormalisePath(name);
    Open();
    if (normal.size() >= kMaxEntryName) {
        return false;
    }
    const auto found = m_Index.find(platform::AsciiLower(normal));
    if (found == m_Index.end()) {
        return false;
    }
    const unz64_file_pos position{found->second.directoryOffset, found->second.entryNumber};
    if (unzGoToFilePos64(m_Handle, &position) != UNZ_OK) {
        return false;
    }
    return GetCurrentFileInfo();
}

bool FileArchive::OpenNamed(const std::string& name)
{
    MutexLock hold(m_Mutex.get());
    LocateFile(name);
    return OpenCurrentFile();
}

bool FileArchive::OpenCurrentFile()
{
    MutexLock hold(m_Mutex.get());
    CloseCurrentFile();
    if (unzOpenCurrentFile(m_Handle) != UNZ_OK) {
        Close();
        return false;
    }
    m_IsFileOpen = true;
    return true;
}

bool FileArchive::GetCurrentFileInfo()
{
    MutexLock hold(m_Mutex.get());
    unz_file_info info{};
    char name[kMaxEntryName] = {};
    // One byte short of the buffer: minizip does not terminate a name that
    // fills the buffer, so the last byte stays the terminator.
    if (unzGetCurrentFileInfo(m_Handle, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK) {
        ClearRecord();
        return false;
    }
    m_Info.versionMadeBy = static_cast<std::uint32_t>(info.version);
    m_Info.versionNeeded = static_cast<std::uint32_t>(info.version_needed);
    m_Info.flag = static_cast<std::uint32_t>(info.flag);
    m_Info.compressionMethod = static_cast<std::uint32_t>(info.compression_method);
    m_Info.dosDate = static_cast<std::uint32_t>(info.dosDate);
    m_Info.crc = static_cast<std::uint32_t>(info.crc);
    m_Info.compressedSize = static_cast<std::uint32_t>(info.compressed_size);
    m_Info.uncompressedSize = static_cast<std::uint32_t>(info.uncompressed_size);
    m_Info.internalAttributes = static_cast<std::uint32_t>(info.internal_fa);
    m_Info.externalAttributes = static_cast<std::uint32_t>(info.external_fa);
    m_CurrentName.assign(name, strnlen(name, sizeof name - 1));
    m_CurrentExtra.clear();
    m_CurrentComment.clear();
    return true;
}

bool FileArchive::CloseCurrentFile()
{
    MutexLock hold(m_Mutex.get());
    if (!m_IsFileOpen) {
        return true;
    }
    m_IsFileOpen = false;
    if (unzCloseCurrentFile(m_Handle) != UNZ_OK) {
        Close();
        return false;
    }
    return true;
}

const FileEntryInfo& FileArchive::GetFileInfoRecord() const
{
    return m_Info;
}

unsigned char FileArchive::ReadByte()
{
    unsigned char byte = 0;
    return Read(&byte, 1) == 1 ? byte : 0;
}

int FileArchive::Read(void* buffer, std::uint32_t length)
{
    MutexLock hold(m_Mutex.get());
    if (!m_IsFileOpen) {
        return UNZ_PARAMERROR;
    }
    const int count = unzReadCurrentFile(m_Handle, buffer, length);
    if (count < 0) {
        Close();
    }
    return count;
}

int FileArchive::ReadAll(iLoadBuffer& buffer)
{
    MutexLock hold(m_Mutex.get());
    buffer.Free();
    const std::uint32_t size = m_Info.uncompressedSize;
    if (!m_IsFileOpen) {
        return UNZ_PARAMERROR;
    }
    if (size > kMaxLoadFileSize) {
        return UNZ_BADZIPFILE;
    }
    unsigned char* data = buffer.Allocate(size);
    if (data == nullptr) {
        return UNZ_INTERNALERROR;
    }
    return size == 0 ? 0 : Read(data, size);
}

bool FileArchive::IsEof() const
{
    MutexLock hold(m_Mutex.get());
    return m_IsFileOpen && unzeof(m_Handle) == 1;
}

bool FileArchive::IsOpen() const
{
    return m_IsOpen;
}

bool FileArchive::IsFileOpen() const
{
    return m_IsFileOpen;
}

void FileArchive::ClearRecord()
{
    m_Info = FileEntryInfo{};
    m_CurrentName.clear();
    m_CurrentExtra.clear();
    m_CurrentComment.clear();
}

}  // namespace Qmv2
