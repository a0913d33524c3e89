// What a playing scene asks of the current player's record: the achievement
// tests and counters a round feeds (each answers an achievement to show, or
// -1), the tutorials seen, the longest source word allowed and the last word
// of the day played. The game's player record implements it; a scene whose
// player is no such record plays without achievements.
#pragma once

#include <cstdint>

class iRoundProfile {
public:
    virtual ~iRoundProfile() = default;

    virtual std::int32_t CheckWordsFoundAchievement(std::int32_t wordsFound) = 0;
    virtual std::int32_t CheckStreakAchievement(std::int32_t runLength) = 0;
    virtual std::int32_t CountMivel() = 0;
    virtual std::int32_t CountSolved() = 0;
    virtual std::int32_t CountHardSolved() = 0;
    virtual std::int32_t CountGamePlayed(std::int32_t mode) = 0;

    virtual std::int32_t GetAchievement(std::int32_t id) const = 0;
    virtual void SetAchievement(std::int32_t id, std::int32_t flag) = 0;
    virtual bool IsTutorialSeen(std::int32_t tutorial) const = 0;
    virtual void SetTutorialSeen(std::int32_t tutorial, bool seen) = 0;
    virtual std::int32_t GetMaxLength() const = 0;
    virtual std::int32_t GetWordOfDay() const = 0;
    virtual void SetWordOfDay(std::int32_t day) = 0;
};
