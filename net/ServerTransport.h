// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's connection table as the server core sees it: one listener and
// many connections, each known by the slot number the core gave it when it
// accepted the request. The programs plug in a transport over real sockets;
// tests plug in an in-memory one and drive the core synchronously.
//
// Events (signals, named after the socket events they stand for):
//   ConnectionRequest(requestID)  a peer wants in. The handler accepts it into a
//                                 slot or refuses it; one left alone is refused
//                                 when control returns to the event loop.
//   DataArrival(slot)             bytes wait to be read with readInto(). Not
//                                 raised again for a slot while its handler runs;
//                                 bytes that arrive meanwhile are announced after.
//   Close(slot)                   the PEER closed the connection, or it failed.
//                                 close() and abort() from our side raise nothing.
//                                 A close noticed during a DataArrival handler is
//                                 raised after it returns.
//   OutOfDescriptors()            accepting failed for lack of file descriptors;
//                                 the transport pauses accepting briefly on its own
//                                 and raises this once per episode.
//
// Everything happens on the thread that owns the object.
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace net {

class TlsContext;

class ServerTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ServerTransport() override = default;

    // ---- listener
    // Listens on the addresses set below, or else on every address of both
    // families (port 0: the system chooses). False, with a readable reason, when
    // it cannot.
    virtual bool listen(quint16 port, QString* error) = 0;
    // IP addresses for the next listen(); empty: every address.
    void setListenAddresses(const QStringList& addresses) { listenAddresses_ = addresses; }
    const QStringList& listenAddresses() const { return listenAddresses_; }
    virtual void stopListening() = 0;
    virtual bool isListening() const = 0;
    virtual quint16 localPort() const = 0; // the port in use; 0 when not listening

    // ---- pending requests
    // Peer addresses as PeerAddress text: dotted IPv4 (an IPv4 peer on the IPv6
    // socket too, never "::ffff:a.b.c.d"), or canonical IPv6.
    virtual QString requestPeerIP(qintptr requestID) const = 0;
    virtual bool accept(qintptr requestID, int slot) = 0; // false: the peer is gone already
    virtual void refuse(qintptr requestID) = 0;

    // ---- connections, by slot
    // Queues bytes; they leave in the order sent. Everything sent to a slot in one
    // pass of the event loop is handed to the system in one call when the pass ends.
    virtual void send(int slot, const char* data, std::size_t size) = 0;
    // Appends every byte waiting for the slot to out; returns how many.
    virtual std::size_t readInto(int slot, std::string& out) = 0;
    // Stops or resumes reading from the peer (back-pressure: the peer waits in TCP).
    // While off, no DataArrival is raised for the slot; a peer close is still
    // noticed and raised at once, whatever is left unread.
    virtual void setReading(int slot, bool on) = 0;
    // Closes gracefully: queued bytes still leave, then the connection ends.
    virtual void close(int slot) = 0;
    // Ends the connection at once and throws queued bytes away.
    virtual void abort(int slot) = 0;
    // Bounds what the system itself holds unsent for the slot (its send buffer);
    // for a peer that falls behind. Without a system buffer: nothing to do.
    virtual void setSendBufferSize(int slot, int bytes) {
        (void)slot;
        (void)bytes;
    }

    // Bytes queued for the slot that the system has not taken yet.
    virtual std::size_t unsentBytes(int slot) const = 0;
    // The same, summed over every connection.
    virtual std::size_t totalUnsentBytes() const = 0;
    // Monotonic milliseconds (QDeadlineTimer/steady clock) at which the system last
    // took bytes for the slot, or at which nothing was left unsent; for telling a
    // peer that stopped reading from one that reads slowly.
    virtual std::int64_t lastProgressMs(int slot) const = 0;

    virtual QString peerIP(int slot) const = 0;
    virtual quint16 peerPort(int slot) const = 0;

    // ---- encryption (a transport without it keeps these defaults)
    // A connection whose first byte opens a TLS handshake is encrypted with this
    // context; nullptr: such a connection is refused. Connections encrypted
    // already keep the context they began with. The core sees plaintext either way.
    virtual void setTlsContext(std::shared_ptr<TlsContext> context) { (void)context; }
    // The slot's connection finished a TLS handshake.
    virtual bool isEncrypted(int slot) const {
        (void)slot;
        return false;
    }

signals:
    void ConnectionRequest(qintptr requestID);
    void DataArrival(int slot);
    void Close(int slot);
    void OutOfDescriptors();

private:
    QStringList listenAddresses_;
};

} // namespace net
