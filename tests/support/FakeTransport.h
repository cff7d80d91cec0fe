// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An in-memory connection table for driving the server core synchronously: it
// records every byte sent per slot, and the test raises requests, arrivals and
// peer closes when it chooses, also from inside the core's own calls (onSend).
#include "net/ServerTransport.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

class FakeTransport : public net::ServerTransport {
public:
    struct Connection {
        QString ip;
        quint16 port = 0;
        std::string sent;  // every byte the core sent, in order
        std::string inbox; // arrived, not read yet
        bool reading = true;
        bool stalled = false;   // the peer takes nothing: sent bytes stay unsent
        std::size_t unsent = 0; // sent but not taken by the peer
        std::int64_t progress = 0;
        bool inArrival = false;
        int sendBuffer = 0; // what setSendBufferSize asked for (0: never)
    };
    enum class Ending { Open, Closed, Aborted, PeerClosed };

    // ---- what the test does
    std::int64_t now = 0; // the clock for lastProgressMs
    // Raises ConnectionRequest; returns the slot the core accepted it into, or -1.
    int Request(const QString& ip = QStringLiteral("127.0.0.1"), quint16 port = 40000);
    // Bytes from the peer; DataArrival follows at once while reading is on.
    void Arrive(int slot, const std::string& bytes);
    // Raises DataArrival for every reading connection with bytes waiting (what the
    // event loop would do after reading is switched back on).
    void Pump();
    void PeerClose(int slot);
    void Stall(int slot, bool on);
    void Take(int slot, std::size_t bytes); // the peer reads some of its backlog
    // Called inside send(), after the bytes were recorded: scripted re-entry.
    std::function<void(int slot)> onSend;
    void RunOutOfDescriptors() { emit OutOfDescriptors(); }

    // ---- what the test reads
    bool Has(int slot) const { return connections_.count(slot) != 0; }
    Connection& At(int slot) { return connections_.at(slot); }
    Ending EndingOf(int slot) const;
    // The messages sent to the slot (its last connection, if it ended), split at
    // NUL; cleared by Clear().
    std::vector<std::string> Messages(int slot) const;
    void Clear(int slot);
    int refused = 0;

    // ---- net::ServerTransport
    bool listen(quint16 port, QString* error) override;
    void stopListening() override { listening_ = false; }
    bool isListening() const override { return listening_; }
    quint16 localPort() const override { return listening_ ? port_ : 0; }
    QString requestPeerIP(qintptr requestID) const override;
    bool accept(qintptr requestID, int slot) override;
    void refuse(qintptr requestID) override;
    void send(int slot, const char* data, std::size_t size) override;
    std::size_t readInto(int slot, std::string& out) override;
    void setReading(int slot, bool on) override;
    void close(int slot) override { End(slot, Ending::Closed); }
    void abort(int slot) override { End(slot, Ending::Aborted); }
    void setSendBufferSize(int slot, int bytes) override {
        if (Has(slot))
            At(slot).sendBuffer = bytes;
    }
    std::size_t unsentBytes(int slot) const override;
    std::size_t totalUnsentBytes() const override;
    std::int64_t lastProgressMs(int slot) const override;
    QString peerIP(int slot) const override;
    quint16 peerPort(int slot) const override;

    bool failListen = false;

private:
    void End(int slot, Ending how);

    bool listening_ = false;
    quint16 port_ = 0;
    qintptr nextRequest_ = 100;
    int lastAccepted_ = -1;
    std::map<qintptr, std::pair<QString, quint16>> requests_;
    std::map<int, Connection> connections_;
    std::map<int, Connection> gone_; // the last connection of each slot that ended
    std::map<int, Ending> endings_;
};

} // namespace testing_support
