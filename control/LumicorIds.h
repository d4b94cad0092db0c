#pragma once
// The fixed identifiers of the Grabwell control module: containers and the program's own
// wrapper bind to them, so they never change.
#include <cstdint>

#include "platform/com/Guid.h"

inline constexpr Guid LIBID_LUMICORLib = MakeGuid("{E4ECA5DC-3DE4-42EE-83B0-D14239388C68}");
inline constexpr uint16_t kLumicorLibMajor = 1;
inline constexpr uint16_t kLumicorLibMinor = 0;
inline constexpr uint32_t kLumicorLibLcid = 1033;

inline constexpr CLSID CLSID_Lumicor = MakeGuid("{E01CA1FE-309C-498D-B3B4-B16E0AB964DD}");
inline constexpr IID DIID__DLumicor = MakeGuid("{815C0DFD-6888-4287-B5B7-830CAE9A1CC9}");
inline constexpr IID DIID__DLumicorEvents = MakeGuid("{1190AD6F-B992-435E-8F25-97E5355A5B53}");
inline constexpr CLSID CLSID_LumicorPropPage = MakeGuid("{F7236572-9AF2-47DC-AD9C-B489B1853513}");

inline constexpr const char* kLumicorProgId = "LUMICOR.LumicorCtrl.1";
inline constexpr const char* kLumicorPropPageProgId = "LUMICOR.LumicorPropPage.1";
inline constexpr const char* kLumicorTypeName = "Lumicor Live Control";
inline constexpr const char* kLumicorPropPageTypeName = "Lumicor Live Property Page";
// ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST | INSIDEOUT | CANTLINKINSIDE | RECOMPOSEONRESIZE
inline constexpr uint32_t kLumicorMiscStatus = 0x20191;
