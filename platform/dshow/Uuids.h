#pragma once
// The identifiers of the filter graph layer with their Windows values: media major types,
// subtypes, format types, pin categories and property sets, and the classes of the stock filters.
#include "platform/com/Guid.h"
#include "platform/com/FilterRegistration.h"  // CLSID_LegacyAmFilterCategory
#include "platform/base/HResult.h"

// Major types.
inline constexpr Guid MEDIATYPE_Video = MakeGuid("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr Guid MEDIATYPE_Audio = MakeGuid("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr Guid MEDIATYPE_Interleaved = MakeGuid("{73766169-0000-0010-8000-00AA00389B71}");
inline constexpr Guid MEDIATYPE_Stream = MakeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIATYPE_Text = MakeGuid("{73747874-0000-0010-8000-00AA00389B71}");

// Uncompressed RGB subtypes (DIB layout: BGR byte order, bottom-up when biHeight > 0).
inline constexpr Guid MEDIASUBTYPE_RGB1 = MakeGuid("{E436EB78-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB4 = MakeGuid("{E436EB79-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB8 = MakeGuid("{E436EB7A-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB565 = MakeGuid("{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB555 = MakeGuid("{E436EB7C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB24 = MakeGuid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB32 = MakeGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_ARGB32 = MakeGuid("{773C9AC0-3274-11D0-B724-00AA006C1A01}");
inline constexpr Guid MEDIASUBTYPE_Overlay = MakeGuid("{E436EB7F-524F-11CE-9F53-0020AF0BA770}");

// MPEG-1, file and container subtypes.
inline constexpr Guid MEDIASUBTYPE_MPEG1Packet = MakeGuid("{E436EB80-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_MPEG1Payload = MakeGuid("{E436EB81-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_MPEG1System = MakeGuid("{E436EB84-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_MPEG1Video = MakeGuid("{E436EB86-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_MPEG1Audio = MakeGuid("{E436EB87-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_Avi = MakeGuid("{E436EB88-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_QTMovie = MakeGuid("{E436EB89-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_WAVE = MakeGuid("{E436EB8B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_Asf = MakeGuid("{3DB80F90-9412-11D1-ADED-0000F8754B99}");
inline constexpr Guid MEDIASUBTYPE_VPVideo = MakeGuid("{5A9B6A40-1A22-11D1-BAD9-00609744111A}");
inline constexpr Guid MEDIASUBTYPE_VPVBI = MakeGuid("{5A9B6A41-1A22-11D1-BAD9-00609744111A}");

// FourCC subtypes: XXXXXXXX-0000-0010-8000-00AA00389B71.
inline constexpr Guid MEDIASUBTYPE_YVU9 = Guid::FromFourCC(Guid::FourCC('Y', 'V', 'U', '9'));
inline constexpr Guid MEDIASUBTYPE_Y411 = Guid::FromFourCC(Guid::FourCC('Y', '4', '1', '1'));
inline constexpr Guid MEDIASUBTYPE_Y41P = Guid::FromFourCC(Guid::FourCC('Y', '4', '1', 'P'));
inline constexpr Guid MEDIASUBTYPE_YUY2 = Guid::FromFourCC(Guid::FourCC('Y', 'U', 'Y', '2'));
inline constexpr Guid MEDIASUBTYPE_YVYU = Guid::FromFourCC(Guid::FourCC('Y', 'V', 'Y', 'U'));
inline constexpr Guid MEDIASUBTYPE_UYVY = Guid::FromFourCC(Guid::FourCC('U', 'Y', 'V', 'Y'));
inline constexpr Guid MEDIASUBTYPE_Y211 = Guid::FromFourCC(Guid::FourCC('Y', '2', '1', '1'));
inline constexpr Guid MEDIASUBTYPE_CLJR = Guid::FromFourCC(Guid::FourCC('C', 'L', 'J', 'R'));
inline constexpr Guid MEDIASUBTYPE_IF09 = Guid::FromFourCC(Guid::FourCC('I', 'F', '0', '9'));
inline constexpr Guid MEDIASUBTYPE_CPLA = Guid::FromFourCC(Guid::FourCC('C', 'P', 'L', 'A'));
inline constexpr Guid MEDIASUBTYPE_MJPG = Guid::FromFourCC(Guid::FourCC('M', 'J', 'P', 'G'));
inline constexpr Guid MEDIASUBTYPE_TVMJ = Guid::FromFourCC(Guid::FourCC('T', 'V', 'M', 'J'));
inline constexpr Guid MEDIASUBTYPE_WAKE = Guid::FromFourCC(Guid::FourCC('W', 'A', 'K', 'E'));
inline constexpr Guid MEDIASUBTYPE_CFCC = Guid::FromFourCC(Guid::FourCC('C', 'F', 'C', 'C'));
inline constexpr Guid MEDIASUBTYPE_IJPG = Guid::FromFourCC(Guid::FourCC('I', 'J', 'P', 'G'));
inline constexpr Guid MEDIASUBTYPE_Plum = Guid::FromFourCC(Guid::FourCC('P', 'l', 'u', 'm'));
inline constexpr Guid MEDIASUBTYPE_QTRpza = Guid::FromFourCC(Guid::FourCC('r', 'p', 'z', 'a'));
inline constexpr Guid MEDIASUBTYPE_QTSmc = Guid::FromFourCC(Guid::FourCC('s', 'm', 'c', ' '));
inline constexpr Guid MEDIASUBTYPE_QTRle = Guid::FromFourCC(Guid::FourCC('r', 'l', 'e', ' '));
inline constexpr Guid MEDIASUBTYPE_QTJpeg = Guid::FromFourCC(Guid::FourCC('j', 'p', 'e', 'g'));
inline constexpr Guid MEDIASUBTYPE_dvsd = Guid::FromFourCC(Guid::FourCC('d', 'v', 's', 'd'));
inline constexpr Guid MEDIASUBTYPE_dvhd = Guid::FromFourCC(Guid::FourCC('d', 'v', 'h', 'd'));
inline constexpr Guid MEDIASUBTYPE_dvsl = Guid::FromFourCC(Guid::FourCC('d', 'v', 's', 'l'));
inline constexpr Guid MEDIASUBTYPE_I420 = Guid::FromFourCC(Guid::FourCC('I', '4', '2', '0'));
inline constexpr Guid MEDIASUBTYPE_IYUV = Guid::FromFourCC(Guid::FourCC('I', 'Y', 'U', 'V'));
inline constexpr Guid MEDIASUBTYPE_YV12 = Guid::FromFourCC(Guid::FourCC('Y', 'V', '1', '2'));
inline constexpr Guid MEDIASUBTYPE_NV12 = Guid::FromFourCC(Guid::FourCC('N', 'V', '1', '2'));

// Audio subtypes: the WAVE format tag in the first 32 bits.
inline constexpr Guid MEDIASUBTYPE_PCM = Guid::FromFourCC(0x00000001);
inline constexpr Guid MEDIASUBTYPE_IEEE_FLOAT = Guid::FromFourCC(0x00000003);

// Format types.
inline constexpr Guid FORMAT_None = MakeGuid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr Guid FORMAT_VideoInfo = MakeGuid("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FORMAT_VideoInfo2 = MakeGuid("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
inline constexpr Guid FORMAT_WaveFormatEx = MakeGuid("{05589F81-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FORMAT_MPEGVideo = MakeGuid("{05589F82-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FORMAT_DvInfo = MakeGuid("{05589F84-C356-11CE-BF01-00AA0055595A}");

// Pin categories (IKsPropertySet::Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY)).
inline constexpr Guid AMPROPSETID_Pin = MakeGuid("{9B00F101-1567-11D1-B3F1-00AA003761C5}");
inline constexpr DWORD AMPROPERTY_PIN_CATEGORY = 0;
inline constexpr DWORD AMPROPERTY_PIN_MEDIUM = 1;
inline constexpr Guid PIN_CATEGORY_CAPTURE = MakeGuid("{FB6C4281-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid PIN_CATEGORY_PREVIEW = MakeGuid("{FB6C4282-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid PIN_CATEGORY_ANALOGVIDEOIN = MakeGuid("{FB6C4283-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid PIN_CATEGORY_VBI = MakeGuid("{FB6C4284-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid PIN_CATEGORY_VIDEOPORT = MakeGuid("{FB6C4285-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid PIN_CATEGORY_STILL = MakeGuid("{FB6C428A-0353-11D1-905F-0000C0CC16BA}");

// ICaptureGraphBuilder2::FindInterface search directions, passed as the category.
inline constexpr Guid LOOK_UPSTREAM_ONLY = MakeGuid("{AC798BE0-98E3-11D1-B3F1-00AA003761C5}");
inline constexpr Guid LOOK_DOWNSTREAM_ONLY = MakeGuid("{AC798BE1-98E3-11D1-B3F1-00AA003761C5}");

// Classes of the graph objects and stock filters.
inline constexpr CLSID CLSID_FilterGraph = MakeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_SystemClock = MakeGuid("{E436EBB1-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_CaptureGraphBuilder2 = MakeGuid("{BF87B6E1-8C27-11D0-B3F0-00AA003761C5}");
inline constexpr CLSID CLSID_SampleGrabber = MakeGuid("{C1F400A0-3F08-11D3-9F0B-006008039E37}");
inline constexpr CLSID CLSID_NullRenderer = MakeGuid("{C1F400A4-3F08-11D3-9F0B-006008039E37}");
inline constexpr CLSID CLSID_SmartTee = MakeGuid("{CC58E280-8AA1-11D1-B3F1-00AA003761C5}");
inline constexpr CLSID CLSID_AviDest = MakeGuid("{E2510970-F137-11CE-8B67-00AA00A3F1A6}");
inline constexpr CLSID CLSID_FileWriter = MakeGuid("{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}");
inline constexpr CLSID CLSID_WMAsfWriter = MakeGuid("{7C23220E-55BB-11D3-8B16-00C04FB6BD3D}");
inline constexpr CLSID CLSID_VideoRenderer = MakeGuid("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr CLSID CLSID_VideoRendererDefault = MakeGuid("{6BC1CFFA-8FC1-4261-AC22-CFB4CC38DB50}");
// The colour space converter; ours also decodes motion JPEG.
inline constexpr CLSID CLSID_Colour = MakeGuid("{1643E180-90F5-11CE-97D5-00AA0055595A}");
inline constexpr CLSID CLSID_MjpegDec = MakeGuid("{301056D0-6DFF-11D2-9EEB-006008039E37}");

// Device and filter categories of the system device enumerator.
inline constexpr CLSID CLSID_SystemDeviceEnum = MakeGuid("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");
inline constexpr CLSID CLSID_VideoInputDeviceCategory = MakeGuid("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
inline constexpr CLSID CLSID_AudioInputDeviceCategory = MakeGuid("{33D9A762-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr CLSID CLSID_VideoCompressorCategory = MakeGuid("{33D9A760-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr CLSID CLSID_AudioCompressorCategory = MakeGuid("{33D9A761-90C8-11D0-BD43-00A0C911CE86}");

// Our synthetic sources (this layer's tests and benchmark).
inline constexpr CLSID CLSID_OrvantaSyntheticVideo = MakeGuid("{5D3E1A10-7C41-4E0B-9A55-1F2B6C0D7E01}");
inline constexpr CLSID CLSID_OrvantaSyntheticAudio = MakeGuid("{5D3E1A10-7C41-4E0B-9A55-1F2B6C0D7E02}");
