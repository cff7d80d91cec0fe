// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/TransportFactory.h"

#include "server/core/QtServerTransport.h"

namespace server {

net::ServerTransport* MakeServerTransport(QObject* parent) {
    return new QtServerTransport(parent);
}

} // namespace server
