#pragma once
// The Video Renderer's window: a Qt widget, the child of its owner when it has one. It paints the
// newest frame scaled from the source rectangle into the destination rectangle and fills the rest
// with the border colour; mouse input goes to the message drain window. UI thread only.
#include <QImage>
#include <QWidget>
#include <memory>

struct VideoWindowState;

class VideoWidget final : public QWidget {
public:
    VideoWidget(std::shared_ptr<VideoWindowState> state, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Forward(QMouseEvent* event);

    std::shared_ptr<VideoWindowState> state_;
    QImage scaled_;  // the last frame at the destination size, reused from paint to paint
};
