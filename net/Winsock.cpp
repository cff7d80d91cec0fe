// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/Winsock.h"

#include "net/HappyEyeballs.h"
#include "net/Keepalive.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QPointer>
#include <QSet>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace net {

namespace {

// A socket closed from our side keeps living on its own until what was written
// has left; one whose peer stops reading is cut off after this long.
constexpr int kLingerMs = 10000;

// Nested DoEvents passes beyond this depth do nothing: a flood of events that each
// let events run must not grow the stack without bound.
constexpr int kMaxDoEventsDepth = 16;

// A connection's own send buffer keeps at most this much room once it has been
// handed to the system: thousands of mostly idle connections must stay small.
constexpr std::size_t kKeptSendCapacity = 4096;
// A block this large leaves at once: gathering it with others gains nothing, and
// sending it straight from the caller's memory saves a copy (file chunks). On a
// connection set to no delay every write leaves at once: lock-step exchanges wait
// for each small request.
constexpr qint64 kDirectSendBytes = 32 * 1024;

// Descriptors of connection requests that are being offered right now. Only these
// may be accepted or refused, so a stale or made-up id can never close a
// descriptor that belongs to something else. Everything runs on the UI thread.
QSet<qintptr>& pendingRequests() {
    static QSet<qintptr> pending;
    return pending;
}

// The peer's PeerAddress text: dotted for IPv4 and IPv4-mapped peers, canonical
// IPv6 otherwise (without a zone).
QString dottedAddress(const QHostAddress& address) {
    QHostAddress plain = address;
    plain.setScopeId(QString());
    const auto parsed = PeerAddress::Parse(plain.toString().toStdString());
    return parsed ? QString::fromStdString(parsed->Text()) : plain.toString();
}

QString listenFailureReason(const QTcpServer& server, quint16 port) {
    switch (server.serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("Poort %1 is al in gebruik.").arg(port);
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("Geen toestemming om op poort %1 te luisteren.").arg(port);
    default:
        return QStringLiteral("Kan niet luisteren op poort %1: %2").arg(port).arg(server.errorString());
    }
}

// Hands every incoming descriptor to its owner instead of wrapping it in a socket,
// so that the owner can accept it on whichever object it likes.
class RequestListener : public QTcpServer {
public:
    explicit RequestListener(std::function<void(qintptr)> onRequest) : onRequest_(std::move(onRequest)) {}

protected:
    void incomingConnection(qintptr descriptor) override { onRequest_(descriptor); }

private:
    std::function<void(qintptr)> onRequest_;
};

} // namespace

struct Winsock::Private {
    explicit Private(Winsock* owner) : q(owner) {}

    Winsock* q;
    quint16 localPort = 0;
    bool noDelay = false;
    bool keepalive = false;
    bool reading = true;
    bool lookupPeerName = false;

    // Created on the first listen() and kept: close() may run from inside its own
    // request callback, where deleting it would pull the floor from under Qt.
    std::unique_ptr<RequestListener> listener;
    int requestDepth = 0;

    QTcpSocket* socket = nullptr;        // child of q while it is ours
    HappyEyeballs* connecting = nullptr; // child of q while an outgoing attempt runs

    // Encryption: the choice for later connections, and the state of this one. A
    // TLS connection counts as connected only once its certificate is accepted;
    // until then nothing is read or written through it.
    bool encrypt = false;
    QList<QSslCertificate> authorities;
    QString tlsPeerName;
    bool tls = false;
    bool tlsStarted = false;
    bool tlsAccepted = false;
    bool tlsVerified = false;
    bool tlsFailed = false;

    QString peerIP;
    quint16 peerPort = 0;
    QString peerName;
    int lookupId = -1;
    quint64 lookupGeneration = 0;

    // DataArrival is never raised inside itself: bytes that come in while a
    // handler lets events run are announced once it returns, and a peer close seen
    // meanwhile is raised after them.
    bool inDataArrival = false;
    bool arrivedMeanwhile = false;
    bool closePending = false;

