#include "framework/core/properties/PropertyStore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/core/files/Descramble.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/core/files/FileProblems.h"
#include "framework/core/properties/MemoryBuffer.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/core/properties/PropertyXmlWriter.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "platform/win32/AtomicFile.h"

namespace Qmv2 {

namespace {

const char* AsText(const MemoryBuffer_t<unsigned char>& buffer)
{
    return reinterpret_cast<const char*>(buffer.GetData());
}

}  // namespace

PropertyStore::PropertyStore(const std::string& fileName) : PropertyNode(std::string(), "root")
{
    if (!fileName.empty()) {
        m_FileNames.PushBack(fileName);
        m_CurrentFile = fileName;
    }
}

AbstractProperty* PropertyStore::Clone() const
{
    auto* copy = new PropertyStore();
    copy->SetName(GetName());
    copy->SetTypeWord(GetTypeWord());
    copy->m_FileNames = m_FileNames;
    copy->m_CurrentFile = m_CurrentFile;
    copy->m_LoadFlags = m_LoadFlags;
    copy->m_CondenseWhiteSpace = m_CondenseWhiteSpace;
    copy->CloneChildrenFrom(*this, true);
    return copy;
}

void PropertyStore::CopyFrom(const AbstractProperty& other)
{
    if (&other == this) {
        return;
    }
    PropertyNode::CopyFrom(other);
    if (other.IsOfType(&PropertyStore::s_Type)) {
        const auto& store = static_cast<const PropertyStore&>(other);
        m_FileNames = store.m_FileNames;
        m_CurrentFile = store.m_CurrentFile;
        m_LoadFlags = store.m_LoadFlags;
        m_CondenseWhiteSpace = store.m_CondenseWhiteSpace;
    }
}

std::uint32_t PropertyStore::EffectiveFlags() const
{
    return m_LoadFlags == LOAD_DEFAULT ? s_DefaultLoadFlags : m_LoadFlags;
}

bool PropertyStore::Load()
{
    bool all = true;
    const GFVector<std::string> names = m_FileNames;
    for (const std::string& name : names) {
        all = LoadFile(EffectiveFlags(), name) && all;
    }
    return all;
}

bool PropertyStore::AddFile(const std::string& name)
{
    m_FileNames.PushBack(name);
    m_CurrentFile = name;
    return LoadFile(EffectiveFlags(), name);
}

bool PropertyStore::CanLoad(const std::string& name) const
{
    std::uint32_t flags = m_LoadFlags;
    const std::string path = NormalisePath(name);
    const std::string stored = GetLoadFileName(flags, path);
    if ((flags & LOAD_ARCHIVE) == 0 && !FileExists(stored)) {
        return false;
    }
    MemoryBuffer_t<unsigned char> buffer;
    return Qmv2::LoadFile(path, buffer, flags) &&
           PropertyXmlReader::Parses(AsText(buffer), m_CondenseWhiteSpace);
}

bool PropertyStore::LoadFile(std::uint32_t flags, const std::string& name)
{
    const std::string path = NormalisePath(name);
    MemoryBuffer_t<unsigned char> buffer;
    if (flags == 0) {
        if (!FileExists(path)) {
            Platform::DebugOutput("The file '" + path + "' could not be found.", "");
            Platform::DebugOutput("\n", "");
            return true;
        }
        // An empty or unreadable file parses as no document at all.
        if (!Qmv2::LoadFile(path, buffer, 0)) {
            return false;
        }
    } else if (!Qmv2::LoadFile(path, buffer, flags)) {
        std::uint32_t effective = flags;
        GetLoadFileName(effective, path);
        const char* kind = (effective & LOAD_SCRAMBLED) != 0 ? "ENCRYPTED" : "ZIP";
        Platform::Log("The %s file '%s' wasn't found.\n", kind, path.c_str());
        return false;
    }
    return PropertyXmlReader::ReadInto(*this, AsText(buffer), m_CondenseWhiteSpace);
}

std::string PropertyStore::ToXml() const
{
    return PropertyXmlWriter::WriteDocument(*this);
}

bool PropertyStore::SaveFile() const
{
    if (m_CurrentFile.empty()) {
        return false;
    }
    std::uint32_t flags = m_LoadFlags;
    const std::string target = GetLoadFileName(flags, NormalisePath(m_CurrentFile));
    std::string bytes = ToXml();
    if ((flags & LOAD_SCRAMBLED) != 0) {
        DescrambleBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    }
    if (platform::IsProtectedFile(target)) {
        return false;  // damaged and not copied: the player was told it stays as it is
    }
    if (!platform::WriteFileAtomically(target, bytes)) {
        FileProblems::ReportWriteFailure(target, std::strerror(errno));
        return false;
    }
    GrantEveryoneAccess(target);
    return true;
}

}  // namespace Qmv2
