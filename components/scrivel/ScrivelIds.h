#pragma once
// Identifiers of the screen capture control (Scrivel.so in the Windows folder).
#include "platform/com/Guid.h"

inline constexpr CLSID CLSID_Scrivel = MakeGuid("{C1E943ED-5A44-4688-944C-9B7C3C82513B}");
inline constexpr IID DIID__DScrivel = MakeGuid("{5F0C27A9-6B1D-4E83-9D42-A7E1C03B58F6}");
inline constexpr IID DIID__DScrivelEvents = MakeGuid("{5F0C27A9-6B1D-4E83-9D42-A7E1C03B58F7}");
inline constexpr IID DIID__DScrivelNames = MakeGuid("{5F0C27A9-6B1D-4E83-9D42-A7E1C03B58F8}");
inline constexpr const char* kScrivelTypeName = "Scrivel Screen Capture Control";
inline constexpr const char* kScrivelProgId = "Scrivel.ScreenCapture.1";
