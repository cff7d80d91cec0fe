// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's connections on one epoll set (Linux). The listener and every
// accepted connection are non-blocking sockets registered with one epoll
// descriptor, and a single QSocketNotifier on that descriptor is all Qt's event
// loop sees: a pass costs what is active, not what is connected. No QObject
// exists per connection, so tens of thousands of idle connections cost only
// their kernel buffers and a small record each.
//
// The events follow the rules of ServerTransport; beyond them:
// - Readiness is level-triggered: while bytes wait unread and reading is on,
//   DataArrival is raised once per pass of the event loop (never twice for one
//   slot in one pass), so a handler that reads less than everything loses
//   nothing. readInto() reads straight into the caller's string.
// - Sends gather until the end of the pass; a block of 32 KiB or more leaves at
//   once, behind what was gathered before it.
// - When Close(slot) is raised the slot is free already; bytes still queued for
//   it leave as after close().
// - A peer that closes while reading is off is reported at once when it left
//   nothing unread; otherwise its last bytes are announced when reading resumes,
//   and the close after them.
// - close(): queued bytes leave, then our side ends the connection and waits
//   for the peer's end, reading and dropping what it still sends; all of it
//   bounded by the linger time (10 s), after which the connection is reset.
// - The peer's address is what accept() reported; no name is ever looked up.
// - TLS (EpollTls.cpp): a first byte 0x16 opens a handshake, which the
//   transport carries out before the slot hears of any data; readInto() and
//   send() then carry plaintext, and what is sent in one pass is sealed in one
//   go. Unsent counts include what waits to be sealed.
#include "net/ServerTransport.h"

#include <memory>

namespace net {

class EpollTransport final : public ServerTransport {
    Q_OBJECT
public:
    explicit EpollTransport(QObject* parent = nullptr);
    ~EpollTransport() override;

    bool listen(quint16 port, QString* error) override;
    void stopListening() override;
    bool isListening() const override;
    quint16 localPort() const override;

    QString requestPeerIP(qintptr requestID) const override;
    bool accept(qintptr requestID, int slot) override;
    void refuse(qintptr requestID) override;

    void send(int slot, const char* data, std::size_t size) override;
    std::size_t readInto(int slot, std::string& out) override;
    void setReading(int slot, bool on) override;
    void close(int slot) override;
    void abort(int slot) override;
    void setSendBufferSize(int slot, int bytes) override;

    std::size_t unsentBytes(int slot) const override;
    std::size_t totalUnsentBytes() const override;
    std::int64_t lastProgressMs(int slot) const override;

    QString peerIP(int slot) const override;
    quint16 peerPort(int slot) const override;

    void setTlsContext(std::shared_ptr<TlsContext> context) override;
    bool isEncrypted(int slot) const override;

    // How long a connection closed from our side may take to finish (tests).
    void setLingerMs(int ms);
    // Connections held in slots, and connections closed from our side that are
    // still finishing.
    std::size_t connectionCount() const;
    std::size_t lingeringCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace net
