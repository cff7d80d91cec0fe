// SPDX-License-Identifier: GPL-3.0-or-later
// The core's side of TLS: the certificate handed to the connection table, its
// fingerprint in the log, reloading it, and closing plaintext when TLS is a must.
#include "net/ServerTransport.h"
#include "server/core/CoreText.h"
#include "server/core/ServerCore.h"

namespace server {

namespace {
QString FingerprintLine(const QString& fingerprint) {
    return QStringLiteral("STATUS [0] TLS-vingerafdruk (SHA-256): ") + fingerprint;
}
} // namespace

bool ServerCore::EnableTls(QString* error) {
    QString reason;
    if (!tls_.Load(&reason)) {
        AddLog(QStringLiteral("STATUS [0] Geen TLS: ") + reason);
        if (error)
            *error = reason;
        return false;
    }
    if (tls_.MadeOwn())
        AddLog(QStringLiteral("STATUS [0] Eigen TLS-certificaat gemaakt: ") + tls_.CertificatePath());
    transport_->setTlsContext(tls_.Context());
    AddLog(FingerprintLine(tls_.Fingerprint()));
    return true;
}

bool ServerCore::ReloadTls(QString* error) {
    QString reason;
    if (!tls_.Load(&reason)) {
        AddLog(QStringLiteral(
                   "STATUS [0] TLS-certificaat niet opnieuw geladen: %1; het vorige blijft in gebruik")
                   .arg(reason));
        if (error)
            *error = reason;
        return false;
    }
    transport_->setTlsContext(tls_.Context());
    AddLog(QStringLiteral("STATUS [0] TLS-certificaat opnieuw geladen: ") + tls_.CertificatePath());
    AddLog(FingerprintLine(tls_.Fingerprint()));
    return true;
}

void ServerCore::RefusePlaintext(int slot) {
    LogSlotLine("STATUS [", slot, "] Onversleutelde verbinding geweigerd: deze server accepteert alleen TLS");
    CloseAndRelease(slot, Users[static_cast<std::size_t>(slot)].generation);
}

} // namespace server
