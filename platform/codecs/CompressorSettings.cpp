#include "platform/codecs/CompressorSettings.h"

#include <map>
#include <mutex>

namespace {
std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
std::map<std::string, CompressorSettings>& Store() {
    static std::map<std::string, CompressorSettings> store;
    return store;
}
}  // namespace

int DefaultQuality(const std::string& friendlyName) {
    // The lossless ones have nothing to trade.
    if (friendlyName == "Huffyuv" || friendlyName == "FFV1" || friendlyName == "PCM") return 10000;
    return 7500;
}

CompressorSettings SettingsOf(const std::string& friendlyName) {
    std::lock_guard lock(Lock());
    auto it = Store().find(friendlyName);
    if (it != Store().end()) return it->second;
    CompressorSettings settings;
    settings.quality = DefaultQuality(friendlyName);
    return settings;
}

void StoreSettings(const std::string& friendlyName, const CompressorSettings& settings) {
    std::lock_guard lock(Lock());
    Store()[friendlyName] = settings;
}
