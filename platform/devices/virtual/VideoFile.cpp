#include "platform/devices/virtual/VideoFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/devices/VideoSubtypes.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/PixelConversion.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

constexpr int kMaxDimension = 16384;
constexpr size_t kMaxHeaderBytes = 1024;

AVPixelFormat PixelFormatOf(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
    if (subtype == MEDIASUBTYPE_RGB32) return AV_PIX_FMT_BGR0;
    if (subtype == MEDIASUBTYPE_YUY2) return AV_PIX_FMT_YUYV422;
    if (subtype == MEDIASUBTYPE_UYVY) return AV_PIX_FMT_UYVY422;
    if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV || subtype == MEDIASUBTYPE_YV12)
        return AV_PIX_FMT_YUV420P;
    if (subtype == MEDIASUBTYPE_NV12) return AV_PIX_FMT_NV12;
    return AV_PIX_FMT_NONE;
}

bool IsRgb(const Guid& subtype) { return subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32; }

// Bytes of one frame: DIB rows for RGB when `dib`, else the unpadded top-down layout.
int64_t FrameBytes(const Guid& subtype, int width, int height, bool dib) {
    const int64_t w = width, h = height;
    if (subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32) {
        const WORD bits = subtype == MEDIASUBTYPE_RGB24 ? 24 : 32;
        return (dib ? DibStride(width, bits) : w * bits / 8) * h;
    }
    if (subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY) return w * h * 2;
    return w * h * 3 / 2;  // the 4:2:0 layouts
}

// The planes of a frame at `base`, as swscale takes them.
void Planes(const Guid& subtype, int width, int height, bool dib, uint8_t* base, uint8_t* planes[4], int strides[4]) {
    for (int i = 0; i < 4; ++i) planes[i] = nullptr, strides[i] = 0;
    if (IsRgb(subtype)) {
        const WORD bits = subtype == MEDIASUBTYPE_RGB24 ? 24 : 32;
        const int stride = dib ? DibStride(width, bits) : width * bits / 8;
        // A DIB runs bottom-up: its first row in memory is the picture's last.
        planes[0] = dib ? base + static_cast<ptrdiff_t>(height - 1) * stride : base;
        strides[0] = dib ? -stride : stride;
        return;
    }
    const ptrdiff_t luma = static_cast<ptrdiff_t>(width) * height;
    if (subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY) {
        planes[0] = base, strides[0] = width * 2;
    } else if (subtype == MEDIASUBTYPE_NV12) {
        planes[0] = base, strides[0] = width;
        planes[1] = base + luma, strides[1] = width;
    } else {
        const bool yv12 = subtype == MEDIASUBTYPE_YV12;
        planes[0] = base, strides[0] = width;
        planes[yv12 ? 2 : 1] = base + luma, strides[yv12 ? 2 : 1] = width / 2;
        planes[yv12 ? 1 : 2] = base + luma + luma / 4, strides[yv12 ? 1 : 2] = width / 2;
    }
}

std::string Name(const VideoClip& clip) { return clip.path.string(); }

VideoFileProbe Failed(const VideoClip& clip, const std::string& problem) {
    VideoFileProbe probe;
    probe.error = Name(clip) + ": " + problem;
    return probe;
}

bool ParseRatio(const std::string& text, long long& num, long long& den) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    char* end = nullptr;
    num = std::strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() + colon) return false;
    den = std::strtoll(text.c_str() + colon + 1, &end, 10);
    return *end == '\0';
}

