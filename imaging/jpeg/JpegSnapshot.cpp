#include "imaging/jpeg/JpegSnapshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "imaging/jpeg/JpegEncoder.h"
#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/PlaneSplitter.h"
#include "imaging/jpeg/QuantTable.h"

namespace {

bool WriteAll(int fd, std::span<const uint8_t> data) {
    while (!data.empty()) {
        ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data = data.subspan(static_cast<size_t>(written));
    }
    return true;
}

// A fresh file beside the target: O_EXCL, so nothing that exists is ever written through.
int CreateTemporary(const std::filesystem::path& path, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%d.%u.%llx.part", static_cast<int>(::getpid()),
                      counter.fetch_add(1), static_cast<unsigned long long>(tick) & 0xFFFFFF);
        name = path.string() + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteFileWhole(const std::filesystem::path& path, std::span<const uint8_t> data) {
    if (path.empty()) return false;
    std::string temporary;
    int fd = CreateTemporary(path, temporary);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const DibImage& bitmap, int quality) {
    const std::array<int, 64> table = QuantTableForQuality(quality);
    ColourPlanes planes = SplitPlanes(bitmap);

    JpegEncoder encoder(planes.red.get(), planes.green.get(), planes.blue.get());
    encoder.SetQuantTables(table, table);
    encoder.SetParameters(planes.width, planes.height, std::string("this is test data"), 1, 72, 72);
    if (encoder.Encode() != 0) return {};
    std::span<const uint8_t> output = encoder.Output();
    return {output.begin(), output.end()};
}

int SaveJpegFile(const DibHeader& header, std::span<const RgbQuad> colours,
                 std::span<const uint8_t> bits, const std::filesystem::path& path, int quality,
                 std::string* errorText) {
    try {
        DibImage image(header, colours, bits);
        std::vector<uint8_t> data = EncodeJpeg(image, quality);
        if (data.empty()) return 0;
        return WriteFileWhole(path, data) ? 1 : 0;
    } catch (const std::exception& error) {
        if (errorText) *errorText = error.what();
        return 0;
    } catch (...) {
        return 0;
    }
}
