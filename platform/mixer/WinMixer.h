// Stand-in for the Windows mixer functions the sound engine calls, on ALSA's
// mixer interface. Each mixer device is an ALSA control device: the one named
// by QMV_MIXER_DEVICE when that is set, else every sound card. A line is
// found by its component type and maps to the ALSA element of the same
// purpose ("CD" for compact disc, "Synth" for the synthesizer; overridden by
// QMV_MIXER_CD_ELEMENT and QMV_MIXER_SYNTH_ELEMENT), never to the master
// volume, so the sound engine never changes the whole system's loudness. A
// line's volume control runs 0..65535 over the element's playback range.
#pragma once

#include "platform/winmm/WinMM.h"

struct HMIXER__;
using HMIXER = HMIXER__*;
using LPHMIXER = HMIXER*;

#define MIXER_SHORT_NAME_CHARS 16
#define MIXER_LONG_NAME_CHARS 64

#define MIXER_OBJECTF_MIXER 0x00000000u
#define MIXER_OBJECTF_HMIXER 0x80000000u
#define MIXER_GETLINEINFOF_COMPONENTTYPE 0x00000003u
#define MIXER_GETLINECONTROLSF_ONEBYTYPE 0x00000002u
#define MIXER_GETCONTROLDETAILSF_VALUE 0x00000000u
#define MIXER_SETCONTROLDETAILSF_VALUE 0x00000000u
#define MIXERR_INVALLINE 1024u
#define MIXERR_INVALCONTROL 1025u

#define MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER 0x00001004u
#define MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC 0x00001005u
#define MIXERCONTROL_CONTROLTYPE_VOLUME 0x50030001u

struct MIXERLINEA {
    DWORD cbStruct;
    DWORD dwDestination;
    DWORD dwSource;
    DWORD dwLineID;
    DWORD fdwLine;
    DWORD_PTR dwUser;
    DWORD dwComponentType;
    DWORD cChannels;
    DWORD cConnections;
    DWORD cControls;
    CHAR szShortName[MIXER_SHORT_NAME_CHARS];
    CHAR szName[MIXER_LONG_NAME_CHARS];
    struct {
        DWORD dwType;
        DWORD dwDeviceID;
        WORD wMid;
        WORD wPid;
        DWORD vDriverVersion;
        CHAR szPname[32];
    } Target;
};

struct MIXERCONTROLA {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD dwControlType;
    DWORD fdwControl;
    DWORD cMultipleItems;
    CHAR szShortName[MIXER_SHORT_NAME_CHARS];
    CHAR szName[MIXER_LONG_NAME_CHARS];
    union {
        struct {
            LONG lMinimum;
            LONG lMaximum;
        };
        struct {
            DWORD dwMinimum;
            DWORD dwMaximum;
        };
        DWORD dwReserved[6];
    } Bounds;
    union {
        DWORD cSteps;
        DWORD cbCustomData;
        DWORD dwReserved[6];
    } Metrics;
};
static_assert(sizeof(MIXERCONTROLA) == 148, "the control description is 148 bytes");

struct MIXERLINECONTROLSA {
    DWORD cbStruct;
    DWORD dwLineID;
    DWORD dwControlType;
    DWORD cControls;
    DWORD cbmxctrl;
    MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD cChannels;
    DWORD cMultipleItems;
    DWORD cbDetails;
    void* paDetails;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
    DWORD dwValue;
};

UINT mixerGetNumDevs();
MMRESULT mixerOpen(LPHMIXER mixer, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT mixerGetLineInfoA(HMIXER mixer, MIXERLINEA* line, DWORD flags);
MMRESULT mixerGetLineControlsA(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags);
MMRESULT mixerGetControlDetailsA(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerSetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerClose(HMIXER mixer);
