// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connection table the programs run on.
#include "net/ServerTransport.h"

namespace server {

net::ServerTransport* MakeServerTransport(QObject* parent = nullptr);

} // namespace server
