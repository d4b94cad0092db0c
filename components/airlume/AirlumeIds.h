#pragma once
// The fixed identifiers of the media-file broadcaster: the program binds to the class identifier
// and the DISPIDs, so none of them ever changes.
#include <cstdint>

#include "platform/com/Guid.h"

inline constexpr Guid LIBID_AIRLUMELib = MakeGuid("{D5F2F363-4FD7-48C8-AA27-C895C087682E}");
inline constexpr uint16_t kAirlumeLibMajor = 1;
inline constexpr uint16_t kAirlumeLibMinor = 0;
inline constexpr uint32_t kAirlumeLibLcid = 1033;

inline constexpr CLSID CLSID_Airlume = MakeGuid("{58171B2C-8345-484A-8AB1-E6A6E12FFD9E}");
inline constexpr IID DIID__DAirlume = MakeGuid("{C2925433-0A78-4947-AEF2-A53EA092BFD8}");
inline constexpr IID DIID__DAirlumeEvents = MakeGuid("{4C6E653C-9EAD-48C4-A499-3BD7F46FD712}");

inline constexpr const char* kAirlumeProgId = "AIRLUME.AirlumeCtrl.1";
inline constexpr const char* kAirlumeTypeName = "Airlume Media Broadcaster Control";
// INVISIBLEATRUNTIME | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST | INSIDEOUT | CANTLINKINSIDE
inline constexpr uint32_t kAirlumeMiscStatus = 0x20591;

// Dispatch interface.
inline constexpr int32_t kDispidMaxClients = 2;
inline constexpr int32_t kDispidPort = 3;
inline constexpr int32_t kDispidFileName = 4;
inline constexpr int32_t kDispidStartBroadcast = 6;
inline constexpr int32_t kDispidStopBroadcast = 7;
inline constexpr int32_t kDispidGetClientInfo = 8;

// Events.
inline constexpr int32_t kDispidFileFinished = 1;
inline constexpr int32_t kDispidReady = 2;
inline constexpr int32_t kDispidBroadcasting = 3;
inline constexpr int32_t kDispidBroadcastError = 4;
inline constexpr int32_t kDispidClientsChanged = 5;
