// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/EpollTransport.h"

#include "net/ListenSocket.h"
#include "net/SendQueue.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace net {

namespace {

// A connection closed from our side may take this long to hand over what is
// queued and to see the peer's end; then it is reset.
constexpr int kDefaultLingerMs = 10000;
// Readiness reports taken per pass: a busy room cannot keep timers waiting.
constexpr int kEventsPerPass = 256;
// Connection requests taken per pass, for the same reason.
constexpr int kAcceptsPerPass = 64;
// Out of descriptors, the listener rests this long before it tries again.
constexpr int kAcceptPauseMs = 100;
// A block this large leaves at once: gathering it with others gains nothing.
constexpr std::size_t kDirectSendBytes = 32 * 1024;
// A caller's string with this much spare room is read into without asking the
// system first how much is waiting; at most the larger size at a time, since
// growing the string clears the room first.
constexpr std::size_t kMinSpareForRead = 4096;
constexpr std::size_t kMaxSpareRead = 16 * 1024;
// One readInto() takes at most this much; the rest is announced on the next pass.
constexpr std::size_t kMaxReadPerCall = 4 * 1024 * 1024;
// A closing connection's incoming bytes dropped per pass.
constexpr std::size_t kDiscardPerPass = 256 * 1024;
// Slot numbers are small; this keeps a wild one from growing the table.
constexpr int kHighestSlot = 1 << 20;
// The epoll key of the listener; connections count up from 1 and are never reused.
constexpr std::uint64_t kListenerKey = 0;

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

ssize_t sendSome(int fd, const char* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t recvSome(int fd, char* data, std::size_t size, int flags = 0) {
    ssize_t n;
    do {
        n = ::recv(fd, data, size, flags | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n;
}

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

// One accepted connection: bound to a slot, or closed from our side and finishing.
struct Connection {
    int fd = -1;
    std::uint64_t key = 0;
    int slot = -1;                 // -1 once closed from our side
    std::uint32_t peerAddress = 0; // network byte order
    quint16 peerPort = 0;
    SendQueue out;
    std::int64_t lastProgressMs = 0;
    std::uint32_t interest = 0; // what the epoll set watches for it
    bool registered = false;    // in the epoll set
    bool reading = true;
    bool inHandler = false;    // its DataArrival handler is running
    bool muted = false;        // not watched for arrivals until that handler returns
    bool closeNoticed = false; // the peer's end was seen while the handler ran
    bool peerDone = false;     // the peer ended while reading was off; bytes wait unread
    bool hungUp = false;       // reset or both directions ended
    bool dirty = false;        // gathered bytes wait for the end of the pass
    bool blocked = false;      // the system took less than offered: wait until writable
    bool broken = false;       // the system refuses its bytes for good
    bool finSent = false;      // closing: our side has ended
    bool peerFinished = false; // the peer's end has been read
};

} // namespace

struct EpollTransport::Private {
    explicit Private(EpollTransport* owner);

    EpollTransport* q;
    int epfd = -1;
    QSocketNotifier* notifier = nullptr; // child of q
    int listenFd = -1;
    quint16 port = 0;
    bool acceptPaused = false;
    bool outOfDescriptors = false; // an episode is under way and was reported
    QTimer acceptRetry;
    QTimer lingerTimer;
    int lingerMs = kDefaultLingerMs;

    std::uint64_t nextKey = kListenerKey + 1;
    std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections;
    std::vector<Connection*> bySlot;
    std::size_t inSlots = 0;

    struct Request {
        std::uint32_t address; // network byte order
        quint16 port;
    };
    std::unordered_map<int, Request> requests; // offered right now, by descriptor

    std::vector<std::uint64_t> dirty; // connections with gathered bytes
    bool flushPosted = false;
    std::deque<std::pair<std::int64_t, std::uint64_t>> lingerQueue; // deadline, key
    std::size_t totalUnsent = 0;

    Connection* find(std::uint64_t key) const;
    Connection* inSlot(int slot) const;
    Connection* bound(std::uint64_t key, int slot) const;
    bool watch(Connection* c);

    void onReady();
    void acceptRequests();
    void pauseAccepting(bool reportIt);
    void resumeAccepting();

    void onConnectionEvent(Connection* c, std::uint32_t events);
    void raiseDataArrival(Connection* c, bool ended);
    void raiseClose(Connection* c);
    void peerEndedWhileNotReading(Connection* c);
    bool hasUnread(const Connection* c) const;

    void writeOut(Connection* c);
    void markDirty(Connection* c);
    void flushDirty();

    void unbind(Connection* c);
    void closeGracefully(Connection* c);
    void onLingeringEvent(Connection* c, std::uint32_t events);
    void endOrWait(Connection* c);
    void discardInput(Connection* c);
    void onLingerTimeout();
    void armLingerTimer();
    void destroy(Connection* c);
    void reset(Connection* c);
};

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

Connection* EpollTransport::Private::find(std::uint64_t key) const {
    const auto it = connections.find(key);
    return it == connections.end() ? nullptr : it->second.get();
}

Connection* EpollTransport::Private::inSlot(int slot) const {
    return slot >= 0 && std::size_t(slot) < bySlot.size() ? bySlot[std::size_t(slot)] : nullptr;
}

// The connection `key` if it still holds `slot`: a handler may have closed it, and
// another may have been accepted into the slot meanwhile.
Connection* EpollTransport::Private::bound(std::uint64_t key, int slot) const {
    Connection* c = inSlot(slot);
    return c && c->key == key ? c : nullptr;
}

// Brings the epoll registration in line with the connection's state. False when
// the system would not register it.
bool EpollTransport::Private::watch(Connection* c) {
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
        Connection* c = find(key);
        if (!c)
            continue;
        if (c->slot < 0)
            onLingeringEvent(c, events[i].events);
        else
            onConnectionEvent(c, events[i].events);
    }
}

// ---- listening ---------------------------------------------------------------

void EpollTransport::Private::acceptRequests() {
    QPointer<EpollTransport> alive(q);
    for (int i = 0; i < kAcceptsPerPass && listenFd >= 0 && !acceptPaused; ++i) {
        sockaddr_in address{};
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
        requests.emplace(fd, Request{address.sin_addr.s_addr, ntohs(address.sin_port)});
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
        ::epoll_ctl(epfd, EPOLL_CTL_DEL, listenFd, nullptr);
        acceptRetry.start(kAcceptPauseMs);
    }
    if (reportIt && !outOfDescriptors) {
        outOfDescriptors = true;
        emit q->OutOfDescriptors();
    }
}

void EpollTransport::Private::resumeAccepting() {
    if (listenFd < 0 || !acceptPaused)
        return;
    acceptPaused = false;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerKey;
    if (::epoll_ctl(epfd, EPOLL_CTL_ADD, listenFd, &event) != 0) {
        acceptPaused = true;
        acceptRetry.start(kAcceptPauseMs);
    }
}

bool EpollTransport::listen(quint16 port, QString* error) {
    stopListening();
    if (d->epfd < 0) {
        if (error)
            *error = QStringLiteral("Kan niet luisteren op poort %1: geen epoll").arg(port);
        return false;
    }
    const int fd = OpenIPv4Listener(port, error);
    if (fd < 0)
        return false;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerKey;
    if (::epoll_ctl(d->epfd, EPOLL_CTL_ADD, fd, &event) != 0) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("Kan niet luisteren op poort %1: geen epoll").arg(port);
        return false;
    }
    d->listenFd = fd;
    d->port = BoundPort(fd);
    d->acceptPaused = false;
    d->outOfDescriptors = false;
    return true;
}

void EpollTransport::stopListening() {
    if (d->listenFd < 0)
        return;
    if (!d->acceptPaused)
        ::epoll_ctl(d->epfd, EPOLL_CTL_DEL, d->listenFd, nullptr);
    ::close(d->listenFd);
    d->listenFd = -1;
    d->port = 0;
    d->acceptPaused = false;
    d->acceptRetry.stop();
}

bool EpollTransport::isListening() const {
    return d->listenFd >= 0;
}

quint16 EpollTransport::localPort() const {
    return d->port;
}

QString EpollTransport::requestPeerIP(qintptr requestID) const {
    const auto it = d->requests.find(int(requestID));
    return it == d->requests.end() ? QString() : DottedIPv4(it->second.address);
}

bool EpollTransport::accept(qintptr requestID, int slot) {
    const auto it = d->requests.find(int(requestID));
    if (it == d->requests.end() || slot < 0 || slot > kHighestSlot)
        return false;
    const int fd = it->first;
    const Private::Request request = it->second;
    d->requests.erase(it);
    if (Connection* old = d->inSlot(slot))
        d->closeGracefully(old);

    auto owned = std::make_unique<Connection>();
    Connection* c = owned.get();
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

// ---- events of a connection ---------------------------------------------------

void EpollTransport::Private::onConnectionEvent(Connection* c, std::uint32_t events) {
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
    if (events & EPOLLIN)
        raiseDataArrival(c, ended);
    else if (ended)
        raiseClose(c);
}

void EpollTransport::Private::raiseDataArrival(Connection* c, bool ended) {
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
    if (c->closeNoticed) {
        c->closeNoticed = false;
        if (c->reading && !hasUnread(c))
            raiseClose(c);
    }
}

// The slot is free before anyone hears of it; bytes still queued for a peer that
// only stopped sending may still leave.
void EpollTransport::Private::raiseClose(Connection* c) {
    const int slot = c->slot;
    c->peerFinished = true;
    closeGracefully(c);
    emit q->Close(slot);
}

void EpollTransport::Private::peerEndedWhileNotReading(Connection* c) {
    if (!hasUnread(c)) {
        raiseClose(c);
        return;
    }
    // Its last bytes wait until reading resumes; stop watching for an end already seen.
    c->peerDone = true;
    watch(c);
}

bool EpollTransport::Private::hasUnread(const Connection* c) const {
    char byte;
    return recvSome(c->fd, &byte, 1, MSG_PEEK) > 0;
}

// ---- writing -----------------------------------------------------------------

// One system call for everything queued; what it does not take waits until the
// connection is writable again.
void EpollTransport::Private::writeOut(Connection* c) {
    if (c->out.empty() || c->broken)
        return;
    const ssize_t sent = sendSome(c->fd, c->out.data(), c->out.size());
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // Reset or broken pipe: nobody will take these bytes, and the read side
        // reports the end as usual.
        c->broken = true;
        totalUnsent -= c->out.size();
        c->out.clear();
    } else if (sent > 0) {
        totalUnsent -= std::size_t(sent);
        c->out.consume(std::size_t(sent));
        c->lastProgressMs = nowMs();
    }
    const bool blocked = !c->out.empty();
    if (blocked != c->blocked) {
        c->blocked = blocked;
        watch(c);
    }
}

void EpollTransport::Private::markDirty(Connection* c) {
    if (c->dirty)
        return;
    c->dirty = true;
    dirty.push_back(c->key);
    if (!flushPosted) {
        flushPosted = true;
        QMetaObject::invokeMethod(
            q, [this] { flushDirty(); }, Qt::QueuedConnection);
    }
}

// Runs once at the end of every pass in which something was sent (also from a
// DoEvents() inside a handler: the bytes keep their order either way).
void EpollTransport::Private::flushDirty() {
    flushPosted = false;
    // Indexed: a connection dirtied meanwhile is appended and flushed in this round.
    for (std::size_t i = 0; i < dirty.size(); ++i) {
        Connection* c = find(dirty[i]);
        if (!c || !c->dirty)
            continue;
        c->dirty = false;
        if (c->slot >= 0) // a closed one handed its bytes over when it closed
            writeOut(c);
    }
    dirty.clear();
}

void EpollTransport::send(int slot, const char* data, std::size_t size) {
    Connection* c = d->inSlot(slot);
    if (!c || c->broken || size == 0 || !data)
        return;
    // Nothing was waiting until now, so the system has not fallen behind yet.
    if (c->out.empty())
        c->lastProgressMs = nowMs();
    c->out.append(data, size);
    d->totalUnsent += size;
    if (c->blocked)
        return; // leaves when the system has room, behind what waits already
    if (size >= kDirectSendBytes)
        d->writeOut(c);
    else
        d->markDirty(c);
}

// ---- reading -----------------------------------------------------------------

std::size_t EpollTransport::readInto(int slot, std::string& out) {
    Connection* c = d->inSlot(slot);
    if (!c)
        return 0;
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

void EpollTransport::setReading(int slot, bool on) {
    Connection* c = d->inSlot(slot);
    if (!c || c->reading == on)
        return;
    c->reading = on;
    // Resumed: what waits is announced, and an end seen meanwhile after it.
    if (on)
        c->peerDone = false;
    d->watch(c);
}

// ---- our own close -----------------------------------------------------------

void EpollTransport::Private::unbind(Connection* c) {
    bySlot[std::size_t(c->slot)] = nullptr;
    --inSlots;
    c->slot = -1;
    c->inHandler = false;
    c->muted = false;
    c->closeNoticed = false;
    c->reading = true; // from now on to drop what the peer still sends
    c->peerDone = false;
}

void EpollTransport::Private::closeGracefully(Connection* c) {
    unbind(c);
    if (!c->hungUp)
        writeOut(c); // what was gathered leaves now
    if (c->broken || c->hungUp || (c->out.empty() && c->peerFinished)) {
        destroy(c);
        return;
    }
    endOrWait(c);
    lingerQueue.emplace_back(nowMs() + lingerMs, c->key);
    if (!lingerTimer.isActive())
        armLingerTimer();
}

// Once everything queued has left our side ends, and the connection is done when
// the peer's end arrives. Closing sooner would reset a peer that still sends,
// and a reset can destroy what it has not read yet.
void EpollTransport::Private::endOrWait(Connection* c) {
    if (c->out.empty() && !c->finSent) {
        ::shutdown(c->fd, SHUT_WR);
        c->finSent = true;
    }
    watch(c);
}

void EpollTransport::Private::onLingeringEvent(Connection* c, std::uint32_t events) {
    if (events & (EPOLLHUP | EPOLLERR)) {
        destroy(c);
        return;
    }
    if (events & EPOLLOUT)
        writeOut(c);
    if (events & (EPOLLIN | EPOLLRDHUP))
        discardInput(c);
    if (c->broken || (c->out.empty() && c->peerFinished)) {
        destroy(c);
        return;
    }
    endOrWait(c);
}

void EpollTransport::Private::discardInput(Connection* c) {
    static char sink[64 * 1024]; // everything runs on one thread
    for (std::size_t dropped = 0; dropped < kDiscardPerPass;) {
        const ssize_t n = recvSome(c->fd, sink, sizeof sink);
        if (n > 0) {
            dropped += std::size_t(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            c->peerFinished = true;
            if (n < 0)
                c->broken = true;
        }
        return;
    }
}

void EpollTransport::Private::onLingerTimeout() {
    const std::int64_t now = nowMs();
    while (!lingerQueue.empty() && lingerQueue.front().first <= now) {
        const std::uint64_t key = lingerQueue.front().second;
        lingerQueue.pop_front();
        if (Connection* c = find(key))
            reset(c);
    }
    armLingerTimer();
}

void EpollTransport::Private::armLingerTimer() {
    // Entries of connections that finished on their own wake nobody.
    while (!lingerQueue.empty() && !find(lingerQueue.front().second))
        lingerQueue.pop_front();
    if (lingerQueue.empty()) {
        lingerTimer.stop();
        return;
    }
    lingerTimer.start(int(std::max<std::int64_t>(0, lingerQueue.front().first - nowMs())));
}

void EpollTransport::Private::destroy(Connection* c) {
    if (c->slot >= 0)
        unbind(c);
    if (c->registered)
        ::epoll_ctl(epfd, EPOLL_CTL_DEL, c->fd, nullptr);
    ::close(c->fd);
    totalUnsent -= c->out.size();
    const std::uint64_t key = c->key; // erasing destroys the record holding it
    connections.erase(key);
}

// Ends the connection with a reset: queued bytes are thrown away.
void EpollTransport::Private::reset(Connection* c) {
    const linger hard{1, 0};
    ::setsockopt(c->fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    destroy(c);
}

void EpollTransport::close(int slot) {
    if (Connection* c = d->inSlot(slot))
        d->closeGracefully(c);
}

void EpollTransport::abort(int slot) {
    if (Connection* c = d->inSlot(slot))
        d->reset(c);
}

// ---- properties --------------------------------------------------------------

std::size_t EpollTransport::unsentBytes(int slot) const {
    const Connection* c = d->inSlot(slot);
    return c ? c->out.size() : 0;
}

std::size_t EpollTransport::totalUnsentBytes() const {
    return d->totalUnsent;
}

std::int64_t EpollTransport::lastProgressMs(int slot) const {
    const Connection* c = d->inSlot(slot);
    return c ? c->lastProgressMs : nowMs();
}

QString EpollTransport::peerIP(int slot) const {
    const Connection* c = d->inSlot(slot);
    return c ? DottedIPv4(c->peerAddress) : QString();
}

quint16 EpollTransport::peerPort(int slot) const {
    const Connection* c = d->inSlot(slot);
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
        Connection& c = *entry.second;
        if (!c.broken && !c.out.empty())
            sendSome(c.fd, c.out.data(), c.out.size());
        ::close(c.fd);
    }
    for (const auto& request : d->requests)
        ::close(request.first);
    if (d->listenFd >= 0)
        ::close(d->listenFd);
    if (d->epfd >= 0)
        ::close(d->epfd);
}

} // namespace net
