#include "platform/dsound/Voice.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <cmath>

namespace platform::dsound {

namespace {

// Segments of about 10 ms of the buffer's own frames; four of them queued.
constexpr std::size_t kDepth = 4;

int Sample(const std::uint8_t* frame, const WAVEFORMATEX& format, int channel)
{
    if (format.wBitsPerSample == 8) {
        return (int(frame[channel]) - 128) * 256;
    }
    return std::int16_t(frame[2 * channel] | (frame[2 * channel + 1] << 8));
}

std::int16_t Clip(float value)
{
    return std::int16_t(std::clamp(std::lround(value), -32768L, 32767L));
}

}  // namespace

Voice::Voice(std::shared_ptr<AlDevice> device, std::shared_ptr<BufferData> data, bool positional)
    : m_Device(std::move(device)), m_Data(std::move(data)), m_Positional(positional)
{
    m_Device->Add(this);
}

Voice::~Voice()
{
    m_Device->Remove(this);
    m_Device->MakeCurrent();
    if (m_Source) {
        alSourceStop(m_Source);
        alSourcei(m_Source, AL_BUFFER, 0);
        alDeleteSources(1, &m_Source);
    }
    m_Effects.clear();  // their slots go once no source sends to them
    for (const Segment& s : m_Queued) {
        alDeleteBuffers(1, &s.buffer);
    }
    if (!m_Spare.empty()) {
        alDeleteBuffers(ALsizei(m_Spare.size()), m_Spare.data());
    }
    for (ALuint filter : m_Filters) {
        if (filter) {
            alDeleteFilters(1, &filter);
        }
    }
}

void Voice::SetSendGains(std::int32_t direct, std::int32_t directHF, std::int32_t room, std::int32_t roomHF)
{
    m_Gains[0] = direct;
    m_Gains[1] = directHF;
    m_Gains[2] = room;
    m_Gains[3] = roomHF;
    Route();
}

void Voice::SetEffects(std::vector<std::shared_ptr<EffectUnit>> effects)
{
    // The sends let go of the old slots before those can be deleted.
    if (m_Source) {
        m_Device->MakeCurrent();
        const int first = m_Positional ? 1 : 0;
        for (int send = first; send < first + EffectSends(); ++send) {
            alSource3i(m_Source, AL_AUXILIARY_SEND_FILTER, AL_EFFECTSLOT_NULL, send, AL_FILTER_NULL);
        }
    }
    m_Effects = std::move(effects);
    Route();
}

int Voice::EffectSends() const
{
    ALCint sends = 0;
    alcGetIntegerv(m_Device->Device(), ALC_MAX_AUXILIARY_SENDS, 1, &sends);
    sends = std::min<ALCint>(sends, kMaxSends);
    return std::max(0, int(sends) - (m_Positional ? 1 : 0));
}

ALuint Voice::Filter(int index)
{
    if (!m_Filters[index]) {
        alGenFilters(1, &m_Filters[index]);
        alFilteri(m_Filters[index], AL_FILTER_TYPE, AL_FILTER_LOWPASS);
    }
    return m_Filters[index];
}

void Voice::Route()
{
    const ALuint reverb = m_Device->ReverbSlot();
    if (!m_Source || !reverb) {
        return;
    }
    m_Device->MakeCurrent();
    auto linear = [](std::int32_t millibels) {
        return std::clamp(float(std::pow(10.0, millibels / 2000.0)), 0.0f, 1.0f);
    };
    // The direct path: the buffer's own direct gains and what the effects leave of the dry sound.
    float dry = m_Positional ? linear(m_Gains[0]) : 1.0f;
    for (const auto& effect : m_Effects) {
        dry *= effect->DryGain();
    }
    alFilterf(Filter(0), AL_LOWPASS_GAIN, dry);
    alFilterf(Filter(0), AL_LOWPASS_GAINHF, m_Positional ? linear(m_Gains[1]) : 1.0f);
    alSourcei(m_Source, AL_DIRECT_FILTER, ALint(Filter(0)));
    int send = 0;
    if (m_Positional) {
        alFilterf(Filter(1), AL_LOWPASS_GAIN, linear(m_Gains[2]));
        alFilterf(Filter(1), AL_LOWPASS_GAINHF, linear(m_Gains[3]));
        alSource3i(m_Source, AL_AUXILIARY_SEND_FILTER, ALint(reverb), 0, ALint(Filter(1)));
        send = 1;
    }
    const int sends = std::min(EffectSends() + send, kMaxSends);
    for (std::size_t i = 0; i < m_Effects.size() && send < sends; ++i, ++send) {
        alFilterf(Filter(send + 1), AL_LOWPASS_GAIN, m_Effects[i]->WetGain());
        alFilterf(Filter(send + 1), AL_LOWPASS_GAINHF, 1.0f);
        alSource3i(m_Source, AL_AUXILIARY_SEND_FILTER, ALint(m_Effects[i]->Slot()), send, ALint(Filter(send + 1)));
    }
    for (; send < sends; ++send) {
        alSource3i(m_Source, AL_AUXILIARY_SEND_FILTER, AL_EFFECTSLOT_NULL, send, AL_FILTER_NULL);
    }
}

bool Voice::EnsureSource()
{
    if (m_Source) {
        return true;
    }
    m_Device->MakeCurrent();
    alGetError();
    alGenSources(1, &m_Source);
    if (alGetError() != AL_NO_ERROR) {
        m_Source = 0;
        return false;
    }
    alSourcef(m_Source, AL_PITCH, m_Pitch);
    if (m_Positional) {
        alSourcef(m_Source, AL_GAIN, m_Left);
        if (m_HavePlacement) {
            SetPlacement(m_Placement, m_Rolloff);
        }
    } else {
        // Straight to the left and right outputs; the gains are in the data.
        alSourcei(m_Source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
        alSourcei(m_Source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(m_Source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(m_Source, AL_ROLLOFF_FACTOR, 0.0f);
    }
    Route();
    return true;
}

HRESULT Voice::Play(bool looping)
{
    const WORD align = m_Data->format.nBlockAlign;
    if (Size() < align || align == 0) {
        return DSERR_INVALIDCALL;
    }
    if (!EnsureSource()) {
        return DSERR_OUTOFMEMORY;
    }
    m_Looping = looping;
    m_Playing = true;
    Pump();
    return DS_OK;
}

void Voice::ClearQueue()
{
    if (!m_Source) {
        return;
    }
    alSourceStop(m_Source);
    alSourcei(m_Source, AL_BUFFER, 0);
    for (const Segment& s : m_Queued) {
        m_Spare.push_back(s.buffer);
    }
    m_Queued.clear();
}

void Voice::Stop()
{
    m_Device->MakeCurrent();
    const DWORD cursor = PlayCursor();
    ClearQueue();
    m_Playing = false;
    m_Cursor = cursor;
    m_Read = cursor;
}

DWORD Voice::PlayCursor()
{
    if (m_Queued.empty() || !m_Source) {
        return m_Cursor;
    }
    m_Device->MakeCurrent();
    ALint offset = 0;
    alGetSourcei(m_Source, AL_SAMPLE_OFFSET, &offset);
    // The offset counts from the head of OpenAL's queue, played segments
    // not yet taken back included.
    const DWORD align = m_Data->format.nBlockAlign;
    DWORD bytes = DWORD(std::max(offset, 0)) * align;
    for (const Segment& s : m_Queued) {
        if (bytes < s.bytes) {
            return (s.start + bytes) % Size();
        }
        bytes -= s.bytes;
    }
    return (m_Queued.back().start + m_Queued.back().bytes) % Size();
}

void Voice::SetCursor(DWORD position)
{
    const DWORD align = m_Data->format.nBlockAlign;
    position = std::min(position, Size() - 1) / align * align;
    m_Device->MakeCurrent();
    ClearQueue();
    m_Cursor = m_Read = position;
    if (m_Playing) {
        Pump();
    }
}

void Voice::SetGains(float left, float right)
{
    m_Left = left;
    m_Right = right;
    if (m_Positional && m_Source) {
        m_Device->MakeCurrent();
        alSourcef(m_Source, AL_GAIN, left);
    }
}

void Voice::SetPitch(float pitch)
{
    m_Pitch = pitch;
    if (m_Source) {
        m_Device->MakeCurrent();
        alSourcef(m_Source, AL_PITCH, pitch);
    }
}

void Voice::SetPlacement(const DS3DBUFFER& p, float rolloff)
{
    m_Placement = p;
    m_Rolloff = rolloff;
    m_HavePlacement = true;
    if (!m_Positional || !m_Source) {
        return;
    }
    m_Device->MakeCurrent();
    // Left-handed coordinates (z into the screen) to OpenAL's right-handed ones.
    alSource3f(m_Source, AL_POSITION, p.vPosition.x, p.vPosition.y, -p.vPosition.z);
    alSource3f(m_Source, AL_VELOCITY, p.vVelocity.x, p.vVelocity.y, -p.vVelocity.z);
    alSourcef(m_Source, AL_REFERENCE_DISTANCE, std::max(p.flMinDistance, 0.0f));
    alSourcef(m_Source, AL_MAX_DISTANCE, std::max(p.flMaxDistance, p.flMinDistance));
    alSourcef(m_Source, AL_ROLLOFF_FACTOR, std::max(rolloff, 0.0f));
    // Mode 1 (head-relative) places the sound relative to the listener.
    alSourcei(m_Source, AL_SOURCE_RELATIVE, p.dwMode == 1 ? AL_TRUE : AL_FALSE);
}

void Voice::Upload()
{
    const WAVEFORMATEX& format = m_Data->format;
    const DWORD align = format.nBlockAlign;
    const DWORD segmentFrames = std::max<DWORD>(64, format.nSamplesPerSec / 100);
    if (m_Read >= Size()) {
        m_Read = 0;  // only reached when looping
    }
    const DWORD frames = std::min(segmentFrames, (Size() - m_Read) / align);
    if (frames == 0) {
        m_Read = Size();
        return;
    }
    const std::uint8_t* source = m_Data->committed.data() + m_Read;
    std::vector<std::int16_t> pcm(m_Positional ? frames : 2 * frames);
    const int channels = format.nChannels;
    for (DWORD f = 0; f < frames; ++f, source += align) {
        const int left = Sample(source, format, 0);
        const int right = channels > 1 ? Sample(source, format, 1) : left;
        if (m_Positional) {
            pcm[f] = std::int16_t((left + right) / 2);
        } else {
            pcm[2 * f] = Clip(float(left) * m_Left);
            pcm[2 * f + 1] = Clip(float(right) * m_Right);
        }
    }
    ALuint buffer = 0;
    if (!m_Spare.empty()) {
        buffer = m_Spare.back();
        m_Spare.pop_back();
    } else {
        alGenBuffers(1, &buffer);
    }
    alBufferData(buffer, m_Positional ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, pcm.data(),
                 ALsizei(pcm.size() * sizeof(std::int16_t)), ALsizei(format.nSamplesPerSec));
    alSourceQueueBuffers(m_Source, 1, &buffer);
    m_Queued.push_back({buffer, m_Read, frames * align});
    m_Read += frames * align;
    if (m_Read >= Size() && m_Looping) {
        m_Read = 0;
    }
}

void Voice::Pump()
{
    if (!m_Source) {
        return;
    }
    ALint processed = 0;
    alGetSourcei(m_Source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0 && !m_Queued.empty(); --processed) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(m_Source, 1, &buffer);
        const Segment s = m_Queued.front();
        m_Queued.pop_front();
        m_Cursor = (s.start + s.bytes) % Size();
        m_Spare.push_back(buffer);
    }
    if (!m_Playing) {
        return;
    }
    while (m_Queued.size() < kDepth && (m_Looping || m_Read < Size())) {
        Upload();
    }
    if (m_Queued.empty()) {
        // A one-shot buffer has played to its end: it stops at its start.
        m_Playing = false;
        m_Cursor = m_Read = 0;
        return;
    }
    ALint state = AL_STOPPED;
    alGetSourcei(m_Source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
        alSourcePlay(m_Source);
    }
}

}  // namespace platform::dsound
