// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the encryption tests need on the server's side, made in the test's own
// folder: a test certificate authority, a server certificate it signed for
// "localhost" and 127.0.0.1, and self-signed certificates (the kind a server
// makes for itself); and a TLS chat server on 127.0.0.1 that records the
// decrypted bytes a client sends.
#include "tests/support/EventWait.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

namespace zindletest {

struct TlsIdentity {
    QSslCertificate certificate;
    QSslKey key;
    QString certificatePath;
};

class TestPki {
public:
    TestPki() { ok_ = dir_.isValid() && make(); }
    bool ok() const { return ok_; }
    const QString& error() const { return error_; }

    QSslCertificate authority;
    TlsIdentity signedForLocalhost; // by the test authority, for localhost and 127.0.0.1
    TlsIdentity signedForOtherName; // by the test authority, for "elders.invalid"
    TlsIdentity selfSigned;
    TlsIdentity otherSelfSigned;

    // The fingerprint as the openssl command prints it ("sha256 Fingerprint=AB:CD:...").
    QString opensslFingerprint(const TlsIdentity& identity) {
        QString out;
        if (!run({"x509", "-in", identity.certificatePath, "-noout", "-fingerprint", "-sha256"}, &out))
            return {};
        return out.trimmed().section(u'=', 1);
    }

private:
    bool run(const QStringList& args, QString* output = nullptr) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            error_ = QStringLiteral("openssl %1: %2")
                         .arg(args.join(u' '), QString::fromLocal8Bit(p.readAllStandardError()));
            return false;
        }
        if (output)
            *output = QString::fromLatin1(p.readAllStandardOutput());
        return true;
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

    bool selfSignedPair(const QString& name) {
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                    "-keyout", name + ".key", "-out", name + ".pem", "-days", "2", "-subj", "/CN=localhost"});
    }
    bool signedPair(const QString& name, const QString& altNames) {
        QFile ext(path(name + ".ext"));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write(
            ("subjectAltName=" + altNames + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
                .toLatin1());
        ext.close();
        return run({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                    name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name}) &&
               run({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-out", name + ".pem", "-days", "2", "-extfile", name + ".ext"});
    }
    bool load(const QString& name, TlsIdentity* identity) {
        QFile cert(path(name + ".pem")), key(path(name + ".key"));
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        identity->certificate = QSslCertificate(cert.readAll(), QSsl::Pem);
        identity->key = QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem);
        identity->certificatePath = path(name + ".pem");
        return !identity->certificate.isNull() && !identity->key.isNull();
    }
    bool make() {
        if (!run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                  "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Zindle Test CA", "-addext",
                  "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"}))
            return false;
        if (!signedPair("localhost", "DNS:localhost,IP:127.0.0.1") ||
            !signedPair("elders", "DNS:elders.invalid") || !selfSignedPair("self") ||
            !selfSignedPair("self2"))
            return false;
        TlsIdentity ca;
        return load("ca", &ca) && load("localhost", &signedForLocalhost) &&
               load("elders", &signedForOtherName) && load("self", &selfSigned) &&
               load("self2", &otherSelfSigned) && (authority = ca.certificate, true);
    }

    QTemporaryDir dir_;
    bool ok_ = false;
    QString error_;
};

// Accepts clients on 127.0.0.1 and speaks TLS with the identity it is given.
class TlsTestServer : public QTcpServer {
public:
    explicit TlsTestServer(TlsIdentity identity) : identity_(std::move(identity)) {}
    bool start() { return listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return serverPort(); }

    int connections = 0;    // TCP connections taken
    int handshakesDone = 0; // of which finished the TLS handshake
    QByteArray received;    // decrypted bytes from the client
    QPointer<QSslSocket> client;

    bool clientGone() const { return !client || client->state() == QAbstractSocket::UnconnectedState; }
    void send(const QByteArray& bytes) {
        if (client) {
            client->write(bytes);
            client->flush();
        }
    }

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        ++connections;
        client = socket;
        socket->setLocalCertificate(identity_.certificate);
        socket->setPrivateKey(identity_.key);
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(socket, &QSslSocket::encrypted, [this] { ++handshakesDone; });
        QObject::connect(socket, &QSslSocket::readyRead, [this, socket] { received += socket->readAll(); });
        socket->startServerEncryption();
    }

private:
    TlsIdentity identity_;
};

} // namespace zindletest
