#include "platform/dshow/filters/VideoWidget.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>

#include "platform/dshow/filters/FrameScaler.h"
#include "platform/dshow/filters/VideoOwner.h"
#include "platform/dshow/filters/VideoWindowState.h"

namespace {
QColor FromOleColor(LONG color) {
    auto c = static_cast<uint32_t>(color);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
}  // namespace

void RunOnUiThread(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !qobject_cast<QApplication*>(app)) return;
    if (QThread::currentThread() == app->thread()) {
        work();
    } else {
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
    }
}

void ApplyWindowState(const std::shared_ptr<VideoWindowState>& state) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    std::unique_lock lock(state->lock);
    constexpr LONG kChild = 0x40000000;
    QWidget* owner = (state->style & kChild) || state->owner ? ResolveVideoOwner(state->owner) : nullptr;
    RECT window = state->window;
    bool visible = state->visible;
    bool foreground = std::exchange(state->foreground, false);
    std::string caption = state->caption;
    VideoWidget* widget = state->widget.data();
    lock.unlock();

    if (!widget) {
        // Owned by its Qt parent, or (top-level) by the renderer, which deletes it when it goes.
        widget = std::make_unique<VideoWidget>(state, owner).release();
        widget->setAttribute(Qt::WA_OpaquePaintEvent);
        std::lock_guard relock(state->lock);
        state->widget = widget;
    } else if (widget->parentWidget() != owner) {
        widget->setParent(owner);
    }
    widget->setWindowTitle(QString::fromStdString(caption));
    widget->setGeometry(window.left, window.top, window.right - window.left, window.bottom - window.top);
    widget->setVisible(visible);
    if (foreground) {
        widget->raise();
        widget->activateWindow();
    }
    widget->update();
}

VideoWidget::VideoWidget(std::shared_ptr<VideoWindowState> state, QWidget* parent)
    : QWidget(parent), state_(std::move(state)) {
    setMouseTracking(true);
}

void VideoWidget::paintEvent(QPaintEvent*) {
    ComPtr<IMediaSample> frame;
    std::vector<BYTE> still;
    RECT source, destination;
    LONG border;
    LONG width, height, stride;
    bool bottomUp;
    int bits;
    {
        std::lock_guard lock(state_->lock);
        frame = state_->frame;
        if (!frame) still = state_->still;
        state_->updateQueued = false;
        source = state_->SourceRect();
        destination = state_->DestinationRect();
        border = state_->borderColor;
        width = state_->videoWidth;
        height = state_->videoHeight;
        stride = state_->stride;
        bottomUp = state_->bottomUp;
        bits = state_->bitCount;
        if (frame) ++state_->painted;
    }
    QPainter painter(this);
    QRect target = ToQRect(destination);
    painter.fillRect(rect(), FromOleColor(border));
    BYTE* data = nullptr;
    LONG length = 0;
    if (frame && SUCCEEDED(frame->GetPointer(&data))) {
        length = frame->GetActualDataLength();
    } else if (!still.empty()) {
        data = still.data();
        length = static_cast<LONG>(still.size());
    }
    if (!data || width <= 0 || height <= 0 || length < stride * height) {
        painter.fillRect(target, Qt::black);
        return;
    }
    QRect from = ToQRect(source);
    FrameView view{data, width, height, stride, bits == 32 ? 4 : 3, bottomUp};
    // Only what the window shows of the destination is scaled.
    QRect shown = target & rect();
    if (ScaleFrame(view, from, target.size(), shown.translated(-target.topLeft()), scaled_))
        painter.drawImage(shown.topLeft(), scaled_);
}

void VideoWidget::Forward(QMouseEvent* event) {
    OAHWND drain;
    {
        std::lock_guard lock(state_->lock);
        drain = state_->drain;
    }
    QWidget* target = ResolveVideoOwner(drain);
    if (!target || target == this) return;
    QPointF global = event->globalPosition();
    QMouseEvent copy(event->type(), target->mapFromGlobal(global), global, event->button(), event->buttons(),
                     event->modifiers());
    QCoreApplication::sendEvent(target, &copy);
}

void VideoWidget::mousePressEvent(QMouseEvent* event) { Forward(event); }
void VideoWidget::mouseReleaseEvent(QMouseEvent* event) { Forward(event); }
void VideoWidget::mouseDoubleClickEvent(QMouseEvent* event) { Forward(event); }
void VideoWidget::mouseMoveEvent(QMouseEvent* event) { Forward(event); }
