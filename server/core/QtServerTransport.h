// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connection table over Qt's own sockets: one QTcpSocket per slot, and a
// listener of its own. Reading is paused by leaving Qt's small read buffer full,
// so the peer waits in TCP.
#include "net/ServerTransport.h"

#include <QSet>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class QSocketNotifier;
class QTcpSocket;

namespace server {

class QtServerTransport : public net::ServerTransport {
    Q_OBJECT
public:
    explicit QtServerTransport(QObject* parent = nullptr);
    ~QtServerTransport() override;

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

    std::size_t unsentBytes(int slot) const override;
    std::size_t totalUnsentBytes() const override;
    std::int64_t lastProgressMs(int slot) const override;

    QString peerIP(int slot) const override;
    quint16 peerPort(int slot) const override;

private:
    struct Connection;
    void AcceptWaiting();
    void FlushDirty();
    void Flush(Connection& c);
    void OnRequest(qintptr descriptor);
    void OnReadyRead(int slot, QTcpSocket* socket);
    void OnDisconnected(int slot, QTcpSocket* socket);
    void OnBytesWritten(int slot, QTcpSocket* socket, qint64 bytes);
    Connection* Find(int slot, QTcpSocket* socket);
    // Takes the connection out of the table, unhooked; the socket is returned.
    QTcpSocket* Detach(int slot);

    int listenFd_ = -1;
    quint16 localPort_ = 0;
    QSocketNotifier* listener_ = nullptr;
    QSet<qintptr> requests_; // descriptors offered right now
    std::unordered_map<int, std::unique_ptr<Connection>> connections_;
    std::size_t totalUnsent_ = 0;
    std::vector<std::pair<int, QTcpSocket*>> dirty_; // connections with bytes to flush
    bool flushPosted_ = false;
};

} // namespace server
