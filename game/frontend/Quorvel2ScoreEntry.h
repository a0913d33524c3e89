// The game's line of a high-score table: the framework's entry plus the game
// mode it was scored in, a time and a free text. Tables order these entries by
// the framework's rule alone, so they mix freely with plain entries.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/data/HighScoreEntry.h"
#include "game/frontend/FrontendRecords.h"

class Quorvel2ScoreEntry : public Qmv2::HighScoreEntry {
    QMV_INDEXED_TYPE(Quorvel2ScoreEntry)

    // The name the object factory knows these entries by (the type word they
    // are stored under).
    static constexpr const char* kFactoryName = "Quorvel2Score";

    Quorvel2ScoreEntry(const std::string& name, std::int32_t score, std::int32_t mode, std::int32_t time,
                       const std::string& extra);
    // Reads the framework's entry, then "mode", "time" and "extra"; a key that
    // is missing or no value reads as 0 or the empty text.
    explicit Quorvel2ScoreEntry(Qmv2::PropertyNode* node);
    ~Quorvel2ScoreEntry() override = default;

    // The framework's values, the type word "Quorvel2Score", then the untyped
    // values "mode", "time" and "extra".
    void Write(Qmv2::PropertyNode* node) const override;

    std::int32_t GetMode() const { return m_Mode; }
    std::int32_t GetTime() const { return m_Time; }
    const std::string& GetExtra() const { return m_Extra; }

private:
    std::int32_t m_Mode = 0;
    std::int32_t m_Time = 0;
    std::string m_Extra;
};
