// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A plain non-blocking TCP client for tests of the server's transport: no Qt
// object per connection, so a test can open thousands of them, and every wait
// lets the event loop run (the transport lives on the same thread).
#include "tests/support/EventWait.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {

class RawPeer {
public:
    // Connects to 127.0.0.1:port; receiveBuffer > 0 shrinks the peer's receive
    // buffer first, so a peer that stops reading fills up quickly.
    explicit RawPeer(quint16 port, int receiveBuffer = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0)
            return;
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        // The handshake completes in the kernel's backlog: no event loop needed.
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RawPeer() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    quint16 localPort() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

    // Sends what the system takes without waiting; returns how much it took.
    std::size_t sendSome(const std::string& bytes) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        return n > 0 ? std::size_t(n) : 0;
    }
    // Sends everything, letting the event loop run while the system is full.
    bool sendAll(const std::string& bytes, int timeoutMs = 5000) {
        std::size_t sent = 0;
        return zindletest::WaitUntil(
            [&] {
                sent += sendSome(bytes.substr(sent));
                return sent == bytes.size();
            },
            timeoutMs);
    }

    // Reads what has arrived without waiting. Notes the peer's end (0) and a reset.
    std::string readAvailable() {
        std::string got;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                got.append(buffer, std::size_t(n));
                continue;
            }
            if (n == 0)
                ended_ = true;
            else if (errno == ECONNRESET)
                reset_ = true;
            return got;
        }
    }
    // Reads until `size` bytes have come (or the time is up), the loop running.
    std::string readExactly(std::size_t size, int timeoutMs = 5000) {
        std::string got;
        zindletest::WaitUntil(
            [&] {
                got += readAvailable();
                return got.size() >= size || ended_ || reset_;
            },
            timeoutMs);
        return got;
    }
    // Reads until the connection ends; true when it did within the time.
    bool waitForEnd(std::string* rest = nullptr, int timeoutMs = 5000) {
        return zindletest::WaitUntil(
            [&] {
                const std::string got = readAvailable();
                if (rest)
                    *rest += got;
                return ended_ || reset_;
            },
            timeoutMs);
    }
    bool ended() const { return ended_; }
    bool wasReset() const { return reset_; }

    void close() {
        ::close(fd_);
        fd_ = -1;
    }
    // Ends with a reset instead of an orderly close.
    void resetNow() {
        const linger hard{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        close();
    }

private:
    int fd_ = -1;
    bool ended_ = false;
    bool reset_ = false;
};

} // namespace nettest
