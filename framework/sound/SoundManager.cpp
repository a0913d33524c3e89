#include "framework/sound/SoundManager.h"

#include <algorithm>
#include <cmath>

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/files/LoadFailures.h"
#include "platform/dsound/DirectSoundLibrary.h"

namespace Qmv2 {

namespace {

float Clamp01(float value)
{
    return std::clamp(value, 0.0f, 1.0f);
}

}  // namespace

bool SoundManager::StartEngine(const EngineSetup& setup)
{
    if (OSND_GetVersion() < setup.minimumVersion) {
        return false;
    }
    // Only the checks below decide: the configuration calls cannot fail in a
    // way that Init would not report.
    // The DirectSound output loads its library by name, as on the original platform.
    platform::dsound::RegisterDirectSoundLibrary();
    OSND_SetDriver(0);
    OSND_SetMixer(setup.mixer);
    OSND_SetOutput(setup.output);
    if (OSND_GetNumDrivers() <= 0) {
        return false;
    }
    if (!OSND_Init(setup.mixRate, setup.channels, 2)) {
        return false;
    }
    OSND_SetPanSeperation(1.0f);
    return true;
}

SoundManager* SoundManager::Create()
{
    return Create(EngineSetup{});
}

SoundManager* SoundManager::Create(const EngineSetup& setup)
{
    // A manager that is still there owns the engine: it closes it first.
    ReleaseInstance();
    const bool up = StartEngine(setup);
    if (up) {
        s_EngineSession.fetch_add(1, std::memory_order_acq_rel);
    }
    s_SoundUp.store(up, std::memory_order_release);
    auto* manager = new SoundManager;
    SetInstance(manager);
    return manager;
}

SoundManager::SoundManager()
{
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().AddListener(this);
    }
}

SoundManager::~SoundManager()
{
    const bool wasUp = s_SoundUp.exchange(false, std::memory_order_acq_rel);
    if (wasUp) {
        OSND_Close();
    }
    // The held streams go with the members; their engine streams went with
    // the engine. The message listener leaves the window in its own destructor.
}

Interface* SoundManager::GetInterface(const ClassType* type)
{
    if (type == &iMessageListener::s_Type) {
        return static_cast<iMessageListener*>(this);
    }
    return iTask::GetInterface(type);
}

void SoundManager::OnMessage(const Message& message)
{
    const std::uint32_t id = message.GetId();
    if (id != Message::kMinimizedChanged && id != Message::kActivationChanged) {
        return;
    }
    auto* flag = MessageDataAs<TemplateMessageData<bool>>(message.GetData());
    if (flag == nullptr) {
        return;
    }
    // The latest report decides: being re-activated unmutes even while the
    // window still counts as minimised.
    m_WindowMute = id == Message::kMinimizedChanged ? flag->m_Value : !flag->m_Value;
    ApplyVolumes();
}

float SoundManager::Level(float volume)
{
    volume = Clamp01(volume);
    if (volume <= kKneeVolume) {
        return volume;
    }
    return kKneeVolume * std::pow(kTopLevel / kKneeVolume, (volume - kKneeVolume) / (1.0f - kKneeVolume));
}

void SoundManager::SetSoundVolume(float volume)
{
    if (!IsSoundUp()) {
        return;
    }
    m_SoundVolume = Clamp01(volume);
    if (!m_GameMute) {
        OSND_SetSFXMasterVolume(static_cast<std::int32_t>(Level(m_SoundVolume) * 255.0f));
    }
}

void SoundManager::SetMusicVolume(float volume)
{
    if (!IsSoundUp()) {
        return;
    }
    m_MusicVolume = Clamp01(volume);
}

void SoundManager::ApplyVolumes()
{
    if (!IsSoundUp()) {
        return;
    }
    if (!IsMuted()) {
        SetSoundVolume(m_SoundVolume);
        for (SoundStream* stream : {m_CurrentStream.Get(), m_NextStream.Get()}) {
            if (stream != nullptr) {
                UpdateStreamVolume(stream, stream->GetFadeVolume());
            }
        }
        return;
    }
    OSND_SetSFXMasterVolume(0);
    for (SoundStream* stream : {m_CurrentStream.Get(), m_NextStream.Get()}) {
        if (stream != nullptr && stream->IsOpen()) {
            OSND_SetVolumeAbsolute(stream->GetChannel(), 0);
        }
    }
}

void SoundManager::UpdateStreamVolume(SoundStream* stream, float volume)
{
    stream->SetFadeVolume(Clamp01(volume));
    if (!IsMuted() && stream->IsOpen()) {
        const float level = stream->GetFadeVolume() * stream->GetVolume() * Level(m_MusicVolume) * 255.0f;
        OSND_SetVolumeAbsolute(stream->GetChannel(), static_cast<std::int32_t>(level));
    }
}

void SoundManager::PlayMusic(SoundStream* stream, float volume)
{
    if (!IsSoundUp()) {
        return;
    }
    SoundStream* current = m_CurrentStream.Get();
    if (!m_CrossFading && current != nullptr && stream != nullptr &&
        current->GetFileName() == stream->GetFileName()) {
        current->SetFade(current->GetFadeVolume(), volume, kSameMusicFadeMs);
        PlayStream(current, nullptr, kMusicMode);
        return;
    }
    if (m_CrossFading) {
        SwapStreams();
    }
    m_NextStream = stream;
    m_CrossFading = true;
    m_StartDelay = kCrossFadeDelayMs;
    if (SoundStream* outgoing = m_CurrentStream.Get()) {
        outgoing->SetFade(outgoing->GetFadeVolume(), 0.0f, kCrossFadeOutMs);
    }
    if (stream != nullptr) {
        stream->SetFade(0.0f, volume, kCrossFadeInMs);
    }
    PlayStream(stream, m_CurrentStream.Get(), kMusicMode);
}

