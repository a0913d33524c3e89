#include "tests/game/frontend/MixedSound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "framework/core/data/GameSettings.h"
#include "framework/sound/SoundManager.h"
#include "sound/include/osnd.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/stream/osnd_stream.h"

namespace frontendtest {

namespace {

bool FullScale(std::int16_t sample)
{
    return sample >= 32767 || sample <= -32768;
}

}  // namespace

void MixedSound::Tap(const std::int16_t* frames, int count, void* user)
{
    auto* samples = static_cast<std::vector<std::int16_t>*>(user);
    samples->insert(samples->end(), frames, frames + 2 * count);
}

MixedSound::MixedSound() : MixedSound(Qmv2::GameSettings().GetSoundVolume(), Qmv2::GameSettings().GetMusicVolume()) {}

MixedSound::MixedSound(float soundVolume, float musicVolume)
{
    OsndOutputNoSound_SetCaptureTap(&MixedSound::Tap, &m_Samples);
    Qmv2::SoundManager::EngineSetup setup;
    setup.output = OSND_OUTPUT_NOSOUND_NONREALTIME;
    setup.mixRate = kRate;
    Qmv2::SoundManager::Create(setup);
    m_Up = Qmv2::SoundManager::IsSoundUp();
    Qmv2::SoundManager::GetInstance()->SetSoundVolume(soundVolume);
    Qmv2::SoundManager::GetInstance()->SetMusicVolume(musicVolume);
    m_Samples.clear();
}

MixedSound::~MixedSound()
{
    Qmv2::SoundManager::ReleaseInstance();
    OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
}

void MixedSound::Mix(std::int32_t ms)
{
    m_Due += kRate * ms / 1000.0;
    // The manager's part of a frame (music fades and streams), then the mix.
    Qmv2::SoundManager::GetInstance()->Execute(ms);
    while (m_Up && static_cast<double>(Frames()) < m_Due) {
        // What the game's mixer thread does for one block: the streams'
        // pass, then the mix.
        OsndStream_UpdatePass(gOsnd.nonRealtimeStepMs > 0 ? gOsnd.nonRealtimeStepMs : gOsnd.blockLengthMsF);
        gOsnd.output->update();
    }
}

std::int32_t MixedSound::MostFullScaleIn100Ms(std::size_t from) const
{
    const std::size_t window = static_cast<std::size_t>(kRate / 10);
    std::vector<std::int32_t> perFrame;
    for (std::size_t frame = from; frame < Frames(); ++frame) {
        perFrame.push_back((FullScale(m_Samples[2 * frame]) ? 1 : 0) + (FullScale(m_Samples[2 * frame + 1]) ? 1 : 0));
    }
    std::int32_t inWindow = 0;
    std::int32_t most = 0;
    for (std::size_t i = 0; i < perFrame.size(); ++i) {
        inWindow += perFrame[i];
        if (i >= window) {
            inWindow -= perFrame[i - window];
        }
        most = std::max(most, inWindow);
    }
    return most;
}

double MixedSound::PeakDbfs(std::size_t from) const
{
    int peak = 0;
    for (std::size_t i = 2 * from; i < m_Samples.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(m_Samples[i])));
    }
    return peak == 0 ? -200.0 : 20.0 * std::log10(peak / 32768.0);
}

double MixedSound::RmsDbfs(std::size_t from) const
{
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 2 * from; i < m_Samples.size(); ++i, ++count) {
        sum += static_cast<double>(m_Samples[i]) * m_Samples[i];
    }
    return count == 0 || sum == 0.0 ? -200.0 : 10.0 * std::log10(sum / count / (32768.0 * 32768.0));
}

void MixedSound::ExpectUnclipped(std::size_t from, const std::string& what) const
{
    const std::int32_t clipped = MostFullScaleIn100Ms(from);
    std::printf("%s: peak %.1f dBFS, RMS %.1f dBFS, at most %d samples at full scale in 100 ms\n", what.c_str(),
                PeakDbfs(from), RmsDbfs(from), clipped);
    EXPECT_GT(Frames(), from) << what << ": nothing was mixed";
    EXPECT_LT(clipped, kMostFullScalePer100Ms) << what << " clips: " << clipped
                                               << " samples at full scale within 100 ms";
}

}  // namespace frontendtest
