// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the client does with a server's certificate: accept it, ask the user, or
// refuse the server. Plain rules, kept apart from sockets and dialogs.
//
//   valid for the name under trusted authorities  -> accept
//   same fingerprint as the one pinned             -> accept
//   nothing pinned for this server                 -> ask (first contact)
//   another fingerprint than the one pinned        -> refuse: the identity changed
#include <QByteArray>
#include <QString>

namespace client {

enum class Trust { Accept, Ask, Refuse };

Trust DecideTrust(bool validUnderAuthorities, const QString& pinned, const QString& presented);

// SHA-256 of the DER certificate as 32 upper-case hex pairs joined by ':', the
// form the server shows in its window.
QString CertificateFingerprint(const QByteArray& der);

} // namespace client
