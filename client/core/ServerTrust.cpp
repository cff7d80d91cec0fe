// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ServerTrust.h"

#include "client/core/CertificatePins.h"
#include "client/core/TrustDecision.h"
#include "net/Winsock.h"

namespace client {

const QString ServerTrust::kNoTlsStatus =
    QStringLiteral("Deze server ondersteunt geen versleutelde verbinding");
const QString ServerTrust::kChangedStatus =
    QStringLiteral("De identiteit van de server is veranderd: er is niets verstuurd.");
const QString ServerTrust::kDeclinedStatus = QStringLiteral("Server niet vertrouwd: er is niets verstuurd.");
const QString ServerTrust::kLostStatus = QStringLiteral("Verbinding verbroken");

ServerTrust::ServerTrust(net::Winsock* winsock, QObject* parent) : QObject(parent), winsock_(winsock) {
    connect(winsock_, &net::Winsock::PeerCertificate, this, &ServerTrust::peerCertificate);
    connect(winsock_, &net::Winsock::EncryptionFailed, this, &ServerTrust::encryptionFailed);
}

void ServerTrust::setServer(const QString& host, quint16 port) {
    cancel();
    server_ = PinKey(host, port);
}

void ServerTrust::peerCertificate() {
    presented_ = CertificateFingerprint(winsock_->peerCertificateDer());
    const QString pinned = PinnedFingerprint(server_);
    switch (DecideTrust(winsock_->peerCertificateTrusted(), pinned, presented_)) {
    case Trust::Accept:
        winsock_->acceptPeerCertificate();
        return;
    case Trust::Ask:
        asking_ = true;
        emit askTrust(server_, presented_);
        return;
    case Trust::Refuse:
        emit identityChanged(server_, pinned, presented_);
        endAttempt(kChangedStatus);
        return;
    }
}

void ServerTrust::answer(bool trust) {
    if (!asking_)
        return; // the attempt is over already
    asking_ = false;
    if (!trust) {
        endAttempt(kDeclinedStatus);
        return;
    }
    SavePin(server_, presented_);
    winsock_->acceptPeerCertificate();
}

void ServerTrust::cancel() {
    if (!asking_)
        return;
    asking_ = false;
    emit askWithdrawn();
}

void ServerTrust::encryptionFailed() {
    // A server that leaves while the user looks at its fingerprint did speak TLS.
    const QString status = asking_ ? kLostStatus : kNoTlsStatus;
    cancel();
    endAttempt(status);
}

void ServerTrust::endAttempt(const QString& status) {
    winsock_->close();
    emit attemptEnded(status);
}

} // namespace client
