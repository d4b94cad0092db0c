// Snapshots from a real running graph: virtual camera -> Sample Grabber (RGB24) -> Null Renderer.
// Files are read back by an image reader and by djpeg.
#include "engine/Snapshots.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/VideoFormats.h"
#include "platform/devices/CaptureDevices.h"
#include "tests/engine/VideoFormatTestDevices.h"

using namespace format_test;

namespace {

std::string ReadBytes(const std::filesystem::path& file) { return testing_support::ReadFile(file); }

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
    return v;
}
uint16_t Le16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

std::string TempFile(const char* name) { return (testing_support::TestEnvironment::Current().Dir() / name).string(); }

// The session's preview shape in small: the grabber as the session sets it up, between the
// virtual camera's capture pin (at 320x240) and a Null Renderer.
struct PreviewGraph {
    explicit PreviewGraph(bool run = true, LONG width = 320, LONG height = 240, const char* devicesJson = nullptr) {
        if (devicesJson)
            UseDevices(devicesJson);
        else
            unsetenv("ORVANTA_DEVICES");
        graph = NewGraph();
        camera = BindVideoDevice(devicesJson ? "Cam" : "Orvanta Virtual Camera");
        EXPECT_TRUE(graph && camera);
        if (!graph || !camera) return;
        EXPECT_EQ(ApplyFormatSize(camera.Get(), width, height), S_OK);
        EXPECT_EQ(CreateFilterGraphObject(CLSID_SampleGrabber, &grabber), S_OK);
        AM_MEDIA_TYPE pattern = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
        grabber->SetMediaType(&pattern);
        grabber->SetOneShot(FALSE);
        grabber->SetBufferSamples(TRUE);
        ComPtr<IBaseFilter> grabberFilter = QueryAs<IBaseFilter>(grabber.Get());
        ComPtr<IBaseFilter> sink;
        EXPECT_EQ(CreateFilterGraphObject(CLSID_NullRenderer, &sink), S_OK);
        graph->AddFilter(camera.Get(), "Orvanta Virtual Camera");
        graph->AddFilter(grabberFilter.Get(), "Grabber");
        graph->AddFilter(sink.Get(), "NullRenderer");
        ComPtr<ICaptureGraphBuilder2> builder = NewBuilder(graph.Get());
        EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), grabberFilter.Get(),
                                        sink.Get()),
                  S_OK);
        control = QueryAs<IMediaControl>(graph.Get());
        if (run) {
            EXPECT_TRUE(SUCCEEDED(control->Run()));
            EXPECT_TRUE(WaitForFrame());
        }
    }
    ~PreviewGraph() {
        if (control) control->Stop();
    }
    // Bounded: a frame at 30 per second is there long before this gives up.
    bool WaitForFrame() {
        for (int i = 0; i < 500; ++i) {
            LONG size = 0;
            if (grabber->GetCurrentBuffer(&size, nullptr) == S_OK && size > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> camera;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IMediaControl> control;
};

TEST(Snapshot, GrabFrameFailsWithoutAGraphOrAFrame) {
    PreviewGraph stopped(false);
    Bitmap bitmap;
    EXPECT_EQ(GrabFrame(nullptr, stopped.grabber.Get(), bitmap), E_FAIL);
    EXPECT_EQ(GrabFrame(stopped.graph.Get(), nullptr, bitmap), E_FAIL);
    // Connected, but no frame has arrived: the grabber's own answer.
    EXPECT_EQ(GrabFrame(stopped.graph.Get(), stopped.grabber.Get(), bitmap), VFW_E_WRONG_STATE);
    EXPECT_FALSE(bitmap);

    // A grabber that is not connected at all.
    ComPtr<ISampleGrabber> lone;
    ASSERT_EQ(CreateFilterGraphObject(CLSID_SampleGrabber, &lone), S_OK);
    EXPECT_EQ(GrabFrame(stopped.graph.Get(), lone.Get(), bitmap), VFW_E_NOT_CONNECTED);

    // Every snapshot form fails the same way, and leaves no file behind.
    const std::string bmp = TempFile("early.bmp"), jpg = TempFile("early.jpg");
    EXPECT_EQ(SnapShot(stopped.graph.Get(), stopped.grabber.Get(), bmp), 0);
    EXPECT_EQ(SnapShotJPEG(stopped.graph.Get(), stopped.grabber.Get(), jpg, 75), 0);
    EXPECT_EQ(SnapShot(nullptr, stopped.grabber.Get(), bmp), 0);
    EXPECT_FALSE(std::filesystem::exists(bmp));
    EXPECT_FALSE(std::filesystem::exists(jpg));
    Bitmap control;
    EXPECT_EQ(SnapShot2HBITMAP(stopped.graph.Get(), stopped.grabber.Get(), control), 0u);
    ComPtr<IPictureDisp> holder;
    EXPECT_FALSE(SnapShot2Picture(stopped.graph.Get(), stopped.grabber.Get(), holder));
    EXPECT_FALSE(holder);
}

TEST(Snapshot, GrabFrameGivesTheCameraPicture) {
    PreviewGraph preview;
    Bitmap bitmap;
    ASSERT_EQ(GrabFrame(preview.graph.Get(), preview.grabber.Get(), bitmap), S_OK);
    ASSERT_TRUE(bitmap);
    QImage image = bitmap.Image();
    EXPECT_EQ(image.width(), 320);
    EXPECT_EQ(image.height(), 240);
    // The frame number band is at the top: the rows were turned the right way up.
    QImage rgb = image.convertToFormat(QImage::Format_BGR888);
    std::vector<uint8_t> bottomUp(static_cast<size_t>(960) * 240);
    for (int y = 0; y < 240; ++y) std::memcpy(bottomUp.data() + static_cast<size_t>(239 - y) * 960, rgb.constScanLine(y), 960);
    EXPECT_GE(TestPictureFrameNumber(bottomUp.data(), 320, 240), 0);
    // The ramps of the test picture: red grows to the right, green downwards.
    EXPECT_LT(qRed(image.pixel(2, 60)), qRed(image.pixel(317, 60)));
    EXPECT_LT(qGreen(image.pixel(2, 40)), qGreen(image.pixel(2, 236)));
}

TEST(Snapshot, BmpFileHasTheFiftyEightByteLayout) {
    PreviewGraph preview;
    const std::string file = TempFile("frame.bmp");
    HRESULT fileError = E_FAIL;
    EXPECT_EQ(SnapShot(preview.graph.Get(), preview.grabber.Get(), file, &fileError), 240);
    EXPECT_EQ(fileError, S_OK);
    const std::string bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 230458u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bytes, 2), 230458u);
    EXPECT_EQ(Le32(bytes, 6), 0u);
    EXPECT_EQ(Le32(bytes, 10), 58u);
    EXPECT_EQ(Le32(bytes, 14), 40u);                    // biSize
    EXPECT_EQ(static_cast<int32_t>(Le32(bytes, 18)), 320);
    EXPECT_EQ(static_cast<int32_t>(Le32(bytes, 22)), 240);  // positive: bottom-up
    EXPECT_EQ(Le16(bytes, 26), 1);                      // planes
    EXPECT_EQ(Le16(bytes, 28), 24);                     // bit count
    EXPECT_EQ(Le32(bytes, 30), 0u);                     // BI_RGB
    EXPECT_EQ(Le32(bytes, 34), 230400u);                // image size
    for (size_t at = 38; at < 58; at += 4) EXPECT_EQ(Le32(bytes, at), 0u) << at;

    // The pixels from offset 58 carry a frame of the camera, bottom row first.
    const auto* bits = reinterpret_cast<const uint8_t*>(bytes.data()) + 58;
    EXPECT_GE(TestPictureFrameNumber(bits, 320, 240), 0);

    // An image reader follows the data offset to the same pixels.
    QImage image(QString::fromStdString(file));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(320, 240));
    for (auto [x, y] : {std::pair{5, 5}, std::pair{160, 120}, std::pair{319, 239}, std::pair{40, 200}}) {
        const uint8_t* p = bits + static_cast<size_t>(239 - y) * 960 + static_cast<size_t>(x) * 3;
        EXPECT_EQ(image.pixel(x, y), qRgb(p[2], p[1], p[0])) << x << "," << y;
    }
}

