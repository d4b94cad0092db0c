// The shipped profile files, as copied into the program folder: the 21 names, UTF-16 text that
// parses as XML, one WMA2 audio and one WMV2 video stream at the size of the name, consistent rates.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <map>
#include <cctype>
#include <set>

#include "tests/support/TestEnvironment.h"

namespace {

const char* const kFiles[] = {
    "176x144-l.prx",   "176x144-m.prx",   "176x144.prx",    "320x240-l.prx",   "320x240-m.prx",
    "320x240.prx",     "640x480-l.prx",   "640x480-m.prx",  "640x480.prx",     "720x480.prx",
    "720x576.prx",     "800x600-l.prx",   "800x600-m.prx",  "800x600.prx",     "1024x768-l.prx",
    "1024x768-m.prx",  "1024x768.prx",    "1280x1024-l.prx", "1280x1024-m.prx", "1280x1024.prx",
    "1920x1080.prx"};

using Attributes = std::map<std::string, std::string>;

// Element name (lower case) -> attributes, per stream config; profile attributes under "profile".
struct Profile {
    Attributes root;
    std::vector<std::map<std::string, Attributes>> streams;
};

long long Number(const Attributes& a, const std::string& name) {
    auto it = a.find(name);
    if (it == a.end()) {
        ADD_FAILURE() << "missing attribute " << name;
        return -1;
    }
    return std::stoll(it->second);
}

// Reads a profile file; fails the test on any encoding or XML fault.
Profile Load(const std::filesystem::path& file) {
    Profile profile;
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << file;
        return profile;
    }
    QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE")) << file << ": no UTF-16LE byte order mark";
    EXPECT_EQ(bytes.size() % 2, 0) << file;
    QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes.mid(2));
    EXPECT_FALSE(decoder.hasError()) << file << ": not valid UTF-16";
    EXPECT_FALSE(text.contains(QChar(0xFFFD))) << file;

    QXmlStreamReader xml(text);
    Attributes* current = nullptr;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        std::string name = xml.name().toString().toLower().toStdString();
        if (name == "profile") {
            current = &profile.root;
        } else if (name == "streamconfig") {
            profile.streams.emplace_back();
            current = &profile.streams.back()["streamconfig"];
        } else if (!profile.streams.empty()) {
            current = &profile.streams.back()[name];
        } else {
            ADD_FAILURE() << file << ": element " << name << " outside a stream";
            continue;
        }
        for (const QXmlStreamAttribute& a : xml.attributes())
            (*current)[a.name().toString().toLower().toStdString()] = a.value().toString().toStdString();
    }
    EXPECT_FALSE(xml.hasError()) << file << ": " << xml.errorString().toStdString();
    return profile;
}

// "640x480-l.prx" -> 640, 480; false when the name does not follow the naming rule.
bool SizeFromName(const std::string& name, long long& width, long long& height) {
    char suffix[8] = {};
    int used = 0;
    if (std::sscanf(name.c_str(), "%lldx%lld%7[-lm.prx]%n", &width, &height, suffix, &used) != 3) return false;
    std::string rest = suffix;
    return static_cast<size_t>(used) == name.size() && (rest == ".prx" || rest == "-l.prx" || rest == "-m.prx");
}

bool IsHex(const std::string& text, size_t length) {
    if (text.size() != length) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

TEST(WmvProfilesTest, TheProgramFolderShipsExactlyTheListedProfiles) {
    std::filesystem::path folder = testing_support::DistDir() / "WMVFiles";
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) found.insert(entry.path().filename());
    std::set<std::string> expected(std::begin(kFiles), std::end(kFiles));
    EXPECT_EQ(found, expected);
}

