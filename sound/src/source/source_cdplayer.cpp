// The CD player over MCI's CD audio device: drives found on first use, one
// notification window, and a timer per drive that follows the end of tracks.
#include "sound/src/source/source_cdplayer.h"

#include "platform/cdrom/Mci.h"
#include "platform/win32/WinWindow.h"
#include "platform/winmm/MultimediaTimer.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_time.h"

#include <algorithm>

namespace {

constexpr char kClass[] = "ZIVE_CDROMNOTIFY";
constexpr UINT kDeviceArrival = 0x8000, kDeviceRemoveComplete = 0x8004;
constexpr UINT kDeviceChange = 0x0219;
// How long the next track may keep the drive waiting after the timer fires
// before the player gives up on it (a removed disc, a drive that stopped).
constexpr int kNextTrackTries = 40;

McdDrive gDrives[26];
bool gTableReady = false;  // the table holds closed drives from the first Init on
int gDefault = -1;
HWND gWindow = nullptr;

DWORD Status(const McdDrive &d, DWORD item, DWORD track = 0, bool *ok = nullptr) {
  MCI_STATUS_PARMS p{};
  p.dwItem = item;
  p.dwTrack = track;
  const MCIERROR error = mciSendCommandA(MCIDEVICEID(d.id), MCI_STATUS, MCI_STATUS_ITEM | (track ? MCI_TRACK : 0),
                                         reinterpret_cast<DWORD_PTR>(&p));
  if (ok) *ok = error == 0;
  return error == 0 ? DWORD(p.dwReturn) : 0;
}

int MsfToMs(DWORD msf) { return (int(msf & 0xFF) * 60 + int((msf >> 8) & 0xFF)) * 1000; }

void RefreshTrackCount(McdDrive &d) { d.trackCount = int(Status(d, MCI_STATUS_NUMBER_OF_TRACKS)); }

bool OpenDrive(int index) {
  McdDrive &d = gDrives[index];
  const char element[3] = {char('A' + index), ':', 0};
  MCI_OPEN_PARMSA open{};
  open.lpstrDeviceType = reinterpret_cast<LPCSTR>(DWORD_PTR(MCI_DEVTYPE_CD_AUDIO));
  open.lpstrElementName = element;
  if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT,
                      reinterpret_cast<DWORD_PTR>(&open)) != 0)
    return false;
  d.id = int(open.wDeviceID);
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_TMSF;
  mciSendCommandA(MCIDEVICEID(d.id), MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&set));
  d.currentTrack = int(Status(d, MCI_STATUS_CURRENT_TRACK));
  d.totalLengthMs = MsfToMs(Status(d, MCI_STATUS_LENGTH));
  RefreshTrackCount(d);
  for (int t = 0; t < std::min(d.trackCount, 99); ++t) d.trackMs[t] = MsfToMs(Status(d, MCI_STATUS_LENGTH, DWORD(t + 1)));
  return true;
}

void KillTimer(McdDrive &d) {
  if (d.timer) timeKillEvent(d.timer);
  d.timer = 0;
}

void CALLBACK TimerFired(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  // Only a message: the drive is driven from the window's own thread. It
  // names the timer, since a stop or pause may kill it before the message
  // is answered.
  OSND_PAUSE_POINT("cd.timer.posting");
  PostMessageA(gWindow, WM_USER, WPARAM(id), LPARAM(user));
}

void Arm(McdDrive &d, int ms) {
  d.intervalMs = std::clamp(ms, 100, 65535);
  d.timer = timeSetEvent(UINT(d.intervalMs), 0, TimerFired, reinterpret_cast<DWORD_PTR>(&d), TIME_ONESHOT);
}

// Until the end of the current track, less half a second.
void StartTimer(McdDrive &d) {
  KillTimer(d);
  const DWORD position = Status(d, MCI_STATUS_POSITION);
  const int positionSeconds = int((position >> 8) & 0xFF) * 60 + int((position >> 16) & 0xFF);
  const int track = d.currentTrack;
  const int lengthSeconds = track >= 1 && track <= 99 ? d.trackMs[track - 1] / 1000 : 0;
  const int t = std::max((lengthSeconds - positionSeconds) * 1000 - 500, 100);
  d.targetMs = t;
  d.elapsedMs = 0;
  Arm(d, t);
}

bool StopDrive(McdDrive &d) {
  KillTimer(d);
  d.paused = false;
  MCI_GENERIC_PARMS p{};
  const MCIERROR error = mciSendCommandA(MCIDEVICEID(d.id), MCI_STOP, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&p));
  if (error != 0) {
    char text[256];
    mciGetErrorStringA(error, text, sizeof text);
    return false;
  }
  RefreshTrackCount(d);
  d.currentTrack = 0;
  return true;
}

