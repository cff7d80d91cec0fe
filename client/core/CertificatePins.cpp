// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/CertificatePins.h"

#include "net/SettingsStore.h"

#include <QSettings>
#include <algorithm>

namespace client {

namespace {
const QString kApp = QStringLiteral("ZindleChat");
const QString kPins = QStringLiteral("Pins");
} // namespace

QString PinKey(const QString& host, quint16 port) {
    const QString name = host.trimmed().toLower();
    // An IPv6 address keeps its own colons apart from the port's.
    const bool v6 = name.contains(u':') && !name.startsWith(u'[');
    return (v6 ? u'[' + name + u']' : name) + u':' + QString::number(port);
}

QString PinnedFingerprint(const QString& server) {
    return net::GetSetting(kApp, kPins, server);
}

bool SavePin(const QString& server, const QString& fingerprint) {
    return net::SaveSetting(kApp, kPins, server, fingerprint);
}

void ForgetPin(const QString& server) {
    QSettings store(net::SettingsFilePath(kApp), QSettings::IniFormat);
    store.remove(kPins + u'/' + server);
    store.sync();
}

QList<CertificatePin> AllPins() {
    QSettings store(net::SettingsFilePath(kApp), QSettings::IniFormat);
    store.beginGroup(kPins);
    QList<CertificatePin> pins;
    const QStringList keys = store.childKeys();
    for (const QString& key : keys)
        pins.append({key, store.value(key).toString()});
    std::sort(pins.begin(), pins.end(),
              [](const CertificatePin& a, const CertificatePin& b) { return a.server < b.server; });
    return pins;
}

} // namespace client
