#include "framework/core/data/HighScoreEntry.h"

#include "framework/core/data/HighScoreManager.h"

namespace Qmv2 {

HighScoreEntry::HighScoreEntry(const std::string& name, std::int32_t score)
    : m_Name(name), m_NameGiven(!name.empty()), m_Score(score), m_Prefilled(true)
{
    if (HighScoreManager* manager = HighScoreManager::GetInstance()) {
        m_Uid = manager->GetUid();
    }
}

HighScoreEntry::HighScoreEntry(PropertyNode* node)
{
    node = PropertyNode::AsNode(node);
    m_NameGiven = true;
    if (node->HasChild("uid")) {
        m_Uid = node->GetValue("uid")->GetInt();
        m_Name = node->GetString("name");
        m_Score = node->GetValue("score")->GetInt();
    } else {
        m_Name = node->GetString("playername");
        m_Score = node->GetValue("scorevalue")->GetInt();
        m_Prefilled = node->GetValue("isprefilledscore")->GetBool();
    }
}

void HighScoreEntry::Write(PropertyNode* node) const
{
    node = PropertyNode::AsNode(node);
    node->SetTypeWord("HighScoreEntry");
    node->AddChild(new PropertyValue("scorevalue", m_Score));
    node->AddChild(new PropertyValue("playername", m_Name, true));
    node->AddBoolean("isprefilledscore", m_Prefilled, true);
}

void HighScoreEntry::WriteShort(PropertyNode* holder) const
{
    holder = PropertyNode::AsNode(holder);
    holder->AddChild(new PropertyValue("name", m_Name, true));
    holder->AddChild(new PropertyValue("uid", m_Uid));
    holder->AddChild(new PropertyValue("s", m_Score));
}

}  // namespace Qmv2
