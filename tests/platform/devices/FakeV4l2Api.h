#pragma once
// Replays the recorded answers of V4L2 drivers (tests/platform/devices/data/v4l2-*.json) through
// the V4L2 seam, and logs every setting the code under test sends ("S_INPUT 2", "S_CTRL
// 0x009a0901=1", ...). The state the setters change (input, frequency, standard, controls,
// format) is kept per node, so later reads answer as the driver would.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/devices/v4l2/V4l2Api.h"

class FakeV4l2Api : public V4l2Api {
public:
    // Loads a recording from the test data folder.
    static std::shared_ptr<FakeV4l2Api> FromRecording(const std::string& fileName);
    explicit FakeV4l2Api(nlohmann::json recording);
    ~FakeV4l2Api() override;

    std::vector<std::string> ListNodes() override;
    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    void* Mmap(size_t length, int prot, int flags, int fd, int64_t offset) override;
    int Munmap(void* address, size_t length) override;
    int Poll(int fd, int timeoutMs) override;

    const std::vector<std::string>& Log() const { return log_; }
    // The device is pulled out: from now on every ioctl and poll fails with ENODEV, as the
    // kernel answers for a node whose device is gone.
    void Unplug() { unplugged_ = true; }
    int OpenCount() const { return openCount_; }
    int MappedBuffers() const { return static_cast<int>(mapped_.size()); }

private:
    struct Node;
    Node* NodeOf(int fd);
    int Answer(Node& node, unsigned long request, void* arg);
    int Stream(Node& node, unsigned long request, void* arg);

    std::vector<std::unique_ptr<Node>> nodes_;
    std::map<int, Node*> open_;
    int nextFd_ = 100;
    std::atomic<bool> unplugged_{false};
    int openCount_ = 0;
    std::map<void*, size_t> mapped_;
    std::vector<std::string> log_;
};

std::filesystem::path DeviceTestData();
