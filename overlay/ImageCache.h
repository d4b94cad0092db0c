#pragma once
// Decoded overlay and texture images by file. Every lookup checks the file (one stat), so a file
// that changed or disappeared shows on the very next frame, while an unchanged file is decoded
// only once.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>

struct CachedImage {
    // Format_ARGB32 (straight alpha).
    QImage image;
    // Unique for each decode in the process, so derived layers know when to rebuild.
    uint64_t generation = 0;
};

class ImageCache {
public:
    // The picture of the file, or null when it does not exist or cannot be decoded.
    std::shared_ptr<const CachedImage> Get(std::string_view path);

private:
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t mtimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct Entry {
        std::string path;
        FileStamp stamp;
        // Null when the file could not be decoded: not retried until the file changes.
        std::shared_ptr<const CachedImage> image;
    };
    std::vector<Entry> entries_;
};
