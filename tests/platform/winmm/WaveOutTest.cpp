// The wave stand-ins on SDL's dummy audio driver (set for every test).
#include "platform/winmm/WinMM.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace wave_out_test {

namespace {

WAVEFORMATEX Pcm16(int channels, int rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = WORD(channels);
    f.nSamplesPerSec = DWORD(rate);
    f.wBitsPerSample = 16;
    f.nBlockAlign = WORD(channels * 2);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

DWORD Position(HWAVEOUT out) {
    MMTIME t{};
    t.wType = TIME_BYTES;
    EXPECT_EQ(waveOutGetPosition(out, &t, sizeof t), MMSYSERR_NOERROR);
    return t.u.cb;
}

std::atomic<int> gDone{0};
void OnDone(HANDLE, UINT message, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    if (message == WOM_DONE || message == WIM_DATA) ++gDone;
}

// A header the device thread returns is polled as a program would poll it;
// the device sets WHDR_DONE before it sends the message.
bool IsDone(WAVEHDR& h) { return std::atomic_ref<DWORD>(h.dwFlags).load(std::memory_order_acquire) & WHDR_DONE; }

// Waits until the header is done and `messages` were sent (a minute at the
// most: a deadline only a device thread that never returns it misses).
bool WaitDone(WAVEHDR& h, int messages) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!(IsDone(h) && gDone.load() >= messages) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return IsDone(h) && gDone.load() >= messages;
}

}  // namespace

TEST(WaveOut, LoopingBufferPlaysPastItsLengthUntilReset) {
    ASSERT_GE(waveOutGetNumDevs(), 1u);
    WAVEOUTCAPSA caps{};
    EXPECT_EQ(waveOutGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_NE(caps.szPname[0], '\0');
    HWAVEOUT out = nullptr;
    const WAVEFORMATEX format = Pcm16(2, 44100);
    ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<char> data(4096 * 4);  // 4096 frames, about 93 ms
    WAVEHDR h{};
    h.lpData = data.data();
    h.dwBufferLength = DWORD(data.size());
    h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    h.dwLoops = 0xFFFFFFFFu;
    EXPECT_EQ(waveOutWrite(out, &h, sizeof h), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &h, sizeof h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(out, &h, sizeof h), WAVERR_STILLPLAYING);

    DWORD last = 0;
    bool monotonic = true;
    // A starved device thread plays late, not less: the deadline only catches one that stopped.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Position(out) < 3 * data.size() && std::chrono::steady_clock::now() < until) {
        const DWORD now = Position(out);
        if (now < last) monotonic = false;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(monotonic);
    EXPECT_GE(Position(out), 3 * data.size());  // looped at least twice, never reset
    EXPECT_EQ(Position(out) % 4, 0u);            // whole frames only

    EXPECT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.dwFlags & WHDR_DONE);
    EXPECT_FALSE(h.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutUnprepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(out, &h, sizeof h), MMSYSERR_INVALHANDLE);  // stale handle
}

TEST(WaveOut, OneShotHeaderIsReturnedWithItsMessage) {
    gDone = 0;
    HWAVEOUT out = nullptr;
    const WAVEFORMATEX format = Pcm16(1, 22050);
    ASSERT_EQ(waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(&OnDone), 0, CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<char> data(2048);
    WAVEHDR h{};
    h.lpData = data.data();
    h.dwBufferLength = DWORD(data.size());
    ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &h, sizeof h), MMSYSERR_NOERROR);
    EXPECT_TRUE(WaitDone(h, 1));
    EXPECT_EQ(gDone.load(), 1);
    // A starved device holds its position.
    const DWORD at = Position(out);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(Position(out), at);
    EXPECT_EQ(at, DWORD(data.size()));
    waveOutClose(out);
}

TEST(WaveOut, RefusesFormatsItCannotPlay) {
    HWAVEOUT out = nullptr;
    WAVEFORMATEX f = Pcm16(2, 44100);
    f.wBitsPerSample = 24;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    f = Pcm16(2, 44100);
    f.nBlockAlign = 3;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    f = Pcm16(6, 44100);
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    EXPECT_EQ(out, nullptr);
    f = Pcm16(2, 44100);
    EXPECT_EQ(waveOutOpen(&out, 57, &f, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

TEST(WaveIn, CapturedPiecesFillHeadersInOrder) {
    ASSERT_GE(waveInGetNumDevs(), 1u);
    gDone = 0;
    HWAVEIN in = nullptr;
    const WAVEFORMATEX format = Pcm16(2, 44100);
    ASSERT_EQ(waveInOpen(&in, 0, &format, reinterpret_cast<DWORD_PTR>(&OnDone), 0, CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<std::vector<char>> buffers(3, std::vector<char>(880));
    std::vector<WAVEHDR> headers(3);
    for (int i = 0; i < 3; ++i) {
        headers[i].lpData = buffers[i].data();
        headers[i].dwBufferLength = 880;
        ASSERT_EQ(waveInPrepareHeader(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
    EXPECT_TRUE(WaitDone(headers[2], 3));
    for (WAVEHDR& h : headers) {
        EXPECT_TRUE(IsDone(h));
        EXPECT_EQ(h.dwBytesRecorded, 880u);
    }
    EXPECT_EQ(gDone.load(), 3);
    EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

}  // namespace wave_out_test
