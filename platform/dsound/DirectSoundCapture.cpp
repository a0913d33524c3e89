// DirectSound capture: a capture buffer is a ring that a thread of its own
// fills from the capture source while it runs.
#include "platform/dsound/CaptureSource.h"
#include "platform/dsound/ComObject.h"
#include "platform/dsound/DeviceList.h"
#include "platform/dsound/DSound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace platform::dsound {

namespace {

constexpr GUID kCaptureGuidBase = {0, 0x7a32, 0x4d0b, {0x91, 0x5e, 0x43, 0x61, 0x70, 0x74, 0x75, 0x72}};

class CaptureBuffer final : public ComObject<IDirectSoundCaptureBuffer> {
public:
    CaptureBuffer(std::unique_ptr<CaptureSource> source, DWORD bytes, WORD align)
        : m_Source(std::move(source)), m_Ring(bytes / align * align), m_Align(align)
    {
    }
    ~CaptureBuffer() override { Stop(); }

    void* Find(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDirectSoundCaptureBuffer ? this : nullptr;
    }

    HRESULT GetCurrentPosition(DWORD* capture, DWORD* read) override
    {
        const DWORD position = m_Position.load();
        if (capture) {
            *capture = position;
        }
        if (read) {
            *read = position;
        }
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD) override
    {
        const DWORD size = DWORD(m_Ring.size());
        if (!part1 || !bytes1 || offset >= size || bytes > size) {
            return DSERR_INVALIDPARAM;
        }
        // Held until Unlock: the capture thread does not write while the reader copies.
        m_RingLock.lock();
        *part1 = m_Ring.data() + offset;
        *bytes1 = std::min(bytes, size - offset);
        if (part2) {
            *part2 = offset + bytes > size ? m_Ring.data() : nullptr;
        }
        if (bytes2) {
            *bytes2 = offset + bytes > size ? offset + bytes - size : 0;
        }
        return DS_OK;
    }

    HRESULT Unlock(void*, DWORD, void*, DWORD) override
    {
        m_RingLock.unlock();
        return DS_OK;
    }

    HRESULT Start(DWORD flags) override
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_Thread.joinable()) {
            return DS_OK;
        }
        if (!m_Source->Start()) {
            return DSERR_GENERIC;
        }
        m_Looping = (flags & DSCBSTART_LOOPING) != 0;
        m_Stop = false;
        m_Thread = std::thread([this] { Run(); });
        return DS_OK;
    }

    HRESULT Stop() override
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Stop = true;
        if (m_Thread.joinable()) {
            m_Thread.join();
            m_Source->Stop();
        }
        return DS_OK;
    }

private:
    void Run()
    {
        const DWORD size = DWORD(m_Ring.size());
        while (!m_Stop) {
            int frames = m_Source->Available();
            while (frames > 0 && !m_Stop) {
                const DWORD position = m_Position.load();
                const int room = int((size - position) / m_Align);
                const int n = std::min(frames, room);
                {
                    std::lock_guard<std::mutex> hold(m_RingLock);
                    m_Source->Read(m_Ring.data() + position, n);
                }
                frames -= n;
                DWORD next = position + DWORD(n) * m_Align;
                if (next >= size) {
                    next = 0;
                    if (!m_Looping) {
                        m_Stop = true;  // a one-pass buffer ends when full
                    }
                }
                m_Position = next;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::unique_ptr<CaptureSource> m_Source;
    std::vector<std::uint8_t> m_Ring;
    WORD m_Align;
    std::atomic<DWORD> m_Position{0};
    std::atomic<bool> m_Stop{false};
    bool m_Looping = false;
    std::mutex m_Lock;
    std::mutex m_RingLock;
    std::thread m_Thread;
};

class DirectSoundCapture final : public ComObject<IDirectSoundCapture> {
public:
    explicit DirectSoundCapture(std::string name) : m_Name(std::move(name)) {}

    void* Find(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDirectSoundCapture8 ? this : nullptr;
    }

    HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* d, IDirectSoundCaptureBuffer** buffer, IUnknown* outer) override
    {
        if (!d || !buffer || outer || d->dwSize < 20 || !d->lpwfxFormat) {
            return DSERR_INVALIDPARAM;
        }
        *buffer = nullptr;
        const WAVEFORMATEX& f = *d->lpwfxFormat;
        if (f.wFormatTag != WAVE_FORMAT_PCM || (f.nChannels != 1 && f.nChannels != 2) ||
            (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) || f.nSamplesPerSec == 0) {
            return DSERR_INVALIDPARAM;
        }
        const WORD align = WORD(f.nChannels * f.wBitsPerSample / 8);
        if (d->dwBufferBytes < align) {
            return DSERR_INVALIDPARAM;
        }
        std::unique_ptr<CaptureSource> source =
            OpenCaptureSource(m_Name, int(f.nSamplesPerSec), f.nChannels, f.wBitsPerSample);
        if (!source) {
            return DSERR_NODRIVER;
        }
        *buffer = new CaptureBuffer(std::move(source), d->dwBufferBytes, align);
        return DS_OK;
    }

private:
    std::string m_Name;
};

}  // namespace

}  // namespace platform::dsound

using namespace platform::dsound;

extern "C" HRESULT DirectSoundCaptureCreate8(const GUID* guid, IDirectSoundCapture** object, IUnknown* outer)
{
    if (!object || outer) {
        return DSERR_INVALIDPARAM;
    }
    *object = nullptr;
    const std::vector<std::string> names = CaptureDeviceNames();
    std::string name;
    if (names.empty() || !DeviceName(guid, kCaptureGuidBase, names, &name)) {
        return DSERR_NODRIVER;
    }
    *object = new DirectSoundCapture(name);
    return DS_OK;
}

extern "C" HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, void* context)
{
    return ListDevices(CaptureDeviceNames(), kCaptureGuidBase, "Primary Sound Capture Driver", callback, context);
}
