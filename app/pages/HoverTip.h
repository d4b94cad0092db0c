#pragma once
// The screen recorder's own tip window: a top-most caption-less tool window with the text in
// Tahoma 13 pixels on pale yellow inside a grey frame, and a triangular pointer under its bottom
// edge whose tip sits on the anchor point. Showing the same text at the same anchor again does
// nothing; a different text replaces the shown tip 20 ms later. Every 1500 ms the tip hides
// itself once the mouse has left the anchor.
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

class HoverTip : public QWidget {
    Q_OBJECT
public:
    explicit HoverTip(QWidget* owner);

    // `pointerFromRight`: how far left of the window's right edge the pointer sits.
    void ShowTip(const QString& text, QPoint anchor, int pointerFromRight);
    void HideTip();
    const QString& Text() const { return text_; }
    QPoint Anchor() const { return anchor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Place();
    void CheckMouse();

    QString text_;
    QPoint anchor_;
    int pointerFromRight_ = 0;
    int pointerX_ = 0;
    QTimer show_;
    QTimer check_;
};
