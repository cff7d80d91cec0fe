// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ctl/ControlClient.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ctl {

namespace {

// A plain Unix socket: the tool needs nothing of Qt but its core.
class UnixConnection {
public:
    ~UnixConnection() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Connect(const QString& path, QString* error) {
        const QByteArray p = path.toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (std::size_t(p.size()) >= sizeof address.sun_path) {
            *error = QStringLiteral("pad te lang");
            return false;
        }
        std::memcpy(address.sun_path, p.constData(), std::size_t(p.size()));
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        return true;
    }
    bool Send(const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n =
                ::send(fd_, bytes.constData() + done, std::size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // Everything until the server closes, or what came before the deadline.
    QByteArray ReadAll(const QDeadlineTimer& deadline) {
        QByteArray all;
        char chunk[4096];
        while (!deadline.hasExpired()) {
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, int(std::clamp<qint64>(deadline.remainingTime(), 1, 1000)));
            if (ready < 0 && errno != EINTR)
                break;
            if (ready <= 0)
                continue;
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            all.append(chunk, n);
        }
        return all;
    }

private:
    int fd_ = -1;
};

} // namespace

Reply SendCommand(const QString& socketPath, const QByteArray& line, int timeoutMs) {
    Reply reply;
    reply.status = 3;
    const QDeadlineTimer deadline(timeoutMs);
    UnixConnection connection;
    QString why;
    if (!connection.Connect(socketPath, &why)) {
        reply.failure = QStringLiteral("Geen verbinding met de server via \"%1\": %2").arg(socketPath, why);
        return reply;
    }
    QByteArray all;
    if (connection.Send(line + '\n'))
        all = connection.ReadAll(deadline);
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
