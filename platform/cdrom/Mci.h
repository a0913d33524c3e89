// MCI's CD audio device on a drive that takes SCSI commands (CdDrive.h): the
// drive plays audio by itself (PLAY AUDIO MSF), pauses and resumes, and
// reports where it is (READ SUB-CHANNEL). Only what a CD player asks is
// there: open by device type with the drive letter as element, status items,
// the TMSF time format, play (from a position), pause, stop and close.
// Completion notices (MCI_NOTIFY) are accepted and not sent.
#pragma once

#include "platform/win32/WinTypes.h"

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;

#define MCI_OPEN 0x0803u
#define MCI_CLOSE 0x0804u
#define MCI_PLAY 0x0806u
#define MCI_STOP 0x0808u
#define MCI_PAUSE 0x0809u
#define MCI_SET 0x080Du
#define MCI_STATUS 0x0814u

#define MCI_NOTIFY 0x00000001u
#define MCI_WAIT 0x00000002u
#define MCI_FROM 0x00000004u
#define MCI_TO 0x00000008u
#define MCI_TRACK 0x00000010u
#define MCI_OPEN_SHAREABLE 0x00000100u
#define MCI_OPEN_ELEMENT 0x00000200u
#define MCI_OPEN_TYPE_ID 0x00001000u
#define MCI_OPEN_TYPE 0x00002000u
#define MCI_STATUS_ITEM 0x00000100u
#define MCI_SET_TIME_FORMAT 0x00000400u

#define MCI_DEVTYPE_CD_AUDIO 516u
#define MCI_FORMAT_MSF 2u
#define MCI_FORMAT_TMSF 10u

#define MCI_STATUS_LENGTH 1u
#define MCI_STATUS_POSITION 2u
#define MCI_STATUS_NUMBER_OF_TRACKS 3u
#define MCI_STATUS_MEDIA_PRESENT 7u
#define MCI_STATUS_CURRENT_TRACK 8u
#define MCI_CDA_STATUS_TYPE_TRACK 0x00004001u
#define MCI_CDA_TRACK_AUDIO 0x440u
#define MCI_CDA_TRACK_OTHER 0x441u

#define MCIERR_INVALID_DEVICE_ID 257u
#define MCIERR_HARDWARE 262u
#define MCIERR_INVALID_DEVICE_NAME 263u
#define MCIERR_UNSUPPORTED_FUNCTION 274u
#define MCIERR_DEVICE_NOT_READY 276u
#define MCIERR_OUTOFRANGE 282u

struct MCI_GENERIC_PARMS {
  DWORD_PTR dwCallback;
};
struct MCI_OPEN_PARMSA {
  DWORD_PTR dwCallback;
  MCIDEVICEID wDeviceID;
  LPCSTR lpstrDeviceType;  // with MCI_OPEN_TYPE_ID: the type number
  LPCSTR lpstrElementName;
  LPCSTR lpstrAlias;
};
struct MCI_STATUS_PARMS {
  DWORD_PTR dwCallback;
  DWORD_PTR dwReturn;
  DWORD dwItem;
  DWORD dwTrack;
};
struct MCI_PLAY_PARMS {
  DWORD_PTR dwCallback;
  DWORD dwFrom;
  DWORD dwTo;
};
struct MCI_SET_PARMS {
  DWORD_PTR dwCallback;
  DWORD dwTimeFormat;
  DWORD dwAudio;
};

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters);
BOOL mciGetErrorStringA(MCIERROR error, LPSTR text, UINT size);

// TMSF and MSF values: track (TMSF only) in the low byte, then minutes, seconds, frames.
#define MCI_MAKE_TMSF(t, m, s, f) \
  (DWORD(BYTE(t)) | (DWORD(BYTE(m)) << 8) | (DWORD(BYTE(s)) << 16) | (DWORD(BYTE(f)) << 24))
#define MCI_MAKE_MSF(m, s, f) (DWORD(BYTE(m)) | (DWORD(BYTE(s)) << 8) | (DWORD(BYTE(f)) << 16))
