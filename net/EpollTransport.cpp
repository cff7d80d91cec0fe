// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport's pass: readiness reports turned into events, and reading.
#include "net/EpollTransport.h"

#include "net/EpollTransportPrivate.h"
#include "net/ListenSocket.h"

#include <QPointer>
#include <algorithm>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace net {

using namespace epolldetail;

namespace {

// Readiness reports taken per pass: a busy room cannot keep timers waiting.
constexpr int kEventsPerPass = 256;
// A caller's string with this much spare room is read into without asking the
// system first how much is waiting; at most the larger size at a time, since
// growing the string clears the room first.
constexpr std::size_t kMinSpareForRead = 4096;
constexpr std::size_t kMaxSpareRead = 16 * 1024;
// One readInto() takes at most this much; the rest is announced on the next pass,
// so one connection cannot hand over more than the core handles in one go.
constexpr std::size_t kMaxReadPerCall = 64 * 1024;

} // namespace

EpollTransport::Private::Private(EpollTransport* owner) : q(owner) {
    acceptRetry.setSingleShot(true);
    lingerTimer.setSingleShot(true);
    QObject::connect(&acceptRetry, &QTimer::timeout, q, [this] { resumeAccepting(); });
    QObject::connect(&lingerTimer, &QTimer::timeout, q, [this] { onLingerTimeout(); });
    epfd = ::epoll_create1(EPOLL_CLOEXEC);
    if (epfd >= 0) {
        notifier = new QSocketNotifier(epfd, QSocketNotifier::Read, q);
        QObject::connect(notifier, &QSocketNotifier::activated, q, [this] { onReady(); });
    }
}

EpollConnection* EpollTransport::Private::find(std::uint64_t key) const {
    const auto it = connections.find(key);
    return it == connections.end() ? nullptr : it->second.get();
}

EpollConnection* EpollTransport::Private::inSlot(int slot) const {
    return slot >= 0 && std::size_t(slot) < bySlot.size() ? bySlot[std::size_t(slot)] : nullptr;
}

// The connection `key` if it still holds `slot`: a handler may have closed it, and
// another may have been accepted into the slot meanwhile.
EpollConnection* EpollTransport::Private::bound(std::uint64_t key, int slot) const {
    EpollConnection* c = inSlot(slot);
    return c && c->key == key ? c : nullptr;
}

// Brings the epoll registration in line with the connection's state. False when
// the system would not register it.
bool EpollTransport::Private::watch(EpollConnection* c) {
    std::uint32_t want = 0;
    if (c->slot < 0)
        want = c->peerFinished ? 0 : EPOLLIN | EPOLLRDHUP;
    else if (c->muted)
        want = 0;
    else if (c->reading)
        want = EPOLLIN | EPOLLRDHUP;
    else if (!c->peerDone)
        want = EPOLLRDHUP;
    if (c->blocked)
        want |= EPOLLOUT;
    // A hang-up is reported whatever is asked for: a connection that has one and
    // must not be read yet leaves the set until reading resumes.
    if (c->hungUp && !(want & EPOLLIN)) {
        if (c->registered)
            ::epoll_ctl(epfd, EPOLL_CTL_DEL, c->fd, nullptr);
        c->registered = false;
        return true;
    }
    if (c->registered && want == c->interest)
        return true;
    epoll_event event{};
    event.events = want;
    event.data.u64 = c->key;
    if (::epoll_ctl(epfd, c->registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, c->fd, &event) != 0)
        return false;
    c->registered = true;
    c->interest = want;
    return true;
}

// ---- the pass ----------------------------------------------------------------

void EpollTransport::Private::onReady() {
    epoll_event events[kEventsPerPass];
    const int count = ::epoll_wait(epfd, events, kEventsPerPass, 0);
    QPointer<EpollTransport> alive(q);
    for (int i = 0; i < count && alive; ++i) {
        const std::uint64_t key = events[i].data.u64;
        if (key == kListenerKey) {
            acceptRequests();
            continue;
        }
        // Gone already when a handler earlier in this pass closed it.
        EpollConnection* c = find(key);
        if (!c)
            continue;
        if (c->slot < 0)
            onLingeringEvent(c, events[i].events);
        else
            onConnectionEvent(c, events[i].events);
    }
}

// ---- events of a connection ---------------------------------------------------

void EpollTransport::Private::onConnectionEvent(EpollConnection* c, std::uint32_t events) {
    const bool ended = events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR);
    if (events & (EPOLLHUP | EPOLLERR))
        c->hungUp = true;
    if (events & EPOLLOUT)
        writeOut(c);
    if (c->inHandler) { // a pass run from inside the slot's own handler
        if (ended)
            c->closeNoticed = true;
        // What is ready stays ready: watched on, it would wake every pass of a
        // loop the handler runs (a dialog, a wait) for nothing.
        c->muted = true;
        watch(c);
        return;
    }
    if (!c->reading) {
        if (ended)
            peerEndedWhileNotReading(c);
        return;
    }
    if (events & EPOLLIN) {
        if (!c->sniffed && !sniff(c))
            return;
        if (c->tls && (!c->tls->established() || c->tls->ended())) {
            advanceHandshake(c, ended);
            return;
        }
        raiseDataArrival(c, ended);
    } else if (ended) {
        raiseClose(c);
    }
}

