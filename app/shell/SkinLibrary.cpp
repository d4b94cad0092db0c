#include "app/shell/SkinLibrary.h"

#include <cstdio>

#include "platform/com/ModuleLoader.h"

namespace {

struct SkinEntry {
    int ordinal;
    const char* name;
};

constexpr SkinEntry kSkinEntries[] = {
    {kSkinShutdownOrdinal, "WyvernShutdown"},
    {kSkinLoadOrdinal, "WyvernLoadSkin"},
    {kSkinExcludeOrdinal, "WyvernExcludeWindow"},
};

using LoadSkin = int (*)(const char* path, int flags);
using ExcludeWindowEntry = int (*)(QWidget* window, int exclude);
using ShutdownEntry = void (*)();

}  // namespace

const char* SkinEntryName(int ordinal) {
    for (const SkinEntry& entry : kSkinEntries) {
        if (entry.ordinal == ordinal) return entry.name;
    }
    return nullptr;
}

SkinLibrary& SkinLibrary::Instance() {
    static SkinLibrary library;
    return library;
}

void* SkinLibrary::Entry(int ordinal) const {
    return module_ ? GetProcAddress(module_, SkinEntryName(ordinal)) : nullptr;
}

bool SkinLibrary::Load(const std::string& libraryFolder, const std::string& skinFile) {
    if (!module_) {
        const std::string path = libraryFolder + "/Wyvernskin.so";
        if (FAILED(LoadModule(path, module_))) {
            std::fprintf(stderr, "orvanta: no window skin (%s: %s)\n", path.c_str(),
                         LastModuleError().c_str());
            module_ = nullptr;
            return false;
        }
    }
    auto load = reinterpret_cast<LoadSkin>(Entry(kSkinLoadOrdinal));
    if (!load || !load(skinFile.c_str(), 0)) {
        std::fprintf(stderr, "orvanta: the window skin %s could not be loaded\n", skinFile.c_str());
        return false;
    }
    return true;
}

void SkinLibrary::ExcludeWindow(QWidget* window) {
    if (auto exclude = reinterpret_cast<ExcludeWindowEntry>(Entry(kSkinExcludeOrdinal)))
        exclude(window, 1);
}

void SkinLibrary::Shutdown() {
    if (auto shutdown = reinterpret_cast<ShutdownEntry>(Entry(kSkinShutdownOrdinal))) shutdown();
}
