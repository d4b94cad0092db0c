// The video window inside the session window (aspect fit), mouse and progress events, overlay
// settings reaching the overlay filters, and snapshots of the preview.
#include <QBuffer>
#include <QImage>
#include <QMouseEvent>
#include <cstdio>

#include "platform/contracts/OverlayConfig.h"
#include "platform/com/ClassRegistry.h"
#include "platform/devices/DeviceInterfaces.h"
#include "tests/engine/SessionTestSupport.h"

using namespace session_test;

namespace {
class SessionVideo : public SessionTest {
protected:
    ComPtr<IOverlayConfig> Overlay(const char* name) {
        ComPtr<IBaseFilter> filter;
        if (!session.Graph() || session.Graph()->FindFilterByName(name, filter.ReleaseAndGetAddressOf()) != S_OK)
            return nullptr;
        return QueryAs<IOverlayConfig>(filter.Get());
    }
    void SendMouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* w = session.Window();
        QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, modifiers);
        QApplication::sendEvent(w, &event);
    }
};
}  // namespace

TEST(VideoAspect, MulDivRoundsHalfAwayFromZeroAndRefusesADivisorOfZero) {
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(7, 3, 4), 5);  // 5.25
    EXPECT_EQ(MulDiv(360, 320, 240), 480);
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 4, 1), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
}

TEST(VideoAspect, FourThreeSourceInAWideWindowIsACentredPillarBoxAndTheOtherWayALetterBox) {
    EXPECT_EQ(FitToAspect(320, 240, {0, 0, 640, 360}), (VideoRect{80, 0, 480, 360}));
    EXPECT_EQ(FitToAspect(640, 360, {0, 0, 400, 300}), (VideoRect{0, 37, 400, 225}));
    // Offsets of the destination are kept; odd margins round toward zero.
    EXPECT_EQ(FitToAspect(4, 3, {10, 20, 401, 300}), (VideoRect{10 + 0, 20, 400, 300}));
    EXPECT_EQ(FitToAspect(16, 9, {5, 7, 160, 91}), (VideoRect{5, 7 + 0, 160, 90}));
    // The same aspect: unchanged.
    EXPECT_EQ(FitToAspect(320, 240, {0, 0, 640, 480}), (VideoRect{0, 0, 640, 480}));
    // No source size yet: nothing to fit (and no division by zero).
    EXPECT_EQ(FitToAspect(0, 0, {0, 0, 640, 480}), (VideoRect{0, 0, 640, 480}));
    EXPECT_EQ(FitToAspect(320, 0, {1, 2, 3, 4}), (VideoRect{1, 2, 3, 4}));
}

TEST_F(SessionVideo, AttachKeepsTheSourceAspectInsideTheSessionWindow) {
    ASSERT_TRUE(Start(kCard));  // the preview pin runs at 720x576
    ComPtr<IBasicVideo2> video = QueryAs<IBasicVideo2>(session.Graph());
    ComPtr<IVideoWindow> window = QueryAs<IVideoWindow>(session.Graph());
    ASSERT_TRUE(video && window);
    LONG sw = 0, sh = 0;
    ASSERT_EQ(video->GetVideoSize(&sw, &sh), S_OK);
    ASSERT_EQ(sw, 720);
    ASSERT_EQ(sh, 576);

    session.Window()->resize(320, 180);
    session.ResizeVideo(320, 180);
    session.aspectRatio = true;
    session.backgroundColor = 0x00123456;
    ASSERT_EQ(session.AttachVideoWindow(), S_OK);
    LONG l = 0, t = 0, w = 0, h = 0;
    ASSERT_EQ(video->GetDestinationPosition(&l, &t, &w, &h), S_OK);
    // 5:4 in 16:9: 180 * 720 / 576 = 225 wide, centred.
    EXPECT_EQ(w, 225);
    EXPECT_EQ(h, 180);
    EXPECT_EQ(l, 47);
    EXPECT_EQ(t, 0);
    LONG color = 0;
    window->get_BorderColor(&color);
    EXPECT_EQ(color, 0x00123456);
    LONG ww = 0, wh = 0, wl = -1, wt = -1;
    window->GetWindowPosition(&wl, &wt, &ww, &wh);
    EXPECT_EQ(ww, 320);
    EXPECT_EQ(wh, 180);
    OAHWND drain = 0;
    window->get_MessageDrain(&drain);
    EXPECT_EQ(drain, session.Window()->VideoOwnerHandle());

    // Aspect off: back to the renderer's own destination read at the first attach.
    session.aspectRatio = false;
    ASSERT_EQ(session.AttachVideoWindow(), S_OK);
    video->GetDestinationPosition(&l, &t, &w, &h);
    EXPECT_EQ(VideoRect({l, t, w, h}), session.defaultDestRect);
    EXPECT_FALSE(session.captureDefaultDest);
}

