// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ListenSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {

namespace {

QString failureReason(int error, quint16 port) {
    switch (error) {
    case EADDRINUSE:
        return QStringLiteral("Poort %1 is al in gebruik.").arg(port);
    case EACCES:
    case EPERM:
        return QStringLiteral("Geen toestemming om op poort %1 te luisteren.").arg(port);
    default:
        return QStringLiteral("Kan niet luisteren op poort %1: %2")
            .arg(port)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace

int OpenIPv4Listener(quint16 port, QString* error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = failureReason(errno, port);
        return -1;
    }
    // A restarted server gets its port back while old connections are in TIME_WAIT.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        const int failure = errno;
        ::close(fd);
        if (error)
            *error = failureReason(failure, port);
        return -1;
    }
    return fd;
}

quint16 BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

QString DottedIPv4(std::uint32_t addressNetworkOrder) {
    in_addr address{};
    address.s_addr = addressNetworkOrder;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace net
