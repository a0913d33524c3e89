// A named group of resources, built from one entry of a resource description
// file and loaded as a whole by the resource manager.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/object/SmartPtr.h"

namespace Qmv2 {

class AbstractProperty;

class ResourceSection : public BaseObject {
    QMV_INDEXED_TYPE(ResourceSection)

    using Entry = std::pair<std::string, SmartPtr<ResourceObject>>;

    // "name", "auto" (true unless empty or "false") and one resource per child
    // node, made by the object factory from the child's type word. A child
    // that the factory cannot make, or that is no resource, is left out.
    explicit ResourceSection(AbstractProperty* description);

    std::string ToString() const override;

    // Stores `resource` under `name`; an earlier resource of that name is
    // released and the new one takes its place in the order.
    void AddResource(const std::string& name, ResourceObject* resource);
    // The resource of that name, or null.
    ResourceObject* FindResource(const std::string& name) const;

    std::uint32_t GetWeight() const;
    std::uint32_t GetLoadedWeight() const;
    // Every resource loaded (true when there is none).
    bool IsLoaded() const;
    // Every resource loaded or failed: loading has nothing more to do here.
    bool IsSettled() const;
    // Null until the section is queued; then the first resource, in order,
    // that is neither loaded nor failed.
    ResourceObject* NextToLoad() const;

    const std::string& GetName() const noexcept { return m_Name; }
    bool IsAutoLoad() const noexcept { return m_AutoLoad; }
    bool HasStarted() const noexcept { return m_HasStarted; }
    void SetHasStarted(bool started) noexcept { m_HasStarted = started; }
    const std::vector<Entry>& GetResources() const noexcept { return m_Resources; }

private:
    std::vector<Entry> m_Resources;
    std::unordered_map<std::string, std::size_t> m_Index;
    std::string m_Name;
    bool m_AutoLoad = false;
    bool m_HasStarted = false;
};

}  // namespace Qmv2
