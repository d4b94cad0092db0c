#pragma once
// A small disk of its own for a test: a tmpfs of `megabytes` mounted on a folder of the test,
// unmounted again at the end. Mounting needs privileges; a test skips when the mount is refused
// (and only then).
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace testing_support {

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, int megabytes) : folder_(folder) {
        std::error_code ec;
        std::filesystem::create_directories(folder_, ec);
        const std::string options = "size=" + std::to_string(megabytes) + "m,mode=0700";
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) mounted_ = true;
        else why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    // Why the mount was refused.
    const std::string& Why() const { return why_; }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace testing_support