bool Pause(McdDrive &d, bool pause) {
  MCI_GENERIC_PARMS generic{};
  MCI_PLAY_PARMS play{};
  const MCIERROR error = pause ? mciSendCommandA(MCIDEVICEID(d.id), MCI_PAUSE, 0, reinterpret_cast<DWORD_PTR>(&generic))
                               : mciSendCommandA(MCIDEVICEID(d.id), MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
  if (pause) {
    KillTimer(d);
    d.paused = true;
  } else {
    StartTimer(d);
    d.paused = false;
  }
  RefreshTrackCount(d);
  return error == 0;
}

void CloseDrive(McdDrive &d) {
  if (d.id == -1) return;
  StopDrive(d);
  KillTimer(d);
  MCI_GENERIC_PARMS p{};
  mciSendCommandA(MCIDEVICEID(d.id), MCI_CLOSE, 0, reinterpret_cast<DWORD_PTR>(&p));
  const int letter = d.letter;
  d = McdDrive{};
  d.letter = letter;
  d.id = -1;
}

void TrackEnded(McdDrive &d) {
  d.timer = 0;  // a one-shot timer is gone once it fired
  d.elapsedMs += d.intervalMs;
  if (d.elapsedMs < d.targetMs) {
    Arm(d, d.targetMs - d.elapsedMs);
    return;
  }
  const int next = d.currentTrack + 1;
  RefreshTrackCount(d);
  if (next > d.trackCount) {
    StopDrive(d);
    return;
  }
  // The drive goes on by itself; the player waits until it has reached the
  // next track, but not for ever.
  for (int tries = 0; tries < kNextTrackTries; ++tries) {
    bool ok = false;
    if (int(Status(d, MCI_STATUS_CURRENT_TRACK, 0, &ok)) == next) {
      d.currentTrack = next;
      StartTimer(d);
      return;
    }
    if (!ok) break;
    SystemTime_Sleep(250);
  }
  StopDrive(d);
}

struct VolumeChange {
  DWORD size, deviceType, reserved, unitMask;
  WORD flags;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) {
    auto *d = reinterpret_cast<McdDrive *>(lParam);
    // A message from a timer killed since is stale: the drive has moved on.
    if (d >= gDrives && d < gDrives + 26 && d->id != -1 && d->timer != 0 && d->timer == UINT(wParam))
      TrackEnded(*d);
    return 0;
  }
  if (message == kDeviceChange && (wParam == kDeviceArrival || wParam == kDeviceRemoveComplete) && lParam) {
    const auto *change = reinterpret_cast<const VolumeChange *>(lParam);
    int index = 0;
    while (index < 26 && !(change->unitMask & (1u << index))) ++index;
    if (index >= 1 && index <= 25) {
      CloseDrive(gDrives[index]);
      OpenDrive(index);
    }
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void MakeWindow() {
  if (gWindow) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = kClass;
  RegisterClassExA(&wc);
  // A message-only window: it is never shown and needs no display.
  gWindow = CreateWindowExA(WS_EX_TOPMOST | 0x80, kClass, "OSND CD Driver", WS_DISABLED, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, nullptr, nullptr);
}

McdDrive *FindDrive(int letter) {
  if (!gOsnd.initialised) {
    Osnd_Fail(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
  const int index = letter == 0 ? -1 : letter - 'A';
  if (letter != 0 && (index < 0 || index > 25)) {
    Osnd_Fail(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  if (index >= 0 && gDrives[index].id != -1) return &gDrives[index];
  if (index < 0 && gDefault >= 0 && gDrives[gDefault].id != -1) return &gDrives[gDefault];
  if (gDefault < 0 || gDrives[gDefault].id == -1) {
    gDefault = -1;
    for (int i = 3; i < 26 && gDefault < 0; ++i)
      if (gDrives[i].id != -1 || OpenDrive(i)) gDefault = i;
    if (gDefault < 0) {
      Osnd_Fail(OSND_ERR_CD_DEVICE);
      return nullptr;
    }
  }
  if (index >= 0 && index != gDefault && gDrives[index].id == -1 && !OpenDrive(index)) {
    Osnd_Fail(OSND_ERR_CD_DEVICE);
    return nullptr;
  }
  MakeWindow();
  return &gDrives[index < 0 ? gDefault : index];
}

}  // namespace

void OsndCdda_InitDeviceTable() {
  for (int i = 0; i < 26; ++i) {
    gDrives[i] = McdDrive{};
    gDrives[i].letter = i;
    gDrives[i].id = -1;
  }
  gDefault = -1;
  gTableReady = true;
}

bool OsndCd_Play(int letter, int track) { return OsndCd_PlayFrom(letter, track, 0); }

bool OsndCd_PlayFrom(int letter, int track, int ms) {
  McdDrive *d = FindDrive(letter);
  if (!d) return false;
  if (Status(*d, MCI_CDA_STATUS_TYPE_TRACK, DWORD(track)) == MCI_CDA_TRACK_OTHER && d->trackCount == 1) return false;
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_TMSF;
  mciSendCommandA(MCIDEVICEID(d->id), MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&set));
  ms = std::max(ms, 0);
  MCI_PLAY_PARMS play{};
  play.dwFrom = MCI_MAKE_TMSF(track, ms / 60000, ms / 1000 % 60, ms % 1000 * 74 / 1000);
  if (mciSendCommandA(MCIDEVICEID(d->id), MCI_PLAY, MCI_FROM | MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)) != 0)
    return false;
  d->currentTrack = track;
  Pause(*d, false);
  RefreshTrackCount(*d);
  return true;
}

bool OsndCd_Stop(int letter) {
  McdDrive *d = FindDrive(letter);
  return d && StopDrive(*d);
}

bool OsndCd_SetPaused(int letter, bool pause) {
  McdDrive *d = FindDrive(letter);
  return d && Pause(*d, pause);
}

void OsndCdda_DestroyWindow() {
  if (!gTableReady) return;
  // The drives first: their timers end before the window they post to goes.
  for (McdDrive &d : gDrives)
    if (d.id != -1) CloseDrive(d);
  gDefault = -1;
  if (gWindow) {
    DestroyWindow(gWindow);
    UnregisterClassA(kClass, nullptr);
    gWindow = nullptr;
  }
}

const McdDrive *OsndCd_GetDrive(int letter) {
  if (!gTableReady) return nullptr;
  if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
  const int index = letter == 0 ? gDefault : letter - 'A';
  return index >= 0 && index < 26 && gDrives[index].id != -1 ? &gDrives[index] : nullptr;
}

void *OsndCd_GetWindow() { return gWindow; }
