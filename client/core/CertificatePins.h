// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server certificates the user chose to trust, one fingerprint per host and
// port, in section "Pins" of the client's settings ("localhost:12345=AB:CD:...").
// A pin changes only by a deliberate act: trusting a first contact, or forgetting
// the pin in the preferences.
#include <QList>
#include <QString>

namespace client {

struct CertificatePin {
    QString server; // the key: lower-case host, ':', port ("[::1]:12345" for IPv6)
    QString fingerprint;
};

QString PinKey(const QString& host, quint16 port);

// Empty when nothing is pinned for the server.
QString PinnedFingerprint(const QString& server);
// False when the settings could not be written.
bool SavePin(const QString& server, const QString& fingerprint);
void ForgetPin(const QString& server);
// Every pin, sorted by server.
QList<CertificatePin> AllPins();

} // namespace client