    // Written bytes wait here until the end of the current event-loop pass, so
    // that everything written to one connection in a pass leaves in one system
    // call. Only used while Qt's own buffer is empty: once the system stops taking
    // bytes, Qt holds the rest and everything after it until it has drained.
    std::string pending;
    int dirtySlot = -1;  // index in dirtyList while pending waits for the flush
    bool broken = false; // the system refused the connection's bytes for good

    // Objects with pending bytes; entries of objects that went away are null.
    static std::vector<Private*> dirtyList;
    static QCoreApplication* flushPostedTo; // application the flush is waiting in
    static void flushDirty();

    void markDirty();
    void forgetDirty();
    void flushPending();
    void releasePending();
    void sendNow(const char* data, std::size_t size);

    void onRequest(qintptr descriptor);
    QTcpSocket* makeSocket();
    void beginTls();
    void failTls();
    bool usable() const { return !tls || tlsAccepted; }
    void adopt(QTcpSocket* s);
    void wire(QTcpSocket* s);
    void onConnected();
    void adoptConnected(qintptr descriptor);
    void stopConnecting();
    void applyOptions();
    void onReadyRead();
    void deliverData();
    void onDisconnected();
    void rememberPeer();
    void startLookup();
    void stopLookup();
    void releaseSocket();
};

std::vector<Winsock::Private*> Winsock::Private::dirtyList;
QCoreApplication* Winsock::Private::flushPostedTo = nullptr;

// ---- listening ---------------------------------------------------------------

void Winsock::Private::onRequest(qintptr descriptor) {
    auto& pending = pendingRequests();
    pending.insert(descriptor);
    QPointer<Winsock> alive(q);
    ++requestDepth;
    emit q->ConnectionRequest(descriptor);
    if (alive)
        --requestDepth;
    // Nobody took it: close it now rather than leak the descriptor.
    if (pending.remove(descriptor))
        ::close(static_cast<int>(descriptor));
}

bool Winsock::accept(qintptr requestID) {
    if (!pendingRequests().remove(requestID))
        return false;
    close();
    auto* s = new QTcpSocket(this);
    if (!s->setSocketDescriptor(requestID)) {
        ::close(static_cast<int>(requestID));
        delete s;
        return false;
    }
    d->adopt(s);
    return true;
}

void Winsock::refuse(qintptr requestID) {
    if (pendingRequests().remove(requestID))
        ::close(static_cast<int>(requestID));
}

bool Winsock::listen(QString* error) {
    close();
    if (!d->listener)
        d->listener = std::make_unique<RequestListener>([this](qintptr id) { d->onRequest(id); });
    if (!d->listener->listen(QHostAddress::Any, d->localPort)) {
        if (error)
            *error = listenFailureReason(*d->listener, d->localPort);
        return false;
    }
    return true;
}

// ---- connections -------------------------------------------------------------

void Winsock::Private::wire(QTcpSocket* s) {
    // channelReadyRead, unlike readyRead, also fires while a readyRead handler is
    // still running, so no arrival goes unnoticed; our own guard keeps the
    // DataArrival raised from nesting.
    QObject::connect(s, &QIODevice::channelReadyRead, q, [this](int) { onReadyRead(); });
    QObject::connect(s, &QAbstractSocket::disconnected, q, [this] { onDisconnected(); });
    QObject::connect(s, &QIODevice::bytesWritten, q, [this] {
        if (socket && socket->bytesToWrite() == 0 && pending.empty())
            emit q->SendComplete();
    });
}

void Winsock::Private::adopt(QTcpSocket* s) {
    socket = s;
    tls = false;
    broken = false;
    wire(s);
    applyOptions();
    rememberPeer();
    startLookup();
}

