#include "game/frontend/Quorvel2Player.h"

#include <algorithm>
#include <limits>

#include "framework/core/util/Platform.h"
#include "platform/win32/WinTime.h"

using Qmv2::PropertyNode;
using Qmv2::PropertyValue;

namespace {

// Counters stop at the largest value instead of wrapping to negative.
void CountUp(std::int32_t& counter)
{
    if (counter < std::numeric_limits<std::int32_t>::max()) {
        ++counter;
    }
}

// Replaces `target` with the key's integer when the node has the key; a key
// that is there but is no value reads as 0.
bool ReadInt(const PropertyNode* node, const std::string& key, std::int32_t& target)
{
    if (!node->HasChild(key)) {
        return false;
    }
    target = node->GetValue(key)->GetInt();
    return true;
}

std::string Numbered(const char* prefix, std::int32_t number)
{
    return prefix + std::to_string(number);
}

}  // namespace

Quorvel2Player::Quorvel2Player(const std::string& name) : AbstractPlayer(name)
{
    Reset();
}

Quorvel2Player::Quorvel2Player(PropertyNode* node) : AbstractPlayer(node)
{
    Reset();
    Load(node);
}

void Quorvel2Player::Reset()
{
    m_Loaded = false;
    m_Seed = static_cast<std::int32_t>(timeGetTime());
    m_Index = 0;
    m_WordOfDay = -1;
    m_MaxLength = kMaxLengthDefault;
    m_Achievements.fill(kNotEarned);
    m_Mivels = 0;
    m_Solved = 0;
    m_HardSolved = 0;
    m_ModeCount.fill(0);
    m_TutorialSeen.fill(false);
}

void Quorvel2Player::Load(PropertyNode* node)
{
    node = PropertyNode::AsNode(node);
    ReadInt(node, "SEED", m_Seed);
    ReadInt(node, "INDEX", m_Index);
    ReadInt(node, "WOD", m_WordOfDay);
    if (ReadInt(node, "MAX", m_MaxLength) && (m_MaxLength < kMaxLengthLowest || m_MaxLength > kMaxLengthDefault)) {
        Qmv2::Platform::Log("Player %s: longest word %d out of range; %d used\n", m_Name.c_str(), m_MaxLength,
                            kMaxLengthDefault);
        m_MaxLength = kMaxLengthDefault;
    }

    const PropertyNode* achievements = node->GetNode("ACHIEVEMENT");
    for (std::int32_t id = 0; id < kAchievementCount; ++id) {
        std::int32_t& flag = m_Achievements[id];
        if (ReadInt(achievements, Numbered("ACHIEVEMENT_", id), flag) && (flag < kNotEarned || flag > kShown)) {
            Qmv2::Platform::Log("Player %s: achievement %d has flag %d; reset\n", m_Name.c_str(), id, flag);
            flag = kNotEarned;
        }
    }

    const PropertyNode* tracker = node->GetNode("TRACKER");
    const auto readCounter = [&](const std::string& key, std::int32_t& counter) {
        if (ReadInt(tracker, key, counter) && counter < 0) {
            Qmv2::Platform::Log("Player %s: counter %s is %d; reset\n", m_Name.c_str(), key.c_str(), counter);
            counter = 0;
        }
    };
    readCounter("MIVELS", m_Mivels);
    readCounter("SOLVED", m_Solved);
    readCounter("HARD_SOLVED", m_HardSolved);
    for (std::int32_t mode = 0; mode < kModeCount; ++mode) {
        readCounter(Numbered("MODE_", mode), m_ModeCount[mode]);
    }
    for (std::int32_t tutorial = 0; tutorial < kTutorialCount; ++tutorial) {
        const std::string key = Numbered("TUTORIAL_", tutorial);
        if (tracker->HasChild(key)) {
            m_TutorialSeen[tutorial] = tracker->GetValue(key)->GetBool();
        }
    }
    m_Loaded = true;
}

