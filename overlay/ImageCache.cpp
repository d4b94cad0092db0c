#include "overlay/ImageCache.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

#include <QImageReader>
#include <QString>

namespace {
// The overlay image and the texture image; two more for changes in flight.
constexpr size_t kMaxEntries = 4;

uint64_t NextGeneration() {
    static std::atomic<uint64_t> generation{0};
    return ++generation;
}

std::shared_ptr<const CachedImage> Decode(const std::string& path) {
    QImageReader reader(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) return nullptr;
    auto decoded = std::make_shared<CachedImage>();
    decoded->image = image.convertToFormat(QImage::Format_ARGB32);
    decoded->generation = NextGeneration();
    return decoded;
}
}  // namespace

std::shared_ptr<const CachedImage> ImageCache::Get(std::string_view path) {
    if (path.empty()) return nullptr;
    std::string file(path);
    struct stat info {};
    auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.path == file; });
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (found != entries_.end()) entries_.erase(found);
        return nullptr;
    }
    FileStamp stamp{info.st_dev, info.st_ino, info.st_size,
                    static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
    if (found != entries_.end()) {
        if (found->stamp == stamp) return found->image;
        entries_.erase(found);
    }
    if (entries_.size() == kMaxEntries) entries_.pop_back();
    entries_.insert(entries_.begin(), Entry{file, stamp, Decode(file)});
    return entries_.front().image;
}
