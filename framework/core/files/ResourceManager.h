// Owns every resource section, hands resources out by name and section, and
// loads queued sections one resource at a time on a loader thread (the thread
// itself is the platform subclass's, ResourceManagerWin32).
//
// Locks: the process-wide loader lock is held by the loader for each pass,
// including the load of a resource, and by every operation that loads a
// resource or frees a section or resource; the manager's own lock guards the
// sections, queues and counters. The loader lock is always taken first, so
// those operations must not be called while the caller holds the manager's
// lock (resource loads may call back into the manager: both locks are
// re-entrant).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/files/ResourceSection.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/util/Mutex.h"

namespace Qmv2 {

class Image;

class ResourceManager : public BaseObject, public iInstance<ResourceManager> {
    QMV_INDEXED_TYPE(ResourceManager)

    using NameList = GFVector<std::string>;

    ~ResourceManager() override;

    // The loader thread's control, supplied by the platform subclass.
    // StopThread clears the running flag and ends the thread (waiting for a
    // load in progress); SuspendLoader is called by the loader alone and
    // returns at the next ResumeLoader (or at once when one came since the
    // last suspend); ResumeLoader may be called from any thread.
    virtual void StopThread() = 0;
    virtual void SuspendLoader() = 0;
    virtual void ResumeLoader() = 0;

    // Builds the sections from the description files (their "Sections" list).
    virtual void LoadSectionList();

    void AddSectionFile(const std::string& fileName);
    // Stores the section under its name, replacing an earlier one; an
    // auto-load section that is not loaded is queued in the background.
    void AddSection(ResourceSection* section);
    // The section of that name, or null.
    ResourceSection* FindSection(const std::string& name);
    // Queues a section in the foreground. False when it is loaded already or
    // unknown; true when it is queued (once, however often it is asked).
    bool LoadSection(const std::string& name);
    // Takes settled sections (every resource loaded or failed) and names of
    // sections that no longer exist off `list`, adding the weight of the
    // sections taken off to the load done when `countDone` is set, and
    // answers the section of the first name left, or null when none is left.
    ResourceSection* UpdateLoadQueue(NameList& list, bool countDone);
    // Wakes the loader; true once the foreground queue has nothing left.
    bool IsLoadQueueDone();
    void ResetLoadProgress();
    // The settled share of the weight queued in the foreground, 0 to 1
    // (1 when nothing was queued).
    float GetLoadProgress();
    // Takes the name off both queues and frees the section, unloading its
    // loaded resources first when `unload` is set. Waits for a resource the
    // loader is loading at that moment.
    void RemoveSection(const std::string& name, bool unload);
    void UnloadSection(const std::string& name);
    // The resource, loaded now on the calling thread when it is not loaded
    // yet; null for an unknown or failed resource (one that fails now, too).
    // The section keeps the reference.
    ResourceObject* GetResource(const std::string& resourceName, const std::string& sectionName);
    // Loads the resource unless it is loaded or failed, and answers its
    // content; null for an unknown resource.
    BaseObject* LoadResourceNow(const std::string& resourceName, const std::string& sectionName);
    // The first image of the resource's content, or null.
    Image* GetImage(const std::string& resourceName, const std::string& sectionName);

    // Lets the loader take work (the start-up command sets it once the
    // sections are built).
    void SetStarted(bool started);
    bool IsStarted() const noexcept { return m_Started.load(std::memory_order_acquire); }
    bool IsRunning() const noexcept { return m_Running.load(std::memory_order_acquire); }
    std::int32_t GetLoadTotal();
    std::uint32_t GetLoadDone();
    NameList GetForegroundQueue();
    NameList GetBackgroundQueue();

    // Stops the loader, waits for it, releases the singleton and deletes the
    // loader lock.
    static void DestroyInstance();

protected:
    ResourceManager();

    // The loader thread's work: one resource per pass, sleeping when idle.
    void LoaderLoop();
    void ClearRunning() noexcept { m_Running.store(false, std::memory_order_release); }

    // The process-wide loader lock: made with the first manager's thread,
    // deleted by DestroyInstance.
    static Mutex* GetLoaderLock() noexcept { return s_LoaderLock.get(); }
    static void CreateLoaderLock();

private:
    // Loads a resource under the loader lock; a kind that neither
    // loaded nor failed counts as failed, so no queue waits for it for ever.
    // A failure is logged with the resource's key and section.
    static void LoadHeldResource(ResourceObject& resource, const std::string& key, const std::string& section);
    ResourceObject* FindResource(const std::string& resourceName, const std::string& sectionName);

    std::unordered_map<std::string, SmartPtr<ResourceSection>> m_Sections;
    NameList m_SectionFiles;
    NameList m_Foreground;
    NameList m_Background;
    std::atomic<bool> m_Running{true};
    std::atomic<bool> m_Started{false};
    std::int32_t m_LoadTotal = 0;
    std::uint32_t m_LoadDone = 0;
    std::unique_ptr<Mutex> m_Mutex;

    inline static std::unique_ptr<Mutex> s_LoaderLock;
};

}  // namespace Qmv2
