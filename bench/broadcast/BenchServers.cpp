#include "bench/broadcast/BenchServers.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {
const char* const kCamera = "Bench Still Camera";
const char* const kVlcUser = "orvanta-bench";

// A profile text is UTF-16: the ASCII text widened, after a byte order mark.
bool WriteUtf16(const fs::path& file, const std::string& text) {
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fputc(0xFF, out) != EOF && std::fputc(0xFE, out) != EOF;
    for (char c : text) ok = ok && std::fputc(c, out) != EOF && std::fputc(0, out) != EOF;
    return std::fclose(out) == 0 && ok;
}

// One video stream: WMV8 at the size, rate and bit rate asked for.
std::string VideoOnlyProfile(const StreamSettings& s) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const std::string bits = std::to_string(s.bitRate);
    const std::string interval = std::to_string(10000000 / s.rate);
    const std::string keyFrames = std::to_string(static_cast<long long>(s.keyFrameSeconds) * 10000000);
    return "<profile version=\"589824\" storageformat=\"1\" name=\"Bench " + size +
           "\" description=\"video only\">\n"
           " <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
           "streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"" + bits +
           "\" bufferwindow=\"5000\" reliabletransport=\"0\" decodercomplexity=\"\" rfc1766langid=\"en-us\">\n"
           "  <videomediaprops maxkeyframespacing=\"" + keyFrames + "\" quality=\"85\"/>\n"
           "  <wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"0\" "
           "btemporalcompression=\"1\" lsamplesize=\"0\">\n"
           "   <videoinfoheader dwbitrate=\"" + bits + "\" dwbiterrorrate=\"0\" avgtimeperframe=\"" + interval + "\">\n"
           "    <rcsource left=\"0\" top=\"0\" right=\"" + std::to_string(s.width) + "\" bottom=\"" +
           std::to_string(s.height) + "\"/>\n"
           "    <rctarget left=\"0\" top=\"0\" right=\"" + std::to_string(s.width) + "\" bottom=\"" +
           std::to_string(s.height) + "\"/>\n"
           "    <bitmapinfoheader biwidth=\"" + std::to_string(s.width) + "\" biheight=\"" + std::to_string(s.height) +
           "\" biplanes=\"1\" bibitcount=\"24\" bicompression=\"WMV2\" bisizeimage=\"0\" bixpelspermeter=\"0\" "
           "biypelspermeter=\"0\" biclrused=\"0\" biclrimportant=\"0\"/>\n"
           "   </videoinfoheader>\n"
           "  </wmmediatype>\n"
           " </streamconfig>\n"
           "</profile>\n";
}

bool WriteDeviceList(const fs::path& file, const fs::path& still) {
    FILE* out = std::fopen(file.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, R"({"devices": [{"name": "%s", "kind": "video", "file": "%s"}]})", kCamera,
                 still.c_str());
    return std::fclose(out) == 0;
}

// The unprivileged user VLC runs as (VLC refuses to run as root), made when missing.
bool EnsureVlcUser(std::string& why) {
    if (getpwnam(kVlcUser)) return true;
    const std::string command = std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") + kVlcUser;
    if (std::system(command.c_str()) != 0 || !getpwnam(kVlcUser)) {
        why = "cannot create the user " + std::string(kVlcUser) + " for VLC (" + command + " failed)";
        return false;
    }
    return true;
}
}  // namespace

bool OrvantaServer(const StreamSettings& stream, const fs::path& dir, int seconds, ServerSetup& setup, std::string& why) {
    const fs::path profile = dir / "bench-broadcast.prx", devices = dir / "broadcast-devices.json";
    setup.name = "orvanta";
    setup.feed = FrameFeeder::Mode::Overwrite;
    setup.stillFile = dir / "still.y4m";
    if (!WriteUtf16(profile, VideoOnlyProfile(stream)) || !WriteDeviceList(devices, setup.stillFile)) {
        why = "cannot write the profile or the device list into " + dir.string();
        return false;
    }
    setup.port = FreeLoopbackPort();
    // Its own time covers the settling, the window and the stream's probe after it; the bench
    // takes its figures before that ends, then waits for it to end on its own.
    setup.argv = {(fs::path(ORVANTA_DIST_DIR) / "orvanta-capture").string(), "broadcast", "--port",
                 std::to_string(setup.port), "--seconds", std::to_string(seconds + 12), "--clients",
                 std::to_string(stream.clients), "--profile", profile.string()};
    setup.environment = {"ORVANTA_DEVICES=" + devices.string()};
    setup.helperProgram = (fs::path(ORVANTA_DIST_DIR) / "Relayo").string();
    setup.readyLine = "broadcasting at";
    setup.endsByItself = true;
    return setup.port != 0;
}

std::string VlcChain(const StreamSettings& s, uint16_t port) {
    return "#transcode{vcodec=WMV2,vb=" + std::to_string(s.bitRate / 1000) + ",width=" + std::to_string(s.width) +
           ",height=" + std::to_string(s.height) + ",fps=" + std::to_string(s.rate) +
           ",acodec=none,venc=avcodec{keyint=" + std::to_string(s.keyFrameSeconds * s.rate) +
           "}}:std{access=mmsh,mux=asfh,dst=127.0.0.1:" + std::to_string(port) + "}";
}

std::vector<std::string> VlcCommand(const StreamSettings& stream, uint16_t port) {
    // One decoding thread: its input is raw frames, which need none. The encoder's threads are
    // VLC's own choice. "-" is its standard input; the end of it ends VLC.
    return {"cvlc", "-q", "--avcodec-threads=1", "-", "--sout", VlcChain(stream, port), "vlc://quit"};
}

bool VlcServer(const StreamSettings& stream, const fs::path& home, ServerSetup& setup, std::string& why) {
    setup.name = "vlc";
    setup.feed = FrameFeeder::Mode::Stream;
    setup.port = FreeLoopbackPort();
    if (setup.port == 0) {
        why = "no free loopback port";
        return false;
    }
    const std::vector<std::string> vlc = VlcCommand(stream, setup.port);
    if (::geteuid() == 0) {
        if (!EnsureVlcUser(why)) return false;
        const passwd* user = getpwnam(kVlcUser);
        std::error_code ec;
        fs::create_directories(home, ec);
        if (ec || ::chown(home.c_str(), user->pw_uid, user->pw_gid) != 0) {
            why = "cannot give " + home.string() + " to " + kVlcUser;
            return false;
        }
        setup.argv = {"runuser", "-u", kVlcUser, "--", "env", "HOME=" + home.string()};
    } else {
        setup.argv = {"env", "HOME=" + home.string()};
    }
    setup.argv.insert(setup.argv.end(), vlc.begin(), vlc.end());
    setup.endsByItself = false;
    return true;
}
