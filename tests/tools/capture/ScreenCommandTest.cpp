// `orvanta-capture screen`: its command line, and the real tool recording a private X server.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/XvfbServer.h"
#include "tools/capture/ScreenArguments.h"

namespace {

TEST(ScreenArguments, ReadsEveryOptionAndTheKindFromTheFileName) {
    ScreenParseResult r = ParseScreenArguments({"out.SWF", "--seconds", "2.5", "--rect", "10,20,300,200", "--fps",
                                                "25", "--cursor", "--no-audio", "--zoom-after", "1:0,0,100,50"});
    ASSERT_TRUE(r.request) << r.error;
    EXPECT_EQ(r.request->kind, 2);
    EXPECT_DOUBLE_EQ(r.request->seconds, 2.5);
    ASSERT_TRUE(r.request->rect);
    EXPECT_EQ(r.request->rect->x, 10);
    EXPECT_EQ(r.request->rect->height, 200);
    EXPECT_EQ(r.request->fps, 25);
    EXPECT_TRUE(r.request->cursor);
    EXPECT_FALSE(r.request->audio);
    ASSERT_TRUE(r.request->zoomAfter);
    EXPECT_DOUBLE_EQ(*r.request->zoomAfter, 1.0);
    EXPECT_EQ(r.request->zoomRect.width, 100);
    for (const char* name : {"a.avi", "a.wmv", "a.flv"}) EXPECT_TRUE(ParseScreenArguments({name, "--seconds", "1"}).request);
}

TEST(ScreenArguments, RefusesWhatItCannotRecord) {
    const std::vector<std::vector<std::string>> bad = {
        {"a.mpg", "--seconds", "1"},          {"a.flv"},
        {"a.flv", "--seconds", "0"},          {"a.flv", "--seconds", "1", "--rect", "1,2,3"},
        {"a.flv", "--seconds", "1", "--rect", "0,0,-5,10"},
        {"a.flv", "--seconds", "1", "--fps", "0"}, {"a.flv", "--seconds", "1", "--zoom-after", "1"},
        {"a.flv", "b.flv", "--seconds", "1"}, {"a.flv", "--seconds", "1", "--what"},
    };
    for (const auto& args : bad) EXPECT_FALSE(ParseScreenArguments(args).request) << args[0] << " " << args.size();
}

TEST(ScreenCommand, TheToolRecordsAZoomedScreenToFlv) {
    testing_support::XvfbServer server(800, 600);
    if (!server.Running()) GTEST_SKIP() << "Xvfb did not start";
    const auto dir = testing_support::TestEnvironment::Current().Dir();
    const auto file = dir / "screen.flv";
    const std::string command = "DISPLAY=" + server.Display() + " " +
                                (testing_support::DistDir() / "orvanta-capture").string() + " screen '" +
                                file.string() + "' --seconds 2 --fps 15 --cursor --rect 0,0,640,480" +
                                " --zoom-after 1:0,0,320,240 > '" + (dir / "out.txt").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << testing_support::ReadFile(dir / "out.txt");
    const std::string out = testing_support::ReadFile(dir / "out.txt");
    EXPECT_NE(out.find("zoomed to 0,0 320x240"), std::string::npos) << out;
    testing_support::ProbedFile p =
        testing_support::ProbeSections(file, "-show_entries stream=codec_type,codec_name,width,height,r_frame_rate");
    ASSERT_TRUE(p.Stream("video"));
    EXPECT_EQ(p.Stream("video")->at("codec_name"), "flv1");
    EXPECT_EQ(p.Stream("video")->at("width"), "640");
    EXPECT_EQ(p.Stream("video")->at("r_frame_rate"), "15/1");
    ASSERT_TRUE(p.Stream("audio"));
    EXPECT_EQ(p.Stream("audio")->at("codec_name"), "mp3");
}

}  // namespace
