// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/TransportFactory.h"

#include "net/EpollTransport.h"

namespace server {

net::ServerTransport* MakeServerTransport(QObject* parent) {
    return new net::EpollTransport(parent);
}

} // namespace server
