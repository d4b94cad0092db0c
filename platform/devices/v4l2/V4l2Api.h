#pragma once
// The thin seam between the V4L2 backend and the kernel: device nodes, open/close, ioctl, mmap,
// poll. The system implementation goes through libv4l2, which also offers converted formats for
// cameras that give only compressed or exotic ones; tests replay recorded driver answers instead.
// Calls follow the system's conventions: -1 and errno on failure.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class V4l2Api {
public:
    virtual ~V4l2Api() = default;
    // Capture-capable candidates: /dev/video* in number order.
    virtual std::vector<std::string> ListNodes() = 0;
    virtual int Open(const std::string& path, int flags) = 0;
    virtual int Close(int fd) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* Mmap(size_t length, int prot, int flags, int fd, int64_t offset) = 0;
    virtual int Munmap(void* address, size_t length) = 0;
    // > 0 when a buffer is ready within the time-out, 0 on time-out.
    virtual int Poll(int fd, int timeoutMs) = 0;
};

// The real kernel through libv4l2; shared by every device of the process.
std::shared_ptr<V4l2Api> SystemV4l2Api();
// Makes SystemV4l2Api() hand out `api` instead (null: the kernel again), so that the whole device
// path (listing, binding, streaming in the filter) runs over recorded driver answers. Devices
// bound earlier keep the API they were bound with. Returns the previous replacement.
std::shared_ptr<V4l2Api> UseV4l2Api(std::shared_ptr<V4l2Api> api);

// Ioctl that retries on EINTR, as every V4L2 caller must.
int XIoctl(V4l2Api& api, int fd, unsigned long request, void* arg);
