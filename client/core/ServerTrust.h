// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decides, for an encrypted connection, whether the server is the one the user
// means before a single byte of the login leaves: the TLS handshake ends in the
// socket's PeerCertificate(), and only an accepted certificate lets Connect()
// (and with it the session and its login) through. No widgets: the windows ask
// the user on askTrust() and answer with answer().
#include <QObject>
#include <QString>

namespace net {
class Winsock;
}

namespace client {

class ServerTrust : public QObject {
    Q_OBJECT
public:
    explicit ServerTrust(net::Winsock* winsock, QObject* parent = nullptr);

    // The server as the user typed it, before each connection: pins are kept by
    // host name and port, not by address.
    void setServer(const QString& host, quint16 port);
    const QString& server() const { return server_; }

    bool asking() const { return asking_; }
    // The user's answer to askTrust(): yes pins the certificate and goes on, no
    // closes the connection.
    void answer(bool trust);
    // The attempt was given up while asking (the user cancelled).
    void cancel();

    // Status texts of an attempt that ended without a session.
    static const QString kNoTlsStatus;
    static const QString kChangedStatus;
    static const QString kDeclinedStatus;
    static const QString kLostStatus;

signals:
    // First contact with a certificate no authority vouches for.
    void askTrust(const QString& server, const QString& fingerprint);
    // The question is moot: the connection went away or the attempt was cancelled.
    void askWithdrawn();
    // A pinned server shows another certificate; attemptEnded() follows.
    void identityChanged(const QString& server, const QString& pinned, const QString& presented);
    // The connection is closed and no session started; status says why.
    void attemptEnded(const QString& status);

private:
    void peerCertificate();
    void encryptionFailed();
    void endAttempt(const QString& status);

    net::Winsock* winsock_;
    QString server_;
    QString presented_;
    bool asking_ = false;
};

} // namespace client
