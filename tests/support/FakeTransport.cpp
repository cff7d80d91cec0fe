// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/FakeTransport.h"

namespace testing_support {

int FakeTransport::Request(const QString& ip, quint16 port) {
    const qintptr id = nextRequest_++;
    requests_[id] = {ip, port};
    lastAccepted_ = -1;
    emit ConnectionRequest(id);
    if (requests_.erase(id))
        ++refused; // left alone: refused, as the real tables do
    return lastAccepted_;
}

void FakeTransport::Arrive(int slot, const std::string& bytes) {
    Connection& c = connections_.at(slot);
    c.inbox += bytes;
    if (c.reading && !c.inArrival) {
        c.inArrival = true;
        emit DataArrival(slot);
        if (Has(slot))
            connections_.at(slot).inArrival = false;
    }
}

void FakeTransport::Pump() {
    std::vector<int> ready;
    for (const auto& [slot, c] : connections_)
        if (c.reading && !c.inbox.empty())
            ready.push_back(slot);
    for (int slot : ready)
        if (Has(slot))
            Arrive(slot, {});
}

void FakeTransport::PeerClose(int slot) {
    if (!Has(slot))
        return;
    End(slot, Ending::PeerClosed);
    emit Close(slot);
}

void FakeTransport::Stall(int slot, bool on) {
    connections_.at(slot).stalled = on;
}

void FakeTransport::Take(int slot, std::size_t bytes) {
    Connection& c = connections_.at(slot);
    c.unsent -= std::min(c.unsent, bytes);
    c.progress = now;
}

FakeTransport::Ending FakeTransport::EndingOf(int slot) const {
    if (connections_.count(slot))
        return Ending::Open;
    const auto it = endings_.find(slot);
    return it == endings_.end() ? Ending::Open : it->second;
}

std::vector<std::string> FakeTransport::Messages(int slot) const {
    std::vector<std::string> out;
    auto it = connections_.find(slot);
    if (it == connections_.end()) {
        it = gone_.find(slot); // what a connection got before it ended
        if (it == gone_.end())
            return out;
    }
    const std::string& sent = it->second.sent;
    std::size_t pos = 0;
    for (std::size_t nul = sent.find('\0'); nul != std::string::npos; nul = sent.find('\0', pos)) {
        out.push_back(sent.substr(pos, nul - pos));
        pos = nul + 1;
    }
    return out;
}

void FakeTransport::Clear(int slot) {
    if (Has(slot))
        connections_.at(slot).sent.clear();
}

bool FakeTransport::listen(quint16 port, QString* error) {
    if (failListen) {
        if (error)
            *error = QStringLiteral("Poort %1 is al in gebruik.").arg(port);
        return false;
    }
    listening_ = true;
    port_ = port;
    return true;
}

QString FakeTransport::requestPeerIP(qintptr requestID) const {
    const auto it = requests_.find(requestID);
    return it == requests_.end() ? QString() : it->second.first;
}

bool FakeTransport::accept(qintptr requestID, int slot) {
    const auto it = requests_.find(requestID);
    if (it == requests_.end())
        return false;
    Connection c;
    c.ip = it->second.first;
    c.port = it->second.second;
    c.progress = now;
    requests_.erase(it);
    connections_[slot] = c;
    lastAccepted_ = slot;
    endings_.erase(slot);
    return true;
}

void FakeTransport::refuse(qintptr requestID) {
    if (requests_.erase(requestID))
        ++refused;
}

void FakeTransport::send(int slot, const char* data, std::size_t size) {
    if (!Has(slot))
        return;
    Connection& c = connections_.at(slot);
    c.sent.append(data, size);
    if (c.stalled) {
        if (c.unsent == 0)
            c.progress = now;
        c.unsent += size;
    }
    if (onSend) {
        // A copy: the hook may clear or replace itself while it runs.
        const auto hook = onSend;
        hook(slot);
    }
}

std::size_t FakeTransport::readInto(int slot, std::string& out) {
    if (!Has(slot))
        return 0;
    std::string& inbox = connections_.at(slot).inbox;
    const std::size_t n = inbox.size();
    out += inbox;
    inbox.clear();
    return n;
}

void FakeTransport::setReading(int slot, bool on) {
    if (Has(slot))
        connections_.at(slot).reading = on;
}

void FakeTransport::End(int slot, Ending how) {
    if (!Has(slot))
        return;
    gone_[slot] = std::move(connections_.at(slot));
    connections_.erase(slot);
    endings_[slot] = how;
}

std::size_t FakeTransport::unsentBytes(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() ? 0 : it->second.unsent;
}

std::size_t FakeTransport::totalUnsentBytes() const {
    std::size_t total = 0;
    for (const auto& [slot, c] : connections_)
        total += c.unsent;
    return total;
}

std::int64_t FakeTransport::lastProgressMs(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() || it->second.unsent == 0 ? now : it->second.progress;
}

QString FakeTransport::peerIP(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() ? QString() : it->second.ip;
}

quint16 FakeTransport::peerPort(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() ? 0 : it->second.port;
}

} // namespace testing_support
