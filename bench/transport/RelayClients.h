// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bench's side of the relay, in plain sockets: idle connections opened from
// several 127.0.0.x source addresses, and blocking line exchanges with a timeout.
#include <cstdint>
#include <string>
#include <vector>

namespace transportbench {

// A blocking connection to 127.0.0.1:port with no delay and a receive timeout;
// -1 on failure.
int ConnectLine(std::uint16_t port);
// Sends the whole line; reads up to and including the next '\n' into *reply.
bool SendLine(int fd, const std::string& line);
bool ReadLine(int fd, std::string* reply);
// "S": the number of connections the relay has open, or -1.
int AskOpenConnections(int control);
// "S": the number of connections that said "L", or -1.
int AskListeners(int control);
// Makes every one of `fds` a listener ("L") and waits until the relay knows them all.
bool MakeListeners(int control, const std::vector<int>& fds);

// Opens `count` connections that never speak, from 127.0.0.2 upwards, so that no
// source address runs out of ports, at most `batch` before the relay has accepted
// them (its listen backlog must hold a batch); waits until the relay holds them
// all. Appends their descriptors to *fds. False when it does not get there in time.
bool OpenIdle(std::uint16_t port, int control, int count, int alreadyOpen, int batch, std::vector<int>* fds);

} // namespace transportbench
