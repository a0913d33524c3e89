// An ordered, optionally bounded list of score entries, best first.
#pragma once

#include <cstdint>

#include "framework/core/data/HighScoreEntry.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"

namespace Qmv2 {

class HighScoreTable : public BaseObject {
    QMV_INDEXED_TYPE(HighScoreTable)

    using Entries = GFVector<SmartPtr<HighScoreEntry>>;

    HighScoreTable() = default;
    // Reads "descending", "lastscore", "maxentries" and the "entries" vector;
    // entries keep the file's order, and items that make no entry are skipped.
    explicit HighScoreTable(PropertyNode* node);

    void Write(PropertyNode* node) const;

    // Inserts the entry by score (an equal score goes above the older entry in
    // a descending table, below it in an ascending one), drops the last entry
    // when the table grows past its bound. Answers the position, or -1 when a
    // full table refuses the entry.
    std::int32_t AddEntry(HighScoreEntry* entry);

    const Entries& GetEntries() const { return m_Entries; }
    std::int32_t GetCount() const { return m_Entries.GetCount(); }
    bool IsDescending() const { return m_Descending; }
    void SetDescending(bool descending) { m_Descending = descending; }
    std::int32_t GetLastScore() const { return m_LastScore; }
    void SetLastScore(std::int32_t position) { m_LastScore = position; }
    // 0 or below: unbounded.
    std::int32_t GetMaxEntries() const { return m_MaxEntries; }
    void SetMaxEntries(std::int32_t maxEntries) { m_MaxEntries = maxEntries; }

private:
    Entries m_Entries;
    bool m_Descending = true;
    std::int32_t m_LastScore = -1;
    std::int32_t m_MaxEntries = -1;
};

}  // namespace Qmv2
