// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport's writes, gathered per pass, and the end of a connection
// from our side: the linger of a graceful close, and abort.
#include "net/EpollTransport.h"

#include "net/EpollTransportPrivate.h"

#include <algorithm>
#include <sys/epoll.h>
#include <unistd.h>

namespace net {

using namespace epolldetail;

namespace {

// A block this large leaves at once: gathering it with others gains nothing.
constexpr std::size_t kDirectSendBytes = 32 * 1024;
// A closing connection's incoming bytes dropped per pass.
constexpr std::size_t kDiscardPerPass = 256 * 1024;

} // namespace

// ---- writing -----------------------------------------------------------------

// One system call for everything queued; what it does not take waits until the
// connection is writable again.
void EpollTransport::Private::writeOut(EpollConnection* c) {
    sealPending(c);
    if (c->out.empty() || c->broken)
        return;
    const ssize_t sent = sendSome(c->fd, c->out.data(), c->out.size());
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // Reset or broken pipe: nobody will take these bytes, and the read side
        // reports the end as usual.
        c->broken = true;
        totalUnsent -= c->unsent();
        c->out.clear();
        if (c->tls)
            c->tls->dropQueued();
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

void EpollTransport::Private::markDirty(EpollConnection* c) {
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
        EpollConnection* c = find(dirty[i]);
        if (!c || !c->dirty)
            continue;
        c->dirty = false;
        if (c->slot >= 0) // a closed one handed its bytes over when it closed
            writeOut(c);
    }
    dirty.clear();
}

void EpollTransport::send(int slot, const char* data, std::size_t size) {
    EpollConnection* c = d->inSlot(slot);
    if (!c || c->broken || size == 0 || !data)
        return;
    // Nothing was waiting until now, so the system has not fallen behind yet.
    if (c->unsent() == 0)
        c->lastProgressMs = nowMs();
    if (c->tls)
        c->tls->queue(data, size);
    else
        c->out.append(data, size);
    d->totalUnsent += size;
    if (c->blocked)
        return; // leaves when the system has room, behind what waits already
    if (size >= kDirectSendBytes)
        d->writeOut(c);
    else
        d->markDirty(c);
}

// ---- our own close -----------------------------------------------------------

void EpollTransport::Private::unbind(EpollConnection* c) {
    bySlot[std::size_t(c->slot)] = nullptr;
    --inSlots;
    c->slot = -1;
    c->inHandler = false;
    c->muted = false;
    c->closeNoticed = false;
    c->reading = true; // from now on to drop what the peer still sends
    c->peerDone = false;
}

void EpollTransport::Private::closeGracefully(EpollConnection* c) {
    unbind(c);
    if (!c->hungUp) {
        sayGoodbye(c);
        writeOut(c); // what was gathered leaves now
    }
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
void EpollTransport::Private::endOrWait(EpollConnection* c) {
    if (c->out.empty() && !c->finSent) {
        ::shutdown(c->fd, SHUT_WR);
        c->finSent = true;
    }
    watch(c);
}

void EpollTransport::Private::onLingeringEvent(EpollConnection* c, std::uint32_t events) {
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

void EpollTransport::Private::discardInput(EpollConnection* c) {
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
        if (EpollConnection* c = find(key))
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

void EpollTransport::Private::destroy(EpollConnection* c) {
    if (c->slot >= 0)
        unbind(c);
    if (c->registered)
        ::epoll_ctl(epfd, EPOLL_CTL_DEL, c->fd, nullptr);
    ::close(c->fd);
    totalUnsent -= c->unsent();
    const std::uint64_t key = c->key; // erasing destroys the record holding it
    connections.erase(key);
}

// Ends the connection with a reset: queued bytes are thrown away.
void EpollTransport::Private::reset(EpollConnection* c) {
    const linger hard{1, 0};
    ::setsockopt(c->fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    destroy(c);
}

void EpollTransport::close(int slot) {
    if (EpollConnection* c = d->inSlot(slot))
        d->closeGracefully(c);
}

void EpollTransport::abort(int slot) {
    if (EpollConnection* c = d->inSlot(slot))
        d->reset(c);
}

} // namespace net
