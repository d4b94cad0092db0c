#include "platform/wmf/ProfileParser.h"

#include <QString>
#include <QXmlStreamReader>
#include <cctype>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace {

// Well-formed UTF-16 without characters XML forbids; the reader is given nothing else.
bool IsCleanUtf16(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
    }
    return true;
}

class Reader {
public:
    explicit Reader(const QString& text) : xml_(text) {}

    HRESULT Read(ProfileDescription* profile) {
        if (!NextElement() || !Is("profile")) return NS_E_INVALIDPROFILE;
        std::optional<int64_t> version = Number("version", 0, std::numeric_limits<DWORD>::max(), false);
        if (!version) return NS_E_INVALIDPROFILE;
        profile->version = *version ? static_cast<WMT_VERSION>(*version) : WMT_VER_9_0;
        profile->name = Text("name");
        profile->description = Text("description");
        while (NextChild()) {
            if (Is("streamconfig")) {
                StreamDescription stream;
                if (!ReadStream(&stream)) return NS_E_INVALIDPROFILE;
                profile->streams.push_back(std::move(stream));
                if (profile->streams.size() > profile_limits::kMaxStreams) return NS_E_INVALIDPROFILE;
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (!failed_ && !xml_.hasError()) {
            // Nothing but whitespace, comments or processing instructions may follow the root.
            while (!xml_.atEnd()) {
                xml_.readNext();
                if (xml_.isStartElement()) return NS_E_INVALIDPROFILE;
            }
        }
        if (failed_ || xml_.hasError()) return NS_E_INVALIDPROFILE;
        return ValidateProfile(*profile);
    }

private:
    // The next start element at any depth before the current element ends.
    bool NextElement() {
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement()) return true;
            if (xml_.isEndElement()) return false;
        }
        return false;
    }
    bool NextChild() { return !failed_ && xml_.readNextStartElement(); }
    bool Is(const char* name) const { return xml_.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

    std::optional<QStringView> Attribute(const char* key) const {
        for (const QXmlStreamAttribute& a : xml_.attributes()) {
            if (a.name().compare(QLatin1String(key), Qt::CaseInsensitive) == 0) return a.value();
        }
        return std::nullopt;
    }
    std::string Text(const char* key) const {
        std::optional<QStringView> v = Attribute(key);
        return v ? v->toString().toStdString() : std::string();
    }
    // A decimal attribute within [min, max]; `required`: missing is an error (else 0).
    std::optional<int64_t> Number(const char* key, int64_t min, int64_t max, bool required) {
        std::optional<QStringView> v = Attribute(key);
        if (!v || v->trimmed().isEmpty()) {
            if (required) return Fail();
            return 0;
        }
        bool ok = false;
        qlonglong n = v->trimmed().toLongLong(&ok);
        if (!ok || n < min || n > max) return Fail();
        return n;
    }
    std::optional<Guid> GuidOf(const char* key) {
        std::optional<QStringView> v = Attribute(key);
        if (!v) return Fail();
        std::optional<Guid> g = Guid::Parse(v->toString().toStdString());
        if (!g) return Fail();
        return g;
    }
    std::nullopt_t Fail() {
        failed_ = true;
        return std::nullopt;
    }

    bool ReadStream(StreamDescription* s) {
        std::optional<Guid> major = GuidOf("majortype");
        auto number = Number("streamnumber", 1, profile_limits::kMaxStreamNumber, true);
        auto bitrate = Number("bitrate", 1, profile_limits::kMaxBitrate, true);
        // -1: no buffer window given (quality-based profiles).
        auto window = Number("bufferwindow", -1, 3600000, false);
        if (!major || !number || !bitrate || !window) return false;
        s->majorType = *major;
        s->streamNumber = static_cast<WORD>(*number);
        s->bitrate = static_cast<DWORD>(*bitrate);
        s->bufferWindow = static_cast<DWORD>(*window);
        s->streamName = Text("streamname");
        s->connectionName = Text("inputname");
        bool typed = false;
        while (NextChild()) {
            if (Is("videomediaprops")) {
                auto spacing = Number("maxkeyframespacing", 0, int64_t{3600} * 10000000, false);
                auto quality = Number("quality", 0, 100, false);
                if (!spacing || !quality) return false;
                s->maxKeyFrameSpacing = *spacing;
                s->quality = static_cast<DWORD>(*quality);
                xml_.skipCurrentElement();
            } else if (Is("wmmediatype")) {
                if (typed || !ReadMediaType(s)) return false;
                typed = true;
            } else {
                xml_.skipCurrentElement();
            }
        }
        return typed && !failed_;
    }

    bool ReadMediaType(StreamDescription* s) {
        WM_MEDIA_TYPE& type = s->type;
        std::optional<Guid> subtype = GuidOf("subtype");
        auto fixed = Number("bfixedsizesamples", 0, 1, false);
        auto temporal = Number("btemporalcompression", 0, 1, false);
        auto sampleSize = Number("lsamplesize", 0, 0x7FFFFFFF, false);
        if (!subtype || !fixed || !temporal || !sampleSize) return false;
        type.majortype = s->majorType;
        type.subtype = *subtype;
        type.bFixedSizeSamples = static_cast<BOOL>(*fixed);
        type.bTemporalCompression = static_cast<BOOL>(*temporal);
        type.lSampleSize = static_cast<ULONG>(*sampleSize);
        bool format = false;
        while (NextChild()) {
            if (Is("waveformatex")) {
                if (format || !ReadWaveFormat(&type)) return false;
                format = true;
                xml_.skipCurrentElement();
            } else if (Is("videoinfoheader")) {
                if (format || !ReadVideoInfo(&type)) return false;
                format = true;
            } else {
                xml_.skipCurrentElement();
            }
        }
        return format && !failed_;
    }

    bool ReadWaveFormat(WM_MEDIA_TYPE* type) {
        using namespace profile_limits;
        auto tag = Number("wformattag", 0, 0xFFFF, true);
        auto channels = Number("nchannels", 1, kMaxChannels, true);
        auto rate = Number("nsamplespersec", kMinSampleRate, kMaxSampleRate, true);
        auto bytes = Number("navgbytespersec", 0, kMaxBitrate / 8, false);
        auto align = Number("nblockalign", 0, 0xFFFF, false);
        auto bits = Number("wbitspersample", 0, 64, false);
        if (!tag || !channels || !rate || !bytes || !align || !bits) return false;
        std::string extra;
        if (std::optional<QStringView> hex = Attribute("codecdata")) {
            QByteArray digits = hex->trimmed().toLatin1();
            if (digits.size() % 2 != 0 || digits.size() > 2048) return Fail(), false;
            for (char c : digits) {
                if (!std::isxdigit(static_cast<unsigned char>(c))) return Fail(), false;
            }
            extra = QByteArray::fromHex(digits).toStdString();
        }
        WAVEFORMATEX wfx;
        wfx.wFormatTag = static_cast<WORD>(*tag);
        wfx.nChannels = static_cast<WORD>(*channels);
        wfx.nSamplesPerSec = static_cast<DWORD>(*rate);
        wfx.nAvgBytesPerSec = static_cast<DWORD>(*bytes);
        wfx.nBlockAlign = static_cast<WORD>(*align);
        wfx.wBitsPerSample = static_cast<WORD>(*bits);
        wfx.cbSize = static_cast<WORD>(extra.size());
        type->formattype = WMFORMAT_WaveFormatEx;
        BYTE* block = type->SetFormat(nullptr, static_cast<ULONG>(sizeof wfx + extra.size()));
        std::memcpy(block, &wfx, sizeof wfx);
        if (!extra.empty()) std::memcpy(block + sizeof wfx, extra.data(), extra.size());
        return true;
    }

    bool ReadRect(RECT* rect) {
        constexpr int64_t kLimit = 1 << 20;
        auto left = Number("left", -kLimit, kLimit, false);
        auto top = Number("top", -kLimit, kLimit, false);
        auto right = Number("right", -kLimit, kLimit, false);
        auto bottom = Number("bottom", -kLimit, kLimit, false);
        if (!left || !top || !right || !bottom) return false;
        *rect = RECT{static_cast<LONG>(*left), static_cast<LONG>(*top), static_cast<LONG>(*right), static_cast<LONG>(*bottom)};
        return true;
    }

    bool ReadVideoInfo(WM_MEDIA_TYPE* type) {
        using namespace profile_limits;
        VIDEOINFOHEADER vih;
        auto bitrate = Number("dwbitrate", 0, 0xFFFFFFFF, false);
        auto errors = Number("dwbiterrorrate", 0, 0xFFFFFFFF, false);
        auto interval = Number("avgtimeperframe", kMinFrameInterval, kMaxFrameInterval, true);
        if (!bitrate || !errors || !interval) return false;
        vih.dwBitRate = static_cast<DWORD>(*bitrate);
        vih.dwBitErrorRate = static_cast<DWORD>(*errors);
        vih.AvgTimePerFrame = *interval;
        bool header = false;
        while (NextChild()) {
            if (Is("rcsource")) {
                if (!ReadRect(&vih.rcSource)) return false;
            } else if (Is("rctarget")) {
                if (!ReadRect(&vih.rcTarget)) return false;
            } else if (Is("bitmapinfoheader")) {
                if (header || !ReadBitmapHeader(&vih.bmiHeader)) return false;
                header = true;
            }
            xml_.skipCurrentElement();
        }
        if (!header || failed_) return false;
        type->formattype = WMFORMAT_VideoInfo;
        type->SetFormat(&vih, sizeof vih);
        return true;
    }

    bool ReadBitmapHeader(BITMAPINFOHEADER* bmi) {
        using namespace profile_limits;
        auto width = Number("biwidth", kMinDimension, kMaxDimension, true);
        auto height = Number("biheight", -kMaxDimension, kMaxDimension, true);
        auto planes = Number("biplanes", 0, 0xFFFF, false);
        auto bits = Number("bibitcount", 0, 64, false);
        auto image = Number("bisizeimage", 0, 0xFFFFFFFF, false);
        auto xppm = Number("bixpelspermeter", -0x7FFFFFFF, 0x7FFFFFFF, false);
        auto yppm = Number("biypelspermeter", -0x7FFFFFFF, 0x7FFFFFFF, false);
        auto used = Number("biclrused", 0, 0xFFFFFFFF, false);
        auto important = Number("biclrimportant", 0, 0xFFFFFFFF, false);
        if (!width || !height || !planes || !bits || !image || !xppm || !yppm || !used || !important) return false;
        if (*height > -kMinDimension && *height < kMinDimension) return Fail(), false;
        bmi->biWidth = static_cast<LONG>(*width);
        bmi->biHeight = static_cast<LONG>(*height);
        bmi->biPlanes = static_cast<WORD>(*planes);
        bmi->biBitCount = static_cast<WORD>(*bits);
        bmi->biSizeImage = static_cast<DWORD>(*image);
        bmi->biXPelsPerMeter = static_cast<LONG>(*xppm);
        bmi->biYPelsPerMeter = static_cast<LONG>(*yppm);
        bmi->biClrUsed = static_cast<DWORD>(*used);
        bmi->biClrImportant = static_cast<DWORD>(*important);
        bmi->biCompression = 0;
        if (std::optional<QStringView> c = Attribute("bicompression")) {
            QStringView text = c->trimmed();
            bool ok = false;
            qulonglong n = text.toULongLong(&ok);
            if (ok && n <= 0xFFFFFFFF) {
                bmi->biCompression = static_cast<DWORD>(n);
            } else if (text.size() == 4) {
                // A FourCC written as its four characters ("WMV2").
                DWORD fourCC = 0;
                for (qsizetype i = 0; i < 4; ++i) {
                    char16_t ch = text[i].unicode();
                    if (ch < 0x20 || ch > 0x7E) return Fail(), false;
                    fourCC |= static_cast<DWORD>(ch) << (8 * i);
                }
                bmi->biCompression = fourCC;
            } else if (!text.isEmpty()) {
                return Fail(), false;
            }
        }
        return true;
    }

    QXmlStreamReader xml_;
    bool failed_ = false;
};
}  // namespace

HRESULT ParseProfileText(std::u16string_view text, ProfileDescription* profile) {
    if (!profile) return E_POINTER;
    *profile = ProfileDescription();
    if (text.size() > kMaxProfileTextLength) return NS_E_INVALIDPROFILE;
    std::u16string swapped;
    if (!text.empty() && text.front() == 0xFFFE) {
        // Written in the other byte order.
        swapped.assign(text.substr(1));
        for (char16_t& c : swapped) c = static_cast<char16_t>((c >> 8) | (c << 8));
        text = swapped;
    } else if (!text.empty() && text.front() == 0xFEFF) {
        text.remove_prefix(1);
    }
    if (text.empty() || !IsCleanUtf16(text)) return NS_E_INVALIDPROFILE;
    Reader reader(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    HRESULT hr = reader.Read(profile);
    if (FAILED(hr)) *profile = ProfileDescription();
    return hr;
}
