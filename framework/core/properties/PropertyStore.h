// The root of a property tree read from one or more XML files (each adds to
// the same root; a later entry replaces an earlier one of the same name) and
// written back to the current file.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/GFVector.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

class PropertyStore : public PropertyNode {
    QMV_INDEXED_TYPE(PropertyStore)

    // Nothing is read yet; a non-empty name becomes the first file and the
    // current one.
    explicit PropertyStore(const std::string& fileName = std::string());

    // A store with the same files and flags; the children are cloned in the
    // order of the name map.
    AbstractProperty* Clone() const override;
    void CopyFrom(const AbstractProperty& other) override;

    // Loads every file of the list in order; true when all of them loaded.
    bool Load();
    // Appends a file, makes it current and loads it.
    bool AddFile(const std::string& name);
    // Whether the file exists and parses, without changing the store.
    bool CanLoad(const std::string& name) const;
    // Loads one file into the store. Flags 0 read the disk (a missing file
    // adds nothing and still succeeds); other flags go through the file layer.
    bool LoadFile(std::uint32_t flags, const std::string& name);

    // Writes the whole store to the current file (scrambled under its ".!"
    // name when the effective flags say so). The file is replaced as a whole:
    // on failure the old file stays intact and the answer is false.
    bool SaveFile() const;
    // The XML text that SaveFile writes (before any scrambling).
    std::string ToXml() const;

    const GFVector<std::string>& GetFileNames() const noexcept { return m_FileNames; }
    const std::string& GetCurrentFile() const noexcept { return m_CurrentFile; }
    std::uint32_t GetLoadFlags() const noexcept { return m_LoadFlags; }
    // 1 stands for the file layer's default flags, 0 for plain files on disk.
    void SetLoadFlags(std::uint32_t flags) noexcept { m_LoadFlags = flags; }
    bool GetCondenseWhiteSpace() const noexcept { return m_CondenseWhiteSpace; }
    void SetCondenseWhiteSpace(bool condense) noexcept { m_CondenseWhiteSpace = condense; }

private:
    std::uint32_t EffectiveFlags() const;

    GFVector<std::string> m_FileNames;
    std::string m_CurrentFile;
    std::uint32_t m_LoadFlags = 1;
    bool m_CondenseWhiteSpace = true;
};

}  // namespace Qmv2
