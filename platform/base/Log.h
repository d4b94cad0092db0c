#pragma once
// The one log of the program: failures that are not returned to a caller, methods that are not
// implemented, and (at debug level) how graphs are built. Lines go to stderr as
//   orvanta[<category>] <level>: <message>
// ORVANTA_LOG chooses what is written: a level for every category ("debug"), levels per
// category ("engine=debug,dshow=info"), or both ("warning,engine=debug"). Without it warnings and
// errors are written. Categories are the layers: "os", "com", "dshow", "devices", "codecs",
// "wmf", "engine", "control", "overlay", "relayo", "torvane", "tool".
#include <cstdint>
#include <functional>
#include <string>

enum class LogLevel { Error = 0, Warning = 1, Info = 2, Debug = 3 };

bool LogEnabled(LogLevel level, const char* category);
void LogWrite(LogLevel level, const char* category, const std::string& message);

inline void LogError(const char* category, const std::string& message) { LogWrite(LogLevel::Error, category, message); }
inline void LogWarning(const char* category, const std::string& message) {
    LogWrite(LogLevel::Warning, category, message);
}
inline void LogInfo(const char* category, const std::string& message) { LogWrite(LogLevel::Info, category, message); }
// Callers that build a costly message ask LogEnabled first.
inline void LogDebug(const char* category, const std::string& message) { LogWrite(LogLevel::Debug, category, message); }

// Rereads ORVANTA_LOG (the first log call reads it by itself).
void LogConfigure();
// Tests read the lines through a sink of their own; an empty function writes to stderr again.
using LogSink = std::function<void(LogLevel, const std::string& category, const std::string& message)>;
void SetLogSink(LogSink sink);

// "0x80070070" for a result code.
std::string HResultText(int32_t hr);