void Winsock::connectToHost(const QString& host, quint16 port) {
    close();
    d->tlsPeerName = host;
    if (d->localPort == 0) {
        // Both families, the first to answer wins; the socket adopts the result.
        d->connecting = new HappyEyeballs(this);
        QObject::connect(d->connecting, &HappyEyeballs::Connected, this,
                         [this](qintptr descriptor) { d->adoptConnected(descriptor); });
        QObject::connect(d->connecting, &HappyEyeballs::Failed, this, [this] { d->stopConnecting(); });
        d->connecting->start(host, port);
        return;
    }
    QTcpSocket* s = d->makeSocket();
    d->socket = s;
    d->broken = false;
    d->wire(s);
    QObject::connect(s, &QAbstractSocket::connected, this, [this] { d->onConnected(); });
    s->bind(QHostAddress::AnyIPv4, d->localPort);
    // A failed attempt simply ends in the closed state; the caller's time-out
    // reports it.
    s->connectToHost(host, port);
}

void Winsock::Private::adoptConnected(qintptr descriptor) {
    stopConnecting();
    QTcpSocket* s = makeSocket(); // plain TCP until the handshake starts
    if (!s->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        delete s;
        return; // as any failed attempt: the caller's time-out reports it
    }
    socket = s;
    broken = false;
    wire(s);
    onConnected();
}

// The attempt object may be calling us: it goes when control is back in the loop.
void Winsock::Private::stopConnecting() {
    if (!connecting)
        return;
    connecting->cancel();
    connecting->deleteLater();
    connecting = nullptr;
}

void Winsock::Private::applyOptions() {
    reading = true;
    if (noDelay)
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (keepalive && socket->socketDescriptor() >= 0)
        EnableKeepalive(int(socket->socketDescriptor()));
}

void Winsock::Private::onConnected() {
    applyOptions();
    rememberPeer();
    startLookup();
    if (tls) {
        beginTls(); // Connect() waits for the handshake and the certificate
        return;
    }
    emit q->Connect();
}

void Winsock::Private::onReadyRead() {
    if (!usable())
        return; // the bytes wait until the server is accepted
    if (!reading)
        return;
    if (inDataArrival) {
        arrivedMeanwhile = true;
        return;
    }
    deliverData();
}

void Winsock::Private::deliverData() {
    QPointer<Winsock> alive(q);
    QTcpSocket* const s = socket;
    do {
        arrivedMeanwhile = false;
        const qint64 available = s->bytesAvailable();
        if (available <= 0)
            break;
        inDataArrival = true;
        emit q->DataArrival(available);
        if (!alive)
            return;
        inDataArrival = false;
    } while (arrivedMeanwhile && socket == s && reading);
    arrivedMeanwhile = false;
    if (closePending && socket == s && (reading || s->bytesAvailable() == 0)) {
        closePending = false;
        emit q->Close();
    }
}

void Winsock::Private::onDisconnected() {
    // Only a close by the peer gets here: close() cuts these connections first.
    if (!usable()) {
        failTls();
        return;
    }
    // Bytes not read yet come first.
    if (inDataArrival || (!reading && socket && socket->bytesAvailable() > 0)) {
        closePending = true;
        return;
    }
    emit q->Close();
}

void Winsock::Private::rememberPeer() {
    peerIP = dottedAddress(socket->peerAddress());
    peerPort = socket->peerPort();
    peerName.clear();
}

void Winsock::Private::startLookup() {
    stopLookup();
    if (!lookupPeerName)
        return;
    const quint64 generation = ++lookupGeneration;
    lookupId = QHostInfo::lookupHost(peerIP, q, [this, generation](const QHostInfo& info) {
        if (generation != lookupGeneration)
            return;
        lookupId = -1;
        // A failed reverse lookup reads back the address itself: that is no name.
        if (info.error() == QHostInfo::NoError && info.hostName() != peerIP)
            peerName = info.hostName();
    });
}

void Winsock::Private::stopLookup() {
    ++lookupGeneration;
    if (lookupId != -1)
        QHostInfo::abortHostLookup(lookupId);
    lookupId = -1;
}