VideoFileProbe ProbeY4m(const VideoClip& clip) {
    std::ifstream in(clip.path, std::ios::binary);
    if (!in) return Failed(clip, std::string("cannot be read (") + std::strerror(errno) + ")");
    std::string header;
    char c = 0;
    while (header.size() < kMaxHeaderBytes && in.get(c) && c != '\n') header += c;
    if (header.rfind("YUV4MPEG2", 0) != 0) return Failed(clip, "not a YUV4MPEG2 file (it does not start with \"YUV4MPEG2\")");
    if (c != '\n') return Failed(clip, "the YUV4MPEG2 header has no end of line");

    VideoFileLayout layout;
    layout.subtype = MEDIASUBTYPE_I420;
    long long rateNum = 0, rateDen = 0;
    std::istringstream words(header.substr(9));
    std::string word;
    while (words >> word) {
        const std::string value = word.substr(1);
        char* end = nullptr;
        switch (word[0]) {
        case 'W':
        case 'H': {
            long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 1 || n > kMaxDimension)
                return Failed(clip, "the header's " + word + " is not a size from 1 to " + std::to_string(kMaxDimension));
            (word[0] == 'W' ? layout.width : layout.height) = static_cast<int>(n);
            break;
        }
        case 'F':
            if (!ParseRatio(value, rateNum, rateDen) || rateNum <= 0 || rateDen <= 0)
                return Failed(clip, "the header's frame rate " + word + " is not a ratio of two positive numbers");
            break;
        case 'C':
            if (value != "420" && value != "420jpeg" && value != "420paldv" && value != "420mpeg2")
                return Failed(clip, "colour space " + value + " is not supported (only 4:2:0)");
            break;
        default:  // interlacing, aspect and extensions do not change the pixels
            break;
        }
    }
    if (layout.width == 0 || layout.height == 0) return Failed(clip, "the header gives no width (W) or height (H)");
    if (rateNum == 0) return Failed(clip, "the header gives no frame rate (F)");
    if (layout.width % 2 || layout.height % 2) return Failed(clip, "4:2:0 frames need an even width and height");
    const double rate = static_cast<double>(rateNum) / static_cast<double>(rateDen);
    if (rate < 0.1 || rate > 1000.0) return Failed(clip, "the frame rate must be between 0.1 and 1000 frames a second");
    layout.frameInterval = static_cast<REFERENCE_TIME>(10000000.0 / rate + 0.5);
    layout.frameBytes = FrameBytes(layout.subtype, layout.width, layout.height, false);

    std::error_code ec;
    const auto size = static_cast<int64_t>(std::filesystem::file_size(clip.path, ec));
    if (ec) return Failed(clip, "cannot be read (" + ec.message() + ")");
    for (int64_t at = in.tellg(); at < size;) {
        const std::string frame = "frame " + std::to_string(layout.frameOffsets.size() + 1);
        in.seekg(at);
        std::string line;
        while (line.size() < kMaxHeaderBytes && in.get(c) && c != '\n') line += c;
        if (line.rfind("FRAME", 0) != 0 || c != '\n') return Failed(clip, frame + " does not start with a FRAME line");
        const int64_t offset = at + static_cast<int64_t>(line.size()) + 1;
        if (size - offset < layout.frameBytes)
            return Failed(clip, frame + " is cut short (" + std::to_string(size - offset) + " of " +
                                    std::to_string(layout.frameBytes) + " bytes)");
        layout.frameOffsets.push_back(offset);
        at = offset + layout.frameBytes;
    }
    if (layout.frameOffsets.empty()) return Failed(clip, "holds no frames");
    VideoFileProbe probe;
    probe.layout = std::move(layout);
    return probe;
}

VideoFileProbe ProbeRaw(const VideoClip& clip) {
    if (PixelFormatOf(clip.subtype) == AV_PIX_FMT_NONE)
        return Failed(clip, "raw frames must be RGB24, RGB32, YUY2, UYVY, I420, YV12 or NV12");
    if (clip.width < 1 || clip.height < 1 || clip.width > kMaxDimension || clip.height > kMaxDimension)
        return Failed(clip, "the frame size must be from 1 to " + std::to_string(kMaxDimension));
    if (!IsRgb(clip.subtype) && (clip.width % 2 || (PixelFormatOf(clip.subtype) != AV_PIX_FMT_YUYV422 &&
                                                    PixelFormatOf(clip.subtype) != AV_PIX_FMT_UYVY422 && clip.height % 2)))
        return Failed(clip, "this format needs an even width (and for 4:2:0 an even height)");
    if (!(clip.frameRate >= 0.1 && clip.frameRate <= 1000.0))
        return Failed(clip, "the frame rate must be between 0.1 and 1000 frames a second");
    std::error_code ec;
    const auto size = std::filesystem::file_size(clip.path, ec);
    if (ec) return Failed(clip, "cannot be read (" + ec.message() + ")");
    VideoFileLayout layout;
    layout.subtype = clip.subtype;
    layout.width = clip.width;
    layout.height = clip.height;
    layout.frameInterval = static_cast<REFERENCE_TIME>(10000000.0 / clip.frameRate + 0.5);
    layout.frameBytes = FrameBytes(clip.subtype, clip.width, clip.height, false);
    if (size == 0) return Failed(clip, "holds no frames");
    if (size % static_cast<uint64_t>(layout.frameBytes) != 0)
        return Failed(clip, "its size (" + std::to_string(size) + " bytes) is not a whole number of " +
                                std::to_string(layout.frameBytes) + "-byte frames");
    for (uint64_t at = 0; at < size; at += static_cast<uint64_t>(layout.frameBytes))
        layout.frameOffsets.push_back(static_cast<int64_t>(at));
    VideoFileProbe probe;
    probe.layout = std::move(layout);
    return probe;
}

}  // namespace

