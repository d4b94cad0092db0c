#include "platform/base/Log.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace {

struct LogState {
    std::mutex lock;
    bool configured = false;
    LogLevel defaultLevel = LogLevel::Warning;
    std::map<std::string, LogLevel, std::less<>> levels;
    LogSink sink;
};

LogState& State() {
    static LogState state;
    return state;
}

bool ParseLevel(const std::string& text, LogLevel* level) {
    static const std::pair<const char*, LogLevel> names[] = {
        {"error", LogLevel::Error}, {"warning", LogLevel::Warning}, {"warn", LogLevel::Warning},
        {"info", LogLevel::Info},   {"debug", LogLevel::Debug}};
    for (const auto& [name, value] : names) {
        if (text == name) {
            *level = value;
            return true;
        }
    }
    return false;
}

const char* LevelName(LogLevel level) {
    switch (level) {
    case LogLevel::Error: return "error";
    case LogLevel::Warning: return "warning";
    case LogLevel::Info: return "info";
    case LogLevel::Debug: return "debug";
    }
    return "?";
}

// Caller holds the lock.
void ConfigureLocked(LogState& state) {
    state.configured = true;
    state.defaultLevel = LogLevel::Warning;
    state.levels.clear();
    const char* env = std::getenv("ORVANTA_LOG");
    const std::string setting = env ? env : "";
    size_t begin = 0;
    while (begin <= setting.size()) {
        size_t end = setting.find(',', begin);
        if (end == std::string::npos) end = setting.size();
        const std::string item = setting.substr(begin, end - begin);
        begin = end + 1;
        if (item.empty()) continue;
        LogLevel level;
        const size_t equals = item.find('=');
        if (equals == std::string::npos) {
            if (ParseLevel(item, &level)) state.defaultLevel = level;
            else std::fprintf(stderr, "orvanta: ORVANTA_LOG: unknown level \"%s\"\n", item.c_str());
        } else if (ParseLevel(item.substr(equals + 1), &level)) {
            state.levels[item.substr(0, equals)] = level;
        } else {
            std::fprintf(stderr, "orvanta: ORVANTA_LOG: unknown level in \"%s\"\n", item.c_str());
        }
    }
}

bool EnabledLocked(LogState& state, LogLevel level, const char* category) {
    if (!state.configured) ConfigureLocked(state);
    auto it = state.levels.find(category);
    const LogLevel limit = it != state.levels.end() ? it->second : state.defaultLevel;
    return level <= limit;
}

}  // namespace

bool LogEnabled(LogLevel level, const char* category) {
    LogState& state = State();
    std::lock_guard lock(state.lock);
    return EnabledLocked(state, level, category);
}

void LogWrite(LogLevel level, const char* category, const std::string& message) {
    LogState& state = State();
    std::lock_guard lock(state.lock);
    if (!EnabledLocked(state, level, category)) return;
    if (state.sink) {
        state.sink(level, category, message);
        return;
    }
    std::fprintf(stderr, "orvanta[%s] %s: %s\n", category, LevelName(level), message.c_str());
}

void LogConfigure() {
    LogState& state = State();
    std::lock_guard lock(state.lock);
    ConfigureLocked(state);
}

void SetLogSink(LogSink sink) {
    LogState& state = State();
    std::lock_guard lock(state.lock);
    state.sink = std::move(sink);
}

std::string HResultText(int32_t hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(hr));
    return text;
}
