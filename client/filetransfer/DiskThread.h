// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thread of its own for one transfer's disk work, so that a slow disk or a
// network folder never holds up the window thread. Work is posted as functions
// and runs in the order posted. Destruction never waits: the thread finishes
// what was posted before, frees the worker and ends by itself; whatever is
// still running when the program ends is waited for then.
#include <QMetaObject>
#include <QObject>
#include <utility>

class QThread;

namespace client {

class DiskThread {
public:
    // Takes `worker` (no parent) and runs it on the new thread.
    explicit DiskThread(QObject* worker);
    ~DiskThread();
    DiskThread(const DiskThread&) = delete;
    DiskThread& operator=(const DiskThread&) = delete;

    template <class F> void post(F&& work) {
        QMetaObject::invokeMethod(m_worker, std::forward<F>(work), Qt::QueuedConnection);
    }

private:
    QThread* m_thread;
    QObject* m_worker;
};

} // namespace client
