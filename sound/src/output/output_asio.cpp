#include "sound/src/output/output_asio.h"

#include "platform/asio/Asio.h"
#include "platform/win32/WinCom.h"
#include "platform/win32/WinFiles.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinRegistry.h"
#include "platform/win32/WinText.h"
#include "sound/src/mixer/software_mixer.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/output/output_sample.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"
#include "sound/src/system/system_time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// Host layer.

constexpr LONG kNoDriver = -1000;
constexpr LONG kNullArgument = -5001;
constexpr LONG kAlreadyOpen = -5002;
constexpr LONG kNoSuchDriver = -5003;

struct AsioDriverRecord {
  int index;
  CLSID clsid;
  char path[512];
  char name[128];
  IASIO *object;
  AsioDriverRecord *next;
};

struct AsioDriverList {
  AsioDriverRecord *head;
  int count;
  int current;
};

struct AsioDriverInfo {
  LONG asioVersion;
  LONG driverVersion;
  char name[32];
  char errorMessage[124];
  void *systemReference;
};

AsioDriverList *gList = nullptr;
IASIO *gDriver = nullptr;  // the current driver object
AsioDriverInfo gInfo{};

AsioDriverRecord *Record(int index) {
  for (AsioDriverRecord *r = gList ? gList->head : nullptr; r; r = r->next)
    if (r->index == index) return r;
  return nullptr;
}

bool ReadString(HKEY key, const char *name, char *out, DWORD size) {
  DWORD type = 0, bytes = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(out), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  out[std::min<DWORD>(bytes, size - 1)] = '\0';
  return true;
}

// Finds the class's in-process server file; true when it exists.
bool FindClass(const char *clsidText, char *path) {
  char wanted[128];
  SystemString_CopyN(wanted, clsidText, 127);
  wanted[127] = '\0';
  CharLowerBuffA(wanted, DWORD(std::strlen(wanted)));
  HKEY classes = nullptr;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, "clsid", &classes) != ERROR_SUCCESS) return false;
  bool found = false;
  char sub[512];
  for (DWORD i = 0; !found && RegEnumKeyA(classes, i, sub, sizeof sub) == ERROR_SUCCESS; ++i) {
    CharLowerBuffA(sub, DWORD(std::strlen(sub)));
    if (std::strcmp(sub, wanted) != 0) continue;
    HKEY server = nullptr;
    const std::string serverKey = std::string(sub) + "\\InprocServer32";
    if (RegOpenKeyExA(classes, serverKey.c_str(), 0, KEY_READ, &server) == ERROR_SUCCESS) {
      if (ReadString(server, "", path, 512)) {
        OFSTRUCT info{};
        found = OpenFile(path, &info, OF_EXIST) != HFILE_ERROR;
      }
      RegCloseKey(server);
    }
    break;
  }
  RegCloseKey(classes);
  return found;
}

AsioDriverRecord *CreateRecord(HKEY key, const char *subKey, int index) {
  HKEY driverKey = nullptr;
  if (RegOpenKeyExA(key, subKey, 0, KEY_READ, &driverKey) != ERROR_SUCCESS) return nullptr;
  AsioDriverRecord *record = nullptr;
  char clsidText[128];
  char path[512];
  if (ReadString(driverKey, "clsid", clsidText, sizeof clsidText) && FindClass(clsidText, path)) {
    record = static_cast<AsioDriverRecord *>(OSND_ALLOC(int(sizeof(AsioDriverRecord))));
    if (record) {
      *record = AsioDriverRecord{};
      record->index = index;
      std::memcpy(record->path, path, sizeof path);
      WCHAR wide[128];
      if (MultiByteToWideChar(CP_ACP, 0, clsidText, -1, wide, 128) <= 0 || CLSIDFromString(wide, &record->clsid) != S_OK)
        record->clsid = CLSID{};
      if (!ReadString(driverKey, "description", record->name, sizeof record->name)) {
        SystemString_CopyN(record->name, subKey, 127);
        record->name[127] = '\0';
      }
    }
  }
  RegCloseKey(driverKey);
  return record;
}

LONG ListCreate() {
  gList = static_cast<AsioDriverList *>(OSND_ALLOC(int(sizeof(AsioDriverList))));
  if (!gList) return kNullArgument;
  *gList = AsioDriverList{nullptr, 0, -1};
  HKEY asio = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "software\\asio", &asio) != ERROR_SUCCESS) return 0;
  AsioDriverRecord **tail = &gList->head;
  char name[128];
  for (DWORD i = 0; RegEnumKeyA(asio, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    if (AsioDriverRecord *r = CreateRecord(asio, name, gList->count)) {
      *tail = r;
      tail = &r->next;
      ++gList->count;
    }
  }
  RegCloseKey(asio);
  if (gList->count > 0) CoInitialize(nullptr);
  return 0;
}

