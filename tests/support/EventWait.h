// Waiting in widget tests: runs the event loop until a condition holds.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace kelvor::test {

inline bool waitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace kelvor::test