TEST_F(SessionVideo, AttachWithoutARendererFailsWithNoInterface) {
    EXPECT_EQ(session.AttachVideoWindow(), E_FAIL);  // no graph
    session.captureMode = true;
    session.showPreview = false;
    session.captureAudio = false;
    session.captureFileName = TestFile("x.avi").string();
    ASSERT_TRUE(Start(kCard));
    EXPECT_EQ(session.AttachVideoWindow(), E_NOINTERFACE);
}

TEST_F(SessionVideo, MouseInputOfTheSessionWindowFiresClickDblClickAndMouseMove) {
    SendMouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {12, 34});
    SendMouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {5, 6}, Qt::ShiftModifier | Qt::ControlModifier);
    SendMouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {1, 1});
    SendMouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {1, 1});
    SendMouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {1, 1});
    SendMouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {1, 1});

    auto moves = owner.Named("MouseMove");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].a, 1);  // MK_LBUTTON
    EXPECT_EQ(moves[0].b, 1);
    EXPECT_EQ(moves[0].c, 12);
    EXPECT_EQ(moves[0].d, 34);
    EXPECT_EQ(moves[1].a, 0x4 | 0x8);  // MK_SHIFT | MK_CONTROL
    EXPECT_EQ(owner.Named("Click").size(), 1u);  // the right button fires nothing
    EXPECT_EQ(owner.Named("DblClick").size(), 1u);

    // Without an owner nothing is fired.
    session.ownerControl = nullptr;
    SendMouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {1, 1});
    EXPECT_EQ(owner.Named("Click").size(), 1u);
}

TEST_F(SessionVideo, CapturingReportsZeroAtFirstThenWholeSecondsOfStreamTime) {
    session.captureMode = true;
    session.captureAudio = false;
    session.captureFileName = TestFile("progress.avi").string();
    ASSERT_TRUE(Start(kCamera));
    ASSERT_TRUE(PumpUntil([&] { return !owner.Named("Capturing").empty(); }, 2000));
    EXPECT_EQ(owner.Named("Capturing").front().a, 0);
    ASSERT_TRUE(PumpUntil([&] { return owner.Named("Capturing").back().a >= 2; }, 6000));
    auto events = owner.Named("Capturing");
    for (size_t i = 1; i < events.size(); ++i) EXPECT_GE(events[i].a, events[i - 1].a);
    // About one every 33 ms over two seconds, even on a busy machine.
    EXPECT_GT(events.size(), 20u);
    // The dropped count is the camera's own: it only grows, and no event reports more than the
    // camera counts afterwards (a busy machine does make the virtual camera lose frames).
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder), S_OK);
    builder->SetFiltergraph(session.Graph());
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(session.Graph()->FindFilterByName(kCamera.c_str(), camera.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IAMDroppedFrames> counter;
    builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), IAMDroppedFrames::iid,
                           counter.ReleaseAndGetVoidAddress());
    ASSERT_TRUE(counter);
    LONG cameraDropped = -1;
    ASSERT_EQ(counter->GetNumDropped(&cameraDropped), S_OK);
    EXPECT_GE(events.front().b, 0);
    for (size_t i = 1; i < events.size(); ++i) EXPECT_GE(events[i].b, events[i - 1].b);
    EXPECT_LE(events.back().b, cameraDropped);

    // Stopping kills the timer.
    session.StopSession();
    size_t count = owner.Named("Capturing").size();
    Pump(200);
    EXPECT_EQ(owner.Named("Capturing").size(), count);
}

TEST_F(SessionVideo, PreviewOnlySessionsFireNoProgress) {
    ASSERT_TRUE(Start(kCamera));
    Pump(300);
    EXPECT_TRUE(owner.Named("Capturing").empty());
}

