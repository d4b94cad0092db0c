// The outside MPEG encoder as the session sees it: created by class identifier, added as "vcd",
// given the file name and configured through its two interfaces in a fixed order.
#include "platform/contracts/MpegEncoderInterfaces.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/WithInterfaces.h"
#include "platform/os/MessageBox.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/ModuleRegistration.h"

using namespace session_test;

namespace {
std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}

// An encoder without pins that records how it is configured.
class RecordingEncoder final
    : public WithInterfaces<BaseFilter, IFileSinkFilter, IMpegEncoderOutput, IMpegEncoderSettings> {
public:
    RecordingEncoder() : WithInterfaces(CLSID_MpegEncoder) {}
    HRESULT SetFileName(const char* file, const AM_MEDIA_TYPE* type) override {
        return Log("SetFileName " + std::string(file) + (type ? " typed" : ""));
    }
    HRESULT GetCurFile(std::string*, AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT GetOutputKind(int*) override { return E_NOTIMPL; }
    HRESULT SetOutputKind(int kind) override { return Log("M2 " + std::to_string(kind)); }
    HRESULT SetStreamType(int v) override { return Log("1 " + std::to_string(v)); }
    HRESULT SetVideoBitrate(int v) override { return Log("2 " + std::to_string(v)); }
    HRESULT SetVideoSize(int w, int h) override { return Log("3 " + std::to_string(w) + "x" + std::to_string(h)); }
    HRESULT SetFrameRate(const char* rate) override { return Log(std::string("4 ") + rate); }
    HRESULT Reserved5() override { return Log("5"); }
    HRESULT SetMaxVideoBitrate(int v) override { return Log("6 " + std::to_string(v)); }
    HRESULT SetMinVideoBitrate(int v) override { return Log("7 " + std::to_string(v)); }
    HRESULT SetMaxDuration(int v) override { return Log("8 " + std::to_string(v)); }
    HRESULT SetPreset(int v) override { return Log("9 " + std::to_string(v)); }
    HRESULT Reserved10() override { return Log("10"); }
    HRESULT Reserved11() override { return Log("11"); }
    HRESULT Reserved12() override { return Log("12"); }
    HRESULT Reserved13() override { return Log("13"); }
    HRESULT Reserved14() override { return Log("14"); }
    HRESULT Reserved15() override { return Log("15"); }
    HRESULT Reserved16() override { return Log("16"); }
    HRESULT Reserved17() override { return Log("17"); }
    HRESULT Reserved18() override { return Log("18"); }
    HRESULT Reserved19() override { return Log("19"); }
    HRESULT SetAudioBitrate(int v) override { return Log("20 " + std::to_string(v)); }
    HRESULT SetAudioChannels(int v) override { return Log("21 " + std::to_string(v)); }
    HRESULT SetAudioSampleRate(int v) override { return Log("22 " + std::to_string(v)); }

private:
    static HRESULT Log(std::string call) {
        Calls().push_back(std::move(call));
        return S_OK;
    }
};

// One without a file sink.
class SinklessEncoder final : public WithInterfaces<BaseFilter, IMpegEncoderOutput> {
public:
    SinklessEncoder() : WithInterfaces(CLSID_MpegEncoder) {}
    HRESULT GetOutputKind(int*) override { return E_NOTIMPL; }
    HRESULT SetOutputKind(int kind) override {
        Calls().push_back("M2 " + std::to_string(kind));
        return S_OK;
    }
};

template <class T>
DWORD RegisterEncoder() {
    DWORD cookie = 0;
    auto factory = MakeCom<ClassFactory<T>>();
    EXPECT_EQ(CoRegisterClassObject(CLSID_MpegEncoder, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    return cookie;
}

class SessionMpeg : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        Calls().clear();
        session.captureMode = true;
        session.captureFileName = TestFile("out.mpg").string();
    }
};
}  // namespace