LONG OpenDriver(int index, IASIO **object) {
  if (!object) return kNullArgument;
  AsioDriverRecord *r = Record(index);
  if (!r) return kNoSuchDriver;
  if (r->object) return kAlreadyOpen;
  const HRESULT result = CoCreateInstance(r->clsid, nullptr, CLSCTX_INPROC_SERVER, r->clsid, reinterpret_cast<void **>(object));
  if (FAILED(result)) return result;
  r->object = *object;
  return 0;
}

void CloseDriver(int index) {
  if (AsioDriverRecord *r = Record(index)) {
    if (r->object) r->object->Release();
    r->object = nullptr;
  }
}

// A name cut to size: whole when shorter, else size-4 characters and "...".
void DriverName(int index, char *buffer, int size) {
  const AsioDriverRecord *r = Record(index);
  buffer[0] = '\0';
  if (!r || size < 5) return;
  if (int(std::strlen(r->name)) < size) {
    std::strcpy(buffer, r->name);
  } else {
    std::memcpy(buffer, r->name, size_t(size - 4));
    std::strcpy(buffer + size - 4, "...");
  }
}

bool CurrentDriverName(char *buffer) {
  buffer[0] = '\0';
  if (!gList || gList->current < 0) return false;
  DriverName(gList->current, buffer, 32);
  return true;
}

void RemoveCurrentDriver() {
  if (gList && gList->current >= 0) CloseDriver(gList->current);
  gDriver = nullptr;
  if (gList) gList->current = -1;
}

bool LoadDriver(const char *name) {
  if (!gList) return false;
  int found = -1;
  char candidate[32];
  for (int i = 0; i < gList->count && found < 0; ++i) {
    DriverName(i, candidate, 32);
    if (std::strcmp(candidate, name) == 0) found = i;
  }
  if (found < 0) return false;
  char previous[32];
  const bool hadPrevious = CurrentDriverName(previous);
  RemoveCurrentDriver();
  IASIO *object = nullptr;
  if (OpenDriver(found, &object) != 0) {
    gDriver = nullptr;
    if (hadPrevious && std::strcmp(previous, name) != 0) LoadDriver(previous);
    return false;
  }
  gDriver = object;
  gList->current = found;
  return true;
}

void ListDestroy() {
  if (!gList) return;
  const bool hadRecords = gList->count > 0;
  for (AsioDriverRecord *r = gList->head; r;) {
    AsioDriverRecord *next = r->next;
    if (r->object) r->object->Release();
    OSND_FREE_MEM(r);
    r = next;
  }
  OSND_FREE_MEM(gList);
  gList = nullptr;
  gDriver = nullptr;
  if (hadRecords) CoUninitialize();
}

LONG AsioInit(AsioDriverInfo *info) {
  if (!gDriver) return kNoDriver;
  if (gDriver->init(info->systemReference)) {
    SystemString_CopyN(info->errorMessage, "No ASIO Driver Error", 123);
    gDriver->getDriverName(info->name);
    info->driverVersion = gDriver->getDriverVersion();
    return 0;
  }
  gDriver->getErrorMessage(info->errorMessage);
  RemoveCurrentDriver();
  return kNoDriver;
}

void AsioExit() { RemoveCurrentDriver(); }

// Output driver.

struct AsioState {
  int left = 0, right = 1;
  LONG minimum = 0, maximum = 0, preferred = 0, granularity = 0;
  LONG inputs = 0, outputs = 0;
  ASIOBufferInfo *buffers = nullptr;
  ASIOChannelInfo *channels = nullptr;
  ASIOCallbacks callbacks{};
  bool outputReady = false;
  ASIOSampleType type = ASIOSTInt16LSB;
};

AsioState gAsio;

// Set from the moment the engine stops the driver until it starts it again.
std::atomic<bool> gStopping{false};

