#pragma once
// The plain types, constants and result codes of the filter graph layer, with the values the
// Windows platform gives them. Times are REFERENCE_TIME: 100 ns units.
#include <cstdint>
#include <limits>

#include "platform/com/ComPtr.h"
#include "platform/com/FilterRegistration.h"  // merits (MERIT_*), filter category
#include "platform/base/HResult.h"

using BYTE = uint8_t;
using WORD = uint16_t;
using LONG_PTR = intptr_t;
using DWORD_PTR = uintptr_t;
// The video window's owner and message drain: a window handle as an integer (see IVideoWindow).
using OAHWND = intptr_t;
using OAFilterState = LONG;
using OAEVENT = intptr_t;

inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;

inline constexpr LONGLONG MAXLONGLONG = std::numeric_limits<LONGLONG>::max();
inline constexpr REFERENCE_TIME UNITS = 10000000;  // 100 ns units in a second
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr int MAX_PIN_NAME = 128;
inline constexpr int MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

// Names are UTF-8. The interface pointers are references owned by the structure.
struct PIN_INFO {
    ComPtr<IBaseFilter> pFilter;
    PIN_DIRECTION dir = PINDIR_INPUT;
    char achName[MAX_PIN_NAME] = {};
};

struct FILTER_INFO {
    char achName[MAX_FILTER_NAME] = {};
    ComPtr<IFilterGraph> pGraph;
};

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers = 0;
    LONG cbBuffer = 0;
    LONG cbAlign = 0;
    LONG cbPrefix = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    constexpr bool operator==(const RECT&) const = default;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

// IMemAllocator::GetBuffer flags.
inline constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
inline constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
inline constexpr DWORD AM_GBF_NOWAIT = 4;

// Graph events (IMediaEventEx).
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;
inline constexpr LONG EC_TIME = 0x04;
inline constexpr LONG EC_STREAM_ERROR_STOPPED = 0x06;
inline constexpr LONG EC_STREAM_CONTROL_STOPPED = 0x1A;
inline constexpr LONG EC_STREAM_CONTROL_STARTED = 0x1B;

// Result codes of the filter graph layer that the foundation does not define.
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHResult(0x80040200);
inline constexpr HRESULT VFW_E_INVALIDSUBTYPE = MakeHResult(0x80040201);
inline constexpr HRESULT VFW_E_NEED_OWNER = MakeHResult(0x80040202);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = MakeHResult(0x80040205);
inline constexpr HRESULT VFW_E_NO_TYPES = MakeHResult(0x80040206);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHResult(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHResult(0x80040210);
inline constexpr HRESULT VFW_E_SIZENOTSET = MakeHResult(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = MakeHResult(0x80040213);
inline constexpr HRESULT VFW_E_NO_SINK = MakeHResult(0x80040214);
inline constexpr HRESULT VFW_E_NOT_PAUSED = MakeHResult(0x80040225);
inline constexpr HRESULT VFW_E_START_TIME_AFTER_END = MakeHResult(0x80040228);
inline constexpr HRESULT VFW_E_INVALID_RECT = MakeHResult(0x80040229);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeHResult(0x8004022B);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = MakeHResult(0x8004022C);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeHResult(0x8004022E);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_RANGE = MakeHResult(0x80040230);
inline constexpr HRESULT VFW_E_CIRCULAR_GRAPH = MakeHResult(0x80040231);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHResult(0x00040237);
inline constexpr HRESULT VFW_E_INVALID_MEDIA_TYPE = MakeHResult(0x80040248);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHResult(0x80040251);
inline constexpr HRESULT VFW_E_NO_DECOMPRESSOR = MakeHResult(0x80040255);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHResult(0x8004025F);
inline constexpr HRESULT VFW_S_STREAM_OFF = MakeHResult(0x00040267);
inline constexpr HRESULT VFW_S_CANT_CUE = MakeHResult(0x00040268);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHResult(0x00040270);
inline constexpr HRESULT VFW_S_NOPREVIEWPIN = MakeHResult(0x0004027E);
