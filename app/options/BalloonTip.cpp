#include "app/options/BalloonTip.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <mutex>
#include <vector>

#include "app/options/LinkOpener.h"

namespace {

constexpr int kStemHeight = 14;
constexpr int kStemWidth = 16;
constexpr int kPadding = 8;
constexpr int kRadius = 8;
constexpr int kIconSize = 24;
constexpr int kMaxTextWidth = 320;
constexpr int kMouseSlack = 4;  // pixels the mouse may move before a move closes the balloon

}  // namespace

// Watches the program's input for the balloons: every key press closes all of them (and, per
// their options, a click or a mouse move). The list is guarded: balloons register from the UI
// thread, but the close may be asked for from anywhere that posts input.
class BalloonWatcher : public QObject {
public:
    static BalloonWatcher& Instance() {
        static BalloonWatcher* watcher = new BalloonWatcher(qApp);
        return *watcher;
    }
    void Add(BalloonTip* balloon) {
        std::lock_guard guard(lock_);
        balloons_.emplace_back(balloon);
    }
    void Remove(BalloonTip* balloon) {
        std::lock_guard guard(lock_);
        std::erase_if(balloons_, [balloon](const QPointer<BalloonTip>& b) { return !b || b == balloon; });
    }
    int Count() {
        std::lock_guard guard(lock_);
        return static_cast<int>(std::count_if(balloons_.begin(), balloons_.end(), [](const auto& b) { return !b.isNull(); }));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress: CloseAll(); break;
        case QEvent::MouseButtonPress: CloseWhere(kBalloonCloseOnClick, watched, nullptr); break;
        case QEvent::MouseMove: CloseWhere(kBalloonCloseOnMouseMove, watched, static_cast<QMouseEvent*>(event)); break;
        default: break;
        }
        return false;
    }

private:
    explicit BalloonWatcher(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

    // Closing is posted, not done here: the balloon may be the very object the event is for.
    static void PostClose(BalloonTip* balloon) { QMetaObject::invokeMethod(balloon, &QWidget::close, Qt::QueuedConnection); }

    void CloseAll() {
        std::vector<QPointer<BalloonTip>> balloons;
        {
            std::lock_guard guard(lock_);
            balloons.swap(balloons_);
        }
        for (const QPointer<BalloonTip>& balloon : balloons) {
            if (balloon) PostClose(balloon);
        }
    }

    void CloseWhere(unsigned option, QObject* watched, QMouseEvent* move) {
        std::lock_guard guard(lock_);
        for (const QPointer<BalloonTip>& balloon : balloons_) {
            if (!balloon || !(balloon->options_ & option)) continue;
            // A click on the balloon itself is the balloon's own business (it may open its target).
            if (watched == balloon.data()) continue;
            if (move && (move->globalPosition().toPoint() - balloon->shownAt_).manhattanLength() <= kMouseSlack)
                continue;
            PostClose(balloon);
        }
    }

    std::mutex lock_;
    std::vector<QPointer<BalloonTip>> balloons_;
};

QPointer<BalloonTip> BalloonTip::Show(const QString& title, const QString& content, QPoint anchor, BalloonIcon icon,
                                      unsigned options, QWidget* owner, const QString& target, int timeoutMs) {
    QPointer<BalloonTip> balloon = new BalloonTip(title, content, anchor, icon, options, owner, target);
    BalloonWatcher::Instance().Add(balloon);
    balloon->show();
    if (timeoutMs > 0) QTimer::singleShot(timeoutMs, balloon, &QWidget::close);
    return balloon;
}

int BalloonTip::OpenCount() { return BalloonWatcher::Instance().Count(); }