// Opens the driver a device name names, at the given rate.
bool OpenStep(const char *deviceName, int rate) {
  if (!gList && ListCreate() != 0) return Osnd_Fail(OSND_ERR_MEMORY);
  gInfo = AsioDriverInfo{};
  SystemString_CopyN(gInfo.name, "No ASIO Driver", 31);
  gInfo.systemReference = nullptr;
  char name[96];
  SystemString_CopyN(name, deviceName, 95);
  name[95] = '\0';
  if (char *left = std::strstr(name, ": Left")) {
    // The pair is read from the digits after ": Left = ASIO CH " (17 characters on).
    const char *digits = left + 17;
    gAsio.left = (*digits >= '0' && *digits <= '9') ? std::atoi(digits) : 0;
    gAsio.right = gAsio.left + 1;
    *left = '\0';
  } else {
    gAsio.left = 0;
    gAsio.right = 1;
  }
  ASIOSampleRate current = 0;
  if (!LoadDriver(name) || AsioInit(&gInfo) != 0 || !gDriver ||
      gDriver->getBufferSize(&gAsio.minimum, &gAsio.maximum, &gAsio.preferred, &gAsio.granularity) != ASE_OK ||
      gDriver->getSampleRate(&current) != ASE_OK)
    return Osnd_Fail(OSND_ERR_INIT);
  if (current <= 0.0 || current > 96000.0) {
    if (gDriver->setSampleRate(double(rate)) != ASE_OK || gDriver->getSampleRate(&current) != ASE_OK)
      return Osnd_Fail(OSND_ERR_INIT);
  }
  gOsnd.mixRate = int(current);
  gOsnd.blockLength = gAsio.preferred;
  gOsnd.bufferLengthSamples = 2 * gAsio.preferred;
  gAsio.outputReady = gDriver->outputReady() == ASE_OK;
  if (gDriver->getChannels(&gAsio.inputs, &gAsio.outputs) != ASE_OK) return Osnd_Fail(OSND_ERR_INIT);
  return true;
}

bool Close();

bool Enumerate() {
  if (!gList && ListCreate() != 0) return true;
  gOsnd.numDrivers = 0;
  const int drivers = gList->count;
  for (int i = 0; i < drivers; ++i) {
    char name[81];
    DriverName(i, name, 81);
    if (!OpenStep(name, 44100)) continue;
    if (gAsio.outputs >= 2 && i < 10) {
      for (int l = 0; l <= gAsio.outputs - 2 && gOsnd.numDrivers < OSND_MAX_DRIVER_NAMES; ++l) {
        char device[160];
        std::snprintf(device, sizeof device, "%s: Left = ASIO CH %d Right = ASIO CH %d", name, l, l + 1);
        Osnd_AddDriverName(device);
      }
    }
    AsioExit();
  }
  Close();
  return true;
}

bool Init(int) {
  gOsnd.driversEnumerated = 0;
  OsndEnumerateDrivers();
  if (gOsnd.numDrivers < 1) return Osnd_Fail(OSND_ERR_INIT);
  const int device = gOsnd.driver < 0 || gOsnd.driver >= gOsnd.numDrivers ? 0 : gOsnd.driver;
  char name[80];
  std::memcpy(name, gOsnd.driverNames[device], sizeof name);
  if (!OpenStep(name, gOsnd.mixRate)) return false;
  OsndOutput_SoftwareOnly(&OsndOutputAsio);
  return true;
}

bool Close() {
  AsioExit();
  ListDestroy();
  return true;
}

// Writes one 16-bit sample in a channel's sample type.
void WriteSample(ASIOSampleType type, uint8_t *out, int16_t s) {
  const uint8_t h = uint8_t(uint16_t(s) >> 8), l = uint8_t(s);
  switch (type) {
    case ASIOSTInt16MSB: out[0] = h; out[1] = l; break;
    case ASIOSTInt24MSB: out[0] = h; out[1] = l; out[2] = 0; break;
    case ASIOSTInt32MSB: out[0] = h; out[1] = l; out[2] = 0; out[3] = 0; break;
    case ASIOSTInt16LSB: out[0] = l; out[1] = h; break;
    case ASIOSTInt24LSB: out[0] = 0; out[1] = l; out[2] = h; break;
    case ASIOSTInt32LSB: out[0] = 0; out[1] = 0; out[2] = l; out[3] = h; break;
    case ASIOSTFloat32MSB:
    case ASIOSTFloat32LSB: {
      const float value = float(s);
      uint8_t bytes[4];
      std::memcpy(bytes, &value, 4);
      for (int i = 0; i < 4; ++i) out[i] = type == ASIOSTFloat32LSB ? bytes[i] : bytes[3 - i];
      break;
    }
    case ASIOSTFloat64MSB:
    case ASIOSTFloat64LSB: {
      const double value = double(s);
      uint8_t bytes[8];
      std::memcpy(bytes, &value, 8);
      for (int i = 0; i < 8; ++i) out[i] = type == ASIOSTFloat64LSB ? bytes[i] : bytes[7 - i];
      break;
    }
    case ASIOSTInt32MSB16: case ASIOSTInt32MSB18: case ASIOSTInt32MSB20: case ASIOSTInt32MSB24:
    case ASIOSTInt32LSB16: case ASIOSTInt32LSB18: case ASIOSTInt32LSB20: case ASIOSTInt32LSB24:
      std::memset(out, 0, 4);
      break;
    default:
      break;
  }
}

