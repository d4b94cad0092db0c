#pragma once
// A picture that shows its bitmaps in turn, each for the same time.
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <vector>

class AnimatedPicture : public QLabel {
    Q_OBJECT
public:
    explicit AnimatedPicture(QWidget* parent = nullptr);

    // Loads the pictures; those that cannot be read are left out (and named on stderr).
    // The number loaded.
    int Load(const std::vector<QString>& files);
    // Shows the first picture and moves on every `intervalMs`. Does nothing without pictures.
    void Start(int intervalMs);
    int Current() const { return current_; }
    int Frames() const { return static_cast<int>(frames_.size()); }
    // Shows the next picture (what the timer does).
    void Advance();

private:
    std::vector<QPixmap> frames_;
    QTimer timer_;
    int current_ = -1;
};
