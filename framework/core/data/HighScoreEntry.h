// One line of a high-score table: a player's name and score. The game derives
// its own entry with more values; every entry class writes itself into a
// property node whose type word names the class for the object factory.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

class HighScoreEntry : public BaseObject {
    QMV_INDEXED_TYPE(HighScoreEntry)

    // A new entry: marked prefilled, stamped with the manager's installation number.
    HighScoreEntry(const std::string& name, std::int32_t score);
    // Reads "playername", "scorevalue", "isprefilledscore"; the older layout
    // ("uid", "name", "score") when the node has "uid".
    explicit HighScoreEntry(PropertyNode* node);
    ~HighScoreEntry() override = default;

    // Type word "HighScoreEntry" and the untyped values "scorevalue",
    // "playername", "isprefilledscore". Derived entries call it first.
    virtual void Write(PropertyNode* node) const;
    // True when this score is lower than or equal to the other's.
    virtual bool IsLowerThan(const HighScoreEntry& other) const { return m_Score <= other.m_Score; }
    // The short form: untyped "name", "uid" and "s".
    virtual void WriteShort(PropertyNode* holder) const;

    const std::string& GetName() const { return m_Name; }
    bool IsNameGiven() const { return m_NameGiven; }
    std::int32_t GetScore() const { return m_Score; }
    bool IsPrefilled() const { return m_Prefilled; }
    std::int32_t GetUid() const { return m_Uid; }

protected:
    std::string m_Name;
    bool m_NameGiven = false;
    std::int32_t m_Score = 0;
    bool m_Prefilled = false;
    std::int32_t m_Uid = 0;
};

}  // namespace Qmv2
