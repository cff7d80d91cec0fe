// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where desktop notifications go. The program uses the desktop's notification
// service; tests put a recording sink in its place.
#include <QObject>
#include <QString>

namespace client {

class NotificationSink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Shows one notification and returns at once, shown or not. `key` comes back
    // through activated() when the user clicks the notification.
    virtual void show(const QString& summary, const QString& body, quint64 key) = 0;

signals:
    void activated(quint64 key);
};

} // namespace client
