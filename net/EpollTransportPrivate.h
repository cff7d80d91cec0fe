// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Inside the epoll transport: the record of one connection and the state that
// its parts share. EpollTransport.cpp runs the pass and reads; EpollListening.cpp
// accepts; EpollSendAndClose.cpp writes, closes and lingers.
#include "net/EpollTransport.h"
#include "net/PeerAddress.h"
#include "net/SendQueue.h"
#include "net/TlsContext.h"
#include "net/TlsSession.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <sys/socket.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace net {

namespace epolldetail {

// A connection closed from our side may take this long to hand over what is
// queued and to see the peer's end; then it is reset.
constexpr int kDefaultLingerMs = 10000;
// The epoll key of the listeners; connections count up from 1 and are never reused.
constexpr std::uint64_t kListenerKey = 0;
// One readInto() of an encrypted connection takes about this much; the rest is
// announced on the next pass.
constexpr std::size_t kMaxTlsReadPerCall = 4 * 1024 * 1024;

inline std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

inline ssize_t sendSome(int fd, const char* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n;
}

inline ssize_t recvSome(int fd, char* data, std::size_t size, int flags = 0) {
    ssize_t n;
    do {
        n = ::recv(fd, data, size, flags | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n;
}

} // namespace epolldetail

// One accepted connection: bound to a slot, or closed from our side and finishing.
struct EpollConnection {
    int fd = -1;
    std::uint64_t key = 0;
    int slot = -1; // -1 once closed from our side
    PeerAddress peerAddress;
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
    bool sniffed = false;      // its first byte decided between TLS and plaintext
    std::unique_ptr<TlsSession> tls;

    // Bytes waiting to leave, sealed or not.
    std::size_t unsent() const { return out.size() + (tls ? tls->queued() : 0); }
};

struct EpollTransport::Private {
    explicit Private(EpollTransport* owner);

    EpollTransport* q;
    int epfd = -1;
    QSocketNotifier* notifier = nullptr; // child of q
    std::vector<int> listenFds;          // one, or one per address given to listen on
    quint16 port = 0;
    bool acceptPaused = false;
    bool outOfDescriptors = false; // an episode is under way and was reported
    QTimer acceptRetry;
    QTimer lingerTimer;
    int lingerMs = epolldetail::kDefaultLingerMs;

    std::uint64_t nextKey = epolldetail::kListenerKey + 1;
    std::unordered_map<std::uint64_t, std::unique_ptr<EpollConnection>> connections;
    std::vector<EpollConnection*> bySlot;
    std::size_t inSlots = 0;

    struct Request {
        PeerAddress address;
        quint16 port;
    };
    std::unordered_map<int, Request> requests; // offered right now, by descriptor

    std::vector<std::uint64_t> dirty; // connections with gathered bytes
    bool flushPosted = false;
    std::deque<std::pair<std::int64_t, std::uint64_t>> lingerQueue; // deadline, key
    std::size_t totalUnsent = 0;
    std::shared_ptr<TlsContext> tlsContext; // nullptr: TLS is refused

    EpollConnection* find(std::uint64_t key) const;
    EpollConnection* inSlot(int slot) const;
    EpollConnection* bound(std::uint64_t key, int slot) const;
    bool watch(EpollConnection* c);

    void onReady();
    void acceptRequests();
    void acceptFrom(int listenFd);
    bool watchListeners();
    void pauseAccepting(bool reportIt);
    void resumeAccepting();

    void onConnectionEvent(EpollConnection* c, std::uint32_t events);
    void raiseDataArrival(EpollConnection* c, bool ended);
    void raiseClose(EpollConnection* c);
    void peerEndedWhileNotReading(EpollConnection* c);
    bool hasUnread(const EpollConnection* c) const;

    void writeOut(EpollConnection* c);
    void markDirty(EpollConnection* c);
    void flushDirty();

    // TLS (EpollTls.cpp)
    bool sniff(EpollConnection* c);
    void advanceHandshake(EpollConnection* c, bool ended);
    void dropFailed(EpollConnection* c);
    void tookTlsOutput(EpollConnection* c, std::size_t queuedBefore);
    void sealPending(EpollConnection* c);
    void sayGoodbye(EpollConnection* c);
    std::size_t readTls(EpollConnection* c, std::string& out);

    void unbind(EpollConnection* c);
    void closeGracefully(EpollConnection* c);
    void onLingeringEvent(EpollConnection* c, std::uint32_t events);
    void endOrWait(EpollConnection* c);
    void discardInput(EpollConnection* c);
    void onLingerTimeout();
    void armLingerTimer();
    void destroy(EpollConnection* c);
    void reset(EpollConnection* c);
};

} // namespace net
