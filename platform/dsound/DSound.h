// Stand-in for the DirectSound interfaces the sound engine calls: the device
// object, sound buffers and their duplicates, the 3D listener and 3D buffers,
// property sets and capture. Played through OpenAL Soft (see AlDevice.h);
// the entry points are reached by loading "dsound.dll" (DirectSoundLibrary.h).
#pragma once

#include "platform/d3d9/IUnknown.h"
#include "platform/win32/WinTypes.h"
#include "platform/winmm/WinMM.h"

// Results.
#define DS_OK S_OK
#define DS_INCOMPLETE (static_cast<HRESULT>(0x08780014))
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_NOINTERFACE E_NOINTERFACE
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_GENERIC E_FAIL
#define DSERR_NODRIVER (static_cast<HRESULT>(0x88780078u))
#define DSERR_INVALIDCALL (static_cast<HRESULT>(0x88780032u))
#define DSERR_BUFFERLOST (static_cast<HRESULT>(0x88780096u))
#define DSERR_CONTROLUNAVAIL (static_cast<HRESULT>(0x8878001Eu))
#define DSERR_FXUNAVAILABLE (static_cast<HRESULT>(0x887800DCu))

// Buffer description flags.
#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRL3D 0x00000010u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_CTRLFX 0x00000200u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u
#define DSBCAPS_LOCDEFER 0x00040000u

// Play, status, lock and cooperative-level values.
#define DSBPLAY_LOOPING 0x00000001u
#define DSBPLAY_LOCHARDWARE 0x00000002u
#define DSBPLAY_LOCSOFTWARE 0x00000004u
#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_BUFFERLOST 0x00000002u
#define DSBSTATUS_LOOPING 0x00000004u
#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u
#define DSSCL_PRIORITY 0x00000002u
#define DSCAPS_EMULDRIVER 0x00000020u
#define DS3D_IMMEDIATE 0x00000000u
#define DS3D_DEFERRED 0x00000001u
#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_RIGHT 10000
#define DSBFREQUENCY_MIN 100u
#define DSBFREQUENCY_MAX 200000u
#define DSSPEAKER_HEADPHONE 1u
#define DSSPEAKER_5POINT1 6u

// Property-set support bits (IKsPropertySet::QuerySupport).
#define KSPROPERTY_SUPPORT_GET 0x00000001u
#define KSPROPERTY_SUPPORT_SET 0x00000002u

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
};

// The device's capabilities, the fields the engine reads among them.
struct DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

struct D3DVECTOR {
    float x, y, z;
};

struct DS3DLISTENER {
    DWORD dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    D3DVECTOR vOrientFront;
    D3DVECTOR vOrientTop;
    float flDistanceFactor;
    float flRolloffFactor;
    float flDopplerFactor;
};

struct DS3DBUFFER {
    DWORD dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    DWORD dwInsideConeAngle;
    DWORD dwOutsideConeAngle;
    D3DVECTOR vConeOrientation;
    LONG lConeOutsideVolume;
    float flMinDistance;
    float flMaxDistance;
    DWORD dwMode;
};

struct DSEFFECTDESC {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidDSFXClass;
    DWORD_PTR dwReserved1;
    DWORD_PTR dwReserved2;
};

// Interface identifiers of the stand-in's interfaces.
inline constexpr IID IID_IDirectSound8 = {0x4e6a0001, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xd5, 0x01}};
inline constexpr IID IID_IDirectSoundBuffer8 = {0x4e6a0002, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xd5, 0x02}};
inline constexpr IID IID_IDirectSound3DListener = {0x4e6a0003, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xd5, 0x03}};
inline constexpr IID IID_IDirectSound3DBuffer = {0x4e6a0004, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xd5, 0x04}};
inline constexpr IID IID_IKsPropertySet = {0x31efac30, 0x515c, 0x11d0, {0xa9, 0xaa, 0x00, 0xaa, 0x00, 0x61, 0xbe, 0x93}};
inline constexpr IID IID_IDirectSoundCapture8 = {0x4e6a0006, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xd5, 0x06}};
inline constexpr IID IID_IDirectSoundCaptureBuffer = {0x4e6a0007, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xd5, 0x07}};
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

struct IDirectSoundBuffer : IUnknown {
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    // Hundredths of a decibel, -10000 (silence) .. 0.
    virtual HRESULT SetVolume(LONG volume) = 0;
    // Hundredths of a decibel taken off one side: below 0 the right, above 0 the left.
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
    virtual HRESULT Restore() = 0;
};

struct IDirectSoundBuffer8 : IDirectSoundBuffer {
    virtual HRESULT SetFX(DWORD count, DSEFFECTDESC* effects, DWORD* results) = 0;
    virtual HRESULT AcquireResources(DWORD flags, DWORD count, DWORD* results) = 0;
    virtual HRESULT GetObjectInPath(REFGUID classId, DWORD index, REFIID iid, void** object) = 0;
};

