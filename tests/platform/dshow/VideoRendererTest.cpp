#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/filters/VideoOwner.h"
#include "platform/dshow/filters/VideoRenderer.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
// A 4 x 2 RGB24 picture, bottom-up: the first row in memory is the bottom row of the picture.
constexpr LONG kWidth = 4;
constexpr LONG kHeight = 2;
std::vector<BYTE> TwoRowPicture(QColor top, QColor bottom) {
    std::vector<BYTE> frame(static_cast<size_t>(DibStride(kWidth, 24) * kHeight));
    for (LONG row = 0; row < kHeight; ++row) {
        QColor c = row == 0 ? bottom : top;
        for (LONG x = 0; x < kWidth; ++x) {
            BYTE* p = frame.data() + row * DibStride(kWidth, 24) + x * 3;
            p[0] = static_cast<BYTE>(c.blue());
            p[1] = static_cast<BYTE>(c.green());
            p[2] = static_cast<BYTE>(c.red());
        }
    }
    return frame;
}

void SpinUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QApplication::processEvents();
}

class ClickCounter final : public QWidget {
public:
    int presses = 0;
    QPoint last;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        last = event->position().toPoint();
    }
};
}  // namespace

TEST(VideoRenderer, PaintsTheFrameIntoItsDestinationInsideTheOwnerWithTheBorderAround) {
    QWidget owner;
    owner.resize(200, 100);
    owner.show();
    ComPtr<IGraphBuilder> graph;
    CreateFilterGraphObject(CLSID_FilterGraph, &graph);
    AM_MEDIA_TYPE type = MakeVideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight);
    ComPtr<FrameSource> source =
        MakeCom<FrameSource>(std::vector{type}, std::vector<std::vector<BYTE>>{TwoRowPicture(Qt::white, Qt::blue)});
    ComPtr<VideoRenderer> renderer = MakeCom<VideoRenderer>();
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(renderer.Get(), "Video Renderer");
    ASSERT_EQ(graph->ConnectDirect(Pin(source.Get(), "Out").Get(), Pin(renderer.Get(), "Input").Get(), nullptr), S_OK);

    // As the session attaches its window, through the graph's own IVideoWindow.
    ComPtr<IVideoWindow> window = QueryAs<IVideoWindow>(graph.Get());
    ComPtr<IBasicVideo2> video = QueryAs<IBasicVideo2>(graph.Get());
    ASSERT_EQ(window->put_AutoShow(OAFALSE), S_OK);
    ASSERT_EQ(window->put_Owner(RegisterVideoOwner(&owner)), S_OK);
    ASSERT_EQ(window->put_WindowStyle(VW_WS_CHILD | VW_WS_CLIPSIBLINGS), S_OK);
    ASSERT_EQ(window->SetWindowPosition(0, 0, 200, 100), S_OK);
    LONG l, t, w, h;
    ASSERT_EQ(video->GetDestinationPosition(&l, &t, &w, &h), S_OK);
    EXPECT_EQ(RECT(l, t, l + w, t + h), (RECT{0, 0, 200, 100}));  // the default: the whole window
    EXPECT_EQ(video->IsUsingDefaultDestination(), S_OK);
    ASSERT_EQ(video->SetDestinationPosition(50, 0, 100, 100), S_OK);  // pillar box
    EXPECT_EQ(video->IsUsingDefaultDestination(), S_FALSE);
    ASSERT_EQ(window->put_BorderColor(0x0000FF), S_OK);  // OLE_COLOR red
    ASSERT_EQ(window->put_Visible(OATRUE), S_OK);
    ASSERT_EQ(video->GetSourcePosition(&l, &t, &w, &h), S_OK);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);

    ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
    SpinUntil([&] { return renderer->FramesPainted() > 0; });
    QueryAs<IMediaControl>(graph.Get())->Stop();
    ASSERT_EQ(renderer->Widget()->parentWidget(), &owner);
    ASSERT_GT(renderer->FramesPainted(), 0u);

    QImage shown = owner.grab().toImage();
    EXPECT_EQ(shown.pixelColor(10, 50), QColor(Qt::red));    // left border
    EXPECT_EQ(shown.pixelColor(190, 50), QColor(Qt::red));   // right border
    EXPECT_EQ(shown.pixelColor(100, 10), QColor(Qt::white)); // top of the picture, upright
    EXPECT_EQ(shown.pixelColor(100, 90), QColor(Qt::blue));
}

