#include "platform/winmm/WaveInDevice.h"

#include <algorithm>
#include <cstring>

WaveInDevice* WaveInDevice::From(HWAVEIN handle) {
    return static_cast<WaveInDevice*>(WaveDevice::FromHandle(handle, true));
}

MMRESULT WaveInDevice::Start() {
    Pause(false);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::Stop() {
    Pause(true);
    return MMSYSERR_NOERROR;
}

void WaveInDevice::Process(Uint8* stream, int bytes) {
    int done = 0;
    while (done < bytes && !m_Queue.empty()) {
        WAVEHDR* h = m_Queue.front();
        const DWORD room = h->dwBufferLength - std::min(h->dwBufferLength, h->dwBytesRecorded);
        const DWORD take = std::min<DWORD>(room, DWORD(bytes - done));
        std::memcpy(h->lpData + h->dwBytesRecorded, stream + done, take);
        h->dwBytesRecorded += take;
        done += int(take);
        if (h->dwBytesRecorded >= h->dwBufferLength) {
            MarkDone(h);
            m_Queue.pop_front();
            m_Finished.push_back(h);
        }
    }
    // Bytes with no header to take them are lost, as with a starved device.
}

UINT waveInGetNumDevs() { return WaveDevice::DeviceCount(true); }

MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size) {
    return WaveDevice::GetCaps(true, device, caps, size);
}

MMRESULT waveInOpen(LPHWAVEIN handle, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags) {
    return WaveDevice::OpenHandle<WaveInDevice>(handle, device, format, callback, instance, flags);
}

MMRESULT waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    WaveInDevice* d = WaveInDevice::From(handle);
    return d ? d->PrepareHeader(header, size, 0) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    WaveInDevice* d = WaveInDevice::From(handle);
    return d ? d->UnprepareHeader(header, size) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInAddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    WaveInDevice* d = WaveInDevice::From(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return d->Enqueue(header);
}

MMRESULT waveInStart(HWAVEIN handle) {
    WaveInDevice* d = WaveInDevice::From(handle);
    return d ? d->Start() : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInStop(HWAVEIN handle) {
    WaveInDevice* d = WaveInDevice::From(handle);
    return d ? d->Stop() : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInReset(HWAVEIN handle) {
    WaveInDevice* d = WaveInDevice::From(handle);
    return d ? d->Reset() : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInClose(HWAVEIN handle) {
    return WaveDevice::CloseHandle(WaveInDevice::From(handle));
}
