// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The relay served over the epoll transport or over one Winsock object per
// connection (QTcpSocket underneath, as the server ran before), on a port of
// the system's choice, which is written to `portPipe` as text.
#include <string>

namespace transportbench {

// Runs Qt's event loop until the process is killed; returns 1 when it cannot start.
int RunRelayServer(const std::string& transport, int portPipe);

} // namespace transportbench