TEST_F(SessionVideo, TextAndDateSettingsReachBothOverlayFiltersTheOutlineColoursOnlyThePreview) {
    session.captureMode = true;
    session.captureAudio = false;
    session.captureFileName = TestFile("pushes.avi").string();
    ASSERT_TRUE(Start(kCamera));
    auto preview = Overlay("Preview Text Filter");
    auto write = Overlay("Write Text Filter");
    ASSERT_TRUE(preview && write);

    session.UpdateTextOverlay(1, 2, "DejaVu Sans", 21, 7, 9, "pushed", 0x00332211, 0xFFFFFF, 50, 3, 0, 0, "");
    char text[kOverlayTextBytes] = {};
    preview->GetText(text);
    EXPECT_STREQ(text, "pushed");
    for (auto* config : {preview.Get(), write.Get()}) {
        int r = 0, g = 0, b = 0, x = 0, y = 0, size = 0;
        char face[kOverlayPathBytes] = {};
        config->GetTextColor(&r, &g, &b);
        EXPECT_EQ(r, 0x11);
        EXPECT_EQ(g, 0x22);
        EXPECT_EQ(b, 0x33);
        config->GetTextPosition(&x, &y);
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 9);
        config->GetTextFont(face, &size);
        EXPECT_STREQ(face, "DejaVu Sans");
        EXPECT_EQ(size, 21);
    }
    EXPECT_EQ(session.text, "pushed");
    EXPECT_EQ(session.textColor, 0x00332211u);

    session.DrawImageOverlay(30, 40, "/no/such/logo.bmp", 0x00FF0000, 128);
    for (auto* config : {preview.Get(), write.Get()}) {
        int x = 0, y = 0, r = 0, g = 0, b = 0, alpha = 0;
        char path[kOverlayPathBytes] = {};
        config->GetImagePosition(&x, &y);
        EXPECT_EQ(x, 30);
        EXPECT_EQ(y, 40);
        config->GetImagePath(path);
        EXPECT_STREQ(path, "/no/such/logo.bmp");
        config->GetImageKey(&r, &g, &b, &alpha);
        EXPECT_EQ(b, 0xFF);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(alpha, 128);
    }
}

TEST_F(SessionVideo, OutlineColoursChangeOnlyWhileAGraphExists) {
    session.UpdateOutlineBackColor(0x00ABCDEF);
    session.UpdateOutlineBorderColor(0x00ABCDEF);
    EXPECT_EQ(session.outlineBackColor, 0x0000FFu);
    EXPECT_EQ(session.outlineBorderColor, 0x00FF00u);
    ASSERT_TRUE(Start(kCamera));
    session.UpdateOutlineBackColor(0x00ABCDEF);
    EXPECT_EQ(session.outlineBackColor, 0x00ABCDEFu);
    EXPECT_EQ(session.outlineBorderColor, 0x00FF00u);
}

TEST_F(SessionVideo, IdleTextSettingsAreStoredAndAFixedCapsPreviewHasOnlyThePreviewFilter) {
    session.EnableTextOverlay(true);
    session.UpdateTextOverlay(0, 0, "DejaVu Sans", 12, 1, 2, "idle", 0x000000FF, 0, 0, 0, 0, 0, "");
    EXPECT_TRUE(session.showText);
    EXPECT_EQ(session.text, "idle");
    ASSERT_TRUE(Start(kCard));
    EXPECT_FALSE(Overlay("Write Text Filter"));
    auto preview = Overlay("Preview Text Filter");
    ASSERT_TRUE(preview);
    // The control sends the stored settings again after the start.
    session.UpdateTextOverlay(session.textStyle, session.textFontStyle, session.textFontName, session.textFontSize,
                              session.textX, session.textY, session.text, session.textColor, 0, 0,
                              session.hatchStyle, session.hatchForeColor, session.hatchBackColor,
                              session.textureImage);
    int r = 0, g = 0, b = 0;
    preview->GetTextColor(&r, &g, &b);
    EXPECT_EQ(r, 0xFF);
    EXPECT_EQ(g, 0);
}

TEST_F(SessionVideo, PreviewSnapshotsOfA320x240FrameAsBmpAndJpeg) {
    // The camera's 320x240 entry sizes its preview too.
    NameList inputs;
    session.ProbeDevice(kCamera, "", formats, inputs);
    int index = -1;
    for (size_t i = 0; i < formats.size(); ++i)
        if (formats[i].width == 320 && formats[i].height == 240 && index < 0) index = static_cast<int>(i);
    ASSERT_GE(index, 0);
    ASSERT_TRUE(Start(kCamera, "", "", "", index));
    Bitmap bitmap;
    ASSERT_TRUE(PumpUntil([&] { return session.GrabFrame(bitmap) == S_OK; }, 5000));
    auto bmp = TestFile("snap.bmp");
    EXPECT_EQ(session.SnapShot(bmp.string()), 240);
    EXPECT_EQ(std::filesystem::file_size(bmp), 230458u);
    std::string bytes = testing_support::ReadFile(bmp);
    ASSERT_GE(bytes.size(), 14u);
    uint32_t offset = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8 |
                      static_cast<uint8_t>(bytes[12]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[13])) << 24;
    EXPECT_EQ(offset, 58u);
    QImage image(QString::fromStdString(bmp.string()));
    EXPECT_EQ(image.width(), 320);
    EXPECT_EQ(image.height(), 240);

    auto jpeg = TestFile("snap.jpg");
    EXPECT_EQ(session.SnapShotJPEG(jpeg.string(), 80), 1);
    std::string command = "djpeg -pnm '" + jpeg.string() + "' > '" + TestFile("snap.pnm").string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::string pnm = testing_support::ReadFile(TestFile("snap.pnm"));
    EXPECT_EQ(pnm.rfind("P6\n320 240\n", 0), 0u);
}
