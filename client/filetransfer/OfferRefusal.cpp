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
} // namespace

void RefuseOffer(const QString& host, quint16 port) {
    // Owned by the application, so one still under way at the end is freed too.
    auto* socket = new net::Winsock(QCoreApplication::instance());
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
