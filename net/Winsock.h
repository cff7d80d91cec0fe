// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The socket object every connection of both programs runs through: one object
// per connection, events delivered on the UI thread as signals.
//
// Events (signals, named after the events they stand for):
//   ConnectionRequest(requestID)  a peer wants to connect to this listening object
//   Connect()                     our outgoing connection is established
//   DataArrival(bytesTotal)       bytes are waiting to be read with getData()
//   Close()                       the PEER closed the connection; closing from our
//                                 side with close() raises nothing
//   SendComplete()                bytes that had to wait have all been handed to
//                                 the system (bytesToWrite() is 0 again)
//   PeerCertificate()             encrypted connections only: the TLS handshake is
//                                 done; Connect() follows acceptPeerCertificate(),
//                                 close() refuses the server
//   EncryptionFailed()            encrypted connections only: the TCP connection
//                                 came up but no TLS session did (the peer does not
//                                 speak it, or left during the handshake)
//
// DataArrival is never raised inside itself: bytes that arrive while a handler
// lets events run are announced once it returns, and a peer close noticed
// meanwhile follows them.
//
// A request id is the descriptor of the pending connection. Whoever receives
// ConnectionRequest either accepts it (on any object, the listener itself
// included after its close()) or refuses it; one left alone is refused when
// control returns to the event loop.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <memory>

namespace net {

class Winsock : public QObject {
    Q_OBJECT
public:
    enum class State { Closed, Listening, Connecting, Connected };

    explicit Winsock(QObject* parent = nullptr);
    ~Winsock() override;

    // Local port for listen() or connectToHost(); 0 lets the system choose.
    // After listen() it reads back the port actually in use.
    void setLocalPort(quint16 port);
    quint16 localPort() const;

    // Listens on every address of both families (IPv4 where the system has no
    // IPv6). False, with a readable reason, when it cannot.
    bool listen(QString* error = nullptr);

    // Accepts a pending request into this object; closes whatever it held first.
    bool accept(qintptr requestID);
    // Closes a pending request nobody wants (all slots busy).
    static void refuse(qintptr requestID);

    // Host name, IPv4 or IPv6 address. A name with addresses of both families is
    // tried on both (HappyEyeballs). The result arrives as Connect() (or nothing
    // at all on failure: the caller times out).
    void connectToHost(const QString& host, quint16 port);

    // Queues bytes; they leave in the order written. Everything written to a
    // connection during one pass of the event loop leaves together when the pass
    // ends (close() and destruction send it at once). -1 when the object holds no
    // open connection or the write failed.
    qint64 sendData(const QByteArray& data);
    qint64 sendData(const char* data, qint64 size);
    // Bytes written but not yet handed to the system.
    qint64 bytesToWrite() const;

    // Everything that arrived and was not read yet.
    QByteArray getData();
    qint64 bytesAvailable() const;

    // Closes the connection or stops listening. Raises no Close(). Bytes already
    // written still leave before the connection ends.
    void close();

    State state() const;

    // Peer of a connected object: PeerAddress text (dotted IPv4, never
    // "::ffff:a.b.c.d", or canonical IPv6), its
    // port, and its host name. The name is empty unless the owner asked for it
    // with setPeerNameLookup(true), and then until a background lookup has found
    // one: a reverse lookup tells the resolver whom we talk to, so none starts
    // by itself.
    QString remoteHostIP() const;
    quint16 remotePort() const;
    QString remoteHost() const;
    // Looks the peer's name up for this connection and every later one; on a
    // connected object the lookup starts at once. Off by default.
    void setPeerNameLookup(bool on);

    // This machine's address (first non-loopback IPv4, else 127.0.0.1) and name.
    static QString localIP();
    static QString localHostName();

    // Encryption of later outgoing connections: TLS over the TCP connection, the
    // host name given to connectToHost() checked against the certificate. The
    // bytes read and written stay the plain protocol bytes.
    void setEncryption(bool on);
    bool encryption() const;
    // The authorities that vouch for servers; empty (the default) means the
    // system's own.
    void setCertificateAuthorities(const QList<QSslCertificate>& authorities);
    // True once an encrypted connection is up (after PeerCertificate()).
    bool isEncrypted() const;
    // The server's certificate (DER) and whether it is valid for the host name
    // under the trusted authorities; read them on PeerCertificate().
    QByteArray peerCertificateDer() const;
    bool peerCertificateTrusted() const;
    void acceptPeerCertificate();

    // Disables Nagle's algorithm on a connected object and sends every write at
    // once instead of at the end of the pass (lock-step transfers).
    void setNoDelay(bool on);

    // Probes an idle connection so that a dead link is noticed (net/Keepalive.h),
    // on the current connection and every later one. Off by default.
    void setKeepalive(bool on);
    // Off: no DataArrival, and the system's buffer fills until the peer has to
    // wait. On again: what waited is announced. On by default; every new
    // connection starts reading.
    void setReading(bool on);
    bool isReading() const;

signals:
    void ConnectionRequest(qintptr requestID);
    void Connect();
    void DataArrival(qint64 bytesTotal);
    void Close();
    void SendComplete();
    void PeerCertificate();
    void EncryptionFailed();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// One pass of the event loop from inside a handler. Anything may have happened
// when it returns: callers re-check the state they depend on. Objects handed to
// deleteLater() are not destroyed by it; deeply nested passes do nothing.
void DoEvents();

} // namespace net
