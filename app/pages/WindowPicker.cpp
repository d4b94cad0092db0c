#include "app/pages/WindowPicker.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cstdlib>
#include <vector>

#ifdef ORVANTA_WITH_X11_HOTKEYS
#include "platform/x11/X11WindowPicker.h"
#endif

namespace {

#ifdef ORVANTA_WITH_X11_HOTKEYS
std::unique_ptr<X11WindowPicker> OpenDesktop() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return nullptr;
    auto desktop = std::make_unique<X11WindowPicker>(display);
    return desktop->Available() ? std::move(desktop) : nullptr;
}

// Our own top-level windows on the X server, which picking passes over.
std::vector<unsigned long> OwnWindows() {
    std::vector<unsigned long> ids;
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return ids;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->internalWinId()) ids.push_back(static_cast<unsigned long>(w->internalWinId()));
    return ids;
}
#endif

}  // namespace

WindowPicker::WindowPicker(QWidget* page, AreaChanged changed)
    : QObject(page), page_(page), changed_(std::move(changed)) {}

WindowPicker::~WindowPicker() = default;

X11WindowPicker* WindowPicker::Desktop() {
#ifdef ORVANTA_WITH_X11_HOTKEYS
    if (!desktopTried_) {
        desktopTried_ = true;
        desktop_ = OpenDesktop();
    }
#endif
    return desktop_.get();
}

QPointF WindowPicker::Pointer() {
#ifdef ORVANTA_WITH_X11_HOTKEYS
    if (X11WindowPicker* desktop = Desktop()) {
        if (auto p = desktop->PointerPosition()) return QPointF(p->first, p->second);
    }
#endif
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen ? screen->devicePixelRatio() : 1.0;
    return QPointF(QCursor::pos()) * ratio;
}

bool WindowPicker::OutlineShown() const {
#ifdef ORVANTA_WITH_X11_HOTKEYS
    return desktop_ && desktop_->OutlineShown();
#else
    return false;
#endif
}

void WindowPicker::Begin(QWidget* icon) {
    icon_ = icon;
    outlined_ = 0;
    anyFound_ = false;
    icon->setCursor(Qt::CrossCursor);
    icon->grabMouse();
}

void WindowPicker::Move() {
    if (!icon_) return;
#ifdef ORVANTA_WITH_X11_HOTKEYS
    X11WindowPicker* desktop = Desktop();
    if (!desktop) return;
    const QPointF at = Pointer();
    unsigned long window = 0;
    const DesktopRect r = desktop->WindowAt(static_cast<int>(at.x()), static_cast<int>(at.y()), OwnWindows(), &window);
    if (anyFound_ && window == outlined_) return;
    anyFound_ = true;
    outlined_ = window;
    desktop->HideOutline();
    if (changed_) changed_({r.left, r.top, r.width, r.height});
    desktop->ShowOutline(r);
#endif
}

void WindowPicker::End() {
    if (!icon_) return;
#ifdef ORVANTA_WITH_X11_HOTKEYS
    if (desktop_) desktop_->HideOutline();
#endif
    icon_->releaseMouse();
    icon_->unsetCursor();
    icon_ = nullptr;
    if (page_) page_->update();
}