TEST(Snapshot, BmpRowsArePaddedForOddWidths) {
    // 170 pixels are 510 bytes, stored in rows of 512.
    PreviewGraph preview(true, 170, 120, R"({"devices": [{"name": "Cam", "kind": "video",
        "capture": [{"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 640, "maxHeight": 480}]}]})");
    const std::string file = TempFile("odd.bmp");
    EXPECT_EQ(SnapShot(preview.graph.Get(), preview.grabber.Get(), file), 120);
    const std::string bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 58u + 512u * 120u);
    EXPECT_EQ(Le32(bytes, 2), 58u + 512u * 120u);
    EXPECT_EQ(Le32(bytes, 34), 512u * 120u);
    QImage image(QString::fromStdString(file));
    ASSERT_EQ(image.size(), QSize(170, 120));
    const auto* bits = reinterpret_cast<const uint8_t*>(bytes.data()) + 58;
    for (auto [x, y] : {std::pair{169, 0}, std::pair{169, 119}, std::pair{0, 60}}) {
        const uint8_t* p = bits + static_cast<size_t>(119 - y) * 512 + static_cast<size_t>(x) * 3;
        EXPECT_EQ(image.pixel(x, y), qRgb(p[2], p[1], p[0])) << x << "," << y;
    }
}

TEST(Snapshot, UnwritableFileFailsWithTheFileError) {
    PreviewGraph preview;
    const std::string file = TempFile("no-such-folder/frame.bmp");
    HRESULT fileError = S_OK;
    EXPECT_EQ(SnapShot(preview.graph.Get(), preview.grabber.Get(), file, &fileError), 0);
    EXPECT_EQ(fileError, HResultFromErrno(ENOENT));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(SnapShotJPEG(preview.graph.Get(), preview.grabber.Get(), TempFile("no-such-folder/f.jpg"), 75), 0);
}

TEST(Snapshot, JpegFileDecodes) {
    PreviewGraph preview;
    const std::string file = TempFile("frame.jpg");
    EXPECT_EQ(SnapShotJPEG(preview.graph.Get(), preview.grabber.Get(), file, 80), 1);
    const std::string bytes = ReadBytes(file);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xD8);

    const std::string decoded = TempFile("frame.ppm");
    QProcess djpeg;
    djpeg.start("djpeg", {"-pnm", "-outfile", QString::fromStdString(decoded), QString::fromStdString(file)});
    ASSERT_TRUE(djpeg.waitForFinished(20000));
    EXPECT_EQ(djpeg.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(djpeg.exitCode(), 0) << djpeg.readAllStandardError().toStdString();
    const std::string ppm = ReadBytes(decoded);
    const std::string header = "P6\n320 240\n255\n";
    ASSERT_EQ(ppm.substr(0, header.size()), header);
    EXPECT_EQ(ppm.size(), header.size() + 320u * 240u * 3u);
    // Right way up: the red ramp grows to the right (the encoder reads the DIB bottom-up).
    auto red = [&](int x, int y) { return static_cast<uint8_t>(ppm[header.size() + (static_cast<size_t>(y) * 320 + x) * 3]); };
    EXPECT_LT(red(4, 60), 60);
    EXPECT_GT(red(315, 60), 190);

    // A quality the encoder refuses writes nothing.
    const std::string refused = TempFile("refused.jpg");
    EXPECT_EQ(SnapShotJPEG(preview.graph.Get(), preview.grabber.Get(), refused, 101), 0);
    EXPECT_FALSE(std::filesystem::exists(refused));
}

TEST(Snapshot, BitmapHandlesGivenOutEarlierStayValid) {
    PreviewGraph preview;
    const size_t before = LiveBitmapCount();
    Bitmap control;
    HBITMAP first = SnapShot2HBITMAP(preview.graph.Get(), preview.grabber.Get(), control);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(control.Handle(), first);
    HBITMAP second = SnapShot2HBITMAP(preview.graph.Get(), preview.grabber.Get(), control);
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(control.Handle(), second);
    EXPECT_TRUE(IsBitmapHandle(first));
    EXPECT_TRUE(IsBitmapHandle(second));
    QImage image;
    ASSERT_TRUE(GetBitmapImage(first, &image));
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(LiveBitmapCount(), before + 2);

    // A failed snapshot leaves the control's bitmap as it was.
    Bitmap other;
    EXPECT_EQ(SnapShot2HBITMAP(nullptr, preview.grabber.Get(), control), 0u);
    EXPECT_EQ(control.Handle(), second);
    DeleteObject(first);  // whoever received it deletes it
}

TEST(Snapshot, PictureOwnsItsBitmap) {
    PreviewGraph preview;
    const size_t before = LiveBitmapCount();
    {
        ComPtr<IPictureDisp> holder;
        ComPtr<IPictureDisp> first = SnapShot2Picture(preview.graph.Get(), preview.grabber.Get(), holder);
        ASSERT_TRUE(first);
        EXPECT_EQ(holder.Get(), first.Get());
        ComPtr<IPicture> picture = QueryAs<IPicture>(first.Get());
        ASSERT_TRUE(picture);
        SHORT type = 0;
        picture->GetType(&type);
        EXPECT_EQ(type, PICTYPE_BITMAP);
        LONG width = 0, height = 0;
        picture->GetPixelSize(&width, &height);
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 240);
        OLE_HANDLE handle = 0;
        picture->GetHandle(&handle);
        EXPECT_TRUE(IsBitmapHandle(static_cast<HBITMAP>(handle)));

        // A second snapshot replaces the holder's picture; the first stays whole for its holder.
        ComPtr<IPictureDisp> second = SnapShot2Picture(preview.graph.Get(), preview.grabber.Get(), holder);
        ASSERT_TRUE(second);
        EXPECT_NE(second.Get(), first.Get());
        EXPECT_EQ(holder.Get(), second.Get());
        QImage image;
        EXPECT_EQ(picture->GetImage(&image), S_OK);
        EXPECT_EQ(image.size(), QSize(320, 240));
        EXPECT_EQ(LiveBitmapCount(), before + 2);

        // A failure returns nothing and keeps the holder.
        EXPECT_FALSE(SnapShot2Picture(nullptr, preview.grabber.Get(), holder));
        EXPECT_EQ(holder.Get(), second.Get());
    }
    // Released pictures take their bitmaps with them.
    EXPECT_EQ(LiveBitmapCount(), before);
}

}  // namespace
