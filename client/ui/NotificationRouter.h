// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sends desktop notifications for windows and, when the user clicks one, brings
// its window forward (restored when it was minimised). A conversation gets at
// most one notification every few seconds: a partner who floods private lines
// does not flood the desktop too. The conversation is named, not taken from a
// window's address, which a new window may inherit from a closed one.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

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
    // `conversation`: "" for the room, or a key per partner (see Comforts).
    void notify(QWidget* window, const QString& conversation, const QString& summary, const QString& body);
    static constexpr qint64 kQuietMs = 3000;
    void setClock(std::function<qint64()> nowMs) { nowMs_ = std::move(nowMs); } // tests

private:
    void bringForward(quint64 key);

    NotificationSink* sink_ = nullptr;
    QHash<quint64, QPointer<QWidget>> windows_; // notification key -> its window
    QHash<QString, qint64> lastShown_;          // conversation -> when it last had one
    std::function<qint64()> nowMs_;
    quint64 nextKey_ = 1;
};

} // namespace client
