// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sends desktop notifications for windows and, when the user clicks one, brings
// its window forward (restored when it was minimised).
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace client {

class NotificationSink;

class NotificationRouter : public QObject {
    Q_OBJECT
public:
    // Starts with the desktop's notification service.
    explicit NotificationRouter(QObject* parent = nullptr);

    // Takes the sink over (tests put a fake one in).
    void setSink(NotificationSink* sink);
    void notify(QWidget* window, const QString& summary, const QString& body);

private:
    void bringForward(quint64 key);

    NotificationSink* sink_ = nullptr;
    QHash<quint64, QPointer<QWidget>> windows_; // notification key -> its window
    quint64 nextKey_ = 1;
};

} // namespace client
