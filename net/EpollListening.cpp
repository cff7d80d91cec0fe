// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport's listener: requests offered one by one, accepted into
// slots, and a pause when descriptors run out.
#include "net/EpollTransport.h"

#include "net/EpollTransportPrivate.h"
#include "net/Keepalive.h"
#include "net/ListenSocket.h"

#include <QPointer>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace net {

using namespace epolldetail;

namespace {

// Connection requests taken per pass: a busy listener cannot keep timers waiting.
constexpr int kAcceptsPerPass = 64;
// Out of descriptors, the listener rests this long before it tries again.
constexpr int kAcceptPauseMs = 100;
// Slot numbers are small; this keeps a wild one from growing the table.
constexpr int kHighestSlot = 1 << 20;

// Accept failures that concern only the one peer that gave up meanwhile.
bool onlyThatPeerFailed(int error) {
    switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case EOPNOTSUPP:
        return true;
    default:
        return false;
    }
}

} // namespace

void EpollTransport::Private::acceptRequests() {
    QPointer<EpollTransport> alive(q);
    // One event for every listener: each is asked in turn, the idle ones answer
    // EAGAIN at once.
    for (std::size_t n = 0; alive && n < listenFds.size() && !acceptPaused; ++n)
        acceptFrom(listenFds[n]);
}

void EpollTransport::Private::acceptFrom(int listenFd) {
    QPointer<EpollTransport> alive(q);
    for (int i = 0; i < kAcceptsPerPass && !listenFds.empty() && !acceptPaused; ++i) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd =
            ::accept4(listenFd, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (onlyThatPeerFailed(error))
                continue;
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM)
                pauseAccepting(error == EMFILE || error == ENFILE);
            return; // EAGAIN: nobody else is waiting
        }
        outOfDescriptors = false;
        const auto peer = PeerAddress::FromSocketAddress(reinterpret_cast<const sockaddr*>(&address));
        if (!peer) { // neither family: not a peer we can name
            ::close(fd);
            continue;
        }
        requests.emplace(fd, Request{*peer, PortOf(reinterpret_cast<const sockaddr*>(&address))});
        emit q->ConnectionRequest(fd);
        if (!alive)
            return;
        // Nobody took it: refuse it now rather than leak the descriptor.
        if (requests.erase(fd))
            ::close(fd);
    }
}

// Accepting again at once would fail the same way on every pass: the listener
// leaves the set for a moment instead, and the episode is reported once.
void EpollTransport::Private::pauseAccepting(bool reportIt) {
    if (!acceptPaused) {
        acceptPaused = true;
        for (const int fd : listenFds)
            ::epoll_ctl(epfd, EPOLL_CTL_DEL, fd, nullptr);
        acceptRetry.start(kAcceptPauseMs);
    }
    if (reportIt && !outOfDescriptors) {
        outOfDescriptors = true;
        emit q->OutOfDescriptors();
    }
}

void EpollTransport::Private::resumeAccepting() {
    if (listenFds.empty() || !acceptPaused)
        return;
    acceptPaused = false;
    if (!watchListeners()) {
        acceptPaused = true;
        acceptRetry.start(kAcceptPauseMs);
    }
}

// Every listener into the epoll set, or none.
bool EpollTransport::Private::watchListeners() {
    for (std::size_t n = 0; n < listenFds.size(); ++n) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kListenerKey;
        if (::epoll_ctl(epfd, EPOLL_CTL_ADD, listenFds[n], &event) != 0) {
            for (std::size_t m = 0; m < n; ++m)
                ::epoll_ctl(epfd, EPOLL_CTL_DEL, listenFds[m], nullptr);
            return false;
        }
    }
    return true;
}

bool EpollTransport::listen(quint16 port, QString* error) {
    stopListening();
    if (d->epfd < 0) {
        if (error)
            *error = QStringLiteral("Kan niet luisteren op poort %1: geen epoll").arg(port);
        return false;
    }
    d->listenFds = OpenListeners(listenAddresses(), port, error);
    if (d->listenFds.empty())
        return false;
    if (!d->watchListeners()) {
        for (const int fd : d->listenFds)
            ::close(fd);
        d->listenFds.clear();
        if (error)
            *error = QStringLiteral("Kan niet luisteren op poort %1: geen epoll").arg(port);
        return false;
    }
    d->port = BoundPort(d->listenFds.front());
    d->acceptPaused = false;
    d->outOfDescriptors = false;
    return true;
}

void EpollTransport::stopListening() {
    if (d->listenFds.empty())
        return;
    for (const int fd : d->listenFds) {
        if (!d->acceptPaused)
            ::epoll_ctl(d->epfd, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
    }
    d->listenFds.clear();
    d->port = 0;
    d->acceptPaused = false;
    d->acceptRetry.stop();
}

bool EpollTransport::isListening() const {
    return !d->listenFds.empty();
}

quint16 EpollTransport::localPort() const {
    return d->port;
}

QString EpollTransport::requestPeerIP(qintptr requestID) const {
    const auto it = d->requests.find(int(requestID));
    return it == d->requests.end() ? QString() : QString::fromStdString(it->second.address.Text());
}

bool EpollTransport::accept(qintptr requestID, int slot) {
    const auto it = d->requests.find(int(requestID));
    if (it == d->requests.end() || slot < 0 || slot > kHighestSlot)
        return false;
    const int fd = it->first;
    const Private::Request request = it->second;
    d->requests.erase(it);
    // A client that vanished without a word (suspend, a changed network) would
    // hold its slot and nickname for many minutes otherwise.
    EnableKeepalive(fd);
    if (EpollConnection* old = d->inSlot(slot))
        d->closeGracefully(old);

    auto owned = std::make_unique<EpollConnection>();
    EpollConnection* c = owned.get();
    c->fd = fd;
    c->key = d->nextKey++;
    c->slot = slot;
    c->peerAddress = request.address;
    c->peerPort = request.port;
    c->lastProgressMs = nowMs();
    d->connections.emplace(c->key, std::move(owned));
    if (d->bySlot.size() <= std::size_t(slot))
        d->bySlot.resize(std::size_t(slot) + 1, nullptr);
    d->bySlot[std::size_t(slot)] = c;
    ++d->inSlots;
    if (!d->watch(c)) { // the system's limit on watched descriptors
        d->destroy(c);
        return false;
    }
    return true;
}

void EpollTransport::refuse(qintptr requestID) {
    if (d->requests.erase(int(requestID)))
        ::close(int(requestID));
}

} // namespace net