int TypeBytes(ASIOSampleType type) {
  switch (type) {
    case ASIOSTInt16MSB: case ASIOSTInt16LSB: return 2;
    case ASIOSTInt24MSB: case ASIOSTInt24LSB: return 3;
    case ASIOSTFloat64MSB: case ASIOSTFloat64LSB: return 8;
    default: return 4;
  }
}

// The engine stops the driver while it holds the mixer's lock, and a driver's
// stop waits for the buffer switch in progress (a JACK server ends the thread
// that runs it): a switch waiting for that lock would never end, so once a
// stop has begun it gives up the wait. True when the lock is held.
bool LockMixerUnlessStopping(SystemCriticalSection lock) {
  while (!SystemThread_TryEnterCriticalSection(lock)) {
    if (gStopping) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

ASIOTime *BufferSwitchTimeInfo(ASIOTime *, LONG half, ASIOBool) {
  SystemTime_StartMeasure(&gOsnd.cpuMeter);
  if (gOsnd.mixer) gOsnd.mixer->currentBlock = 0;
  const SystemCriticalSection lock = Osnd_MixerLock();
  const bool mixed = LockMixerUnlessStopping(lock);
  if (mixed) {
    SoundSoftware_MixBlock(0, gAsio.preferred);
    SystemThread_LeaveCriticalSection(lock);
  }
  // A switch that gave up leaves its half silent.
  const OSND_SAMPLE *primary = gOsnd.primarySample;
  const auto *mix = primary && mixed ? static_cast<const int16_t *>(primary->driverData) : nullptr;
  const int total = int(gAsio.inputs + gAsio.outputs);
  for (int i = 0; (mix || !mixed) && gAsio.buffers && i < total; ++i) {
    const ASIOBufferInfo &b = gAsio.buffers[i];
    if (b.isInput || (b.channelNum != gAsio.left && b.channelNum != gAsio.right) || !b.buffers[half & 1]) continue;
    const int side = b.channelNum == gAsio.left ? 0 : 1;
    const ASIOSampleType type = gAsio.channels ? gAsio.channels[i].type : gAsio.type;
    const int bytes = TypeBytes(type);
    auto *out = static_cast<uint8_t *>(b.buffers[half & 1]);
    for (LONG f = 0; f < gAsio.preferred; ++f)
      WriteSample(type, out + size_t(f) * size_t(bytes), mix ? mix[2 * f + side] : 0);
  }
  if (gAsio.outputReady && gDriver) gDriver->outputReady();
  gOsnd.cpuUsage = SystemTime_EndMeasure(&gOsnd.cpuMeter, 90);
  return nullptr;
}

void BufferSwitch(LONG half, ASIOBool direct) {
  ASIOTime time{};
  ASIOSamples position{};
  ASIOTimeStamp stamp{};
  if (gDriver && gDriver->getSamplePosition(&position, &stamp) == ASE_OK) {
    time.timeInfo.samplePosition = position;
    time.timeInfo.systemTime = stamp;
    time.timeInfo.flags = kSystemTimeValid | kSamplePositionValid;
  }
  BufferSwitchTimeInfo(&time, half, direct);
}

void RateChanged(ASIOSampleRate) {}

LONG Message(LONG selector, LONG value, void *, double *) {
  switch (selector) {
    case kAsioSelectorSupported:
      return (value == 2 || value == 3 || value == 5 || value == 6 || value == 7 || value == 8 || value == 9) ? 1 : 0;
    case kAsioEngineVersion:
      return 2;
    case kAsioResetRequest:
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
      return 1;
    default:
      return 0;
  }
}

void FreeTables() {
  OSND_FREE_MEM(gAsio.buffers);
  OSND_FREE_MEM(gAsio.channels);
  gAsio.buffers = nullptr;
  gAsio.channels = nullptr;
}

void SampleFree(OSND_SAMPLE *s) {
  gStopping = true;  // disposing of the buffers stops a running driver
  if (gDriver) gDriver->disposeBuffers();
  FreeTables();
  OSND_FREE_MEM(s->driverData);
  s->driverData = nullptr;
}

bool SampleCreate(OSND_SAMPLE *s) {
  if (!gDriver) return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  s->length = unsigned(gAsio.preferred);
  s->loopStart = 0;
  s->loopLength = s->length;
  const int total = int(gAsio.inputs + gAsio.outputs);
  gAsio.buffers = static_cast<ASIOBufferInfo *>(OSND_ALLOC(total * int(sizeof(ASIOBufferInfo))));
  gAsio.channels = static_cast<ASIOChannelInfo *>(OSND_ALLOC(total * int(sizeof(ASIOChannelInfo))));
  OSND_FREE_MEM(s->driverData);
  s->driverData = OSND_ALLOC(int(OutputSample_Bytes(s)));
  if (!gAsio.buffers || !gAsio.channels || !s->driverData || total < 1) {
    FreeTables();
    OSND_FREE_MEM(s->driverData);
    s->driverData = nullptr;
    return Osnd_Fail(OSND_ERR_MEMORY);
  }
  for (int i = 0; i < total; ++i) {
    const bool input = i < gAsio.inputs;
    gAsio.buffers[i] = ASIOBufferInfo{input ? ASIOTrue : ASIOFalse, LONG(input ? i : i - gAsio.inputs), {nullptr, nullptr}};
  }
  gAsio.callbacks = ASIOCallbacks{BufferSwitch, RateChanged, Message, BufferSwitchTimeInfo};
  if (gDriver->createBuffers(gAsio.buffers, total, gAsio.preferred, &gAsio.callbacks) != ASE_OK) {
    FreeTables();
    OSND_FREE_MEM(s->driverData);
    s->driverData = nullptr;
    return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  }
  for (int i = 0; i < total; ++i) {
    ASIOChannelInfo &c = gAsio.channels[i];
    c = ASIOChannelInfo{};
    c.channel = gAsio.buffers[i].channelNum;
    c.isInput = gAsio.buffers[i].isInput;
    if (gDriver->getChannelInfo(&c) != ASE_OK) break;
  }
  return true;
}

bool FillSampleOps(OSND_SAMPLE *s) {
  OutputSample_SetOps(s, SampleCreate, SampleFree);
  return true;
}

bool ChannelPlay(OSND_DSPUNIT *, OsndChannel *, OSND_SAMPLE *) {
  gStopping = false;
  if (!gDriver || gDriver->start() != ASE_OK) return Osnd_Fail(OSND_ERR_PLAY);
  return true;
}

bool ChannelStop(OsndChannel *) {
  gStopping = true;
  if (gDriver) gDriver->stop();
  return true;
}

unsigned GetPosition(OsndChannel *) { return 0; }

bool FillChannelOps(OsndChannel *c) {
  OsndChannel_SetDefaultOps(c);
  c->ops.play = ChannelPlay;
  c->ops.stop = ChannelStop;
  c->ops.getPosition = GetPosition;
  return true;
}

bool TrueInt(int) { return true; }
void *OutputHandle() { return gList; }

bool NoSoundUpdate() { return OsndOutputNoSound.update(); }
bool NoReverbInit() { return OsndOutputNoSound.reverbInit(); }
bool NoSetReverb(const int32_t *p) { return OsndOutputNoSound.setReverb(p); }
bool NoGetReverb(int32_t *p) { return OsndOutputNoSound.getReverb(p); }
bool NoRecordEnumerate() { return OsndOutputNoSound.recordEnumerate(); }
bool NoRecordInit(int d) { return OsndOutputNoSound.recordInit(d); }
bool NoRecordStart(int l, unsigned m, int r) { return OsndOutputNoSound.recordStart(l, m, r); }
bool NoRecordStop() { return OsndOutputNoSound.recordStop(); }
int NoRecordPosition() { return OsndOutputNoSound.recordPosition(); }
bool NoRecordLock(unsigned o, unsigned b, void **p1, void **p2, unsigned *l1, unsigned *l2) {
  return OsndOutputNoSound.recordLock(o, b, p1, p2, l1, l2);
}
bool NoRecordUnlock(void *p1, void *p2, unsigned l1, unsigned l2) { return OsndOutputNoSound.recordUnlock(p1, p2, l1, l2); }

}  // namespace

void OutputAsio_Channels(int *left, int *right) {
  *left = gAsio.left;
  *right = gAsio.right;
}

OsndOutputDriver OsndOutputAsio = {
    0, 0, 0, Enumerate, Init, Close, FillSampleOps, FillChannelOps, OsndOutput_NoCaps, OutputHandle, TrueInt, NoSoundUpdate,
    NoReverbInit, NoSetReverb, NoGetReverb, NoRecordEnumerate, NoRecordInit, NoRecordStart, NoRecordStop,
    NoRecordPosition, NoRecordLock, NoRecordUnlock};