struct IDirectSound3DListener : IUnknown {
    virtual HRESULT SetAllParameters(const DS3DLISTENER* listener, DWORD apply) = 0;
    virtual HRESULT CommitDeferredSettings() = 0;
};

struct IDirectSound3DBuffer : IUnknown {
    virtual HRESULT GetAllParameters(DS3DBUFFER* parameters) = 0;
    virtual HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) = 0;
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
};

struct IKsPropertySet : IUnknown {
    virtual HRESULT Get(REFGUID set, ULONG id, void* instance, ULONG instanceBytes, void* data, ULONG dataBytes,
                        ULONG* returned) = 0;
    virtual HRESULT Set(REFGUID set, ULONG id, void* instance, ULONG instanceBytes, void* data,
                        ULONG dataBytes) = 0;
    virtual HRESULT QuerySupport(REFGUID set, ULONG id, ULONG* support) = 0;
};

struct IDirectSound : IUnknown {
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                      IUnknown* outer) = 0;
    virtual HRESULT GetCaps(DSCAPS* caps) = 0;
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT SetSpeakerConfig(DWORD config) = 0;
};

struct IDirectSound8 : IDirectSound {};

// Capture.
struct DSCBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    DWORD dwFXCount;
    void* lpDSCFXDesc;
};

#define DSCBSTART_LOOPING 0x00000001u
#define DSCBSTATUS_CAPTURING 0x00000001u

struct IDirectSoundCaptureBuffer : IUnknown {
    virtual HRESULT GetCurrentPosition(DWORD* capturePosition, DWORD* readPosition) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Start(DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
};

struct IDirectSoundCapture : IUnknown {
    virtual HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* description, IDirectSoundCaptureBuffer** buffer,
                                        IUnknown* outer) = 0;
};

// Device enumeration: description, module name and the device's identifier
// (null for the default device). Returning FALSE ends the listing.
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, LPCSTR description, LPCSTR module, void* context);

extern "C" {
HRESULT DirectSoundCreate8(const GUID* device, IDirectSound8** object, IUnknown* outer);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);
HRESULT DirectSoundCaptureCreate8(const GUID* device, IDirectSoundCapture** object, IUnknown* outer);
HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, void* context);
}

// Effect classes and their interfaces, by effect type: chorus, compressor,
// distortion, echo, flanger, gargle, I3DL2 reverb, parametric equaliser,
// second reverb.
inline constexpr GUID GUID_DSFX_CLASS_BASE = {0x4e6a0100, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xfc, 0}};
inline constexpr GUID GUID_DSFX_INTERFACE_BASE = {0x4e6a0200, 0x51d2, 0x4b6e, {0x8a, 0x11, 0, 0, 0, 0, 0xfd, 0}};
constexpr int DSFX_TYPE_COUNT = 9;
inline constexpr GUID DSFX_ClassGuid(int type)
{
    GUID guid = GUID_DSFX_CLASS_BASE;
    guid.Data1 += DWORD(type);
    return guid;
}
inline constexpr GUID DSFX_InterfaceId(int type)
{
    GUID guid = GUID_DSFX_INTERFACE_BASE;
    guid.Data1 += DWORD(type);
    return guid;
}

// The parameter record of each effect type (SetAllParameters, GetAllParameters).
// Levels in decibels unless said otherwise, times in milliseconds, mixes and
// depths in percent.
struct DSFXModulationRecord {  // chorus and flanger
    float wetDryMix, depth, feedback, frequency;
    LONG waveform;  // 0 triangle, 1 sine
    float delay;
    LONG phase;  // 0..4: -180, -90, 0, 90, 180 degrees between the sides
};
struct DSFXCompressorRecord {
    float gain, attack, release, threshold, ratio, predelay;
};
struct DSFXDistortionRecord {
    float gain, edge, postEQCenterFrequency, postEQBandwidth, preLowpassCutoff;
};
struct DSFXEchoRecord {
    float wetDryMix, feedback, leftDelay, rightDelay;
    LONG panDelay;
};
struct DSFXGargleRecord {
    DWORD rateHz;
    DWORD waveShape;  // 0 triangle, 1 square
};
struct DSFXRoomReverbRecord {  // levels in hundredths of a decibel, times in seconds
    LONG room, roomHF;
    float roomRolloffFactor, decayTime, decayHFRatio;
    LONG reflections;
    float reflectionsDelay;
    LONG reverb;
    float reverbDelay, diffusion, density, hfReference;
};
struct DSFXEqualizerRecord {
    float center, bandwidth, gain;  // Hz, semitones, decibels
};
struct DSFXMusicReverbRecord {
    float inGain, reverbMix, reverbTime, highFreqRTRatio;
};

// An effect in a buffer's path: its parameters as one record, whose layout
// depends on the effect type.
struct IDirectSoundFX : IUnknown {
    virtual HRESULT SetAllParameters(const void* parameters) = 0;
    virtual HRESULT GetAllParameters(void* parameters) = 0;
};
