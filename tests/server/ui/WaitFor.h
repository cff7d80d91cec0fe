#pragma once
// Runs the event loop until a condition holds or the time is up.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <class Condition> bool WaitFor(Condition condition, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}
