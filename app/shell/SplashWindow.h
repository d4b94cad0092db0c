#pragma once
// The start-up picture: a borderless window centred on the screen that paints "cmlogo.jpg" and
// closes itself at its first once-a-second check after the main window finished initialising.
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    // `initialised` tells whether the main window's initialisation has finished.
    SplashWindow(const QString& pictureFile, std::function<bool()> initialised);

    bool HasPicture() const { return !picture_.isNull(); }
    // The once-a-second check; closes the window when initialisation has finished.
    void Check();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    std::function<bool()> initialised_;
    QTimer timer_;
};
