#include "platform/dshow/graph/GraphVideoWindow.h"

#include "platform/dshow/graph/FilterGraph.h"

HRESULT GraphVideoWindow::QueryInterface(REFIID riid, void** object) {
    return static_cast<IGraphBuilder*>(graph_)->QueryInterface(riid, object);
}

ULONG GraphVideoWindow::AddRef() { return static_cast<IGraphBuilder*>(graph_)->AddRef(); }

ULONG GraphVideoWindow::Release() { return static_cast<IGraphBuilder*>(graph_)->Release(); }

ComPtr<IVideoWindow> GraphVideoWindow::Window() const {
    return QueryAs<IVideoWindow>(graph_->FindFilterInterface(IID_IVideoWindow).Get());
}

ComPtr<IBasicVideo2> GraphVideoWindow::Video() const {
    return QueryAs<IBasicVideo2>(graph_->FindFilterInterface(IID_IBasicVideo2).Get());
}

HRESULT GraphVideoWindow::put_Caption(const char* caption) {
    auto target = Window();
    return target ? target->put_Caption(caption) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Caption(std::string* caption) {
    auto target = Window();
    return target ? target->get_Caption(caption) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_WindowStyle(LONG style) {
    auto target = Window();
    return target ? target->put_WindowStyle(style) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_WindowStyle(LONG* style) {
    auto target = Window();
    return target ? target->get_WindowStyle(style) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_AutoShow(LONG autoShow) {
    auto target = Window();
    return target ? target->put_AutoShow(autoShow) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_AutoShow(LONG* autoShow) {
    auto target = Window();
    return target ? target->get_AutoShow(autoShow) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Visible(LONG visible) {
    auto target = Window();
    return target ? target->put_Visible(visible) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Visible(LONG* visible) {
    auto target = Window();
    return target ? target->get_Visible(visible) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Left(LONG left) {
    auto target = Window();
    return target ? target->put_Left(left) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Left(LONG* left) {
    auto target = Window();
    return target ? target->get_Left(left) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Width(LONG width) {
    auto target = Window();
    return target ? target->put_Width(width) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Width(LONG* width) {
    auto target = Window();
    return target ? target->get_Width(width) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Top(LONG top) {
    auto target = Window();
    return target ? target->put_Top(top) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Top(LONG* top) {
    auto target = Window();
    return target ? target->get_Top(top) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Height(LONG height) {
    auto target = Window();
    return target ? target->put_Height(height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Height(LONG* height) {
    auto target = Window();
    return target ? target->get_Height(height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Owner(OAHWND owner) {
    auto target = Window();
    return target ? target->put_Owner(owner) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_Owner(OAHWND* owner) {
    auto target = Window();
    return target ? target->get_Owner(owner) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_MessageDrain(OAHWND drain) {
    auto target = Window();
    return target ? target->put_MessageDrain(drain) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_MessageDrain(OAHWND* drain) {
    auto target = Window();
    return target ? target->get_MessageDrain(drain) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_BorderColor(LONG* color) {
    auto target = Window();
    return target ? target->get_BorderColor(color) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_BorderColor(LONG color) {
    auto target = Window();
    return target ? target->put_BorderColor(color) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::SetWindowForeground(LONG focus) {
    auto target = Window();
    return target ? target->SetWindowForeground(focus) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
    auto target = Window();
    return target ? target->SetWindowPosition(left, top, width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    auto target = Window();
    return target ? target->GetWindowPosition(left, top, width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_AvgTimePerFrame(REFTIME* seconds) {
    auto target = Video();
    return target ? target->get_AvgTimePerFrame(seconds) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_VideoWidth(LONG* width) {
    auto target = Video();
    return target ? target->get_VideoWidth(width) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::get_VideoHeight(LONG* height) {
    auto target = Video();
    return target ? target->get_VideoHeight(height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::SetSourcePosition(LONG left, LONG top, LONG width, LONG height) {
    auto target = Video();
    return target ? target->SetSourcePosition(left, top, width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    auto target = Video();
    return target ? target->GetSourcePosition(left, top, width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::SetDefaultSourcePosition() {
    auto target = Video();
    return target ? target->SetDefaultSourcePosition() : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) {
    auto target = Video();
    return target ? target->SetDestinationPosition(left, top, width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
    auto target = Video();
    return target ? target->GetDestinationPosition(left, top, width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::SetDefaultDestinationPosition() {
    auto target = Video();
    return target ? target->SetDefaultDestinationPosition() : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::GetVideoSize(LONG* width, LONG* height) {
    auto target = Video();
    return target ? target->GetVideoSize(width, height) : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::IsUsingDefaultSource() {
    auto target = Video();
    return target ? target->IsUsingDefaultSource() : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::IsUsingDefaultDestination() {
    auto target = Video();
    return target ? target->IsUsingDefaultDestination() : E_NOINTERFACE;
}

HRESULT GraphVideoWindow::GetPreferredAspectRatio(LONG* x, LONG* y) {
    auto target = Video();
    return target ? target->GetPreferredAspectRatio(x, y) : E_NOINTERFACE;
}
