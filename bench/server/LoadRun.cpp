// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadRun.h"

#include "bench/server/IdleConnections.h"
#include "bench/server/LoadClient.h"
#include "bench/server/LoadTls.h"
#include "bench/server/LoopbackSource.h"
#include "bench/server/ProcStats.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace loadgen {
namespace {

std::uint64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

std::uint64_t SecondsToNs(double s) {
    return static_cast<std::uint64_t>(std::max(0.0, s) * 1e9);
}
double NsToSeconds(std::uint64_t ns) {
    return static_cast<double>(ns) / 1e9;
}

struct Connection {
    explicit Connection(std::uint32_t index, std::uint32_t senders) : client(index, senders) {}
    int fd = -1;
    bool connected = false;
    bool writeArmed = false;
    LoadClient client;
    std::string out;
    std::size_t outPos = 0;
    TlsLink tls;               // active with --tls on
    std::uint64_t startNs = 0; // connect -> handshake done
};

ssize_t Receive(Connection& c, char* data, std::size_t size) {
    return c.tls.active() ? c.tls.Read(data, size) : ::recv(c.fd, data, size, 0);
}
ssize_t Transmit(Connection& c, const char* data, std::size_t size) {
    return c.tls.active() ? c.tls.Write(data, size) : ::send(c.fd, data, size, MSG_NOSIGNAL);
}

class Driver {
public:
    explicit Driver(const Options& options) : o_(options) {}
    ~Driver() {
        for (auto& c : conns_)
            if (c->fd >= 0)
                ::close(c->fd);
        if (ep_ >= 0)
            ::close(ep_);
    }

    Report Go();

private:
    bool Setup();
    bool WaitForListener();
    bool OpenIdle();
    bool StartConnect(Connection& c);
    bool AdvanceTls(Connection& c);
    void Poll(std::uint64_t timeoutNs);
    std::uint64_t PacedTimeoutNs(std::uint64_t now) const;
    void OnEvent(Connection& c, std::uint32_t events);
    void OnReadable(Connection& c);
    void Flush(Connection& c);
    void Arm(Connection& c, bool wantWrite);
    void Drop(Connection& c);
    void TopUp(Connection& c, std::uint64_t now);
    bool LoginPhase();
    bool ChatPhase();
    void Settle();
    bool Failed(const Connection& c) const { return c.client.phase() == LoadClient::Phase::Failed; }
    // Keeps the login counters in step after anything that may move a client on.
    void Count(LoadClient::Phase before, const Connection& c) {
        const auto after = c.client.phase();
        if (before == after)
            return;
        ready_ += after == LoadClient::Phase::Ready;
        ready_ -= before == LoadClient::Phase::Ready;
        failed_ += after == LoadClient::Phase::Failed;
    }
    void Fail(int code, std::string error) {
        if (report_.exitCode == 0) {
            report_.exitCode = code;
            report_.error = std::move(error);
        }
    }

    Options o_;
    Report report_;
    RunTally tally_;
    int ep_ = -1;
    sockaddr_in addr_{};
    std::vector<std::unique_ptr<Connection>> conns_;
    std::uint32_t senders_ = 0; // clients 0 .. senders_-1 send
    IdleConnections idle_;
    std::unique_ptr<TlsClientContext> tlsContext_;
    std::uint32_t started_ = 0, ready_ = 0, failed_ = 0;
    std::uint64_t lastArrivalNs_ = 0;

