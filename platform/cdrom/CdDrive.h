// CD drives under drive letters, driven by SCSI commands.
//
// Letter D: is /dev/sr0, E: /dev/sr1, and so on up to Z:. A drive is opened
// as "\\.\D:" would be on Windows and takes SCSI command blocks through
// Linux's SCSI generic interface (the SG_IO request), which every CD device
// node answers. What fails is told through the thread's last error code with
// the numbers the pass-through callers test: ERROR_INVALID_HANDLE for a handle
// that is no longer good, ERROR_MEDIA_CHANGED after a disc change (both worth
// one reopen and retry), ERROR_SEM_TIMEOUT and ERROR_IO_DEVICE otherwise.
//
// The device calls (open, ioctl, close) go through a table that a test may
// replace with a device of its own, so that everything above the ioctl
// boundary runs as it would on a drive.
#pragma once

#include "platform/win32/WinLastError.h"
#include "platform/win32/WinTypes.h"

#include <cstdint>

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_CDROM 5

#define ERROR_SEM_TIMEOUT 121L
#define ERROR_MEDIA_CHANGED 1110L
#define ERROR_IO_DEVICE 1117L

namespace cdrom {

// Direction of a command's data.
enum { DATA_NONE = 0, DATA_IN = 1, DATA_OUT = 2 };

// One SCSI command and what came back.
struct PassThrough {
  uint8_t cdb[16];
  int cdbLength;
  int direction;
  void *data;
  uint32_t dataLength;
  uint32_t timeoutMs;
  uint8_t sense[32];
  int senseLength;     // out: sense bytes the device returned
  uint8_t scsiStatus;  // out: 0 good, 2 check condition, ...
  uint32_t transferred;  // out: data bytes moved
};

// Host adapter, bus, target and LUN of a device.
struct Address {
  int port;
  int path;
  int target;
  int lun;
};

// The device calls beneath the stand-in; null members fall back to the system's.
struct Backend {
  int (*open)(const char *path, int flags);
  int (*ioctl)(int fd, unsigned long request, void *argument);
  int (*close)(int fd);
};
// Replaces the device calls (null: the system's again).
void SetBackend(const Backend *backend);

// The device node behind a drive letter ("/dev/sr0" for D:); false outside D: to Z:.
bool DevicePath(char letter, char *path, int size);

}  // namespace cdrom

// DRIVE_CDROM for a root "X:\" whose device opens, DRIVE_NO_ROOT_DIR otherwise.
UINT GetDriveTypeA(LPCSTR root);

// Opens the drive of a letter; null with the last error set when it cannot.
HANDLE CdDrive_Open(char letter);
BOOL CdDrive_Close(HANDLE drive);
// Sends one command; FALSE (last error set) when it could not be delivered.
// A command the device answered with a SCSI status is delivered: the status
// and the sense data tell how it ended.
BOOL CdDrive_PassThrough(HANDLE drive, cdrom::PassThrough *command);
BOOL CdDrive_GetAddress(HANDLE drive, cdrom::Address *address);
