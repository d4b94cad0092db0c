// The command line of orvanta-capture: what each command takes, the output kind chosen by the
// file's extension, and the lines refused with their reason.
#include <gtest/gtest.h>

#include "tools/capture/CaptureArguments.h"

namespace {

CaptureRequest Accepted(const std::vector<std::string>& args) {
    ParseResult r = ParseCaptureArguments(args);
    EXPECT_TRUE(r.request) << r.error;
    return r.request.value_or(CaptureRequest{});
}

std::string Refused(const std::vector<std::string>& args) {
    ParseResult r = ParseCaptureArguments(args);
    EXPECT_FALSE(r.request);
    return r.error;
}

}  // namespace

TEST(CaptureArguments, RecordTakesEveryOptionAndTheExtensionChoosesTheOutputType) {
    CaptureRequest r = Accepted({"record", "out.avi", "--seconds", "10", "--device", "Cam A", "--audio-device", "Mic",
                                 "--format", "3", "--video-compressor", "MJPEG", "--audio-compressor", "PCM",
                                 "--text", "", "--date", "2", "--logo", "logo.bmp"});
    EXPECT_EQ(r.command, CaptureCommand::Record);
    EXPECT_EQ(r.file, "out.avi");
    EXPECT_EQ(r.seconds, 10);
    EXPECT_EQ(r.device, "Cam A");
    EXPECT_EQ(r.audioDevice, "Mic");
    EXPECT_EQ(r.format, 3);
    EXPECT_EQ(r.videoCompressor, "MJPEG");
    EXPECT_EQ(r.audioCompressor, "PCM");
    EXPECT_EQ(r.text, "");  // an empty text is still a text
    EXPECT_EQ(r.date, 2);
    EXPECT_EQ(r.logo, "logo.bmp");
    EXPECT_FALSE(r.noAudio);
    EXPECT_EQ(r.outputType, 0);

    EXPECT_EQ(Accepted({"record", "a.WMV", "--seconds", "1", "--profile", "p.prx"}).outputType, 1);
    EXPECT_EQ(Accepted({"record", "a.mpg", "--seconds", "1"}).outputType, 2);
    EXPECT_EQ(Accepted({"record", "--mpeg2", "dir.v/a.mpeg", "--seconds", "1"}).outputType, 3);
    CaptureRequest silent = Accepted({"record", "a.avi", "--no-audio", "--seconds", "86400"});
    EXPECT_TRUE(silent.noAudio);
    EXPECT_EQ(silent.seconds, 86400);
    EXPECT_FALSE(silent.text);
    EXPECT_FALSE(silent.date);
}

TEST(CaptureArguments, RecordRefusesWhatCannotBeDone) {
    EXPECT_EQ(Refused({"record", "a.avi"}), "record wants --seconds N");
    EXPECT_EQ(Refused({"record", "--seconds", "5"}), "record wants an output file");
    EXPECT_NE(Refused({"record", "a.mov", "--seconds", "5"}).find(".avi, .wmv or .mpg"), std::string::npos);
    EXPECT_NE(Refused({"record", "dir.avi/noext", "--seconds", "5"}).find(".avi, .wmv or .mpg"), std::string::npos);
    EXPECT_EQ(Refused({"record", "a.avi", "--mpeg2", "--seconds", "5"}), "--mpeg2 goes with an .mpg file");
    EXPECT_EQ(Refused({"record", "a.avi", "--profile", "p.prx", "--seconds", "5"}), "--profile goes with a .wmv file");
    EXPECT_NE(Refused({"record", "a.avi", "--no-audio", "--audio-device", "Mic", "--seconds", "5"}).find("contradicts"),
              std::string::npos);
    for (const char* bad : {"0", "-1", "1.5", "ten", "", "86401", "99999999999"})
        EXPECT_EQ(Refused({"record", "a.avi", "--seconds", bad}),
                  "--seconds wants a whole number of seconds from 1 to 86400")
            << bad;
    EXPECT_EQ(Refused({"record", "a.avi", "--seconds", "1", "--format", "-1"}),
              "--format wants an index from 0 (see `list`)");
    EXPECT_EQ(Refused({"record", "a.avi", "--seconds"}), "--seconds wants a value");
    EXPECT_EQ(Refused({"record", "a.avi", "--seconds", "1", "--seconds", "2"}), "--seconds given twice");
    EXPECT_EQ(Refused({"record", "a.avi", "b.avi", "--seconds", "1"}), "unexpected argument \"b.avi\"");
    EXPECT_EQ(Refused({"record", "a.avi", "--seconds", "1", "--port", "80"}), "unknown option --port for record");
    EXPECT_EQ(Refused({"record", "a.avi", "--seconds", "1", "--device", ""}), "--device wants a device name");
}

TEST(CaptureArguments, SnapshotBroadcastAndListTakeOnlyTheirOwnOptions) {
    CaptureRequest jpeg = Accepted({"snapshot", "shot.JPG", "--quality", "90", "--device", "Cam"});
    EXPECT_EQ(jpeg.command, CaptureCommand::Snapshot);
    EXPECT_TRUE(jpeg.jpeg);
    EXPECT_EQ(jpeg.quality, 90);
    CaptureRequest bmp = Accepted({"snapshot", "shot.bmp"});
    EXPECT_FALSE(bmp.jpeg);
    EXPECT_EQ(Refused({"snapshot", "shot.bmp", "--quality", "50"}), "--quality goes with a .jpg file");
    EXPECT_EQ(Refused({"snapshot", "shot.jpg", "--quality", "101"}), "--quality wants a JPEG quality from 1 to 100");
    EXPECT_NE(Refused({"snapshot", "shot.png"}).find(".jpg or .bmp"), std::string::npos);
    EXPECT_EQ(Refused({"snapshot", "shot.jpg", "--seconds", "1"}), "unknown option --seconds for snapshot");

    CaptureRequest cast = Accepted({"broadcast", "--port", "65535", "--seconds", "30", "--clients", "5"});
    EXPECT_EQ(cast.command, CaptureCommand::Broadcast);
    EXPECT_EQ(cast.port, 65535);
    EXPECT_EQ(cast.clients, 5);
    EXPECT_EQ(Accepted({"broadcast", "--port", "8080", "--seconds", "1"}).clients, 3);
    EXPECT_EQ(Refused({"broadcast", "--seconds", "30"}), "broadcast wants --port P");
    EXPECT_EQ(Refused({"broadcast", "--port", "8080"}), "broadcast wants --seconds N");
    EXPECT_EQ(Refused({"broadcast", "--port", "0", "--seconds", "1"}), "--port wants a port number from 1 to 65535");
    EXPECT_EQ(Refused({"broadcast", "--port", "65536", "--seconds", "1"}), "--port wants a port number from 1 to 65535");
    EXPECT_EQ(Refused({"broadcast", "out.wmv", "--port", "1", "--seconds", "1"}), "unexpected argument \"out.wmv\"");

    EXPECT_EQ(Accepted({"list"}).command, CaptureCommand::List);
    EXPECT_EQ(Refused({"list", "--device", "x"}), "unknown option --device for list");
    EXPECT_EQ(Refused({}), "no command given");
    EXPECT_EQ(Refused({"play"}), "unknown command \"play\"");
}
