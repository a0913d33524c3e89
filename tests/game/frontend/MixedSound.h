// The game's sound as a player hears it, mixed offline: the sound manager
// on the engine's non-realtime no-sound output at the volumes of a new
// player's settings (or at the volumes given), with every mixed block kept, so
// that a scripted stretch of play can be measured for clipping. Make it
// before the scene under test plays its first sound; the shipped sound
// resources then load into this manager as the scene asks for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace frontendtest {

class MixedSound {
public:
    static constexpr std::int32_t kRate = 44100;
    // Samples at or beyond full scale that 100 ms of the mix may hold: a
    // stray peak at most, never a clipped burst.
    static constexpr std::int32_t kMostFullScalePer100Ms = 20;

    MixedSound();
    // At these effects and music volumes (the sliders' values) instead.
    MixedSound(float soundVolume, float musicVolume);
    ~MixedSound();
    MixedSound(const MixedSound&) = delete;
    MixedSound& operator=(const MixedSound&) = delete;

    // True when the engine came up.
    bool IsUp() const { return m_Up; }
    // Mixes `ms` more of what plays, as the game's mixer thread would while
    // a frame of that length runs.
    void Mix(std::int32_t ms);
    // Stereo frames mixed so far: a mark to measure from.
    std::size_t Frames() const { return m_Samples.size() / 2; }
    // The most samples (of either channel) at full scale in any 100 ms of
    // the mix from frame `from` on.
    std::int32_t MostFullScaleIn100Ms(std::size_t from = 0) const;
    // The loudest sample from frame `from` on, in dB below full scale.
    double PeakDbfs(std::size_t from = 0) const;
    // The mean loudness from frame `from` on, in dB below full scale.
    double RmsDbfs(std::size_t from = 0) const;
    // Expects the mix from frame `from` on to hold no clipped burst, and
    // prints its figures under `what`.
    void ExpectUnclipped(std::size_t from, const std::string& what) const;

private:
    static void Tap(const std::int16_t* frames, int count, void* user);

    std::vector<std::int16_t> m_Samples;
    double m_Due = 0.0;   // frames the mixed time asks for
    bool m_Up = false;
};

}  // namespace frontendtest
