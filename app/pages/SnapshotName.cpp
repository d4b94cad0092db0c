#include "app/pages/SnapshotName.h"

#include <cstdio>
#include <filesystem>

std::string SnapshotBaseName(const SYSTEMTIME& utc) {
    char name[64];
    std::snprintf(name, sizeof name, "%d-%d-%d %d%d%d", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    return name;
}

std::string FreeSnapshotPath(const std::string& folder, const std::string& base,
                             const std::string& extension) {
    const std::string stem = folder + "/" + base;
    std::string path = stem + extension;
    std::error_code error;
    for (int number = 2; std::filesystem::exists(path, error) || error; ++number) {
        // A folder we cannot look into gives no free name: let the save report it.
        if (error) return path;
        path = stem + " (" + std::to_string(number) + ")" + extension;
    }
    return path;
}
