// Base of every loadable resource (images, fonts, masks, sounds, streams): its
// file, load flags and weight, whether it is loaded, and why it failed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"

namespace Qmv2 {

class Image;
class PropertyNode;

class ResourceObject : public BaseObject {
    QMV_INDEXED_TYPE(ResourceObject)

    // Error codes of a failed load; kErrorNone while nothing failed.
    enum Error : std::int32_t {
        kErrorNone = -1,
        kErrorUnspecified = 0,
        kErrorPrerequisites = 1,
        kErrorFileNotFound = 2,
        kErrorFileNameEmpty = 3,
        kErrorInvalidFormat = 4,
        kErrorSubResource = 5,
        kErrorTooBig = 6,
    };

    // Defaults, then the keys of `description` (none when it is null).
    explicit ResourceObject(PropertyNode* description);
    // Defaults, with a non-empty name stored in resource-name form.
    explicit ResourceObject(const std::string& fileName);
    ~ResourceObject() override = default;

    // The base text followed by the status text.
    std::string ToString() const override;

    // Loads the file; each kind ends with SetLoaded or SetError.
    virtual void Load() = 0;
    // The loaded object (an image resource answers itself).
    virtual BaseObject* GetContent() = 0;
    // Wakes the resource manager's loader, clears the error and the loaded
    // flag. Kinds free their content first and then call this.
    virtual void Unload();
    // False without a file name; otherwise whether both names are equal.
    virtual bool HasSameFile(const ResourceObject& other) const;
    // "\"<file>\"", then " Loaded." and " Error: <text> [<code>]" as they apply.
    virtual std::string GetStatusText() const;
    virtual void SetLoaded();
    virtual void SetError(std::int32_t code);
    // Kinds that hold images answer their first one; the others none.
    virtual Image* GetFirstImage() { return nullptr; }

    // "file" (resource-name form) and "archive" ("file", "zip",
    // "encryptfile", "encryptzip"; any other text keeps the flags).
    void ReadSource(const PropertyNode& description);

    static const char* GetErrorText(std::int32_t code);

    const std::string& GetFileName() const noexcept { return m_FileName; }
    bool IsLoaded() const noexcept { return m_Loaded.load(std::memory_order_acquire); }
    std::int32_t GetErrorCode() const noexcept { return m_ErrorCode.load(std::memory_order_acquire); }
    bool HasFailed() const noexcept { return GetErrorCode() != kErrorNone; }
    // Loaded or failed: nothing more will come of loading it again.
    bool IsSettled() const noexcept { return IsLoaded() || HasFailed(); }
    std::uint32_t GetWeight() const noexcept { return m_Weight; }
    std::uint32_t GetLoadFlags() const noexcept { return m_LoadFlags; }

protected:
    void SetFileName(const std::string& fileName);
    void SetLoadFlags(std::uint32_t flags) noexcept { m_LoadFlags = flags; }

private:
    std::string m_FileName;
    // Written by whichever thread loads the resource while the other reads
    // them for the queues and the progress.
    std::atomic<bool> m_Loaded{false};
    std::atomic<std::int32_t> m_ErrorCode{kErrorNone};
    std::uint32_t m_Weight = 1;
    std::uint32_t m_LoadFlags = 1;
};

}  // namespace Qmv2
