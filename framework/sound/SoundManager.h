// The framework's single owner of the sound engine: sets it up once, keeps the
// effects and music volumes, mutes everything while the game is paused or the
// window is minimised or inactive, and plays music as engine streams with
// fades and a cross-fade between two streams, advanced once per frame.
// Effects are played by Sound objects, which only read the sound-up flag.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/core/app/iMessageListener.h"
#include "framework/core/app/iTask.h"
#include "framework/sound/SoundRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/sound/SoundStream.h"
#include "sound/include/osnd.h"

namespace Qmv2 {

class SoundManager : public iTask, public iMessageListener, public iInstance<SoundManager> {
    QMV_INDEXED_TYPE(SoundManager)

    // How the engine is started. The defaults are the game's; tests choose
    // the no-sound output or a set-up that cannot succeed.
    struct EngineSetup {
        float minimumVersion = 3.75f;
        std::int32_t output = OSND_OUTPUT_WINMM;
        std::int32_t mixer = OSND_MIXER_QUALITY_AUTODETECT;
        std::int32_t mixRate = 44100;
        std::int32_t channels = 32;
    };

    // Open mode of music streams: loop normal, 16-bit, mono, signed (the
    // file's own format decides what the stream plays).
    static constexpr std::uint32_t kMusicMode = 0x132;
    static constexpr std::int32_t kFadeMs = 200;
    static constexpr std::int32_t kCrossFadeOutMs = 1000;
    static constexpr std::int32_t kCrossFadeInMs = 100;
    static constexpr std::int32_t kCrossFadeDelayMs = 600;
    static constexpr std::int32_t kSameMusicFadeMs = 1000;
    // A new player's volumes, below which a slider's place is its level.
    static constexpr float kKneeVolume = 0.5f;
    // The level at a slider's right end, 1.6 dB above a new player's: there
    // the game's busiest moments (a dialog's chime over the logo's springs
    // and the menu's music) peak near -2 dBFS instead of clipping.
    static constexpr float kTopLevel = 0.6f;

    // Starts the engine (a failure leaves the game silent, never an error),
    // then makes the manager the singleton in every case.
    static SoundManager* Create();
    static SoundManager* Create(const EngineSetup& setup);

    // True only while an engine set-up has succeeded and its manager lives.
    static bool IsSoundUp() noexcept { return s_SoundUp.load(std::memory_order_acquire); }
    // Counts successful engine set-ups: samples and streams made under an
    // earlier one were freed when that engine closed.
    static std::uint32_t GetEngineSession() noexcept { return s_EngineSession.load(std::memory_order_acquire); }

    ~SoundManager() override;

    Interface* GetInterface(const ClassType* type) override;

    void Execute(std::int32_t elapsed) override { Update(elapsed); }
    void OnMessage(const Message& message) override;

    // The level the engine plays at for a volume (a slider's place, 0..1):
    // up to the knee the volume itself, above it rising in even steps of
    // loudness to the top level. The engine's mixer saturates every channel
    // it adds, so headroom cannot be won back after the mix: it is kept here.
    static float Level(float volume);
    // Clamped to 0..1 and stored; its level applied at once unless the game
    // mute is on.
    void SetSoundVolume(float volume);
    // Clamped to 0..1 and stored; the music follows at the next update.
    void SetMusicVolume(float volume);
    // Applies both volumes, or silences effects and music while muted.
    void ApplyVolumes();

    // Makes `stream` the music: the same file as the current music only fades
    // to `volume`; another one cross-fades from the current music.
    void PlayMusic(SoundStream* stream, float volume);
    // Fades the active music (the incoming one while cross-fading) over 200 ms.
    void FadeMusic(float from, float to);
    // Opens (when closed) and plays `stream`, making it current unless a
    // cross-fade runs; true with a channel. True at once when `other` is it.
    bool PlayStream(SoundStream* stream, SoundStream* other, std::uint32_t mode);
    // Stops and closes the engine stream; true only when both succeed.
    bool CloseStream(SoundStream* stream);
    void StopMusic();
    // Closes the current stream; the next one becomes current.
    void SwapStreams();
    // Saves the current music's position and stops it; true when stopped.
    bool PauseMusic();
    // Advances the fades and the cross-fade by `elapsed` milliseconds.
    void Update(std::int32_t elapsed);

    void SetGameMute(bool mute) { m_GameMute = mute; }
    bool IsGameMute() const { return m_GameMute; }
    bool IsWindowMute() const { return m_WindowMute; }
    bool IsMuted() const { return m_GameMute || m_WindowMute; }
    float GetSoundVolume() const { return m_SoundVolume; }
    float GetMusicVolume() const { return m_MusicVolume; }
    SoundStream* GetCurrentStream() const { return m_CurrentStream.Get(); }
    SoundStream* GetNextStream() const { return m_NextStream.Get(); }
    bool IsCrossFading() const { return m_CrossFading; }
    void SetCrossFading(bool crossFading) { m_CrossFading = crossFading; }
    std::int32_t GetStartDelay() const { return m_StartDelay; }
    void SetPausePending(bool pending) { m_PausePending = pending; }
    bool IsPausePending() const { return m_PausePending; }
    bool IsMusicPaused() const { return m_MusicPaused; }

private:
    SoundManager();

    static bool StartEngine(const EngineSetup& setup);
    // The stream's fade volume becomes `volume`; heard unless muted.
    void UpdateStreamVolume(SoundStream* stream, float volume);
    // Moves the stream's fade (or the incoming stream's start delay) on.
    void AdvanceStream(SoundStream* stream, bool incoming, std::int32_t elapsed);

    static inline std::atomic<bool> s_SoundUp{false};
    static inline std::atomic<std::uint32_t> s_EngineSession{0};

    bool m_GameMute = false;
    bool m_WindowMute = false;
    float m_SoundVolume = 1.0f;
    float m_MusicVolume = 1.0f;
    // Held, so that unloading a music resource never leaves a dangling stream.
    SmartPtr<SoundStream> m_CurrentStream;
    SmartPtr<SoundStream> m_NextStream;
    bool m_CrossFading = false;
    std::int32_t m_StartDelay = 0;
    bool m_PausePending = false;
    bool m_MusicPaused = false;
};

}  // namespace Qmv2
