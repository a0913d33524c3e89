#include "platform/winmm/WaveOutDevice.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsLoop(const WAVEHDR* h) {
    return (h->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
}

}  // namespace

WaveOutDevice* WaveOutDevice::From(HWAVEOUT handle) {
    return static_cast<WaveOutDevice*>(WaveDevice::FromHandle(handle, false));
}

MMRESULT WaveOutDevice::Write(WAVEHDR* header) {
    const MMRESULT result = Enqueue(header);
    if (result == MMSYSERR_NOERROR) Pause(false);
    return result;
}

void WaveOutDevice::OnReset() {
    m_Offset = 0;
    m_FrontStarted = false;
    m_BytesPlayed = 0;
}

uint64_t WaveOutDevice::BytesPlayed() {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_BytesPlayed;
}

void WaveOutDevice::Process(Uint8* stream, int bytes) {
    int done = 0;
    while (done < bytes && !m_Queue.empty()) {
        WAVEHDR* h = m_Queue.front();
        if (!m_FrontStarted) {
            m_FrontStarted = true;
            m_Offset = 0;
            m_LoopsLeft = IsLoop(h) ? std::max<DWORD>(h->dwLoops, 1) : 1;
        }
        const DWORD available = h->dwBufferLength > m_Offset ? h->dwBufferLength - m_Offset : 0;
        const DWORD take = std::min<DWORD>(available, DWORD(bytes - done));
        if (take > 0) std::memcpy(stream + done, h->lpData + m_Offset, take);
        done += int(take);
        m_Offset += take;
        if (m_Offset >= h->dwBufferLength) {
            m_Offset = 0;
            // An endless loop (0xFFFFFFFF) lasts far longer than any run.
            if (--m_LoopsLeft == 0 || h->dwBufferLength == 0) {
                MarkDone(h);
                m_Queue.pop_front();
                m_FrontStarted = false;
                m_Finished.push_back(h);
            }
        }
    }
    m_BytesPlayed += uint64_t(done);
    // Starved: silence, and the position stands still.
    const Uint8 silence = format().wBitsPerSample == 8 ? 0x80 : 0x00;
    if (done < bytes) std::memset(stream + done, silence, size_t(bytes - done));
}

UINT waveOutGetNumDevs() { return WaveDevice::DeviceCount(false); }

MMRESULT waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size) {
    return WaveDevice::GetCaps(false, device, caps, size);
}

MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
    return WaveDevice::OpenHandle<WaveOutDevice>(handle, device, format, callback, instance, flags);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    WaveOutDevice* d = WaveOutDevice::From(handle);
    return d ? d->PrepareHeader(header, size, WHDR_BEGINLOOP | WHDR_ENDLOOP) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    WaveOutDevice* d = WaveOutDevice::From(handle);
    return d ? d->UnprepareHeader(header, size) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    WaveOutDevice* d = WaveOutDevice::From(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return d->Write(header);
}

MMRESULT waveOutGetPosition(HWAVEOUT handle, LPMMTIME time, UINT size) {
    WaveOutDevice* d = WaveOutDevice::From(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!time || size < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
    const uint64_t bytes = d->BytesPlayed();
    const WAVEFORMATEX& f = d->format();
    switch (time->wType) {
        case TIME_SAMPLES:
            time->u.sample = DWORD(bytes / f.nBlockAlign);
            break;
        case TIME_MS:
            time->u.ms = DWORD(bytes * 1000 / f.nAvgBytesPerSec);
            break;
        default:
            time->wType = TIME_BYTES;
            time->u.cb = DWORD(bytes);  // the 32-bit view wraps; callers extend it
            break;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT handle) {
    WaveOutDevice* d = WaveOutDevice::From(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    return d->Reset();
}

MMRESULT waveOutClose(HWAVEOUT handle) {
    return WaveDevice::CloseHandle(WaveOutDevice::From(handle));
}
