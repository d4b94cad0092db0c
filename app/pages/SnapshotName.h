#pragma once
// Snapshot file names: the UTC date and time of the shot, without leading zeros
// ("2026-12-7 953" for 09:05:03 on 7 December 2026), in the snapshot folder. Two shots in one
// second get " (2)", " (3)", ... before the extension, so the second does not replace the first.
#include <string>

#include "platform/os/WallClock.h"

std::string SnapshotBaseName(const SYSTEMTIME& utc);
// `folder` + "/" + `base` + `extension` (".jpg"), or the first numbered form of it that no file
// has taken yet.
std::string FreeSnapshotPath(const std::string& folder, const std::string& base,
                             const std::string& extension);