BalloonTip::BalloonTip(const QString& title, const QString& content, QPoint anchor, BalloonIcon icon, unsigned options,
                       QWidget* owner, const QString& target)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint),
      title_(title),
      content_(content),
      icon_(icon),
      options_(options),
      target_(target),
      shownAt_(QCursor::pos()) {
    setObjectName(QStringLiteral("BalloonHelpClass"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (!target_.isEmpty()) setCursor(Qt::PointingHandCursor);
    Layout(anchor);
}

// Sizes the body to its text and puts the stem's tip on the anchor: the body below the anchor,
// or above it when there is no room below.
void BalloonTip::Layout(QPoint anchor) {
    QFont bold = font();
    bold.setBold(true);
    QFontMetrics titleMetrics(bold);
    QRect titleRect = titleMetrics.boundingRect(QRect(0, 0, kMaxTextWidth, 1000), Qt::TextWordWrap, title_);
    QRect textRect = fontMetrics().boundingRect(QRect(0, 0, kMaxTextWidth, 1000), Qt::TextWordWrap, content_);
    int iconWidth = icon_ == BalloonIcon::None ? 0 : kIconSize + kPadding;
    int width = 2 * kPadding + iconWidth + std::max(titleRect.width(), textRect.width()) + 1;
    int height = 2 * kPadding + std::max(iconWidth ? kIconSize : 0, titleRect.height() + kPadding / 2 + textRect.height());
    width = std::max(width, kStemWidth + 4 * kRadius);

    QScreen* screen = QGuiApplication::screenAt(anchor);
    QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    stemAtTop_ = anchor.y() + kStemHeight + height <= available.bottom();
    int left = std::clamp(anchor.x() - 2 * kRadius - kStemWidth / 2, available.left(),
                          std::max(available.left(), available.right() - width));
    stemX_ = std::clamp(anchor.x() - left, kRadius + kStemWidth / 2, width - kRadius - kStemWidth / 2);
    body_ = QRect(0, stemAtTop_ ? kStemHeight : 0, width, height);
    setFixedSize(width, height + kStemHeight);
    move(left, stemAtTop_ ? anchor.y() : anchor.y() - height - kStemHeight);

    setMask(QRegion(Outline().toFillPolygon().toPolygon()));
}

QPainterPath BalloonTip::Outline() const {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(body_).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    QPainterPath stem;
    double base = stemAtTop_ ? body_.top() + 1 : body_.bottom() - 1;
    stem.moveTo(stemX_ - kStemWidth / 2, base);
    stem.lineTo(stemX_, stemAtTop_ ? 0.5 : height() - 0.5);
    stem.lineTo(stemX_ + kStemWidth / 2, base);
    stem.closeSubpath();
    return outline.united(stem);
}

void BalloonTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::ToolTipText), 1));
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawPath(Outline());

    int x = body_.left() + kPadding;
    if (icon_ != BalloonIcon::None) {
        QStyle::StandardPixmap which = icon_ == BalloonIcon::Information ? QStyle::SP_MessageBoxInformation
                                       : icon_ == BalloonIcon::Warning   ? QStyle::SP_MessageBoxWarning
                                       : icon_ == BalloonIcon::Error     ? QStyle::SP_MessageBoxCritical
                                                                         : QStyle::SP_MessageBoxQuestion;
        style()->standardIcon(which, nullptr, this).paint(&painter, x, body_.top() + kPadding, kIconSize, kIconSize);
        x += kIconSize + kPadding;
    }
    painter.setPen(palette().color(QPalette::ToolTipText));
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    QRect titleArea(x, body_.top() + kPadding, body_.x() + body_.width() - kPadding - x + 1, body_.height());
    QRect drawn;
    painter.drawText(titleArea, Qt::TextWordWrap, title_, &drawn);
    painter.setFont(font());
    painter.drawText(QRect(x, drawn.bottom() + kPadding / 2, titleArea.width(), body_.bottom() - drawn.bottom()),
                     Qt::TextWordWrap, content_);
}

void BalloonTip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !target_.isEmpty()) {
        OpenLinkOrTell(target_.toStdString());
    }
    if (event->button() == Qt::LeftButton && (options_ & kBalloonCloseOnClick)) close();
}

void BalloonTip::closeEvent(QCloseEvent* event) {
    BalloonWatcher::Instance().Remove(this);
    QWidget::closeEvent(event);
}
