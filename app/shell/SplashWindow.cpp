#include "app/shell/SplashWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cstdio>

SplashWindow::SplashWindow(const QString& pictureFile, std::function<bool()> initialised)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(pictureFile),
      initialised_(std::move(initialised)) {
    setAttribute(Qt::WA_DeleteOnClose);
    if (picture_.isNull())
        std::fprintf(stderr, "orvanta: cannot read the start-up picture %s\n", qPrintable(pictureFile));
    else
        resize(picture_.size());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
    connect(&timer_, &QTimer::timeout, this, &SplashWindow::Check);
    timer_.start(1000);
}

void SplashWindow::Check() {
    if (initialised_ && initialised_()) {
        timer_.stop();
        close();
    }
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}
