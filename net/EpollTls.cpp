// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport's TLS: the first byte of a connection decides, the
// handshake runs before the slot hears of any data, and afterwards reads give
// plaintext and the plaintext sent in one pass is sealed in one go.
#include "net/EpollTransport.h"

#include "net/EpollTransportPrivate.h"

namespace net {

using namespace epolldetail;

namespace {

// A TLS record of type handshake: what every TLS client sends first. A client
// of our own protocol begins with 0xFF 0xFF.
constexpr unsigned char kTlsHandshakeByte = 0x16;
// The answer of a server that does not speak TLS: a fatal "protocol version"
// alert, so that the client says why instead of waiting.
constexpr char kNoTlsAlert[] = {0x15, 0x03, 0x01, 0x00, 0x02, 0x02, 0x46};

} // namespace

// Looks at the first byte without taking it. False when the connection is gone.
bool EpollTransport::Private::sniff(EpollConnection* c) {
    unsigned char first = 0;
    if (recvSome(c->fd, reinterpret_cast<char*>(&first), 1, MSG_PEEK) != 1)
        return true; // an end or a failure: reported as usual
    c->sniffed = true;
    if (first != kTlsHandshakeByte)
        return true;
    if (!tlsContext) {
        c->out.append(kNoTlsAlert, sizeof kNoTlsAlert);
        totalUnsent += sizeof kNoTlsAlert;
        dropFailed(c);
        return false;
    }
    c->tls = std::make_unique<TlsSession>(*tlsContext, c->fd, c->out);
    if (!c->tls->ok()) {
        c->tls.reset();
        dropFailed(c);
        return false;
    }
    // Anything sent before the first byte came is sealed after the handshake.
    if (!c->out.empty()) {
        c->tls->queue(c->out.data(), c->out.size());
        c->out.clear();
    }
    return true;
}

void EpollTransport::Private::advanceHandshake(EpollConnection* c, bool ended) {
    const std::size_t before = c->out.size();
    const bool alive = c->tls->handshake();
    tookTlsOutput(c, before);
    if (!alive || c->tls->ended() || (ended && !c->tls->established())) {
        dropFailed(c);
        return;
    }
    // Done: what the core sent meanwhile leaves now; the records that came
    // behind the handshake wait in the socket and are announced on the next pass.
    if (c->tls->established() && c->tls->queued() > 0)
        markDirty(c);
}

// The connection failed: what is queued (an alert) still leaves, and the slot
// hears of it as of a peer that went.
void EpollTransport::Private::dropFailed(EpollConnection* c) {
    const int slot = c->slot;
    closeGracefully(c);
    emit q->Close(slot);
}

// Records OpenSSL wrote into the send queue since it held queuedBefore bytes.
void EpollTransport::Private::tookTlsOutput(EpollConnection* c, std::size_t queuedBefore) {
    const std::size_t added = c->out.size() - queuedBefore;
    if (added == 0)
        return;
    if (c->broken) {
        c->out.clear();
        return;
    }
    if (queuedBefore == 0 && c->tls->queued() == 0)
        c->lastProgressMs = nowMs();
    totalUnsent += added;
    if (!c->blocked && c->slot >= 0)
        markDirty(c);
}

// One SSL_write for everything gathered.
void EpollTransport::Private::sealPending(EpollConnection* c) {
    if (!c->tls || c->tls->queued() == 0 || c->broken)
        return;
    const std::size_t before = c->out.size();
    const std::size_t sealed = c->tls->seal();
    totalUnsent -= sealed;
    totalUnsent += c->out.size() - before;
}

// A graceful close ends the session too, behind what is still to be sealed.
void EpollTransport::Private::sayGoodbye(EpollConnection* c) {
    if (!c->tls || c->broken)
        return;
    sealPending(c);
    const std::size_t before = c->out.size();
    c->tls->shutdown();
    totalUnsent += c->out.size() - before;
}

std::size_t EpollTransport::Private::readTls(EpollConnection* c, std::string& out) {
    const std::size_t before = c->out.size();
    const std::size_t n = c->tls->readPlain(out, kMaxTlsReadPerCall);
    // Reading may answer the peer (a key update).
    tookTlsOutput(c, before);
    return n;
}

void EpollTransport::setTlsContext(std::shared_ptr<TlsContext> context) {
    d->tlsContext = std::move(context);
}

bool EpollTransport::isEncrypted(int slot) const {
    const EpollConnection* c = d->inSlot(slot);
    return c && c->tls && c->tls->established();
}

} // namespace net
