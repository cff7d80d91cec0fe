// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An epoll transport listening on 127.0.0.1's side of a free port, with a
// recorder of every event it raises and the bytes read in each DataArrival.
#include "RawPeer.h"
#include "net/EpollTransport.h"
#include "tests/support/EventWait.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace nettest {

struct TransportHarness {
    net::EpollTransport transport;
    std::vector<std::string> events; // "Request", "Data 3", "Close 3", "OutOfDescriptors"
    std::map<int, std::string> received;
    int nextSlot = 1;
    bool acceptRequests = true;
    bool readOnArrival = true;
    std::function<void(int)> onData; // more work inside DataArrival, after reading
    bool listening = false;

    TransportHarness() {
        listening = transport.listen(0, nullptr);
        QObject::connect(&transport, &net::ServerTransport::ConnectionRequest, [this](qintptr id) {
            events.push_back("Request");
            if (acceptRequests)
                transport.accept(id, nextSlot++);
        });
        QObject::connect(&transport, &net::ServerTransport::DataArrival, [this](int slot) {
            events.push_back("Data " + std::to_string(slot));
            if (readOnArrival)
                transport.readInto(slot, received[slot]);
            if (onData)
                onData(slot);
        });
        QObject::connect(&transport, &net::ServerTransport::Close,
                         [this](int slot) { events.push_back("Close " + std::to_string(slot)); });
        QObject::connect(&transport, &net::ServerTransport::OutOfDescriptors,
                         [this] { events.push_back("OutOfDescriptors"); });
    }

    quint16 port() const { return transport.localPort(); }

    // A peer connected and accepted into the next slot.
    std::unique_ptr<RawPeer> connectPeer(int receiveBuffer = 0) {
        const std::size_t before = transport.connectionCount();
        auto peer = std::make_unique<RawPeer>(port(), receiveBuffer);
        zindletest::WaitUntil([&] { return transport.connectionCount() > before; });
        return peer;
    }

    bool waitForBytes(int slot, std::size_t size, int timeoutMs = 5000) {
        return zindletest::WaitUntil([&] { return received[slot].size() >= size; }, timeoutMs);
    }

    int count(const std::string& event) const {
        int n = 0;
        for (const auto& e : events)
            n += e == event;
        return n;
    }
};

// Bytes 0..255 repeated, so that a lost or reordered piece shows.
inline std::string Pattern(std::size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed + i / 251) & 0xFF);
    return bytes;
}

// The event loop as the program runs it, blocking while nothing happens; also
// what a handler does that lets events run for a while.
inline void RunLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU time this process has used, in seconds: a loop that wakes for nothing shows.
inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace nettest
