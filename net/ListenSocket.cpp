// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ListenSocket.h"

#include "net/PeerAddress.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace net {

namespace {

QString failureReason(int error, quint16 port, const QString& address) {
    switch (error) {
    case EADDRINUSE:
        return QStringLiteral("Poort %1 is al in gebruik.").arg(port);
    case EACCES:
    case EPERM:
        return QStringLiteral("Geen toestemming om op poort %1 te luisteren.").arg(port);
    case EADDRNOTAVAIL:
        return QStringLiteral("Adres %1 hoort niet bij deze machine.").arg(address);
    default:
        return QStringLiteral("Kan niet luisteren op poort %1: %2")
            .arg(port)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

// address: nullopt for the dual-stack "::" socket.
int openOne(const std::optional<PeerAddress>& address, quint16 port, int* failure) {
    const bool v6 = !address || address->family() == PeerAddress::Family::IPv6;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *failure = errno;
        return -1;
    }
    // A restarted server gets its port back while old connections are in TIME_WAIT.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (v6) {
        // The default socket takes IPv4 too, whatever the system's default is; a
        // given IPv6 address means that address only.
        const int v6only = address ? 1 : 0;
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
    }
    static constexpr std::uint8_t kAnyIPv6[16] = {};
    sockaddr_storage storage;
    const socklen_t length =
        address.value_or(PeerAddress::FromIPv6(kAnyIPv6)).ToSocketAddress(port, &storage);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&storage), length) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        *failure = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

bool noIPv6(int error) {
    return error == EAFNOSUPPORT || error == EPROTONOSUPPORT || error == EADDRNOTAVAIL;
}

} // namespace

QString BadListenAddress(const QStringList& addresses) {
    for (const QString& text : addresses)
        if (!PeerAddress::Parse(text.toStdString()))
            return text;
    return QString();
}

std::vector<int> OpenListeners(const QStringList& addresses, quint16 port, QString* error) {
    std::vector<int> fds;
    int failure = 0;
    if (addresses.isEmpty()) {
        int fd = openOne(std::nullopt, port, &failure);
        if (fd < 0 && noIPv6(failure))
            fd = openOne(PeerAddress::FromIPv4(htonl(INADDR_ANY)), port, &failure);
        if (fd < 0) {
            if (error)
                *error = failureReason(failure, port, QString());
            return fds;
        }
        fds.push_back(fd);
        return fds;
    }
    if (const QString bad = BadListenAddress(addresses); !bad.isEmpty()) {
        if (error)
            *error = QStringLiteral("Geen IP-adres om op te luisteren: \"%1\"").arg(bad);
        return fds;
    }
    for (const QString& text : addresses) {
        const quint16 samePort = fds.empty() ? port : BoundPort(fds.front());
        const int fd = openOne(PeerAddress::Parse(text.toStdString()), samePort, &failure);
        if (fd < 0) {
            for (const int open : fds)
                ::close(open);
            fds.clear();
            if (error)
                *error = failureReason(failure, samePort, text);
            return fds;
        }
        fds.push_back(fd);
    }
    return fds;
}

quint16 BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return PortOf(reinterpret_cast<const sockaddr*>(&address));
}

quint16 PortOf(const sockaddr* address) {
    if (address->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
    if (address->sa_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
    return 0;
}

} // namespace net
