// A position in the shuffled pool of source words: the seed of the pool's
// order and the index of the next word. The player record keeps one and saves
// it with the player, so a player goes on where they stopped.
#pragma once

#include <cstdint>

class iWordPoolPosition {
public:
    virtual ~iWordPoolPosition() = default;
    virtual std::int32_t GetSeed() const = 0;
    virtual void SetSeed(std::int32_t seed) = 0;
    virtual std::int32_t GetIndex() const = 0;
    virtual void SetIndex(std::int32_t index) = 0;
};

// A position kept in memory, for a tree that has no player to ask. It starts
// exhausted (index -1), so its first use takes a fresh seed from the clock.
class WordPoolPosition : public iWordPoolPosition {
public:
    std::int32_t GetSeed() const override { return seed; }
    void SetSeed(std::int32_t value) override { seed = value; }
    std::int32_t GetIndex() const override { return index; }
    void SetIndex(std::int32_t value) override { index = value; }

private:
    std::int32_t seed = 0;
    std::int32_t index = -1;
};