void SoundManager::FadeMusic(float from, float to)
{
    if (!IsSoundUp()) {
        return;
    }
    SoundStream* active = m_CrossFading ? m_NextStream.Get() : m_CurrentStream.Get();
    if (active != nullptr) {
        active->SetFade(from, to, kFadeMs);
    }
}

bool SoundManager::PlayStream(SoundStream* stream, SoundStream* other, std::uint32_t mode)
{
    if (!IsSoundUp()) {
        return false;
    }
    if (other == stream) {
        return true;
    }
    m_MusicPaused = false;
    m_PausePending = false;
    if (stream == nullptr) {
        return false;
    }
    if (stream != m_CurrentStream.Get()) {
        if (m_CrossFading) {
            // The incoming music restarts from its beginning.
            CloseStream(stream);
        } else {
            CloseStream(m_CurrentStream.Get());
            m_CurrentStream = stream;
        }
    }
    if (!stream->IsOpen()) {
        OSND_STREAM* opened = OSND_Stream_Open(stream->GetFileName().c_str(), mode, 0, 0);
        if (opened == nullptr) {
            LoadFailures::Note(stream->GetFileName());
            return false;
        }
        stream->SetStream(opened);
        const GFVector<std::int32_t>& points = stream->GetSyncPoints();
        for (std::int32_t i = 0; i < points.GetCount(); ++i) {
            OSND_Stream_AddSyncPoint(opened, static_cast<std::uint32_t>(points[i]), "");
        }
    }
    if (stream->GetSavedPosition() != 0) {
        OSND_Stream_SetPosition(stream->GetStream(), static_cast<std::uint32_t>(stream->GetSavedPosition()));
        stream->SetSavedPosition(0);
    }
    stream->SetChannel(OSND_Stream_Play(OSND_FREE, stream->GetStream()));
    UpdateStreamVolume(stream, stream->GetFadeVolume());
    return stream->GetChannel() >= 0;
}

bool SoundManager::CloseStream(SoundStream* stream)
{
    if (!IsSoundUp() || stream == nullptr || !stream->IsOpen()) {
        return false;
    }
    if (!OSND_Stream_Stop(stream->GetStream()) || !OSND_Stream_Close(stream->GetStream())) {
        return false;
    }
    stream->SetStream(nullptr);
    stream->SetChannel(-1);
    return true;
}

void SoundManager::StopMusic()
{
    CloseStream(m_CurrentStream.Get());
    CloseStream(m_NextStream.Get());
}

void SoundManager::SwapStreams()
{
    CloseStream(m_CurrentStream.Get());
    std::swap(m_CurrentStream, m_NextStream);
}

bool SoundManager::PauseMusic()
{
    if (!IsSoundUp() || !m_CurrentStream || m_MusicPaused || m_PausePending) {
        return false;
    }
    if (!m_CurrentStream->IsOpen()) {
        m_PausePending = false;
        return false;
    }
    if (m_CrossFading) {
        OSND_Stream_Stop(m_CurrentStream->GetStream());
        SwapStreams();
        m_CrossFading = false;
    }
    SoundStream* current = m_CurrentStream.Get();
    if (current == nullptr || !current->IsOpen()) {
        // The incoming music that became current had not opened.
        return false;
    }
    current->SetSavedPosition(OSND_Stream_GetPosition(current->GetStream()));
    const bool stopped = OSND_Stream_Stop(current->GetStream());
    m_PausePending = false;
    if (stopped) {
        m_MusicPaused = true;
    }
    return stopped;
}

void SoundManager::AdvanceStream(SoundStream* stream, bool incoming, std::int32_t elapsed)
{
    if (incoming && m_CrossFading && m_StartDelay != 0) {
        m_StartDelay -= elapsed;
        if (m_StartDelay < 0) {
            if (stream->IsOpen()) {
                OSND_Stream_SetPosition(stream->GetStream(), 0);
            }
            m_StartDelay = 0;
        }
    } else {
        stream->AdvanceFade(elapsed);
    }
    UpdateStreamVolume(stream, stream->GetFadeVolume());
}

void SoundManager::Update(std::int32_t elapsed)
{
    if (!IsSoundUp()) {
        return;
    }
    // Music started from silence has no outgoing stream: the incoming one
    // still moves on, or it would stay silent for ever.
    if (m_CurrentStream) {
        AdvanceStream(m_CurrentStream.Get(), false, elapsed);
    }
    if (m_NextStream) {
        AdvanceStream(m_NextStream.Get(), true, elapsed);
    }
    if (m_CurrentStream && !m_CurrentStream->IsFadeDone()) {
        return;
    }
    if (m_PausePending) {
        m_PausePending = false;
        PauseMusic();
    }
    if (m_CrossFading && m_NextStream && m_NextStream->IsFadeDone()) {
        SwapStreams();
        m_CrossFading = false;
    }
}

}  // namespace Qmv2
