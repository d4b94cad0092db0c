#include "components/relayo/RtmpModuleLoader.h"

#include <cctype>

#include "platform/com/ModuleLoader.h"
#include "platform/os/Folders.h"

namespace relayo {

bool IsRtmpAddress(const std::string& address) {
    static constexpr char kScheme[] = "rtmp://";
    if (address.size() <= sizeof kScheme - 1) return false;
    for (size_t i = 0; i < sizeof kScheme - 1; ++i)
        if (std::tolower(static_cast<unsigned char>(address[i])) != kScheme[i]) return false;
    return true;
}

namespace {
struct LoadedEntry {
    StartRtmpPushFn start = nullptr;
    std::string error;
};

LoadedEntry LoadEntry() {
    LoadedEntry entry;
    const std::filesystem::path file = std::filesystem::path(GetProgramFolder()) / kRtmpModuleFile;
    // Never freed: the codec libraries keep state of their own for the process's life.
    HMODULE module = nullptr;
    if (FAILED(LoadModule(file, module))) {
        entry.error = "cannot load " + file.string() + ": " + LastModuleError();
        return entry;
    }
    entry.start = GetProcAddressAs<StartRtmpPushFn>(module, kStartRtmpPushEntry);
    if (!entry.start) entry.error = file.string() + " has no entry point " + kStartRtmpPushEntry;
    return entry;
}
}  // namespace

std::unique_ptr<RtmpPush> StartRtmpPushFromModule(const std::filesystem::path& file, const std::string& url,
                                                  RtmpFailureHandler onFailure, std::string* error) {
    // The UI thread is the only caller; a module that failed to load is not tried again.
    static const LoadedEntry entry = LoadEntry();
    if (!entry.start) {
        if (error) *error = entry.error;
        return nullptr;
    }
    std::unique_ptr<RtmpPush> push;
    entry.start(file, url, std::move(onFailure), &push);
    return push;
}

}  // namespace relayo
