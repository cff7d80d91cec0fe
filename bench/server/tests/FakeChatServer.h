// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A minimal chat server for testing the load generator: the login handshake and
// the relay of chat lines, on 127.0.0.1 and a port of the system's choice, on a
// thread of its own. It can be told to refuse every login or to drop lines.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace loadgen::test {

class FakeChatServer {
public:
    struct Behaviour {
        std::string refuseWith;      // e.g. "PASS": every CACK gets ERRO with it
        std::uint64_t dropEvery = 0; // drop every n-th relayed line (0 = none)
    };

    FakeChatServer();
    explicit FakeChatServer(Behaviour behaviour);
    ~FakeChatServer();

    std::uint16_t port() const { return port_; }

private:
    void Serve();

    Behaviour behaviour_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace loadgen::test
