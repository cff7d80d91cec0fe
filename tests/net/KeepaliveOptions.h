// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a connection's keepalive options back.
#include "net/Keepalive.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace nettest {

struct KeepaliveOptions {
    int on = 0, idle = 0, interval = 0, probes = 0;
};

inline KeepaliveOptions ReadKeepalive(int fd) {
    KeepaliveOptions o;
    socklen_t size = sizeof(int);
    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &o.on, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &o.idle, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &o.interval, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &o.probes, &size);
    return o;
}

inline void ExpectShortKeepalive(int fd) {
    const KeepaliveOptions o = ReadKeepalive(fd);
    EXPECT_NE(o.on, 0);
    EXPECT_EQ(o.idle, net::kKeepaliveIdleS);
    EXPECT_EQ(o.interval, net::kKeepaliveIntervalS);
    EXPECT_EQ(o.probes, net::kKeepaliveProbes);
    // Noticed within about 90 seconds.
    EXPECT_LE(o.idle + o.interval * o.probes, 90);
}

} // namespace nettest
