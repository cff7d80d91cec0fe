// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/NotificationRouter.h"

#include "client/core/DesktopNotifications.h"
#include <QElapsedTimer>
#include <QWidget>

namespace client {

namespace {
// Notifications nobody clicks are forgotten after this many newer ones.
constexpr quint64 kRemembered = 256;
} // namespace

NotificationRouter::NotificationRouter(QObject* parent) : QObject(parent) {
    setSink(new DesktopNotifications);
    QElapsedTimer started;
    started.start();
    nowMs_ = [started] { return started.elapsed() + kQuietMs; };
}

void NotificationRouter::setSink(NotificationSink* sink) {
    delete sink_;
    sink_ = sink;
    sink_->setParent(this);
    connect(sink_, &NotificationSink::activated, this, &NotificationRouter::bringForward);
}

void NotificationRouter::notify(QWidget* window, const QString& conversation, const QString& summary,
                                const QString& body) {
    const qint64 now = nowMs_();
    const auto last = lastShown_.constFind(conversation);
    if (last != lastShown_.constEnd() && now - *last < kQuietMs)
        return;
    // Conversations whose quiet period is over are forgotten now and then.
    if (lastShown_.size() >= qsizetype(kRemembered))
        lastShown_.removeIf([now](const auto& entry) { return now - entry.value() >= kQuietMs; });
    lastShown_.insert(conversation, now);
    const quint64 key = nextKey_++;
    if (key > kRemembered)
        windows_.remove(key - kRemembered);
    windows_.insert(key, window);
    sink_->show(summary, body, key);
}

void NotificationRouter::bringForward(quint64 key) {
    const QPointer<QWidget> window = windows_.take(key);
    if (!window || (!window->isVisible() && !window->isMinimized()))
        return;
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace client
