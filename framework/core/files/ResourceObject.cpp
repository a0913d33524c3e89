#include "framework/core/files/ResourceObject.h"

#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

ResourceObject::ResourceObject(PropertyNode* description)
{
    ReadSource(*PropertyNode::AsNode(description));
}

ResourceObject::ResourceObject(const std::string& fileName)
{
    SetFileName(fileName);
}

void ResourceObject::SetFileName(const std::string& fileName)
{
    m_FileName = fileName.empty() ? std::string() : NormaliseResourceName(fileName);
}

void ResourceObject::ReadSource(const PropertyNode& description)
{
    if (description.HasChild("file")) {
        SetFileName(description.GetString("file"));
    }
    if (description.HasChild("archive")) {
        FindArchiveTypeWord(description.GetString("archive"), m_LoadFlags);
    }
}

const char* ResourceObject::GetErrorText(std::int32_t code)
{
    switch (code) {
    case kErrorNone: return "None.";
    case kErrorUnspecified: return "Unspecified.";
    case kErrorPrerequisites: return "Prerequisites not fulfilled.";
    case kErrorFileNotFound: return "File not found.";
    case kErrorFileNameEmpty: return "Filename is empty.";
    case kErrorInvalidFormat: return "Invalid format.";
    case kErrorSubResource: return "A sub-resource didn't load.";
    case kErrorTooBig: return "The file or the dimensions is too big.";
    default: return "Unknown.";
    }
}

std::string ResourceObject::GetStatusText() const
{
    std::string text = "\"" + m_FileName + "\"";
    if (IsLoaded()) {
        text += " Loaded.";
    }
    const std::int32_t code = GetErrorCode();
    if (code != kErrorNone) {
        text += " Error: ";
        text += GetErrorText(code);
        text += " [" + std::to_string(code) + "]";
    }
    return text;
}

std::string ResourceObject::ToString() const
{
    return BaseObject::ToString() + GetStatusText();
}

void ResourceObject::Unload()
{
    if (ResourceManager* manager = ResourceManager::GetInstance()) {
        manager->ResumeLoader();
    }
    m_ErrorCode.store(kErrorNone, std::memory_order_release);
    m_Loaded.store(false, std::memory_order_release);
}

bool ResourceObject::HasSameFile(const ResourceObject& other) const
{
    return !m_FileName.empty() && m_FileName == other.m_FileName;
}

void ResourceObject::SetLoaded()
{
    m_Loaded.store(true, std::memory_order_release);
}

void ResourceObject::SetError(std::int32_t code)
{
    m_ErrorCode.store(code, std::memory_order_release);
}

}  // namespace Qmv2