void EpollTransport::Private::raiseDataArrival(EpollConnection* c, bool ended) {
    const std::uint64_t key = c->key;
    const int slot = c->slot;
    c->inHandler = true;
    c->closeNoticed = ended;
    QPointer<EpollTransport> alive(q);
    emit q->DataArrival(slot);
    if (!alive)
        return;
    c = bound(key, slot);
    if (!c)
        return;
    c->inHandler = false;
    if (c->muted) {
        c->muted = false;
        watch(c);
    }
    // The peer's end follows its last bytes; bytes the handler left unread are
    // announced on the next pass, and the end after them.
    if (c->closeNoticed || (c->tls && c->tls->ended())) {
        c->closeNoticed = false;
        if (c->reading && !hasUnread(c))
            raiseClose(c);
    }
}

// The slot is free before anyone hears of it; bytes still queued for a peer that
// only stopped sending may still leave.
void EpollTransport::Private::raiseClose(EpollConnection* c) {
    const int slot = c->slot;
    c->peerFinished = true;
    closeGracefully(c);
    emit q->Close(slot);
}

// Whatever it left unread: a peer that is gone must not hold its slot until
// reading resumes.
void EpollTransport::Private::peerEndedWhileNotReading(EpollConnection* c) {
    raiseClose(c);
}

bool EpollTransport::Private::hasUnread(const EpollConnection* c) const {
    if (c->tls && c->tls->ended())
        return false; // nothing more is read from a broken session
    char byte;
    return recvSome(c->fd, &byte, 1, MSG_PEEK) > 0;
}

// ---- reading -----------------------------------------------------------------

std::size_t EpollTransport::readInto(int slot, std::string& out) {
    EpollConnection* c = d->inSlot(slot);
    if (!c)
        return 0;
    if (c->tls)
        return d->readTls(c, out);
    std::size_t total = 0;
    while (total < kMaxReadPerCall) {
        // Spare room in the caller's string is read into at once; otherwise the
        // string grows by exactly what is waiting, so no idle slot keeps a block.
        std::size_t room = std::min(out.capacity() - out.size(), kMaxSpareRead);
        const bool exact = room < kMinSpareForRead;
        if (exact) {
            int waiting = 0;
            if (::ioctl(c->fd, FIONREAD, &waiting) != 0 || waiting <= 0)
                break;
            room = std::size_t(waiting);
        }
        room = std::min(room, kMaxReadPerCall - total);
        const std::size_t before = out.size();
        out.resize(before + room);
        const ssize_t n = recvSome(c->fd, out.data() + before, room);
        out.resize(before + (n > 0 ? std::size_t(n) : 0));
        // Nothing more now. An end or a failure is reported by the poll.
        if (n <= 0)
            break;
        total += std::size_t(n);
        // What arrives after this is announced on the next pass.
        if (exact || std::size_t(n) < room)
            break;
    }
    return total;
}

void EpollTransport::setSendBufferSize(int slot, int bytes) {
    if (const EpollConnection* c = d->inSlot(slot))
        ::setsockopt(c->fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

void EpollTransport::setReading(int slot, bool on) {
    EpollConnection* c = d->inSlot(slot);
    if (!c || c->reading == on)
        return;
    c->reading = on;
    // Resumed: what waits is announced, and an end seen meanwhile after it.
    if (on)
        c->peerDone = false;
    d->watch(c);
}

// ---- properties --------------------------------------------------------------

std::size_t EpollTransport::unsentBytes(int slot) const {
    const EpollConnection* c = d->inSlot(slot);
    return c ? c->unsent() : 0;
}

std::size_t EpollTransport::totalUnsentBytes() const {
    return d->totalUnsent;
}

std::int64_t EpollTransport::lastProgressMs(int slot) const {
    const EpollConnection* c = d->inSlot(slot);
    return c ? c->lastProgressMs : nowMs();
}

QString EpollTransport::peerIP(int slot) const {
    const EpollConnection* c = d->inSlot(slot);
    return c ? QString::fromStdString(c->peerAddress.Text()) : QString();
}

quint16 EpollTransport::peerPort(int slot) const {
    const EpollConnection* c = d->inSlot(slot);
    return c ? c->peerPort : 0;
}

void EpollTransport::setLingerMs(int ms) {
    d->lingerMs = std::max(0, ms);
}

std::size_t EpollTransport::connectionCount() const {
    return d->inSlots;
}

std::size_t EpollTransport::lingeringCount() const {
    return d->connections.size() - d->inSlots;
}

EpollTransport::EpollTransport(QObject* parent)
    : ServerTransport(parent), d(std::make_unique<Private>(this)) {}

// Everything still queued gets one chance to leave; nothing is raised.
EpollTransport::~EpollTransport() {
    delete d->notifier; // before the descriptor it watches goes
    for (auto& entry : d->connections) {
        EpollConnection& c = *entry.second;
        d->sealPending(&c);
        if (!c.broken && !c.out.empty())
            sendSome(c.fd, c.out.data(), c.out.size());
        ::close(c.fd);
    }
    for (const auto& request : d->requests)
        ::close(request.first);
    for (const int fd : d->listenFds)
        ::close(fd);
    if (d->epfd >= 0)
        ::close(d->epfd);
}

} // namespace net
