#include "framework/core/data/HighScoreTable.h"

#include "framework/core/data/StoredObject.h"

namespace Qmv2 {

HighScoreTable::HighScoreTable(PropertyNode* node)
{
    node = PropertyNode::AsNode(node);
    if (node->HasChild("descending")) {
        m_Descending = node->GetValue("descending")->GetBool();
    }
    m_LastScore = node->GetValue("lastscore")->GetInt();
    m_MaxEntries = node->GetValue("maxentries")->GetInt();
    if (!node->HasChild("lastscore")) {
        m_LastScore = -1;
    }
    if (!node->HasChild("maxentries")) {
        m_MaxEntries = -1;
    }
    for (const SmartPtr<AbstractProperty>& item : node->GetVector("entries")->GetItems()) {
        SmartPtr<BaseObject> made = CreateStoredObject(item.Get(), HighScoreEntry::s_Type);
        if (made) {
            m_Entries.PushBack(SmartPtr<HighScoreEntry>(static_cast<HighScoreEntry*>(made.Get())));
        }
    }
}

void HighScoreTable::Write(PropertyNode* node) const
{
    node = PropertyNode::AsNode(node);
    node->AddBoolean("descending", m_Descending, true);
    node->AddChild(new PropertyValue("maxentries", m_MaxEntries));
    node->AddChild(new PropertyValue("lastscore", m_LastScore));
    auto* entries = new PropertyVector("entries");
    node->AddChild(entries);
    for (const SmartPtr<HighScoreEntry>& entry : m_Entries) {
        auto* item = new PropertyNode();
        entries->AddItem(item);
        entry->Write(item);
    }
}

std::int32_t HighScoreTable::AddEntry(HighScoreEntry* entry)
{
    if (entry == nullptr) {
        m_LastScore = -1;
        return -1;
    }
    SmartPtr<HighScoreEntry> held(entry);
    const bool bounded = m_MaxEntries > 0;
    for (std::int32_t i = 0; i < m_Entries.GetCount(); ++i) {
        if (m_Entries[i]->IsLowerThan(*entry) == m_Descending) {
            m_Entries.Insert(m_Entries.begin() + i, 1, held);
            while (bounded && m_Entries.GetCount() > m_MaxEntries) {
                m_Entries.Erase(m_Entries.end() - 1, m_Entries.end());
            }
            m_LastScore = i;
            return i;
        }
    }
    if (bounded && m_Entries.GetCount() >= m_MaxEntries) {
        m_LastScore = -1;
        return -1;
    }
    m_Entries.PushBack(held);
    m_LastScore = m_Entries.GetCount() - 1;
    return m_LastScore;
}

}  // namespace Qmv2
