// The reader of the game's ZIP data archive ("data.dat"): a singleton kept
// open between reads, with one current entry at a time. Names inside the
// archive match without regard to ASCII case.
//
// A lookup, open, read and close sequence must not interleave with another
// thread's: hold GetMutex() across it (every single call also takes it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "framework/core/files/iLoadBuffer.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/util/Mutex.h"

namespace Qmv2 {

// The current entry's record, as the archive's central directory states it.
struct FileEntryInfo {
    std::uint32_t versionMadeBy = 0;
    std::uint32_t versionNeeded = 0;
    std::uint32_t flag = 0;
    std::uint32_t compressionMethod = 0;
    std::uint32_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
};

class FileArchive : public BaseObject, public iInstance<FileArchive> {
    QMV_CLASS_TYPE(FileArchive, BaseObject)

    // Nothing is opened until the first lookup.
    explicit FileArchive(const std::string& path);
    ~FileArchive() override;
    FileArchive(const FileArchive&) = delete;
    FileArchive& operator=(const FileArchive&) = delete;

    // The work of the "filearchive" start-up command. With an empty name and a
    // file "data.dat" in the working folder, that file is taken and
    // LOAD_ARCHIVE is added to the flags. The new archive becomes the
    // singleton and s_DefaultLoadFlags becomes the flags.
    static FileArchive* Create(const std::string& fileName, std::uint32_t flags);
    // Create from the command's "file" and "type" attributes (empty when absent).
    static FileArchive* CreateFromCommand(const std::string& fileAttribute, const std::string& typeAttribute);

    virtual void AddName(const std::string& name);
    // Closes the archive and stores the new path.
    virtual void SetPath(const std::string& path);
    virtual std::string GetPath() const;
    // Opens the archive when it is closed. The open state holds even when the
    // file cannot be read; then every lookup fails until Close.
    virtual void Open();
    virtual void Close();
    virtual bool GoToFirstFile();
    virtual bool GoToNextFile();
    // Makes the entry of the normalised name current (ASCII case ignored);
    // opens the archive first when it is closed. False for a missing entry
    // (the current entry stays), a name of 256 bytes or more, or an
    // unreadable archive.
    virtual bool LocateFile(const std::string& name);
    // LocateFile, then OpenCurrentFile whatever the lookup answered.
    virtual bool OpenNamed(const std::string& name);
    // Opens the current entry for reading; a failure closes the archive.
    virtual bool OpenCurrentFile();
    // Refreshes the record and the name of the current entry.
    virtual bool GetCurrentFileInfo();
    // Closes the open entry. False, with the archive closed, on an error such
    // as a checksum mismatch after the entry was read to its end.
    virtual bool CloseCurrentFile();
    virtual const FileEntryInfo& GetFileInfoRecord() const;
    // 0 when the byte cannot be read.
    virtual unsigned char ReadByte();
    // The count read, or a negative error code (which closes the archive).
    virtual int Read(void* buffer, std::uint32_t length);
    // Reads the whole current entry (its recorded size) into the buffer and
    // answers the count read, or a negative code. Entries larger than
    // kMaxLoadFileSize are refused before anything is allocated.
    virtual int ReadAll(iLoadBuffer& buffer);
    virtual bool IsEof() const;
    virtual bool IsOpen() const;
    virtual bool IsFileOpen() const;

    template <ByteBuffer Buffer>
    int ReadAll(Buffer& buffer)
        requires(!std::derived_from<Buffer, iLoadBuffer>)
    {
        LoadBufferOf<Buffer> target(buffer);
        return ReadAll(static_cast<iLoadBuffer&>(target));
    }

    const std::string& GetCurrentFileName() const { return m_CurrentName; }
    const GFVector<std::string>& GetNames() const { return m_Names; }
    Mutex* GetMutex() const { return m_Mutex.get(); }

private:
    // One pass over the central directory when the archive opens, so that a
    // look-up does not walk every entry before it.
    void IndexEntries();
    void ClearRecord();

    struct EntryPosition {
        std::uint64_t directoryOffset = 0;
        std::uint64_t entryNumber = 0;
    };

    GFVector<std::string> m_Names;
    void* m_Handle = nullptr;
    std::string m_Path;
    bool m_IsOpen = false;
    bool m_IsFileOpen = false;
    FileEntryInfo m_Info;
    std::string m_CurrentName;
    std::string m_CurrentExtra;
    std::string m_CurrentComment;
    // Entries by their ASCII-lower-cased name; the first of equal names wins.
    std::unordered_map<std::string, EntryPosition> m_Index;
    std::unique_ptr<Mutex> m_Mutex;
};

}  // namespace Qmv2
