// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/IdleConnections.h"

#include "bench/server/LoopbackSource.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace loadgen {

IdleConnections::~IdleConnections() {
    for (const int fd : fds_)
        ::close(fd);
}

bool IdleConnections::Open(const sockaddr_in& server, std::uint32_t count, std::uint32_t firstIndex,
                           std::uint32_t sources, double timeoutSeconds, std::string& error) {
    constexpr std::uint32_t kHandshakesAtOnce = 1000;
    const int ep = epoll_create1(EPOLL_CLOEXEC);
    if (ep < 0) {
        error = std::string("epoll_create1: ") + std::strerror(errno);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    std::uint32_t started = 0, connected = 0;
    bool ok = true;
    while (ok && connected < count) {
        for (; started < count && started - connected < kHandshakesAtOnce; ++started) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                error = std::string("socket: ") + std::strerror(errno) + " (ulimit -n te laag?)";
                ok = false;
                break;
            }
            fds_.push_back(fd);
            if (!BindLoopbackSource(fd, firstIndex + started, sources, error)) {
                ok = false;
                break;
            }
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) < 0 &&
                errno != EINPROGRESS) {
                error = std::string("connect: ") + std::strerror(errno);
                ok = false;
                break;
            }
            epoll_event ev{};
            ev.events = EPOLLOUT;
            ev.data.fd = fd;
            epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
        }
        if (!ok)
            break;
        epoll_event events[256];
        const int n = epoll_wait(ep, events, 256, 10);
        for (int i = 0; i < n; ++i) {
            int err = 0;
            socklen_t len = sizeof err;
            getsockopt(events[i].data.fd, SOL_SOCKET, SO_ERROR, &err, &len);
            epoll_ctl(ep, EPOLL_CTL_DEL, events[i].data.fd, nullptr);
            if (err != 0) {
                error = std::string("stille verbinding: ") + std::strerror(err);
                ok = false;
                break;
            }
            ++connected;
        }
        if (ok && connected < count && std::chrono::steady_clock::now() >= deadline) {
            error = "stille verbindingen te traag: " + std::to_string(connected) + " van " +
                    std::to_string(count) + " verbonden";
            ok = false;
        }
    }
    ::close(ep);
    return ok;
}

std::size_t IdleConnections::StillOpen() const {
    std::size_t open = 0;
    for (const int fd : fds_) {
        char byte = 0;
        const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        open += n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }
    return open;
}

} // namespace loadgen