TEST(VideoRenderer, ShowsOnlyItsSourceRectangleAndRefusesOneOutsideTheVideo) {
    QWidget owner;
    owner.resize(200, 100);
    owner.show();
    ComPtr<IGraphBuilder> graph;
    CreateFilterGraphObject(CLSID_FilterGraph, &graph);
    AM_MEDIA_TYPE type = MakeVideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight);
    ComPtr<FrameSource> source =
        MakeCom<FrameSource>(std::vector{type}, std::vector<std::vector<BYTE>>{TwoRowPicture(Qt::white, Qt::blue)});
    ComPtr<VideoRenderer> renderer = MakeCom<VideoRenderer>();
    graph->AddFilter(source.Get(), "source");
    graph->AddFilter(renderer.Get(), "Video Renderer");
    ComPtr<IBasicVideo2> video = QueryAs<IBasicVideo2>(graph.Get());
    EXPECT_EQ(video->SetSourcePosition(0, 0, 1, 1), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(graph->ConnectDirect(Pin(source.Get(), "Out").Get(), Pin(renderer.Get(), "Input").Get(), nullptr), S_OK);

    EXPECT_EQ(video->SetSourcePosition(0, 0, kWidth + 1, kHeight), E_INVALIDARG);
    EXPECT_EQ(video->SetSourcePosition(1, 1, kWidth, 1), E_INVALIDARG);
    EXPECT_EQ(video->SetSourcePosition(0, 0, 0, kHeight), E_INVALIDARG);
    EXPECT_EQ(video->IsUsingDefaultSource(), S_OK);
    // The bottom row of the picture only (source rows count from the top).
    ASSERT_EQ(video->SetSourcePosition(0, 1, kWidth, 1), S_OK);
    EXPECT_EQ(video->IsUsingDefaultSource(), S_FALSE);
    LONG l, t, w, h;
    ASSERT_EQ(video->GetSourcePosition(&l, &t, &w, &h), S_OK);
    EXPECT_EQ(RECT(l, t, l + w, t + h), (RECT{0, 1, kWidth, 2}));

    ComPtr<IVideoWindow> window = QueryAs<IVideoWindow>(graph.Get());
    ASSERT_EQ(window->put_AutoShow(OAFALSE), S_OK);
    ASSERT_EQ(window->put_Owner(RegisterVideoOwner(&owner)), S_OK);
    ASSERT_EQ(window->put_WindowStyle(VW_WS_CHILD | VW_WS_CLIPSIBLINGS), S_OK);
    ASSERT_EQ(window->SetWindowPosition(0, 0, 200, 100), S_OK);
    ASSERT_EQ(window->put_Visible(OATRUE), S_OK);
    ASSERT_EQ(QueryAs<IMediaControl>(graph.Get())->Run(), S_OK);
    SpinUntil([&] { return renderer->FramesPainted() > 0; });
    QueryAs<IMediaControl>(graph.Get())->Stop();
    ASSERT_GT(renderer->FramesPainted(), 0u);
    QImage shown = owner.grab().toImage();
    EXPECT_EQ(shown.pixelColor(100, 10), QColor(Qt::blue));  // the chosen row fills the window
    EXPECT_EQ(shown.pixelColor(100, 90), QColor(Qt::blue));

    ASSERT_EQ(video->SetDefaultSourcePosition(), S_OK);
    EXPECT_EQ(video->IsUsingDefaultSource(), S_OK);
    ASSERT_EQ(video->GetSourcePosition(&l, &t, &w, &h), S_OK);
    EXPECT_EQ(RECT(l, t, l + w, t + h), (RECT{0, 0, kWidth, kHeight}));
}

TEST(VideoRenderer, ForwardsMouseInputToTheMessageDrain) {
    QWidget owner;
    owner.resize(100, 100);
    ClickCounter drain;
    ComPtr<VideoRenderer> renderer = MakeCom<VideoRenderer>();
    renderer->SetOwnerWidget(&owner);
    renderer->put_MessageDrain(RegisterVideoOwner(&drain));
    renderer->SetWindowPosition(10, 20, 50, 50);
    renderer->put_Visible(OATRUE);
    owner.show();
    drain.move(0, 0);
    QApplication::processEvents();
    QWidget* video = renderer->Widget();
    ASSERT_TRUE(video);
    QPointF local(5, 6);
    QMouseEvent press(QEvent::MouseButtonPress, local, video->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(video, &press);
    EXPECT_EQ(drain.presses, 1);
    EXPECT_EQ(drain.last, drain.mapFromGlobal(video->mapToGlobal(QPoint(5, 6))));

    OAHWND owned = 0;
    renderer->get_Owner(&owned);
    EXPECT_EQ(ResolveVideoOwner(owned), &owner);
    LONG visible = 0, width = 0;
    renderer->get_Visible(&visible);
    renderer->get_Width(&width);
    EXPECT_EQ(visible, OATRUE);
    EXPECT_EQ(width, 50);
    EXPECT_EQ(renderer->SetWindowForeground(5), E_INVALIDARG);
}

TEST(VideoRenderer, KnowsItsVideoOnlyWhileConnected) {
    ComPtr<VideoRenderer> renderer = MakeCom<VideoRenderer>();
    LONG width = 0, height = 0;
    EXPECT_EQ(renderer->GetVideoSize(&width, &height), VFW_E_NOT_CONNECTED);
    // Refuses what it cannot draw; the graph puts a converter in front.
    AM_MEDIA_TYPE yuy2 = MakeVideoType(MEDIASUBTYPE_YUY2, 8, 8);
    EXPECT_EQ(Pin(renderer.Get(), "Input")->QueryAccept(&yuy2), S_FALSE);
    AM_MEDIA_TYPE rgb32 = MakeVideoType(MEDIASUBTYPE_RGB32, 8, 8);
    EXPECT_EQ(Pin(renderer.Get(), "Input")->QueryAccept(&rgb32), S_OK);
    EXPECT_EQ(renderer->SetDestinationPosition(0, 0, 0, 10), E_INVALIDARG);
}
