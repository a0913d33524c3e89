#include "game/frontend/Quorvel2ScoreEntry.h"

using Qmv2::PropertyNode;
using Qmv2::PropertyValue;

Quorvel2ScoreEntry::Quorvel2ScoreEntry(const std::string& name, std::int32_t score, std::int32_t mode,
                                       std::int32_t time, const std::string& extra)
    : HighScoreEntry(name, score), m_Mode(mode), m_Time(time), m_Extra(extra)
{
}

Quorvel2ScoreEntry::Quorvel2ScoreEntry(PropertyNode* node)
    : HighScoreEntry(node),
      m_Mode(PropertyNode::AsNode(node)->GetValue("mode")->GetInt()),
      m_Time(PropertyNode::AsNode(node)->GetValue("time")->GetInt()),
      m_Extra(PropertyNode::AsNode(node)->GetValue("extra")->GetString())
{
}

void Quorvel2ScoreEntry::Write(PropertyNode* node) const
{
    node = PropertyNode::AsNode(node);
    if (node->IsSharedEmpty()) {
        return;
    }
    HighScoreEntry::Write(node);
    node->SetTypeWord(kFactoryName);
    node->AddChild(new PropertyValue("mode", m_Mode));
    node->AddChild(new PropertyValue("time", m_Time));
    node->AddChild(new PropertyValue("extra", m_Extra, true));
}
