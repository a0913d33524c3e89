// The WinMM wave-out and wave-in interfaces the sound engine calls, backed by
// SDL2 audio devices. Output plays the queued headers (a header marked as a
// loop is played again and again, read live from the caller's memory);
// input fills queued headers from a capture device.
#pragma once

#include "platform/win32/WinTypes.h"

using MMRESULT = UINT;

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using LPHWAVEOUT = HWAVEOUT*;
struct HWAVEIN__;
using HWAVEIN = HWAVEIN__*;
using LPHWAVEIN = HWAVEIN*;

#define MMSYSERR_NOERROR 0u
#define MMSYSERR_ERROR 1u
#define MMSYSERR_BADDEVICEID 2u
#define MMSYSERR_ALLOCATED 4u
#define MMSYSERR_INVALHANDLE 5u
#define MMSYSERR_NODRIVER 6u
#define MMSYSERR_NOMEM 7u
#define MMSYSERR_INVALFLAG 10u
#define MMSYSERR_INVALPARAM 11u
#define WAVERR_BADFORMAT 32u
#define WAVERR_STILLPLAYING 33u
#define WAVERR_UNPREPARED 34u

#define WAVE_MAPPER (static_cast<UINT>(-1))
#define WAVE_FORMAT_PCM 1

#define WHDR_DONE 0x01u
#define WHDR_PREPARED 0x02u
#define WHDR_BEGINLOOP 0x04u
#define WHDR_ENDLOOP 0x08u
#define WHDR_INQUEUE 0x10u

#define CALLBACK_NULL 0x00000u
#define CALLBACK_FUNCTION 0x30000u
#define CALLBACK_TYPEMASK 0x70000u

#define TIME_MS 0x01u
#define TIME_SAMPLES 0x02u
#define TIME_BYTES 0x04u

#define WOM_OPEN 0x3BBu
#define WOM_CLOSE 0x3BCu
#define WOM_DONE 0x3BDu
#define WIM_OPEN 0x3BEu
#define WIM_CLOSE 0x3BFu
#define WIM_DATA 0x3C0u

#define MAXPNAMELEN 32

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
    } u;
};
using LPMMTIME = MMTIME*;

struct WAVEOUTCAPSA {
    WORD wMid;
    WORD wPid;
    UINT vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
    DWORD dwSupport;
};

struct WAVEINCAPSA {
    WORD wMid;
    WORD wPid;
    UINT vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};

// The function a device calls for its messages (CALLBACK_FUNCTION): handle,
// message, instance data, first and second parameter (the header for
// WOM_DONE and WIM_DATA). It runs on the audio thread and must not call back
// into the wave functions.
using WAVECALLBACK = void (*)(HANDLE device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);

UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsA(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size);
MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size);
MMRESULT waveOutGetPosition(HWAVEOUT handle, LPMMTIME time, UINT size);
MMRESULT waveOutReset(HWAVEOUT handle);
MMRESULT waveOutClose(HWAVEOUT handle);

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(UINT_PTR device, WAVEINCAPSA* caps, UINT size);
MMRESULT waveInOpen(LPHWAVEIN handle, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags);
MMRESULT waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size);
MMRESULT waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size);
MMRESULT waveInAddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size);
MMRESULT waveInStart(HWAVEIN handle);
MMRESULT waveInStop(HWAVEIN handle);
MMRESULT waveInReset(HWAVEIN handle);
MMRESULT waveInClose(HWAVEIN handle);
