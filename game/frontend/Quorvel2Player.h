// The game's player record: the framework's named player plus the word game's
// per-player values (the source-word pool position, the last word of the day,
// the longest source word), 24 achievement flags, three running counters, the
// games played per mode and the tutorials seen. The whole record is written
// into the player's entry of the players list, and made back from it by the
// object factory.
//
// The achievement tests answer the id of an achievement earned just now, or
// -1; each achievement is earned once only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/core/data/AbstractPlayer.h"
#include "game/words/iRoundProfile.h"
#include "game/words/iWordPoolPosition.h"
#include "game/frontend/FrontendRecords.h"

class Quorvel2Player : public Qmv2::AbstractPlayer, public iWordPoolPosition, public iRoundProfile {
    QMV_INDEXED_TYPE(Quorvel2Player)

    static constexpr std::int32_t kAchievementCount = 24;
    static constexpr std::int32_t kModeCount = 5;
    static constexpr std::int32_t kTutorialCount = 5;
    // Achievement flag values.
    static constexpr std::int32_t kNotEarned = 0;
    static constexpr std::int32_t kEarned = 1;   // not yet shown in the trophy room
    static constexpr std::int32_t kShown = 2;

    // A new player of that name with every value at its reset value.
    explicit Quorvel2Player(const std::string& name);
    // Reads "name", resets, then loads the record from the node.
    explicit Quorvel2Player(Qmv2::PropertyNode* node);
    ~Quorvel2Player() override = default;

    // Every field back to its reset value; the seed from the millisecond clock.
    void Reset();
    // Reads the record; a key that is missing keeps its reset value, and a
    // value out of its range is reset with a log line.
    void Load(Qmv2::PropertyNode* node);
    // Writes the name and the whole record into the players-list entry.
    void Save(Qmv2::PropertyNode* node) const override;

    // Words found in the current round: 5, 10, 20 earn 0, 1, 2.
    std::int32_t CheckWordsFoundAchievement(std::int32_t wordsFound) override;
    // Run of consecutive words that use the whole rack: 5, 10, 20 earn 11, 12, 13.
    std::int32_t CheckStreakAchievement(std::int32_t runLength) override;
    // One rack shuffle more: 1000, 5000, 10000 earn 14, 15, 16.
    std::int32_t CountMivel() override;
    // One solved word more: 1000, 5000, 10000 earn 17, 18, 19.
    std::int32_t CountSolved() override;
    // One hard word more: 500 earns 23.
    std::int32_t CountHardSolved() override;
    // One game of the mode (0..4) more: the least of the five counts (capped
    // at 99) reaching 1, 10, 30 earns 20, 21, 22. A mode out of range counts
    // nothing and answers -1.
    std::int32_t CountGamePlayed(std::int32_t mode) override;

    // The pool position the word tree reads and advances.
    std::int32_t GetSeed() const override { return m_Seed; }
    void SetSeed(std::int32_t seed) override { m_Seed = seed; }
    std::int32_t GetIndex() const override { return m_Index; }
    void SetIndex(std::int32_t index) override { m_Index = index; }

    bool IsLoaded() const { return m_Loaded; }
    std::int32_t GetWordOfDay() const override { return m_WordOfDay; }
    void SetWordOfDay(std::int32_t day) override { m_WordOfDay = day; }
    std::int32_t GetMaxLength() const override { return m_MaxLength; }
    void SetMaxLength(std::int32_t length) { m_MaxLength = length; }

    // 0 for an id out of range.
    std::int32_t GetAchievement(std::int32_t id) const override;
    // Ignored for an id or a flag value out of range.
    void SetAchievement(std::int32_t id, std::int32_t flag) override;
    std::int32_t GetMivels() const { return m_Mivels; }
    std::int32_t GetSolved() const { return m_Solved; }
    std::int32_t GetHardSolved() const { return m_HardSolved; }
    // 0 for a mode out of range.
    std::int32_t GetModeCount(std::int32_t mode) const;
    // False for a tutorial out of range.
    bool IsTutorialSeen(std::int32_t tutorial) const override;
    void SetTutorialSeen(std::int32_t tutorial, bool seen) override;

    // The longest source word a player may allow, and the shortest.
    static constexpr std::int32_t kMaxLengthDefault = 8;
    static constexpr std::int32_t kMaxLengthLowest = 5;

private:
    // Earns `id` when its flag is still 0: the flag becomes 1 and the id is
    // answered; -1 otherwise.
    std::int32_t Earn(std::int32_t id);
    // Earns the id paired with the first threshold equal to `value`.
    std::int32_t EarnAtExactly(std::int32_t value, const std::array<std::int32_t, 3>& thresholds,
                               std::int32_t firstId);

    bool m_Loaded = false;
    std::int32_t m_Seed = 0;
    std::int32_t m_Index = 0;
    std::int32_t m_WordOfDay = -1;
    std::int32_t m_MaxLength = kMaxLengthDefault;
    std::array<std::int32_t, kAchievementCount> m_Achievements{};
    std::int32_t m_Mivels = 0;
    std::int32_t m_Solved = 0;
    std::int32_t m_HardSolved = 0;
    std::array<std::int32_t, kModeCount> m_ModeCount{};
    std::array<bool, kTutorialCount> m_TutorialSeen{};
};
