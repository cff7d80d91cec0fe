// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Spreads the generator's connections over several loopback source addresses, so
// that tens of thousands of them do not run one address out of ephemeral ports.
#include <cstdint>
#include <string>

namespace loadgen {

// Binds fd, before its connect, to 127.0.0.(1 + index % count); the port stays
// the system's choice at connect time. count 1 leaves the socket as it is.
bool BindLoopbackSource(int fd, std::uint32_t index, std::uint32_t count, std::string& error);

} // namespace loadgen
