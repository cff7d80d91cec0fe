// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted chat server on 127.0.0.1 for session tests: it accepts one client,
// records every byte the client sends and writes whatever the test tells it to.
#include "tests/support/EventWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <functional>

namespace clienttest {

// Runs the event loop until cond() holds or timeoutMs has passed.
using zindletest::WaitUntil;

// Bytes as a readable string: printable ASCII as is, everything else as <hh>.
inline std::string Printable(const QByteArray& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            out.push_back(c);
        } else {
            static const char* hex = "0123456789ABCDEF";
            out += '<';
            out.push_back(hex[u >> 4]);
            out.push_back(hex[u & 15]);
            out += '>';
        }
    }
    return out;
}

class ScriptedServer {
public:
    bool listen() { return server_.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return server_.serverPort(); }

    bool waitForClient() {
        if (!WaitUntil([this] { return server_.hasPendingConnections(); }))
            return false;
        peer_ = server_.nextPendingConnection();
        QObject::connect(peer_, &QTcpSocket::readyRead, [this] { received_ += peer_->readAll(); });
        // Bytes that came before we took the connection raised their readyRead already.
        received_ += peer_->readAll();
        return true;
    }

    // Writes bytes as one piece and pushes them out.
    void send(const QByteArray& bytes) {
        peer_->write(bytes);
        peer_->flush();
    }
    // A command message: 0xFF 0xFF, text, NUL.
    void sendCommand(const QByteArray& text) { send(Command(text)); }
    static QByteArray Command(const QByteArray& text) { return QByteArray("\xFF\xFF", 2) + text + '\0'; }
    static QByteArray Line(const QByteArray& text) { return text + '\0'; }

    // Waits for at least n bytes from the client and takes the first n.
    QByteArray take(qsizetype n) {
        WaitUntil([this, n] { return received_.size() >= n; });
        const QByteArray head = received_.left(n);
        received_.remove(0, head.size());
        return head;
    }
    // Waits until the client has sent this exact text next; false (and the bytes
    // stay) otherwise.
    bool expect(const QByteArray& bytes) {
        WaitUntil([this, &bytes] { return received_.size() >= bytes.size(); });
        if (!received_.startsWith(bytes))
            return false;
        received_.remove(0, bytes.size());
        return true;
    }
    const QByteArray& received() const { return received_; }
    void clearReceived() { received_.clear(); }

    bool clientGone() const { return !peer_ || peer_->state() == QAbstractSocket::UnconnectedState; }
    void closeClient() { peer_->disconnectFromHost(); }

private:
    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    QByteArray received_;
};

} // namespace clienttest
