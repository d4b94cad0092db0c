// Random bitmap headers, colour tables, pixel bits and qualities into SaveJpegFile: it must answer
// 0 or 1, never read outside what it was given and never leave a partial file.
//   input: 40 header bytes, 1 quality byte, 1 colour-count byte, the colours, then the bits
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "imaging/jpeg/Dib.h"
#include "imaging/jpeg/JpegSnapshot.h"

namespace {
// A fresh folder for each input, removed afterwards (the fuzzer may end the process at any time).
class Folder {
public:
    Folder() {
        char name[] = "/tmp/orvanta-fuzz-jpeg-XXXXXX";
        if (!mkdtemp(name)) abort();
        path_ = name;
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(DibHeader) + 2) return 0;
    DibHeader header;
    std::memcpy(&header, data, sizeof header);
    const int quality = static_cast<int>(data[40]) - 10;  // -10..245: in and out of range
    const size_t colourCount = std::min<size_t>(data[41] * 2u, (size - 42) / sizeof(RgbQuad));
    // Copies, so that the sanitizer sees the exact extent of each part.
    std::vector<RgbQuad> colours(colourCount);
    if (colourCount > 0) std::memcpy(colours.data(), data + 42, colourCount * sizeof(RgbQuad));
    const uint8_t* bitsStart = data + 42 + colourCount * sizeof(RgbQuad);
    std::vector<uint8_t> bits(bitsStart, data + size);

    Folder folder;
    const std::filesystem::path file = folder.Path() / "shot.jpg";
    std::string error;
    int result = SaveJpegFile(header, colours, bits, file, quality, &error);
    if (result != 0 && result != 1) abort();
    // Whatever the answer, the folder holds at most the finished file.
    size_t entries = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path(), ec)) {
        ++entries;
        if (entry.path() != file) abort();
    }
    if (entries != static_cast<size_t>(result)) abort();
    return 0;
}
