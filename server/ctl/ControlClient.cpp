// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ctl/ControlClient.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <algorithm>

namespace ctl {

Reply SendCommand(const QString& socketPath, const QByteArray& line, int timeoutMs) {
    Reply reply;
    reply.status = 3;
    QLocalSocket socket;
    const QDeadlineTimer deadline(timeoutMs);
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        reply.failure = QStringLiteral("Geen verbinding met de server via \"%1\": %2")
                            .arg(socketPath, socket.errorString());
        return reply;
    }
    socket.write(line + '\n');
    socket.flush();
    QByteArray all;
    while (!deadline.hasExpired() && socket.state() == QLocalSocket::ConnectedState) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
        all += socket.readAll();
    }
    all += socket.readAll();
    for (const QByteArray& answerLine : all.split('\n')) {
        if (answerLine.startsWith("O "))
            reply.out += answerLine.mid(2) + '\n';
        else if (answerLine.startsWith("E "))
            reply.err += answerLine.mid(2) + '\n';
        else if (answerLine == "= 0" || answerLine == "= 1")
            reply.status = answerLine.back() - '0';
    }
    if (reply.status == 3)
        reply.failure = all.isEmpty() ? QStringLiteral("Geen antwoord van de server (toegang geweigerd?)")
                                      : QStringLiteral("Onvolledig antwoord van de server");
    return reply;
}

} // namespace ctl