void Quorvel2Player::Save(PropertyNode* node) const
{
    node = PropertyNode::AsNode(node);
    if (node->IsSharedEmpty()) {
        return;
    }
    AbstractPlayer::Save(node);
    node->SetTypeWord("Quorvel2Player");
    node->AddChild(new PropertyValue("SEED", m_Seed));
    node->AddChild(new PropertyValue("INDEX", m_Index));
    node->AddChild(new PropertyValue("WOD", m_WordOfDay));
    node->AddChild(new PropertyValue("MAX", m_MaxLength));

    auto* achievements = new PropertyNode("ACHIEVEMENT", "Node");
    node->AddChild(achievements);
    for (std::int32_t id = 0; id < kAchievementCount; ++id) {
        achievements->AddChild(new PropertyValue(Numbered("ACHIEVEMENT_", id), m_Achievements[id]));
    }

    auto* tracker = new PropertyNode("TRACKER", "Node");
    node->AddChild(tracker);
    tracker->AddChild(new PropertyValue("MIVELS", m_Mivels));
    tracker->AddChild(new PropertyValue("SOLVED", m_Solved));
    tracker->AddChild(new PropertyValue("HARD_SOLVED", m_HardSolved));
    for (std::int32_t mode = 0; mode < kModeCount; ++mode) {
        tracker->AddChild(new PropertyValue(Numbered("MODE_", mode), m_ModeCount[mode]));
    }
    for (std::int32_t tutorial = 0; tutorial < kTutorialCount; ++tutorial) {
        tracker->AddBoolean(Numbered("TUTORIAL_", tutorial), m_TutorialSeen[tutorial], true);
    }
}

std::int32_t Quorvel2Player::Earn(std::int32_t id)
{
    if (m_Achievements[id] != kNotEarned) {
        return -1;
    }
    m_Achievements[id] = kEarned;
    return id;
}

std::int32_t Quorvel2Player::EarnAtExactly(std::int32_t value, const std::array<std::int32_t, 3>& thresholds,
                                           std::int32_t firstId)
{
    for (std::int32_t i = 0; i < 3; ++i) {
        if (value == thresholds[i]) {
            return Earn(firstId + i);
        }
    }
    return -1;
}

std::int32_t Quorvel2Player::CheckWordsFoundAchievement(std::int32_t wordsFound)
{
    return EarnAtExactly(wordsFound, {5, 10, 20}, 0);
}

std::int32_t Quorvel2Player::CheckStreakAchievement(std::int32_t runLength)
{
    return EarnAtExactly(runLength, {5, 10, 20}, 11);
}

std::int32_t Quorvel2Player::CountMivel()
{
    CountUp(m_Mivels);
    return EarnAtExactly(m_Mivels, {1000, 5000, 10000}, 14);
}

std::int32_t Quorvel2Player::CountSolved()
{
    CountUp(m_Solved);
    return EarnAtExactly(m_Solved, {1000, 5000, 10000}, 17);
}

std::int32_t Quorvel2Player::CountHardSolved()
{
    CountUp(m_HardSolved);
    return m_HardSolved == 500 ? Earn(23) : -1;
}

std::int32_t Quorvel2Player::CountGamePlayed(std::int32_t mode)
{
    if (mode < 0 || mode >= kModeCount) {
        return -1;
    }
    CountUp(m_ModeCount[mode]);
    const std::int32_t least = std::min(99, *std::min_element(m_ModeCount.begin(), m_ModeCount.end()));
    // Only the band the least count falls in is tried.
    if (least >= 30) {
        return Earn(22);
    }
    if (least >= 10) {
        return Earn(21);
    }
    if (least >= 1) {
        return Earn(20);
    }
    return -1;
}

std::int32_t Quorvel2Player::GetAchievement(std::int32_t id) const
{
    return id >= 0 && id < kAchievementCount ? m_Achievements[id] : kNotEarned;
}

void Quorvel2Player::SetAchievement(std::int32_t id, std::int32_t flag)
{
    if (id >= 0 && id < kAchievementCount && flag >= kNotEarned && flag <= kShown) {
        m_Achievements[id] = flag;
    }
}

std::int32_t Quorvel2Player::GetModeCount(std::int32_t mode) const
{
    return mode >= 0 && mode < kModeCount ? m_ModeCount[mode] : 0;
}

bool Quorvel2Player::IsTutorialSeen(std::int32_t tutorial) const
{
    return tutorial >= 0 && tutorial < kTutorialCount && m_TutorialSeen[tutorial];
}

void Quorvel2Player::SetTutorialSeen(std::int32_t tutorial, bool seen)
{
    if (tutorial >= 0 && tutorial < kTutorialCount) {
        m_TutorialSeen[tutorial] = seen;
    }
}