// Our own close: the socket is cut loose from this object at once, so it raises
// nothing here, but lives on by itself until what was written has left.
void Winsock::Private::releaseSocket() {
    forgetDirty();
    flushPending();
    QTcpSocket* s = socket;
    socket = nullptr;
    const bool unaccepted = !usable();
    tlsAccepted = false;
    inDataArrival = false;
    arrivedMeanwhile = false;
    closePending = false;
    reading = true;
    if (!s)
        return;
    QObject::disconnect(s, nullptr, q, nullptr);
    if (s->state() == QAbstractSocket::HostLookupState || s->state() == QAbstractSocket::ConnectingState ||
        unaccepted) {
        // An attempt that has not connected has nothing to deliver. Qt would let it
        // finish and only then close it, so that a server appearing meanwhile sees
        // a connection open and close at once: it ends here instead.
        s->abort();
        s->deleteLater();
        return;
    }
    s->setParent(QCoreApplication::instance());
    if (s->state() == QAbstractSocket::ConnectedState)
        s->flush();
    QObject::connect(s, &QAbstractSocket::disconnected, s, &QObject::deleteLater);
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState) {
        s->deleteLater();
        return;
    }
    QTimer::singleShot(kLingerMs, s, [s] {
        s->abort();
        s->deleteLater();
    });
}

void Winsock::close() {
    d->stopConnecting();
    d->stopLookup();
    if (d->listener)
        d->listener->close();
    d->releaseSocket();
}

// ---- data --------------------------------------------------------------------

qint64 Winsock::sendData(const QByteArray& data) {
    return sendData(data.constData(), data.size());
}

qint64 Winsock::sendData(const char* data, qint64 size) {
    if (!d->socket || d->socket->state() != QAbstractSocket::ConnectedState || !d->usable() || d->broken ||
        size < 0)
        return -1;
    // Qt still holds bytes the system would not take: later ones queue behind them.
    if (d->pending.empty() && d->socket->bytesToWrite() > 0)
        return d->socket->write(data, size);
    if (size == 0)
        return 0;
    if (size >= kDirectSendBytes || d->noDelay) {
        if (d->pending.empty()) {
            d->sendNow(data, std::size_t(size));
        } else { // what was gathered before goes first
            d->pending.append(data, static_cast<std::size_t>(size));
            d->forgetDirty();
            d->flushPending();
        }
        return size;
    }
    d->pending.append(data, static_cast<std::size_t>(size));
    d->markDirty();
    return size;
}

qint64 Winsock::bytesToWrite() const {
    return d->socket ? qint64(d->pending.size()) + d->socket->bytesToWrite() : 0;
}

void Winsock::Private::markDirty() {
    if (dirtySlot >= 0)
        return;
    auto* app = QCoreApplication::instance();
    if (!app) { // no event loop to wait for
        flushPending();
        return;
    }
    dirtySlot = int(dirtyList.size());
    dirtyList.push_back(this);
    // A flush posted to an application that has since gone never runs: post anew.
    if (flushPostedTo != app) {
        flushPostedTo = app;
        QMetaObject::invokeMethod(app, &Private::flushDirty, Qt::QueuedConnection);
    }
}

void Winsock::Private::forgetDirty() {
    if (dirtySlot < 0)
        return;
    dirtyList[std::size_t(dirtySlot)] = nullptr;
    dirtySlot = -1;
}

// Runs once per event-loop pass in which something was written (also from a
// DoEvents() inside a handler: the bytes keep their order either way).
void Winsock::Private::flushDirty() {
    flushPostedTo = nullptr;
    // Indexed: an object dirtied meanwhile is appended and flushed in this round.
    for (std::size_t i = 0; i < dirtyList.size(); ++i) {
        Private* p = dirtyList[i];
        if (!p)
            continue;
        p->dirtySlot = -1;
        p->flushPending();
    }
    dirtyList.clear();
}

// One system call for everything pending; what the system does not take yet goes
// to Qt's buffer, which sends it as soon as the connection is writable again.
void Winsock::Private::flushPending() {
    if (pending.empty())
        return;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
        releasePending(); // the connection is gone: nobody can receive these
        return;
    }
    sendNow(pending.data(), pending.size());
    releasePending();
}

