// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listening sockets of the server's own transport, made with the system calls
// directly: address reuse as Qt sets it, the system's largest backlog,
// non-blocking. Without addresses it is one socket on "::" that takes IPv4 too
// (IPv4 peers arrive as ::ffff:a.b.c.d), or on 0.0.0.0 where the system has no
// IPv6; with addresses it is one socket per address, each of its own family only.
#include <QString>
#include <QStringList>
#include <vector>

struct sockaddr;

namespace net {

// The descriptors, or none with a readable reason in *error (nothing left open).
// Every socket gets the port the first one was given (port 0: the system's choice).
std::vector<int> OpenListeners(const QStringList& addresses, quint16 port, QString* error);
// The port a listening socket is bound to; 0 when it cannot be read.
quint16 BoundPort(int fd);
// The port of a sockaddr_in or sockaddr_in6.
quint16 PortOf(const sockaddr* address);
// A refused listening address, or an empty text when all are addresses.
QString BadListenAddress(const QStringList& addresses);

} // namespace net