    // Chat phase.
    bool chatting_ = false, sendingStopped_ = false, paced_ = false;
    std::uint64_t chatStartNs_ = 0, firstSendNs_ = 0, linesPerClient_ = 0;
    double linesPerSecond_ = 0; // paced, over all clients
    std::uint64_t maxLagNs_ = 0;
};

bool Driver::Setup() {
    addr_.sin_family = AF_INET;
    addr_.sin_port = htons(o_.port);
    if (inet_pton(AF_INET, o_.host.c_str(), &addr_.sin_addr) != 1) {
        Fail(2, "geen IPv4-adres: " + o_.host);
        return false;
    }
    if ((ntohl(addr_.sin_addr.s_addr) >> 24) != 127) {
        Fail(2, "alleen loopback-adressen (127.0.0.0/8) zijn toegestaan");
        return false;
    }
    ep_ = epoll_create1(EPOLL_CLOEXEC);
    if (ep_ < 0) {
        Fail(3, std::string("epoll_create1: ") + std::strerror(errno));
        return false;
    }
    if (o_.tls) {
        tlsContext_ = std::make_unique<TlsClientContext>();
        if (!tlsContext_->ok()) {
            Fail(3, "geen TLS-context");
            return false;
        }
    }
    senders_ = o_.senders > 0 ? std::min(o_.senders, o_.clients) : o_.clients;
    conns_.reserve(o_.clients);
    for (std::uint32_t i = 0; i < o_.clients; ++i)
        conns_.push_back(std::make_unique<Connection>(i, senders_));
    return true;
}

// Polls the port with plain connections until the server answers; bounded by waitListen.
bool Driver::WaitForListener() {
    const std::uint64_t deadline = NowNs() + SecondsToNs(o_.waitListen);
    for (int attempt = 0; attempt < 10'000; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            break;
        const bool up = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr_), sizeof addr_) == 0;
        ::close(fd);
        if (up)
            return true;
        if (NowNs() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Fail(3, "server luistert niet op " + o_.host + ":" + std::to_string(o_.port));
    return false;
}

// Opens the idle connections and waits until the server holds them all, so that
// what follows runs beside them and not beside a backlog still being accepted.
bool Driver::OpenIdle() {
    const std::uint64_t fdsBefore = o_.serverPid ? ReadFdCount(o_.serverPid).value_or(0) : 0;
    std::string error;
    if (!idle_.Open(addr_, o_.idle, o_.clients, o_.sources, o_.loginTimeout, error)) {
        Fail(3, error);
        return false;
    }
    if (!o_.serverPid)
        return true;
    const std::uint64_t deadline = NowNs() + SecondsToNs(o_.loginTimeout);
    for (int attempt = 0; attempt < 100'000 && NowNs() < deadline; ++attempt) {
        if (ReadFdCount(o_.serverPid).value_or(0) >= fdsBefore + o_.idle)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Fail(4, "de server heeft de stille verbindingen niet op tijd aangenomen");
    return false;
}

bool Driver::StartConnect(Connection& c) {
    c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (c.fd < 0) {
        Fail(3, std::string("socket: ") + std::strerror(errno) + " (ulimit -n te laag?)");
        return false;
    }
    c.startNs = NowNs();
    if (tlsContext_ && !c.tls.Start(*tlsContext_, c.fd)) {
        Fail(3, "geen TLS-sessie");
        return false;
    }
    // Our own small writes must not wait for acknowledgements: we measure the server.
    const int one = 1;
    ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string error;
    if (!BindLoopbackSource(c.fd, c.client.index(), o_.sources, error)) {
        Fail(3, error);
        return false;
    }
    const int rc = ::connect(c.fd, reinterpret_cast<const sockaddr*>(&addr_), sizeof addr_);
    if (rc < 0 && errno != EINPROGRESS) {
        Fail(3, std::string("connect: ") + std::strerror(errno));
        return false;
    }
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
    ev.data.ptr = &c;
    c.writeArmed = true;
    if (epoll_ctl(ep_, EPOLL_CTL_ADD, c.fd, &ev) < 0) {
        Fail(3, std::string("epoll_ctl: ") + std::strerror(errno));
        return false;
    }
    return true;
}

// The client speaks first once its handshake is done. False while it is not.
bool Driver::AdvanceTls(Connection& c) {
    const int rc = c.tls.Handshake();
    if (rc < 0) {
        Fail(3, "TLS-handdruk van verbinding " + std::to_string(c.client.index()) + " mislukt");
        Drop(c);
        return false;
    }
    if (rc == 0) {
        Arm(c, c.tls.wantsWrite());
        return false;
    }
    report_.handshakes.Record(NowNs() - c.startNs);
    c.client.OnConnected(c.out);
    return true;
}

void Driver::Arm(Connection& c, bool wantWrite) {
    if (c.writeArmed == wantWrite || c.fd < 0)
        return;
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | (wantWrite ? EPOLLOUT : 0u);
    ev.data.ptr = &c;
    epoll_ctl(ep_, EPOLL_CTL_MOD, c.fd, &ev);
    c.writeArmed = wantWrite;
}

void Driver::Drop(Connection& c) {
    if (c.fd >= 0) {
        epoll_ctl(ep_, EPOLL_CTL_DEL, c.fd, nullptr);
        ::close(c.fd);
        c.fd = -1;
    }
    const auto before = c.client.phase();
    c.client.OnClosed();
    Count(before, c);
}

void Driver::Flush(Connection& c) {
    while (c.fd >= 0 && c.outPos < c.out.size()) {
        const ssize_t n = Transmit(c, c.out.data() + c.outPos, c.out.size() - c.outPos);
        if (n > 0) {
            c.outPos += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            Arm(c, true);
            return;
        }
        Drop(c);
        return;
    }
    c.out.clear();
    c.outPos = 0;
    if (c.connected)
        Arm(c, false);
}

void Driver::OnReadable(Connection& c) {
    static char buffer[256 * 1024];
    // A few reads per event, so that one busy connection cannot starve the rest.
    // Over TLS everything is read: records read ahead wait inside OpenSSL, where
    // epoll does not see them.
    for (int round = 0; (round < 8 || c.tls.active()) && c.fd >= 0; ++round) {
        const ssize_t n = Receive(c, buffer, sizeof buffer);
        if (n > 0) {
            const std::uint64_t now = NowNs();
            lastArrivalNs_ = now;
            const auto before = c.client.phase();
            c.client.OnData(std::string_view(buffer, static_cast<std::size_t>(n)), now, c.out, tally_);
            Count(before, c);
            if (chatting_)
                TopUp(c, now);
            if (static_cast<std::size_t>(n) < sizeof buffer && !c.tls.active())
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        Drop(c);
        break;
    }
}

void Driver::OnEvent(Connection& c, std::uint32_t events) {
    if (!c.connected && (events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) {
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) {
            Fail(3, "verbinding " + std::to_string(c.client.index()) + ": " + std::strerror(err));
            Drop(c);
            return;
        }
        c.connected = true;
        if (!c.tls.active())
            c.client.OnConnected(c.out);
    }
    if (c.connected && c.tls.active() && !c.tls.established() && !AdvanceTls(c))
        return;
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))
        OnReadable(c);
    if (c.fd >= 0 && (events & (EPOLLRDHUP | EPOLLHUP)) && !(events & EPOLLIN))
        Drop(c);
    if (c.fd >= 0)
        Flush(c);
}

void Driver::Poll(std::uint64_t timeoutNs) {
    epoll_event events[1024];
    // Nanosecond timeouts: a paced line should leave when it is due, not at the
    // next whole millisecond.
    const timespec timeout{static_cast<time_t>(timeoutNs / 1'000'000'000ull),
                           static_cast<long>(timeoutNs % 1'000'000'000ull)};
    const int n = epoll_pwait2(ep_, events, 1024, &timeout, nullptr);
    for (int i = 0; i < n; ++i)
        OnEvent(*static_cast<Connection*>(events[i].data.ptr), events[i].events);
}

bool Driver::LoginPhase() {
    const std::uint64_t start = NowNs();
    const std::uint64_t deadline = start + SecondsToNs(o_.loginTimeout);
    const auto cpuBefore = o_.serverPid ? ReadCpuTicks(o_.serverPid) : std::nullopt;
    while (ready_ < o_.clients) {
        if (failed_ > 0) {
            for (std::uint32_t i = 0; i < started_; ++i)
                if (Failed(*conns_[i])) {
                    Fail(3, "client " + std::to_string(i) + ": " + conns_[i]->client.failure());
                    break;
                }
            return false;
        }
        while (started_ < o_.clients && started_ - ready_ < o_.connectConcurrency) {
            if (!StartConnect(*conns_[started_]))
                return false;
            ++started_;
        }
        if (NowNs() >= deadline) {
            Fail(4, "login te traag: " + std::to_string(ready_) + " van " + std::to_string(o_.clients) +
                        " ingelogd na " + std::to_string(o_.loginTimeout) + " s");
            return false;
        }
        Poll(10'000'000);
    }
    report_.loginSeconds = NsToSeconds(NowNs() - start);
    const auto cpuAfter = o_.serverPid ? ReadCpuTicks(o_.serverPid) : std::nullopt;
    if (cpuBefore && cpuAfter)
        report_.loginServerCpuSeconds = NsToSeconds(TicksToNs(*cpuAfter) - TicksToNs(*cpuBefore));
    return true;
}

// Waits until the server has stopped sending (the last USRN has arrived), at most
// a few seconds, so that memory is read with the server at rest.
void Driver::Settle() {
    const std::uint64_t limit = NowNs() + SecondsToNs(5);
    lastArrivalNs_ = NowNs();
    while (NowNs() < limit && NowNs() - lastArrivalNs_ < 300'000'000ull)
        Poll(20'000'000);
}

// Sends what this client may send now: in the open loop as long as the window
// allows, paced only what is due by the schedule.
void Driver::TopUp(Connection& c, std::uint64_t now) {
    LoadClient& cl = c.client;
    if (sendingStopped_ || Failed(c) || cl.index() >= senders_)
        return;
    const std::string filler(o_.filler, 'x');
    while (cl.sent() < linesPerClient_ && cl.inFlight() < o_.window) {
        std::uint64_t stamp = now;
        if (paced_) {
            const double k = static_cast<double>(cl.sent() * senders_ + cl.index());
            const std::uint64_t due = chatStartNs_ + static_cast<std::uint64_t>(k / linesPerSecond_ * 1e9);
            if (due > now)
                break;
            maxLagNs_ = std::max(maxLagNs_, now - due);
            stamp = due; // latency counts from when the line was due, waits included
        }
        cl.SendLine(stamp, filler, c.out);
        ++report_.linesSent;
    }
}

// Until the next line of the schedule is due (lines go out round-robin, so that
// is line number linesSent overall), at most a millisecond. A line that is due
// already waits for its window: a short nap then, not a spin.
std::uint64_t Driver::PacedTimeoutNs(std::uint64_t now) const {
    const double k = static_cast<double>(report_.linesSent);
    const std::uint64_t due = chatStartNs_ + static_cast<std::uint64_t>(k / linesPerSecond_ * 1e9);
    return due <= now ? 20'000 : std::min<std::uint64_t>(due - now, 1'000'000);
}

bool Driver::ChatPhase() {
    const std::uint64_t receivers = o_.clients - 1; // every line reaches all but its sender
    paced_ = o_.rate > 0;
    if (paced_) {
        if (o_.clients < 2) {
            Fail(2, "--rate vraagt minstens 2 clients");
            return false;
        }
        linesPerSecond_ = o_.rate / static_cast<double>(o_.clients - 1);
        linesPerClient_ = o_.lines > 0 ? o_.lines
                                       : static_cast<std::uint64_t>(std::ceil(o_.seconds * linesPerSecond_ /
                                                                              static_cast<double>(senders_)));
    } else {
        linesPerClient_ = o_.lines > 0 ? o_.lines : UINT64_MAX;
    }
    report_.chatted = true;
    report_.targetRate = o_.rate;
    const auto cpuBefore = o_.serverPid ? ReadCpuTicks(o_.serverPid) : std::nullopt;
    chatStartNs_ = firstSendNs_ = NowNs();
    chatting_ = true;
    const std::uint64_t sendEnd = o_.seconds > 0 ? chatStartNs_ + SecondsToNs(o_.seconds) : UINT64_MAX;
    const std::uint64_t deadline = chatStartNs_ + SecondsToNs(o_.chatTimeout);

    for (std::uint64_t round = 0;; ++round) {
        const std::uint64_t now = NowNs();
        if (!sendingStopped_ && (now >= sendEnd || round > 0)) {
            bool allSent = true;
            for (std::uint32_t i = 0; i < senders_; ++i)
                allSent = allSent && conns_[i]->client.sent() >= linesPerClient_;
            if (allSent || now >= sendEnd)
                sendingStopped_ = true;
        }
        if (!sendingStopped_) {
            for (auto& c : conns_) {
                TopUp(*c, now);
                Flush(*c);
            }
        }
        if (failed_ > 0) {
            for (auto& c : conns_)
                if (Failed(*c)) {
                    Fail(3, "client " + std::to_string(c->client.index()) + ": " + c->client.failure());
                    break;
                }
            chatting_ = false;
            return false;
        }
        const std::uint64_t expected = report_.linesSent * receivers;
        if (sendingStopped_ && tally_.echoes >= report_.linesSent && tally_.deliveries >= expected)
            break;
        if (now >= deadline) {
            Fail(4, "chat niet afgerond binnen " + std::to_string(o_.chatTimeout) +
                        " s: " + std::to_string(tally_.deliveries) + " van " + std::to_string(expected) +
                        " afgeleverd");
            break;
        }
        Poll(paced_ ? PacedTimeoutNs(NowNs()) : 20'000'000);
    }
    chatting_ = false;
    const auto cpuAfter = o_.serverPid ? ReadCpuTicks(o_.serverPid) : std::nullopt;

    report_.deliveries = tally_.deliveries;
    report_.expectedDeliveries = report_.linesSent * receivers;
    report_.outOfOrder = tally_.outOfOrder;
    report_.foreignLines = tally_.foreignLines;
    const std::uint64_t end = tally_.lastDeliveryNs > firstSendNs_ ? tally_.lastDeliveryNs : NowNs();
    report_.chatSeconds = NsToSeconds(end - firstSendNs_);
    report_.deliveriesPerSecond =
        report_.chatSeconds > 0 ? static_cast<double>(report_.deliveries) / report_.chatSeconds : 0;
    report_.maxSendLagMs = static_cast<double>(maxLagNs_) / 1e6;
    report_.latency = tally_.latency;
    if (cpuBefore && cpuAfter) {
        report_.haveCpu = true;
        report_.serverCpuNs = TicksToNs(*cpuAfter) - TicksToNs(*cpuBefore);
        const std::uint64_t userNs = TicksToNs(CpuTicks{cpuAfter->user - cpuBefore->user, 0});
        if (report_.deliveries > 0) {
            const auto deliveries = static_cast<double>(report_.deliveries);
            report_.serverCpuNsPerDelivery = static_cast<double>(report_.serverCpuNs) / deliveries;
            report_.serverUserNsPerDelivery = static_cast<double>(userNs) / deliveries;
        }
    }
    return report_.exitCode == 0;
}

Report Driver::Go() {
    report_.clients = o_.clients;
    if (!Setup())
        return report_;
    if (o_.waitListen > 0 && !WaitForListener())
        return report_;
    if (o_.idle > 0 && !OpenIdle())
        return report_;
    const bool loggedIn = LoginPhase();
    report_.loggedIn = ready_;
    if (!loggedIn)
        return report_;
    Settle();
    if (o_.serverPid) {
        report_.rssKbAfterLogin = ReadVmRssKb(o_.serverPid).value_or(0);
        report_.serverFds = ReadFdCount(o_.serverPid).value_or(0);
    }
    if (o_.lines > 0 || o_.seconds > 0) {
        ChatPhase();
        if (o_.serverPid)
            report_.rssKbAfterChat = ReadVmRssKb(o_.serverPid).value_or(0);
    }
    report_.idleStillOpen = idle_.StillOpen();
    return report_;
}

} // namespace

Report Run(const Options& options) {
    Driver driver(options);
    return driver.Go();
}

} // namespace loadgen
