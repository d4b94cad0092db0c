#pragma once
// The per-user folder where message windows listen and named mutexes keep their lock files:
// $ORVANTA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/orvanta, else /tmp/orvanta-<uid>.
// It is created with mode 0700. A folder that is a symbolic link, belongs to another user or is
// open to group or others is refused: whoever can write there could pose as our windows.
#include <filesystem>
#include <optional>

#include "platform/base/HResult.h"

class RuntimeFolder {
public:
    // The folder the environment names now, unchecked.
    static std::filesystem::path Configured();
    // The checked folder, created when missing; empty when it cannot be used (reported on stderr
    // once per process and folder).
    static std::optional<std::filesystem::path> Get();
    // S_OK when `folder` exists, is a directory of this user and closed to everyone else;
    // E_ACCESSDENIED when it is not safe; the errno result when it cannot be examined.
    static HRESULT Check(const std::filesystem::path& folder);
};
