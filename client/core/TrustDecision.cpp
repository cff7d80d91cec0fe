// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/TrustDecision.h"

#include <QCryptographicHash>

namespace client {

Trust DecideTrust(bool validUnderAuthorities, const QString& pinned, const QString& presented) {
    if (validUnderAuthorities)
        return Trust::Accept;
    if (pinned.isEmpty())
        return Trust::Ask;
    // Compared as text: a pin edited by hand in lower case still counts.
    return pinned.compare(presented, Qt::CaseInsensitive) == 0 ? Trust::Accept : Trust::Refuse;
}

QString CertificateFingerprint(const QByteArray& der) {
    if (der.isEmpty())
        return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}

} // namespace client
