// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoopbackSource.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace loadgen {

bool BindLoopbackSource(int fd, std::uint32_t index, std::uint32_t count, std::string& error) {
    if (count <= 1)
        return true;
    // Without this, bind would pick a port for the address alone and the pool of
    // ports per address would be shared by all destinations.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl((127u << 24) | (1u + index % count));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) == 0)
        return true;
    error = "bind 127.0.0." + std::to_string(1u + index % count) + ": " + std::strerror(errno);
    return false;
}

} // namespace loadgen
