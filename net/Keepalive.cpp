// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/Keepalive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <utility>

namespace net {

bool EnableKeepalive(int fd) {
    const int on = 1;
    bool ok = ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0;
    for (auto [option, value] :
         {std::pair{TCP_KEEPIDLE, kKeepaliveIdleS}, std::pair{TCP_KEEPINTVL, kKeepaliveIntervalS},
          std::pair{TCP_KEEPCNT, kKeepaliveProbes}})
        ok = ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value) == 0 && ok;
    return ok;
}

} // namespace net
