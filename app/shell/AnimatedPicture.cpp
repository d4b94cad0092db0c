#include "app/shell/AnimatedPicture.h"

#include <cstdio>

AnimatedPicture::AnimatedPicture(QWidget* parent) : QLabel(parent) {
    connect(&timer_, &QTimer::timeout, this, &AnimatedPicture::Advance);
}

int AnimatedPicture::Load(const std::vector<QString>& files) {
    frames_.clear();
    for (const QString& file : files) {
        QPixmap frame(file);
        if (frame.isNull()) {
            std::fprintf(stderr, "orvanta: cannot read the picture %s\n", qPrintable(file));
            continue;
        }
        frames_.push_back(frame);
    }
    if (!frames_.empty()) resize(frames_.front().size());
    return Frames();
}

void AnimatedPicture::Start(int intervalMs) {
    if (frames_.empty()) return;
    current_ = -1;
    Advance();
    timer_.start(intervalMs);
}

void AnimatedPicture::Advance() {
    if (frames_.empty()) return;
    current_ = (current_ + 1) % Frames();
    setPixmap(frames_[static_cast<size_t>(current_)]);
}
