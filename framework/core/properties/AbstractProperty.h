// Base of the property tree: a named entry of one of three kinds (value,
// vector, node), optionally typed by a type word (the XML tag it came from or
// is written as). Reading never fails: a missing or mistyped entry reads as
// the shared empty object of its kind, which can never be changed or freed.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"

namespace Qmv2 {

class PropertyNode;

class AbstractProperty : public BaseObject {
    QMV_INDEXED_TYPE(AbstractProperty)

    enum Kind : std::uint32_t { kValue = 2, kVector = 3, kNode = 4 };

    ~AbstractProperty() override = default;

    // A new, unshared copy of the whole entry.
    virtual AbstractProperty* Clone() const = 0;
    // Copies kind-independent fields (type word, name); subclasses add theirs.
    // Refused on the shared empty objects.
    virtual void CopyFrom(const AbstractProperty& other);
    // Resolves "setup" inheritance in this entry and everything below it.
    void ApplySetup();

    std::uint32_t GetKind() const noexcept { return m_Kind; }
    bool IsValue() const noexcept { return m_Kind == kValue; }
    bool IsVector() const noexcept { return m_Kind == kVector; }
    bool IsNode() const noexcept { return m_Kind == kNode; }

    const std::string& GetTypeWord() const noexcept { return m_TypeWord; }
    const std::string& GetName() const noexcept { return m_Name; }
    void SetTypeWord(const std::string& typeWord);
    void SetName(const std::string& name);

    // Typed reads of a value's text; any other kind reads as the empty text.
    std::string GetString() const;
    std::int32_t GetInt() const;    // "#ff", "0x10" hexadecimal, else decimal; 0 when unreadable
    float GetFloat() const;         // "%f"; 0 when unreadable
    bool GetBool() const;           // false only for "" and "false"

    // True for the three shared empty objects.
    bool IsSharedEmpty() const noexcept { return m_SharedEmpty; }

    // The shared empty objects are never counted nor destroyed: they are read
    // by several threads and must outlive every holder.
    void AddRef() override;
    void Release() override;
    void DeleteThis() override;

protected:
    AbstractProperty(std::uint32_t kind, std::string typeWord, std::string name)
        : m_Kind(kind), m_TypeWord(std::move(typeWord)), m_Name(std::move(name)) {}
    AbstractProperty(const AbstractProperty& other)
        : BaseObject(other), m_Kind(other.m_Kind), m_TypeWord(other.m_TypeWord), m_Name(other.m_Name) {}
    AbstractProperty& operator=(const AbstractProperty&) = delete;

    // Marks one of the shared empty objects; done once at their creation.
    void MarkSharedEmpty() noexcept { m_SharedEmpty = true; }

    // Setup resolution below this entry. `visited` holds the nodes already
    // resolved in this run, so that shared children are resolved once.
    friend class PropertyNode;
    friend class PropertyVector;
    virtual void ResolveSetups(std::unordered_set<const AbstractProperty*>& visited) = 0;

    // The text of a value, the empty text otherwise.
    virtual const std::string& TextOrEmpty() const;

private:
    std::uint32_t m_Kind;
    std::string m_TypeWord;
    std::string m_Name;
    bool m_SharedEmpty = false;
};

}  // namespace Qmv2
