// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bounded waits for tests that drive the event loop: nothing waits forever.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace zindletest {

// One short pass of the event loop. Objects handed to deleteLater() go too: no
// event loop runs in a test to delete them otherwise, as it would in the program.
inline void PumpOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::usleep(500);
}

// Runs the event loop until cond() holds or timeoutMs has passed.
inline bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > timeoutMs)
            return cond();
        PumpOnce();
    }
    return true;
}

// Lets events run for ms milliseconds (to show that something does NOT happen).
inline void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        PumpOnce();
}

} // namespace zindletest
