// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/transport/RelayClients.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

#ifndef IP_BIND_ADDRESS_NO_PORT
#define IP_BIND_ADDRESS_NO_PORT 24
#endif

namespace transportbench {

namespace {

constexpr int kSourceAddresses = 8;  // 127.0.0.2 .. 127.0.0.9
constexpr int kBatch = 1000;         // connections in one go, well below the backlog
constexpr int kAcceptTimeoutS = 120; // the old transport accepts slowly with thousands open
constexpr timeval kReadTimeout{10, 0};

sockaddr_in loopback(std::uint32_t host, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(port);
    return address;
}

bool waitForOpen(int control, int wanted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAcceptTimeoutS);
    while (std::chrono::steady_clock::now() < deadline) {
        const int open = AskOpenConnections(control);
        if (open < 0)
            return false;
        if (open >= wanted)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

int ConnectLine(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &kReadTimeout, sizeof kReadTimeout);
    const sockaddr_in address = loopback(INADDR_LOOPBACK, port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendLine(int fd, const std::string& line) {
    for (std::size_t sent = 0; sent < line.size();) {
        const ssize_t n = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return true;
}

// Byte by byte would cost the bench more than the relay; lines are short and the
// relay answers one at a time, so one read nearly always holds the whole line.
bool ReadLine(int fd, std::string* reply) {
    reply->clear();
    char buffer[512];
    while (reply->empty() || reply->back() != '\n') {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        reply->append(buffer, std::size_t(n));
    }
    return true;
}

namespace {

// The two numbers of the answer to "S", or -1 and -1.
std::pair<int, int> askCounts(int control) {
    std::string reply;
    if (!SendLine(control, "S\n") || !ReadLine(control, &reply))
        return {-1, -1};
    const std::size_t space = reply.find(' ');
    return {std::stoi(reply), space == std::string::npos ? -1 : std::stoi(reply.substr(space + 1))};
}

} // namespace

int AskOpenConnections(int control) {
    return askCounts(control).first;
}

int AskListeners(int control) {
    return askCounts(control).second;
}

bool MakeListeners(int control, const std::vector<int>& fds) {
    for (const int fd : fds)
        if (::send(fd, "L\n", 2, MSG_NOSIGNAL | MSG_DONTWAIT) != 2)
            return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAcceptTimeoutS);
    while (std::chrono::steady_clock::now() < deadline) {
        const int listening = AskListeners(control);
        if (listening < 0)
            return false;
        if (listening >= int(fds.size()))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool OpenIdle(std::uint16_t port, int control, int count, int alreadyOpen, int batch, std::vector<int>* fds) {
    const sockaddr_in server = loopback(INADDR_LOOPBACK, port);
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        fds->push_back(fd);
        // The port is chosen at connect time, per destination: bound addresses share ports.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
        const sockaddr_in source = loopback(INADDR_LOOPBACK + 1 + std::uint32_t(i % kSourceAddresses), 0);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0 &&
            errno != EINPROGRESS)
            return false;
        if ((i + 1) % batch == 0 && !waitForOpen(control, alreadyOpen + i + 1))
            return false;
    }
    return waitForOpen(control, alreadyOpen + count);
}

} // namespace transportbench