// One system call; what the system does not take yet goes to Qt's buffer.
void Winsock::Private::sendNow(const char* data, std::size_t size) {
    if (tls) { // the TLS layer encrypts and sends it as one record
        socket->write(data, qint64(size));
        return;
    }
    const int fd = int(socket->socketDescriptor());
    ssize_t sent;
    do {
        sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // Reset or broken pipe: the bytes are lost and the read side reports the
        // close as usual.
        broken = true;
        return;
    }
    const std::size_t taken = sent > 0 ? std::size_t(sent) : 0;
    if (taken < size)
        socket->write(data + taken, qint64(size - taken));
}

void Winsock::Private::releasePending() {
    if (pending.capacity() > kKeptSendCapacity)
        std::string().swap(pending);
    else
        pending.clear();
}

QByteArray Winsock::getData() {
    const qint64 available = d->socket ? d->socket->bytesAvailable() : 0;
    if (available <= 0)
        return QByteArray();
    // Asking for exactly what is buffered lets Qt hand over its read block itself
    // rather than a copy: an idle connection then holds no 16 KiB block of its own.
    return d->socket->read(available);
}

qint64 Winsock::bytesAvailable() const {
    return d->socket ? d->socket->bytesAvailable() : 0;
}

// ---- properties --------------------------------------------------------------

Winsock::Winsock(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

Winsock::~Winsock() {
    d->stopConnecting();
    d->stopLookup();
    // releaseSocket() also hands pending bytes over and leaves the dirty list.
    d->releaseSocket();
    if (d->listener) {
        d->listener->close();
        // Destroyed from inside its own request: let Qt unwind first.
        if (d->requestDepth > 0)
            d->listener.release()->deleteLater();
    }
}

void Winsock::setLocalPort(quint16 port) {
    d->localPort = port;
}

quint16 Winsock::localPort() const {
    if (d->listener && d->listener->isListening())
        return d->listener->serverPort();
    if (d->socket && d->socket->state() != QAbstractSocket::UnconnectedState)
        return d->socket->localPort();
    return d->localPort;
}

Winsock::State Winsock::state() const {
    if (d->listener && d->listener->isListening())
        return State::Listening;
    if (d->connecting)
        return State::Connecting;
    if (!d->socket)
        return State::Closed;
    switch (d->socket->state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return State::Connecting;
    case QAbstractSocket::ConnectedState:
        return d->usable() ? State::Connected : State::Connecting;
    default:
        return State::Closed;
    }
}

QString Winsock::remoteHostIP() const {
    return d->peerIP;
}

quint16 Winsock::remotePort() const {
    return d->peerPort;
}

QString Winsock::remoteHost() const {
    return d->peerName;
}

QString Winsock::localIP() {
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}

QString Winsock::localHostName() {
    return QHostInfo::localHostName();
}

void Winsock::setPeerNameLookup(bool on) {
    if (d->lookupPeerName == on)
        return;
    d->lookupPeerName = on;
    if (!on)
        d->stopLookup();
    else if (d->socket && d->socket->state() == QAbstractSocket::ConnectedState && d->peerName.isEmpty())
        d->startLookup();
}

void Winsock::setNoDelay(bool on) {
    d->noDelay = on;
    if (d->socket)
        d->socket->setSocketOption(QAbstractSocket::LowDelayOption, on ? 1 : 0);
}

// ---- encryption --------------------------------------------------------------

// Every outgoing connection's socket comes from here, however it gets connected:
// a TLS socket speaks plain TCP until beginTls() starts the handshake.
QTcpSocket* Winsock::Private::makeSocket() {
    tls = encrypt;
    tlsStarted = tlsAccepted = tlsVerified = tlsFailed = false;
    if (!tls)
        return new QTcpSocket(q);
    auto* s = new QSslSocket(q);
    // The decision about a certificate that does not verify is the owner's, after
    // the handshake: here it is only noted.
    QObject::connect(s, &QSslSocket::sslErrors, q, [this, s](const QList<QSslError>&) {
        tlsVerified = false;
        s->ignoreSslErrors();
    });
    // Announced from the event loop, away from the TLS layer's own stack: the owner
    // may close or accept at once.
    QObject::connect(s, &QSslSocket::encrypted, q, [this, s] {
        QMetaObject::invokeMethod(
            q,
            [this, guard = QPointer<QTcpSocket>(s)] {
                if (guard && socket == guard && !tlsAccepted)
                    emit q->PeerCertificate();
            },
            Qt::QueuedConnection);
    });
    QObject::connect(s, &QAbstractSocket::errorOccurred, q, [this] {
        if (!tlsAccepted)
            failTls();
    });
    return s;
}

void Winsock::Private::beginTls() {
    auto* s = static_cast<QSslSocket*>(socket);
    QSslConfiguration config = s->sslConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!authorities.isEmpty())
        config.setCaCertificates(authorities);
    s->setSslConfiguration(config);
    s->setPeerVerifyName(tlsPeerName);
    tlsStarted = true;
    tlsVerified = true; // until the handshake reports otherwise
    s->startClientEncryption();
}

