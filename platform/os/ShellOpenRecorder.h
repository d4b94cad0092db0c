#pragma once
// The shell-open double for tests: while it lives, ShellOpen records its targets instead of
// starting the desktop handler, and answers `result`.
#include <string>
#include <vector>

#include "platform/os/ShellOpen.h"

class ShellOpenRecorder {
public:
    explicit ShellOpenRecorder(HRESULT result = S_OK) : result_(result) {
        previous_ = SetShellOpenHandler([this](const std::string& target) {
            targets_.push_back(target);
            return result_;
        });
    }
    ~ShellOpenRecorder() { SetShellOpenHandler(std::move(previous_)); }
    ShellOpenRecorder(const ShellOpenRecorder&) = delete;
    ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;

    const std::vector<std::string>& Targets() const { return targets_; }

private:
    HRESULT result_;
    ShellOpenHandler previous_;
    std::vector<std::string> targets_;
};
