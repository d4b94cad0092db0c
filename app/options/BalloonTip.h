#pragma once
// A balloon-shaped hint window pointing at a spot on the screen: an icon, a bold title and the
// content text. Any key press anywhere in the program closes every open balloon; the option bits
// add closing on a click or on a mouse move, and a time-out closes it by itself. A balloon
// deletes itself once closed.
#include <QPainterPath>
#include <QPointer>
#include <QString>
#include <QWidget>

enum class BalloonIcon { None, Information, Warning, Error, Question };

// Option bits (the recording pages use kBalloonCloseOnClick | kBalloonCloseOnMouseMove).
inline constexpr unsigned kBalloonCloseOnClick = 0x20;
inline constexpr unsigned kBalloonCloseOnMouseMove = 0x80;
inline constexpr unsigned kBalloonPageOptions = 0xA0;

class BalloonTip : public QWidget {
    Q_OBJECT
public:
    // Shows a balloon whose stem points at `anchor` (screen coordinates). A non-empty `target` is
    // opened like a hyperlink when the balloon is clicked. `timeoutMs` 0 leaves it open until
    // something closes it.
    static QPointer<BalloonTip> Show(const QString& title, const QString& content, QPoint anchor, BalloonIcon icon,
                                     unsigned options, QWidget* owner, const QString& target, int timeoutMs);
    // The balloons open right now.
    static int OpenCount();

    const QString& Title() const { return title_; }
    const QString& Content() const { return content_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    BalloonTip(const QString& title, const QString& content, QPoint anchor, BalloonIcon icon, unsigned options,
               QWidget* owner, const QString& target);
    void Layout(QPoint anchor);
    QPainterPath Outline() const;
    friend class BalloonWatcher;

    QString title_;
    QString content_;
    BalloonIcon icon_;
    unsigned options_;
    QString target_;
    QPoint shownAt_;  // the mouse position when shown
    bool stemAtTop_ = true;
    int stemX_ = 0;
    QRect body_;
};
