#pragma once
// Keeps what the process writes to stderr (its own code and every loaded module, whose logs
// write there) in a file while it lives, for a test to read; the terminal gets it back after.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

class StderrCapture {
public:
    explicit StderrCapture(std::filesystem::path file) : file_(std::move(file)) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (saved_ >= 0 && fd >= 0) ::dup2(fd, STDERR_FILENO);
        if (fd >= 0) ::close(fd);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far.
    std::string Text() const {
        std::fflush(stderr);
        std::ifstream in(file_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path file_;
    int saved_ = -1;
};

}  // namespace testing_support