// Once per connection, and only when TCP was up: a connection that never came up
// stays silent as before (the caller times out).
void Winsock::Private::failTls() {
    if (!tlsStarted || tlsFailed)
        return;
    tlsFailed = true;
    QMetaObject::invokeMethod(
        q,
        [this, guard = QPointer<QTcpSocket>(socket)] {
            if (guard && socket == guard)
                emit q->EncryptionFailed();
        },
        Qt::QueuedConnection);
}

void Winsock::setEncryption(bool on) {
    d->encrypt = on;
}

bool Winsock::encryption() const {
    return d->encrypt;
}

void Winsock::setCertificateAuthorities(const QList<QSslCertificate>& authorities) {
    d->authorities = authorities;
}

bool Winsock::isEncrypted() const {
    return d->tls && d->tlsAccepted && state() == State::Connected;
}

QByteArray Winsock::peerCertificateDer() const {
    if (!d->tls || !d->socket)
        return {};
    return static_cast<QSslSocket*>(d->socket)->peerCertificate().toDer();
}

bool Winsock::peerCertificateTrusted() const {
    return d->tls && d->socket && d->tlsVerified && static_cast<QSslSocket*>(d->socket)->isEncrypted();
}

void Winsock::acceptPeerCertificate() {
    auto* s = d->tls ? static_cast<QSslSocket*>(d->socket) : nullptr;
    if (!s || d->tlsAccepted || !s->isEncrypted() || s->state() != QAbstractSocket::ConnectedState)
        return;
    d->tlsAccepted = true;
    QPointer<Winsock> alive(this);
    emit Connect();
    // Bytes that came while the certificate was being decided.
    if (alive && d->socket == s && s->bytesAvailable() > 0)
        d->onReadyRead();
}

void Winsock::setKeepalive(bool on) {
    d->keepalive = on;
    if (on && d->socket && d->socket->socketDescriptor() >= 0)
        EnableKeepalive(int(d->socket->socketDescriptor()));
}

bool Winsock::isReading() const {
    return d->reading;
}

void Winsock::setReading(bool on) {
    if (d->reading == on)
        return;
    d->reading = on;
    if (!d->socket)
        return;
    // A full read buffer is how Qt stops taking bytes from the system; a limit
    // of one byte keeps at most one more byte than is already held.
    d->socket->setReadBufferSize(on ? 0 : 1);
    if (!on)
        return;
    // What arrived meanwhile gets its DataArrival from the event loop, never
    // from inside the caller.
    QTimer::singleShot(0, this, [this, s = QPointer<QTcpSocket>(d->socket)] {
        if (!s || s != d->socket || !d->reading || d->inDataArrival)
            return;
        if (s->bytesAvailable() > 0 || d->closePending)
            d->deliverData();
    });
}

// Processes pending events once. DeferredDelete events are not among them: an
// object handed to deleteLater() still exists when this returns and is destroyed
// only when control is back in the event loop.
void DoEvents() {
    static int depth = 0;
    if (depth >= kMaxDoEventsDepth)
        return;
    ++depth;
    QCoreApplication::processEvents();
    --depth;
}

} // namespace net
