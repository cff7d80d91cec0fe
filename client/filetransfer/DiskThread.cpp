// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiskThread.h"

#include <QCoreApplication>
#include <QThread>
#include <set>

namespace client {

namespace {
// Threads told to end that have not been freed yet.
std::set<QThread*>& Retiring() {
    static std::set<QThread*> threads;
    return threads;
}

// At the end of the program: the last work (a final flush, a discard) still completes.
void WaitForRetiring() {
    for (QThread* thread : std::exchange(Retiring(), {})) {
        thread->wait();
        delete thread;
    }
}
} // namespace

DiskThread::DiskThread(QObject* worker) : m_thread(new QThread), m_worker(worker) {
    static const bool reaperInstalled = [] {
        qAddPostRoutine(WaitForRetiring);
        return true;
    }();
    (void)reaperInstalled;
    m_thread->setObjectName(QStringLiteral("disk"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

DiskThread::~DiskThread() {
    QThread* thread = m_thread;
    Retiring().insert(thread);
    if (auto* app = QCoreApplication::instance())
        QObject::connect(thread, &QThread::finished, app, [thread] {
            if (Retiring().erase(thread))
                thread->deleteLater();
        });
    // Last in the queue, so everything posted before it still runs.
    post([worker = m_worker] {
        delete worker;
        QThread::currentThread()->quit();
    });
}

} // namespace client
