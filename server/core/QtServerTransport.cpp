// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/QtServerTransport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace server {

namespace {

// Qt reads at most this much ahead for a connection: when the core stops
// reading, the rest waits in TCP.
constexpr qint64 kReadAhead = 64 * 1024;
// A connection closed from our side lives on until what was sent has left; one
// whose peer stops reading is cut off after this long.
constexpr int kLingerMs = 10000;
// After running out of descriptors, accepting waits this long.
constexpr int kAcceptPauseMs = 250;

std::int64_t NowMs() {
    return QDeadlineTimer::current().deadline();
}

QString Dotted(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

// How many connections one wake-up of the listener accepts before the event
// loop gets its turn again.
constexpr int kAcceptsPerWakeUp = 64;

QString ListenFailure(int error, quint16 port) {
    switch (error) {
    case EADDRINUSE:
        return QStringLiteral("Poort %1 is al in gebruik.").arg(port);
    case EACCES:
    case EPERM:
        return QStringLiteral("Geen toestemming om op poort %1 te luisteren.").arg(port);
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

struct QtServerTransport::Connection {
    QTcpSocket* socket = nullptr;
    QString ip;
    quint16 port = 0;
    bool reading = true;
    bool inArrival = false;
    bool arrivedMeanwhile = false;
    bool closePending = false;
    std::size_t unsent = 0; // in pending and in Qt's buffer
    std::int64_t lastProgress = 0;
    std::string pending; // sent during this pass
    bool dirty = false;  // on the list to flush at the end of the pass
};

QtServerTransport::QtServerTransport(QObject* parent) : net::ServerTransport(parent) {}

QtServerTransport::~QtServerTransport() {
    stopListening();
    while (!connections_.empty())
        abort(connections_.begin()->first);
}

bool QtServerTransport::listen(quint16 port, QString* error) {
    stopListening();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        const int failure = errno;
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = ListenFailure(failure, port);
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    listenFd_ = fd;
    localPort_ = ntohs(address.sin_port);
    listener_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, [this] { AcceptWaiting(); });
    return true;
}

// Accepting itself, so that running out of descriptors is seen for what it is:
// accepting pauses briefly instead of failing over and over.
void QtServerTransport::AcceptWaiting() {
    const int fd = listenFd_;
    for (int n = 0; n < kAcceptsPerWakeUp && listenFd_ == fd; ++n) {
        const int accepted = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0) {
            OnRequest(accepted);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            listener_->setEnabled(false);
            QPointer<QSocketNotifier> paused(listener_);
            QTimer::singleShot(kAcceptPauseMs, this, [paused] {
                if (paused)
                    paused->setEnabled(true);
            });
            emit OutOfDescriptors();
        }
        return; // EAGAIN: nobody else waits
    }
}

void QtServerTransport::stopListening() {
    if (listenFd_ < 0)
        return;
    // Possibly called from inside its own wake-up: the notifier goes later.
    listener_->setEnabled(false);
    listener_->deleteLater();
    listener_ = nullptr;
    ::close(listenFd_);
    listenFd_ = -1;
    localPort_ = 0;
}

bool QtServerTransport::isListening() const {
    return listenFd_ >= 0;
}

quint16 QtServerTransport::localPort() const {
    return localPort_;
}

void QtServerTransport::OnRequest(qintptr descriptor) {
    requests_.insert(descriptor);
    QPointer<QtServerTransport> alive(this);
    emit ConnectionRequest(descriptor);
    // Nobody took it: close it now rather than leak the descriptor.
    if (alive && requests_.remove(descriptor))
        ::close(static_cast<int>(descriptor));
}

QString QtServerTransport::requestPeerIP(qintptr requestID) const {
    if (!requests_.contains(requestID))
        return QString();
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(static_cast<int>(requestID), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return QString();
    QHostAddress host;
    host.setAddress(reinterpret_cast<const sockaddr*>(&address));
    return Dotted(host);
}

bool QtServerTransport::accept(qintptr requestID, int slot) {
    if (!requests_.remove(requestID))
        return false;
    if (connections_.count(slot))
        abort(slot);
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(requestID)) {
        ::close(static_cast<int>(requestID));
        delete socket;
        return false;
    }
    socket->setReadBufferSize(kReadAhead);
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->ip = Dotted(socket->peerAddress());
    connection->port = socket->peerPort();
    connection->lastProgress = NowMs();
    connections_[slot] = std::move(connection);
    // channelReadyRead also fires while a handler runs, so nothing goes unnoticed.
    connect(socket, &QIODevice::channelReadyRead, this,
            [this, slot, socket](int) { OnReadyRead(slot, socket); });
    connect(socket, &QAbstractSocket::disconnected, this,
            [this, slot, socket] { OnDisconnected(slot, socket); });
    connect(socket, &QIODevice::bytesWritten, this,
            [this, slot, socket](qint64 bytes) { OnBytesWritten(slot, socket, bytes); });
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(
            this, [this, slot, socket] { OnReadyRead(slot, socket); }, Qt::QueuedConnection);
    return true;
}

void QtServerTransport::refuse(qintptr requestID) {
    if (requests_.remove(requestID))
        ::close(static_cast<int>(requestID));
}

QtServerTransport::Connection* QtServerTransport::Find(int slot, QTcpSocket* socket) {
    const auto it = connections_.find(slot);
    if (it == connections_.end() || (socket && it->second->socket != socket))
        return nullptr;
    return it->second.get();
}

void QtServerTransport::OnReadyRead(int slot, QTcpSocket* socket) {
    Connection* c = Find(slot, socket);
    if (!c || !c->reading)
        return;
    if (c->inArrival) {
        c->arrivedMeanwhile = true;
        return;
    }
    do {
        c->arrivedMeanwhile = false;
        if (socket->bytesAvailable() <= 0)
            break;
        c->inArrival = true;
        emit DataArrival(slot);
        c = Find(slot, socket);
        if (!c)
            return; // closed from inside the handler
        c->inArrival = false;
    } while (c->arrivedMeanwhile && c->reading);
    if (c->closePending) {
        c->closePending = false;
        OnDisconnected(slot, socket);
    }
}

void QtServerTransport::OnDisconnected(int slot, QTcpSocket* socket) {
    Connection* c = Find(slot, socket);
    if (!c)
        return;
    if (c->inArrival) {
        c->closePending = true;
        return;
    }
    socket = Detach(slot);
    socket->deleteLater();
    emit Close(slot);
}

void QtServerTransport::OnBytesWritten(int slot, QTcpSocket* socket, qint64 bytes) {
    Connection* c = Find(slot, socket);
    if (!c)
        return;
    const std::size_t taken = std::min(c->unsent, static_cast<std::size_t>(bytes));
    c->unsent -= taken;
    totalUnsent_ -= taken;
    c->lastProgress = NowMs();
}

// Everything sent to a connection in one pass of the event loop waits here and
// leaves in one system call when the pass ends; what the system does not take
// then goes to Qt's own buffer, which sends it as soon as the connection can
// take more. Bytes sent straight from here keep Qt's buffer, and its memory,
// out of the way for connections that keep up.
void QtServerTransport::send(int slot, const char* data, std::size_t size) {
    Connection* c = Find(slot, nullptr);
    if (!c || size == 0 || c->socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (c->unsent == 0)
        c->lastProgress = NowMs();
    c->unsent += size;
    totalUnsent_ += size;
    if (c->pending.empty() && c->socket->bytesToWrite() > 0) {
        c->socket->write(data, static_cast<qint64>(size)); // behind what already waits
        return;
    }
    c->pending.append(data, size);
    if (!c->dirty) {
        c->dirty = true;
        dirty_.emplace_back(slot, c->socket);
        if (!flushPosted_) {
            flushPosted_ = true;
            QMetaObject::invokeMethod(this, &QtServerTransport::FlushDirty, Qt::QueuedConnection);
        }
    }
}

void QtServerTransport::FlushDirty() {
    flushPosted_ = false;
    std::vector<std::pair<int, QTcpSocket*>> dirty;
    dirty.swap(dirty_);
    for (const auto& [slot, socket] : dirty)
        if (Connection* c = Find(slot, socket))
            Flush(*c);
}

void QtServerTransport::Flush(Connection& c) {
    c.dirty = false;
    if (c.pending.empty())
        return;
    std::size_t taken = 0;
    if (c.socket->bytesToWrite() == 0) {
        ssize_t sent;
        do {
            sent = ::send(int(c.socket->socketDescriptor()), c.pending.data(), c.pending.size(),
                          MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            taken = c.pending.size(); // reset or broken: lost; the read side reports the close
        else
            taken = sent > 0 ? std::size_t(sent) : 0;
    }
    if (taken > 0) {
        const std::size_t counted = std::min(taken, c.unsent);
        c.unsent -= counted;
        totalUnsent_ -= counted;
        c.lastProgress = NowMs();
    }
    if (taken < c.pending.size())
        c.socket->write(c.pending.data() + taken, qint64(c.pending.size() - taken));
    if (c.pending.capacity() > 4096)
        std::string().swap(c.pending); // an idle connection keeps no big buffer
    else
        c.pending.clear();
}

std::size_t QtServerTransport::readInto(int slot, std::string& out) {
    Connection* c = Find(slot, nullptr);
    const qint64 available = c ? c->socket->bytesAvailable() : 0;
    if (available <= 0)
        return 0;
    // Asking for exactly what is buffered lets Qt hand over its read block
    // rather than keep one per connection.
    const QByteArray data = c->socket->read(available);
    out.append(data.constData(), static_cast<std::size_t>(data.size()));
    return static_cast<std::size_t>(data.size());
}

void QtServerTransport::setReading(int slot, bool on) {
    Connection* c = Find(slot, nullptr);
    if (!c || c->reading == on)
        return;
    c->reading = on;
    if (on) {
        QTcpSocket* socket = c->socket;
        QMetaObject::invokeMethod(
            this, [this, slot, socket] { OnReadyRead(slot, socket); }, Qt::QueuedConnection);
    }
}

QTcpSocket* QtServerTransport::Detach(int slot) {
    const auto it = connections_.find(slot);
    QTcpSocket* socket = it->second->socket;
    totalUnsent_ -= it->second->unsent;
    connections_.erase(it);
    socket->disconnect(this);
    return socket;
}

void QtServerTransport::close(int slot) {
    Connection* c = Find(slot, nullptr);
    if (!c)
        return;
    Flush(*c); // what was sent still leaves
    QTcpSocket* socket = Detach(slot);
    // Lives on by itself until what was sent has left.
    socket->setParent(QCoreApplication::instance());
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    QTimer::singleShot(kLingerMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void QtServerTransport::abort(int slot) {
    if (!Find(slot, nullptr))
        return;
    QTcpSocket* socket = Detach(slot);
    socket->abort();
    socket->deleteLater();
}

std::size_t QtServerTransport::unsentBytes(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() ? 0 : it->second->unsent;
}

std::size_t QtServerTransport::totalUnsentBytes() const {
    return totalUnsent_;
}

std::int64_t QtServerTransport::lastProgressMs(int slot) const {
    const auto it = connections_.find(slot);
    if (it == connections_.end())
        return NowMs();
    return it->second->unsent == 0 ? NowMs() : it->second->lastProgress;
}

QString QtServerTransport::peerIP(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() ? QString() : it->second->ip;
}

quint16 QtServerTransport::peerPort(int slot) const {
    const auto it = connections_.find(slot);
    return it == connections_.end() ? 0 : it->second->port;
}

} // namespace server
