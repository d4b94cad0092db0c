#include <fcntl.h>
#include <libv4l2.h>
#include <poll.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <utility>

#include "platform/devices/v4l2/V4l2Api.h"

namespace {

class SystemApi : public V4l2Api {
public:
    std::vector<std::string> ListNodes() override {
        std::vector<std::pair<int, std::string>> nodes;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("video", 0) != 0 || name.size() == 5) continue;
            std::string digits = name.substr(5);
            if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
            nodes.emplace_back(std::stoi(digits), entry.path().string());
        }
        std::sort(nodes.begin(), nodes.end());
        std::vector<std::string> paths;
        for (auto& node : nodes) paths.push_back(std::move(node.second));
        return paths;
    }
    int Open(const std::string& path, int flags) override { return v4l2_open(path.c_str(), flags | O_CLOEXEC); }
    int Close(int fd) override { return v4l2_close(fd); }
    int Ioctl(int fd, unsigned long request, void* arg) override { return v4l2_ioctl(fd, request, arg); }
    void* Mmap(size_t length, int prot, int flags, int fd, int64_t offset) override {
        return v4l2_mmap(nullptr, length, prot, flags, fd, offset);
    }
    int Munmap(void* address, size_t length) override { return v4l2_munmap(address, length); }
    int Poll(int fd, int timeoutMs) override {
        pollfd p{fd, POLLIN, 0};
        int r;
        do {
            r = poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        return r;
    }
};

}  // namespace

namespace {
std::mutex& ReplacementLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<V4l2Api>& Replacement() {
    static std::shared_ptr<V4l2Api> api;
    return api;
}
}  // namespace

std::shared_ptr<V4l2Api> SystemV4l2Api() {
    {
        std::lock_guard lock(ReplacementLock());
        if (Replacement()) return Replacement();
    }
    static std::shared_ptr<V4l2Api> api = std::make_shared<SystemApi>();
    return api;
}

std::shared_ptr<V4l2Api> UseV4l2Api(std::shared_ptr<V4l2Api> api) {
    std::lock_guard lock(ReplacementLock());
    return std::exchange(Replacement(), std::move(api));
}

int XIoctl(V4l2Api& api, int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = api.Ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}
