// SPDX-License-Identifier: GPL-3.0-or-later
// A client that vanished without a word is noticed: every connection the
// server's transport accepts probes an idle link.
#include "KeepaliveOptions.h"
#include "TransportHarness.h"

#include <QDir>
#include <arpa/inet.h>

namespace {

// The descriptors of this process's TCP connections whose local port is `port`.
std::vector<int> ConnectionsOnPort(quint16 port) {
    std::vector<int> fds;
    for (const QString& name : QDir(QStringLiteral("/proc/self/fd"))
                                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const int fd = name.toInt();
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            continue;
        // The listener takes both families: an IPv4 peer arrives as a mapped address.
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        const quint16 local = address.ss_family == AF_INET    ? ntohs(v4->sin_port)
                              : address.ss_family == AF_INET6 ? ntohs(v6->sin6_port)
                                                              : 0;
        if (local != port || ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening)
            continue;
        fds.push_back(fd);
    }
    return fds;
}

TEST(Keepalive, EveryConnectionTheServerTransportAcceptsProbes) {
    nettest::TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto first = h.connectPeer();
    auto second = h.connectPeer();
    const std::vector<int> fds = ConnectionsOnPort(h.port());
    ASSERT_EQ(fds.size(), 2u);
    for (int fd : fds)
        nettest::ExpectShortKeepalive(fd);
}

} // namespace
