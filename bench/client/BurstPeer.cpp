// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/client/BurstPeer.h"

#include "common/ZindleDivideCombine.h"
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace burst {

namespace msg = ZindleMessages;

BurstPeer::BurstPeer(int lines, int fillerLength) : lines_(lines), filler_(fillerLength) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 4) != 0)
        return;
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

BurstPeer::~BurstPeer() {
    if (thread_.joinable())
        thread_.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

void BurstPeer::Start(std::chrono::seconds timeout) {
    thread_ = std::thread([this, timeout] { Serve(timeout); });
}

std::string BurstPeer::LineText(int i, int fillerLength) {
    std::string text = std::string(kNickname) + "> regel " + std::to_string(i);
    if (fillerLength > 0)
        text += ' ' + std::string(static_cast<std::size_t>(fillerLength), 'x');
    return text + "\r\n";
}

namespace {

class Connection {
public:
    Connection(int fd, BurstPeer::Clock::time_point deadline) : fd_(fd), deadline_(deadline) {}
    ~Connection() { ::close(fd_); }

    bool Wait(short events) {
        while (BurstPeer::Clock::now() < deadline_) {
            pollfd p{fd_, events, 0};
            const int rc = ::poll(&p, 1, 50);
            if (rc > 0)
                return true;
            if (rc < 0 && errno != EINTR)
                return false;
        }
        return false;
    }

    // Reads until a whole message with the given code has come.
    bool Expect(std::string_view code) {
        for (int reads = 0; reads < 1000 && Wait(POLLIN); ++reads) {
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            bool found = false;
            buffer_.Feed(std::string_view(chunk, static_cast<std::size_t>(n)), [&](std::string_view m) {
                found = found || msg::Classify(m).code == code;
                return true;
            });
            if (found)
                return true;
        }
        return false;
    }

    bool SendAll(std::string_view bytes) {
        while (!bytes.empty()) {
            if (!Wait(POLLOUT))
                return false;
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // A finished send() only means the bytes are in our own send buffer; they
    // have arrived when the client's side has acknowledged every one of them.
    bool WaitUntilReceived() {
        while (BurstPeer::Clock::now() < deadline_) {
            int unacknowledged = 0;
            if (::ioctl(fd_, SIOCOUTQ, &unacknowledged) != 0)
                return false;
            if (unacknowledged == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }

private:
    int fd_;
    BurstPeer::Clock::time_point deadline_;
    ZindleWire::MessageBuffer buffer_;
};

} // namespace

void BurstPeer::Serve(std::chrono::seconds timeout) {
    const auto deadline = Clock::now() + timeout;
    pollfd p{listenFd_, POLLIN, 0};
    while (::poll(&p, 1, 50) == 0 && Clock::now() < deadline) {
    }
    const int fd = (p.revents & POLLIN) ? ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    if (fd < 0) {
        error_ = "geen client verbonden";
        finished_ = true;
        return;
    }
    Connection c(fd, deadline);
    std::string login;
    if (!c.Expect(msg::kCack) || !c.SendAll(ZindleWire::Frame(msg::kSack, true)) || !c.Expect(msg::kAckd)) {
        error_ = "login mislukt";
        finished_ = true;
        return;
    }
    ZindleWire::AppendFrame(login, msg::BuildSinf("burst", "0.2.0004"), true);
    ZindleWire::AppendFrame(login, msg::BuildMotd(""), true);
    ZindleWire::AppendFrame(login, msg::BuildUserEntry(msg::kUsrl, 1, kNickname, false), true);

    // Built up front, so that the burst is limited by the client alone.
    std::string burst = std::move(login);
    for (int i = 1; i <= lines_; ++i)
        ZindleWire::AppendFrame(burst, ZindleDivideCombine::Escape(LineText(i, filler_)), false);
    if (!c.SendAll(burst))
        error_ = "burst niet volledig verstuurd";
    else if (!c.WaitUntilReceived())
        error_ = "burst niet ontvangen";
    lastByte_ = Clock::now();
    finished_ = true;
    // Keep the connection open until the client is done looking.
    c.Wait(POLLIN);
}

} // namespace burst
