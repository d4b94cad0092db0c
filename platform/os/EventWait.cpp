#include "platform/os/EventWait.h"

#include <QEventLoop>
#include <QTimer>

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(ms < 0 ? 0 : ms);
    loop.exec();
}

bool RunEventsUntil(const std::function<bool()>& done, int ms, int checkMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    deadline.start(ms < 0 ? 0 : ms);
    check.start(checkMs < 1 ? 1 : checkMs);
    loop.exec();
    return done();
}
