// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/DesktopNotifications.h"

#include <QDBusAbstractInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace client {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr qsizetype kMaxBody = 300;
} // namespace

// The service's two signals, connected when someone listens to them.
class NotificationsProxy : public QDBusAbstractInterface {
    Q_OBJECT
public:
    NotificationsProxy(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(kService, kPath, kService.toLatin1().constData(), bus, parent) {}

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : NotificationSink(parent) {
    if (!bus.isConnected())
        return;
    proxy_ = new NotificationsProxy(bus, this);
    // Calls are never waited for; a service that does not answer costs nothing.
    proxy_->setTimeout(5000);
    connect(proxy_, &NotificationsProxy::ActionInvoked, this, [this](uint id, const QString& actionKey) {
        const auto found = keys_.constFind(id);
        if (found != keys_.constEnd() && actionKey == QStringLiteral("default"))
            emit activated(*found);
    });
    connect(proxy_, &NotificationsProxy::NotificationClosed, this,
            [this](uint id, uint) { keys_.remove(id); });
}

DesktopNotifications::~DesktopNotifications() = default;

void DesktopNotifications::show(const QString& summary, const QString& body, quint64 key) {
    if (!proxy_)
        return;
    // Services may read the body as simple markup; the text is chat, never markup.
    QString text = body.left(kMaxBody);
    if (body.size() > kMaxBody)
        text += QStringLiteral("...");
    const QDBusPendingCall call = proxy_->asyncCall(
        QStringLiteral("Notify"), QStringLiteral("ZindleChat"), uint(0), QStringLiteral("zindlechat"),
        summary, text.toHtmlEscaped(), QStringList{QStringLiteral("default"), QStringLiteral("Openen")},
        QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("zindlechat-client")}}, int(-1));
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher* done) {
        const QDBusPendingReply<uint> reply = *done;
        if (!reply.isError())
            keys_.insert(reply.value(), key);
        done->deleteLater();
    });
}

} // namespace client

#include "DesktopNotifications.moc"