VideoFileProbe ProbeVideoFile(const VideoClip& clip) { return clip.raw ? ProbeRaw(clip) : ProbeY4m(clip); }

std::vector<Guid> VideoFileDeliveredSubtypes(const Guid& fileSubtype) {
    std::vector<Guid> subtypes;
    if (fileSubtype != MEDIASUBTYPE_RGB24) subtypes.push_back(fileSubtype);
    subtypes.push_back(MEDIASUBTYPE_RGB24);
    return subtypes;
}

struct VideoFilePlayer::Converter {
    ~Converter() { sws_freeContext(context); }
    SwsContext* context = nullptr;
};

VideoFilePlayer::VideoFilePlayer() = default;

VideoFilePlayer::~VideoFilePlayer() {
    if (fd_ >= 0) ::close(fd_);
}

HRESULT VideoFilePlayer::Open(const VideoClip& clip, const Guid& subtype) {
    VideoFileProbe probe = ProbeVideoFile(clip);
    if (!probe.Ok()) {
        error_ = probe.error;
        return HResultFromErrno(EINVAL);
    }
    layout_ = std::move(probe.layout);
    subtype_ = subtype;
    const std::vector<Guid> delivered = VideoFileDeliveredSubtypes(layout_.subtype);
    if (std::find(delivered.begin(), delivered.end(), subtype) == delivered.end()) {
        error_ = clip.path.string() + ": its frames cannot be delivered in the format asked for";
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    fd_ = ::open(clip.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = clip.path.string() + ": " + std::strerror(errno);
        return HResultFromLastErrno();
    }
    path_ = clip.path.string();
    frame_.resize(static_cast<size_t>(layout_.frameBytes));
    if (subtype != layout_.subtype || IsRgb(subtype)) {
        converter_ = std::make_unique<Converter>();
        converter_->context = sws_getContext(layout_.width, layout_.height, PixelFormatOf(layout_.subtype), layout_.width,
                                             layout_.height, PixelFormatOf(subtype), SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!converter_->context) return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT VideoFilePlayer::Draw(uint64_t frame, uint8_t* data, size_t size) {
    if (fd_ < 0 || layout_.frameOffsets.empty()) return E_UNEXPECTED;
    if (size < static_cast<size_t>(FrameBytes(subtype_, layout_.width, layout_.height, true))) return VFW_E_BUFFER_OVERFLOW;
    const int64_t offset = layout_.frameOffsets[frame % layout_.frameOffsets.size()];
    // Straight into the sample when nothing needs converting.
    uint8_t* target = converter_ ? frame_.data() : data;
    size_t done = 0;
    while (done < frame_.size()) {
        ssize_t got = ::pread(fd_, target + done, frame_.size() - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error_ = path_ + ": " + std::strerror(errno);
            return HResultFromLastErrno();
        }
        if (got == 0) {
            error_ = path_ + ": the file was cut short while playing";
            return HResultFromErrno(EIO);
        }
        done += static_cast<size_t>(got);
    }
    if (!converter_) return S_OK;
    uint8_t* source[4];
    int sourceStrides[4];
    uint8_t* dest[4];
    int destStrides[4];
    Planes(layout_.subtype, layout_.width, layout_.height, false, frame_.data(), source, sourceStrides);
    Planes(subtype_, layout_.width, layout_.height, true, data, dest, destStrides);
    if (!ConvertPixelsDirect(PixelFormatOf(layout_.subtype), source, sourceStrides, PixelFormatOf(subtype_), dest,
                             destStrides, layout_.width, layout_.height))
        sws_scale(converter_->context, source, sourceStrides, 0, layout_.height, dest, destStrides);
    return S_OK;
}
