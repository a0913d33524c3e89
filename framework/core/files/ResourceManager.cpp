#include "framework/core/files/ResourceManager.h"

#include <exception>

#include "framework/core/app/Application.h"
#include "framework/core/files/LoadFailures.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Platform.h"

namespace Qmv2 {

namespace {

void EraseAll(ResourceManager::NameList& list, const std::string& name)
{
    for (std::string* it = list.begin(); it != list.end();) {
        it = *it == name ? list.Erase(it, it + 1) : it + 1;
    }
}

}  // namespace

ResourceManager::ResourceManager() : m_Mutex(Mutex::Create(Application::s_GameId + "Qmv2::ResourceManager::m_Mutex")) {}

ResourceManager::~ResourceManager() = default;

void ResourceManager::CreateLoaderLock()
{
    if (!s_LoaderLock) {
        s_LoaderLock = Mutex::Create(Application::s_GameId + "Qmv2::ResourceManagerWin32::m_Mutex");
    }
}

void ResourceManager::DestroyInstance()
{
    ResourceManager* manager = GetInstance();
    if (manager == nullptr) {
        return;
    }
    manager->StopThread();
    {
        MutexLock global(GetLoaderLock());
        ReleaseInstance();
    }
    s_LoaderLock.reset();
}

void ResourceManager::AddSectionFile(const std::string& fileName)
{
    MutexLock lock(m_Mutex.get());
    m_SectionFiles.PushBack(fileName);
}

void ResourceManager::LoadSectionList()
{
    NameList files;
    {
        MutexLock lock(m_Mutex.get());
        files = m_SectionFiles;
    }
    // The files are read before any lock is taken: the loader keeps working
    // meanwhile.
    GFVector<SmartPtr<PropertyStore>> stores;
    for (const std::string& file : files) {
        SmartPtr<PropertyStore> store(new PropertyStore(file));
        store->SetCondenseWhiteSpace(false);
        store->Load();
        stores.PushBack(store);
    }
    MutexLock global(GetLoaderLock());
    MutexLock lock(m_Mutex.get());
    for (const SmartPtr<PropertyStore>& store : stores) {
        AbstractProperty* sections = store->GetChild("Sections");
        if (sections == nullptr || !sections->IsVector()) {
            continue;
        }
        for (const SmartPtr<AbstractProperty>& entry : static_cast<PropertyVector*>(sections)->GetItems()) {
            // Only nodes describe sections.
            if (entry && entry->IsNode()) {
                AddSection(new ResourceSection(entry.Get()));
            }
        }
    }
}

void ResourceManager::AddSection(ResourceSection* section)
{
    SmartPtr<ResourceSection> held(section);
    if (!held) {
        return;
    }
    // Replacing a section frees the old one, which the loader must not be using.
    MutexLock global(GetLoaderLock());
    MutexLock lock(m_Mutex.get());
    const std::string& name = section->GetName();
    m_Sections[name] = held;
    // A replacement of a queued section is loaded in its place.
    if (m_Foreground.Contains(name) || m_Background.Contains(name)) {
        section->SetHasStarted(true);
    }
    if (section->IsAutoLoad() && !section->IsLoaded()) {
        section->SetHasStarted(true);
        if (!m_Background.Contains(name)) {
            m_Background.PushBack(name);
        }
        ResumeLoader();
    }
}

ResourceSection* ResourceManager::FindSection(const std::string& name)
{
    MutexLock lock(m_Mutex.get());
    auto found = m_Sections.find(name);
    return found != m_Sections.end() ? found->second.Get() : nullptr;
}

bool ResourceManager::LoadSection(const std::string& name)
{
    MutexLock lock(m_Mutex.get());
    ResourceSection* section = FindSection(name);
    if (section == nullptr) {
        Platform::Log("Resource section %s does not exist\n", name.c_str());
        return false;
    }
    if (section->IsLoaded()) {
        return false;
    }
    if (m_Foreground.Contains(name)) {
        return true;
    }
    section->SetHasStarted(true);
    ResumeLoader();
    m_Foreground.PushBack(name);
    m_LoadTotal += static_cast<std::int32_t>(section->GetWeight());
    return true;
}

ResourceSection* ResourceManager::UpdateLoadQueue(NameList& list, bool countDone)
{
    MutexLock lock(m_Mutex.get());
    for (std::string* it = list.begin(); it != list.end();) {
        ResourceSection* section = FindSection(*it);
        if (section != nullptr && !section->IsSettled()) {
            ++it;
            continue;
        }
        if (section != nullptr && countDone) {
            m_LoadDone += section->GetWeight();
        }
        it = list.Erase(it, it + 1);
    }
    return list.IsEmpty() ? nullptr : FindSection(list[0]);
}

bool ResourceManager::IsLoadQueueDone()
{
    ResumeLoader();
    MutexLock lock(m_Mutex.get());
    if (!IsStarted()) {
        return false;
    }
    return UpdateLoadQueue(m_Foreground, true) == nullptr;
}

void ResourceManager::ResetLoadProgress()
{
    MutexLock lock(m_Mutex.get());
    m_LoadTotal = 0;
    m_LoadDone = 0;
    m_Foreground.Clear();
}

float ResourceManager::GetLoadProgress()
{
    MutexLock lock(m_Mutex.get());
    if (m_LoadTotal <= 0) {
        return 1.0f;
    }
    std::int64_t done = m_LoadDone;
    for (const std::string& name : m_Foreground) {
        if (ResourceSection* section = FindSection(name)) {
            done += section->GetLoadedWeight();
        }
    }
    return static_cast<float>(done) / static_cast<float>(m_LoadTotal);
}

void ResourceManager::RemoveSection(const std::string& name, bool unload)
{
    MutexLock global(GetLoaderLock());
    MutexLock lock(m_Mutex.get());
    EraseAll(m_Foreground, name);
    EraseAll(m_Background, name);
    auto found = m_Sections.find(name);
    if (found == m_Sections.end()) {
        return;
    }
    if (unload) {
        UnloadSection(name);
    }
    SmartPtr<ResourceSection> section = std::move(found->second);
    m_Sections.erase(found);
}

void ResourceManager::UnloadSection(const std::string& name)
{
    MutexLock global(GetLoaderLock());
    MutexLock lock(m_Mutex.get());
    ResourceSection* section = FindSection(name);
    if (section == nullptr) {
        return;
    }
    for (const ResourceSection::Entry& entry : section->GetResources()) {
        if (entry.second->IsLoaded()) {
            entry.second->Unload();
        }
    }
}

ResourceObject* ResourceManager::FindResource(const std::string& resourceName, const std::string& sectionName)
{
    MutexLock lock(m_Mutex.get());
    ResourceSection* section = FindSection(sectionName);
    return section != nullptr ? section->FindResource(resourceName) : nullptr;
}

ResourceObject* ResourceManager::GetResource(const std::string& resourceName, const std::string& sectionName)
{
    {
        MutexLock lock(m_Mutex.get());
        ResourceObject* resource = FindResource(resourceName, sectionName);
        if (resource == nullptr || resource->HasFailed()) {
            return nullptr;
        }
        if (resource->IsLoaded()) {
            return resource;
        }
    }
    // Loading it here waits for a load in progress on the loader, which may be
    // this very resource; then the lookup starts afresh.
    LoadResourceNow(resourceName, sectionName);
    MutexLock lock(m_Mutex.get());
    ResourceObject* resource = FindResource(resourceName, sectionName);
    return resource != nullptr && resource->IsLoaded() ? resource : nullptr;
}

BaseObject* ResourceManager::LoadResourceNow(const std::string& resourceName, const std::string& sectionName)
{
    MutexLock global(GetLoaderLock());
    MutexLock lock(m_Mutex.get());
    ResourceObject* resource = FindResource(resourceName, sectionName);
    if (resource == nullptr) {
        return nullptr;
    }
    if (!resource->IsSettled()) {
        LoadHeldResource(*resource, resourceName, sectionName);
    }
    return resource->GetContent();
}

Image* ResourceManager::GetImage(const std::string& resourceName, const std::string& sectionName)
{
    ResourceObject* resource = GetResource(resourceName, sectionName);
    if (resource == nullptr) {
        return nullptr;
    }
    BaseObject* content = resource->GetContent();
    if (content == nullptr || !content->IsOfType(&ResourceObject::s_Type)) {
        return nullptr;
    }
    return static_cast<ResourceObject*>(content)->GetFirstImage();
}

void ResourceManager::LoadHeldResource(ResourceObject& resource, const std::string& key, const std::string& section)
{
    try {
        resource.Load();
    } catch (const std::exception& error) {
        Platform::Log("Loading resource %s failed: %s\n", resource.GetFileName().c_str(), error.what());
        resource.SetError(ResourceObject::kErrorUnspecified);
    }
    if (!resource.IsSettled()) {
        resource.SetError(ResourceObject::kErrorUnspecified);
    }
    // The key tells the maintainer which entry of the data to mend.
    if (resource.HasFailed()) {
        Platform::Log("Resource %s of section %s (%s) could not be loaded: %s\n", key.c_str(), section.c_str(),
                      resource.GetFileName().c_str(), resource.GetStatusText().c_str());
        LoadFailures::Note(resource.GetFileName().empty() ? key : resource.GetFileName());
    }
}

void ResourceManager::SetStarted(bool started)
{
    m_Started.store(started, std::memory_order_release);
    if (started) {
        ResumeLoader();
    }
}

std::int32_t ResourceManager::GetLoadTotal()
{
    MutexLock lock(m_Mutex.get());
    return m_LoadTotal;
}

std::uint32_t ResourceManager::GetLoadDone()
{
    MutexLock lock(m_Mutex.get());
    return m_LoadDone;
}

ResourceManager::NameList ResourceManager::GetForegroundQueue()
{
    MutexLock lock(m_Mutex.get());
    return m_Foreground;
}

ResourceManager::NameList ResourceManager::GetBackgroundQueue()
{
    MutexLock lock(m_Mutex.get());
    return m_Background;
}

void ResourceManager::LoaderLoop()
{
    while (IsRunning()) {
        if (!IsStarted()) {
            SuspendLoader();
            continue;
        }
        bool idle = true;
        {
            MutexLock global(GetLoaderLock());
            if (!IsRunning()) {
                break;
            }
            ResourceObject* resource = nullptr;
            std::string key;
            std::string sectionName;
            {
                MutexLock lock(m_Mutex.get());
                ResourceSection* section = nullptr;
                if (!m_Foreground.IsEmpty()) {
                    section = UpdateLoadQueue(m_Foreground, true);
                }
                if (section == nullptr && !m_Background.IsEmpty()) {
                    section = UpdateLoadQueue(m_Background, false);
                }
                resource = section != nullptr ? section->NextToLoad() : nullptr;
                if (resource != nullptr) {
                    sectionName = section->GetName();
                    for (const ResourceSection::Entry& entry : section->GetResources()) {
                        if (entry.second.Get() == resource) {
                            key = entry.first;
                            break;
                        }
                    }
                }
            }
            if (resource != nullptr) {
                idle = false;
                // The window thread keeps the manager meanwhile (its lock is
                // free while the file loads); the loader lock keeps the
                // resource and its section alive.
                LoadHeldResource(*resource, key, sectionName);
            }
        }
        if (idle) {
            SuspendLoader();
        }
    }
}

}  // namespace Qmv2
