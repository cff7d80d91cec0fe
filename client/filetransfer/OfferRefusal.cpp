// SPDX-License-Identifier: GPL-3.0-or-later
#include "OfferRefusal.h"

#include "FileTransferProtocol.h"
#include "SocketFlush.h"
#include "net/Winsock.h"

#include <QCoreApplication>
#include <QTimer>

namespace client {

namespace {
constexpr int kGiveUpMs = 10000;
// Refusals under way at once. A flood of offers beyond these gets no answer
// at all: each sender gives up by itself after its own time-out.
constexpr int kMaxRefusing = 20;
int refusing = 0;
} // namespace

void RefuseOffer(const QString& host, quint16 port) {
    if (refusing >= kMaxRefusing)
        return;
    ++refusing;
    // Owned by the application, so one still under way at the end is freed too.
    auto* socket = new net::Winsock(QCoreApplication::instance());
    QObject::connect(socket, &QObject::destroyed, [] { --refusing; });
    // Gone before the event loop is, so its close still finds one.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, socket,
                     &QObject::deleteLater);
    QObject::connect(socket, &net::Winsock::Connect, socket, [socket] {
        SendThenClose(*socket, filetransfer::kDeny);
        socket->deleteLater();
    });
    QObject::connect(socket, &net::Winsock::Close, socket, &QObject::deleteLater);
    QTimer::singleShot(kGiveUpMs, socket, &QObject::deleteLater);
    socket->connectToHost(host, port);
}

QString OfferRefusedLine(const QString& remoteUser) {
    const QString from = remoteUser.isEmpty() ? QString() : QStringLiteral(" VAN ") + remoteUser;
    return QStringLiteral("**BESTAND%1 GEWEIGERD: ER STAAN AL %2 ONTVANGSTVENSTERS OPEN**\r\n")
        .arg(from)
        .arg(kMaxReceiveWindows);
}

} // namespace client
