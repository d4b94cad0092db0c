#include "platform/codecs/CompressorManager.h"

#include <mutex>

#include "platform/codecs/CompressorDialog.h"

namespace {
std::mutex& RunnerLock() {
    static std::mutex lock;
    return lock;
}
CompressorDialogRunner& Runner() {
    static CompressorDialogRunner runner;
    return runner;
}
}  // namespace

bool ICInfo(uint32_t type, uint32_t index, ICINFO* info) {
    if (!info || type != ICTYPE_VIDEO) return false;
    auto installed = InstalledCompressors(CompressorKind::Video);
    if (index >= installed.size()) return false;
    *info = OpenCompressor(installed[index], ICMODE_QUERY).GetInfo();
    return true;
}

ICINFO OpenCompressor::GetInfo() const {
    ICINFO result;
    result.fccType = ICTYPE_VIDEO;
    result.fccHandler = info_.fourCC;
    result.dwFlags = info_.flags;
    result.szName = info_.encoder;
    result.szDescription = info_.friendlyName;
    return result;
}

long OpenCompressor::Configure(uint32_t owner) {
    if (mode_ == ICMODE_QUERY) return ICERR_UNSUPPORTED;
    CompressorSettings settings = SettingsOf(info_.friendlyName);
    CompressorDialogRunner runner;
    {
        std::lock_guard lock(RunnerLock());
        runner = Runner();
    }
    bool accepted = runner ? runner(info_, settings, owner) : RunCompressorDialog(info_, settings, owner);
    if (!accepted) return ICERR_CANTUPDATE;
    StoreSettings(info_.friendlyName, settings);
    return ICERR_OK;
}

long OpenCompressor::GetDefaultQuality(int* quality) const {
    if (!quality) return ICERR_UNSUPPORTED;
    *quality = DefaultQuality(info_.friendlyName);
    return ICERR_OK;
}

std::unique_ptr<OpenCompressor> ICOpen(uint32_t type, uint32_t handler, int mode) {
    if (type != ICTYPE_VIDEO) return nullptr;
    for (const auto& info : InstalledCompressors(CompressorKind::Video)) {
        // Handler codes compare without case, as the manager's do ("mp42" opens MP42).
        auto lower = [](uint32_t v) {
            uint32_t r = 0;
            for (int i = 0; i < 4; ++i) {
                uint32_t c = (v >> (8 * i)) & 0xFF;
                if (c >= 'A' && c <= 'Z') c += 32;
                r |= c << (8 * i);
            }
            return r;
        };
        if (lower(info.fourCC) == lower(handler)) return std::make_unique<OpenCompressor>(info, mode);
    }
    return nullptr;
}

void SetCompressorDialogRunner(CompressorDialogRunner runner) {
    std::lock_guard lock(RunnerLock());
    Runner() = std::move(runner);
}
