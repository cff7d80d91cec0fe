// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for loopback tests of the socket object: a bounded wait, an event
// recorder, and a listener/client/accepted triple on 127.0.0.1.
#include "net/Winsock.h"
#include "tests/support/EventWait.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

namespace nettest {

// Runs the event loop until cond() holds or timeoutMs has passed.
inline bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
    return zindletest::WaitUntil(cond, timeoutMs);
}

// Lets the event loop run for a short, fixed time (to show that nothing happens).
inline void settle(int ms = 150) {
    QTest::qWait(ms);
}

// Everything one socket object raised, in order, with the bytes it read in
// DataArrival (the recorder reads everything, like the programs do).
struct Recorder {
    explicit Recorder(net::Winsock& sock, bool readOnArrival = true) : sock(sock) {
        QObject::connect(&sock, &net::Winsock::Connect, [this] { events << "Connect"; });
        QObject::connect(&sock, &net::Winsock::Close, [this] { events << "Close"; });
        QObject::connect(&sock, &net::Winsock::DataArrival, [this, readOnArrival](qint64) {
            events << "Data";
            if (readOnArrival)
                data += this->sock.getData();
        });
    }
    int count(const QString& event) const { return int(events.count(event)); }

    net::Winsock& sock;
    QStringList events;
    QByteArray data;
};

// A listening object on an OS-chosen port, a client connected to it, and the
// server side accepted on a fresh object.
struct LoopbackPair {
    net::Winsock listener;
    net::Winsock client;
    std::unique_ptr<net::Winsock> server;

    bool open() {
        listener.setLocalPort(0);
        if (!listener.listen())
            return false;
        QObject::connect(&listener, &net::Winsock::ConnectionRequest, [this](qintptr id) {
            server = std::make_unique<net::Winsock>();
            server->accept(id);
        });
        bool connected = false;
        QObject::connect(&client, &net::Winsock::Connect, [&connected] { connected = true; });
        client.connectToHost(QStringLiteral("127.0.0.1"), listener.localPort());
        const bool ok = waitUntil([&] { return connected && server; });
        QObject::disconnect(&client, &net::Winsock::Connect, nullptr, nullptr);
        return ok;
    }
};

} // namespace nettest
