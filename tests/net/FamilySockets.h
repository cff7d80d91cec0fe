// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain sockets of either family on loopback, for tests of listeners and of
// connecting: a blocking connect, and a listener that never accepts and whose
// queue is full, so that connecting to it waits without an answer.
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace nettest {

inline int SocketAddress(const char* ip, unsigned short port, sockaddr_storage* out) {
    std::memset(out, 0, sizeof *out);
    auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
    if (::inet_pton(AF_INET6, ip, &in6->sin6_addr) == 1) {
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        return sizeof *in6;
    }
    auto* in = reinterpret_cast<sockaddr_in*>(out);
    ::inet_pton(AF_INET, ip, &in->sin_addr);
    in->sin_family = AF_INET;
    in->sin_port = htons(port);
    return sizeof *in;
}

// A connected socket, or -1 when the connection was refused.
inline int ConnectTo(const char* ip, unsigned short port, bool blocking = true) {
    sockaddr_storage address;
    const socklen_t length = socklen_t(SocketAddress(ip, port, &address));
    const int fd =
        ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 &&
        (blocking || errno != EINPROGRESS)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The address a connected socket's peer has, as text.
inline std::string PeerText(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr, text, sizeof text);
    else
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
    return text;
}

// A listener on ip:port (port 0: any) that accepts nobody; once a few
// connections fill its queue, the system drops further attempts unanswered.
struct SilentListener {
    int fd = -1;
    unsigned short port = 0;
    std::vector<int> fillers;

    SilentListener(const char* ip, unsigned short wanted) {
        sockaddr_storage address;
        const socklen_t length = socklen_t(SocketAddress(ip, wanted, &address));
        fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (address.ss_family == AF_INET6)
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 0) != 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        sockaddr_storage bound{};
        socklen_t boundLength = sizeof bound;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
        port = ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port); // same place in both families
        for (int i = 0; i < 3; ++i)
            fillers.push_back(ConnectTo(ip, port, false));
        ::usleep(50 * 1000); // the handshakes that get through complete
    }
    ~SilentListener() {
        for (const int filler : fillers)
            if (filler >= 0)
                ::close(filler);
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace nettest
