// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's own certificate, for a room nobody bought one for: an ECDSA
// P-256 key and a self-signed certificate, made once and kept as PEM files.
// Clients recognise the server by the certificate's fingerprint.
#include <QString>

namespace net {

// Writes a new key (readable by the owner only) and certificate to the paths,
// replacing nothing: false, with a readable reason, when either exists already
// or cannot be written. commonName goes into the subject and issuer.
bool MakeSelfSignedCertificate(const QString& certificatePath, const QString& keyPath,
                               const QString& commonName, QString* error);

} // namespace net
