// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Connections that connect and then say nothing: the server holds each as a
// connection waiting for its login. They stand for the quiet part of a full
// room, which a relay between two others should not have to pay for.
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace loadgen {

class IdleConnections {
public:
    IdleConnections() = default;
    IdleConnections(const IdleConnections&) = delete;
    IdleConnections& operator=(const IdleConnections&) = delete;
    ~IdleConnections();

    // Opens count connections to server, spread over `sources` loopback source
    // addresses (numbered on from firstIndex), with at most a thousand handshakes
    // under way at once. False, with the reason, on the first failure or when
    // timeoutSeconds pass.
    bool Open(const sockaddr_in& server, std::uint32_t count, std::uint32_t firstIndex, std::uint32_t sources,
              double timeoutSeconds, std::string& error);

    std::size_t size() const { return fds_.size(); }
    // How many the server has not closed (an end of stream waits on the others).
    std::size_t StillOpen() const;

private:
    std::vector<int> fds_;
};

} // namespace loadgen
