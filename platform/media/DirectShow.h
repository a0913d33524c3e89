// The media player's filter graph as the sound engine's last-resort stream
// format drives it, on the same FFmpeg reader as the Windows Media stand-in.
// The graph renders one audio file and plays it by itself on an SDL audio
// device of its own; the engine only starts, pauses, stops, seeks it and sets
// its volume and balance.
#pragma once

#include "platform/d3d9/IUnknown.h"
#include "platform/win32/WinCom.h"
#include "platform/win32/WinTypes.h"

#include <cstdint>

// In a namespace of its own: other stand-ins serve COM classes too.
namespace dshow {

using REFTIME = double;
using OAHWND = std::intptr_t;

extern const GUID CLSID_FilterGraph;
extern const GUID IID_IGraphBuilder;
extern const GUID IID_IMediaControl;
extern const GUID IID_IMediaSeeking;
extern const GUID IID_IBasicAudio;
extern const GUID IID_IVideoWindow;
extern const GUID TIME_FORMAT_MEDIA_TIME;  // 100 ns units
extern const GUID TIME_FORMAT_SAMPLE;      // sample frames

#define AM_SEEKING_NoPositioning 0u
#define AM_SEEKING_AbsolutePositioning 1u
#define E_POINTER (static_cast<HRESULT>(0x80004003u))
#define E_UNEXPECTED (static_cast<HRESULT>(0x8000FFFFu))
#define VFW_E_CANNOT_RENDER (static_cast<HRESULT>(0x80040218u))
#define VFW_E_NO_AUDIO_HARDWARE (static_cast<HRESULT>(0x80040256u))

struct IGraphBuilder : IUnknown {
  virtual HRESULT RenderFile(const WCHAR *file, const WCHAR *playList) = 0;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
};

struct IMediaSeeking : IUnknown {
  virtual HRESULT SetTimeFormat(const GUID *format) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG *current) = 0;
  virtual HRESULT GetStopPosition(LONGLONG *stop) = 0;
  virtual HRESULT GetPositions(LONGLONG *current, LONGLONG *stop) = 0;
  virtual HRESULT SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags) = 0;
};

struct IBasicAudio : IUnknown {
  // Hundredths of a decibel: volume -10000..0; balance -10000 (left only)
  // .. 10000 (right only).
  virtual HRESULT put_Volume(long volume) = 0;
  virtual HRESULT get_Volume(long *volume) = 0;
  virtual HRESULT put_Balance(long balance) = 0;
  virtual HRESULT get_Balance(long *balance) = 0;
};

struct IVideoWindow : IUnknown {
  virtual HRESULT put_AutoShow(long show) = 0;
};

HRESULT CoCreateInstance(REFCLSID cls, void *outer, DWORD context, REFIID iid, void **object);

}  // namespace dshow
