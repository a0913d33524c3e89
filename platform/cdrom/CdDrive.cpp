#include "platform/cdrom/CdDrive.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int SystemOpen(const char *path, int flags) { return ::open(path, flags); }
int SystemIoctl(int fd, unsigned long request, void *argument) { return ::ioctl(fd, request, argument); }
int SystemClose(int fd) { return ::close(fd); }

const cdrom::Backend kSystem = {SystemOpen, SystemIoctl, SystemClose};
std::atomic<const cdrom::Backend *> gBackend{&kSystem};

const cdrom::Backend &Calls() { return *gBackend.load(std::memory_order_acquire); }

struct Drive {
  int fd;
};

int Letter(LPCSTR root) {
  if (!root || !root[0] || root[1] != ':') return -1;
  const char c = root[0];
  if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
  return (c >= 'A' && c <= 'Z') ? c : -1;
}

// Windows' numbers for what the device call reported.
DWORD ErrorFor(int error) {
  switch (error) {
    case EBADF:
    case ENODEV:
    case ENXIO:
      return ERROR_INVALID_HANDLE;
    case ENOMEDIUM:
    case EMEDIUMTYPE:
      return ERROR_MEDIA_CHANGED;
    case ETIMEDOUT:
      return ERROR_SEM_TIMEOUT;
    default:
      return ERROR_IO_DEVICE;
  }
}

}  // namespace

namespace cdrom {

void SetBackend(const Backend *backend) {
  static Backend merged;
  if (!backend) {
    gBackend.store(&kSystem, std::memory_order_release);
    return;
  }
  merged.open = backend->open ? backend->open : SystemOpen;
  merged.ioctl = backend->ioctl ? backend->ioctl : SystemIoctl;
  merged.close = backend->close ? backend->close : SystemClose;
  gBackend.store(&merged, std::memory_order_release);
}

bool DevicePath(char letter, char *path, int size) {
  if (letter >= 'a' && letter <= 'z') letter = char(letter - 'a' + 'A');
  if (letter < 'D' || letter > 'Z' || !path || size < 1) return false;
  const int written = std::snprintf(path, size_t(size), "/dev/sr%d", letter - 'D');
  return written > 0 && written < size;
}

}  // namespace cdrom

UINT GetDriveTypeA(LPCSTR root) {
  const int letter = Letter(root);
  char path[32];
  if (letter < 0 || !cdrom::DevicePath(char(letter), path, int(sizeof path))) return DRIVE_NO_ROOT_DIR;
  // A drive without a disc still opens: O_NONBLOCK keeps the open from
  // waiting for one.
  const int fd = Calls().open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return DRIVE_NO_ROOT_DIR;
  Calls().close(fd);
  return DRIVE_CDROM;
}

HANDLE CdDrive_Open(char letter) {
  char path[32];
  if (!cdrom::DevicePath(letter, path, int(sizeof path))) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const int fd = Calls().open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto *drive = new (std::nothrow) Drive{fd};
  if (!drive) {
    Calls().close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  return drive;
}

BOOL CdDrive_Close(HANDLE handle) {
  auto *drive = static_cast<Drive *>(handle);
  if (!drive) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Calls().close(drive->fd);
  delete drive;
  return TRUE;
}

BOOL CdDrive_PassThrough(HANDLE handle, cdrom::PassThrough *command) {
  auto *drive = static_cast<Drive *>(handle);
  if (!drive || !command || command->cdbLength < 6 || command->cdbLength > 16 ||
      (command->direction != cdrom::DATA_NONE && !command->data && command->dataLength > 0)) {
    SetLastError(drive ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmdp = command->cdb;
  io.cmd_len = static_cast<unsigned char>(command->cdbLength);
  io.dxfer_direction = command->direction == cdrom::DATA_IN    ? SG_DXFER_FROM_DEV
                       : command->direction == cdrom::DATA_OUT ? SG_DXFER_TO_DEV
                                                               : SG_DXFER_NONE;
  io.dxferp = command->direction == cdrom::DATA_NONE ? nullptr : command->data;
  io.dxfer_len = command->direction == cdrom::DATA_NONE ? 0 : command->dataLength;
  io.sbp = command->sense;
  io.mx_sb_len = sizeof command->sense;
  io.timeout = command->timeoutMs;
  std::memset(command->sense, 0, sizeof command->sense);
  command->senseLength = 0;
  command->scsiStatus = 0;
  command->transferred = 0;
  if (Calls().ioctl(drive->fd, SG_IO, &io) < 0) {
    SetLastError(ErrorFor(errno));
    return FALSE;
  }
  constexpr unsigned kTimedOut = 0x03;  // the host adapter's "timed out" status
  if (io.host_status == kTimedOut) {
    SetLastError(ERROR_SEM_TIMEOUT);
    return FALSE;
  }
  if (io.host_status != 0) {
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
  }
  command->scsiStatus = io.status;
  command->senseLength = std::clamp<int>(io.sb_len_wr, 0, int(sizeof command->sense));
  const int residue = std::max(io.resid, 0);
  command->transferred = io.dxfer_len > unsigned(residue) ? io.dxfer_len - unsigned(residue) : 0;
  return TRUE;
}

BOOL CdDrive_GetAddress(HANDLE handle, cdrom::Address *address) {
  auto *drive = static_cast<Drive *>(handle);
  if (!drive || !address) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Target in bits 0-7, LUN 8-15, channel 16-23, host 24-31.
  int idLun[2] = {0, 0};
  if (Calls().ioctl(drive->fd, SCSI_IOCTL_GET_IDLUN, idLun) < 0) {
    SetLastError(ErrorFor(errno));
    return FALSE;
  }
  const unsigned packed = unsigned(idLun[0]);
  address->target = int(packed & 0xFF);
  address->lun = int((packed >> 8) & 0xFF);
  address->path = int((packed >> 16) & 0xFF);
  address->port = int((packed >> 24) & 0xFF);
  return TRUE;
}
