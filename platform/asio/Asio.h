// The audio driver interface the sound engine's ASIO output drives, and the
// records it passes: buffer and channel descriptions, the host's callbacks
// and the time record. Drivers are in-process COM objects (WinCom.h) listed
// under HKEY_LOCAL_MACHINE "software\asio"; JackAsioDriver.h supplies one.
#pragma once

#include "platform/d3d9/IUnknown.h"
#include "platform/win32/WinTypes.h"

using ASIOBool = LONG;
using ASIOError = LONG;
using ASIOSampleType = LONG;
using ASIOSampleRate = double;

#define ASIOTrue 1
#define ASIOFalse 0

#define ASE_OK 0
#define ASE_SUCCESS 0x3f4847a0
#define ASE_NotPresent (-1000)
#define ASE_HWMalfunction (-999)
#define ASE_InvalidParameter (-998)
#define ASE_InvalidMode (-997)
#define ASE_SPNotAdvancing (-996)
#define ASE_NoClock (-995)
#define ASE_NoMemory (-994)

// Sample types: what a channel's buffer halves hold.
enum : LONG {
    ASIOSTInt16MSB = 0,
    ASIOSTInt24MSB = 1,
    ASIOSTInt32MSB = 2,
    ASIOSTFloat32MSB = 3,
    ASIOSTFloat64MSB = 4,
    ASIOSTInt32MSB16 = 8,
    ASIOSTInt32MSB18 = 9,
    ASIOSTInt32MSB20 = 10,
    ASIOSTInt32MSB24 = 11,
    ASIOSTInt16LSB = 16,
    ASIOSTInt24LSB = 17,
    ASIOSTInt32LSB = 18,
    ASIOSTFloat32LSB = 19,
    ASIOSTFloat64LSB = 20,
    ASIOSTInt32LSB16 = 24,
    ASIOSTInt32LSB18 = 25,
    ASIOSTInt32LSB20 = 26,
    ASIOSTInt32LSB24 = 27,
};

struct ASIOBufferInfo {
    ASIOBool isInput;
    LONG channelNum;
    void* buffers[2];
};

struct ASIOChannelInfo {
    LONG channel;
    ASIOBool isInput;
    ASIOBool isActive;
    LONG channelGroup;
    ASIOSampleType type;
    char name[32];
};

struct ASIOSamples {
    ULONG hi;
    ULONG lo;
};
using ASIOTimeStamp = ASIOSamples;

// The time record a buffer switch may carry (148 bytes on the original platform).
struct ASIOTime {
    LONG reserved[4];
    struct {
        double speed;
        ASIOTimeStamp systemTime;
        ASIOSamples samplePosition;
        ASIOSampleRate sampleRate;
        ULONG flags;
        char reserved[12];
    } timeInfo;
    struct {
        double speed;
        ASIOSamples timeCodeSamples;
        ULONG flags;
        char future[64];
    } timeCode;
};

#define kSystemTimeValid 1u
#define kSamplePositionValid 2u

struct ASIOCallbacks {
    void (*bufferSwitch)(LONG doubleBufferIndex, ASIOBool directProcess);
    void (*sampleRateDidChange)(ASIOSampleRate rate);
    LONG (*asioMessage)(LONG selector, LONG value, void* message, double* opt);
    ASIOTime* (*bufferSwitchTimeInfo)(ASIOTime* params, LONG doubleBufferIndex, ASIOBool directProcess);
};

// Host message selectors.
enum : LONG {
    kAsioSelectorSupported = 1,
    kAsioEngineVersion = 2,
    kAsioResetRequest = 3,
    kAsioBufferSizeChange = 4,
    kAsioResyncRequest = 5,
    kAsioLatenciesChanged = 6,
    kAsioSupportsTimeInfo = 7,
    kAsioSupportsTimeCode = 8,
    kAsioMMCCommand = 9,
};

struct IASIO : IUnknown {
    virtual ASIOBool init(void* systemReference) = 0;
    virtual void getDriverName(char* name) = 0;  // up to 32 characters
    virtual LONG getDriverVersion() = 0;
    virtual void getErrorMessage(char* text) = 0;  // up to 124 characters
    virtual ASIOError start() = 0;
    virtual ASIOError stop() = 0;
    virtual ASIOError getChannels(LONG* inputs, LONG* outputs) = 0;
    virtual ASIOError getLatencies(LONG* input, LONG* output) = 0;
    virtual ASIOError getBufferSize(LONG* minimum, LONG* maximum, LONG* preferred, LONG* granularity) = 0;
    virtual ASIOError canSampleRate(ASIOSampleRate rate) = 0;
    virtual ASIOError getSampleRate(ASIOSampleRate* rate) = 0;
    virtual ASIOError setSampleRate(ASIOSampleRate rate) = 0;
    virtual ASIOError getClockSources(void* clocks, LONG* count) = 0;
    virtual ASIOError setClockSource(LONG reference) = 0;
    virtual ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* time) = 0;
    virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError createBuffers(ASIOBufferInfo* infos, LONG count, LONG size, ASIOCallbacks* callbacks) = 0;
    virtual ASIOError disposeBuffers() = 0;
    virtual ASIOError controlPanel() = 0;
    virtual ASIOError future(LONG selector, void* option) = 0;
    virtual ASIOError outputReady() = 0;
};