TEST_F(SessionMpeg, EncoderIsConfiguredInTheFixedOrderWithTheSessionsValues) {
    DWORD cookie = RegisterEncoder<RecordingEncoder>();
    session.outputType = 2;
    session.mpegWidth = 352;
    session.mpegHeight = 288;
    session.mpegFrameRate = 29.97f;
    session.mpegVideoBitrate = 1150000;
    session.mpegAudioChannels = 1;
    session.mpegAudioBitrate = 128000;
    session.mpegAudioSampleRate = 48000;
    // The stand-in takes no stream, so the start fails at its connection, after the set-up.
    EXPECT_FALSE(Start(kCamera, kMicrophone));
    EXPECT_NE(session.LastFailure().find("-> vcd failed"), std::string::npos) << session.LastFailure();
    std::vector<std::string> expected = {"SetFileName " + TestFile("out.mpg").string(),
                                         "M2 6",
                                         "9 0",
                                         "1 1",
                                         "3 352x288",
                                         "4 29.969999",
                                         "2 1150000",
                                         "6 1150000",
                                         "7 1150000",
                                         "8 3600000",
                                         "21 1",
                                         "20 128000",
                                         "22 48000"};
    EXPECT_EQ(Calls(), expected);
    EXPECT_FALSE(session.MpegEncoder());
    EXPECT_FALSE(session.Graph());

    // OutputType above 2: the other kind and stream type.
    Calls().clear();
    session.outputType = 3;
    EXPECT_FALSE(Start(kCard));
    ASSERT_GE(Calls().size(), 4u);
    EXPECT_EQ(Calls()[1], "M2 7");
    EXPECT_EQ(Calls()[3], "1 2");
    CoRevokeClassObject(cookie);
}

TEST_F(SessionMpeg, AnEncoderWithoutFileSinkShowsTheMessageAndTheBuildGoesOnToItsConnection) {
    DWORD cookie = RegisterEncoder<SinklessEncoder>();
    std::vector<MessageBoxRequest> boxes;
    SetMessageBoxHandler([&](const MessageBoxRequest& r) {
        boxes.push_back(r);
        return IDOK;
    });
    session.outputType = 2;
    session.captureAudio = false;
    // The build goes on past the message; the stand-in then takes no stream.
    EXPECT_FALSE(Start(kCamera));
    EXPECT_NE(session.LastFailure().find("-> vcd failed"), std::string::npos) << session.LastFailure();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failed to set file name");
    EXPECT_EQ(boxes[0].Buttons(), MB_OK);
    // Nothing more is asked of it.
    EXPECT_TRUE(Calls().empty());
    SetMessageBoxHandler({});
    CoRevokeClassObject(cookie);
}

namespace {
// ffprobe's "stream|format key=value" lines for a recording, one string.
std::string ProbeRecording(const std::filesystem::path& file) {
    return testing_support::Ffprobe(file, "-show_entries format=format_name,duration:stream=codec_name,width,height "
                                          "-of default=nw=1");
}

double ProbedDuration(const std::string& probe) {
    size_t at = probe.find("duration=");
    return at == std::string::npos ? -1 : std::atof(probe.c_str() + at + 9);
}
}  // namespace

TEST_F(SessionMpeg, TheRealEncoderRecordsTheVirtualDevicesInBothKinds) {
    // Torvane.so registered from the program folder, as start-up registration does.
    ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "Torvane.so"), "");

    struct Case {
        int outputType;
        const char* file;
        const char* codec;
    };
    for (const Case& c : {Case{2, "real1.mpg", "codec_name=mpeg1video"}, Case{3, "real2.mpg", "codec_name=mpeg2video"}}) {
        SCOPED_TRACE(c.file);
        session.outputType = static_cast<int16_t>(c.outputType);
        session.captureFileName = TestFile(c.file).string();
        session.mpegWidth = 352;
        session.mpegHeight = 288;
        session.mpegVideoBitrate = 1150000;
        ASSERT_TRUE(Start(kCamera, kMicrophone));
        // The graph runs from the end of the start to the beginning of the stop.
        QElapsedTimer clock;
        clock.start();
        Pump(3000);
        const double recorded = clock.elapsed() / 1000.0;
        session.StopSession();
        std::string probe = ProbeRecording(TestFile(c.file));
        EXPECT_NE(probe.find("format_name=mpeg"), std::string::npos) << probe;
        EXPECT_NE(probe.find(c.codec), std::string::npos) << probe;
        EXPECT_NE(probe.find("codec_name=mp2"), std::string::npos) << probe;
        EXPECT_NE(probe.find("width=352\nheight=288"), std::string::npos) << probe;
        EXPECT_NEAR(ProbedDuration(probe), recorded, 0.5) << probe;
    }
}
