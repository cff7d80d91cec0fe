// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for the service manager's notify socket.
#include <QByteArray>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The datagram socket systemd would listen on.
class NotifySocket {
public:
    NotifySocket() {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        path_ = dir_.filePath(QStringLiteral("notify"));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = path_.toLocal8Bit();
        std::memcpy(addr.sun_path, p.constData(), std::min<size_t>(p.size(), sizeof addr.sun_path - 1));
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    bool Bound() const { return bound_; }
    QString Path() const { return path_; }
    // Everything received so far.
    QByteArray Read() {
        char buf[512];
        for (ssize_t n; (n = ::recv(fd_, buf, sizeof buf, 0)) > 0;)
            received_.append(buf, n).append('\n');
        return received_;
    }

private:
    QTemporaryDir dir_;
    QString path_;
    int fd_ = -1;
    bool bound_ = false;
    QByteArray received_;
};

} // namespace
