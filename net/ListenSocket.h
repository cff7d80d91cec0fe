// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listening socket of the server's own transport, made with the system calls
// directly: every IPv4 address, address reuse as Qt sets it, the system's largest
// backlog, non-blocking.
#include <QString>
#include <cstdint>

namespace net {

// The descriptor, or -1 with a readable reason in *error.
int OpenIPv4Listener(quint16 port, QString* error);
// The port a listening socket is bound to; 0 when it cannot be read.
quint16 BoundPort(int fd);
// Dotted text of an IPv4 address given in network byte order.
QString DottedIPv4(std::uint32_t addressNetworkOrder);

} // namespace net
