// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Notifications through the desktop's notification service (the freedesktop
// Notifications interface on the session bus):
//
//   Notify(app, 0, icon, summary, body, ["default", "Openen"], {}, -1) -> id
//   ActionInvoked(id, "default")   the user clicked it
//   NotificationClosed(id, reason) it is gone
//
// Every call is asynchronous. Without a session bus or a service nothing is
// shown and nothing waits; the windows' attention hints still work.
#include "client/core/NotificationSink.h"

#include <QDBusConnection>
#include <QHash>

namespace client {

class NotificationsProxy;

class DesktopNotifications : public NotificationSink {
    Q_OBJECT
public:
    explicit DesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);
    ~DesktopNotifications() override;

    void show(const QString& summary, const QString& body, quint64 key) override;
    // Notifications shown and not yet closed (for tests).
    int open() const { return int(keys_.size()); }

private:
    NotificationsProxy* proxy_ = nullptr; // null without a bus
    QHash<uint, quint64> keys_;           // notification id -> key
};

} // namespace client