TEST(WmvProfilesTest, EachProfileIsOneAudioAndOneVideoStreamOfItsSize) {
    std::filesystem::path folder = testing_support::DistDir() / "WMVFiles";
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        long long width = 0, height = 0;
        ASSERT_TRUE(SizeFromName(name, width, height));
        Profile p = Load(folder / name);
        EXPECT_EQ(Number(p.root, "version"), 589824);
        EXPECT_EQ(Number(p.root, "storageformat"), 1);
        EXPECT_FALSE(p.root["name"].empty());
        ASSERT_EQ(p.streams.size(), 2u);

        auto& audio = p.streams[0];
        EXPECT_EQ(audio["streamconfig"]["majortype"], "{73647561-0000-0010-8000-00AA00389B71}");
        EXPECT_EQ(Number(audio["streamconfig"], "streamnumber"), 1);
        EXPECT_EQ(audio["wmmediatype"]["subtype"], "{00000161-0000-0010-8000-00AA00389B71}");
        const Attributes& wave = audio["waveformatex"];
        EXPECT_EQ(Number(wave, "wformattag"), 353);
        long long rate = Number(wave, "nsamplespersec");
        EXPECT_TRUE(rate == 22050 || rate == 32000 || rate == 44100 || rate == 48000) << rate;
        long long channels = Number(wave, "nchannels");
        EXPECT_TRUE(channels == 1 || channels == 2);
        long long audioBitrate = Number(audio["streamconfig"], "bitrate");
        EXPECT_EQ(audioBitrate, 8 * Number(wave, "navgbytespersec"));
        EXPECT_GE(audioBitrate, 24000);
        EXPECT_LE(audioBitrate, 320000);
        EXPECT_GT(Number(wave, "nblockalign"), 0);
        EXPECT_EQ(Number(audio["wmmediatype"], "lsamplesize"), Number(wave, "nblockalign"));
        EXPECT_TRUE(IsHex(wave.at("codecdata"), 20)) << "ten bytes of codec data";

        auto& video = p.streams[1];
        EXPECT_EQ(video["streamconfig"]["majortype"], "{73646976-0000-0010-8000-00AA00389B71}");
        EXPECT_EQ(Number(video["streamconfig"], "streamnumber"), 2);
        EXPECT_EQ(video["wmmediatype"]["subtype"], "{32564D57-0000-0010-8000-00AA00389B71}");
        EXPECT_EQ(Number(video["bitmapinfoheader"], "biwidth"), width);
        EXPECT_EQ(Number(video["bitmapinfoheader"], "biheight"), height);
        EXPECT_EQ(video["bitmapinfoheader"]["bicompression"], "WMV2");
        for (const char* rect : {"rcsource", "rctarget"}) {
            EXPECT_EQ(Number(video[rect], "right"), width);
            EXPECT_EQ(Number(video[rect], "bottom"), height);
        }
        long long frame100ns = Number(video["videoinfoheader"], "avgtimeperframe");
        EXPECT_GE(frame100ns, 333333) << "at most 30 frames a second";
        EXPECT_LE(frame100ns, 1000000) << "at least 10 frames a second";
        long long videoBitrate = Number(video["streamconfig"], "bitrate");
        EXPECT_EQ(Number(video["videoinfoheader"], "dwbitrate"), videoBitrate);
        // Bits per pixel per frame: enough for a picture, not more than a lossy codec could use.
        double bitsPerPixel = static_cast<double>(videoBitrate) * frame100ns / 1e7 / (width * height);
        EXPECT_GT(bitsPerPixel, 0.05);
        EXPECT_LT(bitsPerPixel, 1.0);
        EXPECT_GT(Number(video["streamconfig"], "bufferwindow"), 0);
    }
}

TEST(WmvProfilesTest, QualityRisesFromLowToNormalToHigh) {
    std::filesystem::path folder = testing_support::DistDir() / "WMVFiles";
    for (const char* size : {"176x144", "320x240", "640x480", "800x600", "1024x768", "1280x1024"}) {
        SCOPED_TRACE(size);
        long long previousVideo = 0, previousAudio = 0;
        for (const char* suffix : {"-l", "-m", ""}) {
            Profile p = Load(folder / (std::string(size) + suffix + ".prx"));
            ASSERT_EQ(p.streams.size(), 2u);
            long long audio = Number(p.streams[0]["streamconfig"], "bitrate");
            long long video = Number(p.streams[1]["streamconfig"], "bitrate");
            EXPECT_GT(video, previousVideo);
            EXPECT_GE(audio, previousAudio);
            previousVideo = video;
            previousAudio = audio;
        }
    }
}
